// The rescue file: the editor's script kept beside the store when the window went away
// without storing it and nobody could be asked (the host released the module or shut down).
// The next opening offers it back and then deletes it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zeph::store {

struct RescuedScript {
    std::string name;      // the saved-script box text, empty for an unnamed script
    std::string language;  // "VBScript" or "JavaScript"
    std::string text;
};

// "zpconfig.rescue" in the data folder (a path ending in a separator).
std::filesystem::path RescuePath(const std::filesystem::path& folder);
// Writes the file, replacing an older one; throws when it cannot be written.
void WriteRescue(const std::filesystem::path& folder, const RescuedScript& script);
// Reads and deletes the file; none when there is no file. A damaged file is deleted and
// reported as none: it must not come back at every opening.
std::optional<RescuedScript> TakeRescue(const std::filesystem::path& folder);

}  // namespace zeph::store
