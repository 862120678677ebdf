// The version history beside the store: what a replaced or removed text leaves in it, its
// limits, and that neither a failing nor a damaged history file costs the store anything.
#include "store/script_history.h"

#include <gmock/gmock.h>

#include "faulty_store.h"

namespace zeph::store::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using xml::FileStep;

ScriptVersion V(std::string name, std::string text, std::int64_t time = 0) {
    return {std::move(name), "VBScript", time, std::move(text)};
}

std::vector<std::string> Texts(const std::vector<ScriptVersion>& versions) {
    std::vector<std::string> texts;
    for (const ScriptVersion& v : versions) texts.push_back(v.name + ":" + v.text);
    return texts;
}

TEST(ScriptHistory, AddingKeepsTheNewestWithinTheLimits) {
    struct Case {
        const char* what;
        std::vector<ScriptVersion> before;
        ScriptVersion added;
        HistoryLimits limits;
        bool kept;
        std::vector<std::string> after;  // oldest first
    };
    const std::vector<Case> cases = {
        {"appends", {V("a", "1")}, V("b", "2"), {}, true, {"a:1", "b:2"}},
        {"same text again adds nothing",
         {V("a", "1"), V("b", "2")},
         V("a", "1"),
         {},
         true,
         {"a:1", "b:2"}},
        {"same text as an older version comes back",
         {V("a", "1"), V("a", "2")},
         V("a", "1"),
         {},
         true,
         {"a:1", "a:2", "a:1"}},
        {"an empty text is nothing to keep", {V("a", "1")}, V("a", ""), {}, true, {"a:1"}},
        {"the count is per name",
         {V("a", "1"), V("b", "x"), V("a", "2")},
         V("a", "3"),
         {2, 1000},
         true,
         {"b:x", "a:2", "a:3"}},
        {"the size drops the oldest of any name",
         {V("a", "1111"), V("b", "2222")},
         V("c", "33"),
         {30, 12},
         true,
         {"b:2222", "c:33"}},
        {"a version over the size alone is not kept",
         {V("a", "1")},
         V("b", "123456789"),
         {30, 8},
         false,
         {"a:1"}},
        {"the scratch script counts as a name", {V("", "x")}, V("", "y"), {1, 1000}, true, {":y"}},
    };
    for (const Case& c : cases) {
        std::vector<ScriptVersion> history = c.before;
        EXPECT_EQ(AddVersion(history, c.added, c.limits), c.kept) << c.what;
        EXPECT_EQ(Texts(history), c.after) << c.what;
    }
}

TEST(ScriptHistory, RowsGiveLocalTimeAndSize) {
    struct Case {
        std::int64_t time, offset;
        std::string text;
        std::string row;
    };
    const std::vector<Case> cases = {
        {0, 0, "", "01.01.1970 00:00:00 — 0 байт, строк: 0"},
        {1796677445, 3 * 3600, "a\r\nb\r\n", "08.12.2026 00:04:05 — 6 байт, строк: 2"},
        {951782400, 0, "x", "29.02.2000 00:00:00 — 1 байт, строк: 1"},  // a leap day
        {0, -3600, "x\r\ny", "31.12.1969 23:00:00 — 4 байт, строк: 2"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VersionRowText({"n", "VBScript", c.time, c.text}, c.offset),
                  text::FromUtf8(c.row))
            << c.time;
}

class HistoryStoreTest : public FaultyStoreTest {
  protected:
    HistoryStoreTest() {
        store.SetClock([this] { return ++now; });
        store.SetTell([this](const std::string& notice) { told.push_back(notice); });
        store.CreateDefaultStore();
    }
    fs::path History() const { return folder.File("zpconfig.history"); }

    std::int64_t now = 1000;
    std::vector<std::string> told;
};

TEST_F(HistoryStoreTest, ReplacedAndRemovedTextsComeBackNewestFirst) {
    const std::string text = "a = \"<&>\"\r\n" + std::string(u8"' Привет"_cp) + "\r\n";
    store.StoreScript("A", "JavaScript", text);
    EXPECT_FALSE(fs::exists(History()));  // a new record replaces nothing
    store.StoreScript("A", "JavaScript", text);
    EXPECT_FALSE(fs::exists(History()));  // nor does the same text (opening stores it again)
    store.StoreScript("A", "VBScript", "second");
    store.StoreScript("A", "VBScript", "third");
    store.StoreScript("", "VBScript", "scratch");  // the default store's scratch is empty
    store.StoreScript("", "VBScript", "option explicit\r\n\r\n");
    store.RemoveScript("A");

    const std::vector<ScriptVersion> a = store.History("A");
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0], (ScriptVersion{"A", "VBScript", 1004, "third"}));
    EXPECT_EQ(a[1].text, "second");
    EXPECT_EQ(a[2], (ScriptVersion{"A", "JavaScript", 1001, text}));
    EXPECT_THAT(Texts(store.History("")), ElementsAre(":scratch"));
    EXPECT_TRUE(store.History("a").empty());  // names are compared byte for byte
    EXPECT_TRUE(told.empty());
}

TEST_F(HistoryStoreTest, TheStoreIsWrittenAsWithoutAHistory) {
    // The same operations in a folder whose history cannot be written at all.
    TempFolder other;
    xml::FaultInjectingFileSystem failing([](FileStep step, const fs::path& path) {
        if (step == FileStep::Create && path.filename() == "zpconfig.history.tmp")
            throw xml::XmlError("no history here");
    });
    ScriptStore plain(other.Host(), failing);
    plain.CreateDefaultStore();
    for (ScriptStore* s : {&store, &plain}) {
        s->StoreScript("A", "VBScript", "1");
        s->StoreScript("A", "VBScript", "2");
        s->RemoveScript("A");
    }
    EXPECT_TRUE(fs::exists(History()));
    EXPECT_FALSE(fs::exists(other.File("zpconfig.history")));
    EXPECT_EQ(ReadBytes(Store()), ReadBytes(other.File("zpconfig.cfg")));
}

TEST_F(HistoryStoreTest, AFailingHistoryNeverStopsTheSaveAndIsToldOnce) {
    store.StoreScript("A", "VBScript", "1");
    store.StoreScript("A", "VBScript", "2");
    const std::string history = ReadBytes(History());
    for (FileStep failing : {FileStep::OpenRead, FileStep::Read, FileStep::Create, FileStep::Write,
                             FileStep::Flush, FileStep::Close, FileStep::Replace}) {
        SCOPED_TRACE(static_cast<int>(failing));
        told.clear();
        {
            xml::ScopedFaults faults(files, [&](FileStep step, const fs::path& path) {
                if (step == failing && path.filename().string().starts_with("zpconfig.history"))
                    throw xml::XmlError("disk full");
            });
            store.StoreScript("A", "VBScript", "3");
            store.StoreScript("A", "VBScript", "2");  // a second failure in a row
        }
        ASSERT_EQ(told.size(), 1u);
        EXPECT_THAT(told[0], HasSubstr("disk full"));
        EXPECT_EQ(ReadBytes(History()), history);
        EXPECT_FALSE(fs::exists(folder.File("zpconfig.history.tmp")));
        EXPECT_EQ(store.History("A").size(), 1u);
        // The store holds the last text all the same.
        auto doc = store.LoadStore();
        EXPECT_EQ(FindScriptRecord(*doc->DocumentElement(), "A")->GetAttr("Text", ""), "2");
        // Working again: the next version is kept, and a later failure is told again.
        store.StoreScript("A", "VBScript", "1");
        EXPECT_EQ(store.History("A").size(), 2u);
        WriteBytes(History(), history);
    }
}

TEST_F(HistoryStoreTest, ADamagedHistoryIsKeptAsideAndStartedAnew) {
    store.StoreScript("A", "VBScript", "1");
    for (std::string_view damage : {"not xml at all", "<?xml version=\"1.0\"?><Other/>"}) {
        SCOPED_TRACE(damage);
        told.clear();
        WriteBytes(History(), damage);
        fs::remove(folder.File("zpconfig.history.damaged"));
        store.StoreScript("A", "VBScript", "2");
        EXPECT_THAT(Texts(store.History("A")), ElementsAre("A:1"));
        EXPECT_EQ(ReadBytes(folder.File("zpconfig.history.damaged")), damage);
        ASSERT_EQ(told.size(), 1u);
        EXPECT_THAT(told[0], HasSubstr("zpconfig.history.damaged"));
        store.StoreScript("A", "VBScript", "1");
    }
    // Reading the list sets a damaged file aside too, and the store is never touched by it.
    WriteBytes(History(), "<broken");
    fs::remove(folder.File("zpconfig.history.damaged"));
    const std::string store_bytes = ReadBytes(Store());
    EXPECT_TRUE(store.History("A").empty());
    EXPECT_TRUE(fs::exists(folder.File("zpconfig.history.damaged")));
    EXPECT_EQ(ReadBytes(Store()), store_bytes);
}

TEST_F(HistoryStoreTest, TheHistoryIsWrittenUnderTheStoresLock) {
    store.StoreScript("A", "VBScript", "1");
    bool checked = false;
    xml::ScopedFaults faults(files, [&](FileStep step, const fs::path& path) {
        if (step != FileStep::Replace || path.filename() != "zpconfig.history") return;
        // Another process asking for the store now would have to wait.
        EXPECT_EQ(xml::PlatformFileSystem().TryLock(folder.File("zpconfig.cfg.lock")), nullptr);
        checked = true;
    });
    store.StoreScript("A", "VBScript", "2");
    EXPECT_TRUE(checked);
}

}  // namespace
}  // namespace zeph::store::testing
