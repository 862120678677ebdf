#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

#include "xml_test_util.h"

namespace zeph::xml::testing {
namespace {

TEST(XmlModel, NodeKindsAndNames) {
    auto doc = Parse("<?xml version='1.0'?><!--c--><R>t<![CDATA[d]]></R>");
    EXPECT_EQ(doc->NodeType(), kDocumentNode);
    EXPECT_EQ(doc->NodeName(), "#document");
    auto kids = doc->ChildNodes();
    EXPECT_EQ(kids->Item(0)->NodeName(), "xml");
    EXPECT_EQ(kids->Item(1)->NodeType(), kCommentNode);
    auto r = doc->DocumentElement();
    EXPECT_EQ(r->NodeType(), kElementNode);
    EXPECT_EQ(r->ChildNodes()->Item(0)->NodeType(), kTextNode);
    EXPECT_EQ(r->ChildNodes()->Item(1)->NodeType(), kCDataNode);
    EXPECT_EQ(r->ParentNode(), static_cast<IXmlNode*>(doc.get()));
    EXPECT_EQ(CreateXmlDocument()->DocumentElement(), nullptr);
}

TEST(XmlModel, ItemOutsideTheListIsAnError) {
    auto doc = CreateXmlDocument("R");
    auto list = doc->ChildNodes();
    const std::string message =
        std::string(u8"Ошибка получения элемента списка: индекс выходит за пределы"_cp);
    for (int index : {-1, 2, 1000}) {
        try {
            list->Item(index);
            ADD_FAILURE() << index;
        } catch (const XmlError& e) {
            EXPECT_EQ(e.what(), message);
        }
    }
    EXPECT_THROW(doc->DocumentElement()->AttrName(0), XmlError);
}

TEST(XmlModel, LookupsByNameAndAttribute) {
    auto r = Parse("<R><S n='a' k='5'/><T/><S n='b' k='05' f='1'/><S n='c' k='x'/></R>")
                 ->DocumentElement();
    auto both = r->ElementsByName("S");
    ASSERT_EQ(both->Count(), 3);
    EXPECT_EQ(r->ElementByName("S")->GetAttr("n", ""), "a");
    EXPECT_EQ(both->Item(1)->GetAttr("n", ""), "b");
    EXPECT_EQ(r->ElementsByName("Missing")->Count(), 0);
    EXPECT_EQ(r->ElementByName("Missing"), nullptr);
    // The found nodes stay children of the element.
    EXPECT_EQ(both->Item(0)->ParentNode(), static_cast<IXmlNode*>(r.get()));

    EXPECT_EQ(r->ElementByAttr("S", "n", "b")->GetAttr("k", ""), "05");
    EXPECT_EQ(r->ElementByAttr("S", "n", "B"), nullptr);  // case-sensitive
    // An integer matches the first value that converts to it; "x" cannot be compared.
    EXPECT_EQ(r->ElementByAttr("S", "k", 5)->GetAttr("n", ""), "a");
    r->ElementByName("S")->SetAttr("k", "x");
    EXPECT_EQ(r->ElementByAttr("S", "k", 5)->GetAttr("n", ""), "b");
    EXPECT_EQ(r->ElementByAttr("S", "f", true)->GetAttr("n", ""), "b");
    EXPECT_EQ(r->ElementByAttr("T", "n", "a"), nullptr);
}

TEST(XmlModel, TypedAttributes) {
    auto e = Parse(
                 "<e Empty='' Name='n' I=' 1' J='-12' T='tRUE' F='false' N='2.5' Z='0' "
                 "W='Maximized' Big='2147483648'/>")
                 ->DocumentElement();
    EXPECT_EQ(e->GetAttr("Empty", "none"), "");
    EXPECT_EQ(e->GetAttr("Missing", "none"), "none");
    EXPECT_EQ(e->GetIntAttr("J", 0), -12);
    EXPECT_EQ(e->GetIntAttr("Missing", 7), 7);
    EXPECT_THROW(e->GetIntAttr("Empty", 0), XmlError);
    EXPECT_THROW(e->GetIntAttr("I", 0), XmlError);
    EXPECT_THROW(e->GetIntAttr("Big", 0), XmlError);
    EXPECT_TRUE(e->GetBoolAttr("T", false));
    EXPECT_FALSE(e->GetBoolAttr("F", true));
    EXPECT_TRUE(e->GetBoolAttr("N", false));
    EXPECT_FALSE(e->GetBoolAttr("Z", true));
    EXPECT_TRUE(e->GetBoolAttr("Missing", true));
    EXPECT_THROW(e->GetBoolAttr("Empty", false), XmlError);
    try {
        e->GetBoolAttr("Name", false);
        ADD_FAILURE();
    } catch (const XmlError& err) {
        EXPECT_EQ(err.what(), std::string(u8"\"n\" не является логическим значением"_cp));
    }
    // Values set in memory keep their type until written.
    e->SetIntAttr("I", 42);
    e->SetBoolAttr("B", true);
    EXPECT_EQ(e->GetAttr("I", ""), "42");
    EXPECT_EQ(e->GetIntAttr("B", 0), 1);
    EXPECT_EQ(e->FindAttr("I")->type(), XmlValue::Type::Integer);
    EXPECT_EQ(e->FindAttr("J")->type(), XmlValue::Type::Text);
}

TEST(XmlModel, EnumAttribute) {
    auto e = Parse("<Window State='maximized' Bad='Huge'/>")->DocumentElement();
    EXPECT_EQ(e->GetEnumAttr("State", {"Normal", "Minimized", "Maximized"}, 0), 2);
    EXPECT_EQ(e->GetEnumAttr("Missing", {"Normal", "Minimized", "Maximized"}, 1), 1);
    try {
        e->GetEnumAttr("Bad", {"Normal", "Minimized", "Maximized"}, 0);
        ADD_FAILURE();
    } catch (const XmlError& err) {
        EXPECT_EQ(err.what(),
                  std::string(u8"Неверное значение атрибута \"Bad\" элемента \"Window\".\r\n"
                              u8"Допустимые значения:\r\nNormal\r\nMinimized\r\nMaximized"_cp));
    }
}

TEST(XmlModel, ChildListsAndParentLinks) {
    auto doc = CreateXmlDocument("R");
    auto r = doc->DocumentElement();
    auto a = r->AppendElement("A");
    auto b = r->AppendElement("B");
    auto stranger = CreateXmlDocument("X")->DocumentElement();
    EXPECT_EQ(r->RemoveChild(stranger), -1);
    EXPECT_EQ(r->ChildNodes()->Count(), 2);
    EXPECT_EQ(r->RemoveChild(b), 1);
    EXPECT_EQ(b->ParentNode(), nullptr);
    EXPECT_EQ(r->RemoveChild(b), -1);

    // A node appended to a second parent stays listed by the first; its link names the newer.
    auto other = CreateXmlDocument("Other");
    auto o = other->DocumentElement();
    o->AppendChild(a);
    EXPECT_EQ(r->ChildNodes()->Count(), 1);
    EXPECT_EQ(o->ChildNodes()->Count(), 1);
    EXPECT_EQ(a->ParentNode(), static_cast<IXmlNode*>(o.get()));
    EXPECT_EQ(r->RemoveChild(a), 0);
    EXPECT_EQ(a->ParentNode(), static_cast<IXmlNode*>(o.get()));  // still the newer parent's
    EXPECT_EQ(other->GetXml(),
              "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<Other>"
              "\r\n\t<A/>\r\n</Other>");

    // A live list keeps its owner, and so the children's parent link; once both are gone, the
    // link is cleared.
    auto list = o->ChildNodes();
    const IXmlNode* owner = o.get();
    other.reset();
    o.reset();
    EXPECT_EQ(list->Count(), 1);
    EXPECT_EQ(a->ParentNode(), owner);
    list.reset();
    EXPECT_EQ(a->ParentNode(), nullptr);

    r->RemoveAllChilds();
    EXPECT_EQ(r->ChildNodes()->Count(), 0);
    auto again = doc->NewDocument("1.0", "utf-8", "New");
    EXPECT_EQ(doc->GetXml(), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<New/>");
}

TEST(XmlModel, CyclesAndDocumentsCannotBeAppended) {
    auto doc = CreateXmlDocument("R");
    auto r = doc->DocumentElement();
    auto a = r->AppendElement("A");
    auto b = a->AppendElement("B");
    EXPECT_THROW(b->AppendChild(r), XmlError);
    EXPECT_THROW(a->AppendChild(a), XmlError);
    EXPECT_THROW(a->AppendChild(doc), XmlError);
    // Through a node listed by two parents.
    auto c = CreateXmlDocument("C")->DocumentElement();
    c->AppendChild(b);  // b: listed by a and c, parent link c
    EXPECT_THROW(b->AppendChild(r), XmlError);
    EXPECT_NO_THROW(b->AppendChild(c->AppendElement("Leaf")));
}

#ifdef _WIN32
// A thread's entry with the calling convention the 32-bit system calls it with.
DWORD WINAPI RunGiven(void* fn) {
    reinterpret_cast<void (*)()>(fn)();
    return 0;
}
#endif

// Runs `fn` on a thread with a 1 MiB stack, the default of the host's threads.
void OnSmallStack(void (*fn)()) {
#ifdef _WIN32
    HANDLE h = ::CreateThread(nullptr, 1 << 20, &RunGiven, reinterpret_cast<void*>(fn),
                              STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    ASSERT_NE(h, nullptr);
    ::WaitForSingleObject(h, INFINITE);
    ::CloseHandle(h);
#else
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 1 << 20);
    pthread_t t;
    ASSERT_EQ(pthread_create(
                  &t, &attr,
                  [](void* f) -> void* {
                      reinterpret_cast<void (*)()>(f)();
                      return nullptr;
                  },
                  reinterpret_cast<void*>(fn)),
              0);
    pthread_join(t, nullptr);
    pthread_attr_destroy(&attr);
#endif
}

TEST(XmlModel, MillionDeepNestingOnSmallStack) {
    static bool parsed, write_failed, built;
    OnSmallStack([] {
        constexpr int kDepth = 1000000;
        std::string text;
        text.reserve(kDepth * 7);
        for (int i = 0; i < kDepth; ++i) text += "<a>";
        for (int i = 0; i < kDepth; ++i) text += "</a>";
        auto doc = CreateXmlDocument();
        doc->LoadFromBytes(text);
        parsed = doc->DocumentElement() != nullptr;
        try {
            doc->GetXml();
        } catch (const XmlError& e) {
            write_failed = std::string(e.what()).find("1000") != std::string::npos;
        }
        doc.reset();  // frees a million levels
        // A chain built through the interface, freed from the root while its leaf is held.
        auto root = CreateXmlDocument("R")->DocumentElement();
        XmlRef<IXmlElement> e = root;
        for (int i = 0; i < kDepth; ++i) e = e->AppendElement("a");
        root.reset();
        built = e->ParentNode() == nullptr;  // the chain above it is gone
        e.reset();
    });
    EXPECT_TRUE(parsed);
    EXPECT_TRUE(write_failed);
    EXPECT_TRUE(built);
}

TEST(XmlModel, WritesUpToTheDepthLimit) {
    std::string text;
    for (std::size_t i = 0; i < kMaxWriteDepth; ++i) text += "<a>";
    for (std::size_t i = 0; i < kMaxWriteDepth; ++i) text += "</a>";
    auto doc = Parse(text);
    auto back = Parse(doc->GetXml());
    EXPECT_EQ(back->GetXml(), doc->GetXml());
}

// Nodes come from chunks shared by whole documents; a node that outlives its document, alone or
// listed by another document, must stay intact however much is loaded and freed meanwhile.
TEST(XmlModel, NodesOutliveTheirDocumentsThroughChurn) {
    std::string big = "<R>";
    for (int i = 0; i < 3000; ++i)
        big += "<E Name='element number " + std::to_string(i) + "' Kind='k'><P/><P/></E>";
    big += "</R>";
    std::vector<XmlRef<IXmlElement>> kept;
    auto keeper = CreateXmlDocument("Keeper");
    auto shelf = keeper->DocumentElement();
    for (int round = 0; round < 20; ++round) {
        auto doc = Parse(big);
        auto root = doc->DocumentElement();
        XmlRef<IXmlElement> e(
            dynamic_cast<IXmlElement*>(root->ChildNodes()->Item(round * 97).get()));
        ASSERT_TRUE(e);
        if (round % 2)
            shelf->AppendChild(e);  // listed by a second document
        else
            kept.push_back(e);
        // Grows the element's arrays after its document is gone.
        doc.reset();
        root.reset();
        e->SetAttr("Round", std::to_string(round));
        e->AppendElement("Late");
    }
    for (int i = 0; i < 20; ++i) Parse(big);  // reuse of everything freed
    int round = 0;
    for (const auto& e : kept) {
        EXPECT_EQ(e->GetAttr("Name", ""), "element number " + std::to_string(round * 97));
        EXPECT_EQ(e->GetAttr("Round", ""), std::to_string(round));
        EXPECT_EQ(e->ChildNodes()->Count(), 3);
        round += 2;
    }
    auto shelved = shelf->ChildNodes();
    ASSERT_EQ(shelved->Count(), 10);
    EXPECT_EQ(shelved->Item(9)->GetXml(),
              "\r\n<E Name=\"element number 1843\" Kind=\"k\" Round=\"19\">"
              "\r\n\t<P/>\r\n\t<P/>\r\n\t<Late/>\r\n</E>");
    kept.clear();
    EXPECT_EQ(shelved->Item(0)->GetAttr("Round", ""), "1");
}

// A document made on one thread may be used and freed on another after that thread ended.
TEST(XmlModel, DocumentsMoveBetweenThreads) {
    XmlRef<IXmlDocument> doc;
    std::thread([&] {
        std::string text = "<R>";
        for (int i = 0; i < 2000; ++i) text += "<E N='" + std::to_string(i) + "'/>";
        doc = Parse(text + "</R>");
    }).join();
    auto root = doc->DocumentElement();
    EXPECT_EQ(root->ChildNodes()->Count(), 2000);
    EXPECT_EQ(root->ChildNodes()->Item(1999)->GetAttr("N", ""), "1999");
    root->AppendElement("Main");
    doc.reset();
    EXPECT_EQ(root->ChildNodes()->Count(), 2001);
}

// Values up to 16 bytes live inside the value, longer ones apart; copies, moves and assignments
// of both kinds keep their own text, also once the document they came from is gone.
TEST(XmlModel, AttributeValuesShortAndLong) {
    const std::string exact(16, 'x'), longer(17, 'y'), huge(5000, 'z');
    const std::string with_nul("a\0b", 3);
    auto doc = CreateXmlDocument("R");
    auto root = doc->DocumentElement();
    for (const std::string* s : {&exact, &longer, &huge, &with_nul}) {
        root->SetAttr("V", *s);
        EXPECT_EQ(root->GetAttr("V", "-"), *s);
        EXPECT_EQ(root->FindAttr("V")->Raw(), *s);
    }
    XmlValue kept = *root->FindAttr("V");
    root->SetAttr("V", longer);
    XmlValue copy = *root->FindAttr("V");
    doc.reset();
    root.reset();
    EXPECT_EQ(kept.Raw(), with_nul);
    EXPECT_EQ(copy.Raw(), longer);

    XmlValue a(huge), b(exact), c = XmlValue::Bytes(longer);
    EXPECT_EQ(c.type(), XmlValue::Type::Bytes);
    EXPECT_EQ(c.ToText(), longer);
    b = a;  // long over short
    EXPECT_EQ(b.Raw(), huge);
    a = XmlValue(exact);  // short over long
    EXPECT_EQ(a.Raw(), exact);
    XmlValue& self = b;
    b = self;
    EXPECT_EQ(b.Raw(), huge);
    XmlValue moved(std::move(b));
    EXPECT_EQ(moved.Raw(), huge);
    EXPECT_EQ(b.type(), XmlValue::Type::Empty);  // NOLINT: a moved-from value is empty
    EXPECT_TRUE(b.Raw().empty());
    c = std::move(moved);
    EXPECT_EQ(c.Raw(), huge);
    c = XmlValue(7);
    EXPECT_EQ(c.ToInt(), 7);
    EXPECT_TRUE(c.Raw().empty());
    EXPECT_EQ(XmlValue(longer).AsInt64(), 0);
    EXPECT_TRUE(XmlValue("").Matches(XmlValue(std::string())));
}

// Long values of a document loaded on one thread are freed on another, some of them after the
// document, while that thread loads more.
TEST(XmlModel, LongValuesFreedOnOtherThreads) {
    std::string text = "<R>";
    for (int i = 0; i < 3000; ++i)
        text += "<E N='a value long enough to be kept apart " + std::to_string(i) + "'/>";
    text += "</R>";
    std::vector<XmlRef<IXmlDocument>> docs(4);
    std::vector<XmlValue> values;
    for (auto& doc : docs) doc = Parse(text);
    for (auto& doc : docs)
        values.push_back(*doc->DocumentElement()->ChildNodes()->Item(7)->FindAttr("N"));
    std::thread([&] {
        for (auto& doc : docs) {
            doc.reset();
            Parse(text);
        }
    }).join();
    for (const auto& v : values) EXPECT_EQ(v.Raw(), "a value long enough to be kept apart 7");
}

}  // namespace
}  // namespace zeph::xml::testing
