// zeph lint DESCRIPTION: checks a host object-model description the way completion and the
// constants prelude read it. One line per problem ("FILE: PLACE: MESSAGE", UTF-8) and a summary
// line; exit status 0 when clean, 1 when problems were found or the file cannot be read.
#include <cstdio>
#include <string>

#include "store/description_lint.h"
#include "text/cp1251.h"
#include "tool.h"
#include "xml/xml.h"

namespace {

std::string Counted(long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

int Run(int argc, char** argv) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: zeph lint DESCRIPTION\n");
        return 2;
    }
    const char* file = argv[0];
    auto doc = zeph::xml::LoadXmlDocument(file);
    const auto report = zeph::store::LintDescription(*doc);
    for (const auto& p : report.problems)
        std::printf("%s: %s: %s\n", file, zeph::text::ToUtf8(p.place).c_str(),
                    zeph::text::ToUtf8(p.message).c_str());
    const std::size_t n = report.problems.size();
    std::printf("%s: %s in %s, %s, %s\n", file, Counted(long(n), "problem", "problems").c_str(),
                Counted(report.entries, "entry", "entries").c_str(),
                Counted(report.members, "member", "members").c_str(),
                Counted(report.constants, "constant", "constants").c_str());
    return n == 0 ? 0 : 1;
}

const zeph::tool::Register kRegister{
    {"lint", "lint DESCRIPTION                       check a host object-model description", Run}};

}  // namespace
