// zeph prelude --vbscript|--javascript FILE: the constants statement a script run would pass
// ahead of the script, built from an object-model description file, printed as UTF-8.
#include <cstdio>
#include <cstring>

#include "store/description.h"
#include "text/cp1251.h"
#include "tool.h"
#include "xml/xml.h"

namespace {

int Run(int argc, char** argv) {
    if (argc != 2 ||
        (std::strcmp(argv[0], "--vbscript") != 0 && std::strcmp(argv[0], "--javascript") != 0)) {
        std::fprintf(stderr, "usage: zeph prelude --vbscript|--javascript FILE\n");
        return 2;
    }
    const char* language = std::strcmp(argv[0], "--vbscript") == 0 ? "VBScript" : "JavaScript";
    auto doc = zeph::xml::LoadXmlDocument(argv[1]);
    const std::string prelude =
        zeph::store::ConstantPrelude(*doc, zeph::store::PreludeKeyword(language));
    // No constants: no statement at all (nothing is printed).
    if (!prelude.empty()) std::printf("%s\n", zeph::text::ToUtf8(prelude).c_str());
    return 0;
}

const zeph::tool::Register kRegister{
    {"prelude", "prelude --vbscript|--javascript FILE   constants statement of a description",
     Run}};

}  // namespace
