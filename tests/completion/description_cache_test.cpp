// The description is parsed once and kept while the file's bytes stay the same; completion and
// the parameter hints of one editor share it.
#include "completion/description_cache.h"

#include <gtest/gtest.h>

#include <fstream>

#include "completion/completion.h"
#include "completion/fakes.h"
#include "completion/parameter_hint.h"

namespace zeph::completion {
namespace {

using testing::TempDescription;

void Write(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(DescriptionCache, ParsesAgainOnlyWhenTheBytesChange) {
    TempDescription a(R"(<I name="A"/>)");
    TempDescription b(R"(<I name="B"/>)");
    struct Step {
        const char* what;
        const TempDescription& file;
        std::string rewrite;  // new bytes for the file first, unless empty
        bool same;            // the document handed out before
        const char* first_entry;
    };
    const std::string same_size = R"(<?xml version="1.0"?><Lib><I name="C"/></Lib>)";
    const Step steps[] = {
        {"first load", a, "", false, "A"},
        {"unchanged", a, "", true, "A"},
        {"another file", b, "", false, "B"},
        {"back to the first", a, "", false, "A"},
        {"rewritten, same size", a, same_size, false, "C"},
        {"rewritten with the same bytes", a, same_size, true, "C"},
        {"one byte changed", a, R"(<?xml version="1.0"?><Lib><I name="D"/></Lib>)", false, "D"},
    };
    DescriptionCache cache;
    xml::XmlRef<xml::IXmlDocument> last;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (!s.rewrite.empty()) Write(s.file.Path(), s.rewrite);
        auto doc = cache.Load(s.file.Path());
        EXPECT_EQ(doc.get() == last.get(), s.same);
        EXPECT_EQ(doc->DocumentElement()->ChildNodes()->Item(0)->GetAttr("name", ""),
                  s.first_entry);
        last = doc;
    }
}

TEST(DescriptionCache, AFileThatDoesNotLoadKeepsNothing) {
    TempDescription d(R"(<I name="A"/>)");
    DescriptionCache cache;
    auto good = cache.Load(d.Path());
    Write(d.Path(), "<Lib><I name=\"A\"></Lib>");
    try {
        cache.Load(d.Path());
        FAIL() << "loaded a malformed description";
    } catch (const xml::XmlParseError& e) {
        // The same text as a load of the file by the document model.
        try {
            xml::LoadXmlDocument(d.Path());
        } catch (const xml::XmlParseError& direct) {
            EXPECT_STREQ(e.what(), direct.what());
        }
    }
    std::filesystem::remove(d.Path());
    EXPECT_THROW(cache.Load(d.Path()), xml::XmlError);
    Write(d.Path(), "<Lib><I name=\"A\"/></Lib>");
    auto again = cache.Load(d.Path());
    EXPECT_NE(again.get(), good.get());
    EXPECT_EQ(again->DocumentElement()->ChildNodes()->Count(), 1);
}

TEST(DescriptionCache, CompletionAndParameterHintsShareOneDocument) {
    FolderDescriptionSource source([] { return testing::DataFile("app/"); });
    testing::LineEditor editor("Application.");
    testing::RecordingPopup popup;
    FixedPitchMeasure measure;
    CodeCompletion completion(editor, popup, source, measure);
    bool can_open = true;
    completion.ScriptTextProposalExecute(can_open);
    const xml::IXmlDocument* parsed = completion.LoadedDescription().Document().get();
    ASSERT_NE(parsed, nullptr);
    ParameterHints hints(source, measure);
    hints.AfterEdit("Application.OpenMap(", 21);
    completion.ScriptTextProposalExecute(can_open);
    EXPECT_EQ(completion.LoadedDescription().Document().get(), parsed);
    EXPECT_EQ(source.LoadDescription().get(), parsed);
}

}  // namespace
}  // namespace zeph::completion
