// The module's lifetime as a host meets it: once the workbench was used (a script run, the store
// written) and the last object released, nothing keeps zeph.dll loaded, and loaded again at
// another address it works as before.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>

#include "e2e_fixture.h"

namespace zeph::e2e {
namespace {

constexpr wchar_t kScript[] =
    L"Application.GetMap().GetObject(\"P1\").Move 30, 20\r\nMsgBox \"moved\"";

SIZE_T ImageSize(HMODULE module) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    return reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(module) +
                                                     dos->e_lfanew)
        ->OptionalHeader.SizeOfImage;
}

HRESULT CanUnloadNow(HMODULE module) {
    auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(::GetProcAddress(module, "DllCanUnloadNow")));
    return entry ? entry() : E_FAIL;
}

}  // namespace

TEST_F(EndToEndTest, UnloadedAfterUseAndLoadedAgainAtAnotherAddressItWorksAgain) {
    const std::wstring path = win::test::WindowsPath(ZEPH_MODULE_DLL);
    // Runs the text in the editor, which moves P1 and shows one box, then closes the window
    // (which stores the text) and releases the module object.
    auto runAndClose = [&] {
        BoxWatcher boxes;
        Press(VK_F5);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, L"moved");
        Press('Q', true);
        EXPECT_FALSE(::IsWindow(wb_));
        module_.reset();
        // The script's objects go with its engine; then nothing holds the module.
        EXPECT_TRUE(PumpUntil([&] { return CanUnloadNow(dll_) == S_OK; }));
    };

    OpenWorkbench();
    PasteIntoEditor(kScript);
    runAndClose();
    EXPECT_EQ(host_->map.Get(L"P1")->vertices[0], (tellur::Vertex{40, 30}));

    const HMODULE first = std::exchange(dll_, nullptr);
    const SIZE_T size = ImageSize(first);
    ::FreeLibrary(first);
    const bool unloaded = ::GetModuleHandleW(path.c_str()) == nullptr;
    // The old address taken, the next load has to sit elsewhere.
    void* taken = unloaded ? ::VirtualAlloc(first, size, MEM_RESERVE, PAGE_NOACCESS) : nullptr;
    dll_ = ::LoadLibraryW(path.c_str());  // the suite's reference again, whatever happens here
    ASSERT_TRUE(dll_) << "cannot load zeph.dll again, error " << ::GetLastError();
    ASSERT_TRUE(unloaded) << "zeph.dll stayed loaded after its last object and FreeLibrary";
    EXPECT_EQ(taken, static_cast<void*>(first));
    EXPECT_NE(dll_, first);

    // The stored text comes back, runs, and the module lets go again.
    OpenWorkbench();
    EXPECT_EQ(EditorText().substr(0, std::wstring(kScript).size()), kScript);
    runAndClose();
    EXPECT_EQ(host_->map.Get(L"P1")->vertices[0], (tellur::Vertex{70, 50}));
    if (taken) ::VirtualFree(taken, 0, MEM_RELEASE);
}

}  // namespace zeph::e2e
