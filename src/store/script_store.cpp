#include "store/script_store.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <memory>
#include <system_error>
#include <type_traits>
#include <utility>

#include "editor/token_class.h"
#include "store/store_files.h"
#include "text/cp1251.h"

namespace zeph::store {

namespace {

using text::operator""_cp;
namespace fs = std::filesystem;
using files::FileExists;
using files::PathText;

constexpr std::array<std::string_view, 3> kWindowStates = {"Normal", "Minimized", "Maximized"};

// The colour entries of a new store, in the order of the token-class captions.
struct DefaultColour {
    editor::ColourValue foreground;
    bool bold;
};
constexpr std::array<DefaultColour, editor::TokenClassTable::kCount> kDefaultColours = {{
    {32768, false},      // comments: dark green
    {536870912, false},  // events
    {536870912, false},  // identifiers
    {16711680, true},    // reserved words: blue, bold
    {536870912, false},  // non-reserved words
    {0, false},          // numbers
    {0, false},          // spaces
    {128, false},        // strings: maroon
    {536870912, false},  // symbols
}};
constexpr editor::ColourValue kWindowBackground = -16777211;  // system colour 5

// Reads the file and tells whether it holds exactly `known`, comparing block by block so that
// the usual case keeps no copy of the file. Otherwise `bytes` receives the file's bytes.
bool ReadUnlessKnown(xml::IFileSystem& files, const fs::path& path, std::string_view known,
                     std::string& bytes) {
    auto source = files.OpenRead(path);
    constexpr std::size_t kBlock = 256 * 1024;
    auto block = std::make_unique_for_overwrite<char[]>(kBlock);
    std::size_t offset = 0;
    for (;;) {
        std::size_t got = source->Read(block.get(), kBlock);
        if (got == 0) {
            if (offset == known.size()) return true;
            bytes.assign(known.substr(0, offset));  // the file is shorter
            return false;
        }
        if (offset + got <= known.size() &&
            std::memcmp(block.get(), known.data() + offset, got) == 0) {
            offset += got;
            continue;
        }
        bytes.reserve(std::max(source->SizeHint(), offset + got));
        bytes.assign(known.substr(0, offset));
        do bytes.append(block.get(), got);
        while ((got = source->Read(block.get(), kBlock)) != 0);
        return false;
    }
}

// A parse error names the file and the place in it.
xml::XmlRef<xml::IXmlDocument> Parse(std::string_view bytes, const fs::path& path) {
    auto doc = xml::CreateXmlDocument();
    try {
        doc->LoadFromBytes(bytes);
    } catch (const xml::XmlError& e) {
        throw xml::XmlError(xml::LoadErrorText(e, path, bytes));
    }
    return doc;
}

// --- copies of the document a load would give ---------------------------------------------
//
// Parsing the store costs several times more than copying the tree, so the store keeps the
// document of the bytes it last read or wrote and hands out copies while the file still holds
// exactly those bytes. A copy has to be what a parse of the bytes gives: only elements below
// the declaration, every attribute value as the text the writer puts into the file (attribute
// values read back byte for byte, whatever they hold). A document of any other shape (comments,
// texts, instructions, unusual declarations, names the reader would not take) is simply not kept.

constexpr int kMaxCopyDepth = 64;

bool IsNameForReader(std::string_view name) {
    if (name.empty() || !text::IsXmlNameStart(name[0])) return false;
    for (char c : name.substr(1))
        if (!text::IsXmlNameChar(c)) return false;
    return true;
}

bool IsPlainDeclValue(std::string_view value) {
    return value.find_first_of("&<>\"") == std::string_view::npos;
}

// The version and encoding of a declaration that NewDocument writes byte for byte the same.
bool DeclarationOf(xml::IXmlNode& decl, std::string& version, std::string& encoding) {
    if (decl.NodeType() != xml::kProcessingInstructionNode || decl.NodeName() != "xml")
        return false;
    if (decl.AttrCount() == 2 && decl.AttrName(0) == "version" && decl.AttrName(1) == "encoding") {
        if (!decl.NodeValue().empty()) return false;
        version = decl.FindAttr("version")->ToFileText();
        encoding = decl.FindAttr("encoding")->ToFileText();
    } else if (decl.AttrCount() == 0) {
        // The form NewDocument itself makes: version="..." encoding="..."
        const std::string data = decl.NodeValue();
        constexpr std::string_view kVersion = "version=\"", kEncoding = "\" encoding=\"";
        if (!data.starts_with(kVersion) || !data.ends_with('"')) return false;
        const std::size_t split = data.find(kEncoding, kVersion.size());
        if (split == std::string::npos) return false;
        version = data.substr(kVersion.size(), split - kVersion.size());
        encoding =
            data.substr(split + kEncoding.size(), data.size() - 1 - split - kEncoding.size());
    } else {
        return false;
    }
    return !encoding.empty() && IsPlainDeclValue(version) && IsPlainDeclValue(encoding);
}

bool CopyElement(xml::IXmlNode& from, xml::IXmlNode& to, int depth) {
    for (int i = 0, count = from.AttrCount(); i < count; ++i) {
        const std::string name = from.AttrName(i);
        if (!IsNameForReader(name)) return false;
        const xml::XmlValue& value = *from.FindAttr(name);
        if (value.type() == xml::XmlValue::Type::Text)
            to.SetAttrValue(name, value);
        else
            to.SetAttrValue(name, xml::XmlValue(value.ToFileText()));
    }
    auto children = from.ChildNodes();
    const int count = children->Count();
    if (count > 0 && depth >= kMaxCopyDepth) return false;
    for (int i = 0; i < count; ++i) {
        auto child = children->Item(i);
        if (child->NodeType() != xml::kElementNode) return false;
        const std::string name = child->NodeName();
        if (!IsNameForReader(name)) return false;
        if (!CopyElement(*child, *to.AppendElement(name), depth + 1)) return false;
    }
    return true;
}

// A new document equal to what parsing the saved bytes of `doc` gives, or none when the copy
// could differ from that.
xml::XmlRef<xml::IXmlDocument> CopyAsLoaded(xml::IXmlDocument& doc) {
    auto children = doc.ChildNodes();
    if (children->Count() != 2) return {};
    std::string version, encoding;
    if (!DeclarationOf(*children->Item(0), version, encoding)) return {};
    auto root = children->Item(1);
    if (root->NodeType() != xml::kElementNode) return {};
    const std::string root_name = root->NodeName();
    if (!IsNameForReader(root_name)) return {};
    auto copy = xml::CreateXmlDocument();
    auto copy_root = copy->NewDocument(version, encoding, root_name);
    if (!CopyElement(*root, *copy_root, 1)) return {};
    return copy;
}

std::string NoRootMessage(const fs::path& path) {
    return std::string(u8"Файл настроек \""_cp) + PathText(path) +
           std::string(u8"\" не содержит корневого элемента"_cp);
}

xml::XmlRef<xml::IXmlElement> RootOf(xml::IXmlDocument& doc, const fs::path& path) {
    auto root = doc.DocumentElement();
    if (!root) throw StoreError(NoRootMessage(path));
    return root;
}

// An error whose text already says what the action saved.
class ToldError : public StoreError {
  public:
    using StoreError::StoreError;
};

std::string SavedList(const std::vector<std::string>& saved) {
    std::string text;
    for (std::size_t i = 0; i < saved.size(); ++i) text += (i ? ", " : "") + saved[i];
    return text;
}

// The message of a failed save. The file keeps what earlier saves of the same action wrote, and
// the user must not take those for lost (nor the failed one for saved).
// At namespace scope: clang 14 crashes on this literal inside the function below.
constexpr std::string_view kCannotSave = u8"Не удалось сохранить файл настроек \""_cp;
constexpr std::string_view kAlreadySaved = u8"Уже сохранено: "_cp;

std::string SaveFailure(const fs::path& path, const std::string& change,
                        const std::vector<std::string>& saved, const std::string& reason) {
    std::string text = std::string(kCannotSave) + PathText(path);
    if (saved.empty()) return text + std::string(u8"\"; файл остался прежним.\r\n"_cp) + reason;
    text += std::string(u8"\": не сохранено: "_cp) + change + ". " + std::string(kAlreadySaved);
    return text + SavedList(saved) + ".\r\n" + reason;
}

xml::XmlRef<xml::IXmlElement> ConfigurationOf(xml::IXmlElement& root, const fs::path& path) {
    auto config = root.ElementByName("Configuration");
    if (!config)
        throw StoreError(std::string(u8"Файл настроек \""_cp) + PathText(path) +
                         std::string(u8"\" не содержит элемента \"Configuration\""_cp));
    return config;
}

[[noreturn]] void ThrowUnknownColour(const fs::path& path, int index, std::string_view label) {
    throw StoreError(std::string(u8"Файл настроек \""_cp) + PathText(path) +
                     std::string(u8"\": элемент цвета №"_cp) + std::to_string(index + 1) +
                     std::string(u8" (\""_cp) + std::string(label) +
                     std::string(u8"\") не соответствует ни одному классу лексем"_cp));
}

// Token-class colours from "Configuration" into the JavaScript highlighter, then copied to the
// VBScript one by class name.
void ApplyColours(xml::IXmlElement& config, IStoreWindow& window, const fs::path& path) {
    editor::Highlighter& js = window.JavaScriptHighlighter();
    editor::Highlighter& vb = window.VBScriptHighlighter();
    // Whatever was applied before an error stays, and the window must repaint it.
    struct Notify {
        editor::Highlighter& js;
        editor::Highlighter& vb;
        ~Notify() {
            js.NotifyLooksChanged();
            vb.NotifyLooksChanged();
        }
    } notify{js, vb};

    auto children = config.ChildNodes();
    for (int i = 0, count = js.ClassCount(); i < count; ++i) {
        auto entry = children->Item(i);
        const xml::XmlValue* label_value = entry->FindAttr("name");
        if (!label_value) ThrowUnknownColour(path, i, {});
        const std::string label = label_value->ToText();
        editor::THighlighterAttributes* cls =
            js.FindClass(editor::TokenClassTable::ClassNameOf(label));
        auto colour = config.ElementByAttr("Color", "name", xml::XmlValue(label));
        if (!cls || !colour) ThrowUnknownColour(path, i, label);
        ApplyColourRecord(*colour, *cls);
    }
    for (int i = 0, count = vb.ClassCount(); i < count; ++i) {
        editor::THighlighterAttributes& cls = vb.ClassAt(i);
        if (const auto* source = js.FindClass(cls.name)) {
            cls.style = source->style;
            cls.foreground = source->foreground;
            cls.background = source->background;
        }
    }
}

void ApplyPlacement(xml::IXmlElement& config, IStoreWindow& window) {
    const int current = static_cast<int>(window.GetWindowState());
    const int state = config.GetEnumAttr("WindowState",
                                         std::span<const std::string_view>(kWindowStates), current);
    window.SetWindowState(static_cast<WindowState>(state));

    // Read in the order left, top, height, width; an attribute that does not convert stops the
    // reading, and the values read before it are applied all the same.
    WindowBounds bounds = window.GetWindowBounds();
    const WindowBounds before = bounds;
    try {
        bounds.left = config.GetIntAttr("Left", bounds.left);
        bounds.top = config.GetIntAttr("Top", bounds.top);
        bounds.height = config.GetIntAttr("Height", bounds.height);
        bounds.width = config.GetIntAttr("Width", bounds.width);
    } catch (...) {
        if (!(bounds == before)) window.SetWindowBounds(bounds);
        throw;
    }
    window.SetWindowBounds(bounds);
}

// Applies a loaded store to the window, from the list to the box text, then the last text
// unless the default script is listed; returns the default script's name when it is.
std::optional<std::string> ApplyDocument(xml::IXmlDocument& doc, const fs::path& path,
                                         IStoreWindow& window) {
    auto root = RootOf(doc, path);
    std::vector<std::string> names;
    auto scripts = root->ElementsByName("Script");
    for (int i = 0, count = scripts->Count(); i < count; ++i) {
        std::string name = scripts->Item(i)->GetAttr("Name", "");
        if (!name.empty()) names.push_back(std::move(name));
    }
    window.AddScriptNames(names);

    auto config = ConfigurationOf(*root, path);
    window.SetFontName(config->GetAttr("FontName", "Courier New"));
    window.SetFontSize(config->GetIntAttr("FontSize", 8));
    window.SetRightMargin(config->GetIntAttr("MarginSize", 80));
    window.SetRightMarginVisible(config->GetBoolAttr("MarginBool", true));
    window.SetGutterWidth(config->GetIntAttr("GutterSize", 30));
    window.SetGutterVisible(config->GetBoolAttr("GutterBool", true));

    ApplyColours(*config, window, path);
    ApplyPlacement(*config, window);

    std::string default_save = config->GetAttr("DefaultSave", "");
    window.SetScriptBoxText(default_save);
    if (std::find(names.begin(), names.end(), default_save) != names.end()) return default_save;
    window.ReplaceEditorText(config->GetAttr("LastText", ""));
    return std::nullopt;
}

// A window that takes whatever is applied and keeps nothing but the looks: applying a store to it
// finds whether the store can be applied at all.
class ProbeWindow final : public IStoreWindow {
  public:
    void ClearScriptList() override {}
    void AddScriptNames(const std::vector<std::string>&) override {}
    std::string ScriptBoxText() override { return {}; }
    void SetScriptBoxText(const std::string&) override {}
    std::string EditorText() override { return {}; }
    void ReplaceEditorText(const std::string&) override {}
    std::string FontName() override { return {}; }
    int FontSize() override { return 0; }
    void SetFontName(const std::string&) override {}
    void SetFontSize(int) override {}
    void SetRightMargin(int) override {}
    void SetRightMarginVisible(bool) override {}
    void SetGutterWidth(int) override {}
    void SetGutterVisible(bool) override {}
    editor::Highlighter& JavaScriptHighlighter() override { return js_; }
    editor::Highlighter& VBScriptHighlighter() override { return vb_; }
    WindowState GetWindowState() override { return WindowState::kNormal; }
    void SetWindowState(WindowState) override {}
    WindowBounds GetWindowBounds() override { return {}; }
    void SetWindowBounds(const WindowBounds&) override {}

  private:
    editor::TJScriptHighlighter js_;
    editor::TVBScriptHighlighter vb_;
};

}  // namespace

void AppendDefaultColours(xml::IXmlNode& config) {
    for (int i = 0; i < editor::TokenClassTable::kCount; ++i) {
        auto colour = config.AppendElement("Color");
        colour->SetAttr("name", editor::TokenClassTable::CaptionAt(i));
        colour->SetIntAttr("Foreground", kDefaultColours[i].foreground);
        colour->SetIntAttr("Background", kWindowBackground);
        colour->SetAttr("Bold", kDefaultColours[i].bold ? "1" : "0");
        colour->SetAttr("Italic", "0");
        colour->SetAttr("Underline", "0");
    }
    auto fallback = config.AppendElement("DefaultColor");
    fallback->SetIntAttr("Foreground", 0);
    fallback->SetIntAttr("Background", 0);
    fallback->SetAttr("Bold", "0");
    fallback->SetAttr("Italic", "0");
    fallback->SetAttr("Underline", "0");
}

xml::XmlRef<xml::IXmlNode> FindScriptRecord(xml::IXmlNode& root, std::string_view name,
                                            std::optional<std::string_view> nameless) {
    auto scripts = root.ElementsByName("Script");
    for (int i = 0, count = scripts->Count(); i < count; ++i) {
        auto script = scripts->Item(i);
        const xml::XmlValue* value = script->FindAttr("Name");
        if (!value) {
            if (nameless && *nameless == name) return script;
        } else if (value->type() == xml::XmlValue::Type::Text ? value->Raw() == name  // no copy
                                                              : value->ToText() == name) {
            return script;
        }
    }
    return {};
}

void ApplyColourRecord(const xml::IXmlNode& colour, editor::THighlighterAttributes& cls) {
    auto on = [&colour](std::string_view attr) { return colour.GetAttr(attr, "0") == "1"; };
    std::uint8_t style = editor::kPlain;
    if (on("Bold")) style |= editor::kBold;
    if (on("Italic")) style |= editor::kItalic;
    if (on("Underline")) style |= editor::kUnderline;
    cls.style = style;
    cls.foreground = colour.GetIntAttr("Foreground", 0);
    cls.background = colour.GetIntAttr("Background", 0);
}

std::string ScriptLanguage(const xml::IXmlNode& script) {
    std::string language = script.GetAttr("Language", kVBScript);
    if (language.empty()) language = kVBScript;
    return language;
}

fs::path ScriptStore::StorePath() const {
    return FileInFolder(folder_, kStoreFileName);
}

fs::path BackupPath(const fs::path& store) {
    fs::path backup = store;
    backup += fs::path(kBackupSuffix);
    return backup;
}

fs::path WaitingBackupPath(const fs::path& store) {
    fs::path waiting = BackupPath(store);
    waiting += ".new";
    return waiting;
}

ScriptStore::~ScriptStore() = default;

template <class Body>
auto ScriptStore::Operation(Body&& body) {
    Action action(*this);
    struct Depth {
        int& depth;
        explicit Depth(int& d) : depth(++d) {}
        ~Depth() { --depth; }
    } depth(operation_depth_);
    // An operation outside any action is an action of its own, and commits as one.
    auto commit_if_alone = [this] {
        if (action_depth_ == 1 && operation_depth_ == 1) Commit();
    };
    try {
        if constexpr (std::is_void_v<decltype(body())>) {
            body();
            commit_if_alone();
        } else {
            auto result = body();
            commit_if_alone();
            return result;
        }
    } catch (const std::exception& e) {
        if (operation_depth_ > 1) throw;
        // What the action saved before the error goes to the file now: the user must not take
        // it for lost, nor for saved when it could not be written.
        if (const std::string failure = WritePendingBeforeError(); !failure.empty())
            throw ToldError(std::string(e.what()) + "\r\n" + failure);
        if (dynamic_cast<const ToldError*>(&e) || saved_.empty()) throw;
        throw ToldError(std::string(e.what()) + "\r\n" + std::string(kAlreadySaved) +
                        SavedList(saved_) + ".");
    }
}

void ScriptStore::Commit() {
    if (pending_) WritePending();
}

void ScriptStore::WritePending() {
    pending_ = false;
    std::vector<std::string> changes = std::exchange(pending_changes_, {});
    try {
        WriteStore(pending_path_, known_bytes_);
    } catch (const std::exception& e) {
        // The file holds what it held before the action's saves.
        Forget();
        throw ToldError(SaveFailure(pending_path_, SavedList(changes), saved_, e.what()));
    }
    written_hold_ = lock_ ? hold_count_ : 0;
    for (std::string& change : changes)
        if (std::find(saved_.begin(), saved_.end(), change) == saved_.end())
            saved_.push_back(std::move(change));
}

std::string ScriptStore::WritePendingBeforeError() {
    if (!pending_) return {};
    try {
        WritePending();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

void ScriptStore::WritePendingElsewhere(const fs::path& path) {
    if (pending_ && pending_path_ != path) WritePending();
}

void ScriptStore::Forget() noexcept {
    written_hold_ = 0;
    known_doc_.reset();
    known_bytes_.clear();
    known_is_saved_form_ = false;
    known_saved_form_.reset();
    known_hold_ = 0;
}

void ScriptStore::EndAction() noexcept {
    if (--action_depth_ > 0) return;
    // An action that ended without its commit point (an error outside the store) still keeps
    // what it saved; a failure to write it is told, since nothing can be thrown from here.
    if (pending_) {
        try {
            WritePending();
        } catch (const std::exception& e) {
            Notice(e.what());
        }
    }
    lock_.reset();
    backup_taken_ = false;
    saved_.clear();
    if (!lost_.empty()) Notice(std::exchange(lost_, {}));
    // Told after the lock is let go: another process must not wait for the user.
    std::vector<std::string> notices = std::exchange(notices_, {});
    for (const std::string& notice : notices) {
        try {
            if (tell_) tell_(notice);
        } catch (...) {
            // A notice that cannot be shown changes nothing in the files.
        }
    }
}

void ScriptStore::Hold(const fs::path& store) {
    if (lock_) return;
    lock_ = files::LockStore(files_, store, lock_wait_ms_);
    ++hold_count_;
}

std::optional<std::string> ScriptStore::Unusable(xml::IXmlDocument& doc, const fs::path& path) {
    ProbeWindow probe;
    try {
        ApplyDocument(doc, path, probe);
    } catch (const std::exception& e) {
        return e.what();
    }
    return std::nullopt;
}

bool ScriptStore::Restorable(const fs::path& file, std::string& bytes) const {
    if (!files::Loads(files_, file, &bytes)) return false;
    try {
        return !Unusable(*Parse(bytes, file), file);
    } catch (const std::exception&) {
        return false;
    }
}

bool ScriptStore::StoreExists() {
    return Operation([&] {
        const fs::path path = StorePath();
        Hold(path);
        return RecoverIfMissing(path);
    });
}

xml::XmlRef<xml::IXmlDocument> ScriptStore::LoadStore() {
    return Operation([&] {
        const fs::path path = StorePath();
        Hold(path);
        RecoverIfMissing(path);
        loaded_path_ = path;
        auto doc = Load(path);
        // A store that loads but cannot be applied is offered back from a copy, once per action:
        // a user who keeps it is not asked again by each operation of the action.
        if (ask_ && checked_hold_ != hold_count_) {
            checked_hold_ = hold_count_;
            if (auto problem = Unusable(*doc, path); problem && OfferRestore(path, *problem))
                doc = Load(path);
        }
        return doc;
    });
}

xml::XmlRef<xml::IXmlDocument> ScriptStore::Load(const fs::path& path) {
    WritePendingElsewhere(path);
    // A save of this action waits, or this hold of the lock wrote the file itself: the file is
    // ours until the action ends, and the document the action goes on with is the saved one.
    if (pending_ || (lock_ && written_hold_ == hold_count_ && loaded_path_ == path)) {
        if (known_doc_)
            if (auto copy = CopyAsLoaded(*known_doc_)) return copy;
        return Parse(known_bytes_, path);
    }
    // Otherwise the file is always read: a change by anyone else shows in its bytes.
    std::string bytes;
    const bool same = known_doc_ ? ReadUnlessKnown(files_, path, known_bytes_, bytes)
                                 : (bytes = xml::ReadAll(files_, path), false);
    if (same) {
        known_hold_ = lock_ ? hold_count_ : 0;  // the file holds them now
        if (auto copy = CopyAsLoaded(*known_doc_)) return copy;
        bytes = known_bytes_;
    }
    xml::XmlRef<xml::IXmlDocument> doc;
    try {
        doc = Parse(bytes, path);
    } catch (const xml::XmlError& e) {
        if (!OfferRestore(path, e.what())) throw;
        bytes = xml::ReadAll(files_, path);
        doc = Parse(bytes, path);
    }
    Remember(std::move(bytes), *doc, false);
    return doc;
}

void ScriptStore::Remember(std::string bytes, xml::IXmlDocument& doc, bool written) noexcept {
    known_doc_.reset();
    known_bytes_ = std::move(bytes);
    known_is_saved_form_ = written;
    known_saved_form_.reset();
    known_hold_ = lock_ ? hold_count_ : 0;
    try {
        known_doc_ = CopyAsLoaded(doc);
    } catch (const std::exception&) {
        known_doc_.reset();  // only a later load's speed depends on it
    }
}

bool ScriptStore::SavesAsKnown(const std::string& bytes) noexcept {
    if (bytes == known_bytes_) return true;
    if (known_is_saved_form_) return false;
    // A file written in a form of its own (a comment, other line breaks, a byte-order mark) is
    // unchanged when the document saves as the file's own document does.
    try {
        if (!known_saved_form_) {
            std::string form;
            xml::StringSink sink(&form);
            // The known document is what a parse of the bytes gives; only writing reads it.
            (known_doc_ ? known_doc_ : Parse(known_bytes_, loaded_path_))->SaveToStream(sink);
            known_saved_form_ = std::move(form);
        }
        return bytes == *known_saved_form_;
    } catch (const std::exception&) {
        return false;
    }
}

void ScriptStore::SaveStore(xml::IXmlDocument& doc) {
    Operation([&] { SaveChange(doc, std::string(u8"изменения настроек"_cp)); });
}

void ScriptStore::SaveChange(xml::IXmlDocument& doc, std::string change) {
    Action action(*this);
    const fs::path path = StorePath();
    Hold(path);
    WritePendingElsewhere(path);
    std::string bytes;
    // Most saves change a little: room for the last known size and some more saves regrowing.
    bytes.reserve(known_bytes_.size() + known_bytes_.size() / 8 + 4096);
    try {
        xml::StringSink sink(&bytes);
        doc.SaveToStream(sink);
    } catch (const std::exception& e) {
        // What the action saved before goes to the file, and the message says so.
        if (const std::string failure = WritePendingBeforeError(); !failure.empty())
            throw ToldError(failure + "\r\n" + e.what());
        throw ToldError(SaveFailure(path, change, saved_, e.what()));
    }
    // The file (or the action's waiting save) holds this document and no other process has
    // written it since we read it: there is nothing to save (opening a script stores it again
    // unchanged).
    if (known_hold_ != 0 && known_hold_ == hold_count_ && loaded_path_ == path &&
        SavesAsKnown(bytes))
        return;
    // Written at the action's commit point; until then the action's loads take this document.
    pending_ = true;
    pending_path_ = path;
    if (std::find(pending_changes_.begin(), pending_changes_.end(), change) ==
        pending_changes_.end())
        pending_changes_.push_back(std::move(change));
    loaded_path_ = path;
    Remember(std::move(bytes), doc, true);
}

void ScriptStore::WriteStore(const fs::path& path, std::string_view bytes) {
    // The backup is the store as it was before the action, however many saves it makes. Its
    // copy waits beside it until this save has replaced the store: a save that fails leaves the
    // old backup alone, and a crash in between is settled by the next load.
    const fs::path waiting = WaitingBackupPath(path);
    const bool backing_up = !backup_taken_ && FileExists(path);
    if (backing_up) files::CopyForBackup(files_, path, waiting);
    // The new store is complete on the disk before it takes the old one's place, so a crash
    // leaves one or the other. The file system's Replace also makes the renaming itself
    // durable: a store that came back old after a power cut would lose a script the user
    // was told was saved.
    try {
        xml::WriteSafely(files_, path, bytes);
    } catch (...) {
        // A store gone meanwhile comes back from the waiting copy at the next load.
        if (backing_up && FileExists(path)) files_.Remove(waiting);
        throw;
    }
    backup_taken_ = true;
    if (backing_up) files::TakeAsBackup(files_, waiting, BackupPath(path));
}

xml::XmlRef<xml::IXmlDocument> ScriptStore::CreateDefaultStore() {
    return Operation([&] {
        auto doc = xml::CreateXmlDocument("Scripts", "1.0", "");
        auto root = doc->DocumentElement();
        root->AppendElement("Script")->SetAttr("Name", "");

        auto config = root->AppendElement("Configuration");
        config->SetAttr("WindowState", "Normal");
        config->SetIntAttr("Height", 200);
        config->SetIntAttr("Width", 350);
        config->SetIntAttr("Top", 100);
        config->SetIntAttr("Left", 100);
        config->SetAttr("DefaultSave", "");
        config->SetAttr("FontName", "Courier New");
        config->SetAttr("FontSize", "8");
        AppendDefaultColours(*config);

        SaveChange(*doc, std::string(u8"новый файл настроек"_cp));
        if (!lost_.empty())
            Notice(std::exchange(lost_, {}) +
                   std::string(u8" Создан новый файл настроек с параметрами по умолчанию."_cp));
        return doc;
    });
}

void ScriptStore::ApplyStore(IStoreWindow& window) {
    Operation([&] {
        Hold(StorePath());
        // The window shows what the file holds: what the action saved is written first, and a
        // write that fails leaves the window as it was.
        Commit();
        window.ClearScriptList();
        if (!StoreExists()) {
            CreateDefaultStore();
            return;
        }
        auto doc = LoadStore();
        const std::optional<std::string> default_script = ApplyDocument(*doc, loaded_path_, window);
        if (default_script && open_script_) open_script_(*default_script);
    });
}

void ScriptStore::SaveWorkbenchState(IStoreWindow& window) {
    const std::string box_text = window.ScriptBoxText();
    const std::string editor_text = window.EditorText();
    Operation([&] {
        Hold(StorePath());
        if (!StoreExists()) {
            CreateDefaultStore();
            return;
        }
        auto doc = LoadStore();
        const fs::path path = loaded_path_;
        auto config = ConfigurationOf(*RootOf(*doc, path), path);

        const WindowBounds bounds = window.GetWindowBounds();
        config->SetAttr("WindowState", kWindowStates[static_cast<int>(window.GetWindowState())]);
        config->SetIntAttr("Height", bounds.height);
        config->SetIntAttr("Width", bounds.width);
        config->SetIntAttr("Top", bounds.top);
        config->SetIntAttr("Left", bounds.left);
        config->SetAttr("DefaultSave", box_text);
        config->SetAttr("LastText", editor_text);
        config->SetAttr("FontName", window.FontName());
        config->SetAttr("FontSize", std::to_string(window.FontSize()));
        SaveChange(*doc, std::string(u8"положение окна и последний текст"_cp));
    });
}

std::vector<ScriptVersion> ScriptStore::History(std::string_view name) {
    return Operation([&] {
        Hold(StorePath());
        return VersionsOf(LoadHistory(HistoryPath()), name);
    });
}

void ScriptStore::StoreScript(std::string_view name, std::string_view language,
                              std::string_view text) {
    Operation([&] {
        Hold(StorePath());
        auto doc = LoadStore();
        auto root = RootOf(*doc, loaded_path_);
        xml::XmlRef<xml::IXmlNode> script = FindScriptRecord(*root, name, "none");
        if (!script)
            script = root->AppendElement("Script");
        else if (script->GetAttr("Text", "") != text)
            KeepVersion(*script, name);  // the text it replaces
        script->SetAttr("Name", name);
        script->SetAttr("Language", language);
        script->SetAttr("Text", text);
        SaveChange(*doc, name.empty() ? std::string(u8"текст без имени"_cp)
                                      : std::string(u8"скрипт \""_cp) + std::string(name) + "\"");
    });
}

void ScriptStore::RemoveScript(std::string_view name) {
    Operation([&] {
        Hold(StorePath());
        auto doc = LoadStore();
        auto root = RootOf(*doc, loaded_path_);
        if (auto script = FindScriptRecord(*root, name)) {
            KeepVersion(*script, name);
            root->RemoveChild(script);
        }
        SaveChange(*doc, std::string(u8"удаление скрипта \""_cp) + std::string(name) + "\"");
    });
}

}  // namespace zeph::store
