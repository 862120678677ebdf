#include "editor/clipboard.h"

#include <algorithm>

#include "base/unique.h"
#include "base/wide.h"

namespace zeph::win {

namespace {

// The clipboard opened for the scope. Another program may hold it open for a moment, so
// opening is tried a few times.
class OpenClipboardScope {
  public:
    explicit OpenClipboardScope(HWND owner) noexcept {
        for (int attempt = 0; attempt < 10; ++attempt) {
            if ((open_ = ::OpenClipboard(owner) != FALSE)) return;
            ::Sleep(10);
        }
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    ~OpenClipboardScope() {
        if (open_) ::CloseClipboard();
    }
    explicit operator bool() const noexcept { return open_; }

  private:
    bool open_ = false;
};

// GlobalLock for the scope; get() is null when the memory could not be locked.
class GlobalLockScope {
  public:
    explicit GlobalLockScope(HGLOBAL mem) noexcept : mem_(mem), data_(::GlobalLock(mem)) {}
    GlobalLockScope(const GlobalLockScope&) = delete;
    GlobalLockScope& operator=(const GlobalLockScope&) = delete;
    ~GlobalLockScope() {
        if (data_) ::GlobalUnlock(mem_);
    }
    void* get() const noexcept { return data_; }

  private:
    HGLOBAL mem_;
    void* data_;
};

// Hands `mem` to the clipboard, which owns it from then on; on failure it stays ours.
void GiveToClipboard(UINT format, UniqueGlobal& mem) {
    if (mem && ::SetClipboardData(format, mem.get())) mem.release();
}

}  // namespace

Win32Clipboard::Win32Clipboard(HWND owner)
    : owner_(owner), block_format_(::RegisterClipboardFormatW(L"Zeph Column Block")) {}

void Win32Clipboard::PutText(std::string_view cp1251, bool column_block) {
    OpenClipboardScope open(owner_);
    if (!open) return;
    ::EmptyClipboard();
    const std::wstring w = Wide(cp1251);
    UniqueGlobal text(::GlobalAlloc(GMEM_MOVEABLE, (w.size() + 1) * sizeof(wchar_t)));
    if (text) {
        GlobalLockScope lock(text.get());
        if (auto* p = static_cast<wchar_t*>(lock.get()))
            std::copy(w.c_str(), w.c_str() + w.size() + 1, p);
        else
            text.reset();
    }
    GiveToClipboard(CF_UNICODETEXT, text);
    if (column_block) {
        UniqueGlobal mark(::GlobalAlloc(GMEM_MOVEABLE, 1));
        GiveToClipboard(block_format_, mark);
    }
}

bool Win32Clipboard::GetText(std::string& cp1251, bool& column_block) {
    if (!::IsClipboardFormatAvailable(CF_UNICODETEXT)) return false;
    OpenClipboardScope open(owner_);
    if (!open) return false;
    bool ok = false;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        GlobalLockScope lock(data);
        if (const auto* p = static_cast<const wchar_t*>(lock.get())) {
            // The text ends at its NUL or, without one, at the end of the memory.
            const size_t max = ::GlobalSize(data) / sizeof(wchar_t);
            size_t n = 0;
            while (n < max && p[n]) ++n;
            cp1251 = Narrow(std::wstring_view(p, n));
            ok = true;
        }
    }
    column_block = ok && ::IsClipboardFormatAvailable(block_format_);
    return ok;
}

}  // namespace zeph::win
