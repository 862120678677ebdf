// The output pane's log and texts, and how runs and keys feed the pane.
#include "workbench/output.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "text/cp1251.h"

namespace zeph::workbench {
namespace {

using text::operator""_cp;

std::vector<std::string> Texts(const OutputLog& log) {
    std::vector<std::string> out;
    for (const auto& e : log.Entries()) out.push_back(e.text);
    return out;
}

TEST(OutputLogTest, SplitsAtEveryKindOfLineBreakWithoutATrailingEmptyLine) {
    OutputLog log;
    log.Append("a\r\nb\nc\rd");
    log.Append("e\r\n");
    log.Append("");  // Echo without arguments: one empty line
    log.Append("\n");
    EXPECT_THAT(Texts(log), ::testing::ElementsAre("a", "b", "c", "d", "e", "", ""));
}

TEST(OutputLogTest, KeepsTheNewestLinesAndTheirPlaces) {
    OutputLog log;
    for (std::size_t i = 0; i < OutputLog::kMaxLines; ++i) EXPECT_EQ(log.Append("x"), 0u);
    EXPECT_EQ(log.Append("y\r\nz", CaretPos{4, 2}), 2u);
    ASSERT_EQ(log.Entries().size(), OutputLog::kMaxLines);
    EXPECT_EQ(log.Entries().back().text, "z");
    EXPECT_EQ(log.PositionAt(OutputLog::kMaxLines - 2), (CaretPos{4, 2}));
    EXPECT_EQ(log.PositionAt(0), std::nullopt);
    EXPECT_EQ(log.PositionAt(OutputLog::kMaxLines), std::nullopt);
    log.Clear();
    EXPECT_TRUE(log.Entries().empty());
}

TEST(OutputTextsTest, RunOutcomes) {
    using std::chrono::milliseconds;
    EXPECT_EQ(FinishedText(milliseconds(0)), u8"Выполнено за 0,00 с"_cp);
    EXPECT_EQ(FinishedText(milliseconds(1234)), u8"Выполнено за 1,23 с"_cp);
    EXPECT_EQ(FinishedText(milliseconds(995)), u8"Выполнено за 1,00 с"_cp);
    EXPECT_EQ(FailedText(ScriptError{"Division by zero", 3, 4}),
              u8"Ошибка (строка 3, позиция 5): Division by zero"_cp);
    // The line is not said twice, but a different one in the engine's text stays.
    EXPECT_EQ(FailedText(ScriptError{std::string(u8"Деление на ноль (строка 3)"_cp), 3, 0}),
              u8"Ошибка (строка 3, позиция 1): Деление на ноль"_cp);
    EXPECT_EQ(FailedText(ScriptError{std::string(u8"Деление на ноль (строка 4)"_cp), 3, 0}),
              u8"Ошибка (строка 3, позиция 1): Деление на ноль (строка 4)"_cp);
    EXPECT_EQ(FailedText(ScriptError{"", 2, 0, true}), u8"Остановлено: строка 2, позиция 1"_cp);
    EXPECT_EQ(EchoText({"a", "", "1"}), "a  1");
    EXPECT_EQ(EchoText({}), "");
}

}  // namespace
}  // namespace zeph::workbench
