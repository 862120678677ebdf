// The workbench launcher against a module object of the test's own, registered under a ProgID
// of its own: created once, handed the application, asked to open its window on every call, and
// its failures reported with their code and description.
#include <gtest/gtest.h>

#include "host_fixture.h"

namespace tellur::testing {
namespace {

// The module's binary layout: IDispatch, then Init and OpenMainModelessDialog.
struct IModuleLayout : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Init(ITellurApplication* application) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenMainModelessDialog() = 0;
};

constexpr IID kIidComModule = {
    0xBB70A3BD, 0x76BF, 0x46F7, {0xB1, 0x8B, 0xA5, 0x38, 0x01, 0xAB, 0xFF, 0xCA}};
// {5D1E2C77-3B9A-4E51-9F0C-7A2B61C4D8E3}
constexpr CLSID kTestClsid = {
    0x5D1E2C77, 0x3B9A, 0x4E51, {0x9F, 0x0C, 0x7A, 0x2B, 0x61, 0xC4, 0xD8, 0xE3}};
constexpr wchar_t kTestProgId[] = L"Tellur.TestModule";

struct Record {
    int created = 0, alive = 0, inits = 0, opens = 0;
    LONG handle = 0;
    bool failNext = false;
};

class FakeModule final : public IModuleLayout {
  public:
    explicit FakeModule(Record* r) : r_(r) { ++r_->created, ++r_->alive; }
    ~FakeModule() {
        if (app_) app_->Release();
        --r_->alive;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != kIidComModule) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IModuleLayout*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Init(ITellurApplication* application) override {
        if (application) application->AddRef();
        if (app_) app_->Release();
        app_ = application;
        ++r_->inits;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OpenMainModelessDialog() override {
        if (r_->failNext) {
            ICreateErrorInfo* create = nullptr;
            ::CreateErrorInfo(&create);
            create->SetDescription(const_cast<LPOLESTR>(L"Окно не создано"));
            IErrorInfo* info = nullptr;
            create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
            ::SetErrorInfo(0, info);
            info->Release();
            create->Release();
            return E_ACCESSDENIED;
        }
        if (!app_) return E_UNEXPECTED;
        // What the real module does first: the owner window from the host.
        ITellurMainWindow* window = nullptr;
        HRESULT hr = app_->GetMainWindow(&window);
        if (FAILED(hr)) return hr;
        hr = window->GetWindowHandle(&r_->handle);
        window->Release();
        ++r_->opens;
        return hr;
    }

  private:
    Record* r_;
    ULONG refs_ = 1;
    ITellurApplication* app_ = nullptr;
};

class FakeFactory final : public IClassFactory {
  public:
    explicit FakeFactory(Record* r) : r_(r) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* m = new FakeModule(r_);
        HRESULT hr = m->QueryInterface(iid, out);
        m->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    Record* r_;
};

class LauncherTest : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        HKEY key;
        std::wstring path = std::wstring(kTestProgId) + L"\\CLSID";
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE,
                                    nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        wchar_t clsid[64];
        ::StringFromGUID2(kTestClsid, clsid, 64);
        ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid),
                         static_cast<DWORD>((wcslen(clsid) + 1) * sizeof(wchar_t)));
        ::RegCloseKey(key);
        ASSERT_EQ(::CoRegisterClassObject(kTestClsid, &factory_, CLSCTX_INPROC_SERVER,
                                          REGCLS_MULTIPLEUSE, &cookie_),
                  S_OK);
    }
    void TearDown() override {
        ::CoRevokeClassObject(cookie_);
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kTestProgId);
        HostTest::TearDown();
    }

    Record record_;
    FakeFactory factory_{&record_};
    DWORD cookie_ = 0;
};

TEST_F(LauncherTest, CreatesTheModuleOnceAndOpensItsWindowEachTime) {
    WorkbenchLauncher launcher(kTestProgId);
    LaunchResult r = launcher.Open(app_);
    ASSERT_EQ(r.code, S_OK) << r.step.size();
    EXPECT_EQ(record_.inits, 1);
    EXPECT_EQ(record_.opens, 1);
    EXPECT_EQ(reinterpret_cast<HWND>(static_cast<INT_PTR>(record_.handle)), frame_);

    EXPECT_EQ(launcher.Open(app_).code, S_OK);
    EXPECT_EQ(record_.created, 1);
    EXPECT_EQ(record_.inits, 1);
    EXPECT_EQ(record_.opens, 2);

    // A failed call: its code, the call's name and the module's own description.
    record_.failNext = true;
    r = launcher.Open(app_);
    EXPECT_EQ(r.code, E_ACCESSDENIED);
    EXPECT_EQ(r.step, L"OpenMainModelessDialog");
    EXPECT_EQ(r.description, L"Окно не создано");
    std::wstring text = LaunchErrorText(r);
    EXPECT_NE(text.find(L"0x80070005"), std::wstring::npos);
    EXPECT_NE(text.find(L"Окно не создано"), std::wstring::npos);

    launcher.Release();
    EXPECT_EQ(record_.alive, 0);
}

TEST_F(LauncherTest, AnUnknownProgIdIsReportedNotCrashed) {
    WorkbenchLauncher launcher(L"Tellur.NoSuchModule");
    LaunchResult r = launcher.Open(app_);
    EXPECT_TRUE(FAILED(r.code));
    EXPECT_EQ(r.step, L"CLSIDFromProgID");
    EXPECT_NE(r.description.find(L"Tellur.NoSuchModule"), std::wstring::npos);
    EXPECT_FALSE(launcher.loaded());
    EXPECT_EQ(record_.created, 0);
}

}  // namespace
}  // namespace tellur::testing
