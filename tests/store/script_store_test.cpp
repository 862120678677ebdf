#include <gmock/gmock.h>

#include "store_test_util.h"
#include "xml/xml.h"

namespace zeph::store::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

// Names of the root's child elements and, for scripts, their names: "Script:Test".
std::vector<std::string> RootLayout(const fs::path& store) {
    std::vector<std::string> layout;
    auto root = xml::LoadXmlDocument(store)->DocumentElement();
    auto children = root->ChildNodes();
    for (int i = 0; i < children->Count(); ++i) {
        auto child = children->Item(i);
        std::string item = child->NodeName();
        if (item == "Script") item += ":" + child->GetAttr("Name", "<none>");
        layout.push_back(item);
    }
    return layout;
}

std::vector<std::string> AttrNames(const xml::IXmlNode& node) {
    std::vector<std::string> names;
    for (int i = 0; i < node.AttrCount(); ++i) names.push_back(node.AttrName(i));
    return names;
}

// The bytes without the line that holds `marker`.
std::string DropLine(std::string bytes, std::string_view marker) {
    const auto at = bytes.find(marker);
    const auto begin = bytes.rfind("\r\n", at);
    const auto end = bytes.find("\r\n", at);
    bytes.erase(begin, end - begin);
    return bytes;
}

class ScriptStoreTest : public ::testing::Test {
  protected:
    ScriptStoreTest() {
        store.SetOpenScript([this](const std::string& name) { window.OpenScript(name); });
    }
    fs::path StoreFile() const { return folder.File("zpconfig.cfg"); }
    void WriteStore(std::string_view bytes) { WriteBytes(StoreFile(), bytes); }
    xml::XmlRef<xml::IXmlElement> Configuration() {
        return xml::LoadXmlDocument(StoreFile())->DocumentElement()->ElementByName("Configuration");
    }

    TempFolder folder;
    ScriptStore store{folder.Host()};
    FakeWindow window;
};

TEST_F(ScriptStoreTest, FirstOpenWritesTheNewFileAndLeavesTheWindowAlone) {
    const auto vb_comment = *window.vb.FindClass("Comment");
    store.ApplyStore(window);

    EXPECT_EQ(ReadBytes(StoreFile()), DefaultStoreBytes());
    EXPECT_THAT(window.calls, ElementsAre("ClearScriptList"));
    EXPECT_TRUE(window.list.empty());
    EXPECT_EQ(window.font_name, "Lucida Console");
    EXPECT_EQ(window.vb.FindClass("Comment")->style, vb_comment.style);
    EXPECT_EQ(window.vb.FindClass("Comment")->foreground, vb_comment.foreground);
    EXPECT_EQ(store.LoadStore()->GetXml(), DefaultStoreBytes());
}

TEST_F(ScriptStoreTest, SecondOpenAppliesFontColoursAndPlacement) {
    store.ApplyStore(window);
    window.calls.clear();
    store.ApplyStore(window);

    EXPECT_EQ(window.font_name, "Courier New");
    EXPECT_EQ(window.font_size, 8);
    EXPECT_EQ(window.margin, 80);
    EXPECT_TRUE(window.margin_visible);
    EXPECT_EQ(window.gutter, 30);
    EXPECT_TRUE(window.gutter_visible);
    EXPECT_EQ(window.state, WindowState::kNormal);
    EXPECT_EQ(window.bounds, (WindowBounds{100, 100, 350, 200}));

    const auto& reserved = *window.js.FindClass("Reserved word");
    EXPECT_EQ(reserved.foreground, 16711680);
    EXPECT_EQ(reserved.background, -16777211);
    EXPECT_EQ(reserved.style, editor::kBold);
    // The VBScript classes take the JavaScript looks, replacing their own bold-italic comments.
    for (int i = 0; i < window.vb.ClassCount(); ++i) {
        const auto& vb = window.vb.ClassAt(i);
        const auto& js = *window.js.FindClass(vb.name);
        EXPECT_EQ(vb.style, js.style) << vb.name;
        EXPECT_EQ(vb.foreground, js.foreground) << vb.name;
        EXPECT_EQ(vb.background, js.background) << vb.name;
    }
    EXPECT_EQ(window.vb.FindClass("Comment")->foreground, 32768);
    EXPECT_EQ(window.vb.FindClass("Comment")->style, editor::kPlain);
    EXPECT_EQ(window.js.FindClass("Event")->foreground, 536870912);
    EXPECT_GT(window.js.LooksVersion(), 0u);

    // No script is named in DefaultSave: the last text (absent, so empty) replaces the editor's.
    EXPECT_EQ(window.box_text, "");
    EXPECT_EQ(window.editor_text, "");
    EXPECT_TRUE(window.opened.empty());
    EXPECT_THAT(
        window.calls,
        ElementsAre("ClearScriptList", "AddScriptNames", "SetFontName", "SetFontSize",
                    "SetRightMargin", "SetRightMarginVisible", "SetGutterWidth", "SetGutterVisible",
                    "SetWindowState", "SetWindowBounds", "SetScriptBoxText", "ReplaceEditorText"));
}

TEST_F(ScriptStoreTest, StoringUnderAnExistingNameUpdatesThatRecordInPlace) {
    store.CreateDefaultStore();
    store.StoreScript("Test", "VBScript", "first");
    store.StoreScript("Other", "VBScript", "other");
    store.StoreScript("Test", "JavaScript", "second");
    store.StoreScript("test", "VBScript", "lower case is another script");
    store.StoreScript("", "JavaScript", "scratch");

    EXPECT_THAT(RootLayout(StoreFile()), ElementsAre("Script:", "Configuration", "Script:Test",
                                                     "Script:Other", "Script:test"));
    auto root = xml::LoadXmlDocument(StoreFile())->DocumentElement();
    auto test = root->ElementByAttr("Script", "Name", xml::XmlValue("Test"));
    EXPECT_EQ(test->GetAttr("Text", ""), "second");
    EXPECT_EQ(test->GetAttr("Language", ""), "JavaScript");
    EXPECT_THAT(AttrNames(*test), ElementsAre("Name", "Language", "Text"));
    auto scratch = root->ElementByName("Script");
    EXPECT_EQ(scratch->GetAttr("Text", ""), "scratch");
    EXPECT_THAT(AttrNames(*scratch), ElementsAre("Name", "Language", "Text"));

    store.ApplyStore(window);
    EXPECT_THAT(window.list, ElementsAre("Test", "Other", "test"));
}

TEST_F(ScriptStoreTest, ARecordWithoutNameIsUpdatedByTheNameNone) {
    WriteStore(ReplaceAll(DefaultStoreBytes(), "<Script Name=\"\"/>",
                          "<Script Name=\"\"/>\r\n\t<Script Text=\"nameless\"/>"));
    store.StoreScript("none", "VBScript", "found");
    EXPECT_THAT(RootLayout(StoreFile()), ElementsAre("Script:", "Script:none", "Configuration"));
    // Opening and removal never find it.
    store.RemoveScript("");
    EXPECT_THAT(RootLayout(StoreFile()), ElementsAre("Script:none", "Configuration"));
}

TEST(FindScriptRecord, FindsTheFirstScriptOfExactlyThatName) {
    auto doc = xml::CreateXmlDocument();
    doc->LoadFromBytes(
        u8"<Scripts><Configuration Name=\"A\"/><Script Text=\"nameless\"/>"
        u8"<Script Name=\"a\" Text=\"lower\"/><Script Name=\"A\" Text=\"first\"/>"
        u8"<Script Name=\"A\" Text=\"second\"/><Script Name=\"Сумма\" Text=\"ru\"/>"
        u8"</Scripts>"_cp);
    auto root = doc->DocumentElement();
    auto typed = root->AppendElement("Script");
    typed->SetIntAttr("Name", 7);
    typed->SetAttr("Text", "typed");
    auto text = [&](std::string_view name, std::optional<std::string_view> nameless = {}) {
        auto script = FindScriptRecord(*root, name, nameless);
        return script ? script->GetAttr("Text", "") : std::string("-");
    };
    EXPECT_EQ(text("A"), "first");  // neither another element nor a later record
    EXPECT_EQ(text("a"), "lower");
    EXPECT_EQ(text(u8"Сумма"_cp), "ru");
    EXPECT_EQ(text(u8"сумма"_cp), "-");
    EXPECT_EQ(text("A "), "-");
    EXPECT_EQ(text("7"), "typed");
    EXPECT_EQ(text("07"), "-");  // names are texts, not numbers
    // A record without a name answers only to the reading its caller gives it.
    EXPECT_EQ(text("none"), "-");
    EXPECT_EQ(text(""), "-");
    EXPECT_EQ(text("none", "none"), "nameless");
    EXPECT_EQ(text("", "none"), "-");
}

TEST_F(ScriptStoreTest, ScriptTextsComeBackByteForByte) {
    store.CreateDefaultStore();
    const std::string text = std::string(u8"Dim s ' \"кавычки\" & <теги> 'апостроф'\r\n"_cp) +
                             "\tIf a < b And c > d Then\r\n\r\n  x = \"&amp;\"\r\nEnd If\r\n";
    store.StoreScript("Escapes", "VBScript", text);

    const std::string bytes = ReadBytes(StoreFile());
    EXPECT_THAT(bytes, HasSubstr("&quot;"));
    EXPECT_THAT(bytes, HasSubstr("&amp;amp;"));
    EXPECT_THAT(bytes, HasSubstr("&lt;"));
    EXPECT_THAT(bytes, HasSubstr("\r\n\tIf a"));  // raw line breaks inside the attribute
    auto root = store.LoadStore()->DocumentElement();
    EXPECT_EQ(root->ElementByAttr("Script", "Name", xml::XmlValue("Escapes"))->GetAttr("Text", ""),
              text);
}

TEST_F(ScriptStoreTest, RemovingDeletesTheFirstRecordOfThatNameOnly) {
    WriteStore(ReplaceAll(DefaultStoreBytes(), "<Script Name=\"\"/>",
                          "<Script Name=\"\"/>\r\n\t<Script Name=\"A\" Text=\"1\"/>\r\n\t<Script "
                          "Name=\"B\"/>\r\n\t<Script Name=\"A\" Text=\"2\"/>"));
    store.RemoveScript("A");
    EXPECT_THAT(RootLayout(StoreFile()),
                ElementsAre("Script:", "Script:B", "Script:A", "Configuration"));
    store.RemoveScript("a");  // names are case-sensitive: nothing to remove
    store.RemoveScript("Missing");
    EXPECT_THAT(RootLayout(StoreFile()),
                ElementsAre("Script:", "Script:B", "Script:A", "Configuration"));
    EXPECT_EQ(xml::LoadXmlDocument(StoreFile())
                  ->DocumentElement()
                  ->ElementByAttr("Script", "Name", xml::XmlValue("A"))
                  ->GetAttr("Text", ""),
              "2");
}

TEST_F(ScriptStoreTest, ScriptsAfterTheConfigurationAreReadLikeThoseBefore) {
    WriteStore(DataFile("scripts_around.cfg"));
    store.ApplyStore(window);
    EXPECT_THAT(window.list, ElementsAre("Before", "After", "Last"));
    EXPECT_EQ(window.font_name, "Arial");
    EXPECT_THAT(window.opened, ElementsAre("After"));
    EXPECT_EQ(window.box_text, "After");
    EXPECT_FALSE(window.Called("ReplaceEditorText"));
}

TEST_F(ScriptStoreTest, DefaultSaveOfAMissingScriptShowsTheLastText) {
    store.CreateDefaultStore();
    store.StoreScript("Report", "VBScript", "x");
    window.box_text = "Gone";
    window.editor_text = "typed text";
    store.SaveWorkbenchState(window);
    window.editor_text.clear();
    window.box_text.clear();

    store.ApplyStore(window);
    EXPECT_EQ(window.box_text, "Gone");
    EXPECT_TRUE(window.opened.empty());
    EXPECT_EQ(window.editor_text, "typed text");

    window.box_text = "report";  // another case: not the stored script
    store.SaveWorkbenchState(window);
    store.ApplyStore(window);
    EXPECT_TRUE(window.opened.empty());
    window.box_text = "Report";
    store.SaveWorkbenchState(window);
    store.ApplyStore(window);
    EXPECT_THAT(window.opened, ElementsAre("Report"));
}

// A store without the workbench's opener (the settings dialog's, a tool's) names the default
// script in the box and leaves the editor alone: neither the script's text nor the last text.
TEST_F(ScriptStoreTest, WithoutAnOpenerTheDefaultScriptIsOnlyNamed) {
    WriteStore(DataFile("scripts_around.cfg"));
    ScriptStore plain{folder.Host()};
    window.editor_text = "typed text";
    plain.ApplyStore(window);
    EXPECT_EQ(window.box_text, "After");
    EXPECT_EQ(window.editor_text, "typed text");
    EXPECT_TRUE(window.opened.empty());
}

TEST_F(ScriptStoreTest, ColourLabelsMapThroughTheCaptionTableOrStandForThemselves) {
    std::string bytes = DefaultStoreBytes();
    bytes = ReplaceAll(bytes, std::string(u8"name=\"Комментарии\" Foreground=\"32768\""_cp),
                       "name=\"Comment\" Foreground=\"255\"");
    bytes = ReplaceAll(bytes, std::string(u8"name=\"Строки\" Foreground=\"128\""_cp),
                       std::string(u8"name=\"СТРОКИ\" Foreground=\"65280\""_cp));
    WriteStore(bytes);
    store.ApplyStore(window);
    EXPECT_EQ(window.js.FindClass("Comment")->foreground, 255);
    EXPECT_EQ(window.vb.FindClass("Comment")->foreground, 255);
    EXPECT_EQ(window.js.FindClass("String")->foreground, 65280);
}

TEST_F(ScriptStoreTest, StylesAndColoursAreReadFromTheEntries) {
    std::string bytes = ReplaceAll(
        DefaultStoreBytes(),
        std::string(
            u8"name=\"Числа\" Foreground=\"0\" Background=\"-16777211\" Bold=\"0\" Italic=\"0\" Underline=\"0\""_cp),
        std::string(
            u8"name=\"Числа\" Background=\"7\" Bold=\"True\" Italic=\"1\" Underline=\"1\""_cp));
    bytes = ReplaceAll(bytes, "<Configuration WindowState=\"Normal\"",
                       "<Configuration MarginBool=\"0\" MarginSize=\"100\" GutterBool=\"0\" "
                       "GutterSize=\"12\" WindowState=\"maximized\"");
    WriteStore(bytes);
    store.ApplyStore(window);
    const auto& number = *window.js.FindClass("Number");
    EXPECT_EQ(number.foreground, 0);  // absent: 0
    EXPECT_EQ(number.background, 7);
    EXPECT_EQ(number.style, editor::kItalic | editor::kUnderline);  // only "1" switches on
    EXPECT_EQ(window.margin, 100);
    EXPECT_FALSE(window.margin_visible);
    EXPECT_EQ(window.gutter, 12);
    EXPECT_FALSE(window.gutter_visible);
    EXPECT_EQ(window.state, WindowState::kMaximized);
}

TEST_F(ScriptStoreTest, WorkbenchStateIsWrittenInItsOrder) {
    store.CreateDefaultStore();
    window.state = WindowState::kMinimized;
    window.bounds = {-5, 7, 640, 480};
    window.box_text = u8"Отчёт"_cp;
    window.editor_text = "line 1\r\nline \"2\"";
    window.font_name = "Consolas";
    window.font_size = 12;
    store.SaveWorkbenchState(window);

    auto config = Configuration();
    EXPECT_THAT(AttrNames(*config), ElementsAre("WindowState", "Height", "Width", "Top", "Left",
                                                "DefaultSave", "FontName", "FontSize", "LastText"));
    EXPECT_EQ(config->GetAttr("WindowState", ""), "Minimized");
    EXPECT_EQ(config->GetAttr("Height", ""), "480");
    EXPECT_EQ(config->GetAttr("Width", ""), "640");
    EXPECT_EQ(config->GetAttr("Top", ""), "7");
    EXPECT_EQ(config->GetAttr("Left", ""), "-5");
    EXPECT_EQ(config->GetAttr("DefaultSave", ""), std::string(u8"Отчёт"_cp));
    EXPECT_EQ(config->GetAttr("LastText", ""), "line 1\r\nline \"2\"");
    EXPECT_EQ(config->GetAttr("FontName", ""), "Consolas");
    EXPECT_EQ(config->GetAttr("FontSize", ""), "12");
    EXPECT_EQ(config->ChildNodes()->Count(), 10);

    FakeWindow reopened;
    store.ApplyStore(reopened);
    EXPECT_EQ(reopened.state, WindowState::kMinimized);
    EXPECT_EQ(reopened.bounds, (WindowBounds{-5, 7, 640, 480}));
    EXPECT_EQ(reopened.editor_text, "line 1\r\nline \"2\"");
    EXPECT_EQ(reopened.font_size, 12);
}

TEST_F(ScriptStoreTest, SavingStateWithoutAStoreOnlyCreatesTheNewFile) {
    window.box_text = "Name";
    window.editor_text = "text";
    store.SaveWorkbenchState(window);
    EXPECT_EQ(ReadBytes(StoreFile()), DefaultStoreBytes());
}

TEST_F(ScriptStoreTest, TheFolderIsAskedBeforeEveryAccessAndJoinedWithoutSeparator) {
    int asked = 0;
    const fs::path prefix = folder.File("pre_");
    ScriptStore counting([&] {
        ++asked;
        return prefix;
    });
    counting.CreateDefaultStore();
    EXPECT_TRUE(fs::exists(folder.File("pre_zpconfig.cfg")));
    const int after_create = asked;
    counting.StoreScript("A", "VBScript", "");
    EXPECT_GT(asked, after_create);
}

TEST_F(ScriptStoreTest, AFolderGivenAsCodePageTextKeepsItsCyrillicName) {
    const std::string text =
        text::FromUtf16(folder.Folder().u16string()) + std::string(u8"Данные"_cp);
    fs::create_directories(PathFromText(text));
    ScriptStore cyrillic([&] { return PathFromText(text + "/"); });
    cyrillic.CreateDefaultStore();
    EXPECT_TRUE(fs::exists(PathFromText(text) / "zpconfig.cfg"));
    EXPECT_EQ(PathFromText(text).filename().u16string(), u"Данные");
}

TEST_F(ScriptStoreTest, ScriptLanguageDefaultsToVBScript) {
    auto doc = xml::CreateXmlDocument("Scripts");
    auto script = doc->DocumentElement()->AppendElement("Script");
    EXPECT_EQ(ScriptLanguage(*script), "VBScript");
    script->SetAttr("Language", "");
    EXPECT_EQ(ScriptLanguage(*script), "VBScript");
    script->SetAttr("Language", "javascript");
    EXPECT_EQ(ScriptLanguage(*script), "javascript");
}

// --- failures -------------------------------------------------------------------------------

TEST_F(ScriptStoreTest, OperationsThatNeedTheFileFailWhenItIsMissing) {
    EXPECT_THAT(ErrorOf([&] { store.StoreScript("A", "VBScript", "x"); }),
                HasSubstr("zpconfig.cfg"));
    EXPECT_NE(ErrorOf([&] { store.RemoveScript("A"); }), "");
    EXPECT_NE(ErrorOf([&] { store.LoadStore(); }), "");
    EXPECT_FALSE(fs::exists(StoreFile()));
    EXPECT_FALSE(store.StoreExists());
}

TEST_F(ScriptStoreTest, AMalformedStoreStopsEveryOperationWithTheParsersMessage) {
    const std::string broken =
        "<?xml version=\"1.0\"?>\r\n<Scripts>\r\n\t<Script Name=\"A\" Text=\"x\r\n";
    WriteStore(broken);
    // The parser's text, then the file and the place: the value runs to the end of the file.
    const std::string expected = std::string(u8"Ожидается \"\"\" (файл \""_cp) +
                                 StoreFile().string() +
                                 std::string(u8"\", строка 4, столбец 1)"_cp);
    EXPECT_EQ(ErrorOf([&] { store.ApplyStore(window); }), expected);
    EXPECT_EQ(ErrorOf([&] { store.SaveWorkbenchState(window); }), expected);
    EXPECT_EQ(ErrorOf([&] { store.StoreScript("A", "VBScript", "y"); }), expected);
    EXPECT_EQ(ErrorOf([&] { store.RemoveScript("A"); }), expected);
    EXPECT_EQ(ReadBytes(StoreFile()), broken);
    EXPECT_FALSE(fs::exists(folder.File("zpconfig.cfg.bak")));
    EXPECT_FALSE(fs::exists(folder.File("zpconfig.cfg.tmp")));
}

TEST_F(ScriptStoreTest, ABadNumberStopsTheApplyingWithWhatCameBeforeApplied) {
    WriteStore(ReplaceAll(DefaultStoreBytes(), "Height=\"200\"", "Height=\"tall\""));
    EXPECT_NE(ErrorOf([&] { store.ApplyStore(window); }), "");
    EXPECT_EQ(window.font_name, "Courier New");
    EXPECT_EQ(window.js.FindClass("String")->foreground, 128);
    // Left and top come before height.
    EXPECT_EQ(window.bounds, (WindowBounds{100, 100, 400, 300}));
    EXPECT_FALSE(window.Called("SetScriptBoxText"));
}

TEST_F(ScriptStoreTest, AnUnknownWindowStateListsTheAllowedTexts) {
    WriteStore(ReplaceAll(DefaultStoreBytes(), "WindowState=\"Normal\"", "WindowState=\"Huge\""));
    EXPECT_EQ(ErrorOf([&] { store.ApplyStore(window); }),
              std::string(u8"Неверное значение атрибута \"WindowState\" элемента "
                          u8"\"Configuration\".\r\nДопустимые значения:\r\n"_cp) +
                  "Normal\r\nMinimized\r\nMaximized");
    EXPECT_FALSE(window.Called("SetWindowState"));
}

TEST_F(ScriptStoreTest, FewerThanNineColoursStopAtTheColours) {
    const std::string eight = DropLine(DefaultStoreBytes(), u8"name=\"Символы\""_cp);
    // Nine children, the ninth being DefaultColor, which names no class.
    WriteStore(eight);
    EXPECT_THAT(ErrorOf([&] { store.ApplyStore(window); }),
                HasSubstr(std::string(u8"ни одному классу лексем"_cp)));

    WriteStore(DropLine(eight, "<DefaultColor"));
    window.calls.clear();
    EXPECT_EQ(ErrorOf([&] { store.ApplyStore(window); }),
              std::string(u8"Ошибка получения элемента списка: индекс выходит за пределы"_cp));
    EXPECT_TRUE(window.Called("AddScriptNames"));
    EXPECT_TRUE(window.Called("SetGutterVisible"));
    EXPECT_EQ(window.js.FindClass("Comment")->foreground, 32768);
    EXPECT_FALSE(window.Called("SetWindowState"));
    EXPECT_FALSE(window.Called("SetScriptBoxText"));
}

TEST_F(ScriptStoreTest, UndefinedStoresGiveAClearMessageAndNothingIsWritten) {
    const std::string no_root = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>";
    WriteStore(no_root);
    for (auto* op : {+[](ScriptStore&s, FakeWindow&w) { s.ApplyStore(w); },
                     +[](ScriptStore&s, FakeWindow&w) { s.SaveWorkbenchState(w); },
                     +[](ScriptStore&s, FakeWindow&) { s.StoreScript("A", "VBScript", ""); },
                     +[](ScriptStore&s, FakeWindow&) { s.RemoveScript("A"); }}) {
        EXPECT_THAT(ErrorOf([&] { op(store, window); }),
                    HasSubstr(std::string(u8"не содержит корневого элемента"_cp)));
    }
    EXPECT_EQ(ReadBytes(StoreFile()), no_root);

    const std::string no_config = no_root + "\r\n<Scripts>\r\n\t<Script Name=\"A\"/>\r\n</Scripts>";
    WriteStore(no_config);
    EXPECT_THAT(ErrorOf([&] { store.ApplyStore(window); }), HasSubstr("\"Configuration\""));
    EXPECT_THAT(window.list, ElementsAre("A"));
    EXPECT_THAT(ErrorOf([&] { store.SaveWorkbenchState(window); }), HasSubstr("\"Configuration\""));
    EXPECT_EQ(ReadBytes(StoreFile()), no_config);
    // Scripts themselves need no configuration.
    store.StoreScript("B", "VBScript", "");
    EXPECT_THAT(RootLayout(StoreFile()), ElementsAre("Script:A", "Script:B"));
}

TEST_F(ScriptStoreTest, AColourLabelThatNamesNoClassIsAnError) {
    WriteStore(ReplaceAll(DefaultStoreBytes(), std::string(u8"name=\"Пробелы\""_cp),
                          "name=\"Whitespace\""));
    EXPECT_THAT(ErrorOf([&] { store.ApplyStore(window); }), HasSubstr("\"Whitespace\""));
    EXPECT_FALSE(window.Called("SetWindowState"));

    WriteStore(
        ReplaceAll(DefaultStoreBytes(), std::string(u8"<Color name=\"Пробелы\""_cp), "<Color"));
    EXPECT_THAT(ErrorOf([&] { store.ApplyStore(window); }),
                HasSubstr(std::string(u8"ни одному классу лексем"_cp)));
}

}  // namespace
}  // namespace zeph::store::testing
