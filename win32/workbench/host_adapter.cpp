#include "workbench/host_adapter.h"

#include "base/result.h"
#include "base/unique.h"
#include "base/wide.h"

namespace zeph::win {

namespace {

std::wstring_view TextOf(const UniqueBstr& text) {
    return text.get() ? std::wstring_view(text.get(), ::SysStringLen(text.get()))
                      : std::wstring_view();
}

ComPtr<ITellurSelection> SelectionOf(ITellurApplication& app) {
    ComPtr<ITellurSelection> selection;
    THROW_IF_FAILED(app.GetSelection(selection.put()));
    if (!selection) ThrowHResult(E_POINTER, "GetSelection");
    return selection;
}

}  // namespace

std::wstring HostAdapter::Folder() {
    UniqueBstr folder;
    THROW_IF_FAILED(app_->GetDataFolder(folder.put()));
    return std::wstring(TextOf(folder));
}

std::string HostAdapter::DataFolder() {
    return Narrow(Folder());
}

std::filesystem::path HostAdapter::DataFolderPath() {
    return std::filesystem::path(Folder());
}

int HostAdapter::SelectedCount() {
    LONG count = 0;
    THROW_IF_FAILED(SelectionOf(*app_)->GetSelectedCount(&count));
    return static_cast<int>(count);
}

std::string HostAdapter::SelectedId(int index) {
    UniqueBstr id;
    THROW_IF_FAILED(SelectionOf(*app_)->GetSelectedID(index, id.put()));
    return Narrow(TextOf(id));
}

}  // namespace zeph::win
