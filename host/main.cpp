// Tellur.exe: the map host. Prepares the data folder, loads the map, shows the main window
// and runs a plain message loop (or, with --foreign-loop, one with accelerators and a modeless
// palette, as real hosts have); the add-in module's windows take care of themselves.
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include <memory>

#include "host/host_loop.h"
#include "host/main_window.h"
#include "host/options.h"
#include "host/resource.h"

namespace {

std::vector<std::wstring> Arguments() {
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> args;
    for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
    ::LocalFree(argv);
    return args;
}

int Run(int show) {
    using namespace tellur;
    Options options = ParseOptions(Arguments());
    auto host = std::make_shared<Host>();
    try {
        host->dataFolder = PrepareDataFolder(options.dataFolder);
    } catch (const MapError& e) {
        ::MessageBoxW(nullptr, e.message().c_str(), L"Теллур", MB_OK | MB_ICONERROR);
        return 2;
    }
    auto log = std::make_shared<LogFile>(options.logFile.empty() ? host->dataFolder + L"Tellur.log"
                                                                 : options.logFile);
    host->log = [log](const std::wstring& line) { log->Write(line); };
    host->log(L"started, data folder " + host->dataFolder);
    host->log(InstallDescription(host->dataFolder));
    HRESULT registered = RegisterHostTypeLibrary();
    host->log(SUCCEEDED(registered) ? L"type library registered"
                                    : L"type library not registered, error " +
                                          std::to_wstring(static_cast<long>(registered)));

    std::wstring mapFile = options.mapFile;
    if (mapFile.empty() &&
        ::GetFileAttributesW((ProgramFolder() + L"sample.tmap").c_str()) != INVALID_FILE_ATTRIBUTES)
        mapFile = ProgramFolder() + L"sample.tmap";
    std::wstring mapError;
    if (!mapFile.empty()) {
        try {
            host->map.Load(mapFile);
            host->log(L"map: " + mapFile + L", objects " +
                      std::to_wstring(host->map.features().size()));
        } catch (const MapError& e) {
            mapError = e.message();
        }
    }
    if (host->map.name().empty() && host->map.features().empty()) host->map.SetName(L"Новая карта");

    MainWindow window(host);
    HWND frame = window.Create();
    ::ShowWindow(frame, show);
    ::UpdateWindow(frame);
    host->log(L"main window shown");
    for (const std::wstring& e : options.errors) {
        host->log(L"error: " + e);
        ::MessageBoxW(frame, e.c_str(), L"Теллур", MB_OK | MB_ICONWARNING);
    }
    if (!mapError.empty()) {
        host->log(L"error: " + mapError);
        ::MessageBoxW(frame, mapError.c_str(), L"Теллур", MB_OK | MB_ICONERROR);
    }
    if (options.openWorkbench) ::PostMessageW(frame, WM_COMMAND, IDM_WORKBENCH, 0);

    std::unique_ptr<ForeignLoop> foreign;
    if (options.foreignLoop) foreign = std::make_unique<ForeignLoop>(frame);
    const int code = RunMessageLoop(foreign.get());
    host->log(L"exit");
    return code;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    if (FAILED(::OleInitialize(nullptr))) return 1;
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_BAR_CLASSES | ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&icc);
    int code = Run(show);
    ::OleUninitialize();
    return code;
}
