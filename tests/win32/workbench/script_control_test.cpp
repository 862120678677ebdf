// The real script engine under the platform: languages, published objects, errors, isolation.
#include "workbench/script_control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/wide.h"

using zeph::win::ScriptControl;

namespace {

// A scriptable object with one method, Log(value), that records what scripts pass it.
class Recorder : public IDispatch {
  public:
    std::vector<std::wstring> calls;

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
        if (count >= 1 && _wcsicmp(names[0], L"Log") == 0) {
            ids[0] = 1;
            return S_OK;
        }
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (id != 1) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        VARIANT text;
        ::VariantInit(&text);
        HRESULT hr = ::VariantChangeType(&text, &params->rgvarg[0], 0, VT_BSTR);
        if (FAILED(hr)) return hr;
        calls.emplace_back(text.bstrVal, ::SysStringLen(text.bstrVal));
        ::VariantClear(&text);
        if (result) ::VariantInit(result);
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
