// zeph stop-checks [--pause] --vbscript|--javascript FILE: the text an engine would run for a
// script, with its stop checks (and with --pause, the checks of a run that may pause), in the
// file's own bytes.
#include <cstdio>
#include <cstring>
#include <string>

#include "tool.h"
#include "workbench/stop_checks.h"
#include "xml/xml.h"

namespace {

using zeph::workbench::Language;

int Run(int argc, char** argv) {
    const bool pause = argc > 0 && std::strcmp(argv[0], "--pause") == 0;
    if (pause) {
        --argc;
        ++argv;
    }
    if (argc != 2 ||
        (std::strcmp(argv[0], "--vbscript") != 0 && std::strcmp(argv[0], "--javascript") != 0)) {
        std::fprintf(stderr, "usage: zeph stop-checks [--pause] --vbscript|--javascript FILE\n");
        return 2;
    }
    const Language language =
        std::strcmp(argv[0], "--vbscript") == 0 ? Language::VBScript : Language::JavaScript;
    const std::string data = zeph::xml::ReadAll(zeph::xml::PlatformFileSystem(), argv[1]);
    const std::string text = pause ? zeph::workbench::AddPauseChecks(language, data).text
                                   : zeph::workbench::AddStopChecks(language, data).text;
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

const zeph::tool::Register kRegister{
    {"stop-checks",
     "stop-checks [--pause] --vbscript|--javascript FILE   the script as an engine runs it", Run}};

}  // namespace
