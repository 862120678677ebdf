// One non-copyable owner per Win32 resource: handles, GDI objects, window DCs, BSTRs,
// VARIANTs and COM pointers. Each frees its resource exactly once.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <oleauto.h>

#include <utility>

namespace zeph::win {

// Owner of a handle-like value; Close(value) frees it, Invalid() is the empty value.
template <typename T, typename Traits>
class Unique {
  public:
    Unique() = default;
    explicit Unique(T value) noexcept : value_(value) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : value_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~Unique() { reset(); }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::Invalid(); }
    T release() noexcept { return std::exchange(value_, Traits::Invalid()); }
    void reset(T value = Traits::Invalid()) noexcept {
        T old = std::exchange(value_, value);
        if (old != Traits::Invalid()) Traits::Close(old);
    }
    // For out-parameters: frees the current value and hands out its address.
    T* put() noexcept {
        reset();
        return &value_;
    }

  private:
    T value_ = Traits::Invalid();
};

template <typename T, auto CloseFn, T InvalidValue = T{}>
struct SimpleTraits {
    static constexpr T Invalid() noexcept { return InvalidValue; }
    static void Close(T v) noexcept { CloseFn(v); }
};

struct FileHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};

template <typename H>
struct GdiTraits {
    static H Invalid() noexcept { return nullptr; }
    static void Close(H h) noexcept { ::DeleteObject(h); }
};

using UniqueFile = Unique<HANDLE, FileHandleTraits>;                       // CreateFile results
using UniqueHandle = Unique<HANDLE, SimpleTraits<HANDLE, ::CloseHandle>>;  // threads, events

using UniqueFont = Unique<HFONT, GdiTraits<HFONT>>;
using UniqueBrush = Unique<HBRUSH, GdiTraits<HBRUSH>>;
using UniquePen = Unique<HPEN, GdiTraits<HPEN>>;
using UniqueBitmap = Unique<HBITMAP, GdiTraits<HBITMAP>>;
using UniqueMemoryDc = Unique<HDC, SimpleTraits<HDC, ::DeleteDC>>;
using UniqueWindow = Unique<HWND, SimpleTraits<HWND, ::DestroyWindow>>;
using UniqueMenu = Unique<HMENU, SimpleTraits<HMENU, ::DestroyMenu>>;
using UniqueIcon = Unique<HICON, SimpleTraits<HICON, ::DestroyIcon>>;
using UniqueModule = Unique<HMODULE, SimpleTraits<HMODULE, ::FreeLibrary>>;
using UniqueGlobal = Unique<HGLOBAL, SimpleTraits<HGLOBAL, ::GlobalFree>>;
using UniqueBstr = Unique<BSTR, SimpleTraits<BSTR, ::SysFreeString>>;
using UniqueKey = Unique<HKEY, SimpleTraits<HKEY, ::RegCloseKey>>;
using UniqueImageList = Unique<HIMAGELIST, SimpleTraits<HIMAGELIST, ::ImageList_Destroy>>;

// A DC from GetDC, given back with ReleaseDC.
class WindowDc {
  public:
    explicit WindowDc(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

  private:
    HWND hwnd_;
    HDC dc_;
};

// BeginPaint/EndPaint.
class PaintDc {
  public:
    explicit PaintDc(HWND hwnd) noexcept : hwnd_(hwnd) { dc_ = ::BeginPaint(hwnd, &ps_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    ~PaintDc() { ::EndPaint(hwnd_, &ps_); }
    HDC get() const noexcept { return dc_; }
    const PAINTSTRUCT& paint() const noexcept { return ps_; }

  private:
    HWND hwnd_;
    HDC dc_;
    PAINTSTRUCT ps_{};
};

// SelectObject for the scope; the previous object goes back in on exit.
class SelectedObject {
  public:
    SelectedObject(HDC dc, HGDIOBJ obj) noexcept : dc_(dc), old_(::SelectObject(dc, obj)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (old_) ::SelectObject(dc_, old_);
    }

  private:
    HDC dc_;
    HGDIOBJ old_;
};

class UniqueVariant {
  public:
    UniqueVariant() noexcept { ::VariantInit(&v_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { ::VariantClear(&v_); }
    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARIANT* put() noexcept {
        ::VariantClear(&v_);
        return &v_;
    }

  private:
    VARIANT v_;
};

// Counted COM reference.
template <typename I>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference to `p`.
    explicit ComPtr(I* p) noexcept : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& o) noexcept : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    // Adopts a reference the caller already owns.
    static ComPtr Attach(I* p) noexcept {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    I* get() const noexcept { return p_; }
    I* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    I* detach() noexcept { return std::exchange(p_, nullptr); }
    void reset() noexcept {
        if (I* p = std::exchange(p_, nullptr)) p->Release();
    }
    I** put() noexcept {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    template <typename Other>
    HRESULT As(ComPtr<Other>* out) const noexcept {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(__uuidof(Other), out->put_void());
    }

  private:
    I* p_ = nullptr;
};

}  // namespace zeph::win
