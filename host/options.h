// Tellur's command line, data folder and log file.
#pragma once

#include <string>
#include <vector>

namespace tellur {

struct Options {
    bool openWorkbench = false;        // --open-workbench
    bool foreignLoop = false;          // --foreign-loop: accelerators and a modeless palette
    std::wstring dataFolder;           // --data-folder DIR; empty: the per-user folder
    std::wstring mapFile;              // --map FILE; empty: sample.tmap next to the program
    std::wstring logFile;              // --log FILE; empty: Tellur.log in the data folder
    std::vector<std::wstring> errors;  // user's text, one line per bad argument
};

Options ParseOptions(const std::vector<std::wstring>& args);  // args without the program

// The folder as given or %APPDATA%\Tellur\, absolute, created, ending in a separator.
// Throws std::runtime_error-derived MapError with the user's text when it cannot be made.
std::wstring PrepareDataFolder(const std::wstring& requested);

// Puts the description of the object model into the data folder: copied from next to the
// program when missing there or older than the program's copy. Returns the log line.
std::wstring InstallDescription(const std::wstring& dataFolder);

std::wstring ProgramFolder();  // ends in a separator

// Appends UTF-8 lines; opened per line so that a crash loses nothing already written.
class LogFile {
  public:
    explicit LogFile(std::wstring path) : path_(std::move(path)) {}
    void Write(const std::wstring& line) const;
    const std::wstring& path() const noexcept { return path_; }

  private:
    std::wstring path_;
};

}  // namespace tellur
