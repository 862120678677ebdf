#include "base/window_binding.h"

#include <gtest/gtest.h>

#include "base/unique.h"
#include "base/window_class.h"

using namespace zeph::win;

namespace {

// An object owning its window the way the editor's windows do.
struct Owned {
    UniqueWindow hwnd;
    int messages = 0;

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = BoundObject(hwnd, msg, lp, &Owned::hwnd);
        if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
        ++self->messages;
        return ::DefWindowProcW(hwnd, msg, wp, lp);
    }
};

const wchar_t* OwnedClass() {
    static const wchar_t* name = [] {
        WNDCLASSEXW wc{sizeof wc};
        wc.lpfnWndProc = Owned::Proc;
        wc.lpszClassName = L"ZephBindingTest";
        RegisterModuleClass(wc);
        return wc.lpszClassName;
    }();
    return name;
}

HWND Create(HWND parent, Owned* owner) {
    return ::CreateWindowExW(0, OwnedClass(), L"", parent ? WS_CHILD : WS_POPUP, 0, 0, 10, 10,
                             parent, nullptr, CodeModule(), owner);
}

}  // namespace

TEST(WindowBinding, OwnerTakesTheHandleAndSeesItsMessages) {
    Owned owner;
    HWND hwnd = Create(nullptr, &owner);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(owner.hwnd.get(), hwnd);
    EXPECT_GT(owner.messages, 0);
    const int before = owner.messages;
    ::SendMessageW(hwnd, WM_NULL, 0, 0);
    EXPECT_EQ(owner.messages, before + 1);
    owner.hwnd.reset();
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(WindowBinding, WindowDestroyedByItsParentIsForgotten) {
    UniqueWindow parent(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                          nullptr, nullptr, nullptr));
    ASSERT_TRUE(parent);
    Owned owner;
    HWND child = Create(parent.get(), &owner);
    ASSERT_NE(child, nullptr);
    parent.reset();
    EXPECT_FALSE(::IsWindow(child));
    // The owner must not destroy the window again, nor a later window given the same handle.
    EXPECT_FALSE(owner.hwnd);
}

TEST(WindowBinding, WindowWithoutOwnerGetsDefaultHandling) {
    UniqueWindow hwnd(Create(nullptr, nullptr));
    ASSERT_TRUE(hwnd);
    EXPECT_EQ(::GetWindowLongPtrW(hwnd.get(), GWLP_USERDATA), 0);
    ::SetWindowTextW(hwnd.get(), L"x");
    EXPECT_EQ(::GetWindowTextLengthW(hwnd.get()), 1);
}
