#include "settings/presenter.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "text/cp1251.h"

namespace zeph::settings {

using text::operator""_cp;

namespace {

constexpr std::string_view kVBScriptComponent = "VBScriptHighlighter";

// Painting of the preview is held while it lives.
class PreviewUpdate {
  public:
    explicit PreviewUpdate(ISettingsView& view) : view_(view) { view_.BeginPreviewUpdate(); }
    ~PreviewUpdate() { view_.EndPreviewUpdate(); }
    PreviewUpdate(const PreviewUpdate&) = delete;
    PreviewUpdate& operator=(const PreviewUpdate&) = delete;

  private:
    ISettingsView& view_;
};

std::string_view StyleAttr(StyleFlag flag) {
    switch (flag) {
        case StyleFlag::kBold:
            return "Bold";
        case StyleFlag::kItalic:
            return "Italic";
        default:
            return "Underline";
    }
}

std::uint8_t StyleBit(StyleFlag flag) {
    switch (flag) {
        case StyleFlag::kBold:
            return editor::kBold;
        case StyleFlag::kItalic:
            return editor::kItalic;
        default:
            return editor::kUnderline;
    }
}

}  // namespace

std::string ElementNameOf(std::string_view caption) {
    return editor::TokenClassTable::ClassNameOf(caption);
}

std::string ElementCaptionOf(std::string_view class_name) {
    return editor::TokenClassTable::CaptionOf(class_name);
}

SettingsPresenter::SettingsPresenter(ISettingsView& view, store::DataFolder folder)
    : view_(view), store_(std::move(folder)) {}

void SettingsPresenter::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        view_.ShowError(e.what(), u8"Ошибка"_cp);
    }
}

xml::XmlRef<xml::IXmlElement> SettingsPresenter::LoadConfiguration(
    xml::XmlRef<xml::IXmlDocument>* loaded) {
    auto doc = store_.LoadStore();
    if (loaded) *loaded = doc;
    auto root = doc->DocumentElement();
    auto config = root ? root->ElementByName("Configuration") : nullptr;
    if (!config) {
        std::string path;
        try {
            path = text::FromUtf16(store_.StorePath().u16string());
        } catch (const std::exception&) {
            path = store_.StorePath().string();
        }
        throw store::StoreError(
            std::string(u8"В файле настроек \""_cp) + path +
            std::string(u8"\" нет элемента \"Configuration\": настройки редактора недоступны."_cp));
    }
    return config;
}

void SettingsPresenter::ShowPage(Page page) {
    page_ = page;
    view_.SetActivePage(page);
}

// --- opening ----------------------------------------------------------------------------------

void SettingsPresenter::Prepare(std::string_view highlighter_name) {
    auto config = LoadConfiguration();
    ShowPage(Page::kColour);
    preview_ =
        highlighter_name == kVBScriptComponent ? static_cast<editor::Highlighter*>(&vb_) : &js_;
    {
        PreviewUpdate lock(view_);
        view_.SetPreviewHighlighter(*preview_);
    }
    BuildWorkingCopy(*config);
    ShowColorPage();
}

void SettingsPresenter::BuildWorkingCopy(xml::IXmlElement& source) {
    auto doc = xml::CreateXmlDocument("Configuration", "1.0", "");
    auto root = doc->DocumentElement();
    root->SetAttr("FontName", source.GetAttr("FontName", "Courier New"));
    root->SetAttr("FontSize", source.GetAttr("FontSize", "8"));
    root->SetAttr("MarginSize", source.GetAttr("MarginSize", "80"));
    root->SetAttr("GutterSize", source.GetAttr("GutterSize", "30"));
    root->SetBoolAttr("MarginBool", source.GetBoolAttr("MarginBool", true));
    root->SetBoolAttr("GutterBool", source.GetBoolAttr("GutterBool", true));
    // The source document is dropped after the opening, so its records move over as they are.
    auto children = source.ChildNodes();
    for (int i = 0, count = children->Count(); i < count; ++i) root->AppendChild(children->Item(i));
    working_ = std::move(doc);
    root_ = std::move(root);
}

// --- colour page ------------------------------------------------------------------------------

void SettingsPresenter::ShowColorPage() {
    FillElementList();
    if (preview_->ClassCount() == 0) return;
    view_.SelectElement(0);
    ShowElementColors(ElementCaptionOf(preview_->ClassAt(0).name));
    ApplyToSample(*preview_);
}

void SettingsPresenter::FillElementList() {
    view_.ClearElementList();
    for (int i = 0; i < preview_->ClassCount(); ++i)
        view_.AddElement(ElementCaptionOf(preview_->ClassAt(i).name));
}

void SettingsPresenter::ShowElementColors(const std::string& caption) {
    xml::XmlRef<xml::IXmlNode> record;
    auto children = root_->ChildNodes();
    for (int i = 0, count = children->Count(); i < count && !record; ++i) {
        auto child = children->Item(i);
        if (child->NodeType() == xml::kElementNode && child->GetAttr("name", "error") == caption)
            record = std::move(child);
    }
    if (!record) {
        view_.ShowError(u8"Не найдены цветовые настройки.\r\nНастройки поставлены по-умолчанию."_cp,
                        u8"Ошибка"_cp);
        record = root_->ElementByName("DefaultColor");
    }
    if (!record) {  // not even the fallback record: show nothing chosen
        view_.ShowColours(editor::kNoColour, editor::kNoColour);
        view_.ShowStyle(false, false, false);
        return;
    }
    view_.ShowColours(record->GetIntAttr("Foreground", editor::kNoColour),
                      record->GetIntAttr("Background", editor::kNoColour));
    view_.ShowStyle(record->GetBoolAttr("Bold", false), record->GetBoolAttr("Italic", false),
                    record->GetBoolAttr("Underline", false));
}

void SettingsPresenter::ApplyToSample(editor::Highlighter& highlighter) {
    const bool vbscript = highlighter.ComponentName() == kVBScriptComponent;
    {
        PreviewUpdate lock(view_);
        view_.SetPreviewHighlighter(highlighter);
        // The first records by position carry the classes; a short list or a record that is no
        // colour record or names no class of this highlighter is passed over.
        auto children = root_->ChildNodes();
        const int count = std::min(js_.ClassCount(), children->Count());
        for (int i = 0; i < count; ++i) {
            auto child = children->Item(i);
            if (child->NodeType() != xml::kElementNode) continue;
            const std::string caption = child->GetAttr("name", "Error");
            if (vbscript &&
                (caption == u8"События"_cp || caption == u8"Незарезервированные слова"_cp))
                continue;
            editor::THighlighterAttributes* cls = highlighter.FindClass(ElementNameOf(caption));
            auto colour = root_->ElementByAttr("Color", "name", xml::XmlValue(caption));
            if (!cls || !colour) continue;
            store::ApplyColourRecord(*colour, *cls);
        }
        highlighter.NotifyLooksChanged();
    }
    PreviewUpdate lock(view_);
    int margin = root_->GetIntAttr("MarginSize", 80);
    if (!root_->GetBoolAttr("MarginBool", true)) margin = -1;
    view_.SetPreviewRightMargin(margin);
    view_.SetPreviewGutterWidth(root_->GetIntAttr("GutterSize", 30));
    view_.SetPreviewGutterVisible(root_->GetBoolAttr("GutterBool", true));
    view_.SetPreviewFont(root_->GetAttr("FontName", "Courier New"),
                         root_->GetIntAttr("FontSize", 8));
    LoadSampleText(highlighter);
}

void SettingsPresenter::LoadSampleText(const editor::Highlighter& highlighter) {
    auto config = LoadConfiguration();
    const bool vbscript = highlighter.ComponentName() == kVBScriptComponent;
    view_.SetPreviewText(config->GetAttr(vbscript ? "SetupVBSText" : "SetupJSText", ""));
}

editor::THighlighterAttributes* SettingsPresenter::PreviewClassOf(const std::string& caption) {
    return preview_->FindClass(ElementNameOf(caption));
}

void SettingsPresenter::StoreElementValue(const std::string& caption, int value,
                                          std::string_view attr) {
    if (auto record = root_->ElementByAttr("Color", "name", xml::XmlValue(caption)))
        record->SetIntAttr(attr, value);
}

void SettingsPresenter::ChooseColour(ColourSlot slot, editor::ColourValue colour) {
    const std::string caption = view_.SelectedElement();
    // An entry without a record shows the fallback colours; a change to it goes nowhere.
    if (!root_->ElementByAttr("Color", "name", xml::XmlValue(caption))) return;
    if (editor::THighlighterAttributes* cls = PreviewClassOf(caption)) {
        PreviewUpdate lock(view_);
        (slot == ColourSlot::kForeground ? cls->foreground : cls->background) = colour;
        preview_->NotifyLooksChanged();
    }
    StoreElementValue(caption, colour,
                      slot == ColourSlot::kForeground ? "Foreground" : "Background");
}

void SettingsPresenter::SetFontAttribute(StyleFlag flag, bool value) {
    const std::string caption = view_.SelectedElement();
    if (!root_->ElementByAttr("Color", "name", xml::XmlValue(caption))) return;
    if (editor::THighlighterAttributes* cls = PreviewClassOf(caption)) {
        PreviewUpdate lock(view_);
        if (value)
            cls->style |= StyleBit(flag);
        else
            cls->style &= static_cast<std::uint8_t>(~StyleBit(flag));
        preview_->NotifyLooksChanged();
    }
    StoreElementValue(caption, value ? 1 : 0, StyleAttr(flag));
}

void SettingsPresenter::HighlighterElementsListBoxClick() {
    Guarded([&] { ShowElementColors(view_.SelectedElement()); });
}

void SettingsPresenter::ForegroundColorBoxSelect(editor::ColourValue colour) {
    Guarded([&] { ChooseColour(ColourSlot::kForeground, colour); });
}

void SettingsPresenter::BackgroundColorBoxSelect(editor::ColourValue colour) {
    Guarded([&] { ChooseColour(ColourSlot::kBackground, colour); });
}

void SettingsPresenter::FontAttributeBoldCheckBoxClick(bool checked) {
    Guarded([&] { SetFontAttribute(StyleFlag::kBold, checked); });
}

void SettingsPresenter::FontAttributeItalicCheckBoxClick(bool checked) {
    Guarded([&] { SetFontAttribute(StyleFlag::kItalic, checked); });
}

void SettingsPresenter::FontAttributeUnderlineCheckBoxClick(bool checked) {
    Guarded([&] { SetFontAttribute(StyleFlag::kUnderline, checked); });
}

// --- defaults and saving ----------------------------------------------------------------------

void SettingsPresenter::DefaultButtonClick() {
    Guarded([&] {
        root_->RemoveAllChilds();
        store::AppendDefaultColours(*root_);
        ShowPage(Page::kColour);
        ShowColorPage();
    });
}

bool SettingsPresenter::SaveAndExitButtonClick() {
    bool saved = false;
    Guarded([&] {
        // Sizes typed on the display page count even when Enter saves before the edit lost
        // the focus or without a choice in a font box; a text that cannot be stored keeps the
        // dialog open.
        if (page_ == Page::kDisplay && (!StoreRightMargin(view_.MarginChecked()) ||
                                        !StoreGutter(view_.GutterChecked()) || !StoreTypedFont()))
            return;
        // Loaded afresh: everything else of the store (scripts, placement, sample texts) stays.
        xml::XmlRef<xml::IXmlDocument> doc;
        auto config = LoadConfiguration(&doc);
        config->RemoveAllChilds();
        for (int i = 0, count = root_->AttrCount(); i < count; ++i) {
            const std::string name = root_->AttrName(i);
            config->SetAttrValue(name, *root_->FindAttr(name));
        }
        auto children = root_->ChildNodes();
        for (int i = 0, count = children->Count(); i < count; ++i)
            config->AppendChild(children->Item(i));
        store_.SaveStore(*doc);
        saved = true;
    });
    return saved;
}

}  // namespace zeph::settings
