// Where the module's files live: the folder the host names. It is asked for anew before every
// file access, so a host that moves its data folder is followed at once.
#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

#include "text/cp1251.h"

namespace zeph::store {

// Returns the host's data folder, normally ending in a path separator. Host failures are raised
// as exceptions and end the operation before any file is touched.
using DataFolder = std::function<std::filesystem::path()>;

// A folder given as code page 1251 text (as the host's 16-bit text converted), for hosts that
// report it that way.
inline std::filesystem::path PathFromText(std::string_view cp1251) {
    return std::filesystem::path(text::ToUtf16(cp1251));
}

// The folder's text with the file name appended directly (no separator is inserted), as the host
// expects.
inline std::filesystem::path FileInFolder(const DataFolder& folder, std::string_view file_name) {
    std::filesystem::path path = folder();
    path += std::filesystem::path(file_name);
    return path;
}

}  // namespace zeph::store
