// Registry of the tool's subcommands.
#pragma once

#include <vector>

namespace zeph::tool {

struct Command {
    const char* name;
    const char* usage;
    int (*run)(int argc, char** argv);  // arguments after the command name
};

inline std::vector<Command>& Commands() {
    static std::vector<Command> commands;
    return commands;
}

struct Register {
    explicit Register(Command c) { Commands().push_back(c); }
};

}  // namespace zeph::tool
