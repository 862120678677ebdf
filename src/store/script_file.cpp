#include "store/script_file.h"

#include <algorithm>

#include "store/store_files.h"
#include "text/cp1251.h"

namespace zeph::store {

namespace {

using text::operator""_cp;
namespace fs = std::filesystem;

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

// The conversions put a NUL where a character has no byte: none can be in the text itself (a
// file with one is refused first), so each NUL is one replacement.
constexpr char kMissing = '\0';

std::u16string Utf16Units(std::string_view bytes, bool little_endian) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto a = static_cast<unsigned char>(bytes[2 * i]);
        const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
        units[i] = static_cast<char16_t>(little_endian ? a | (b << 8) : (a << 8) | b);
    }
    return units;
}

// Every line break as the editor gives its lines back: CR LF.
std::string WithLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out += "\r\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

void CountReplacements(DecodedScript& script) {
    int line = 1;
    for (char& c : script.text) {
        if (c == '\n') ++line;
        if (c != kMissing) continue;
        c = '?';
        if (script.replaced++ == 0) script.first_replaced_line = line;
    }
}

[[noreturn]] void ThrowFileError(std::string_view what, const fs::path& path,
                                 std::string_view reason = {}) {
    std::string message = std::string(what) + " \"" + files::PathText(path) + "\"";
    if (!reason.empty()) message += ":\r\n" + std::string(reason);
    throw ScriptFileError(message);
}

}  // namespace

std::optional<std::string_view> LanguageOfFile(const fs::path& path) {
    const std::u16string ext = path.extension().u16string();
    auto is = [&ext](std::u16string_view want) {
        return ext.size() == want.size() &&
               std::equal(ext.begin(), ext.end(), want.begin(), [](char16_t a, char16_t b) {
                   return (a >= u'A' && a <= u'Z' ? a + 32 : a) == b;
               });
    };
    if (is(u".vbs")) return "VBScript";
    if (is(u".js")) return "JavaScript";
    return std::nullopt;
}

DecodedScript DecodeScriptFile(std::string_view bytes) {
    DecodedScript script;
    if (bytes.starts_with(kUtf16LeMark) || bytes.starts_with(kUtf16BeMark)) {
        const bool little = bytes.starts_with(kUtf16LeMark);
        script.encoding = little ? FileEncoding::kUtf16Le : FileEncoding::kUtf16Be;
        const std::string_view body = bytes.substr(2);
        std::u16string units = Utf16Units(body, little);
        // A NUL character in UTF-16 text is still no script text.
        if (units.find(u'\0') != std::u16string::npos)
            throw ScriptFileError(std::string(u8"Файл не является текстом скрипта"_cp));
        script.text = text::FromUtf16(units, kMissing);
        if (body.size() % 2 != 0) script.text += kMissing;  // a last half character
    } else {
        if (bytes.find('\0') != std::string_view::npos)
            throw ScriptFileError(std::string(u8"Файл не является текстом скрипта"_cp));
        if (bytes.starts_with(kUtf8Mark)) {
            script.encoding = FileEncoding::kUtf8;
            script.text = text::FromUtf8(bytes.substr(kUtf8Mark.size()), kMissing);
        } else {
            script.text.assign(bytes);
        }
    }
    script.text = WithLineBreaks(script.text);
    CountReplacements(script);
    return script;
}

DecodedScript ReadScriptFile(xml::IFileSystem& files, const fs::path& path) {
    constexpr std::string_view kCannotOpen = u8"Не удалось открыть файл"_cp;
    std::string bytes;
    try {
        auto source = files.OpenRead(path);
        if (source->SizeHint() > kLargestScriptFile)
            ThrowFileError(kCannotOpen, path, u8"файл слишком велик для редактора скриптов"_cp);
        bytes = xml::ReadAll(*source);
    } catch (const ScriptFileError&) {
        throw;
    } catch (const std::exception& e) {
        ThrowFileError(kCannotOpen, path, e.what());
    }
    if (bytes.size() > kLargestScriptFile)
        ThrowFileError(kCannotOpen, path, u8"файл слишком велик для редактора скриптов"_cp);
    try {
        return DecodeScriptFile(bytes);
    } catch (const ScriptFileError& e) {
        ThrowFileError(kCannotOpen, path, e.what());
    }
}

void WriteScriptFile(xml::IFileSystem& files, const fs::path& path, std::string_view text) {
    try {
        xml::WriteSafely(files, path, text);
    } catch (const std::exception& e) {
        ThrowFileError(u8"Не удалось сохранить файл"_cp, path, e.what());
    }
}

}  // namespace zeph::store
