// Files and programs of the machine the workbench runs on.
#pragma once

#include <string>

#include "workbench/interfaces.h"

namespace zeph::win {

class ShellAdapter final : public workbench::ISystemShell {
  public:
    bool FileExists(const std::string& path) override;
    void StartProgram(const std::string& command_line) override;
};

}  // namespace zeph::win
