#include "workbench/script_errors.h"

#include <gtest/gtest.h>

#include "text/cp1251.h"

namespace zeph::workbench {
namespace {

using text::operator""_cp;

TEST(ScriptErrors, NumbersOfBothFormsGiveRussianTextsWithTheLine) {
    // A control-facility code and the automation code the engines raise for the same error.
    EXPECT_EQ(ScriptErrorText("VBScript", static_cast<std::int32_t>(0x800A000B), 3),
              std::string(u8"Деление на ноль (строка 3)"_cp));
    EXPECT_EQ(ScriptErrorText("VBScript", static_cast<std::int32_t>(0x80020012), 3),
              std::string(u8"Деление на ноль (строка 3)"_cp));
    EXPECT_EQ(ScriptErrorText("JavaScript", static_cast<std::int32_t>(0x80020006), 0),
              std::string(u8"Объект не поддерживает это свойство или метод"_cp));
    EXPECT_EQ(ScriptErrorText("VBScript", 13, 1),
              std::string(u8"Несоответствие типа (строка 1)"_cp));
}

TEST(ScriptErrors, SyntaxNumbersDependOnTheLanguage) {
    const auto n1014 = static_cast<std::int32_t>(0x800A03F6);
    EXPECT_EQ(ScriptErrorText("VBScript", n1014, 0), std::string(u8"Ожидается \"End\""_cp));
    EXPECT_EQ(ScriptErrorText("JavaScript", n1014, 0), std::string(u8"Недопустимый символ"_cp));
    EXPECT_EQ(ScriptErrorText("VBScript", static_cast<std::int32_t>(0x800A0409), 2),
              std::string(u8"Незавершенная строковая константа (строка 2)"_cp));
}

TEST(ScriptErrors, UnknownNumbersGiveNoText) {
    EXPECT_EQ(ScriptErrorText("VBScript", static_cast<std::int32_t>(0x80004005), 1), "");
    EXPECT_EQ(ScriptErrorText("VBScript", static_cast<std::int32_t>(0x800A1234), 1), "");
    EXPECT_EQ(ScriptErrorText("JavaScript", 0, 1), "");
}

// What the engines under Wine report for the common errors, under an English and a Russian
// locale, and what the user reads then.
TEST(ScriptErrors, TheUserReadsRussianAndSomethingSpecific) {
    const auto n = [](std::uint32_t v) { return static_cast<std::int32_t>(v); };
    const struct {
        const char* language;
        std::int32_t number;
        std::string_view source, description, expected;
    } cases[] = {
        // A VBScript syntax error: no number of its own, only the engine's kind of error.
        {"VBScript", n(0x80004005), "Microsoft VBScript compilation error", "",
         u8"Синтаксическая ошибка"_cp},
        {"VBScript", n(0x80004005), u8"Ошибка компиляции Microsoft VBScript"_cp, "",
         u8"Синтаксическая ошибка"_cp},
        {"VBScript", n(0x80004005), "", "Microsoft VBScript compilation error",
         u8"Синтаксическая ошибка"_cp},
        // English descriptions of numbers we know become Russian; Russian ones stay.
        {"VBScript", n(0x800A01B6), "Microsoft VBScript runtime error",
         "Object doesn't support this property or method",
         u8"Объект не поддерживает это свойство или метод"_cp},
        {"VBScript", n(0x800A0009), "", u8"Индекс вне диапазона"_cp, u8"Индекс вне диапазона"_cp},
        {"JavaScript", n(0x800A03EA), "Microsoft JScript compilation error", "Syntax error",
         u8"Синтаксическая ошибка"_cp},
        {"JavaScript", n(0x800A1391), "", u8"«zz» не определён"_cp, u8"«zz» не определён"_cp},
        // An undeclared name under Option Explicit, a call on Nothing: Wine says nothing more.
        {"VBScript", n(0x80004005), "", "", u8"Ошибка выполнения скрипта"_cp},
        {"VBScript", n(0x80004005), "", "0x80004005", u8"Ошибка выполнения скрипта"_cp},
        // A host's own error, in English, with a number we have no text for, stays.
        {"VBScript", n(0x80040201), "Tellur", "Map is locked", "Map is locked"},
        {"JavaScript", n(0x80040201), "Tellur", "",
         u8"Ошибка выполнения скрипта (код 0x80040201)"_cp},
    };
    for (const auto& c : cases) {
        std::string text = ErrorDescription(c.language, c.number, c.source, c.description);
        if (text.empty()) text = UnknownErrorText(c.number, c.source, c.description);
        EXPECT_EQ(text, c.expected) << c.language << " " << c.description;
    }
}

}  // namespace
}  // namespace zeph::workbench
