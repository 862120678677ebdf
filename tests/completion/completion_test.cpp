#include "completion/completion.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "completion/fakes.h"
#include "store/script_store.h"
#include "text/cp1251.h"

namespace zeph::completion {
namespace {

using testing::DataFile;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testing::LineEditor;
using testing::RecordingPopup;
using testing::TempDescription;
using text::operator""_cp;

// A request as the pop-up makes it before it opens.
struct Request {
    LineEditor editor;
    RecordingPopup popup;
    FileDescriptionSource source;
    FixedPitchMeasure measure;
    CodeCompletion completion{editor, popup, source, measure};

    Request(const std::filesystem::path& description, std::string line, int column = 0)
        : editor(std::move(line), column), source(description) {}

    bool opens = true;  // what the request left of the pop-up's can-open flag

    Request& Run() {
        opens = true;
        completion.ScriptTextProposalExecute(opens);
        EXPECT_EQ(opens, !popup.items.empty()) << "only a pop-up with something to list opens";
        EXPECT_EQ(popup.shown, std::vector<std::string>{}) << "filter not reset at the start";
        return *this;
    }
};

const auto kPlain = DataFile("TellurTlb.xml");        // no member is called Application
const auto kWithApp = DataFile("app/TellurTlb.xml");  // ITellurObject.Application

const std::vector<std::string> kApplicationItems = {
    "property\tActiveMap\t:IMap;",
    "property\tCaption\t:String;",
    "property\tMaps\t[Index: Long]: IMap;",
    "procedure\tQuit\t;",
    "function\tOpenMap\t(FileName: String;ReadOnly: Boolean): IMap;",
    "procedure\tRefresh\t(Full: Boolean);",
    "procedure\tGetDataFolder\t;",
    "procedure\tLastError\t;",
};
const std::vector<std::string> kApplicationInserts = {
    "ActiveMap", "Caption",   "Maps[]",        "Quit",
    "OpenMap()", "Refresh()", "GetDataFolder", "LastError",
};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ITellurObject after ITellurApplication: Caption and LastError are already listed.
const auto kApplicationWithBase =
    Concat(kApplicationItems, {"property\tName\t:String;", "procedure\tRelease\t;"});
const auto kApplicationWithBaseApp =
    Concat(kApplicationItems, {"property\tApplication\t:ITellurApplication;",
                               "property\tName\t:String;", "procedure\tRelease\t;"});
const std::vector<std::string> kMapNames = {"Style", "Layers",  "LayerCount", "Scale",    "Redraw",
                                            "Name",  "caption", "Release",    "lasterror"};
const std::vector<std::string> kMapNamesApp = {"Style",   "Layers",      "LayerCount", "Scale",
                                               "Redraw",  "Application", "Name",       "caption",
                                               "Release", "lasterror"};
const std::vector<std::string> kMapStyles = {"constant\tmsPlain\t;", "constant\tmsRelief\t;",
                                             "constant\tmsSatellite\t;"};

int WidthOfLongest(const std::vector<std::string>& items) {
    std::size_t longest = 0;
    for (const auto& i : items) longest = std::max(longest, i.size());
    return static_cast<int>(longest + 25) * 6;
}

TEST(CompletionRequest, EmptySpotsOfferTheApplicationInterfaceAlone) {
    // Empty line; after a blank; after "Foo()."; caret beyond the end; caret at column 1.
    const std::pair<std::string, int> cases[] = {
        {"", 1}, {"Dim a ", 0}, {"Foo().", 0}, {"Application", 20}, {"Application.", 1},
    };
    for (const auto& [line, column] : cases) {
        for (const auto& file : {kPlain, kWithApp}) {
            Request r(file, line, column);
            r.Run();
            EXPECT_EQ(r.popup.items, kApplicationItems) << "line '" << line << "'";
            EXPECT_EQ(r.popup.inserts, kApplicationInserts);
            EXPECT_EQ(r.popup.width, WidthOfLongest(kApplicationItems));
        }
    }
}

TEST(CompletionRequest, ApplicationDotListsTheInterfaceThenItsBases) {
    Request plain(kPlain, "Application.");
    plain.Run();
    EXPECT_EQ(plain.popup.items, kApplicationWithBase);
    EXPECT_EQ(plain.popup.inserts.size(), plain.popup.items.size());

    // Here Application is a member, of type ITellurApplication.
    Request with_app(kWithApp, "  Application.");
    with_app.Run();
    EXPECT_EQ(with_app.popup.items, kApplicationWithBaseApp);
}

TEST(CompletionRequest, ApplicationMembersLeadToTheirType) {
    TempDescription d(R"(<I name="ITellurApplication"><property name="Version" type="String"/></I>
        <I name="IHost"><property name="Application" type="IMap"/></I>
        <I name="IMap"><method name="Redraw"/></I>)");
    Request r(d.Path(), "Application.");
    r.Run();
    EXPECT_THAT(r.popup.Names(), ElementsAre("Redraw"));
}

TEST(CompletionRequest, DottedChainsFollowMemberTypes) {
    for (const auto& [file, names] :
         {std::pair{kPlain, kMapNames}, std::pair{kWithApp, kMapNamesApp}}) {
        for (std::string line : {"Application.ActiveMap.", "x = application.ACTIVEMAP."}) {
            Request r(file, line);
            r.Run();
            EXPECT_EQ(r.popup.Names(), names) << line;
            EXPECT_EQ(r.popup.items[1], "property\tLayers\t[Index: Long;Key: String]: ILayer;");
            EXPECT_EQ(r.popup.inserts[1], "Layers[]");
        }
    }
}

TEST(CompletionRequest, PartialNameOffersTheListOfItsDotForFiltering) {
    for (const auto& [file, expected] :
         {std::pair{kPlain, kApplicationWithBase}, std::pair{kWithApp, kApplicationWithBaseApp}}) {
        Request r(file, "Application.La");
        r.Run();
        EXPECT_EQ(r.popup.items, expected);
    }
    Request map(kWithApp, "Application.ActiveMap.La");
    map.Run();
    EXPECT_EQ(map.popup.Names(), kMapNamesApp);

    // Without Application members the chain before the partial word resolves as it does
    // before a typed "." (it used to end in a word lookup that found nothing to list).
    Request plain(kPlain, "Application.ActiveMap.La");
    plain.Run();
    EXPECT_EQ(plain.popup.Names(), kMapNames);
}

TEST(CompletionRequest, SingleWordsResolveThroughMemberTypes) {
    // A lone word that is a member's name offers the members of its types.
    Request dot(kPlain, "ActiveMap.");
    dot.Run();
    EXPECT_EQ(dot.popup.Names(), kMapNames);

    // An unknown word falls back to the application interface and its bases.
    Request unknown(kPlain, "Nothing.");
    unknown.Run();
    EXPECT_EQ(unknown.popup.items, kApplicationWithBase);

    // Typing a plain word: the members of the application interface, bases included.
    Request word(kPlain, "Qu");
    word.Run();
    EXPECT_EQ(word.popup.items, kApplicationWithBase);

    // Each type of a word with several types is listed, in order of appearance.
    Request styles(kPlain, "Style.");
    styles.Run();
    EXPECT_THAT(styles.popup.Names(),
                ElementsAre("msPlain", "msRelief", "msSatellite", "lsSolid", "lsHatched"));
}

TEST(CompletionRequest, ComparisonOperatorsOfferTheValuesOfTheProperty) {
    const std::pair<std::string, int> cases[] = {
        {"If Map.Style =", 0},
        {"If Map.Style <>", 0},
        {"If Map.Style >", 0},
        {"If Map.Style <", 0},
        {"If Map.Style= ", 0},
        {"If Map.Style = ms", 16},
        // Forms where the blanks differ from "name operator".
        {"If Map.Style = ", 0},
        {"If Map.Style <> ", 0},
        {"If Map.Style =ms", 15},
    };
    for (const auto& [line, column] : cases) {
        Request r(kPlain, line, column);
        r.Run();
        EXPECT_EQ(r.popup.items, kMapStyles) << line;
        EXPECT_THAT(r.popup.inserts, ElementsAre("msPlain", "msRelief", "msSatellite"));
        EXPECT_EQ(r.popup.width, WidthOfLongest(kMapStyles));
    }
}

TEST(CompletionRequest, WalkRepeatsFromWhereThePreviousPairEnded) {
    // "Item" has two types; the walk follows the first. The repetition for the second pair
    // starts where the first ended, so B's Sub (of type Y2) is never listed.
    TempDescription d(R"(<I name="A"><property name="Item" type="X"/></I>
        <I name="B"><property name="Item" type="Y"/></I>
        <I name="X"><property name="Sub" type="X2"/></I>
        <I name="Y"><property name="Sub" type="Y2"/></I>
        <I name="X2"><method name="OnX2"/></I>
        <I name="Y2"><method name="OnY2"/></I>)");
    Request r(d.Path(), "Item.Sub.");
    r.Run();
    EXPECT_THAT(r.popup.Names(), ElementsAre("OnX2"));

    // A lone word lists every one of its types.
    Request single(d.Path(), "Sub.");
    single.Run();
    EXPECT_THAT(single.popup.Names(), ElementsAre("OnX2", "OnY2"));
}

TEST(CompletionRequest, WalkSearchesBasesAndStaysAtTheLastInterfaceSearched) {
    TempDescription d(R"(<I name="IRoot"><property name="Doc" type="IDoc"/></I>
        <I name="IDoc" base="IBase"><method name="Save"/></I>
        <I name="IBase"><property name="Owner" type="IOwner"/><method name="Close"/></I>
        <I name="IOwner"><method name="Notify"/></I>)");
    // Owner is declared by the base of IDoc.
    Request via_base(d.Path(), "Doc.Owner.");
    via_base.Run();
    EXPECT_THAT(via_base.popup.Names(), ElementsAre("Notify"));

    // Missing is declared nowhere: the list is that of IBase, where the search ended.
    Request missing(d.Path(), "Doc.Missing.");
    missing.Run();
    EXPECT_THAT(missing.popup.Names(), ElementsAre("Owner", "Close"));
}

TEST(CompletionRequest, NamesMatchIgnoringCaseInCodePage1251) {
    TempDescription d(
        u8R"(<I name="ITellurApplication"><property name="Карта" type="IКарта"/></I>
        <I name="iкарта"><property name="Слой" type="Long"/></I>
        <I name="IКАРТА"><property name="Shadowed" type="Long"/></I>)"_cp);
    Request r(d.Path(), std::string(u8"карта."_cp));
    r.Run();
    EXPECT_THAT(r.popup.Names(), ElementsAre(std::string(u8"Слой"_cp)));
}

TEST(CompletionRequest, BaseChainsEndAtIDispatchMissingEntriesAndLoops) {
    TempDescription d(R"(<I name="ITellurApplication"><property name="A" type="IA"/>
            <property name="C" type="IC"/><property name="D" type="ID"/></I>
        <I name="IA" base="IB"><method name="OnA"/></I>
        <I name="IB" base="ia"><method name="OnB"/></I>
        <I name="IC" base="idispatch"><method name="OnC"/></I>
        <I name="ID" base="IGone"><method name="OnD"/></I>
        <I name="idispatch" base="IDispatch"><method name="Invoke"/></I>)");
    Request loop(d.Path(), "A.");
    loop.Run();
    EXPECT_THAT(loop.popup.Names(), ElementsAre("OnA", "OnB"));

    // "IDispatch" ends a chain only in exactly that spelling.
    Request other_case(d.Path(), "C.");
    other_case.Run();
    EXPECT_THAT(other_case.popup.Names(), ElementsAre("OnC", "Invoke"));

    Request gone(d.Path(), "D.");
    gone.Run();
    EXPECT_THAT(gone.popup.Names(), ElementsAre("OnD"));

    // A walk through a loop of bases ends too.
    Request walk(d.Path(), "A.Nowhere.");
    walk.Run();
    EXPECT_THAT(walk.popup.Names(), ElementsAre("OnB", "OnA"));
}

TEST(CompletionRequest, MembersAreReadAsTheFileGivesThem) {
    TempDescription d(R"(<!-- entries --><I name="ITellurApplication">
            <!-- a comment is no member -->
            <Property name="WrongCase" type="Long"/>
            <field name="Other"/>
            <property name="Indexed" type="Long"><p name="i" type="Long"><q name="deep" type="X"/></p><!-- c --></property>
            <method name="Run" return="Long"><arg type="String"/></method>
            <property/>
            <const name="K" value="1"/>
        </I>)");
    Request r(d.Path(), "");
    r.Run();
    EXPECT_THAT(r.popup.items, ElementsAre("property\tIndexed\t[i: Long;: ]: Long;",
                                           "function\tRun\t(: String): Long;", "property\t\t:;",
                                           "constant\tK\t;"));
    EXPECT_THAT(r.popup.inserts, ElementsAre("Indexed[]", "Run()", "", "K"));
}

TEST(CompletionRequest, NamelessNodesAnswerToError) {
    // A member without a type has the type "error", which finds the entry without a name.
    TempDescription d(R"(<I name="ITellurApplication"><property name="Obj"/></I>
        <I><const name="FromNameless"/></I>)");
    Request r(d.Path(), "Obj.");
    r.Run();
    EXPECT_THAT(r.popup.Names(), ElementsAre("FromNameless"));
}

TEST(CompletionRequest, SameItemIsListedOnceIgnoringCase) {
    TempDescription d(R"(<I name="ITellurApplication"><property name="X" type="IA"/>
            <property name="Y" type="IB"/></I>
        <I name="IA" base="IB"><property name="Count" type="Long"/>
            <method name="Go"><p name="n" type="Long"/></method></I>
        <I name="IB"><property name="COUNT" type="long"/><property name="Count" type="String"/>
            <method name="go" return="Long"/><method name="Go" return="Long"><p name="N" type="long"/></method>
            <property name="Count" type="Long"><p name="i" type="Long"/></property></I>)");
    Request r(d.Path(), "X.");
    r.Run();
    // Every form a member can take counts: the base's function Go(N: long) has the procedure
    // form of IA's Go(n: Long), and its indexed Count the plain form of IA's Count. The base's
    // go without parameters is another text.
    EXPECT_THAT(r.popup.items, ElementsAre("property\tCount\t:Long;", "procedure\tGo\t(n: Long);",
                                           "property\tCount\t:String;", "procedure\tgo\t;"));
}

TEST(CompletionRequest, AcceptingOrCancellingEmptiesTheLists) {
    Request r(kPlain, "Application.");
    r.Run();
    r.popup.ResetFilter();
    ASSERT_FALSE(r.popup.items.empty());
    std::string value = "Maps[]";
    r.completion.ScriptTextProposalCodeCompletion(value);
    EXPECT_EQ(value, "Maps[]");
    EXPECT_THAT(r.popup.items, IsEmpty());
    EXPECT_THAT(r.popup.inserts, IsEmpty());
    EXPECT_THAT(r.popup.shown, IsEmpty());

    r.Run();
    r.popup.ResetFilter();
    r.completion.ScriptTextProposalCancelled();
    EXPECT_THAT(r.popup.items, IsEmpty());
    EXPECT_THAT(r.popup.shown, IsEmpty());

    // The next request starts afresh and lists nothing twice.
    r.Run();
    EXPECT_EQ(r.popup.items, kApplicationWithBase);
}

TEST(CompletionRequest, DescriptionIsReadAfreshForEachRequest) {
    TempDescription d(R"(<I name="ITellurApplication"><method name="First"/></I>)");
    Request r(d.Path(), "");
    r.Run();
    EXPECT_THAT(r.popup.Names(), ElementsAre("First"));
    std::ofstream(d.Path(), std::ios::binary)
        << R"(<Lib><I name="ITellurApplication"><method name="Second"/></I></Lib>)";
    r.Run();
    EXPECT_THAT(r.popup.Names(), ElementsAre("Second"));
}

TEST(CompletionRequest, UnreadableDescriptionEndsTheRequestWithAnError) {
    const auto missing = DataFile("no such folder/TellurTlb.xml");
    TempDescription malformed(R"(<I name="ITellurApplication"><method name="A"></I>)");
    for (const auto& path : {missing, malformed.Path()}) {
        for (std::string line : {"", "Application.", "If Map.Style ="}) {
            Request r(path, line);
            r.popup.items = {"stale"};
            r.popup.inserts = {"stale"};
            bool can_open = true;
            EXPECT_THROW(r.completion.ScriptTextProposalExecute(can_open), std::exception);
            EXPECT_THAT(r.popup.items, IsEmpty());
        }
    }
}

TEST(CompletionRequest, NothingFoundKeepsThePopupClosed) {
    TempDescription d(R"(<I name="Other"><method name="M"/></I>)");
    Request r(d.Path(), "");
    r.popup.width = 500;
    r.Run();
    EXPECT_THAT(r.popup.items, IsEmpty());
    EXPECT_FALSE(r.opens);
    EXPECT_EQ(r.popup.width, kEmptyPopupWidth);

    // An entry without members listed first does not size the pop-up to nothing.
    TempDescription e(
        R"(<I name="ITellurApplication" base="IB"/><I name="IB"><method name="M"/></I>)");
    Request r2(e.Path(), "Application.");
    r2.Run();
    EXPECT_EQ(r2.popup.width, WidthOfLongest(r2.popup.items));
}

// --- single operations -----------------------------------------------------------------

Chain Split(std::string line, int column = 0) {
    LineEditor editor(line, column);
    RecordingPopup popup;
    FileDescriptionSource source(kPlain);
    FixedPitchMeasure measure;
    CodeCompletion c(editor, popup, source, measure);
    return c.SplitChain(editor.x, line);
}

TEST(SplitChain, ReadsTheDottedNameBeforeTheCaretRightmostFirst) {
    EXPECT_THAT(Split("Application.ActiveMap."), ElementsAre("ActiveMap", "Application"));
    EXPECT_THAT(Split("Application.Act"), ElementsAre("Act", "Application"));
    EXPECT_THAT(Split("Set a = Application.ActiveMap.Layers(1).Vis"), ElementsAre("Vis", ""));
    EXPECT_THAT(Split("Single"), ElementsAre("Single"));
    EXPECT_THAT(Split("Foo()."), ElementsAre(""));
    // The word after the caret belongs to the word at the caret.
    EXPECT_THAT(Split("Application.ActiveMap", 16), ElementsAre("ActiveMap", "Application"));
}

TEST(SplitChain, TheLastDotOfTheWholeTextCounts) {
    EXPECT_THAT(Split("x = a.b + Act"), ElementsAre("Act", "a"));
    EXPECT_THAT(Split("If a.b = c"), ElementsAre("c", "a"));
}

TEST(SplitChain, EndsOnRunsOfDotsAndAtTheLineStart) {
    EXPECT_THAT(Split("..."), ElementsAre("", "", "", "", ""));
    EXPECT_THAT(Split(".a."), ElementsAre("a", "", "", ""));
}

TEST(FitPopupWidth, SizesByTheLastOfTheLongestItems) {
    struct WideW final : ITextMeasure {
        int TextWidth(std::string_view t) const override {
            return static_cast<int>(t.size() + 10 * std::count(t.begin(), t.end(), 'W'));
        }
        int CharWidth() const override { return 1; }
    } wide;
    LineEditor editor;
    RecordingPopup popup;
    FileDescriptionSource source(kPlain);
    CodeCompletion c(editor, popup, source, wide);
    popup.items = {"aaaa", "WWWW", "bb"};
    c.FitPopupWidth();
    EXPECT_EQ(popup.width, 44 + 25);
    popup.items = {"WWWW", "aaaa", "bb"};
    c.FitPopupWidth();
    EXPECT_EQ(popup.width, 4 + 25);

    FixedPitchMeasure pitch;
    CodeCompletion fixed(editor, popup, source, pitch);
    popup.items = {"short", std::string(40, 'x'), "tab\tcounts"};
    fixed.FitPopupWidth();
    EXPECT_EQ(popup.width, 390);
}

TEST(MemberTypes, OnePairPerTypeInDocumentOrder) {
    LineEditor editor;
    RecordingPopup popup;
    FileDescriptionSource source(kPlain);
    FixedPitchMeasure measure;
    CodeCompletion c(editor, popup, source, measure);
    EXPECT_THAT(c.MemberTypes("style"),
                ElementsAre(std::pair<std::string, std::string>("Style", "TMapStyle"),
                            std::pair<std::string, std::string>("Style", "TLayerStyle")));
    EXPECT_THAT(c.MemberTypesWordMode("CAPTION"),
                ElementsAre(std::pair<std::string, std::string>("String", "Caption")));
    EXPECT_THAT(c.MemberTypes("Nothing"), IsEmpty());
}

TEST(Slice, CountsColumnsFromOneAndClampsTheStart) {
    EXPECT_EQ(Slice("abc", 2, 5), "bc");
    EXPECT_EQ(Slice("abc", 0, 1), "a");
    EXPECT_EQ(Slice("abc", -7, 2), "ab");
    EXPECT_EQ(Slice("abc", 4, 1), "");
    EXPECT_EQ(Slice("", 1, 1), "");
}

}  // namespace
}  // namespace zeph::completion

namespace zeph::completion {
namespace {

TEST(FolderDescriptionSource, AsksForTheFolderEachRequest) {
    int asked = 0;
    FolderDescriptionSource source([&] {
        ++asked;
        return testing::DataFile("app/");
    });
    testing::LineEditor editor("Application.");
    testing::RecordingPopup popup;
    FixedPitchMeasure measure;
    CodeCompletion completion(editor, popup, source, measure);
    for (int request = 1; request <= 2; ++request) {
        bool can_open = true;
        completion.ScriptTextProposalExecute(can_open);
        EXPECT_EQ(asked, request);
        EXPECT_TRUE(popup.Lists("Application"));
    }
}

}  // namespace
}  // namespace zeph::completion
