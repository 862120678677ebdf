// What the platform's script engines offer for stopping a script that never calls the host.
// Not a test and not shipped: run it under Wine when the engines change, and read the table.
//
//   wine-run.sh [--arch=32] win_engine_probe.exe            every case, one child per case
//   wine-run.sh win_engine_probe.exe LANGUAGE LOOP WAY      one case
//
// LANGUAGE: vbscript, jscript. LOOP: empty (no statement in its body), count (a variable
// counted up), host (a call into a host object). WAY, applied from a second thread once the loop
// runs: interrupt (InterruptScriptThread on the base thread, raising an exception), interrupt-all
// (on all threads, no exception), state (SetScriptState to disconnected), close (Close), poll
// (the site's QueryContinue answers S_FALSE), control-timeout (the Script Control's Timeout of
// 300 ms, no way applied), control-reset (the Script Control's Reset from the second thread).
// A case that has not ended 2 s after the way was applied counts as not stopped.
#include <activdbg.h>
#include <activscp.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kGraceMs = 2000;

struct Case {
    std::wstring language, loop, way;
};

std::atomic<long> g_ticks{0};
std::atomic<bool> g_stop{false};
std::atomic<long> g_polls{0};
std::atomic<long> g_poll_asked{0};
std::atomic<bool> g_applied{false};
std::atomic<long> g_site_calls{0};
bool g_list_asked = false;  // print every interface the engine asks the site for  // calls into the
                            // site after the way was applied

void NoteSiteCall() {
    if (g_applied) ++g_site_calls;
}
std::wstring g_error;

// "Host": Tick() counts.
class Host : public IDispatch {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                            DISPID* ids) override {
        if (_wcsicmp(names[0], L"Tick") != 0) return DISP_E_UNKNOWNNAME;
        ids[0] = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (result) ::VariantInit(result);
        ++g_ticks;
        return S_OK;
    }
} g_host;

class Site : public IActiveScriptSite,
             public IActiveScriptSiteWindow,
             public IActiveScriptSiteInterruptPoll {
  public:
    explicit Site(bool poll) : poll_(poll) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        NoteSiteCall();
        *out = nullptr;
        if (g_list_asked) {
            wchar_t text[64] = L"";
            ::StringFromGUID2(iid, text, 64);
            std::printf("  the engine asks its site for %ls\n", text);
        }
        if (iid == IID_IUnknown || iid == __uuidof(IActiveScriptSite))
            *out = static_cast<IActiveScriptSite*>(this);
        else if (iid == __uuidof(IActiveScriptSiteWindow))
            *out = static_cast<IActiveScriptSiteWindow*>(this);
        else if (iid == __uuidof(IActiveScriptSiteInterruptPoll)) {
            ++g_poll_asked;
            if (poll_) *out = static_cast<IActiveScriptSiteInterruptPoll*>(this);
        }
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE GetLCID(LCID*) override {
        NoteSiteCall();
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** unk,
                                          ITypeInfo** info) override {
        NoteSiteCall();
        if (info) *info = nullptr;
        if (unk) *unk = nullptr;
        if (_wcsicmp(name, L"Host") != 0) return TYPE_E_ELEMENTNOTFOUND;
        if ((mask & SCRIPTINFO_IUNKNOWN) && unk) *unk = &g_host;
        return (mask & SCRIPTINFO_ITYPEINFO) ? TYPE_E_ELEMENTNOTFOUND : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR*) override {
        NoteSiteCall();
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override {
        NoteSiteCall();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override {
        NoteSiteCall();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* error) override {
        NoteSiteCall();
        EXCEPINFO e{};
        DWORD context = 0;
        ULONG line = 0;
        LONG column = 0;
        error->GetExceptionInfo(&e);
        error->GetSourcePosition(&context, &line, &column);
        wchar_t text[256];
        swprintf(text, 256, L"error 0x%08lX line %lu col %ld \"%ls\"", e.scode, line + 1, column,
                 e.bstrDescription ? e.bstrDescription : L"");
        g_error = text;
        ::SysFreeString(e.bstrSource);
        ::SysFreeString(e.bstrDescription);
        ::SysFreeString(e.bstrHelpFile);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEnterScript() override {
        NoteSiteCall();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() override {
        NoteSiteCall();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        NoteSiteCall();
        *hwnd = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override {
        NoteSiteCall();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE QueryContinue() override {
        NoteSiteCall();
        ++g_polls;
        return g_stop ? S_FALSE : S_OK;
    }

  private:
    bool poll_;
};

std::wstring Code(const Case& c) {
    const bool vb = c.language == L"vbscript";
    if (c.loop == L"empty") return vb ? L"Do\r\nLoop\r\n" : L"while (true) {\r\n}\r\n";
    if (c.loop == L"count")
        return vb ? L"Dim i\r\nDo\r\n  i = i + 1\r\nLoop\r\n"
                  : L"var i = 0;\r\nfor (;;) {\r\n  i++;\r\n}\r\n";
    return vb ? L"Do\r\n  Host.Tick\r\nLoop\r\n" : L"for (;;) {\r\n  Host.Tick();\r\n}\r\n";
}

// What the second thread does to the running script; returns the HRESULT it got.
struct Shared {
    Case c;
    IActiveScript* script = nullptr;
    IDispatch* control = nullptr;
    HANDLE done = nullptr;
    HRESULT applied = S_OK;
    long long at = 0;  // steady clock ticks when the way was applied
};

DISPID Id(IDispatch* d, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

HRESULT Call(IDispatch* d, const wchar_t* name, WORD flags, VARIANT* args, UINT n,
             EXCEPINFO* e = nullptr) {
    DISPPARAMS p{args, nullptr, n, 0};
    DISPID put = DISPID_PROPERTYPUT;
    if (flags & DISPATCH_PROPERTYPUT) {
        p.rgdispidNamedArgs = &put;
        p.cNamedArgs = 1;
    }
    return d->Invoke(Id(d, name), IID_NULL, LOCALE_USER_DEFAULT, flags, &p, nullptr, e, nullptr);
}

DWORD WINAPI Apply(void* param) {
    auto* s = static_cast<Shared*>(param);
    // Let the loop run a while first.
    if (s->c.loop == L"host") {
        while (g_ticks < 1000) ::Sleep(5);
    } else {
        ::Sleep(300);
    }
    s->at = Clock::now().time_since_epoch().count();
    const std::wstring& way = s->c.way;
    HRESULT hr = S_OK;
    if (way == L"interrupt") {
        EXCEPINFO e{};
        e.scode = E_ABORT;
        e.bstrDescription = ::SysAllocString(L"stopped");
        hr = s->script->InterruptScriptThread(SCRIPTTHREADID_BASE, &e,
                                              SCRIPTINTERRUPT_RAISEEXCEPTION);
    } else if (way == L"interrupt-all") {
        hr = s->script->InterruptScriptThread(SCRIPTTHREADID_ALL, nullptr, 0);
    } else if (way == L"state") {
        hr = s->script->SetScriptState(SCRIPTSTATE_DISCONNECTED);
    } else if (way == L"close") {
        hr = s->script->Close();
    } else if (way == L"poll") {
        g_stop = true;
    } else if (way == L"control-reset") {
        hr = Call(s->control, L"Reset", DISPATCH_METHOD, nullptr, 0);
    }
    s->applied = hr;
    g_applied = true;
    if (::WaitForSingleObject(s->done, kGraceMs) != WAIT_OBJECT_0) {
        std::printf(
            "%-8ls %-5ls %-15ls hr=0x%08lX ticks=%ld polls=%ld asked=%ld site=%ld: NOT STOPPED\n",
            s->c.language.c_str(), s->c.loop.c_str(), way.c_str(), static_cast<unsigned long>(hr),
            g_ticks.load(), g_polls.load(), g_poll_asked.load(), g_site_calls.load());
        std::fflush(stdout);
        ::TerminateProcess(::GetCurrentProcess(), 3);
    }
    return 0;
}

HRESULT RunEngine(Shared& s) {
    CLSID clsid;
    HRESULT hr = ::CLSIDFromProgID(s.c.language == L"vbscript" ? L"VBScript" : L"JScript", &clsid);
    if (FAILED(hr)) return hr;
    hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IActiveScript),
                            reinterpret_cast<void**>(&s.script));
    if (FAILED(hr)) return hr;
    IActiveScriptParse* parse = nullptr;
    hr = s.script->QueryInterface(__uuidof(IActiveScriptParse), reinterpret_cast<void**>(&parse));
    if (FAILED(hr)) return hr;
    g_list_asked = s.c.loop == L"empty" && s.c.way == L"interrupt";
    if (g_list_asked) {
        // Debugging could break into a script; does the engine offer it?
        IUnknown* debug = nullptr;
        HRESULT d = s.script->QueryInterface(__uuidof(IActiveScriptDebug),
                                             reinterpret_cast<void**>(&debug));
        std::printf("  IActiveScriptDebug: hr=0x%08lX\n", static_cast<unsigned long>(d));
        if (debug) debug->Release();
    }
    static Site site(s.c.way == L"poll");
    if (FAILED(hr = s.script->SetScriptSite(&site))) return hr;
    if (FAILED(hr = parse->InitNew())) return hr;
    if (FAILED(hr = s.script->AddNamedItem(L"Host", SCRIPTITEM_ISVISIBLE))) return hr;
    if (FAILED(hr = s.script->SetScriptState(SCRIPTSTATE_STARTED))) return hr;
    HANDLE thread = ::CreateThread(nullptr, 0, &Apply, &s, 0, nullptr);
    EXCEPINFO e{};
    hr = parse->ParseScriptText(Code(s.c).c_str(), nullptr, nullptr, nullptr, 0, 0,
                                SCRIPTTEXT_ISVISIBLE, nullptr, &e);
    ::SetEvent(s.done);
    ::WaitForSingleObject(thread, INFINITE);
    return hr;
}

HRESULT RunControl(Shared& s) {
    const CLSID control = {
        0x0E59F1D5, 0x1FBE, 0x11D0, {0x8F, 0xF2, 0x00, 0xA0, 0xD1, 0x00, 0x38, 0xBC}};
    HRESULT hr = ::CoCreateInstance(control, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                    reinterpret_cast<void**>(&s.control));
    if (FAILED(hr)) return hr;
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocString(s.c.language == L"vbscript" ? L"VBScript" : L"JScript");
    if (FAILED(hr = Call(s.control, L"Language", DISPATCH_PROPERTYPUT, &v, 1))) return hr;
    if (s.c.way == L"control-timeout") {
        VARIANT t;
        t.vt = VT_I4;
        t.lVal = 300;
        hr = Call(s.control, L"Timeout", DISPATCH_PROPERTYPUT, &t, 1);
        std::printf("  Timeout put: hr=0x%08lX\n", static_cast<unsigned long>(hr));
        VARIANT f;
        f.vt = VT_BOOL;
        f.boolVal = VARIANT_FALSE;
        hr = Call(s.control, L"AllowUI", DISPATCH_PROPERTYPUT, &f, 1);
        std::printf("  AllowUI put: hr=0x%08lX\n", static_cast<unsigned long>(hr));
    }
    VARIANT args[3];
    args[2].vt = VT_BSTR;
    args[2].bstrVal = ::SysAllocString(L"Host");
    args[1].vt = VT_DISPATCH;
    args[1].pdispVal = &g_host;
    args[0].vt = VT_BOOL;
    args[0].boolVal = VARIANT_FALSE;
    if (FAILED(hr = Call(s.control, L"AddObject", DISPATCH_METHOD, args, 3))) return hr;
    HANDLE thread = ::CreateThread(nullptr, 0, &Apply, &s, 0, nullptr);
    VARIANT code;
    code.vt = VT_BSTR;
    code.bstrVal = ::SysAllocString(Code(s.c).c_str());
    EXCEPINFO e{};
    hr = Call(s.control, L"AddCode", DISPATCH_METHOD, &code, 1, &e);
    ::SetEvent(s.done);
    ::WaitForSingleObject(thread, INFINITE);
    return hr;
}

int RunCase(const Case& c) {
    ::CoInitialize(nullptr);
    Shared s{c};
    s.done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const bool control = c.way.rfind(L"control", 0) == 0;
    HRESULT hr = control ? RunControl(s) : RunEngine(s);
    const auto end = Clock::now().time_since_epoch().count();
    long long ms = -1;
    if (s.at)
        ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::duration(end - s.at))
                 .count();
    std::printf(
        "%-8ls %-5ls %-15ls hr=0x%08lX ticks=%ld polls=%ld asked=%ld: stopped after %lld "
        "ms, run hr=0x%08lX %ls\n",
        c.language.c_str(), c.loop.c_str(), c.way.c_str(), static_cast<unsigned long>(s.applied),
        g_ticks.load(), g_polls.load(), g_poll_asked.load(), ms, static_cast<unsigned long>(hr),
        g_error.c_str());
    std::fflush(stdout);
    // Skip the engines' teardown: a way like Close may have left them in any state.
    ::TerminateProcess(::GetCurrentProcess(), 0);
    return 0;
}

// Every case in a child process of its own, so that one that never ends costs only its grace.
int RunAll(const wchar_t* self) {
    const wchar_t* languages[] = {L"vbscript", L"jscript"};
    const wchar_t* loops[] = {L"empty", L"count", L"host"};
    const wchar_t* ways[] = {L"interrupt", L"interrupt-all",   L"state",        L"close",
                             L"poll",      L"control-timeout", L"control-reset"};
    std::printf("%d-bit engines\n", static_cast<int>(sizeof(void*) * 8));
    std::fflush(stdout);
    for (const wchar_t* language : languages)
        for (const wchar_t* loop : loops)
            for (const wchar_t* way : ways) {
                std::wstring command =
                    std::wstring(L"\"") + self + L"\" " + language + L" " + loop + L" " + way;
                STARTUPINFOW si{};
                si.cb = sizeof si;
                PROCESS_INFORMATION pi{};
                if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &si, &pi))
                    return 1;
                if (::WaitForSingleObject(pi.hProcess, 15000) != WAIT_OBJECT_0) {
                    std::printf("%-8ls %-5ls %-15ls: hung\n", language, loop, way);
                    ::TerminateProcess(pi.hProcess, 4);
                }
                ::CloseHandle(pi.hThread);
                ::CloseHandle(pi.hProcess);
            }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4) return RunCase({argv[1], argv[2], argv[3]});
    return RunAll(argv[0]);
}
