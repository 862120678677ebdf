// The automation object model through COM: the binary slots add-in modules call, selection
// operations, late-bound calls as scripts make them, and the failures they see.
#include <gtest/gtest.h>

#include <cwchar>
#include <filesystem>

#include "host/options.h"
#include "host_fixture.h"

namespace tellur::testing {
namespace {

using zeph::win::ComPtr;

#define EXPECT_FAILED(expr) EXPECT_TRUE(FAILED(expr))

// Calls vtable slot `slot` of `object` with the given arguments, as a caller compiled against
// nothing but the slot numbers would.
template <typename... Args>
HRESULT CallSlot(void* object, int slot, Args... args) {
    using Fn = HRESULT(STDMETHODCALLTYPE*)(void*, Args...);
    void** vtable = *static_cast<void***>(object);
    return reinterpret_cast<Fn>(vtable[slot])(object, args...);
}

// The vtable offset the type library declares for a member of an interface.
int DeclaredSlot(REFIID iid, const wchar_t* name) {
    ITypeInfo* dispatch = nullptr;
    if (FAILED(HostTypeLibrary()->GetTypeInfoOfGuid(iid, &dispatch))) return -1;
    HREFTYPE ref;
    ITypeInfo* vtable = nullptr;
    dispatch->GetRefTypeOfImplType(-1, &ref);
    dispatch->GetRefTypeInfo(ref, &vtable);
    dispatch->Release();
    TYPEATTR* attr = nullptr;
    vtable->GetTypeAttr(&attr);
    int slot = -1;
    for (int i = 0; i < attr->cFuncs && slot < 0; ++i) {
        FUNCDESC* f = nullptr;
        vtable->GetFuncDesc(i, &f);
        BSTR fname = nullptr;
        vtable->GetDocumentation(f->memid, &fname, nullptr, nullptr, nullptr);
        if (TakeBstr(fname) == name) slot = f->oVft / static_cast<int>(sizeof(void*));
        vtable->ReleaseFuncDesc(f);
    }
    vtable->ReleaseTypeAttr(attr);
    vtable->Release();
    return slot;
}

TEST_F(HostTest, FixedOperationsSitInTheirSlots) {
    EXPECT_EQ(DeclaredSlot(IID_ITellurApplication, L"GetMainWindow"), 7);
    EXPECT_EQ(DeclaredSlot(IID_ITellurApplication, L"GetSelection"), 8);
    EXPECT_EQ(DeclaredSlot(IID_ITellurApplication, L"GetDataFolder"), 19);
    EXPECT_EQ(DeclaredSlot(IID_ITellurMainWindow, L"GetWindowHandle"), 7);
    EXPECT_EQ(DeclaredSlot(IID_ITellurSelection, L"GetSelectedCount"), 7);
    EXPECT_EQ(DeclaredSlot(IID_ITellurSelection, L"GetSelectedID"), 15);

    // The same calls through the raw slots, as the module makes them.
    IUnknown* window = nullptr;
    ASSERT_EQ(CallSlot(app_, 7, &window), S_OK);
    LONG handle = 0;
    ASSERT_EQ(CallSlot(window, 7, &handle), S_OK);
    EXPECT_EQ(reinterpret_cast<HWND>(static_cast<INT_PTR>(handle)), frame_);
    window->Release();

    host_->map.SetSelection({host_->map.Get(L"L1"), host_->map.Get(L"P2")});
    IUnknown* selection = nullptr;
    ASSERT_EQ(CallSlot(app_, 8, &selection), S_OK);
    LONG count = 0;
    ASSERT_EQ(CallSlot(selection, 7, &count), S_OK);
    EXPECT_EQ(count, 2);
    BSTR id = nullptr;
    ASSERT_EQ(CallSlot(selection, 15, LONG{1}, &id), S_OK);
    EXPECT_EQ(TakeBstr(id), L"P2");
    selection->Release();

    BSTR folder = nullptr;
    ASSERT_EQ(CallSlot(app_, 19, &folder), S_OK);
    EXPECT_EQ(TakeBstr(folder), L"C:\\data\\");
    // Slot 20, the last own operation, is Redraw; nothing may follow it.
    EXPECT_EQ(DeclaredSlot(IID_ITellurApplication, L"Redraw"), 20);
}

TEST(DataFolder, EndsInASeparatorAndExists) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring base =
        std::wstring(temp) + L"tellur-folder-" + std::to_wstring(::GetCurrentProcessId());
    for (const std::wstring& given : {base + L"\\нижняя", base + L"\\slash\\"}) {
        std::wstring folder = PrepareDataFolder(given);
        ASSERT_FALSE(folder.empty());
        EXPECT_EQ(folder.back(), L'\\') << folder;
        EXPECT_EQ(folder.find(L"\\\\", 2), std::wstring::npos) << folder;
        EXPECT_TRUE(std::filesystem::is_directory(folder)) << folder;
    }
    std::filesystem::remove_all(base);
    // The per-user default ends in Tellur\ too.
    std::wstring folder = PrepareDataFolder(L"");
    EXPECT_GE(folder.size(), 8u);
    EXPECT_EQ(folder.substr(folder.size() - 8), L"\\Tellur\\");
}

TEST_F(HostTest, SelectionOperations) {
    ComPtr<ITellurSelection> sel;
    ASSERT_EQ(app_->GetSelection(sel.put()), S_OK);
    BSTR p1 = ::SysAllocString(L"P1");
    BSTR a1 = ::SysAllocString(L"A1");
    BSTR nope = ::SysAllocString(L"P9");
    ASSERT_EQ(sel->Add(a1), S_OK);
    ASSERT_EQ(sel->Add(p1), S_OK);
    ASSERT_EQ(sel->Add(a1), S_OK);  // already selected: no duplicate
    LONG count = 0;
    sel->GetSelectedCount(&count);
    EXPECT_EQ(count, 2);
    BSTR ids = nullptr;
    sel->get_IDs(&ids);
    EXPECT_EQ(TakeBstr(ids), L"A1,P1");  // in the order of selection

    VARIANT_BOOL in = VARIANT_FALSE;
    sel->Contains(p1, &in);
    EXPECT_EQ(in, VARIANT_TRUE);
    sel->Contains(nope, &in);
    EXPECT_EQ(in, VARIANT_FALSE);

    // Unknown identifiers and bad indexes fail with a description, and leave no result behind.
    EXPECT_EQ(sel->Add(nope), E_INVALIDARG);
    EXPECT_NE(ErrorDescription().find(L"P9"), std::wstring::npos);
    BSTR id = reinterpret_cast<BSTR>(1);
    EXPECT_FAILED(sel->GetSelectedID(2, &id));
    EXPECT_EQ(id, nullptr);
    EXPECT_FALSE(ErrorDescription().empty());
    ComPtr<ITellurMapObject> obj;
    EXPECT_FAILED(sel->get_Item(-1, obj.put()));

    ASSERT_EQ(sel->Remove(p1), S_OK);
    ASSERT_EQ(sel->Remove(p1), S_OK);  // not selected: nothing to do
    sel->get_Count(&count);
    EXPECT_EQ(count, 1);

    ASSERT_EQ(sel->SelectByKind(okPoint), S_OK);
    sel->get_IDs(&ids);
    EXPECT_EQ(TakeBstr(ids), L"P1,P2");
    ASSERT_EQ(sel->Invert(), S_OK);
    sel->get_IDs(&ids);
    EXPECT_EQ(TakeBstr(ids), L"L1,A1");
    EXPECT_EQ(sel->SelectByKind(static_cast<TellurObjectKind>(7)), E_INVALIDARG);
    ASSERT_EQ(sel->SelectAll(), S_OK);
    sel->GetSelectedCount(&count);
    EXPECT_EQ(count, 4);
    ASSERT_EQ(sel->Clear(), S_OK);
    sel->GetSelectedCount(&count);
    EXPECT_EQ(count, 0);
    ::SysFreeString(p1);
    ::SysFreeString(a1);
    ::SysFreeString(nope);
}

// --- Late binding, the way script engines call -------------------------------------------

DISPID Id(IDispatch* d, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_EQ(d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
    return id;
}

// Arguments are given left to right; DISPPARAMS wants them right to left.
HRESULT Call(IDispatch* d, const wchar_t* name, WORD flags, std::vector<VARIANT> args,
             VARIANT* result, EXCEPINFO* excep = nullptr) {
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    DISPID put = DISPID_PROPERTYPUT;
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    EXCEPINFO local{};
    UINT bad = 0;
    if (result) ::VariantInit(result);
    HRESULT hr = d->Invoke(Id(d, name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                           excep ? excep : &local, &bad);
    for (VARIANT& v : args) ::VariantClear(&v);
    if (!excep) {
        ::SysFreeString(local.bstrDescription);
        ::SysFreeString(local.bstrSource);
        ::SysFreeString(local.bstrHelpFile);
    }
    return hr;
}

VARIANT Str(const wchar_t* s) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocString(s);
    return v;
}
VARIANT Int(int i) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = i;
    return v;
}

constexpr WORD kGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

TEST_F(HostTest, ScriptLikeCallsChangeTheMap) {
    // Application.GetMap().GetObject("P1").Move 10, 5
    IDispatch* app = app_;
    VARIANT map, obj, out;
    ASSERT_EQ(Call(app, L"GetMap", kGet, {}, &map), S_OK);
    ASSERT_EQ(map.vt, VT_DISPATCH);
    ASSERT_EQ(Call(map.pdispVal, L"GetObject", kGet, {Str(L"P1")}, &obj), S_OK);
    ASSERT_EQ(obj.vt, VT_DISPATCH);
    ASSERT_EQ(Call(obj.pdispVal, L"Move", DISPATCH_METHOD, {Int(10), Int(5)}, nullptr), S_OK);
    EXPECT_EQ(host_->map.Get(L"P1")->vertices[0], (Vertex{20, 15}));

    // Members of the derived interface and of its base, by name, on one object.
    ASSERT_EQ(Call(obj.pdispVal, L"X", DISPATCH_PROPERTYGET, {}, &out), S_OK);
    ASSERT_EQ(out.vt, VT_R8);
    EXPECT_EQ(out.dblVal, 20);
    ASSERT_EQ(Call(obj.pdispVal, L"Name", DISPATCH_PROPERTYPUT, {Str(L"Новый колодец")}, nullptr),
              S_OK);
    EXPECT_EQ(host_->map.Get(L"P1")->name, L"Новый колодец");

    // A property with a parameter, read as VBScript does and as a JScript call.
    ASSERT_EQ(Call(obj.pdispVal, L"Attribute", DISPATCH_PROPERTYGET, {Str(L"Глубина")}, &out),
              S_OK);
    ASSERT_EQ(out.vt, VT_BSTR);
    EXPECT_STREQ(out.bstrVal, L"15");
    ::VariantClear(&out);
    ASSERT_EQ(Call(obj.pdispVal, L"Attribute", DISPATCH_METHOD, {Str(L"Глубина")}, &out), S_OK);
    ::VariantClear(&out);
    ASSERT_EQ(Call(obj.pdispVal, L"Attribute", DISPATCH_PROPERTYPUT, {Str(L"Глубина"), Str(L"20")},
                   nullptr),
              S_OK);
    EXPECT_EQ(host_->map.Get(L"P1")->attributes[L"Глубина"], L"20");

    // A plain property read written as a call (JScript's Count()).
    ASSERT_EQ(Call(map.pdispVal, L"Count", DISPATCH_METHOD, {}, &out), S_OK);
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, 4);

    // Style through a property of interface type; an enumeration value from a number.
    VARIANT style;
    ASSERT_EQ(Call(obj.pdispVal, L"Style", DISPATCH_PROPERTYGET, {}, &style), S_OK);
    ASSERT_EQ(Call(style.pdispVal, L"LineStyle", DISPATCH_PROPERTYPUT, {Int(lsDash)}, nullptr),
              S_OK);
    EXPECT_EQ(host_->map.Get(L"P1")->style.lineStyle, LineStyle::Dash);
    ::VariantClear(&style);

    // Adding an object with its coordinates as text; selecting it by a property.
    VARIANT added;
    ASSERT_EQ(Call(map.pdispVal, L"AddObject", kGet,
                   {Int(okLine), Str(L"L2"), Str(L"Тропа"), Str(L"0 0, 5.5 -2, 10 0")}, &added),
              S_OK);
    ASSERT_EQ(added.vt, VT_DISPATCH);
    VARIANT on;
    on.vt = VT_BOOL;
    on.boolVal = VARIANT_TRUE;
    ASSERT_EQ(Call(added.pdispVal, L"Selected", DISPATCH_PROPERTYPUT, {on}, nullptr), S_OK);
    EXPECT_EQ(host_->map.selection().size(), 1u);
    EXPECT_EQ(host_->map.Get(L"L2")->vertices[1], (Vertex{5.5, -2}));
    ::VariantClear(&added);

    ::VariantClear(&obj);
    ::VariantClear(&map);
}

TEST_F(HostTest, TheWindowCaptionComesBackAsWritten) {
    IDispatch* app = app_;
    VARIANT window, out;
    ASSERT_EQ(Call(app, L"GetMainWindow", kGet, {}, &window), S_OK);
    ASSERT_EQ(window.vt, VT_DISPATCH);
    for (const wchar_t* caption : {L"Теллур — карта района", L""}) {
        ASSERT_EQ(Call(window.pdispVal, L"Caption", DISPATCH_PROPERTYPUT, {Str(caption)}, nullptr),
                  S_OK);
        ASSERT_EQ(Call(window.pdispVal, L"Caption", DISPATCH_PROPERTYGET, {}, &out), S_OK);
        ASSERT_EQ(out.vt, VT_BSTR);
        EXPECT_STREQ(out.bstrVal ? out.bstrVal : L"", caption);
        ::VariantClear(&out);
    }
    ::VariantClear(&window);
}

TEST_F(HostTest, ScriptErrorsCarryTheirDescription) {
    ComPtr<ITellurMap> map;
    ASSERT_EQ(app_->GetMap(map.put()), S_OK);
    EXCEPINFO excep{};
    VARIANT out;
    EXPECT_EQ(Call(map.get(), L"GetObject", kGet, {Str(L"Q7")}, &out, &excep), DISP_E_EXCEPTION);
    ASSERT_NE(excep.bstrDescription, nullptr);
    EXPECT_NE(std::wstring(excep.bstrDescription).find(L"Q7"), std::wstring::npos);
    EXPECT_EQ(excep.scode, E_INVALIDARG);
    ::SysFreeString(excep.bstrDescription);
    ::SysFreeString(excep.bstrSource);
    ::SysFreeString(excep.bstrHelpFile);

    // FindObject is the quiet lookup: Nothing, no error.
    ASSERT_EQ(Call(map.get(), L"FindObject", kGet, {Str(L"Q7")}, &out), S_OK);
    EXPECT_TRUE(out.vt == VT_DISPATCH && out.pdispVal == nullptr);

    EXPECT_EQ(Call(map.get(), L"AddObject", kGet,
                   {Int(okPolygon), Str(L"A2"), Str(L""), Str(L"0 0, 1 1")}, &out),
              DISP_E_EXCEPTION);  // a polygon needs three vertices
    EXPECT_EQ(Call(map.get(), L"AddObject", kGet, {Int(okPoint), Str(L"P1"), Str(L""), Str(L"1 1")},
                   &out),
              DISP_E_EXCEPTION);  // identifiers are unique
    EXPECT_EQ(host_->map.features().size(), 4u);
}

TEST_F(HostTest, ObjectsRemovedFromTheMapRefuseChanges) {
    ComPtr<ITellurMap> map;
    app_->GetMap(map.put());
    ComPtr<ITellurMapObject> obj;
    BSTR id = ::SysAllocString(L"A1");
    ASSERT_EQ(map->GetObject(id, obj.put()), S_OK);
    host_->map.Select(host_->map.Get(L"A1"), true);
    ASSERT_EQ(map->RemoveObject(id), S_OK);
    EXPECT_TRUE(host_->map.selection().empty());
    // Reading still works; a change would be lost, so it is an error.
    BSTR name = nullptr;
    EXPECT_EQ(obj->get_Name(&name), S_OK);
    EXPECT_EQ(TakeBstr(name), L"Поле");
    EXPECT_EQ(obj->Move(1, 1), E_INVALIDARG);
    EXPECT_FAILED(obj->put_Selected(VARIANT_TRUE));
    EXPECT_TRUE(host_->map.selection().empty());
    ::SysFreeString(id);
}

TEST_F(HostTest, ObjectsAnswerTheirOwnKindsInterface) {
    ComPtr<ITellurMap> map;
    app_->GetMap(map.put());
    ComPtr<ITellurMapObject> obj;
    BSTR id = ::SysAllocString(L"A1");
    ASSERT_EQ(map->GetObject(id, obj.put()), S_OK);
    ::SysFreeString(id);
    ComPtr<ITellurPolygon> polygon;
    ComPtr<ITellurPolyline> line;
    ComPtr<ITellurPoint> point;
    ASSERT_EQ(obj.As(&polygon), S_OK);
    ASSERT_EQ(obj.As(&line), S_OK);
    EXPECT_EQ(obj.As(&point), E_NOINTERFACE);
    double area = 0, length = 0;
    polygon->get_Area(&area);
    polygon->get_Length(&length);  // the perimeter, through the base interface
    EXPECT_EQ(area, 1600);
    EXPECT_EQ(length, 160);
    VARIANT_BOOL inside;
    polygon->Contains(80, 20, &inside);
    EXPECT_EQ(inside, VARIANT_TRUE);
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(obj.As(&support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ITellurPolygon), S_OK);
}

TEST_F(HostTest, CallsAfterTheWindowIsGoneFailCleanly) {
    ComPtr<ITellurApplication> app(app_);
    ComPtr<ITellurMap> map;
    app->GetMap(map.put());
    window_.reset();
    ITellurMainWindow* w = reinterpret_cast<ITellurMainWindow*>(1);
    EXPECT_EQ(app->GetMainWindow(&w), E_UNEXPECTED);
    EXPECT_EQ(w, nullptr);
    EXPECT_EQ(map->Redraw(), E_UNEXPECTED);
    LONG count = 0;
    EXPECT_EQ(map->get_Count(&count), S_OK);  // the map itself stays readable
    EXPECT_EQ(count, 4);
}

}  // namespace
}  // namespace tellur::testing
