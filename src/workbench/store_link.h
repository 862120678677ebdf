// The workbench's store operations over the configuration file in the host's data folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "store/rescue.h"
#include "store/script_store.h"
#include "store/store_window.h"
#include "workbench/interfaces.h"
#include "workbench/presenter.h"

namespace zeph::workbench {

// The store reads and writes the presenter's window directly; the presenter answers its
// questions, shows its notices and opens the default script.
class ScriptStoreLink : public IWorkbenchStore {
  public:
    // Every file of the store goes through `files`.
    ScriptStoreLink(store::DataFolder folder, WorkbenchPresenter& presenter,
                    xml::IFileSystem& files = xml::PlatformFileSystem());

    void ApplyStore() override;
    void SaveWorkbenchState() override { store_.SaveWorkbenchState(window_); }
    void StoreScript(const std::string& name, std::string_view language,
                     const std::string& text) override {
        store_.StoreScript(name, language, text);
    }
    void RemoveScript(const std::string& name) override { store_.RemoveScript(name); }
    std::optional<StoredScript> FindScript(const std::string& name) override;
    void SaveOnClose(const std::string& name, std::string_view language,
                     const std::string& text) override;
    void KeepRescue(const store::RescuedScript& script) override {
        store::WriteRescue(folder_(), script);
    }
    std::optional<store::RescuedScript> TakeRescue() override {
        return store::TakeRescue(folder_());
    }
    std::vector<store::ScriptVersion> History(const std::string& name) override {
        return store_.History(name);
    }

    void BeginAction() noexcept override { store_.BeginAction(); }
    void EndAction() noexcept override { store_.EndAction(); }
    void CommitAction() override { store_.Commit(); }

    store::ScriptStore& Store() { return store_; }

  private:
    store::DataFolder folder_;
    store::ScriptStore store_;
    store::IStoreWindow& window_;
};

}  // namespace zeph::workbench
