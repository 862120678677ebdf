// Tellur's main window: menu, tool bar, the map view and the status bar. It owns the
// application object and the workbench launcher.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>

#include "base/unique.h"
#include "host/automation.h"
#include "host/map_painter.h"
#include "host/workbench_launcher.h"

namespace tellur {

class MainWindow final : public HostWindow {
  public:
    static constexpr wchar_t kClassName[] = L"TTellurMainWindow";
    static constexpr wchar_t kMapClassName[] = L"TTellurMapView";

    explicit MainWindow(std::shared_ptr<Host> host);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window (hidden until shown) and fits the map into it.
    HWND Create();
    HWND mapView() const noexcept { return map_; }
    HWND statusBar() const noexcept { return status_; }
    HWND toolBar() const noexcept { return toolbar_; }
    ITellurApplication* application() const noexcept { return application_.get(); }

    // Opens the workbench; a failure is logged and shown in a message box.
    void OpenWorkbench();
    LaunchResult TryOpenWorkbench();

    // The map view's client coordinates of a map position, and back.
    POINT ToClient(Vertex v) const;
    Vertex ToMap(POINT p) const;

    // HostWindow
    HWND Handle() const override { return frame_; }
    void RedrawNow() override;
    void ZoomAll() override;
    double Zoom() const override { return zoom_; }
    void SetZoom(double zoom) override;
    std::wstring StatusText() const override { return statusText_; }
    void SetStatusText(const std::wstring& text) override;
    Units CoordinateUnits() const override { return units_; }
    void SetCoordinateUnits(Units units) override;
    void OpenMap(const std::wstring& path) override;

  private:
    static LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK MapProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnFrame(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnMap(UINT msg, WPARAM wp, LPARAM lp);

    void CreateChildren();
    void Layout();
    void Command(int id);
    void OnMapChanged(Map::Change change);
    void UpdateStatus();
    void UpdateTitle();
    void UpdateMenu();
    void ShowError(const std::wstring& text) const;
    // For catch (...) blocks of the window procedures.
    void ShowCaught() const noexcept;
    void Log(const std::wstring& line) const;

    // The map view (map_gestures.cpp).
    MapViewport Viewport() const;
    void PaintMapView();
    LRESULT OnMapMouse(UINT msg, WPARAM wp, LPARAM lp);
    void OnMapMove(POINT p);
    // The left button's release ends a click (select what is under it) or a band.
    void FinishPress(POINT p, bool add);
    void OnMapKey(WPARAM wp);
    void FinishBand(POINT end, bool add);
    void ZoomAt(POINT p, double factor);
    void AskOpenMap();
    void AskSaveMap();

    std::shared_ptr<Host> host_;
    zeph::win::ComPtr<ITellurApplication> application_;
    WorkbenchLauncher workbench_;

    HWND frame_ = nullptr;
    HWND toolbar_ = nullptr;
    HWND status_ = nullptr;
    HWND map_ = nullptr;
    zeph::win::UniqueImageList images_;
    zeph::win::UniqueFont labelFont_;

    bool fitted_ = false;  // ZoomAll waits for the view to have a size
    double zoom_ = 1;      // pixels per map unit
    Vertex center_{0, 0};  // map position at the view's centre
    Units units_ = Units::Meters;
    std::wstring statusText_;
    std::wstring cursorText_;

    // Mouse gestures in the map view.
    bool pressing_ = false;
    bool banding_ = false;
    bool panning_ = false;
    POINT pressAt_{};
    POINT dragAt_{};
};

}  // namespace tellur
