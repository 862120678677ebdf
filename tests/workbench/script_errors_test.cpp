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

}  // namespace
}  // namespace zeph::workbench
