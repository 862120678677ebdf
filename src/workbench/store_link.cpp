#include "workbench/store_link.h"

namespace zeph::workbench {

ScriptStoreLink::ScriptStoreLink(store::DataFolder folder, WorkbenchPresenter& presenter,
                                 xml::IFileSystem& files)
    : folder_(folder), store_(std::move(folder), files), window_(presenter.View()) {
    store_.SetAsk(
        [&presenter](const std::string& question) { return presenter.AskYesNo(question); });
    store_.SetOpenScript([&presenter](const std::string& name) { presenter.OpenScript(name); });
    store_.SetTell([&presenter](const std::string& notice) { presenter.Inform(notice); });
}

void ScriptStoreLink::ApplyStore() {
    // A missing store is written with the defaults and nothing else happens: the editor keeps its
    // own font and colours, the window its place, until the next opening applies the file.
    store_.ApplyStore(window_);
}

std::optional<StoredScript> ScriptStoreLink::FindScript(const std::string& name) {
    auto doc = store_.LoadStore();
    auto root = doc->DocumentElement();
    if (!root) return std::nullopt;
    auto script = store::FindScriptRecord(*root, name);
    if (!script) return std::nullopt;
    return StoredScript{store::ScriptLanguage(*script), script->GetAttr("Text", "")};
}

void ScriptStoreLink::SaveOnClose(const std::string& name, std::string_view language,
                                  const std::string& text) {
    if (!store_.StoreExists()) return;
    auto doc = store_.LoadStore();
    xml::XmlRef<xml::IXmlNode> match;
    if (auto root = doc->DocumentElement())
        match = store::FindScriptRecord(*root, name, "ScriptNameError");
    if (!match) {
        store_.StoreScript(name, language, text);
    } else if (match->GetAttr("Text", "ScriptTextError") != text) {
        // The changed record moves to the end of the store.
        store_.RemoveScript(name);
        store_.StoreScript(name, language, text);
    }
    store_.SaveWorkbenchState(window_);
}

}  // namespace zeph::workbench
