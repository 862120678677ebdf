// The workbench's script engines on this platform: a fresh Script Control per run, the host
// application published as "Application", and the object-model description read through the
// store's lookups for the constants prelude.
#pragma once

#include <windows.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/unique.h"
#include "workbench/interfaces.h"
#include "xml/xml.h"

namespace zeph::win {

class ScriptEngines : public workbench::IScriptEngineFactory {
  public:
    // `site` parents any window the engine or a script opens; `application` is what scripts
    // see as "Application" (kept with a counted reference).
    ScriptEngines(HWND site, IDispatch* application);

    std::unique_ptr<workbench::IScriptEngine> CreateEngine() override;
    void LoadDescription(const std::filesystem::path& path) override;
    std::string ConstantPrelude(std::string_view keyword, std::string_view script) override;
    // A fresh engine of the language that parses the text and is closed unstarted.
    std::optional<workbench::ScriptError> CheckSyntax(std::string_view language,
                                                      std::string_view code) override;

  private:
    HWND site_;
    ComPtr<IDispatch> application_;
    // The description of the current run, loaded at its start; the prelude is made from it.
    xml::XmlRef<xml::IXmlDocument> description_;
};

}  // namespace zeph::win
