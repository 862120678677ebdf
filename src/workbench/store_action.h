// A user action's turn at the store, for the presenter's parts: one action from start to end,
// and a pause in it while a modal dialog works with a store of its own.
#pragma once

#include <exception>

#include "text/cp1251.h"
#include "workbench/interfaces.h"
#include "workbench/presenter.h"

namespace zeph::workbench {

// One user action at the store. It ends before an error is shown, so that another process
// waiting for its turn at the store does not wait for our message box. Its saves are written
// at Commit, once, where the action's work is done.
class StoreAction {
  public:
    explicit StoreAction(IWorkbenchStore* store) noexcept : store_(store) {
        if (store_) store_->BeginAction();
    }
    ~StoreAction() {
        if (store_) store_->EndAction();
    }
    void Commit() {
        if (store_) store_->CommitAction();
    }
    StoreAction(const StoreAction&) = delete;
    StoreAction& operator=(const StoreAction&) = delete;

  private:
    IWorkbenchStore* store_;
};

// Lets go of the current action's turn at the store for a while: a modal dialog that saves
// through a store of its own must get the lock, and another process must not wait on a user.
class StoreActionPause {
  public:
    explicit StoreActionPause(IWorkbenchStore* store) noexcept : store_(store) {
        if (store_) store_->EndAction();
    }
    ~StoreActionPause() {
        if (store_) store_->BeginAction();
    }
    StoreActionPause(const StoreActionPause&) = delete;
    StoreActionPause& operator=(const StoreActionPause&) = delete;

  private:
    IWorkbenchStore* store_;
};

// Runs a handler as one action at the store; what it throws is reported, not passed on.
template <typename F>
void WorkbenchPresenter::Guarded(F&& handler) {
    try {
        StoreAction action(store_);
        handler();
        action.Commit();
    } catch (const std::exception& e) {
        ReportError(e.what());
    } catch (...) {
        using text::operator""_cp;
        ReportError(u8"Неизвестная ошибка"_cp);
    }
}

}  // namespace zeph::workbench
