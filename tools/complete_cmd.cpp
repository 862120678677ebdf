// zeph complete --desc FILE --line TEXT --col N: the completion pop-up's lists for one line.
//
// TEXT (UTF-8) is the only line of a script editor whose caret stands at column N (from 1, may
// lie beyond the line's end). The request runs as when the pop-up opens there, and one JSON
// object is printed: {"items":[...],"inserts":[...],"width":W,"input":"...","shown":[...]}.
// The width is measured at a fixed 6 pixels per character, the average character of the
// pop-up's 13-pixel list font; it is null when nothing was listed.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "completion/line_completion.h"
#include "text/cp1251.h"
#include "tool.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: zeph complete --desc FILE --line TEXT --col N\n");
    return 2;
}

int Run(int argc, char** argv) {
    const char* desc = nullptr;
    const char* line = nullptr;
    std::optional<int> col;
    for (int i = 0; i < argc; ++i) {
        if (i + 1 >= argc) return Usage();
        const char* value = argv[++i];
        if (std::strcmp(argv[i - 1], "--desc") == 0) {
            desc = value;
        } else if (std::strcmp(argv[i - 1], "--line") == 0) {
            line = value;
        } else if (std::strcmp(argv[i - 1], "--col") == 0) {
            int n = 0;
            const char* end = value + std::strlen(value);
            auto [p, ec] = std::from_chars(value, end, n);
            if (ec != std::errc() || p != end || n < 1) {
                std::fprintf(stderr, "zeph complete: --col needs a column from 1, not '%s'\n",
                             value);
                return 2;
            }
            col = n;
        } else {
            return Usage();
        }
    }
    if (!desc || !line || !col) return Usage();

    zeph::completion::FixedPitchMeasure measure;
    auto result = zeph::completion::CompleteLine(desc, zeph::text::FromUtf8(line), *col, measure);
    std::string out = zeph::completion::ToJson(result);
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

const zeph::tool::Register kRegister({"complete", "complete --desc FILE --line TEXT --col N", Run});

}  // namespace
