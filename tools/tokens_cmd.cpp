// zeph tokens --vbscript|--javascript FILE: the highlighter's tokens of each line as JSON.
#include <cstdio>
#include <string>

#include "editor/highlighter.h"
#include "editor/token_dump.h"
#include "tool.h"
#include "xml/xml.h"

namespace {

using namespace zeph::editor;

int Run(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zeph tokens --vbscript|--javascript FILE\n");
        return 2;
    }
    std::string lang = argv[0];
    TVBScriptHighlighter vb;
    TJScriptHighlighter js;
    const Highlighter* h = nullptr;
    if (lang == "--vbscript") {
        h = &vb;
    } else if (lang == "--javascript") {
        h = &js;
    } else {
        std::fprintf(stderr, "zeph tokens: unknown language option '%s'\n", argv[0]);
        return 2;
    }
    // A file that cannot be read (missing, a folder) raises the file layer's error.
    const std::string data = zeph::xml::ReadAll(zeph::xml::PlatformFileSystem(), argv[1]);
    std::string out = TokensAsJson(*h, data);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

const zeph::tool::Register kRegister({"tokens", "tokens --vbscript|--javascript FILE", Run});

}  // namespace
