#include "settings_fixture.h"

namespace zeph::settings::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(SettingsLookups, CaptionsAndClassNamesBothWaysIgnoringCase) {
    EXPECT_EQ(ElementNameOf(u8"СТРОКИ"_cp), "String");
    EXPECT_EQ(ElementCaptionOf("reserved WORD"), kReserved);
    EXPECT_EQ(ElementNameOf("Comment"), "Comment");  // no row: unchanged
    EXPECT_EQ(ElementCaptionOf("Preprocessor"), "Preprocessor");
}

TEST_F(SettingsTest, VBScriptListsSevenClassesInTheHighlightersOrder) {
    Open("VBScriptHighlighter");
    EXPECT_EQ(view.page, Page::kColour);
    EXPECT_THAT(view.elements, ElementsAre(kComments, kIdentifiers, kNumbers, kReserved, kSpaces,
                                           kStrings, kSymbols));
    EXPECT_EQ(view.selected, 0);
    EXPECT_EQ(view.foreground, 32768);
    EXPECT_EQ(view.background, -16777211);
    EXPECT_EQ(view.highlighter, &presenter.VBScriptHighlighter());
    EXPECT_EQ(view.update_depth, 0);
    // The preview took the stored looks.
    EXPECT_TRUE(presenter.VBScriptHighlighter().FindClass("Reserved word")->bold());
    EXPECT_EQ(presenter.VBScriptHighlighter().FindClass("String")->foreground, 128);
    EXPECT_TRUE(view.errors.empty());
}

TEST_F(SettingsTest, AnyOtherHighlighterNameGivesNineJScriptClasses) {
    WriteStore(DefaultStoreBytes());
    for (std::string_view name : {"JavaScriptHighlighter", "vbscriptHighlighter", ""}) {
        SettingsPresenter other(view, folder.Host());
        other.Prepare(name);
        EXPECT_THAT(view.elements, ElementsAre(kComments, kEvents, kIdentifiers, kNonReserved,
                                               kNumbers, kReserved, kSpaces, kStrings, kSymbols))
            << name;
        EXPECT_EQ(view.highlighter, &other.JavaScriptHighlighter());
    }
}

TEST_F(SettingsTest, ListFollowsClassOrderWhateverTheFileOrder) {
    // Strings first in the file: the list and the preview go by caption all the same.
    auto doc = xml::CreateXmlDocument();
    doc->LoadFromBytes(DefaultStoreBytes());
    auto config = doc->DocumentElement()->ElementByName("Configuration");
    auto strings = Record(*config, kStrings);
    strings->SetIntAttr("Foreground", 255);
    std::vector<xml::XmlRef<xml::IXmlNode>> others;
    auto children = config->ChildNodes();
    for (int i = 0; i < children->Count(); ++i)
        if (children->Item(i) != strings) others.push_back(children->Item(i));
    config->RemoveAllChilds();
    config->AppendChild(strings);
    for (auto& other : others) config->AppendChild(other);
    doc->SaveToFile(folder.File("zpconfig.cfg"));
    Open();
    EXPECT_EQ(view.elements.front(), kComments);
    EXPECT_EQ(view.foreground, 32768);
    EXPECT_EQ(presenter.VBScriptHighlighter().FindClass("String")->foreground, 255);
}

TEST_F(SettingsTest, EveryReturnToTheColourPageSelectsTheFirstEntry) {
    Open();
    Select(kStrings);
    EXPECT_EQ(view.foreground, 128);
    ToDisplayPage();
    view.margin_text = "80";
    view.gutter_text = "30";
    ASSERT_TRUE(presenter.OptionsPageControlChanging());
    EXPECT_EQ(view.selected, 0);
    EXPECT_EQ(view.foreground, 32768);
}

TEST_F(SettingsTest, ColourAndStyleChangesGoToPreviewAndWorkingCopyNotTheFile) {
    Open();
    const std::string before = StoreBytes();
    Select(kReserved);
    presenter.ForegroundColorBoxSelect(255);
    presenter.BackgroundColorBoxSelect(editor::kDefaultColour);
    presenter.FontAttributeItalicCheckBoxClick(true);
    presenter.FontAttributeBoldCheckBoxClick(false);

    const auto& cls = *presenter.VBScriptHighlighter().FindClass("Reserved word");
    EXPECT_EQ(cls.foreground, 255);
    EXPECT_EQ(cls.background, editor::kDefaultColour);
    EXPECT_EQ(cls.style, editor::kItalic);
    EXPECT_EQ(view.update_depth, 0);
    auto record = Record(presenter.WorkingRoot(), kReserved);
    EXPECT_EQ(record->GetAttr("Foreground", ""), "255");
    EXPECT_EQ(record->GetAttr("Background", ""), "536870912");
    EXPECT_EQ(record->GetAttr("Italic", ""), "1");
    EXPECT_EQ(record->GetAttr("Bold", ""), "0");
    EXPECT_EQ(StoreBytes(), before);
}

TEST_F(SettingsTest, VBScriptNeitherShowsNorChangesTheTwoJScriptOnlyRecords) {
    std::string bytes = DefaultStoreBytes();
    WriteStore(ReplaceAll(bytes, "name=\"" + kEvents + "\" Foreground=\"536870912\"",
                          "name=\"" + kEvents + "\" Foreground=\"12345\""));
    Open();
    EXPECT_THAT(view.elements, ::testing::Not(::testing::Contains(kEvents)));
    presenter.DefaultButtonClick();  // even a reset list shows seven
    EXPECT_EQ(view.elements.size(), 7u);
    ASSERT_TRUE(presenter.SaveAndExitButtonClick());
    EXPECT_EQ(Record(*StoredConfig(), kEvents)->GetAttr("Foreground", ""), "536870912");
}

TEST_F(SettingsTest, ADuplicatedCaptionUsesTheFirstRecord) {
    std::string bytes = DefaultStoreBytes();
    const std::string first = "<Color name=\"" + kStrings + "\" Foreground=\"128\"";
    bytes.insert(bytes.find("\t\t<DefaultColor"),
                 "\t\t<Color name=\"" + kStrings +
                     "\" Foreground=\"99\" Background=\"0\" Bold=\"0\" Italic=\"0\" "
                     "Underline=\"0\"/>\r\n");
    WriteStore(bytes);
    Open();
    Select(kStrings);
    EXPECT_EQ(view.foreground, 128);
    presenter.ForegroundColorBoxSelect(7);
    auto children = presenter.WorkingRoot().ChildNodes();
    EXPECT_EQ(children->Item(7)->GetAttr("Foreground", ""), "7");
    EXPECT_EQ(children->Item(9)->GetAttr("Foreground", ""), "99");
}

TEST_F(SettingsTest, TrueIsTickedButOnlyOneIsAppliedInThePreview) {
    WriteStore(ReplaceAll(DefaultStoreBytes(),
                          "Foreground=\"128\" Background=\"-16777211\" Bold=\"0\"",
                          "Foreground=\"128\" Background=\"-16777211\" Bold=\"True\""));
    Open();
    Select(kStrings);
    EXPECT_TRUE(view.bold);
    EXPECT_FALSE(presenter.VBScriptHighlighter().FindClass("String")->bold());
}

TEST_F(SettingsTest, AMissingRecordShowsTheFallbackAndChangesNothing) {
    WriteStore(ReplaceAll(DefaultStoreBytes(), "name=\"" + kNumbers + "\"", "name=\"Digits\""));
    Open();
    Select(kNumbers);
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(
        view.errors[0].text,
        std::string(u8"Не найдены цветовые настройки.\r\nНастройки поставлены по-умолчанию."_cp));
    EXPECT_EQ(view.errors[0].caption, std::string(u8"Ошибка"_cp));
    EXPECT_EQ(view.foreground, 0);
    EXPECT_EQ(view.background, 0);
    // A change while such an entry is selected creates no record and touches no other.
    const std::string before = presenter.WorkingRoot().GetXml();
    const auto number = *presenter.VBScriptHighlighter().FindClass("Number");
    presenter.ForegroundColorBoxSelect(255);
    presenter.FontAttributeBoldCheckBoxClick(true);
    EXPECT_EQ(presenter.WorkingRoot().GetXml(), before);
    EXPECT_EQ(presenter.VBScriptHighlighter().FindClass("Number")->foreground, number.foreground);
    EXPECT_EQ(presenter.VBScriptHighlighter().FindClass("Number")->style, number.style);
}

TEST_F(SettingsTest, AStoreWithoutConfigurationIsRefusedAndLeftAlone) {
    const std::string bytes =
        "<?xml version=\"1.0\"?>\r\n<Scripts>\r\n\t<Script Name=\"\"/>\r\n</Scripts>";
    WriteStore(bytes);
    try {
        presenter.Prepare("VBScriptHighlighter");
        FAIL() << "opened";
    } catch (const store::StoreError& e) {
        EXPECT_THAT(e.what(), HasSubstr("Configuration"));
    }
    EXPECT_EQ(StoreBytes(), bytes);
}

TEST_F(SettingsTest, AnUnreadableStoreEndsThePreparation) {
    WriteStore("<Scripts><Configuration");
    EXPECT_THROW(presenter.Prepare("VBScriptHighlighter"), std::exception);
    EXPECT_EQ(StoreBytes(), "<Scripts><Configuration");
}

TEST_F(SettingsTest, ShortOrStrangeRecordListsAreSkippedNotFatal) {
    // Three records only, one of them no colour record, and one naming no class.
    WriteStore(
        "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Scripts>\r\n"
        "\t<Configuration FontName=\"Arial\">\r\n"
        "\t\t<Note text=\"x\"/>\r\n"
        "\t\t<Color name=\"Whatever\" Foreground=\"1\"/>\r\n"
        "\t\t<Color name=\"" +
        kStrings +
        "\" Foreground=\"77\" Bold=\"1\"/>\r\n"
        "\t</Configuration>\r\n</Scripts>");
    Open();
    EXPECT_EQ(presenter.VBScriptHighlighter().FindClass("String")->foreground, 77);
    EXPECT_TRUE(presenter.VBScriptHighlighter().FindClass("String")->bold());
    EXPECT_EQ(view.font, "Arial");
    // The first entry has no record and there is no fallback record either.
    EXPECT_EQ(view.foreground, editor::kNoColour);
}

TEST_F(SettingsTest, ThePreviewShowsTheSampleTextOfItsLanguageAfreshAtEveryRefresh) {
    WriteStore(
        ReplaceAll(DefaultStoreBytes(), "FontSize=\"8\">",
                   "FontSize=\"8\" SetupVBSText=\"Dim a&#13;&#10;a = 1\" SetupJSText=\"var a;\">"));
    Open();
    EXPECT_EQ(view.preview_text, "Dim a\r\na = 1");
    view.preview_text = "typed by the user";
    presenter.DefaultButtonClick();
    EXPECT_EQ(view.preview_text, "Dim a\r\na = 1");

    SettingsPresenter js(view, folder.Host());
    js.Prepare("JavaScriptHighlighter");
    EXPECT_EQ(view.preview_text, "var a;");
}

TEST_F(SettingsTest, WithoutSampleTextThePreviewIsEmptyAndShowsTheStoredLooks) {
    WriteStore(ReplaceAll(DefaultStoreBytes(), "FontSize=\"8\">",
                          "FontSize=\"12\" MarginSize=\"60\" MarginBool=\"0\" GutterSize=\"44\" "
                          "GutterBool=\"0\">"));
    view.preview_text = "x";
    Open();
    EXPECT_EQ(view.preview_text, "");
    EXPECT_EQ(view.font_points, 12);
    EXPECT_EQ(view.margin, -1);
    EXPECT_EQ(view.gutter, 44);
    EXPECT_FALSE(view.gutter_visible);
}

TEST_F(SettingsTest, DefaultsThenCloseLeaveTheFileAsItWas) {
    WriteStore(ReplaceAll(DefaultStoreBytes(), "Foreground=\"32768\"", "Foreground=\"255\""));
    Open();
    const std::string before = StoreBytes();
    Select(kStrings);
    presenter.DefaultButtonClick();
    EXPECT_EQ(view.selected, 0);
    EXPECT_EQ(view.foreground, 32768);
    EXPECT_EQ(presenter.VBScriptHighlighter().FindClass("Comment")->foreground, 32768);
    EXPECT_EQ(StoreBytes(), before);
}

TEST_F(SettingsTest, DefaultsThenSaveWriteDefaultRecordsAndKeepFontMarginAndGutter) {
    WriteStore(ReplaceAll(DefaultStoreBytes(), "FontName=\"Courier New\" FontSize=\"8\">",
                          "FontName=\"Arial\" FontSize=\"14\" MarginSize=\"70\" GutterSize=\"20\" "
                          "MarginBool=\"0\" GutterBool=\"1\">\r\n\t\t<Color name=\"" +
                              kStrings + "\" Foreground=\"5\"/>"));
    Open();
    ToDisplayPage();
    presenter.DefaultButtonClick();
    EXPECT_EQ(view.page, Page::kColour);
    ASSERT_TRUE(presenter.SaveAndExitButtonClick());

    const std::string bytes = StoreBytes();
    EXPECT_THAT(bytes, HasSubstr("FontName=\"Arial\" FontSize=\"14\" MarginSize=\"70\" "
                                 "GutterSize=\"20\" MarginBool=\"0\" GutterBool=\"1\">"));
    // Exactly the records of a new store.
    const std::string fresh = DefaultStoreBytes();
    const auto records = [](const std::string& s) {
        const std::size_t from = s.find("\t\t<Color");
        return s.substr(from, s.find("\t</Configuration>") - from);
    };
    EXPECT_EQ(records(bytes), records(fresh));
}

TEST_F(SettingsTest, SaveReplacesTheRecordsAndKeepsWhatTheWorkingCopyLacks) {
    const std::string extra =
        "FontSize=\"8\" LastText=\"msgbox 1\" SetupVBSText=\"Dim\" Odd=\"keep me\">";
    WriteStore(ReplaceAll(ReplaceAll(DefaultStoreBytes(), "FontSize=\"8\">", extra),
                          "<Script Name=\"\"/>",
                          "<Script Name=\"\"/>\r\n\t<Script Name=\"a\" Text=\"b\"/>"));
    Open();
    Select(kReserved);
    presenter.ForegroundColorBoxSelect(255);
    // Someone changed the file meanwhile: a script added; the save keeps it.
    WriteStore(ReplaceAll(StoreBytes(), "<Script Name=\"a\"",
                          "<Script Name=\"new\"/>\r\n\t<Script Name=\"a\""));
    ASSERT_TRUE(presenter.SaveAndExitButtonClick());

    const std::string bytes = StoreBytes();
    EXPECT_THAT(bytes, HasSubstr("<Script Name=\"new\"/>"));
    EXPECT_THAT(bytes,
                HasSubstr("<Configuration WindowState=\"Normal\" Height=\"200\" Width=\"350\" "
                          "Top=\"100\" Left=\"100\" DefaultSave=\"\" FontName=\"Courier New\" "
                          "FontSize=\"8\" LastText=\"msgbox 1\" SetupVBSText=\"Dim\" "
                          "Odd=\"keep me\" MarginSize=\"80\" GutterSize=\"30\" "
                          "MarginBool=\"1\" GutterBool=\"1\">"));
    auto config = StoredConfig();
    EXPECT_EQ(config->ChildNodes()->Count(), 10);
    EXPECT_EQ(Record(*config, kReserved)->GetAttr("Foreground", ""), "255");
    // The previous file is kept as the backup, as every save of the store does.
    EXPECT_TRUE(std::filesystem::exists(folder.File("zpconfig.cfg.bak")));
}

TEST_F(SettingsTest, AStoreBrokenBeforeSavingIsNotOverwrittenAndTheDialogStays) {
    Open();
    presenter.ForegroundColorBoxSelect(255);
    WriteStore("<Scripts><Script Name=\"precious\"");
    EXPECT_FALSE(presenter.SaveAndExitButtonClick());
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(StoreBytes(), "<Scripts><Script Name=\"precious\"");
}

}  // namespace
}  // namespace zeph::settings::testing
