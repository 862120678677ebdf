// A Tellur main window with a small known map, inside the test process, for tests that talk
// to the host through its automation objects or its window messages.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "host/main_window.h"

namespace tellur::testing {

using zeph::win::ComPtr;

// Three objects a test can find by eye: a point, a line and a square polygon.
inline constexpr char kSmallMap[] =
    "TELLURMAP\t1\n"
    "name\tПроба\n"
    "object\tpoint\tP1\tКолодец\t10 10\n"
    "attr\tГлубина\t15\n"
    "object\tpoint\tP2\tРодник\t90 90\n"
    "object\tline\tL1\tДорога\t0 50, 100 50\n"
    "object\tpolygon\tA1\tПоле\t60 0, 100 0, 100 40, 60 40\n";

class HostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(::OleInitialize(nullptr), S_OK);
        host_ = std::make_shared<Host>();
        host_->dataFolder = L"C:\\data\\";
        host_->map.Read(kSmallMap, L"small.tmap");
        window_ = std::make_unique<MainWindow>(host_);
        frame_ = window_->Create();
        ::SetWindowPos(frame_, nullptr, 0, 0, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
        ::ShowWindow(frame_, SW_SHOWNOACTIVATE);
        window_->ZoomAll();
        app_ = window_->application();
    }
    void TearDown() override {
        window_.reset();
        Pump();
        ::OleUninitialize();
    }
    static void Pump() {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }

    std::shared_ptr<Host> host_;
    std::unique_ptr<MainWindow> window_;
    HWND frame_ = nullptr;
    ITellurApplication* app_ = nullptr;
};

inline std::wstring TakeBstr(BSTR b) {
    std::wstring s = b ? std::wstring(b, ::SysStringLen(b)) : std::wstring();
    ::SysFreeString(b);
    return s;
}

// The description of the thread's last error, or "".
inline std::wstring ErrorDescription() {
    IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) != S_OK || !info) return L"";
    BSTR text = nullptr;
    info->GetDescription(&text);
    info->Release();
    return TakeBstr(text);
}

}  // namespace tellur::testing
