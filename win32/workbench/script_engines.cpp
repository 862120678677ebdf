#include "workbench/script_engines.h"

#include <filesystem>

#include "store/description.h"
#include "workbench/echo_object.h"
#include "workbench/run_stop.h"
#include "workbench/run_watch.h"
#include "workbench/script_control.h"
#include "workbench/stop_checks.h"
#include "workbench/syntax_check.h"
#include "xml/xml.h"

namespace zeph::win {

namespace {

class Engine : public workbench::IScriptEngine {
  public:
    Engine(HWND site, IDispatch* application) : site_(site), application_(application) {}

    void SetLanguage(std::string_view language) override { control_.SetLanguage(language); }
    // Scripts reach the host through a guard, so that a stopped run fails at its next call.
    void AddApplication() override {
        ComPtr<IDispatch> guarded = ComPtr<IDispatch>::Attach(stop_->Guard(application_));
        control_.AddObject("Application", guarded.get(), true);
    }
    void SetSiteWindow() override { control_.SetSiteWindow(site_); }
    void AddEcho(std::function<void(std::string_view)> echo) override {
        ComPtr<IDispatch> object =
            ComPtr<IDispatch>::Attach(CreateEchoObject(stop_, std::move(echo)));
        control_.AddObject("WScript", object.get(), false);
    }
    bool AddStopCheckItem() override {
        ComPtr<IDispatch> item = ComPtr<IDispatch>::Attach(CreateStopCheckItem(stop_));
        control_.AddObject(std::string(workbench::kStopCheckItem), item.get(), false);
        return true;
    }
    std::optional<workbench::ScriptError> AddCode(std::string_view code) override {
        bool done = false;
        {
            StopKeyWatch watch(stop_, site_);
            done = control_.AddCode(code);
        }
        if (stop_->Stopped()) DropQueuedKeys();
        if (done) return std::nullopt;
        ScriptControl::ErrorInfo info = control_.LastError();
        return workbench::ScriptError{std::move(info.description), static_cast<int>(info.line),
                                      static_cast<int>(info.column), stop_->Stopped()};
    }

  private:
    HWND site_;
    IDispatch* application_;  // the factory holds the reference for the engine's whole life
    std::shared_ptr<RunStop> stop_ = std::make_shared<RunStop>();
    ScriptControl control_;
};

}  // namespace

ScriptEngines::ScriptEngines(HWND site, IDispatch* application)
    : site_(site), application_(application) {}

std::unique_ptr<workbench::IScriptEngine> ScriptEngines::CreateEngine() {
    return std::make_unique<Engine>(site_, application_.get());
}

void ScriptEngines::LoadDescription(const std::filesystem::path& path) {
    // The previous run's document goes first: the new one then reuses its memory.
    description_.reset();
    description_ = xml::LoadXmlDocument(path);
}

std::string ScriptEngines::ConstantPrelude(std::string_view keyword, std::string_view script) {
    if (!description_) return {};
    return store::ConstantPreludeFor(*description_, keyword, script);
}

std::optional<workbench::ScriptError> ScriptEngines::CheckSyntax(std::string_view language,
                                                                 std::string_view code) {
    return CheckScriptSyntax(language, code);
}

}  // namespace zeph::win
