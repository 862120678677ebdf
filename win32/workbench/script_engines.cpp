#include "workbench/script_engines.h"

#include <filesystem>

#include "store/description.h"
#include "store/script_store.h"
#include "workbench/script_control.h"
#include "xml/xml.h"

namespace zeph::win {

namespace {

class Engine : public workbench::IScriptEngine {
  public:
    Engine(HWND site, IDispatch* application) : site_(site), application_(application) {}

    void SetLanguage(std::string_view language) override { control_.SetLanguage(language); }
    void AddApplication() override { control_.AddObject("Application", application_, true); }
    void SetSiteWindow() override { control_.SetSiteWindow(site_); }
    std::optional<workbench::ScriptError> AddCode(std::string_view code) override {
        if (control_.AddCode(code)) return std::nullopt;
        ScriptControl::ErrorInfo info = control_.LastError();
        return workbench::ScriptError{std::move(info.description), static_cast<int>(info.line),
                                      static_cast<int>(info.column)};
    }

  private:
    HWND site_;
    IDispatch* application_;  // the factory holds the reference for the engine's whole life
    ScriptControl control_;
};

}  // namespace

ScriptEngines::ScriptEngines(HWND site, IDispatch* application)
    : site_(site), application_(application) {}

std::unique_ptr<workbench::IScriptEngine> ScriptEngines::CreateEngine() {
    return std::make_unique<Engine>(site_, application_.get());
}

void ScriptEngines::LoadDescription(const std::filesystem::path& path) {
    store::SharedDocument() = xml::LoadXmlDocument(path);
}

std::string ScriptEngines::ConstantPrelude(std::string_view keyword) {
    xml::XmlRef<xml::IXmlDocument>& doc = store::SharedDocument();
    if (!doc) return {};
    return store::ConstantPrelude(*doc, keyword);
}

}  // namespace zeph::win
