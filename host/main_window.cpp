#include "host/main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "base/result.h"
#include "host/resource.h"
#include "host/tool_images.h"

namespace tellur {

namespace {

constexpr wchar_t kAppTitle[] = L"Теллур";

struct ToolButton {
    int image;
    int command;
    const wchar_t* hint;
};

constexpr ToolButton kButtons[] = {
    {kImgOpen, IDM_OPEN, L"Открыть карту (Ctrl+O)"},
    {kImgSave, IDM_SAVE_AS, L"Сохранить карту как"},
    {-1, 0, nullptr},
    {kImgZoomAll, IDM_ZOOM_ALL, L"Показать всю карту (Home)"},
    {kImgZoomIn, IDM_ZOOM_IN, L"Крупнее (+)"},
    {kImgZoomOut, IDM_ZOOM_OUT, L"Мельче (-)"},
    {-1, 0, nullptr},
    {kImgSelectAll, IDM_SELECT_ALL, L"Выделить все объекты (Ctrl+A)"},
    {kImgClear, IDM_CLEAR_SELECTION, L"Снять выделение (Esc)"},
    {-1, 0, nullptr},
    {kImgWorkbench, IDM_WORKBENCH, L"Открыть редактор скриптов (F11)"},
};

HMENU BuildMenu() {
    HMENU bar = ::CreateMenu();
    HMENU file = ::CreatePopupMenu();
    ::AppendMenuW(file, MF_STRING, IDM_OPEN, L"&Открыть карту...\tCtrl+O");
    ::AppendMenuW(file, MF_STRING, IDM_SAVE_AS, L"Сохранить карту &как...");
    ::AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(file, MF_STRING, IDM_EXIT, L"В&ыход");
    HMENU edit = ::CreatePopupMenu();
    ::AppendMenuW(edit, MF_STRING, IDM_SELECT_ALL, L"Выделить &все\tCtrl+A");
    ::AppendMenuW(edit, MF_STRING, IDM_CLEAR_SELECTION, L"&Снять выделение\tEsc");
    ::AppendMenuW(edit, MF_STRING, IDM_INVERT_SELECTION, L"&Обратить выделение");
    HMENU units = ::CreatePopupMenu();
    ::AppendMenuW(units, MF_STRING, IDM_UNITS_METERS, L"&Метры");
    ::AppendMenuW(units, MF_STRING, IDM_UNITS_KILOMETERS, L"&Километры");
    ::AppendMenuW(units, MF_STRING, IDM_UNITS_FEET, L"&Футы");
    HMENU view = ::CreatePopupMenu();
    ::AppendMenuW(view, MF_STRING, IDM_ZOOM_ALL, L"Показать &всю карту\tHome");
    ::AppendMenuW(view, MF_STRING, IDM_ZOOM_IN, L"&Крупнее\t+");
    ::AppendMenuW(view, MF_STRING, IDM_ZOOM_OUT, L"&Мельче\t-");
    ::AppendMenuW(view, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(view, MF_POPUP, reinterpret_cast<UINT_PTR>(units), L"&Единицы измерения");
    HMENU tools = ::CreatePopupMenu();
    ::AppendMenuW(tools, MF_STRING, IDM_WORKBENCH, L"&Редактор скриптов...\tF11");
    HMENU help = ::CreatePopupMenu();
    ::AppendMenuW(help, MF_STRING, IDM_ABOUT, L"&О программе...");
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&Файл");
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), L"&Правка");
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), L"&Вид");
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(tools), L"&Сервис");
    ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"&Справка");
    return bar;
}

// The common dialog over `owner` for a map file to open or to save, starting at `start`; the
// chosen path, or empty when the user cancels.
std::wstring AskMapFile(HWND owner, bool save, const std::wstring& start) {
    wchar_t file[MAX_PATH * 2] = L"";
    if (start.size() < MAX_PATH * 2) start.copy(file, start.size());
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH * 2;
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (save) {
        ofn.lpstrFilter = L"Карты Теллура (*.tmap)\0*.tmap\0";
        ofn.lpstrTitle = L"Сохранить карту как";
        ofn.lpstrDefExt = L"tmap";
        ofn.Flags |= OFN_OVERWRITEPROMPT;
        return ::GetSaveFileNameW(&ofn) ? file : L"";
    }
    ofn.lpstrFilter = L"Карты Теллура (*.tmap)\0*.tmap\0Все файлы (*.*)\0*.*\0";
    ofn.lpstrTitle = L"Открыть карту";
    ofn.Flags |= OFN_FILEMUSTEXIST;
    return ::GetOpenFileNameW(&ofn) ? file : L"";
}

}  // namespace

MainWindow::MainWindow(std::shared_ptr<Host> host) : host_(std::move(host)) {
    application_ = CreateApplication(host_);
    host_->window = this;
    host_->map.SetListener([this](Map::Change c) { OnMapChanged(c); });
}

MainWindow::~MainWindow() {
    workbench_.Release();
    if (frame_) ::DestroyWindow(frame_);
    host_->map.SetListener(nullptr);
    host_->window = nullptr;
}

HWND MainWindow::Create() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = instance;
    wc.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_TELLUR));
    if (!wc.hIcon) wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    ::RegisterClassExW(&wc);
    WNDCLASSEXW mc{};
    mc.cbSize = sizeof mc;
    mc.style = CS_DBLCLKS;
    mc.lpfnWndProc = MapProc;
    mc.hInstance = instance;
    mc.hCursor = ::LoadCursorW(nullptr, IDC_CROSS);
    mc.lpszClassName = kMapClassName;
    ::RegisterClassExW(&mc);

    labelFont_.reset(::CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                   OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                   DEFAULT_PITCH | FF_SWISS, L"Tahoma"));
    frame_ = ::CreateWindowExW(0, kClassName, kAppTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                               CW_USEDEFAULT, CW_USEDEFAULT, 900, 640, nullptr, BuildMenu(),
                               instance, this);
    if (!frame_) zeph::win::ThrowLastError("CreateWindowExW");
    ZoomAll();
    UpdateTitle();
    UpdateStatus();
    UpdateMenu();
    return frame_;
}

void MainWindow::CreateChildren() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    toolbar_ = ::CreateWindowExW(
        0, TOOLBARCLASSNAMEW, nullptr,
        WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | TBSTYLE_LIST | CCS_TOP, 0, 0, 0,
        0, frame_, nullptr, instance, nullptr);
    ::SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    ::SendMessageW(toolbar_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_MIXEDBUTTONS);
    images_ = CreateToolImages();
    ::SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_.get()));
    for (const ToolButton& b : kButtons) {
        TBBUTTON button{};
        if (b.image < 0) {
            button.fsStyle = BTNS_SEP;
            button.iBitmap = 6;
        } else {
            button.iBitmap = b.image;
            button.idCommand = b.command;
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE;
            if (b.command == IDM_WORKBENCH) {
                button.fsStyle |= BTNS_SHOWTEXT;
                button.iString = reinterpret_cast<INT_PTR>(L"Скрипты");
            }
        }
        ::SendMessageW(toolbar_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
    }
    ::SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);

    status_ =
        ::CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0,
                          0, 0, 0, frame_, nullptr, instance, nullptr);
    map_ = ::CreateWindowExW(WS_EX_CLIENTEDGE, kMapClassName, nullptr,
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 0, frame_, nullptr,
                             instance, this);
}

void MainWindow::Layout() {
    if (!toolbar_) return;
    ::SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
    ::SendMessageW(status_, WM_SIZE, 0, 0);
    RECT client, tb, sb;
    ::GetClientRect(frame_, &client);
    ::GetWindowRect(toolbar_, &tb);
    ::GetWindowRect(status_, &sb);
    LONG top = tb.bottom - tb.top;
    LONG bottom = client.bottom - (sb.bottom - sb.top);
    ::MoveWindow(map_, 0, top, client.right, std::max(0L, bottom - top), TRUE);
    int parts[4] = {130, 260, 480, -1};
    ::SendMessageW(status_, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(parts));
    UpdateStatus();  // new parts start empty
}

LRESULT CALLBACK MainWindow::FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->frame_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    try {
        return self->OnFrame(msg, wp, lp);
    } catch (...) {
        self->ShowCaught();
    }
    return 0;
}

LRESULT CALLBACK MainWindow::MapProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || !self->map_) return ::DefWindowProcW(hwnd, msg, wp, lp);
    try {
        return self->OnMap(msg, wp, lp);
    } catch (...) {
        self->ShowCaught();
    }
    return 0;
}

LRESULT MainWindow::OnFrame(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE:
            CreateChildren();
            return 0;
        case WM_SIZE:
            Layout();
            return 0;
        case WM_SETFOCUS:
            ::SetFocus(map_);
            return 0;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lp);
            info->ptMinTrackSize = {420, 300};
            return 0;
        }
        case WM_COMMAND:
            Command(LOWORD(wp));
            return 0;
        case WM_INITMENUPOPUP:
            UpdateMenu();
            return 0;
        case WM_NOTIFY: {
            auto* hdr = reinterpret_cast<NMHDR*>(lp);
            if (hdr->code == TTN_GETDISPINFOW) {
                auto* info = reinterpret_cast<NMTTDISPINFOW*>(lp);
                for (const ToolButton& b : kButtons)
                    if (b.hint && static_cast<UINT_PTR>(b.command) == hdr->idFrom)
                        info->lpszText = const_cast<wchar_t*>(b.hint);
            }
            return 0;
        }
        case WM_DESTROY: {
            // The module's window is owned by ours: let the module close it first.
            workbench_.Release();
            Log(L"main window closed");
            frame_ = nullptr;
            toolbar_ = status_ = map_ = nullptr;
            ::PostQuitMessage(0);
            return 0;
        }
    }
    return ::DefWindowProcW(frame_, msg, wp, lp);
}

void MainWindow::Command(int id) {
    Map& map = host_->map;
    switch (id) {
        case IDM_OPEN:
            AskOpenMap();
            break;
        case IDM_SAVE_AS:
            AskSaveMap();
            break;
        case IDM_EXIT:
            ::DestroyWindow(frame_);
            break;
        case IDM_SELECT_ALL:
            map.SetSelection(map.features());
            break;
        case IDM_CLEAR_SELECTION:
            map.ClearSelection();
            break;
        case IDM_INVERT_SELECTION: {
            std::vector<Map::FeaturePtr> chosen;
            for (const auto& f : map.features())
                if (!map.IsSelected(*f)) chosen.push_back(f);
            map.SetSelection(std::move(chosen));
            break;
        }
        case IDM_ZOOM_ALL:
            ZoomAll();
            break;
        case IDM_ZOOM_IN:
        case IDM_ZOOM_OUT: {
            RECT r;
            ::GetClientRect(map_, &r);
            ZoomAt({r.right / 2, r.bottom / 2}, id == IDM_ZOOM_IN ? 1.5 : 1 / 1.5);
            break;
        }
        case IDM_UNITS_METERS:
            SetCoordinateUnits(Units::Meters);
            break;
        case IDM_UNITS_KILOMETERS:
            SetCoordinateUnits(Units::Kilometers);
            break;
        case IDM_UNITS_FEET:
            SetCoordinateUnits(Units::Feet);
            break;
        case IDM_WORKBENCH:
            OpenWorkbench();
            break;
        case IDM_ABOUT:
            ::MessageBoxW(frame_,
                          L"Теллур 1.0\n\nДемонстрационная геоинформационная программа с "
                          L"объектной моделью для модуля скриптов.",
                          L"О программе", MB_OK | MB_ICONINFORMATION);
            break;
    }
}

void MainWindow::OpenWorkbench() {
    LaunchResult r = TryOpenWorkbench();
    if (FAILED(r.code))
        ::MessageBoxW(frame_, LaunchErrorText(r).c_str(), kAppTitle, MB_OK | MB_ICONERROR);
}

LaunchResult MainWindow::TryOpenWorkbench() {
    Log(L"workbench: opening " + workbench_.progId());
    LaunchResult r = workbench_.Open(application_.get());
    if (FAILED(r.code)) {
        wchar_t code[16];
        std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(r.code));
        Log(L"workbench: " + r.step + L" failed " + code + L": " + r.description);
    } else {
        Log(L"workbench: open");
    }
    return r;
}

void MainWindow::ShowError(const std::wstring& text) const {
    Log(L"error: " + text);
    ::MessageBoxW(frame_, text.c_str(), kAppTitle, MB_OK | MB_ICONERROR);
}

void MainWindow::ShowCaught() const noexcept {
    try {
        ShowError(DescribeHostError(std::current_exception()).text);
    } catch (...) {
        // Nothing left to tell the user with; the message loop goes on.
    }
}

void MainWindow::Log(const std::wstring& line) const {
    if (host_->log) host_->log(line);
}

void MainWindow::OnMapChanged(Map::Change change) {
    if (map_) ::InvalidateRect(map_, nullptr, FALSE);
    UpdateStatus();
    if (change == Map::Change::Everything) UpdateTitle();
}

void MainWindow::UpdateTitle() {
    if (!frame_) return;
    const std::wstring& name = host_->map.name();
    std::wstring title = name.empty() ? std::wstring(kAppTitle) : name + L" \u2014 " + kAppTitle;
    ::SetWindowTextW(frame_, title.c_str());
}

void MainWindow::UpdateStatus() {
    if (!status_) return;
    const Map& map = host_->map;
    std::wstring parts[4] = {
        L"Объектов: " + std::to_wstring(map.features().size()),
        L"Выделено: " + std::to_wstring(map.selection().size()),
        cursorText_,
        statusText_,
    };
    for (int i = 0; i < 4; ++i)
        ::SendMessageW(status_, SB_SETTEXTW, i, reinterpret_cast<LPARAM>(parts[i].c_str()));
}

void MainWindow::UpdateMenu() {
    if (!frame_) return;
    HMENU menu = ::GetMenu(frame_);
    bool any = !host_->map.selection().empty();
    ::EnableMenuItem(menu, IDM_CLEAR_SELECTION, any ? MF_ENABLED : MF_GRAYED);
    ::CheckMenuRadioItem(menu, IDM_UNITS_METERS, IDM_UNITS_FEET,
                         IDM_UNITS_METERS + static_cast<int>(units_), MF_BYCOMMAND);
}

void MainWindow::SetStatusText(const std::wstring& text) {
    statusText_ = text;
    UpdateStatus();
}

void MainWindow::SetCoordinateUnits(Units units) {
    units_ = units;
    UpdateMenu();
    if (map_) ::InvalidateRect(map_, nullptr, FALSE);
}

void MainWindow::RedrawNow() {
    if (!map_) return;
    ::InvalidateRect(map_, nullptr, FALSE);
    ::UpdateWindow(map_);
}

void MainWindow::ZoomAll() {
    Bounds b = host_->map.Extent();
    RECT r{0, 0, 800, 500};
    if (map_) ::GetClientRect(map_, &r);
    fitted_ = r.right > 0 && r.bottom > 0;
    if (b.empty) {
        center_ = {0, 0};
        zoom_ = 1;
    } else {
        center_ = {(b.minX + b.maxX) / 2, (b.minY + b.maxY) / 2};
        double w = std::max(b.maxX - b.minX, 1e-9), h = std::max(b.maxY - b.minY, 1e-9);
        double margin = 40;
        double zx = std::max(r.right - 2 * margin, 10.0) / w;
        double zy = std::max(r.bottom - 2 * margin, 10.0) / h;
        zoom_ = std::clamp(std::min(zx, zy), 1e-6, 1e6);
    }
    if (map_) ::InvalidateRect(map_, nullptr, FALSE);
}

void MainWindow::SetZoom(double zoom) {
    zoom_ = zoom;
    if (map_) ::InvalidateRect(map_, nullptr, FALSE);
}

void MainWindow::ZoomAt(POINT p, double factor) {
    Vertex before = ToMap(p);
    zoom_ = std::clamp(zoom_ * factor, 1e-6, 1e6);
    Vertex after = ToMap(p);
    center_.x += before.x - after.x;
    center_.y += before.y - after.y;
    ::InvalidateRect(map_, nullptr, FALSE);
}

void MainWindow::OpenMap(const std::wstring& path) {
    host_->map.Load(path);
    Log(L"map: " + path);
    ZoomAll();
}

void MainWindow::AskOpenMap() {
    const std::wstring file = AskMapFile(frame_, false, L"");
    if (!file.empty()) OpenMap(file);
}

void MainWindow::AskSaveMap() {
    const std::wstring file = AskMapFile(frame_, true, host_->map.fileName());
    if (!file.empty()) host_->map.Save(file);
}

MapViewport MainWindow::Viewport() const {
    MapViewport view;
    if (map_) ::GetClientRect(map_, &view.client);
    view.center = center_;
    view.zoom = zoom_;
    return view;
}

POINT MainWindow::ToClient(Vertex v) const {
    return Viewport().ToClient(v);
}

Vertex MainWindow::ToMap(POINT p) const {
    return Viewport().ToMap(p);
}

}  // namespace tellur
