#include "store/rescue.h"

#include <system_error>

#include "xml/xml.h"

namespace zeph::store {

namespace fs = std::filesystem;

fs::path RescuePath(const fs::path& folder) {
    fs::path path = folder;
    path += "zpconfig.rescue";
    return path;
}

void WriteRescue(const fs::path& folder, const RescuedScript& script) {
    auto doc = xml::CreateXmlDocument("Rescue");
    auto root = doc->DocumentElement();
    root->SetAttr("Name", script.name);
    root->SetAttr("Language", script.language);
    root->SetAttr("Text", script.text);
    doc->SaveToFile(RescuePath(folder));
}

std::optional<RescuedScript> TakeRescue(const fs::path& folder) {
    const fs::path path = RescuePath(folder);
    std::error_code ec;
    if (fs::status(path, ec).type() == fs::file_type::not_found) return std::nullopt;
    std::optional<RescuedScript> script;
    try {
        auto doc = xml::LoadXmlDocument(path);
        if (auto root = doc->DocumentElement(); root && root->NodeName() == "Rescue")
            script = RescuedScript{root->GetAttr("Name", ""), root->GetAttr("Language", "VBScript"),
                                   root->GetAttr("Text", "")};
    } catch (const std::exception&) {
    }
    xml::PlatformFileSystem().Remove(path);
    return script;
}

}  // namespace zeph::store
