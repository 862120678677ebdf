#include "forms/help_key.h"

#include <gtest/gtest.h>

namespace zeph::forms {
namespace {

// A form with a named panel holding an unnamed group box that holds an unnamed button.
struct Tree {
    HelpComponent form{"TestForm", "TTestForm", true, true, 0, nullptr};
    HelpComponent panel{"ToolPanel", "TPanel", false, true, 2, &form};
    HelpComponent group{"", "TGroupBox", false, true, 1, &panel};
    HelpComponent button{"", "TButton", false, true, 3, &group};
    HelpComponent direct{"", "TEdit", false, true, 4, &form};
};

TEST(HelpKey, NamedAndUnnamedControls) {
    Tree t;
    EXPECT_EQ(HelpKeyOf(t.form, kHitClient), (HelpKey{"TTestForm", "Form"}));
    // A name stands alone, whatever its parents are called.
    EXPECT_EQ(HelpKeyOf(t.panel, kHitClient), (HelpKey{"TTestForm", "ToolPanel"}));
    // Unnamed: the path from the first named parent (or the form), class and index.
    EXPECT_EQ(HelpKeyOf(t.direct, kHitClient), (HelpKey{"TTestForm", "Edit4"}));
    EXPECT_EQ(HelpKeyOf(t.group, kHitClient), (HelpKey{"TTestForm", "ToolPanel.GroupBox1"}));
    EXPECT_EQ(HelpKeyOf(t.button, kHitClient),
              (HelpKey{"TTestForm", "ToolPanel.GroupBox1.Button3"}));
}

TEST(HelpKey, HitTestCodesOutsideTheClientArea) {
    Tree t;
    // The caption (2) and the border codes go to the shared section.
    EXPECT_EQ(HelpKeyOf(t.form, 2), (HelpKey{"Forms", "Form(2)"}));
    EXPECT_EQ(HelpKeyOf(t.direct, 17), (HelpKey{"Forms", "Edit4(17)"}));
    // The scroll bars stay with their form.
    EXPECT_EQ(HelpKeyOf(t.direct, kHitHorizontalScroll), (HelpKey{"TTestForm", "Edit4(6)"}));
    EXPECT_EQ(HelpKeyOf(t.panel, kHitVerticalScroll), (HelpKey{"TTestForm", "ToolPanel(7)"}));
}

TEST(HelpKey, ComponentsThatAreNoControls) {
    Tree t;
    HelpComponent menu{"", "TMainMenu", false, false, 0, &t.form};
    HelpComponent item{"", "TMenuItem", false, false, 5, &menu};
    HelpComponent named{"FileOpen", "TMenuItem", false, false, 6, &menu};
    // Owner's path is not part of the key; the section is the first form among the owners.
    EXPECT_EQ(HelpKeyOf(item, kHitClient), (HelpKey{"TTestForm", "MenuItem5"}));
    EXPECT_EQ(HelpKeyOf(named, kHitClient), (HelpKey{"TTestForm", "FileOpen"}));
    HelpComponent orphan{"", "TTimer", false, false, 0, nullptr};
    EXPECT_EQ(HelpKeyOf(orphan, kHitClient, "TMainForm"), (HelpKey{"TMainForm", "Timer0"}));
}

TEST(HelpKey, ShortClassNames) {
    EXPECT_EQ(ShortClassName("TButton"), "Button");
    EXPECT_EQ(ShortClassName("Button"), "Button");
    EXPECT_EQ(ShortClassName("ToolbarWindow32"), "ToolbarWindow32");
    EXPECT_EQ(ShortClassName("T"), "T");
    EXPECT_EQ(ShortClassName(""), "");
}

TEST(HelpFiles, ExtensionIsReplacedInTheFileNameOnly) {
    EXPECT_EQ(ChangeExtension("C:\\Tellur\\Tellur.exe", ".INI"), "C:\\Tellur\\Tellur.INI");
    EXPECT_EQ(ChangeExtension("C:\\My.Maps\\Tellur", ".CHM"), "C:\\My.Maps\\Tellur.CHM");
    EXPECT_EQ(ChangeExtension("C:\\a\\b.tar.exe", ".CHM"), "C:\\a\\b.tar.CHM");
    EXPECT_EQ(ChangeExtension("D:x", ".INI"), "D:x.INI");
}

TEST(HelpText, TopicsAndPopups) {
    using K = HelpRequest::Kind;
    const char* chm = "C:\\Tellur\\Tellur.CHM";
    EXPECT_EQ(ParseHelpText(chm, ""), (HelpRequest{K::Topic, chm, 0}));
    EXPECT_EQ(ParseHelpText(chm, "maps.html#layers"),
              (HelpRequest{K::Topic, "C:\\Tellur\\Tellur.CHM::/maps.html#layers", 0}));
    EXPECT_EQ(ParseHelpText(chm, "#12 file.txt"),
              (HelpRequest{K::Popup, "C:\\Tellur\\Tellur.CHM::/file.txt", 12}));
    EXPECT_EQ(ParseHelpText(chm, "#12"), (HelpRequest{K::Popup, chm, 12}));
    EXPECT_EQ(ParseHelpText(chm, "#7popups.txt"),
              (HelpRequest{K::Popup, "C:\\Tellur\\Tellur.CHM::/popups.txt", 7}));
    // No number, or one no identifier can hold: string 0, which names nothing.
    EXPECT_EQ(ParseHelpText(chm, "#"), (HelpRequest{K::Popup, chm, 0}));
    EXPECT_EQ(ParseHelpText(chm, "#99999999999999999999 a.txt"),
              (HelpRequest{K::Popup, "C:\\Tellur\\Tellur.CHM::/a.txt", 0}));
    EXPECT_EQ(ParseHelpText(chm, "#4294967295"), (HelpRequest{K::Popup, chm, 4294967295u}));
}

}  // namespace
}  // namespace zeph::forms
