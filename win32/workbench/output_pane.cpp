#include "workbench/output_pane.h"

#include "base/result.h"
#include "base/wide.h"

namespace zeph::win {

OutputPane::OutputPane(HWND parent, WORD id, HFONT font, ScriptEditorWindow& editor,
                       std::function<void()> relayout)
    : editor_(editor), relayout_(std::move(relayout)) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    list_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                              WS_CHILD | WS_VSCROLL | WS_HSCROLL | WS_CLIPSIBLINGS | LBS_NOTIFY |
                                  LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS,
                              0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              instance, nullptr);
    if (!list_) ThrowLastError("CreateWindowExW(output pane)");
    if (font) ::SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

int OutputPane::SelectedLine() const {
    return static_cast<int>(::SendMessageW(list_, LB_GETCURSEL, 0, 0));
}

void OutputPane::OutputAppended(const workbench::OutputLog& log, std::size_t added,
                                std::size_t dropped) {
    ::SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    for (std::size_t i = 0; i < dropped; ++i) ::SendMessageW(list_, LB_DELETESTRING, 0, 0);
    const auto& entries = log.Entries();
    const std::size_t first = entries.size() >= added ? entries.size() - added : 0;
    for (std::size_t i = first; i < entries.size(); ++i)
        ::SendMessageW(list_, LB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(Wide(entries[i].text).c_str()));
    const LRESULT count = ::SendMessageW(list_, LB_GETCOUNT, 0, 0);
    if (count > 0) ::SendMessageW(list_, LB_SETTOPINDEX, count - 1, 0);
    ::SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list_, nullptr, TRUE);
    // A script echoing in a long run holds the thread: paint now rather than at its end.
    ::UpdateWindow(list_);
}

void OutputPane::OutputCleared() {
    ::SendMessageW(list_, LB_RESETCONTENT, 0, 0);
}

bool OutputPane::OutputShown() const {
    return shown_;
}

void OutputPane::ShowOutput(bool shown) {
    if (shown == shown_) return;
    shown_ = shown;
    ::ShowWindow(list_, shown ? SW_SHOWNA : SW_HIDE);
    if (relayout_) relayout_();
}

}  // namespace zeph::win
