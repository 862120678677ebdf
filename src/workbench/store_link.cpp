#include "workbench/store_link.h"

namespace zeph::workbench {

std::optional<StoredScript> ScriptStoreLink::FindScript(const std::string& name) {
    auto doc = store_.LoadStore();
    auto root = doc->DocumentElement();
    if (!root) return std::nullopt;
    auto script = root->ElementByAttr("Script", "Name", xml::XmlValue(name));
    if (!script) return std::nullopt;
    return StoredScript{store::ScriptLanguage(*script), script->GetAttr("Text", "")};
}

void ScriptStoreLink::SaveOnClose(const std::string& name, std::string_view language,
                                  const std::string& text) {
    if (!store_.StoreExists()) return;
    auto doc = store_.LoadStore();
    xml::XmlRef<xml::IXmlNode> match;
    if (auto root = doc->DocumentElement()) {
        auto children = root->ChildNodes();
        for (int i = 0; i < children->Count(); ++i) {
            auto child = children->Item(i);
            if (child->GetAttr("Name", "ScriptNameError") == name) {
                match = child;
                break;
            }
        }
    }
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
