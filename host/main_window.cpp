#include "host/main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "base/result.h"
#include "host/resource.h"

namespace tellur {

namespace {

constexpr wchar_t kAppTitle[] = L"Теллур";
constexpr COLORREF kPaper = RGB(244, 241, 232);
constexpr COLORREF kGrid = RGB(225, 220, 205);
constexpr COLORREF kSelection = RGB(0, 160, 255);
constexpr COLORREF kImageMask = RGB(255, 0, 255);
constexpr int kPickRadius = 6;

enum Image {
    kImgOpen,
    kImgSave,
    kImgZoomAll,
    kImgZoomIn,
    kImgZoomOut,
    kImgSelectAll,
    kImgClear,
    kImgWorkbench,
    kImageCount
};

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

// --- Tool bar images, drawn here so that the program needs no image files ------------------

void DrawImage(HDC dc, int index) {
    auto pen = [&](COLORREF c, int w = 1) {
        return zeph::win::UniquePen(::CreatePen(PS_SOLID, w, c));
    };
    auto brush = [&](COLORREF c) { return zeph::win::UniqueBrush(::CreateSolidBrush(c)); };
    RECT all{0, 0, 16, 16};
    zeph::win::UniqueBrush mask = brush(kImageMask);
    ::FillRect(dc, &all, mask.get());
    auto box = [&](int l, int t, int r, int b, COLORREF line, COLORREF fill) {
        auto p = pen(line);
        auto f = brush(fill);
        zeph::win::SelectedObject sp(dc, p.get()), sf(dc, f.get());
        ::Rectangle(dc, l, t, r, b);
    };
    auto lineTo = [&](COLORREF c, int w, std::initializer_list<POINT> pts) {
        auto p = pen(c, w);
        zeph::win::SelectedObject sp(dc, p.get());
        auto it = pts.begin();
        ::MoveToEx(dc, it->x, it->y, nullptr);
        for (++it; it != pts.end(); ++it) ::LineTo(dc, it->x, it->y);
    };
    auto magnifier = [&](bool plus) {
        auto p = pen(RGB(40, 40, 40), 1);
        auto f = brush(RGB(210, 235, 255));
        zeph::win::SelectedObject sp(dc, p.get()), sf(dc, f.get());
        ::Ellipse(dc, 1, 1, 12, 12);
        lineTo(RGB(90, 60, 30), 3, {{10, 10}, {14, 14}});
        lineTo(RGB(0, 0, 0), 1, {{4, 6}, {9, 6}});
        if (plus) lineTo(RGB(0, 0, 0), 1, {{6, 4}, {6, 9}});
    };
    switch (index) {
        case kImgOpen: {
            box(1, 4, 14, 14, RGB(150, 110, 20), RGB(250, 210, 90));
            box(1, 2, 7, 5, RGB(150, 110, 20), RGB(250, 210, 90));
            lineTo(RGB(255, 240, 180), 1, {{2, 6}, {13, 6}});
            break;
        }
        case kImgSave: {
            box(1, 1, 15, 15, RGB(20, 40, 110), RGB(60, 100, 190));
            box(4, 2, 12, 7, RGB(20, 40, 110), RGB(255, 255, 255));
            box(5, 10, 11, 15, RGB(20, 40, 110), RGB(200, 200, 200));
            break;
        }
        case kImgZoomAll: {
            box(3, 3, 13, 13, RGB(60, 120, 60), RGB(190, 230, 180));
            lineTo(RGB(0, 0, 0), 1, {{0, 4}, {0, 0}, {4, 0}});
            lineTo(RGB(0, 0, 0), 1, {{11, 0}, {15, 0}, {15, 4}});
            lineTo(RGB(0, 0, 0), 1, {{15, 11}, {15, 15}, {11, 15}});
            lineTo(RGB(0, 0, 0), 1, {{4, 15}, {0, 15}, {0, 11}});
            break;
        }
        case kImgZoomIn:
            magnifier(true);
            break;
        case kImgZoomOut:
            magnifier(false);
            break;
        case kImgSelectAll:
        case kImgClear: {
            box(2, 6, 9, 13, RGB(40, 100, 40), RGB(170, 220, 160));
            auto p = pen(RGB(40, 40, 40));
            zeph::win::SelectedObject sp(dc, p.get());
            ::SetPixel(dc, 11, 4, RGB(200, 40, 40));
            box(9, 2, 14, 7, RGB(150, 30, 30), RGB(240, 120, 120));
            for (int i = 0; i < 16; i += 2) {
                ::SetPixel(dc, i, 0, kSelection);
                ::SetPixel(dc, i, 15, kSelection);
                ::SetPixel(dc, 0, i, kSelection);
                ::SetPixel(dc, 15, i, kSelection);
            }
            if (index == kImgClear) {
                lineTo(RGB(210, 0, 0), 2, {{3, 3}, {13, 13}});
                lineTo(RGB(210, 0, 0), 2, {{13, 3}, {3, 13}});
            }
            break;
        }
        case kImgWorkbench: {
            box(2, 0, 14, 16, RGB(80, 80, 80), RGB(255, 255, 255));
            lineTo(RGB(0, 0, 200), 1, {{4, 3}, {10, 3}});
            lineTo(RGB(0, 128, 0), 1, {{6, 6}, {12, 6}});
            lineTo(RGB(128, 0, 0), 1, {{6, 9}, {11, 9}});
            lineTo(RGB(0, 0, 200), 1, {{4, 12}, {9, 12}});
            break;
        }
        default:
            break;
    }
}

HIMAGELIST CreateToolImages() {
    HIMAGELIST list = ::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, kImageCount, 0);
    zeph::win::WindowDc screen(nullptr);
    zeph::win::UniqueMemoryDc dc(::CreateCompatibleDC(screen.get()));
    for (int i = 0; i < kImageCount; ++i) {
        zeph::win::UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.get(), 16, 16));
        {
            zeph::win::SelectedObject keep(dc.get(), bitmap.get());
            DrawImage(dc.get(), i);
        }
        ::ImageList_AddMasked(list, bitmap.get(), kImageMask);
    }
    return list;
}

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

std::wstring Number(double value, int decimals) {
    wchar_t buf[64];
    std::swprintf(buf, 64, L"%.*f", decimals, value);
    return buf;
}

double NiceStep(double raw) {
    double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= raw) return m * p;
    return 10 * p;
}

int PenStyle(LineStyle s) {
    switch (s) {
        case LineStyle::Dash:
            return PS_DASH;
        case LineStyle::Dot:
            return PS_DOT;
        case LineStyle::DashDot:
            return PS_DASHDOT;
        case LineStyle::None:
            return PS_NULL;
        default:
            return PS_SOLID;
    }
}

// A cosmetic pen wider than one pixel draws every style solid; wide dashes need a
// geometric pen.
zeph::win::UniquePen FeaturePen(const Style& s) {
    if (s.lineWidth == 0) return zeph::win::UniquePen(::CreatePen(PS_NULL, 0, 0));
    const int style = PenStyle(s.lineStyle);
    if (s.lineWidth > 1 && style != PS_SOLID && style != PS_NULL) {
        LOGBRUSH brush{BS_SOLID, s.lineColor, 0};
        return zeph::win::UniquePen(
            ::ExtCreatePen(PS_GEOMETRIC | style | PS_ENDCAP_FLAT, s.lineWidth, &brush, 0, nullptr));
    }
    return zeph::win::UniquePen(::CreatePen(style, s.lineWidth, s.lineColor));
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
    if (images_) ::ImageList_Destroy(images_);
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
    ::SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
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
    wchar_t file[MAX_PATH * 2] = L"";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = frame_;
    ofn.lpstrFilter = L"Карты Теллура (*.tmap)\0*.tmap\0Все файлы (*.*)\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH * 2;
    ofn.lpstrTitle = L"Открыть карту";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (::GetOpenFileNameW(&ofn)) OpenMap(file);
}

void MainWindow::AskSaveMap() {
    wchar_t file[MAX_PATH * 2] = L"";
    const std::wstring& current = host_->map.fileName();
    if (current.size() < MAX_PATH * 2) current.copy(file, current.size());
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = frame_;
    ofn.lpstrFilter = L"Карты Теллура (*.tmap)\0*.tmap\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH * 2;
    ofn.lpstrTitle = L"Сохранить карту как";
    ofn.lpstrDefExt = L"tmap";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (::GetSaveFileNameW(&ofn)) host_->map.Save(file);
}

POINT MainWindow::ToClient(Vertex v) const {
    RECT r{0, 0, 0, 0};
    if (map_) ::GetClientRect(map_, &r);
    return {static_cast<LONG>(std::lround((v.x - center_.x) * zoom_ + r.right / 2.0)),
            static_cast<LONG>(std::lround(r.bottom / 2.0 - (v.y - center_.y) * zoom_))};
}

Vertex MainWindow::ToMap(POINT p) const {
    RECT r{0, 0, 0, 0};
    if (map_) ::GetClientRect(map_, &r);
    return {center_.x + (p.x - r.right / 2.0) / zoom_, center_.y - (p.y - r.bottom / 2.0) / zoom_};
}

std::wstring MainWindow::ScaleText(double meters) const {
    switch (units_) {
        case Units::Kilometers:
            return Number(meters / 1000, meters < 1000 ? 3 : 0) + L" км";
        case Units::Feet:
            return Number(meters / 0.3048, 0) + L" фт";
        default:
            return Number(meters, meters < 1 ? 2 : 0) + L" м";
    }
}

std::wstring MainWindow::FormatCoordinate(double meters) const {
    switch (units_) {
        case Units::Kilometers:
            return Number(meters / 1000, 3) + L" км";
        case Units::Feet:
            return Number(meters / 0.3048, 1) + L" фт";
        default:
            return Number(meters, 1) + L" м";
    }
}

// --- Map view ------------------------------------------------------------------------------

LRESULT MainWindow::OnMap(UINT msg, WPARAM wp, LPARAM lp) {
    POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    switch (msg) {
        case WM_PAINT: {
            zeph::win::PaintDc paint(map_);
            RECT client;
            ::GetClientRect(map_, &client);
            zeph::win::UniqueMemoryDc memory(::CreateCompatibleDC(paint.get()));
            zeph::win::UniqueBitmap bitmap(::CreateCompatibleBitmap(
                paint.get(), std::max(1L, client.right), std::max(1L, client.bottom)));
            {
                zeph::win::SelectedObject keep(memory.get(), bitmap.get());
                Paint(memory.get(), client);
                ::BitBlt(paint.get(), 0, 0, client.right, client.bottom, memory.get(), 0, 0,
                         SRCCOPY);
            }
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_SIZE:
            if (!fitted_) ZoomAll();
            ::InvalidateRect(map_, nullptr, FALSE);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            ::SetFocus(map_);
            ::SetCapture(map_);
            pressing_ = true;
            banding_ = false;
            pressAt_ = dragAt_ = p;
            return 0;
        case WM_MBUTTONDOWN:
        case WM_RBUTTONDOWN:
            ::SetFocus(map_);
            ::SetCapture(map_);
            panning_ = true;
            dragAt_ = p;
            return 0;
        case WM_MOUSEMOVE: {
            Vertex at = ToMap(p);
            cursorText_ = L"X: " + FormatCoordinate(at.x) + L"  Y: " + FormatCoordinate(at.y);
            UpdateStatus();
            if (panning_) {
                center_.x -= (p.x - dragAt_.x) / zoom_;
                center_.y += (p.y - dragAt_.y) / zoom_;
                dragAt_ = p;
                ::InvalidateRect(map_, nullptr, FALSE);
            } else if (pressing_) {
                if (std::abs(p.x - pressAt_.x) > 3 || std::abs(p.y - pressAt_.y) > 3)
                    banding_ = true;
                dragAt_ = p;
                if (banding_) ::InvalidateRect(map_, nullptr, FALSE);
            }
            return 0;
        }
        case WM_LBUTTONUP: {
            if (!pressing_) return 0;
            // Releasing the capture sends WM_CAPTURECHANGED, which resets the gesture state.
            bool band = banding_;
            pressing_ = banding_ = false;
            ::ReleaseCapture();
            bool add = (wp & MK_CONTROL) != 0;
            if (band) {
                FinishBand(p, add);
                ::InvalidateRect(map_, nullptr, FALSE);
                return 0;
            }
            Map& map = host_->map;
            Map::FeaturePtr hit = HitTest(p);
            if (add) {
                if (hit) map.Select(hit, !map.IsSelected(*hit));
            } else if (hit) {
                map.SetSelection({hit});
            } else {
                map.ClearSelection();
            }
            return 0;
        }
        case WM_MBUTTONUP:
        case WM_RBUTTONUP:
            if (panning_) {
                panning_ = false;
                ::ReleaseCapture();
            }
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lp) != map_) {
                pressing_ = banding_ = panning_ = false;
                ::InvalidateRect(map_, nullptr, FALSE);
            }
            return 0;
        case WM_MOUSEWHEEL: {
            POINT at = p;
            ::ScreenToClient(map_, &at);
            ZoomAt(at, GET_WHEEL_DELTA_WPARAM(wp) > 0 ? 1.25 : 1 / 1.25);
            return 0;
        }
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_KEYDOWN: {
            bool ctrl = ::GetKeyState(VK_CONTROL) < 0;
            RECT r;
            ::GetClientRect(map_, &r);
            double step = 60 / zoom_;
            switch (wp) {
                case 'O':
                    if (ctrl) Command(IDM_OPEN);
                    break;
                case 'A':
                    if (ctrl) Command(IDM_SELECT_ALL);
                    break;
                case VK_ESCAPE:
                    Command(IDM_CLEAR_SELECTION);
                    break;
                case VK_HOME:
                    Command(IDM_ZOOM_ALL);
                    break;
                case VK_ADD:
                case VK_OEM_PLUS:
                    Command(IDM_ZOOM_IN);
                    break;
                case VK_SUBTRACT:
                case VK_OEM_MINUS:
                    Command(IDM_ZOOM_OUT);
                    break;
                case VK_F11:
                    Command(IDM_WORKBENCH);
                    break;
                case VK_LEFT:
                    center_.x -= step;
                    ::InvalidateRect(map_, nullptr, FALSE);
                    break;
                case VK_RIGHT:
                    center_.x += step;
                    ::InvalidateRect(map_, nullptr, FALSE);
                    break;
                case VK_UP:
                    center_.y += step;
                    ::InvalidateRect(map_, nullptr, FALSE);
                    break;
                case VK_DOWN:
                    center_.y -= step;
                    ::InvalidateRect(map_, nullptr, FALSE);
                    break;
            }
            return 0;
        }
    }
    return ::DefWindowProcW(map_, msg, wp, lp);
}

void MainWindow::FinishBand(POINT end, bool add) {
    Vertex a = ToMap(pressAt_), b = ToMap(end);
    Bounds band;
    band.Add(a);
    band.Add(b);
    Map& map = host_->map;
    std::vector<Map::FeaturePtr> chosen;
    if (add) chosen = map.selection();
    for (const auto& f : map.features())
        if (f->visible && FeatureTouchesRect(*f, band)) chosen.push_back(f);
    map.SetSelection(std::move(chosen));
}

Map::FeaturePtr MainWindow::HitTest(POINT p) const {
    const auto& features = host_->map.features();
    Vertex at = ToMap(p);
    double tolerance = kPickRadius / zoom_;
    // Points over lines over polygons; among equals the one drawn last (on top).
    for (Kind kind : {Kind::Point, Kind::Line, Kind::Polygon}) {
        for (auto it = features.rbegin(); it != features.rend(); ++it) {
            const Feature& f = **it;
            if (f.kind != kind || !f.visible) continue;
            const auto& v = f.vertices;
            bool hit = false;
            if (kind == Kind::Point) {
                hit = SegmentDistance(at, v[0], v[0]) <= tolerance;
            } else {
                for (size_t i = 1; i < v.size() && !hit; ++i)
                    hit = SegmentDistance(at, v[i - 1], v[i]) <= tolerance;
                if (kind == Kind::Polygon)
                    hit = hit || SegmentDistance(at, v.back(), v.front()) <= tolerance ||
                          PolygonContains(v, at);
            }
            if (hit) return *it;
        }
    }
    return nullptr;
}

void MainWindow::Paint(HDC dc, const RECT& client) {
    zeph::win::UniqueBrush paper(::CreateSolidBrush(kPaper));
    ::FillRect(dc, &client, paper.get());

    // Grid at a round step of about 80 pixels.
    double step = NiceStep(80 / zoom_);
    Vertex lo = ToMap({0, client.bottom}), hi = ToMap({client.right, 0});
    zeph::win::UniquePen grid(::CreatePen(PS_SOLID, 1, kGrid));
    {
        zeph::win::SelectedObject keep(dc, grid.get());
        for (double x = std::floor(lo.x / step) * step; x <= hi.x; x += step) {
            POINT s = ToClient({x, 0});
            ::MoveToEx(dc, s.x, 0, nullptr);
            ::LineTo(dc, s.x, client.bottom);
        }
        for (double y = std::floor(lo.y / step) * step; y <= hi.y; y += step) {
            POINT s = ToClient({0, y});
            ::MoveToEx(dc, 0, s.y, nullptr);
            ::LineTo(dc, client.right, s.y);
        }
    }

    const Map& map = host_->map;
    for (Kind kind : {Kind::Polygon, Kind::Line, Kind::Point})
        for (const auto& f : map.features())
            if (f->kind == kind && f->visible) DrawFeature(dc, *f, map.IsSelected(*f));

    // Labels last, so that no shape covers them.
    zeph::win::SelectedObject font(dc, labelFont_.get());
    ::SetBkMode(dc, TRANSPARENT);
    for (const auto& f : map.features()) {
        if (!f->visible || !f->style.showLabel || f->name.empty()) continue;
        Bounds b = f->Extent();
        POINT at = f->kind == Kind::Point
                       ? ToClient(f->vertices[0])
                       : ToClient({(b.minX + b.maxX) / 2, (b.minY + b.maxY) / 2});
        if (f->kind == Kind::Point)
            at.x += 8, at.y -= 16;
        else if (f->kind == Kind::Line)
            at = ToClient(f->vertices[f->vertices.size() / 2]), at.y -= 16;
        SIZE size;
        ::GetTextExtentPoint32W(dc, f->name.c_str(), static_cast<int>(f->name.size()), &size);
        if (f->kind == Kind::Polygon) at.x -= size.cx / 2, at.y -= size.cy / 2;
        // A light halo keeps the text readable over any fill.
        ::SetTextColor(dc, kPaper);
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (dx || dy)
                    ::TextOutW(dc, at.x + dx, at.y + dy, f->name.c_str(),
                               static_cast<int>(f->name.size()));
        ::SetTextColor(dc, map.IsSelected(*f) ? RGB(0, 90, 170) : RGB(40, 40, 40));
        ::TextOutW(dc, at.x, at.y, f->name.c_str(), static_cast<int>(f->name.size()));
    }

    if (banding_) {
        zeph::win::UniquePen dash(::CreatePen(PS_DOT, 1, RGB(0, 0, 0)));
        zeph::win::SelectedObject keepPen(dc, dash.get());
        zeph::win::SelectedObject keepBrush(dc, ::GetStockObject(NULL_BRUSH));
        ::SetBkMode(dc, TRANSPARENT);
        ::Rectangle(dc, std::min(pressAt_.x, dragAt_.x), std::min(pressAt_.y, dragAt_.y),
                    std::max(pressAt_.x, dragAt_.x) + 1, std::max(pressAt_.y, dragAt_.y) + 1);
    }
    DrawScaleBar(dc, client);
}

void MainWindow::DrawFeature(HDC dc, const Feature& f, bool selected) {
    const Style& s = f.style;
    std::vector<POINT> pts;
    for (const Vertex& v : f.vertices) pts.push_back(ToClient(v));
    int width = std::max(1, s.lineWidth);
    if (selected) {
        // A wide halo under the object marks the selection in every style.
        zeph::win::UniquePen halo(::CreatePen(PS_SOLID, width + 6, kSelection));
        zeph::win::SelectedObject keepPen(dc, halo.get());
        zeph::win::SelectedObject keepBrush(dc, ::GetStockObject(NULL_BRUSH));
        if (f.kind == Kind::Point)
            ::Ellipse(dc, pts[0].x - 8, pts[0].y - 8, pts[0].x + 9, pts[0].y + 9);
        else if (f.kind == Kind::Line)
            ::Polyline(dc, pts.data(), static_cast<int>(pts.size()));
        else
            ::Polygon(dc, pts.data(), static_cast<int>(pts.size()));
    }
    zeph::win::UniquePen pen = FeaturePen(s);
    zeph::win::UniqueBrush fill(::CreateSolidBrush(s.fillColor));
    zeph::win::SelectedObject keepPen(dc, pen.get());
    zeph::win::SelectedObject keepBrush(dc, fill.get());
    ::SetBkMode(dc, TRANSPARENT);
    switch (f.kind) {
        case Kind::Point:
            ::Ellipse(dc, pts[0].x - 5, pts[0].y - 5, pts[0].x + 6, pts[0].y + 6);
            break;
        case Kind::Line:
            ::Polyline(dc, pts.data(), static_cast<int>(pts.size()));
            break;
        case Kind::Polygon:
            ::Polygon(dc, pts.data(), static_cast<int>(pts.size()));
            break;
    }
    if (selected && f.kind != Kind::Point) {
        zeph::win::UniqueBrush handle(::CreateSolidBrush(RGB(255, 255, 255)));
        zeph::win::UniquePen frame(::CreatePen(PS_SOLID, 1, RGB(0, 90, 170)));
        zeph::win::SelectedObject hp(dc, frame.get()), hb(dc, handle.get());
        for (const POINT& p : pts) ::Rectangle(dc, p.x - 3, p.y - 3, p.x + 4, p.y + 4);
    }
}

void MainWindow::DrawScaleBar(HDC dc, const RECT& client) {
    double meters = NiceStep(120 / zoom_);
    int length = static_cast<int>(std::lround(meters * zoom_));
    int x = 16, y = client.bottom - 20;
    RECT back{x - 6, y - 22, x + length + 60, y + 10};
    zeph::win::UniqueBrush white(::CreateSolidBrush(RGB(255, 255, 255)));
    ::FillRect(dc, &back, white.get());
    ::FrameRect(dc, &back, static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)));
    RECT bar{x, y - 4, x + length, y};
    ::FillRect(dc, &bar, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    std::wstring text = ScaleText(meters);
    zeph::win::SelectedObject font(dc, labelFont_.get());
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::SetBkMode(dc, TRANSPARENT);
    ::TextOutW(dc, x, y - 19, text.c_str(), static_cast<int>(text.size()));
}

}  // namespace tellur
