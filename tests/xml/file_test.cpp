#include <algorithm>
#include <cstdint>
#include <filesystem>

#include "support/file_bytes.h"
#include "support/file_faults.h"
#include "xml_test_util.h"

namespace zeph::xml::testing {
namespace {

namespace fs = std::filesystem;

// The file's bytes, read without the file layer under test.
std::string ReadAll(const fs::path& p) {
    return zeph::support::ReadBytes(p);
}

class XmlFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        // A folder with a Cyrillic name: every file call must take wide names on Windows.
        dir_ = fs::temp_directory_path() /
               fs::path(u8"zeph_xml_тест_" +
                        std::u8string(reinterpret_cast<const char8_t*>(
                            ::testing::UnitTest::GetInstance()->current_test_info()->name())));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        file_ = dir_ / fs::path(u8"конфиг.cfg");
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(file_, fs::perms::owner_all, ec);
        fs::remove_all(dir_, ec);
    }

    XmlRef<IXmlDocument> Document(std::string_view text) {
        auto doc = CreateXmlDocument("Config");
        doc->DocumentElement()->SetAttr("Text", text);
        return doc;
    }

    // What SaveToFile does, through `files`.
    static void SaveThrough(IFileSystem& files, IXmlDocument& doc, const fs::path& name) {
        WriteSafely(files, name, [&doc](IByteSink& sink) { doc.SaveToStream(sink); });
    }

    fs::path dir_, file_;
};

TEST_F(XmlFiles, SaveAndLoadRoundTrip) {
    auto doc = Document(u8"строка 1\r\nстрока 2"_cp);
    doc->SaveToFile(file_);
    EXPECT_EQ(ReadAll(file_), doc->GetXml());
    EXPECT_FALSE(fs::exists(TempFileName(file_)));
    auto back = LoadXmlDocument(file_);
    EXPECT_EQ(back->GetXml(), doc->GetXml());
    // Saving again replaces the file completely.
    Document("x")->SaveToFile(file_);
    EXPECT_EQ(LoadXmlDocument(file_)->DocumentElement()->GetAttr("Text", ""), "x");
    EXPECT_EQ(TempFileName(file_).filename(), fs::path(u8"конфиг.cfg.tmp"));
}

TEST_F(XmlFiles, MissingFileErrorNamesTheFile) {
    try {
        LoadXmlDocument(dir_ / "missing.xml");
        ADD_FAILURE();
    } catch (const XmlError& e) {
        std::string message = e.what();
        EXPECT_EQ(message.find(u8"Не удается открыть файл"_cp), 0u) << message;
        EXPECT_NE(message.find("missing.xml"), std::string::npos) << message;
        EXPECT_NE(message.find(u8"тест"_cp), std::string::npos) << message;
    }
}

TEST_F(XmlFiles, FailureAtEveryStepKeepsTheOldFile) {
    Document("old")->SaveToFile(file_);
    const std::string old_bytes = ReadAll(file_);
    for (FileStep step :
         {FileStep::Create, FileStep::Write, FileStep::Flush, FileStep::Close, FileStep::Replace}) {
        FaultInjectingFileSystem faulty([step](FileStep s, const fs::path&) {
            if (s == step) throw XmlError("injected");
        });
        auto doc = Document(std::string(100000, 'n'));
        try {
            SaveThrough(faulty, *doc, file_);
            ADD_FAILURE() << static_cast<int>(step);
        } catch (const XmlError& e) {
            EXPECT_STREQ(e.what(), "injected");
        }
        EXPECT_EQ(ReadAll(file_), old_bytes) << static_cast<int>(step);
        EXPECT_FALSE(fs::exists(TempFileName(file_))) << static_cast<int>(step);
    }
}

TEST_F(XmlFiles, CrashMidWriteLeavesOldFileAndAStaleTempThatTheNextSaveReplaces) {
    Document("old")->SaveToFile(file_);
    const std::string old_bytes = ReadAll(file_);
    {
        // Write fails half-way and the clean-up never runs, as after a crash.
        FaultInjectingFileSystem crashing([](FileStep s, const fs::path&) {
            if (s == FileStep::Write || s == FileStep::Remove) throw XmlError("crash");
        });
        EXPECT_THROW(SaveThrough(crashing, *Document("new"), file_), XmlError);
    }
    EXPECT_EQ(ReadAll(file_), old_bytes);
    ASSERT_TRUE(fs::exists(TempFileName(file_)));
    EXPECT_LT(ReadAll(TempFileName(file_)).size(), Document("new")->GetXml().size());
    EXPECT_EQ(LoadXmlDocument(file_)->DocumentElement()->GetAttr("Text", ""), "old");
    Document("new")->SaveToFile(file_);
    EXPECT_EQ(LoadXmlDocument(file_)->DocumentElement()->GetAttr("Text", ""), "new");
    EXPECT_FALSE(fs::exists(TempFileName(file_)));
}

TEST_F(XmlFiles, ReadOnlyTargetIsNotReplaced) {
    Document("old")->SaveToFile(file_);
    const std::string old_bytes = ReadAll(file_);
    fs::permissions(file_,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    try {
        Document("new")->SaveToFile(file_);
        ADD_FAILURE();
    } catch (const XmlError& e) {
        EXPECT_NE(std::string(e.what()).find(u8"только для чтения"_cp), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(ReadAll(file_), old_bytes);
    EXPECT_FALSE(fs::exists(TempFileName(file_)));
}

TEST_F(XmlFiles, ReadFailureIsRaised) {
    Document("old")->SaveToFile(file_);
    FaultInjectingFileSystem faulty([](FileStep s, const fs::path&) {
        if (s == FileStep::Read) throw XmlError("read failed");
    });
    EXPECT_THROW(CreateXmlDocument()->LoadFromBytes(ReadAll(faulty, file_)), XmlError);
}

TEST_F(XmlFiles, SaveIntoMissingFolderFails) {
    EXPECT_THROW(Document("x")->SaveToFile(dir_ / "no" / "such.cfg"), XmlError);
}

// A stream whose expected size is wrong either way, read in small pieces, still loads whole.
TEST(XmlStreams, SizeHintIsOnlyAHint) {
    class Trickle final : public IByteSource {
      public:
        Trickle(std::string_view bytes, std::size_t hint) : bytes_(bytes), hint_(hint) {}
        std::size_t Read(char* buffer, std::size_t size) override {
            std::size_t n = std::min({size, bytes_.size(), std::size_t{7}});
            std::copy_n(bytes_.data(), n, buffer);
            bytes_.remove_prefix(n);
            return n;
        }
        std::size_t SizeHint() const override { return hint_; }

      private:
        std::string_view bytes_;
        std::size_t hint_;
    };
    std::string text = "<R>";
    for (int i = 0; i < 3000; ++i) text += "<E N='" + std::to_string(i) + "'/>";
    text += "</R>";
    for (std::size_t hint : {std::size_t{0}, std::size_t{1}, text.size() - 1, text.size(),
                             text.size() * 3, SIZE_MAX}) {
        Trickle source(text, hint);
        auto doc = CreateXmlDocument();
        doc->LoadFromStream(source);
        EXPECT_EQ(doc->GetXml(), Parse(text)->GetXml()) << hint;
    }
}

}  // namespace
}  // namespace zeph::xml::testing
