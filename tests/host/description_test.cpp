// TellurTlb.xml, which add-in modules read for completion and constants, must describe exactly
// the type library that Tellur.exe serves: every interface, enumeration and member, and nothing
// else.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/wide.h"
#include "host/automation.h"
#include "text/cp1251.h"
#include "xml/xml.h"

namespace tellur {
namespace {

// One entry as both sides describe it, rendered as comparable text lines.
struct Entry {
    std::string base;  // "" for enumerations
    std::vector<std::string> members;
};
using Model = std::map<std::string, Entry>;

std::string Narrow(BSTR b) {
    std::string s = zeph::win::Narrow(std::wstring(b ? b : L"", b ? ::SysStringLen(b) : 0));
    ::SysFreeString(b);
    return s;
}

// --- From the XML ---------------------------------------------------------------------------

Model FromDescription(const std::string& path) {
    using namespace zeph::xml;
    Model model;
    XmlRef<IXmlDocument> doc = LoadXmlDocument(path);
    XmlRef<IXmlNodeList> entries = doc->DocumentElement()->ChildNodes();
    for (int i = 0; i < entries->Count(); ++i) {
        XmlRef<IXmlNode> e = entries->Item(i);
        if (e->NodeType() != kElementNode) continue;
        std::string name = e->GetAttr("name", "error");
        EXPECT_EQ(model.count(name), 0u) << "entry described twice: " << name;
        Entry& entry = model[name];
        entry.base = e->NodeName() == "enum" ? "" : e->GetAttr("base", "IDispatch");
        XmlRef<IXmlNodeList> members = e->ChildNodes();
        for (int j = 0; j < members->Count(); ++j) {
            XmlRef<IXmlNode> m = members->Item(j);
            std::string kind = m->NodeName();
            std::string line = kind + " " + m->GetAttr("name", "error");
            if (kind == "const") {
                line += "=" + m->GetAttr("value", "");
            } else if (kind == "property") {
                line += ":" + m->GetAttr("type", "") + " " + m->GetAttr("access", "");
            } else if (kind == "method") {
                line += ":" + m->GetAttr("return", "");
            } else {
                ADD_FAILURE() << "unexpected member element " << kind << " in " << name;
            }
            XmlRef<IXmlNodeList> params = m->ChildNodes();
            line += " (";
            for (int k = 0; k < params->Count(); ++k) {
                XmlRef<IXmlNode> p = params->Item(k);
                line += p->GetAttr("name", "") + ": " + p->GetAttr("type", "") + ";";
            }
            entry.members.push_back(line + ")");
        }
    }
    return model;
}

// --- From the type library --------------------------------------------------------------------

std::string TypeName(ITypeInfo* info, const TYPEDESC& t) {
    switch (t.vt) {
        case VT_BSTR:
            return "String";
        case VT_I4:
            return "Long";
        case VT_R8:
            return "Double";
        case VT_BOOL:
            return "Boolean";
        case VT_PTR:
            return TypeName(info, *t.lptdesc);
        case VT_USERDEFINED: {
            ITypeInfo* ref = nullptr;
            if (FAILED(info->GetRefTypeInfo(t.hreftype, &ref))) return "?";
            BSTR name = nullptr;
            ref->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
            ref->Release();
            return Narrow(name);
        }
        default:
            return "vt" + std::to_string(t.vt);
    }
}

std::string EntryName(ITypeInfo* info) {
    BSTR name = nullptr;
    info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    return Narrow(name);
}

void ReadInterface(ITypeInfo* info, Entry* entry) {
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    HREFTYPE baseRef;
    ITypeInfo* base = nullptr;
    if (SUCCEEDED(info->GetRefTypeOfImplType(0, &baseRef)) &&
        SUCCEEDED(info->GetRefTypeInfo(baseRef, &base))) {
        entry->base = EntryName(base);
        base->Release();
    }
    // A property is one member however many accessors it has.
    std::map<std::string, size_t> properties;
    for (int i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* f = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &f), S_OK);
        BSTR names[16] = {};
        UINT count = 0;
        info->GetNames(f->memid, names, 16, &count);
        std::string name = Narrow(names[0]);
        std::string params, result;
        for (int p = 0; p < f->cParams; ++p) {
            const ELEMDESC& e = f->lprgelemdescParam[p];
            std::string type = TypeName(info, e.tdesc);
            std::string pname = p + 1 < static_cast<int>(count) ? Narrow(names[p + 1]) : "";
            names[p + 1] = nullptr;
            bool last = p + 1 == f->cParams;
            if (e.paramdesc.wParamFlags & PARAMFLAG_FRETVAL)
                result = type;
            else if (f->invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF) && last)
                result = type;  // the value a put accessor takes
            else
                params += pname + ": " + type + ";";
        }
        for (UINT n = f->cParams + 1; n < count; ++n) ::SysFreeString(names[n]);
        if (f->invkind == INVOKE_FUNC) {
            entry->members.push_back("method " + name + ":" + result + " (" + params + ")");
        } else {
            bool get = f->invkind == INVOKE_PROPERTYGET;
            auto it = properties.find(name);
            if (it == properties.end()) {
                properties[name] = entry->members.size();
                entry->members.push_back("property " + name + ":" + result + " " +
                                         (get ? "read" : "write") + " (" + params + ")");
            } else {
                std::string& line = entry->members[it->second];
                size_t at = line.find(get ? " write (" : " read (");
                EXPECT_NE(at, std::string::npos) << line;
                if (at != std::string::npos) line.replace(at, get ? 6 : 5, " readwrite");
            }
        }
        info->ReleaseFuncDesc(f);
    }
    info->ReleaseTypeAttr(attr);
}

void ReadEnum(ITypeInfo* info, Entry* entry) {
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    for (int i = 0; i < attr->cVars; ++i) {
        VARDESC* v = nullptr;
        ASSERT_EQ(info->GetVarDesc(i, &v), S_OK);
        BSTR name = nullptr;
        info->GetDocumentation(v->memid, &name, nullptr, nullptr, nullptr);
        VARIANT value;
        ::VariantInit(&value);
        ::VariantChangeType(&value, v->lpvarValue, 0, VT_I4);
        entry->members.push_back("const " + Narrow(name) + "=" + std::to_string(value.lVal) +
                                 " ()");
        info->ReleaseVarDesc(v);
    }
    info->ReleaseTypeAttr(attr);
}

Model FromTypeLibrary(ITypeLib* lib) {
    Model model;
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        ITypeInfo* info = nullptr;
        EXPECT_EQ(lib->GetTypeInfo(i, &info), S_OK);
        TYPEATTR* attr = nullptr;
        info->GetTypeAttr(&attr);
        TYPEKIND kind = attr->typekind;
        bool dual = attr->wTypeFlags & TYPEFLAG_FDUAL;
        info->ReleaseTypeAttr(attr);
        std::string name = EntryName(info);
        if (kind == TKIND_DISPATCH && dual) {
            HREFTYPE ref;
            ITypeInfo* vtable = nullptr;
            info->GetRefTypeOfImplType(-1, &ref);
            info->GetRefTypeInfo(ref, &vtable);
            ReadInterface(vtable, &model[name]);
            vtable->Release();
        } else if (kind == TKIND_INTERFACE) {
            ReadInterface(info, &model[name]);
        } else if (kind == TKIND_ENUM) {
            ReadEnum(info, &model[name]);
        } else {
            ADD_FAILURE() << "type " << name << " of kind " << kind << " has no description";
        }
        info->Release();
    }
    return model;
}

std::string Render(const Model& model) {
    std::ostringstream out;
    for (const auto& [name, entry] : model) {
        out << name << " : " << entry.base << "\n";
        for (const std::string& m : entry.members) out << "  " << m << "\n";
    }
    return out.str();
}

TEST(Description, DescribesExactlyTheTypeLibrary) {
    ASSERT_EQ(::CoInitialize(nullptr), S_OK);
    ITypeLib* lib = HostTypeLibrary();
    ASSERT_NE(lib, nullptr);
    Model fromLibrary = FromTypeLibrary(lib);
    Model fromFile = FromDescription(TELLUR_DESCRIPTION);
    EXPECT_EQ(fromLibrary.size(), 12u);  // 9 interfaces, 3 enumerations
    EXPECT_EQ(Render(fromFile), Render(fromLibrary));
    ::CoUninitialize();
}

TEST(Description, EveryConstantSurvivesThePrelude) {
    // The prelude declares constants in document order and skips a name whose "name=" already
    // occurs in the text so far (ignoring case); no host constant may fall to that rule.
    using namespace zeph::xml;
    XmlRef<IXmlDocument> doc = LoadXmlDocument(TELLUR_DESCRIPTION);
    XmlRef<IXmlNodeList> entries = doc->DocumentElement()->ChildNodes();
    std::string text;
    int declared = 0;
    for (int i = 0; i < entries->Count(); ++i) {
        XmlRef<IXmlNodeList> members = entries->Item(i)->ChildNodes();
        for (int j = 0; j < members->Count(); ++j) {
            XmlRef<IXmlNode> m = members->Item(j);
            if (m->NodeName() != "const") continue;
            std::string name = m->GetAttr("name", "CritError");
            EXPECT_EQ(zeph::text::ToUpper(text).find(zeph::text::ToUpper(name + "=")),
                      std::string::npos)
                << name;
            text += name + "=" + m->GetAttr("value", "") + ", ";
            ++declared;
        }
    }
    EXPECT_EQ(declared, 11);
}

TEST(Description, EveryInterfaceTypeNamesAnEntry) {
    // Completion follows property types from entry to entry; a type naming nothing would stop it.
    using namespace zeph::xml;
    XmlRef<IXmlDocument> doc = LoadXmlDocument(TELLUR_DESCRIPTION);
    XmlRef<IXmlNodeList> entries = doc->DocumentElement()->ChildNodes();
    std::map<std::string, bool> names;
    for (int i = 0; i < entries->Count(); ++i) names[entries->Item(i)->GetAttr("name", "")] = true;
    for (int i = 0; i < entries->Count(); ++i) {
        XmlRef<IXmlNodeList> members = entries->Item(i)->ChildNodes();
        for (int j = 0; j < members->Count(); ++j) {
            std::string type = members->Item(j)->GetAttr("type", "");
            if (type.rfind("ITellur", 0) == 0 || type.rfind("Tellur", 0) == 0) {
                EXPECT_TRUE(names.count(type)) << type;
            }
        }
    }
}

}  // namespace
}  // namespace tellur
