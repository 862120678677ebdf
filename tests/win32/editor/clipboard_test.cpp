// The editor's clipboard through the real one: text as UTF-16, the column-block marker beside
// it, an empty clipboard, and a clipboard that another window holds open.
#include <gtest/gtest.h>

#include "editor/clipboard.h"
#include "text/cp1251.h"
#include "win32/editor/harness.h"

namespace zeph::win::test {
namespace {

using text::operator""_cp;

TEST(Win32Clipboard, AColumnBlockComesBackAsABlockUntilAnotherWriterReplacesIt) {
    EditorHost host;
    Win32Clipboard clip(host.hwnd());
    const std::string block(u8"ab\r\nвг"_cp);
    clip.PutText(block, true);
    EXPECT_EQ(ClipboardText(), L"ab\r\n\x0432\x0433");
    std::string text;
    bool column = false;
    ASSERT_TRUE(clip.GetText(text, column));
    EXPECT_EQ(text, block);
    EXPECT_TRUE(column);

    clip.PutText("plain", false);
    ASSERT_TRUE(clip.GetText(text, column));
    EXPECT_EQ(text, "plain");
    EXPECT_FALSE(column);

    clip.PutText(block, true);
    ASSERT_TRUE(SetClipboardText(L"other"));  // empties the clipboard, marker and all
    ASSERT_TRUE(clip.GetText(text, column));
    EXPECT_EQ(text, "other");
    EXPECT_FALSE(column);
}

TEST(Win32Clipboard, WithoutTextThereIsNothingToPaste) {
    EditorHost host;
    ASSERT_TRUE(::OpenClipboard(host.frame()));
    ::EmptyClipboard();
    ::CloseClipboard();
    Win32Clipboard clip(host.hwnd());
    std::string text = "kept";
    bool column = true;
    EXPECT_FALSE(clip.GetText(text, column));
    EXPECT_EQ(text, "kept");

    // The editor's paste then changes nothing.
    host.editor().SetText("abc");
    host.Key('V', kCtrl);
    EXPECT_EQ(host.model().Text(), "abc\r\n");
}

TEST(Win32Clipboard, AClipboardHeldOpenByAnotherWindowIsLeftAsItIs) {
    EditorHost host;
    ASSERT_TRUE(SetClipboardText(L"before"));
    ASSERT_TRUE(::OpenClipboard(host.frame()));
    Win32Clipboard clip(host.hwnd());
    clip.PutText("after", false);
    std::string text;
    bool column = false;
    const bool got = clip.GetText(text, column);
    // Still ours to close: the editor's clipboard gave up without closing it.
    EXPECT_TRUE(::CloseClipboard());
    EXPECT_FALSE(got);
    EXPECT_EQ(ClipboardText(), L"before");
}

}  // namespace
}  // namespace zeph::win::test
