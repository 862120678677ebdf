// Script files outside the store: a ".vbs" or ".js" file opened into the editor or the editor's
// text saved as one. Inside, text is code page 1251; a file is read as code page 1251 unless it
// starts with a byte-order mark (UTF-8, or UTF-16 in either byte order), and is always written
// in code page 1251.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "xml/xml.h"

namespace zeph::store {

// A file that cannot be opened as a script; the message is code page 1251 text for the user.
class ScriptFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class FileEncoding { kCp1251, kUtf8, kUtf16Le, kUtf16Be };

struct DecodedScript {
    std::string text;  // code page 1251, every line break CR LF
    FileEncoding encoding = FileEncoding::kCp1251;
    // Characters the code page has no byte for (and malformed sequences) became "?": how many,
    // and the first line (from 1) that has one.
    std::size_t replaced = 0;
    int first_replaced_line = 0;
};

// Files larger than this are not opened: the editor is for scripts.
inline constexpr std::size_t kLargestScriptFile = std::size_t{8} << 20;

// "VBScript" for ".vbs", "JavaScript" for ".js" (any letter case); none for other names.
std::optional<std::string_view> LanguageOfFile(const std::filesystem::path& path);

// Turns a file's bytes into code page 1251 text. Throws ScriptFileError for bytes that are no
// text (a NUL byte outside UTF-16).
DecodedScript DecodeScriptFile(std::string_view bytes);

// Reads and decodes a file; throws ScriptFileError naming the file when it cannot be read, is
// too large or is no text.
DecodedScript ReadScriptFile(xml::IFileSystem& files, const std::filesystem::path& path);

// Writes code page 1251 text safely (a temporary file beside it first, then the file replaced):
// a failure leaves the old file as it was. Throws ScriptFileError naming the file.
void WriteScriptFile(xml::IFileSystem& files, const std::filesystem::path& path,
                     std::string_view text);

}  // namespace zeph::store
