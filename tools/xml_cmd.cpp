// zeph xml [--raw] FILE: loads FILE (text or binary form) and prints its XML text, as UTF-8 or,
// with --raw, as the unchanged code page 1251 bytes.
#include <cstdio>
#include <cstring>
#include <string>

#include "text/cp1251.h"
#include "tool.h"
#include "xml/xml.h"

namespace {

int Run(int argc, char** argv) {
    bool raw = false;
    const char* file = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--raw") == 0)
            raw = true;
        else if (!file)
            file = argv[i];
        else
            file = nullptr, argc = -1;
    }
    if (!file || argc < 0) {
        std::fprintf(stderr, "usage: zeph xml [--raw] FILE\n");
        return 2;
    }
    auto doc = zeph::xml::LoadXmlDocument(std::filesystem::path(file));
    std::string text = doc->GetXml();
    if (!raw) text = zeph::text::ToUtf8(text) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

zeph::tool::Register reg({"xml", "xml [--raw] FILE   print a document (text or binary form)", Run});

}  // namespace
