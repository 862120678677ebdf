// The version history of the stored scripts: "zpconfig.history" beside the store keeps the text
// each script had before the store replaced or removed it, so that an overwritten text can be
// brought back. The store writes it under its own lock, before the save that replaces the text;
// the history's own failures never stop that save.
//
// The file is an XML document of its own ("History" with one "Version" per kept text, oldest
// first), written safely as the store is. The store file itself is never touched by any of this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "xml/xml.h"

namespace zeph::store {

inline constexpr std::string_view kHistoryFileName = "zpconfig.history";

struct ScriptVersion {
    std::string name;       // empty for the scratch script
    std::string language;   // "VBScript" or "JavaScript"
    std::int64_t time = 0;  // when it was replaced: seconds since 1970-01-01 UTC
    std::string text;

    friend bool operator==(const ScriptVersion&, const ScriptVersion&) = default;
};

struct HistoryLimits {
    // Versions kept for each name; older ones go first.
    std::size_t per_script = 30;
    // The bytes of all names and texts together; the oldest versions of any name go first.
    std::size_t total_bytes = std::size_t{4} << 20;
};

// A history file that does not read as a history (not XML, another root).
class HistoryDamaged : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The versions in the file, oldest first; none when there is no file. Throws HistoryDamaged for
// a file that is not a history, and the file system's error when it cannot be read.
std::vector<ScriptVersion> ReadHistory(xml::IFileSystem& files, const std::filesystem::path& path);
// The file's bytes for these versions.
std::string HistoryBytes(const std::vector<ScriptVersion>& versions);

// Adds `version` as the newest and drops what the limits no longer allow. An empty text, or the
// same text and language as that name's newest version, adds nothing. False only when the
// version alone is larger than the limits allow: it is not kept then.
bool AddVersion(std::vector<ScriptVersion>& history, ScriptVersion version,
                const HistoryLimits& limits);

// The versions of one name (byte for byte), newest first.
std::vector<ScriptVersion> VersionsOf(const std::vector<ScriptVersion>& history,
                                      std::string_view name);

// A row of the history dialog: local date and time, then the size, e.g.
// "08.12.2026 21:04:05 — 1234 байт, 56 строк". `utc_offset` is the local time's offset from
// UTC in seconds at that moment.
std::string VersionRowText(const ScriptVersion& version, std::int64_t utc_offset);

}  // namespace zeph::store
