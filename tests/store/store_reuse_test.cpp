// Loads that reuse the document of bytes the store read or wrote before: they must give exactly
// what parsing the file gives, see every change made by someone else, and never share a tree.
#include <gmock/gmock.h>

#include "store_test_util.h"
#include "support/file_faults.h"
#include "xml/xml.h"

namespace zeph::store::testing {
namespace {

using ::testing::ElementsAre;

// The whole tree with each attribute's type and raw text, so that typed values left over from a
// save (an integer, a boolean) show up as different from the texts a parse gives.
void Dump(xml::IXmlNode& node, std::string& out) {
    out += std::to_string(node.NodeType()) + "<" + node.NodeName();
    for (int i = 0; i < node.AttrCount(); ++i) {
        const std::string name = node.AttrName(i);
        const xml::XmlValue& value = *node.FindAttr(name);
        out += " " + name + ":" + std::to_string(static_cast<int>(value.type())) + "=" +
               value.ToText();
    }
    out += ">";
    auto children = node.ChildNodes();
    for (int i = 0; i < children->Count(); ++i) Dump(*children->Item(i), out);
    out += "/";
}

std::string DumpOf(xml::IXmlDocument& doc) {
    std::string out;
    Dump(*doc.DocumentElement(), out);
    return out;
}

std::string ParsedDumpOf(const fs::path& file) {
    return DumpOf(*xml::LoadXmlDocument(file));
}

std::string BytesOf(xml::IXmlDocument& doc) {
    std::string bytes;
    xml::StringSink sink(&bytes);
    doc.SaveToStream(sink);
    return bytes;
}

class StoreReuseTest : public ::testing::Test {
  protected:
    fs::path Store() const { return folder.File("zpconfig.cfg"); }

    TempFolder folder;
    ScriptStore store{folder.Host()};
};

TEST_F(StoreReuseTest, LoadsAfterEachSaveGiveWhatParsingTheFileGives) {
    store.CreateDefaultStore();  // integers and booleans set as typed values
    auto check = [&] {
        auto doc = store.LoadStore();
        EXPECT_EQ(DumpOf(*doc), ParsedDumpOf(Store()));
        EXPECT_EQ(BytesOf(*doc), ReadBytes(Store()));
    };
    check();
    EXPECT_EQ(store.LoadStore()
                  ->DocumentElement()
                  ->ElementByName("Configuration")
                  ->ElementByName("Color")
                  ->GetAttr("Bold", "?"),
              "0");  // a parse gives the file's "0", not the typed false

    store.StoreScript("A", "VBScript", "a & <b> \"c\"\r\n\tline 2\x01");
    check();
    FakeWindow window;
    window.box_text = "A";
    window.editor_text = "last";
    store.SaveWorkbenchState(window);
    check();
    store.ApplyStore(window);
    check();
    store.RemoveScript("A");
    check();
}

TEST_F(StoreReuseTest, EveryLoadGetsItsOwnTree) {
    store.CreateDefaultStore();
    auto first = store.LoadStore();
    first->DocumentElement()->AppendElement("Script")->SetAttr("Name", "unsaved");
    first->DocumentElement()->ElementByName("Configuration")->SetAttr("FontName", "Arial");
    auto second = store.LoadStore();
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(BytesOf(*second), DefaultStoreBytes());

    // Nor does a document keep sharing with the store after it was saved.
    second->DocumentElement()->ElementByName("Configuration")->SetAttr("FontName", "Arial");
    store.SaveStore(*second);
    const std::string saved = ReadBytes(Store());
    second->DocumentElement()->ElementByName("Configuration")->SetAttr("FontName", "Tahoma");
    EXPECT_EQ(BytesOf(*store.LoadStore()), saved);
}

TEST_F(StoreReuseTest, AChangeBySomeoneElseIsSeenEvenAtTheSameSize) {
    store.CreateDefaultStore();
    store.StoreScript("Aa", "VBScript", "x");
    FakeWindow window;
    store.ApplyStore(window);
    EXPECT_THAT(window.list, ElementsAre("Aa"));

    WriteBytes(Store(), ReplaceAll(ReadBytes(Store()), "Name=\"Aa\"", "Name=\"Bb\""));
    store.ApplyStore(window);
    EXPECT_THAT(window.list, ElementsAre("Bb"));
    store.StoreScript("Bb", "JavaScript", "y");
    EXPECT_EQ(DumpOf(*store.LoadStore()), ParsedDumpOf(Store()));
}

TEST_F(StoreReuseTest, FilesWithOtherNodesKeepThemThroughEverySave) {
    // Comments, texts and an unusual declaration are not copied, only parsed: they stay.
    const std::string with_extras =
        ReplaceAll(ReplaceAll(DefaultStoreBytes(), "<Scripts>", "<!-- mine --><Scripts>note"),
                   "encoding=\"windows-1251\"?>", "encoding=\"windows-1251\" standalone=\"yes\"?>");
    WriteBytes(Store(), with_extras);
    store.StoreScript("A", "VBScript", "a");
    store.StoreScript("B", "VBScript", "b");
    const std::string saved = ReadBytes(Store());
    EXPECT_NE(saved.find("<!-- mine -->"), std::string::npos);
    EXPECT_NE(saved.find("note"), std::string::npos);
    EXPECT_NE(saved.find("standalone=\"yes\""), std::string::npos);
    EXPECT_EQ(DumpOf(*store.LoadStore()), ParsedDumpOf(Store()));
}

// Opening stores the default script again. When that changes nothing, nothing is written (and
// the backup stays), whatever else the file holds.
TEST_F(StoreReuseTest, OpeningAStoreThatChangesNothingWritesNothing) {
    store.CreateDefaultStore();
    store.StoreScript("T", "JavaScript", "t");
    const std::string plain =
        ReplaceAll(ReadBytes(Store()), "DefaultSave=\"\"", "DefaultSave=\"T\"");
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"as written", plain},
        {"a comment", ReplaceAll(plain, "<Scripts>", "<!-- mine --><Scripts>")},
        {"a byte-order mark", "\xEF\xBB\xBF" + plain},
        {"other line breaks", ReplaceAll(plain, "\r\n", "\n")},
    };
    int writes = 0;
    xml::FaultInjectingFileSystem files([&](xml::FileStep step, const fs::path&) {
        if (step == xml::FileStep::Create || step == xml::FileStep::Replace) ++writes;
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptStore opening{folder.Host(), files};
        opening.SetOpenScript([&](const std::string& name) {
            auto doc = opening.LoadStore();
            auto script = FindScriptRecord(*doc->DocumentElement(), name);
            opening.StoreScript(name, ScriptLanguage(*script), script->GetAttr("Text", ""));
        });
        WriteBytes(Store(), c.bytes);
        WriteBytes(folder.File("zpconfig.cfg.bak"), "the backup");
        writes = 0;
        for (int i = 0; i < 2; ++i) {
            FakeWindow window;
            opening.ApplyStore(window);
        }
        EXPECT_EQ(writes, 0);
        EXPECT_EQ(ReadBytes(Store()), c.bytes);
        EXPECT_EQ(ReadBytes(folder.File("zpconfig.cfg.bak")), "the backup");
    }
}

TEST_F(StoreReuseTest, AFileThatNoLongerParsesIsNotServedFromMemory) {
    store.CreateDefaultStore();
    store.LoadStore();
    WriteBytes(Store(), "<Scripts><Script Name=\"A\"");
    EXPECT_THROW(store.LoadStore(), xml::XmlError);
}

// A store larger than the blocks its bytes are compared in, changed by someone else in its last
// block, lengthened or cut short: each load gives what parsing the file gives.
TEST_F(StoreReuseTest, ChangesAnywhereInALargeStoreAreSeen) {
    store.CreateDefaultStore();
    const std::string text(6000, 'x');
    for (int i = 0; i < 150; ++i) store.StoreScript("S" + std::to_string(i), "VBScript", text);
    const std::string saved = ReadBytes(Store());
    ASSERT_GT(saved.size(), 3 * 256 * 1024u);

    std::string last_block = saved;
    last_block[saved.rfind("x\"")] = 'y';
    WriteBytes(Store(), last_block);
    EXPECT_EQ(DumpOf(*store.LoadStore()), ParsedDumpOf(Store()));
    EXPECT_NE(DumpOf(*store.LoadStore()).find("xy"), std::string::npos);

    WriteBytes(Store(), saved + "<!--after-->");
    EXPECT_EQ(DumpOf(*store.LoadStore()), ParsedDumpOf(Store()));
    store.StoreScript("S1", "VBScript", "short");
    EXPECT_NE(ReadBytes(Store()).find("<!--after-->"), std::string::npos);

    const std::string longer = ReadBytes(Store());
    WriteBytes(Store(), longer.substr(0, longer.size() - 1));
    EXPECT_THROW(store.LoadStore(), xml::XmlError);
    WriteBytes(Store(), longer.substr(0, 256 * 1024));
    EXPECT_THROW(store.LoadStore(), xml::XmlError);
}

}  // namespace
}  // namespace zeph::store::testing
