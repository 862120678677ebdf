// The workbench as a user meets it over the demo host: scripts run with the real engine against
// the host's map, the saved-script list and the language switch write the store file, and the
// completion pop-up offers the host's members. Everything goes through keys and clicks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "base/unique.h"
#include "base/wide.h"
#include "e2e_fixture.h"
#include "host/host_loop.h"
#include "text/cp1251.h"

namespace zeph::e2e {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using text::operator""_cp;
using win::Narrow;
using win::Wide;

const std::wstring kVbCaption = L"Модуль быстрого запуска скрипта (VBScript)";
const std::wstring kJsCaption = L"Модуль быстрого запуска скрипта (JavaScript)";
const std::wstring kNotice = L" - Скрипт сохранен";

// The copied text without the line break that ends the last line.
std::wstring Trimmed(std::wstring text) {
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}

// What the Script Control itself reports for `code`: its error line and column.
POINT EngineErrorPosition(const wchar_t* language, const std::wstring& code) {
    CLSID clsid{};
    ::CLSIDFromString(L"{0E59F1D5-1FBE-11D0-8FF2-00A0D10038BC}", &clsid);
    win::ComPtr<IDispatch> control;
    if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  control.put_void())))
        return {-1, -1};
    auto id = [](IDispatch* d, const wchar_t* name) {
        DISPID dispid = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
        return dispid;
    };
    auto get = [&](IDispatch* d, const wchar_t* name, VARIANT* out) {
        DISPPARAMS none{};
        return d->Invoke(id(d, name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                         out, nullptr, nullptr);
    };
    VARIANT arg;
    arg.vt = VT_BSTR;
    arg.bstrVal = ::SysAllocString(language);
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS set{&arg, &put, 1, 1};
    control->Invoke(id(control.get(), L"Language"), IID_NULL, LOCALE_USER_DEFAULT,
                    DISPATCH_PROPERTYPUT, &set, nullptr, nullptr, nullptr);
    ::VariantClear(&arg);
    arg.vt = VT_BSTR;
    arg.bstrVal = ::SysAllocString((code + L"\r\n").c_str());
    DISPPARAMS call{&arg, nullptr, 1, 0};
    EXCEPINFO excep{};
    control->Invoke(id(control.get(), L"AddCode"), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                    &call, nullptr, &excep, nullptr);
    ::VariantClear(&arg);
    ::SysFreeString(excep.bstrDescription);
    ::SysFreeString(excep.bstrSource);
    ::SysFreeString(excep.bstrHelpFile);
    VARIANT error;
    ::VariantInit(&error);
    POINT pos{-1, -1};
    if (SUCCEEDED(get(control.get(), L"Error", &error)) && error.vt == VT_DISPATCH) {
        VARIANT v;
        ::VariantInit(&v);
        if (SUCCEEDED(get(error.pdispVal, L"Line", &v)) &&
            SUCCEEDED(::VariantChangeType(&v, &v, 0, VT_I4)))
            pos.y = v.lVal;
        ::VariantClear(&v);
        if (SUCCEEDED(get(error.pdispVal, L"Column", &v)) &&
            SUCCEEDED(::VariantChangeType(&v, &v, 0, VT_I4)))
            pos.x = v.lVal;
        ::VariantClear(&v);
    }
    ::VariantClear(&error);
    return pos;
}

// --- running scripts --------------------------------------------------------------------------

TEST_F(EndToEndTest, F5RunsVBScriptThatMovesAndRecoloursMapObjects) {
    OpenWorkbench();
    EXPECT_EQ(Caption(), kVbCaption);
    const std::wstring script =
        L"option explicit\r\n"
        L"Dim m\r\n"
        L"Set m = Application.GetMap()\r\n"
        L"m.GetObject(\"P1\").Move 30, 20\r\n"
        L"m.GetObject(\"A1\").Style.FillColor = 255\r\n"
        L"m.GetObject(\"L1\").Style.LineStyle = lsDash\r\n"
        L"m.GetObject(\"L1\").Style.LineWidth = 4\r\n"
        L"Application.Redraw";
    PasteIntoEditor(script);
    BoxWatcher boxes;
    Press(VK_F5);
    EXPECT_TRUE(boxes.boxes.empty()) << Narrow(boxes.boxes[0].text);
    EXPECT_EQ(host_->map.Get(L"P1")->vertices[0], (tellur::Vertex{40, 30}));
    EXPECT_EQ(host_->map.Get(L"A1")->style.fillColor, 0x0000FFu);
    EXPECT_EQ(host_->map.Get(L"L1")->style.lineStyle, tellur::LineStyle::Dash);  // the prelude
    EXPECT_EQ(host_->map.Get(L"L1")->style.lineWidth, 4);
    EXPECT_EQ(::GetFocus(), editor_);
    ::SetWindowPos(wb_, nullptr, 420, 330, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SaveScreenshot("e2e_run.bmp");
    // A run neither changes nor stores the text.
    EXPECT_EQ(Trimmed(EditorText()), script);
    EXPECT_EQ(ScriptLines(), std::vector<std::string>{"<Script Name=\"\"/>"});
}

// --- a newcomer's first minutes --------------------------------------------------------------

TEST_F(EndToEndTest, IndentingByTabAndEnterKeepsTheIndent) {
    OpenWorkbench();
    PasteIntoEditor(L"If 1 Then");
    Press(VK_RETURN);
    Press(VK_TAB);
    Press(VK_TAB);
    Press('X');
    Press(VK_RETURN);  // the new line takes the two tabs
    Press('Y');
    Press(VK_RETURN);
    Press(VK_RETURN);  // the empty indented line is trimmed when left
    EXPECT_EQ(Trimmed(EditorText()), L"If 1 Then\r\n\t\tx\r\n\t\ty\r\n\r\n\t\t");
}

TEST_F(EndToEndTest, ClickingOnTheMapLeavesTheWorkbenchAboveTheHost) {
    OpenWorkbench();
    RECT bench{}, map{};
    ::GetWindowRect(wb_, &bench);
    ::GetWindowRect(window_->mapView(), &map);
    // A point of the map that the workbench does not cover.
    POINT click{map.right - 10, map.bottom - 10};
    if (::PtInRect(&bench, click)) click = {map.left + 10, map.bottom - 10};
    ASSERT_FALSE(::PtInRect(&bench, click));
    Click(click);
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == frame_; }));
    Click(click);  // selecting on the map of the active host
    Pump();
    POINT inside{10, 10};
    ::ClientToScreen(editor_, &inside);
    EXPECT_EQ(::WindowFromPoint(inside), editor_);
    // On the screen too: the editor's own pixels, not the host's, at a point of its gutter.
    ::RedrawWindow(wb_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
    RECT client{};
    ::GetClientRect(editor_, &client);
    win::WindowDc screen(nullptr);
    win::UniqueMemoryDc mem(::CreateCompatibleDC(screen.get()));
    win::UniqueBitmap bmp(::CreateCompatibleBitmap(screen.get(), client.right, client.bottom));
    win::SelectedObject keep(mem.get(), bmp.get());
    ::SendMessageW(editor_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem.get()), PRF_CLIENT);
    EXPECT_EQ(::GetPixel(screen.get(), inside.x, inside.y), ::GetPixel(mem.get(), 10, 10));
    bool above = false;
    for (HWND w = ::GetWindow(wb_, GW_HWNDNEXT); w; w = ::GetWindow(w, GW_HWNDNEXT))
        if (w == frame_) above = true;
    EXPECT_TRUE(above);
}

TEST_F(EndToEndTest, CtrlEnterRunsJScriptAfterTheLanguageSwitch) {
    OpenWorkbench();
    Press('L', true);
    EXPECT_EQ(Caption(), kJsCaption + kNotice);
    PasteIntoEditor(
        L"var m = Application.GetMap();\r\n"
        L"m.GetObject('P2').Move(-10, 5);\r\n"
        L"var a = m.GetObject('A1');\r\n"
        L"a.Name = 'Луг';\r\n"
        L"a.Style.LineColor = 0x00FF00;\r\n"
        L"Application.StatusText = 'js ' + okPolygon + ' ' + m.Count;");
    BoxWatcher boxes;
    Press(VK_RETURN, true);
    EXPECT_TRUE(boxes.boxes.empty()) << Narrow(boxes.boxes[0].text);
    EXPECT_EQ(host_->map.Get(L"P2")->vertices[0], (tellur::Vertex{80, 95}));
    EXPECT_EQ(host_->map.Get(L"A1")->name, L"Луг");
    EXPECT_EQ(host_->map.Get(L"A1")->style.lineColor, 0x00FF00u);
    EXPECT_EQ(window_->StatusText(), L"js 3 4");
}

TEST_F(EndToEndTest, SyntaxErrorOnLineThreeShowsTheBoxAndPutsTheCaretThere) {
    OpenWorkbench();
    const std::wstring script = L"option explicit\r\nDim x\r\nx = (1 +\r\nx = 2";
    PasteIntoEditor(script);
    BoxWatcher boxes;
    Press(VK_F5);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_THAT(boxes.boxes[0].text, StartsWith(L"Произошла ошибка: "));
    EXPECT_GT(boxes.boxes[0].text.size(), std::wstring(L"Произошла ошибка: ").size());
    EXPECT_EQ(boxes.boxes[0].caption, L"Ошибка");
    EXPECT_TRUE(boxes.boxes[0].errorIcon);
    EXPECT_EQ(::GetFocus(), editor_);

    const POINT engine = EngineErrorPosition(L"VBScript", script);
    ASSERT_EQ(engine.y, 3);
    const POINT caret = CaretByMarker();
    EXPECT_EQ(caret.y, 3);
    EXPECT_EQ(caret.x, engine.x + 1);
}

TEST_F(EndToEndTest, RuntimeErrorCarriesTheHostsTextAndKeepsEarlierChanges) {
    OpenWorkbench();
    PasteIntoEditor(
        L"Application.Map.GetObject(\"P1\").Move 1, 1\r\n"
        L"Application.Map.GetObject(\"Q7\").Move 1, 1\r\n"
        L"Application.Map.GetObject(\"P2\").Move 1, 1");
    BoxWatcher boxes;
    Press(VK_F5);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_THAT(boxes.boxes[0].text, StartsWith(L"Произошла ошибка: "));
    EXPECT_THAT(boxes.boxes[0].text, HasSubstr(L"Q7"));
    EXPECT_EQ(boxes.boxes[0].caption, L"Ошибка");
    EXPECT_EQ(host_->map.Get(L"P1")->vertices[0], (tellur::Vertex{11, 11}));
    EXPECT_EQ(host_->map.Get(L"P2")->vertices[0], (tellur::Vertex{90, 90}));
    EXPECT_EQ(CaretByMarker().y, 2);
}

TEST_F(EndToEndTest, EachRunHasAFreshEngineAndAnEmptyEditorRunsQuietly) {
    OpenWorkbench();
    BoxWatcher boxes;
    PasteIntoEditor(L"Dim kept\r\nkept = 5\r\nApplication.StatusText = TypeName(kept)");
    Press(VK_F5);
    EXPECT_EQ(window_->StatusText(), L"Integer");
    PasteIntoEditor(L"Application.StatusText = TypeName(kept)");
    Press(VK_F5);
    EXPECT_EQ(window_->StatusText(), L"Empty");  // not defined any more
    EXPECT_TRUE(boxes.boxes.empty()) << Narrow(boxes.boxes[0].text);

    PasteIntoEditor(L"");
    EXPECT_EQ(Trimmed(EditorText()), L"");
    Press(VK_F5);
    EXPECT_TRUE(boxes.boxes.empty()) << Narrow(boxes.boxes[0].text);
    EXPECT_EQ(::GetFocus(), editor_);
}

TEST_F(EndToEndTest, MissingDescriptionReportsAndRunsNothing) {
    OpenWorkbench();
    ASSERT_TRUE(::DeleteFileW((folder_ + L"TellurTlb.xml").c_str()));
    const std::wstring script = L"Application.Map.GetObject(\"P1\").Move 1, 1";
    PasteIntoEditor(script);
    BoxWatcher boxes;
    Press(VK_F5);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_THAT(boxes.boxes[0].text, HasSubstr(L"TellurTlb.xml")) << Narrow(boxes.boxes[0].text);
    EXPECT_EQ(boxes.boxes[0].text.back(), L'.');
    EXPECT_THAT(boxes.boxes[0].text, ::testing::Not(StartsWith(L"Произошла ошибка")));
    EXPECT_TRUE(boxes.boxes[0].errorIcon);
    EXPECT_EQ(host_->map.Get(L"P1")->vertices[0], (tellur::Vertex{10, 10}));
    EXPECT_EQ(Trimmed(EditorText()), script);
    EXPECT_EQ(FindWorkbench(), wb_);
}

// Strikes Ctrl+Break from another thread once this thread stops answering (a script is
// running on it), and measures how long it stays busy after the key.
class BreakStriker {
  public:
    explicit BreakStriker(HWND window) : window_(window) {
        thread_ = ::CreateThread(nullptr, 0, &Strike, this, 0, nullptr);
    }
    ~BreakStriker() {
        quit_ = true;
        ::WaitForSingleObject(thread_, INFINITE);
        ::CloseHandle(thread_);
    }
    long long busy_after_key_ms = -1;

  private:
    bool Answers() const {
        DWORD_PTR r = 0;
        return ::SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 100, &r) != 0;
    }
    static DWORD WINAPI Strike(void* p) {
        auto* self = static_cast<BreakStriker*>(p);
        // The window stops answering once the run has it busy.
        const bool busy = static_cast<bool>(win::test::WaitUntil(
            [&] { return self->quit_ || !self->Answers(); }, 60000, "the run to start"));
        if (self->quit_ || !busy) return 0;
        const ULONGLONG key = ::GetTickCount64();
        INPUT in[4] = {win::test::KeyInput(VK_CONTROL, false),
                       win::test::KeyInput(VK_CANCEL, false), win::test::KeyInput(VK_CANCEL, true),
                       win::test::KeyInput(VK_CONTROL, true)};
        ::SendInput(4, in, sizeof(INPUT));
        // The message box after the run answers sent messages again.
        while (!self->quit_ && !self->Answers()) {
        }
        if (!self->quit_)
            self->busy_after_key_ms = static_cast<long long>(::GetTickCount64() - key);
        return 0;
    }
    HWND window_;
    HANDLE thread_ = nullptr;
    std::atomic<bool> quit_{false};
};

TEST_F(EndToEndTest, CtrlBreakStopsAnEndlessLoopAndTheMapStaysScriptable) {
    OpenWorkbench();
    const std::wstring script =
        L"Do\r\n"
        L"  Application.Map.GetObject(\"P1\").Move 1, 0\r\n"
        L"Loop";
    PasteIntoEditor(script);
    BoxWatcher boxes;
    {
        BreakStriker striker(wb_);
        Press(VK_F5);
        PumpUntil([&] { return striker.busy_after_key_ms >= 0; });
        EXPECT_GE(striker.busy_after_key_ms, 0);
        EXPECT_LT(striker.busy_after_key_ms, 1000);
    }
    ASSERT_EQ(boxes.boxes.size(), 1u);
    // The loop stops at its turn (the "Do" line) or at its call into the host, whichever comes
    // first after the key; the caret goes to the line the box names.
    const int line = boxes.boxes[0].text == L"Выполнение скрипта остановлено на строке 1." ? 1 : 2;
    EXPECT_EQ(boxes.boxes[0].text,
              L"Выполнение скрипта остановлено на строке " + std::to_wstring(line) + L".");
    EXPECT_EQ(boxes.boxes[0].caption, L"Скрипт остановлен");
    EXPECT_GT(host_->map.Get(L"P1")->vertices[0].x, 10);
    EXPECT_EQ(CaretByMarker().y, line);
    EXPECT_EQ(FindWorkbench(), wb_);  // the stop key did not close the window

    PasteIntoEditor(L"Application.Map.GetObject(\"P2\").Move 1, 1");
    Press(VK_F5);
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(host_->map.Get(L"P2")->vertices[0], (tellur::Vertex{91, 91}));
    EXPECT_EQ(Trimmed(EditorText()), L"Application.Map.GetObject(\"P2\").Move 1, 1");
}

// --- the saved-script list and the store file -------------------------------------------------

TEST_F(EndToEndTest, SavingPickingRemovingClosingAndReopeningKeepTheStoreRight) {
    OpenWorkbench();
    const std::string defaults = ReadFileBytes(Wide(ZEPH_DEFAULT_STORE));
    ASSERT_FALSE(defaults.empty());
    EXPECT_EQ(StoreBytes(), defaults);  // the first open writes the default file
    EXPECT_EQ(Caption(), kVbCaption);
    EXPECT_TRUE(ListEntries().empty());

    // A name typed in the box, then Enter.
    PasteIntoEditor(L"Application.StatusText = 1");
    Press(VK_F4);  // to the box, its list dropped down
    Type(L"Report");
    Press(VK_RETURN);
    EXPECT_EQ(ListEntries(), std::vector<std::wstring>{L"Report"});
    EXPECT_EQ(BoxText(), L"Report");
    EXPECT_EQ(Caption(), kVbCaption + kNotice);
    EXPECT_THAT(ScriptLines(), ElementsAre("<Script Name=\"\"/>",
                                           "<Script Name=\"Report\" Language=\"VBScript\" "
                                           "Text=\"Application.StatusText = 1\r\n\"/>"));
    EXPECT_THAT(ConfigurationLine(), HasSubstr("DefaultSave=\"Report\" FontName=\"Courier New\" "
                                               "FontSize=\"8\" LastText=\"Application.StatusText "
                                               "= 1\r\n\">"));
    // The caption notice ends with its timer.
    EXPECT_TRUE(PumpUntil([&] { return Caption() == kVbCaption; }, 5000));

    // Ctrl+N stores the work and starts an unnamed script.
    Press('N', true);
    EXPECT_EQ(BoxText(), L"");
    EXPECT_THAT(
        ScriptLines(),
        ElementsAre("<Script Name=\"\" Language=\"VBScript\" Text=\"option explicit\r\n\r\n\"/>",
                    "<Script Name=\"Report\" Language=\"VBScript\" "
                    "Text=\"Application.StatusText = 1\r\n\"/>"));
    // "option explicit" and an empty second line that holds the caret.
    const POINT caret = CaretByMarker();
    EXPECT_EQ(caret.y, 2);
    EXPECT_THAT(markedText_, StartsWith(L"option explicit\r\n"));
    EXPECT_EQ(markedText_.find_first_not_of(L" \x00A4", 17), std::wstring::npos);
    EXPECT_EQ(Caption(), kVbCaption + kNotice);

    // A second script, saved with Ctrl+S from the editor after naming it.
    PasteIntoEditor(L"Application.StatusText = 2");
    ::SetFocus(combo_);
    Pump();
    Type(L"Alpha");
    FocusEditor();
    Press('S', true);
    EXPECT_EQ(ListEntries(), (std::vector<std::wstring>{L"Alpha", L"Report"}));

    // Editing Alpha and picking Report stores the edit under Alpha first. The notice of the
    // save above ends first, so that the pick's own notice can be seen.
    ASSERT_TRUE(PumpUntil([&] { return Caption() == kVbCaption; }, 5000));
    PasteIntoEditor(L"Application.StatusText = 22");
    PickFromList(L"Report");
    EXPECT_EQ(BoxText(), L"Report");
    EXPECT_EQ(Trimmed(EditorText()), L"Application.StatusText = 1");
    EXPECT_EQ(Caption(), kVbCaption + kNotice);
    EXPECT_THAT(
        ScriptLines(),
        ElementsAre("<Script Name=\"\" Language=\"VBScript\" Text=\"option explicit\r\n\r\n\"/>",
                    "<Script Name=\"Report\" Language=\"VBScript\" "
                    "Text=\"Application.StatusText = 1\r\n\"/>",
                    "<Script Name=\"Alpha\" Language=\"VBScript\" "
                    "Text=\"Application.StatusText = 22\r\n\"/>"));

    // Removing Report after the confirmation; Alpha becomes the open script.
    {
        BoxWatcher boxes(IDYES);
        ClickToolButton(3);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, L"Удаление записи \"Report\"\n\rВы уверены?");
        EXPECT_EQ(boxes.boxes[0].caption, L"Подверждение...");
    }
    EXPECT_EQ(ListEntries(), std::vector<std::wstring>{L"Alpha"});
    EXPECT_EQ(BoxText(), L"Alpha");
    EXPECT_EQ(Trimmed(EditorText()), L"Application.StatusText = 22");
    EXPECT_THAT(
        ScriptLines(),
        ElementsAre("<Script Name=\"\" Language=\"VBScript\" Text=\"option explicit\r\n\r\n\"/>",
                    "<Script Name=\"Alpha\" Language=\"VBScript\" "
                    "Text=\"Application.StatusText = 22\r\n\"/>"));

    // Ctrl+Q closes; an unchanged script rewrites only the window state.
    const std::vector<std::string> before = ScriptLines();
    Press('Q', true);
    EXPECT_FALSE(::IsWindow(wb_));
    EXPECT_EQ(ScriptLines(), before);
    EXPECT_THAT(ConfigurationLine(), HasSubstr("DefaultSave=\"Alpha\""));

    // Opening again brings Alpha back.
    ReopenWorkbench();
    EXPECT_EQ(BoxText(), L"Alpha");
    EXPECT_EQ(Trimmed(EditorText()), L"Application.StatusText = 22");
    EXPECT_EQ(Caption(), kVbCaption + kNotice);
}

TEST_F(EndToEndTest, CtrlLSwitchesTheLanguageAndStoresItWithTheScript) {
    OpenWorkbench();
    PasteIntoEditor(L"var x = 1;");
    ::SetFocus(combo_);
    Pump();
    Type(L"Js");
    Press(VK_RETURN);
    FocusEditor();
    Press('L', true);
    EXPECT_EQ(Caption(), kJsCaption + kNotice);
    EXPECT_THAT(ScriptLines(), ElementsAre("<Script Name=\"\"/>",
                                           "<Script Name=\"Js\" Language=\"JavaScript\" "
                                           "Text=\"var x = 1;\r\n\"/>"));
    Press('L', true);
    EXPECT_THAT(Caption(), StartsWith(kVbCaption));
    EXPECT_THAT(ScriptLines()[1], HasSubstr("Language=\"VBScript\""));
    // The language menu: VBScript while VBScript is current still stores and notifies.
    ASSERT_TRUE(PumpUntil([&] { return Caption() == kVbCaption; }, 5000));
    PressInMenu({VK_DOWN, VK_RETURN});  // the first item, VBScript, once the menu is up
    Press('L', true, true);
    Pump();
    EXPECT_EQ(Caption(), kVbCaption + kNotice);
    EXPECT_THAT(ScriptLines()[1], HasSubstr("Language=\"VBScript\""));
    Press('L', true);

    // Closed and opened again: the script comes back in its language.
    Press('Q', true);
    EXPECT_FALSE(::IsWindow(wb_));
    ReopenWorkbench();
    EXPECT_EQ(BoxText(), L"Js");
    EXPECT_THAT(Caption(), StartsWith(kJsCaption));
    EXPECT_EQ(Trimmed(EditorText()), L"var x = 1;");
    EXPECT_THAT(ScriptLines()[1], HasSubstr("Language=\"JavaScript\""));
}

TEST_F(EndToEndTest, AnUnnamedTextComesBackAfterClosingAndOpening) {
    OpenWorkbench();
    const HWND first = wb_;
    ReopenWorkbench();  // while open: the same window again
    EXPECT_EQ(wb_, first);
    PasteIntoEditor(L"Application.StatusText = 3");
    ::SetWindowPos(wb_, nullptr, 150, 120, 460, 280, SWP_NOZORDER);
    Pump();
    RECT placed{};
    ::GetWindowRect(wb_, &placed);
    Press('Q', true);
    EXPECT_FALSE(::IsWindow(wb_));
    EXPECT_EQ(ScriptLines(), std::vector<std::string>{"<Script Name=\"\" Language=\"VBScript\" "
                                                      "Text=\"Application.StatusText = 3\r\n\"/>"});
    EXPECT_THAT(ConfigurationLine(),
                HasSubstr("DefaultSave=\"\" FontName=\"Courier New\" FontSize=\"8\" "
                          "LastText=\"Application.StatusText = 3\r\n\">"));
    ReopenWorkbench();
    EXPECT_EQ(Trimmed(EditorText()), L"Application.StatusText = 3");
    EXPECT_EQ(BoxText(), L"");
    EXPECT_EQ(Caption(), kVbCaption);
    RECT reopened{};
    ::GetWindowRect(wb_, &reopened);
    EXPECT_TRUE(::EqualRect(&placed, &reopened))
        << reopened.left << "," << reopened.top << " " << reopened.right << "," << reopened.bottom;
}

TEST_F(EndToEndTest, CyrillicQuotesAndMarkupSurviveTheEngineAndTheStore) {
    OpenWorkbench();
    const std::wstring script =
        L"Application.Map.GetObject(\"P2\").Name = \"Родник <№2> & \"\"ёлка\"\"\"";
    PasteIntoEditor(script);
    BoxWatcher boxes;
    Press(VK_F5);
    EXPECT_TRUE(boxes.boxes.empty()) << Narrow(boxes.boxes[0].text);
    EXPECT_EQ(host_->map.Get(L"P2")->name, L"Родник <№2> & \"ёлка\"");

    Press(VK_F4);
    Type(L"Отчёт");
    Press(VK_RETURN);
    EXPECT_EQ(ListEntries(), std::vector<std::wstring>{L"Отчёт"});
    EXPECT_EQ(ScriptLines()[1],
              u8"<Script Name=\"Отчёт\" Language=\"VBScript\" "
              u8"Text=\"Application.Map.GetObject(&quot;P2&quot;).Name = &quot;Родник &lt;№2&gt; "
              u8"&amp; &quot;&quot;ёлка&quot;&quot;&quot;\r\n\"/>"_cp);
    Press('Q', true);
    ReopenWorkbench();
    EXPECT_EQ(BoxText(), L"Отчёт");
    EXPECT_EQ(Trimmed(EditorText()), script);
}

TEST_F(EndToEndTest, EnterInTheEmptyBoxStoresTheScratchScriptAndEscGoesBack) {
    OpenWorkbench();
    PasteIntoEditor(L"x = 1");
    Press(VK_F4);
    ASSERT_EQ(::GetFocus(), ::GetWindow(combo_, GW_CHILD));
    Press(VK_RETURN);
    EXPECT_TRUE(ListEntries().empty());
    EXPECT_EQ(BoxText(), L"");
    EXPECT_EQ(ScriptLines(), std::vector<std::string>{
                                 "<Script Name=\"\" Language=\"VBScript\" Text=\"x = 1\r\n\"/>"});
    EXPECT_THAT(ConfigurationLine(), HasSubstr("DefaultSave=\"\" FontName=\"Courier New\" "
                                               "FontSize=\"8\" LastText=\"x = 1\r\n\">"));
    EXPECT_EQ(Caption(), kVbCaption + kNotice);

    ::SetFocus(combo_);
    Pump();
    Press(VK_ESCAPE);
    EXPECT_EQ(::GetFocus(), editor_);
    EXPECT_EQ(FindWorkbench(), wb_);
    Press(VK_END, true);
    Press(VK_RETURN);  // in the editor a line break
    Type(L"y = 2");
    EXPECT_EQ(Trimmed(EditorText()), L"x = 1\r\ny = 2");
    EXPECT_EQ(ScriptLines()[0], "<Script Name=\"\" Language=\"VBScript\" Text=\"x = 1\r\n\"/>");
}

TEST_F(EndToEndTest, RemovalAsksFirstAndChoosesTheNextScript) {
    OpenWorkbench();
    for (const wchar_t* name : {L"A", L"B", L"C"}) {
        PasteIntoEditor(std::wstring(L"text ") + name);
        Press(VK_F4);
        Type(name);
        Press(VK_RETURN);
    }
    ASSERT_EQ(ListEntries(), (std::vector<std::wstring>{L"A", L"B", L"C"}));
    PickFromList(L"B");
    ASSERT_EQ(BoxText(), L"B");
    const std::vector<std::string> three = ScriptLines();
    ASSERT_EQ(three.size(), 4u);
    {
        BoxWatcher boxes(IDNO);
        ClickToolButton(3);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, L"Удаление записи \"B\"\n\rВы уверены?");
    }
    EXPECT_EQ(ScriptLines(), three);
    EXPECT_EQ(ListEntries().size(), 3u);
    {
        BoxWatcher boxes(IDYES);
        ClickToolButton(3);
        ASSERT_EQ(boxes.boxes.size(), 1u);
    }
    // B was the active one: the last entry, C, is chosen.
    EXPECT_EQ(ListEntries(), (std::vector<std::wstring>{L"A", L"C"}));
    EXPECT_EQ(BoxText(), L"C");
    EXPECT_EQ(Trimmed(EditorText()), L"text C");
    EXPECT_THAT(ScriptLines(), ElementsAre(three[0], three[1], three[3]));
    EXPECT_THAT(ConfigurationLine(), HasSubstr("DefaultSave=\"C\""));

    // A name that is not in the list is refused with a warning.
    ::SetFocus(combo_);
    ::SetWindowTextW(combo_, L"");
    Type(L"Z");
    {
        BoxWatcher boxes;
        ClickToolButton(3);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, L"Выделите в списке сохранений удаляемый объект");
        EXPECT_EQ(boxes.boxes[0].caption, L"Ошибка");
    }
    EXPECT_EQ(ListEntries().size(), 2u);

    // Closing after a change moves the open script's record to the end. (The typed name Z was
    // never saved; what the pick keeps of the text it had is the scratch script's business.)
    PickFromList(L"A");
    PasteIntoEditor(L"text A2");
    Press('Q', true);
    EXPECT_FALSE(::IsWindow(wb_));
    EXPECT_THAT(ScriptLines(),
                ElementsAre(::testing::_, three[3],
                            "<Script Name=\"A\" Language=\"VBScript\" Text=\"text A2\r\n\"/>"));
}

TEST_F(EndToEndTest, ScriptDialogsAreOwnedByTheWorkbench) {
    OpenWorkbench();
    PasteIntoEditor(L"MsgBox \"Привет, \" & Application.Map.Count");
    BoxWatcher boxes;
    Press(VK_F5);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, L"Привет, 4");
    EXPECT_EQ(boxes.boxes[0].owner, wb_);
    EXPECT_EQ(::GetFocus(), editor_);
}

TEST_F(EndToEndTest, JScriptRuntimeErrorPutsTheCaretOnItsLine) {
    OpenWorkbench();
    Press('L', true);
    PasteIntoEditor(L"var m = Application.Map;\r\nm.Zoom = 2;\r\nm.Zoom = -1;\r\nm.Zoom = 3;");
    BoxWatcher boxes;
    Press(VK_RETURN, true);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_THAT(boxes.boxes[0].text, StartsWith(L"Произошла ошибка: "));
    EXPECT_THAT(boxes.boxes[0].text, HasSubstr(L"Масштаб"));
    EXPECT_EQ(CaretByMarker().y, 3);
}

TEST_F(EndToEndTest, PickingKeepsAnUnnamedTextAndNeverOverwritesThePickedScript) {
    OpenWorkbench();
    PasteIntoEditor(L"text A");
    Press(VK_F4);
    Type(L"A");
    Press(VK_RETURN);
    Press('N', true);

    // An unnamed text is kept in the scratch script and as the last text.
    PasteIntoEditor(L"scratch");
    PickFromList(L"A");
    EXPECT_EQ(BoxText(), L"A");
    EXPECT_EQ(Trimmed(EditorText()), L"text A");
    EXPECT_THAT(ScriptLines(),
                ElementsAre("<Script Name=\"\" Language=\"VBScript\" Text=\"scratch\r\n\"/>",
                            "<Script Name=\"A\" Language=\"VBScript\" Text=\"text A\r\n\"/>"));
    EXPECT_THAT(ConfigurationLine(), HasSubstr("LastText=\"scratch\r\n\""));

    // A name typed but never saved, then a pick: A's stored text stays its own.
    Press('N', true);
    PasteIntoEditor(L"other");
    ::SetFocus(combo_);
    Pump();
    Type(L"Never");
    PickFromList(L"A");
    EXPECT_EQ(BoxText(), L"A");
    EXPECT_EQ(Trimmed(EditorText()), L"text A");
    EXPECT_THAT(ScriptLines()[1], "<Script Name=\"A\" Language=\"VBScript\" Text=\"text A\r\n\"/>");
    EXPECT_EQ(ListEntries(), std::vector<std::wstring>{L"A"});
}

// --- completion -------------------------------------------------------------------------------

TEST_F(EndToEndTest, CtrlSpaceAfterApplicationOffersTheHostsMembers) {
    OpenWorkbench();
    PasteIntoEditor(L"");
    Type(L"Application.");
    Press(VK_SPACE, true);
    HWND popup = nullptr;
    ASSERT_TRUE(PumpUntil([&] {
        popup = ::FindWindowW(L"TCompletionProposalForm", nullptr);
        return popup && ::IsWindowVisible(popup);
    }));
    Type(L"GetDa");
    Press(VK_RETURN);
    EXPECT_FALSE(::IsWindowVisible(popup));
    EXPECT_EQ(Trimmed(EditorText()), L"Application.GetDataFolder");

    // A property's type leads to its interface's members; a method with parameters gets "()".
    PasteIntoEditor(L"");
    Type(L"Application.Map.");
    Press(VK_SPACE, true);
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(popup); }));
    Type(L"GetOb");
    Press(VK_RETURN);
    EXPECT_EQ(Trimmed(EditorText()), L"Application.Map.GetObject()");
}

// The host lets the module object go while a script's message box is open: the window goes at
// once, the run returns into a form that still exists, and the module may unload afterwards.
TEST_F(EndToEndTest, ReleasingTheModuleUnderARunningScriptsBoxIsSafe) {
    OpenWorkbench();
    PasteIntoEditor(L"MsgBox \"wait\"\r\nApplication.GetMap().GetObject(\"P1\").Move 30, 20");
    static win::ComPtr<IComModule>* module = nullptr;
    module = &module_;
    struct Release {
        static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
            ::KillTimer(nullptr, id);
            module->reset();
        }
    };
    ::SetTimer(nullptr, 0, 300, &Release::Tick);
    Press(VK_F5);
    EXPECT_TRUE(PumpUntil([&] { return !module_ && FindWorkbench() == nullptr; }));
    auto canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(::GetProcAddress(dll_, "DllCanUnloadNow")));
    ASSERT_TRUE(canUnloadNow);
    EXPECT_TRUE(PumpUntil([&] { return canUnloadNow() == S_OK; }));
    // The script went on after its box: the host saw the rest of it.
    EXPECT_EQ(host_->map.Get(L"P1")->vertices[0], (tellur::Vertex{40, 30}));
}

// Under a host loop like those of real hosts (accelerators on the workbench's own keys, a
// modeless palette), every key typed in the workbench reaches it and none reaches the host too.
TEST_F(EndToEndTest, KeysReachTheWorkbenchAloneUnderAHostLoopWithAcceleratorsAndAPalette) {
    tellur::ForeignLoop loop(frame_);
    ASSERT_TRUE(loop.palette());
    struct Restore {
        ~Restore() { win::test::SetLoopFilter(nullptr); }
    } restore;
    win::test::SetLoopFilter([&](MSG& msg) { return loop.PreTranslate(msg); });
    OpenWorkbench();

    PasteIntoEditor(L"MsgBox \"раз\"");                   // Ctrl+A, Ctrl+V
    EXPECT_EQ(Trimmed(EditorText()), L"MsgBox \"раз\"");  // Ctrl+A, Ctrl+C
    {
        BoxWatcher boxes;
        Press(VK_F5);
        ASSERT_EQ(boxes.boxes.size(), 1u) << Narrow(boxes.boxes.back().text);
        EXPECT_EQ(boxes.boxes[0].text, L"раз");
    }
    Press(VK_END, true);
    Press(VK_BACK);
    Press(VK_HOME);
    Press(VK_DELETE);
    Press('Z', true);  // undoes the deletion
    EXPECT_EQ(Trimmed(EditorText()), L"MsgBox \"раз");
    Press('L', true);
    EXPECT_EQ(Caption().substr(0, kJsCaption.size()), kJsCaption);
    Press('S', true);
    EXPECT_EQ(ScriptLines()[0],
              "<Script Name=\"\" Language=\"JavaScript\" Text=\"MsgBox &quot;\xF0\xE0\xE7\r\n\"/>");
    Press('N', true);
    EXPECT_EQ(Trimmed(EditorText()), L"option explicit");
    EXPECT_TRUE(loop.acceleratorKeys().empty()) << loop.acceleratorKeys().size();

    // Outside the workbench the host's keys stay the host's.
    ::SetForegroundWindow(frame_);
    ::SetFocus(frame_);
    Pump();
    Press(VK_F5);
    EXPECT_EQ(loop.acceleratorKeys().size(), 1u);
}

}  // namespace
}  // namespace zeph::e2e
