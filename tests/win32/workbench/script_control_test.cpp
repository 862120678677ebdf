// The real script engine under the platform: languages, published objects, errors, isolation.
#include "workbench/script_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "base/wide.h"
#include "workbench/stop_checks.h"

using zeph::win::ScriptControl;

namespace {

// A scriptable object with one method, Log(value), that records what scripts pass it; as the
// hidden object of checked runs it also takes At(line) and Tick.
class Recorder : public IDispatch {
  public:
    std::vector<std::wstring> calls;
    std::vector<long> at_lines;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the test's stack
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        const wchar_t* known[] = {L"Log", L"At", L"Tick"};
        for (DISPID id = 1; id <= 3; ++id) {
            if (count >= 1 && _wcsicmp(names[0], known[id - 1]) == 0) {
                ids[0] = id;
                return S_OK;
            }
        }
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (result) ::VariantInit(result);
        if (id == 3) return S_OK;
        if (id < 1 || id > 3) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        if (id == 2) {
            VARIANT line;
            ::VariantInit(&line);
            if (FAILED(::VariantChangeType(&line, &params->rgvarg[0], 0, VT_I4)))
                return DISP_E_TYPEMISMATCH;
            at_lines.push_back(line.lVal);
            return S_OK;
        }
        VARIANT text;
        ::VariantInit(&text);
        HRESULT hr = ::VariantChangeType(&text, &params->rgvarg[0], 0, VT_BSTR);
        if (FAILED(hr)) return hr;
        calls.emplace_back(text.bstrVal, ::SysStringLen(text.bstrVal));
        ::VariantClear(&text);
        return S_OK;
    }

  private:
    ULONG refs_ = 1;
};

class ScriptControlTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr))); }
    void TearDown() override { ::CoUninitialize(); }

    // One run the way the workbench does it: fresh engine, language, Application, code.
    bool Run(const char* language, const std::string& code,
             ScriptControl::ErrorInfo* error = nullptr) {
        ScriptControl engine;
        engine.SetLanguage(language);
        engine.AddObject("Application", &recorder, true);
        bool ok = engine.AddCode(code);
        if (!ok && error) *error = engine.LastError();
        return ok;
    }

    Recorder recorder;
};

TEST_F(ScriptControlTest, RunsBothLanguagesAgainstThePublishedObject) {
    EXPECT_TRUE(Run("VBScript", "Application.Log 42\r\nApplication.Log \"second\"\r\n"));
    EXPECT_TRUE(Run("JavaScript", "Application.Log(1 + 2);\r\n"));
    ASSERT_EQ(recorder.calls.size(), 3u);
    EXPECT_EQ(recorder.calls[0], L"42");
    EXPECT_EQ(recorder.calls[1], L"second");
    EXPECT_EQ(recorder.calls[2], L"3");
}

TEST_F(ScriptControlTest, CyrillicTextReachesTheObjectIntact) {
    EXPECT_TRUE(Run("VBScript", "Application.Log \"\xCA\xE0\xF0\xF2\xE0\"\r\n"));  // "Карта"
    ASSERT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(recorder.calls[0], L"\x41A\x430\x440\x442\x430");
}

TEST_F(ScriptControlTest, SyntaxErrorReportsLineAndColumn) {
    ScriptControl::ErrorInfo error;
    EXPECT_FALSE(Run("VBScript", "Dim a\r\na = 1\r\nIf a Then Then\r\n", &error));
    EXPECT_EQ(error.line, 3);
    EXPECT_GE(error.column, 0);
    EXPECT_FALSE(error.description.empty());
    EXPECT_TRUE(recorder.calls.empty());

    EXPECT_FALSE(Run("JavaScript", "var a = 1;\r\n\r\nvar = ;\r\n", &error));
    EXPECT_EQ(error.line, 3);
}

TEST_F(ScriptControlTest, RuntimeErrorStopsTheScriptWithADescription) {
    ScriptControl::ErrorInfo error;
    EXPECT_FALSE(
        Run("VBScript", "Application.Log 1\r\nx = \"a\" * 2\r\nApplication.Log 2\r\n", &error));
    EXPECT_EQ(error.line, 2);
    EXPECT_FALSE(error.description.empty());
    EXPECT_EQ(recorder.calls, std::vector<std::wstring>{L"1"});
}

std::wstring Utf16(const char8_t* utf8) {
    const auto* bytes = reinterpret_cast<const char*>(utf8);
    std::wstring out(std::char_traits<char>::length(bytes), L'\0');
    out.resize(static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, bytes, -1, out.data(),
                                                              static_cast<int>(out.size()) + 1)) -
               1);
    return out;
}

// Wine's VBScript leaves Description empty for a division by zero, an undeclared name under
// Option Explicit and a syntax error (only its source names the kind), and its own texts are
// English under an English locale (as these tests run): the user reads Russian texts.
TEST_F(ScriptControlTest, ErrorsGetRussianTextsWhereTheEngineGivesNone) {
    const struct {
        const char* language;
        const char* code;
        const char8_t* expected;
        long line;
    } cases[] = {
        {"VBScript", "Dim x\r\nx = 1 / 0\r\n", u8"Деление на ноль", 2},
        {"VBScript", "Dim a\r\nIf a Then Then\r\n", u8"Синтаксическая ошибка", 2},
        {"VBScript", "Application.Nope 1\r\n", u8"Объект не поддерживает это свойство или метод",
         1},
        {"VBScript", "Option Explicit\r\nx = 1\r\n", u8"Ошибка выполнения скрипта", 2},
        {"JavaScript", "var = ;\r\n", u8"Синтаксическая ошибка", 1},
    };
    for (const auto& c : cases) {
        ScriptControl::ErrorInfo error;
        EXPECT_FALSE(Run(c.language, c.code, &error));
        EXPECT_EQ(zeph::win::Wide(error.description), Utf16(c.expected)) << c.code;
        EXPECT_EQ(error.line, c.line) << c.code;
    }
}

// Scripts with the checks of a run that may pause do what they did without them, and report
// each statement's line on the way.
TEST_F(ScriptControlTest, CheckedScriptsRunAsTheyWereWritten) {
    const struct {
        const char* language;
        const char* code;
    } samples[] = {
        {"VBScript",
         "Option Explicit\r\nDim i, s\r\nConst k = 2\r\n"
         "For i = 1 To 3 : s = s & i : Next\r\n"
         "If s = \"123\" Then Application.Log s Else Application.Log \"no\"\r\n"
         "Select Case i\r\n  Case 4 : Application.Log \"four\"\r\n  Case Else\r\n"
         "    Application.Log _\r\n      \"else\"\r\nEnd Select\r\n"
         "Function F(n)\r\n  If n > 0 Then F = n + F(n - 1) Else F = 0\r\nEnd Function\r\n"
         "Application.Log F(4)\r\n"
         "Do While i > 0 : i = i - 1 : Loop\r\nDo\r\n  i = i + k\r\nLoop Until i > 5\r\n"
         "Application.Log i\r\n"
         "Class C\r\n  Private v\r\n  Public Property Get V2 : V2 = v * 2 : End Property\r\n"
         "  Private Sub Class_Initialize : v = 21 : End Sub\r\nEnd Class\r\n"
         "Dim o : Set o = New C : Application.Log o.V2\r\n"},
        {"JavaScript",
         "function f(n) {\r\n  if (n > 0)\r\n    return n + f(n - 1);\r\n"
         "  else if (n == 0) return 0;\r\n}\r\nApplication.Log(f(4))\r\n"
         "var s = ''\r\nouter: for (var i = 0; i < 3; i++) {\r\n"
         "  for (var j = 0; ; j++) { if (j > i) continue outer; s += j }\r\n}\r\n"
         "Application.Log(s);\r\nwhile (i) i--;\r\n"
         "switch (i) { case 0: Application.Log('zero'); break; default: Application.Log('x'); }\r\n"
         "try { null.x; } catch (e) { Application.Log('caught'); } finally { s = 'done' }\r\n"
         "do i++; while (i < 3)\r\nvar o = { a: function (x) { return x * 2; } };\r\n"
         "Application.Log(o.a(i) + s)\r\nif (i) for (;;) break; else i = 0\r\n"},
    };
    for (const auto& sample : samples) {
        const zeph::workbench::Language language = std::string_view(sample.language) == "VBScript"
                                                       ? zeph::workbench::Language::VBScript
                                                       : zeph::workbench::Language::JavaScript;
        ScriptControl::ErrorInfo error;
        ASSERT_TRUE(Run(sample.language, sample.code, &error)) << error.description;
        const std::vector<std::wstring> plain = recorder.calls;
        ASSERT_GE(plain.size(), 4u) << sample.language;
        recorder.calls.clear();

        const std::string checked = zeph::workbench::AddPauseChecks(language, sample.code).text;
        ScriptControl engine;
        engine.SetLanguage(sample.language);
        engine.AddObject("Application", &recorder, true);
        engine.AddObject("ZephRun", &recorder, false);
        const std::string preamble = zeph::workbench::StopCheckPreamble(language);
        if (!preamble.empty()) ASSERT_TRUE(engine.AddCode(preamble));
        ASSERT_TRUE(engine.AddCode(checked)) << engine.LastError().description << "\n" << checked;
        EXPECT_EQ(recorder.calls, plain) << sample.language;
        ASSERT_FALSE(recorder.at_lines.empty());
        const long lines = static_cast<long>(std::count(checked.begin(), checked.end(), '\n'));
        for (long line : recorder.at_lines) {
            EXPECT_GE(line, 1);
            EXPECT_LE(line, lines);
        }
        recorder.calls.clear();
        recorder.at_lines.clear();
    }
}

TEST_F(ScriptControlTest, EachRunStartsFromNothing) {
    EXPECT_TRUE(Run("VBScript", "x = 5\r\n"));
    EXPECT_TRUE(Run("VBScript", "Application.Log TypeName(x)\r\n"));
    EXPECT_TRUE(Run("JavaScript", "var y = 5;\r\n"));
    EXPECT_TRUE(Run("JavaScript", "Application.Log(typeof y);\r\n"));
    EXPECT_EQ(recorder.calls, (std::vector<std::wstring>{L"Empty", L"undefined"}));
}

TEST_F(ScriptControlTest, EmptyScriptRunsQuietly) {
    EXPECT_TRUE(Run("VBScript", "const a = 1\r\n"));
    EXPECT_TRUE(Run("VBScript", ""));
    EXPECT_TRUE(recorder.calls.empty());
}

}  // namespace
