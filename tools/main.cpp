// zeph: the command-line tool. Each subcommand lives in its own file and registers itself.
#include <cstdio>
#include <cstring>
#include <exception>

#include "text/cp1251.h"
#include "tool.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: zeph COMMAND [ARGS]\ncommands:\n");
        for (const auto& c : zeph::tool::Commands()) std::fprintf(stderr, "  %s\n", c.usage);
        return 2;
    }
    for (const auto& c : zeph::tool::Commands()) {
        if (std::strcmp(c.name, argv[1]) != 0) continue;
        try {
            return c.run(argc - 2, argv + 2);
        } catch (const std::exception& e) {
            // Our errors carry code page 1251 text.
            std::fprintf(stderr, "%s\n", zeph::text::ToUtf8(e.what()).c_str());
            return 1;
        }
    }
    std::fprintf(stderr, "zeph: unknown command '%s'\n", argv[1]);
    return 2;
}
