// Real VBScript and JScript engines driving the object model through the named item
// Application, as the workbench's scripts do.
#include <gtest/gtest.h>

#include "host_fixture.h"

// The script interfaces' identifiers are defined here; no import library carries them.
#include <initguid.h>

#include <activscp.h>

namespace tellur::testing {
namespace {

class Site final : public IActiveScriptSite {
  public:
    explicit Site(IDispatch* app) : app_(app) {}
    std::wstring error;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IActiveScriptSite) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetLCID(LCID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** unk,
                                          ITypeInfo** info) override {
        if (wcscmp(name, L"Application") != 0) return TYPE_E_ELEMENTNOTFOUND;
        if (mask & SCRIPTINFO_IUNKNOWN) {
            app_->AddRef();
            *unk = app_;
        }
        if (mask & SCRIPTINFO_ITYPEINFO) *info = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* e) override {
        EXCEPINFO info{};
        e->GetExceptionInfo(&info);
        error = info.bstrDescription ? info.bstrDescription : L"(no description)";
        ::SysFreeString(info.bstrDescription);
        ::SysFreeString(info.bstrSource);
        ::SysFreeString(info.bstrHelpFile);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

  private:
    IDispatch* app_;
};

class ScriptTest : public HostTest {
  protected:
    // Runs `code` in a new engine of `language`; returns the engine's error text, or "".
    std::wstring Run(const wchar_t* language, const wchar_t* code) {
        CLSID clsid;
        if (FAILED(::CLSIDFromProgID(language, &clsid))) return L"no engine";
        ComPtr<IActiveScript> engine;
        if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                                      engine.put_void())))
            return L"engine not created";
        ComPtr<IActiveScriptParse> parse;
        engine->QueryInterface(IID_IActiveScriptParse, parse.put_void());
        Site site(app_);
        parse->InitNew();
        engine->SetScriptSite(&site);
        engine->AddNamedItem(L"Application", SCRIPTITEM_ISVISIBLE);
        engine->SetScriptState(SCRIPTSTATE_CONNECTED);
        EXCEPINFO excep{};
        HRESULT hr =
            parse->ParseScriptText(code, nullptr, nullptr, nullptr, 0, 0, 0, nullptr, &excep);
        engine->Close();
        if (FAILED(hr) && site.error.empty()) site.error = L"failed";
        return site.error;
    }
};

TEST_F(ScriptTest, VBScriptReadsAndChangesTheMap) {
    std::wstring error =
        Run(L"VBScript",
            L"Application.GetMap().GetObject(\"P1\").Move 10, 5\n"
            L"Set o = Application.Map.Item(1)\n"
            L"o.Name = \"Ключ\"\n"
            L"o.Attribute(\"Дебит\") = \"3\"\n"
            L"Application.Selection.Add \"A1\"\n"
            L"If Application.GetSelection().GetSelectedCount() <> 1 Then Err.Raise 5\n"
            L"Application.Map.GetObject(\"L1\").Style.LineStyle = 1\n"
            L"Application.StatusText = \"vb \" & Application.Map.Count & \" \" & "
            L"Application.Selection(0).ID & \" \" & o.X\n"
            L"Application.Redraw\n");
    EXPECT_EQ(error, L"");
    EXPECT_EQ(host_->map.Get(L"P1")->vertices[0], (Vertex{20, 15}));
    EXPECT_EQ(host_->map.Get(L"P2")->name, L"Ключ");
    EXPECT_EQ(host_->map.Get(L"P2")->attributes[L"Дебит"], L"3");
    EXPECT_EQ(host_->map.Get(L"L1")->style.lineStyle, LineStyle::Dash);
    EXPECT_EQ(window_->StatusText(), L"vb 4 A1 90");
}

TEST_F(ScriptTest, JScriptReadsAndChangesTheMap) {
    std::wstring error = Run(L"JScript",
                             L"var m = Application.GetMap();\n"
                             L"m.GetObject('P2').Move(-10, 5);\n"
                             L"var a = m.GetObject('A1');\n"
                             L"a.SetAttribute('Тип', 'поле');\n"
                             L"Application.Selection.Add('L1');\n"
                             L"var p = m.AddObject(1, 'P3', 'Новая', '1 2');\n"
                             L"p.Selected = true;\n"
                             L"Application.StatusText = 'js ' + Application.Selection.Count + ' ' +"
                             L" a.Area + ' ' + a.Attribute('Тип') + ' ' + m.Count;\n");
    EXPECT_EQ(error, L"");
    EXPECT_EQ(host_->map.Get(L"P2")->vertices[0], (Vertex{80, 95}));
    EXPECT_EQ(host_->map.Get(L"A1")->attributes[L"Тип"], L"поле");
    EXPECT_EQ(window_->StatusText(), L"js 2 1600 поле 5");
}

TEST_F(ScriptTest, AHostErrorReachesTheScriptWithItsText) {
    std::wstring error = Run(L"VBScript", L"Application.Map.GetObject(\"Q7\").Move 1, 1\n");
    EXPECT_NE(error.find(L"Q7"), std::wstring::npos) << error.size();
    error = Run(L"JScript", L"Application.Map.Zoom = -1;");
    EXPECT_NE(error.find(L"Масштаб"), std::wstring::npos) << error.size();
}

}  // namespace
}  // namespace tellur::testing
