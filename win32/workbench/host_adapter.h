// The host as the workbench presenter sees it: the host's application object (data folder,
// selection).
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "tellur.h"
#include "workbench/interfaces.h"

namespace zeph::win {

// Every failed host call throws with the host's status code.
class HostAdapter final : public workbench::IWorkbenchHost {
  public:
    // `app` must outlive the adapter (the window holds the reference).
    explicit HostAdapter(ITellurApplication* app) : app_(app) {}

    std::string DataFolder() override;
    std::filesystem::path DataFolderPath() override;
    int SelectedCount() override;
    std::string SelectedId(int index) override;

  private:
    std::wstring Folder();

    ITellurApplication* app_;
};

}  // namespace zeph::win
