// Where the module's files live: the folder the host names. It is asked for anew before every
// file access, so a host that moves its data folder is followed at once.
#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

namespace zeph::store {

// Returns the host's data folder, normally ending in a path separator. Host failures are raised
// as exceptions and end the operation before any file is touched.
using DataFolder = std::function<std::filesystem::path()>;

// The folder's text with the file name appended directly (no separator is inserted), as the host
// expects.
inline std::filesystem::path FileInFolder(const DataFolder& folder, std::string_view file_name) {
    std::filesystem::path path = folder();
    path += std::filesystem::path(file_name);
    return path;
}

}  // namespace zeph::store
