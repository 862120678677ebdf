// A settings presenter over a fake dialog and a store file in a scratch folder.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "settings/fake_view.h"
#include "settings/presenter.h"
#include "store/store_test_util.h"
#include "text/cp1251.h"
#include "xml/xml.h"

namespace zeph::settings::testing {

using store::testing::DefaultStoreBytes;
using store::testing::ReadBytes;
using store::testing::ReplaceAll;
using store::testing::WriteBytes;
using text::operator""_cp;

inline const std::string kComments(u8"Комментарии"_cp);
inline const std::string kEvents(u8"События"_cp);
inline const std::string kIdentifiers(u8"Идентификаторы"_cp);
inline const std::string kReserved(u8"Зарезервированные слова"_cp);
inline const std::string kNonReserved(u8"Незарезервированные слова"_cp);
inline const std::string kNumbers(u8"Числа"_cp);
inline const std::string kSpaces(u8"Пробелы"_cp);
inline const std::string kStrings(u8"Строки"_cp);
inline const std::string kSymbols(u8"Символы"_cp);

class SettingsTest : public ::testing::Test {
  protected:
    std::string StorePath() const { return folder.File("zpconfig.cfg").string(); }
    void WriteStore(std::string_view bytes) { WriteBytes(folder.File("zpconfig.cfg"), bytes); }
    std::string StoreBytes() const { return ReadBytes(folder.File("zpconfig.cfg")); }
    // The store's "Configuration" as a saved file holds it now.
    xml::XmlRef<xml::IXmlElement> StoredConfig() const {
        return xml::LoadXmlDocument(folder.File("zpconfig.cfg"))
            ->DocumentElement()
            ->ElementByName("Configuration");
    }
    xml::XmlRef<xml::IXmlElement> Record(xml::IXmlNode& config, const std::string& caption) {
        return config.ElementByAttr("Color", "name", xml::XmlValue(caption));
    }
    void Open(std::string_view highlighter = "VBScriptHighlighter") {
        if (!std::filesystem::exists(folder.File("zpconfig.cfg"))) WriteStore(DefaultStoreBytes());
        presenter.Prepare(highlighter);
    }
    void Select(const std::string& caption) {
        auto it = std::find(view.elements.begin(), view.elements.end(), caption);
        ASSERT_NE(it, view.elements.end()) << caption;
        view.selected = static_cast<int>(it - view.elements.begin());
        presenter.HighlighterElementsListBoxClick();
    }
    void ToDisplayPage() {
        ASSERT_TRUE(presenter.OptionsPageControlChanging());
        view.page = Page::kDisplay;
    }

    store::testing::TempFolder folder;
    FakeSettingsView view;
    SettingsPresenter presenter{view, folder.Host()};
};

}  // namespace zeph::settings::testing
