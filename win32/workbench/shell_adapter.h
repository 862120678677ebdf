// Files and programs of the machine the workbench runs on.
#pragma once

#include <string>
#include <vector>

#include "workbench/interfaces.h"

namespace zeph::win {

class ShellAdapter final : public workbench::ISystemShell {
  public:
    bool FileExists(const std::string& path) override;
    void StartProgram(const std::string& command_line) override;
    std::vector<std::string> ModuleFolders() override;

    // The program a command line names: a bare name ("hh") is looked up in the Windows folder,
    // then the system folder, never in the host's or the current folder, where a planted copy
    // would run with the user's rights. Empty when the line names a path or nothing is found.
    static std::wstring SystemProgram(const std::wstring& command_line);

    // A title the help viewer decoded with a system code page other than 1251, in which the
    // guide is written, decoded again; unchanged when it cannot have come from 1251 bytes.
    static std::wstring GuideTitle(const std::wstring& shown, unsigned code_page);
};

}  // namespace zeph::win
