// Script files opened into the editor and saved from it: decoding, the language a name gives,
// and what reading and writing leave when something fails.
#include "store/script_file.h"

#include <gmock/gmock.h>

#include "store_test_util.h"
#include "support/file_faults.h"

namespace zeph::store::testing {
namespace {

using ::testing::HasSubstr;
using xml::FileStep;

TEST(ScriptFile, DecodesEachEncodingAndCountsWhatTheCodePageLacks) {
    struct Case {
        const char* what;
        std::string bytes;
        FileEncoding encoding;
        std::string text;  // UTF-8 here, code page 1251 in the result
        std::size_t replaced;
        int first_line;
    };
    const std::vector<Case> cases = {
        {"code page 1251 as it is", "x = \"\xCF\xF0\xE8\xE2\xE5\xF2\"\r\n\x98",
         FileEncoding::kCp1251, "x = \"Привет\"\r\n\xC2\x98", 0, 0},
        {"UTF-8 with its mark", "\xEF\xBB\xBFy = \"\xD0\xB0\xD0\x81\"\n", FileEncoding::kUtf8,
         "y = \"аЁ\"\r\n", 0, 0},
        {"UTF-8 characters outside the code page",
         "\xEF\xBB\xBF"
         "a\r\nb \xE2\x9C\x93\r\n\xF0\x9F\x98\x80 \xE4\xB8\xAD",
         FileEncoding::kUtf8, "a\r\nb ?\r\n? ?", 3, 2},
        {"malformed UTF-8", "\xEF\xBB\xBF\xC3(\xFF", FileEncoding::kUtf8, "?(?", 2, 1},
        {"UTF-8 without a mark is read as the code page", "\xD0\xB0", FileEncoding::kCp1251, "Р°",
         0, 0},
        {"UTF-16 little-endian",
         std::string("\xFF\xFE"
                     "a\0\x30\x04\n\0\x13\x27",
                     10),
         FileEncoding::kUtf16Le, "aа\r\n?", 1, 2},
        {"UTF-16 big-endian, a half character at the end", std::string("\xFE\xFF\0b\x04", 5),
         FileEncoding::kUtf16Be, "b?", 1, 1},
        {"an empty file", "", FileEncoding::kCp1251, "", 0, 0},
        {"line breaks of any kind", "a\rb\nc\r\n\r\rd", FileEncoding::kCp1251,
         "a\r\nb\r\nc\r\n\r\n\r\nd", 0, 0},
    };
    for (const Case& c : cases) {
        const DecodedScript script = DecodeScriptFile(c.bytes);
        EXPECT_EQ(script.encoding, c.encoding) << c.what;
        EXPECT_EQ(script.text, text::FromUtf8(c.text)) << c.what;
        EXPECT_EQ(script.replaced, c.replaced) << c.what;
        EXPECT_EQ(script.first_replaced_line, c.first_line) << c.what;
    }
    for (std::string_view binary :
         {std::string_view("MZ\0\x90", 4), std::string_view("\xEF\xBB\xBF\0", 4),
          std::string_view("\xFF\xFEx\0\0\0", 6)})
        EXPECT_THROW(DecodeScriptFile(binary), ScriptFileError);
}

TEST(ScriptFile, TheExtensionGivesTheLanguage) {
    const std::vector<std::pair<const char*, std::optional<std::string_view>>> cases = {
        {"a.vbs", "VBScript"},       {"dir.js/A.VBS", "VBScript"}, {"b.js", "JavaScript"},
        {"c.Js", "JavaScript"},      {"d.txt", std::nullopt},      {"vbs", std::nullopt},
        {"e.vbs.bak", std::nullopt}, {"f.jsx", std::nullopt},
    };
    for (const auto& [name, language] : cases) EXPECT_EQ(LanguageOfFile(name), language) << name;
}

TEST(ScriptFile, WritingIsSafeAndReadingRefusesWhatIsNoScript) {
    TempFolder folder;
    const fs::path file = folder.Folder() / fs::path(u8"скрипт.vbs");
    const std::string text = std::string(u8"' Текст"_cp) + "\r\nx = 1\r\n";
    xml::FaultInjectingFileSystem files;
    WriteScriptFile(files, file, text);
    EXPECT_EQ(ReadBytes(file), text);
    EXPECT_EQ(ReadScriptFile(files, file).text, text);

    for (FileStep failing : {FileStep::Create, FileStep::Write, FileStep::Replace}) {
        xml::ScopedFaults faults(files, [&](FileStep step, const fs::path&) {
            if (step == failing) throw xml::XmlError("disk full");
        });
        try {
            WriteScriptFile(files, file, "other");
            ADD_FAILURE() << "a failed write must not pass for saved";
        } catch (const ScriptFileError& e) {
            EXPECT_THAT(e.what(), HasSubstr("disk full"));
            EXPECT_THAT(e.what(), HasSubstr(std::string(u8"скрипт.vbs"_cp)));
        }
        EXPECT_EQ(ReadBytes(file), text);
        EXPECT_FALSE(fs::exists(folder.Folder() / fs::path(u8"скрипт.vbs.tmp")));
    }

    EXPECT_THROW(ReadScriptFile(files, folder.File("missing.js")), ScriptFileError);
    WriteBytes(folder.File("big.js"), std::string(kLargestScriptFile + 1, 'x'));
    EXPECT_THROW(ReadScriptFile(files, folder.File("big.js")), ScriptFileError);
    WriteBytes(folder.File("binary.js"), std::string_view("a\0b", 3));
    try {
        ReadScriptFile(files, folder.File("binary.js"));
        ADD_FAILURE();
    } catch (const ScriptFileError& e) {
        EXPECT_THAT(e.what(), HasSubstr("binary.js"));
    }
}

}  // namespace
}  // namespace zeph::store::testing
