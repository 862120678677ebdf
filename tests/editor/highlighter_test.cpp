// Highlighters: golden token files, the edge cases of both scanners, token classes and the
// per-line block-comment state kept by the editor.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "editor/editor_model.h"
#include "editor/highlighter.h"
#include "editor/token_class.h"
#include "editor/token_dump.h"
#include "text/cp1251.h"

namespace zeph::editor {
namespace {

using text::operator""_cp;
namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Each tests/data/editor/NAME.vbs|js has NAME.vbs|js.tokens beside it, the output of
// "zeph tokens". ZEPH_REGEN_GOLDEN=1 rewrites them (check the result by hand).
TEST(HighlighterGolden, MatchesTokenFiles) {
    TVBScriptHighlighter vb;
    TJScriptHighlighter js;
    const bool regen = std::getenv("ZEPH_REGEN_GOLDEN") != nullptr;
    int checked = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(ZEPH_TEST_DATA) / "editor")) {
        const fs::path& p = entry.path();
        const Highlighter* h = p.extension() == ".vbs"  ? static_cast<Highlighter*>(&vb)
                               : p.extension() == ".js" ? static_cast<Highlighter*>(&js)
                                                        : nullptr;
        if (!h) continue;
        std::string actual = TokensAsJson(*h, ReadFile(p));
        fs::path golden = p;
        golden += ".tokens";
        if (regen) {
            std::ofstream(golden, std::ios::binary) << actual;
        } else {
            ASSERT_TRUE(fs::exists(golden)) << golden;
            EXPECT_EQ(ReadFile(golden), actual) << p;
        }
        ++checked;
    }
    EXPECT_GE(checked, 3);
}

struct Tok {
    std::string text;
    std::string cls;  // "" for the editor's own colours
    friend bool operator==(const Tok&, const Tok&) = default;
    friend std::ostream& operator<<(std::ostream& o, const Tok& t) {
        return o << '{' << t.text << ',' << t.cls << '}';
    }
};

std::vector<Tok> Scan(const Highlighter& h, std::string_view line, LineState start = 0,
                      LineState* end = nullptr) {
    std::vector<TokenRun> runs;
    LineState e = h.ScanLine(line, start, runs);
    if (end) *end = e;
    std::vector<Tok> out;
    int pos = 0;
    for (const auto& r : runs) {
        EXPECT_EQ(r.start, pos) << "tokens must cover the line without gaps";
        pos = r.start + r.length;
        out.push_back({std::string(line.substr(r.start, r.length)), r.cls ? r.cls->name : ""});
    }
    EXPECT_EQ(pos, static_cast<int>(line.size()));
    return out;
}

std::vector<Tok> NonSpace(std::vector<Tok> v) {
    std::erase_if(v, [](const Tok& t) { return t.cls == "Space"; });
    return v;
}

TEST(VBScriptHighlighter, KeywordsIgnoreCaseAndRemIsNoComment) {
    TVBScriptHighlighter h;
    EXPECT_EQ(NonSpace(Scan(h, "dim DIM Dim dIm")), (std::vector<Tok>{{"dim", "Reserved word"},
                                                                      {"DIM", "Reserved word"},
                                                                      {"Dim", "Reserved word"},
                                                                      {"dIm", "Reserved word"}}));
    EXPECT_EQ(NonSpace(Scan(h, "Rem note")),
              (std::vector<Tok>{{"Rem", "Reserved word"}, {"note", "Identifier"}}));
    EXPECT_EQ(NonSpace(Scan(h, "x 'Rem")),
              (std::vector<Tok>{{"x", "Identifier"}, {"'Rem", "Comment"}}));
}

// Keywords of every length from two to eighteen letters, compared word by word: found in any
// letter case in VBScript and only in their own in JScript; one byte off anywhere, or a byte
// that differs from a letter only in bit 0x20, and they are not.
TEST(Highlighters, KeywordsOfEveryLengthAndTheirNearMisses) {
    struct Case {
        std::string_view word;
        bool vb_reserved;
        TJScriptHighlighter::WordKind js;
    };
    using K = TJScriptHighlighter::WordKind;
    const Case cases[] = {
        {"If", true, K::kIdentifier},
        {"if", true, K::kReserved},
        {"DIM", true, K::kIdentifier},
        {"cALL", true, K::kIdentifier},
        {"ElseIf", true, K::kIdentifier},
        {"Explicit", true, K::kIdentifier},
        {"RANDOMIZE", true, K::kIdentifier},
        {"paramarray", true, K::kIdentifier},
        {"instanceof", false, K::kReserved},
        {"synchronized", false, K::kReserved},
        {"getUTCMilliseconds", false, K::kNonReserved},
        {"NEGATIVE_INFINITY", false, K::kNonReserved},
        {"onMouseOver", false, K::kEvent},
        {"Explicix", false, K::kIdentifier},
        {"Explici", false, K::kIdentifier},
        {"Xxplicit", false, K::kIdentifier},
        {"ParamArra_", false, K::kIdentifier},
        {"D1m", false, K::kIdentifier},
        {"@nd", false, K::kIdentifier},
        {"\x01nd", false, K::kIdentifier},
        {"getUTCMillisecondS", false, K::kIdentifier},
        {"NEGATIVE_INFINITx", false, K::kIdentifier},
        {"onMouseOveR", false, K::kIdentifier},
        {"instanceoF", false, K::kIdentifier},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TVBScriptHighlighter::IsReservedWord(c.word), c.vb_reserved) << c.word;
        EXPECT_EQ(TJScriptHighlighter::ClassifyWord(c.word), c.js) << c.word;
    }
}

TEST(VBScriptHighlighter, StringsAndDates) {
    TVBScriptHighlighter h;
    EXPECT_EQ(Scan(h, "#1/1/2000"), (std::vector<Tok>{{"#1/1/2000", "String"}}));
    EXPECT_EQ(Scan(h, "\"\"\"a\"b"),
              (std::vector<Tok>{{"\"\"\"a\"", "String"}, {"b", "Identifier"}}));
    EXPECT_EQ(Scan(h, "\"\""), (std::vector<Tok>{{"\"\"", "String"}}));
    EXPECT_EQ(Scan(h, "\""), (std::vector<Tok>{{"\"", "String"}}));
}

TEST(VBScriptHighlighter, CyrillicTakesIdentifierLookCharByChar) {
    TVBScriptHighlighter h;
    auto t = Scan(h, u8"Да1"_cp);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].cls, "Identifier");
    EXPECT_EQ(t[1].cls, "Identifier");
    EXPECT_EQ(t[2], (Tok{"1", "Number"}));
}

TEST(VBScriptHighlighter, LineBreakCharactersAreSpace) {
    TVBScriptHighlighter h;
    EXPECT_EQ(Scan(h, "a\r\nb\rc\n"), (std::vector<Tok>{{"a", "Identifier"},
                                                        {"\r\n", "Space"},
                                                        {"b", "Identifier"},
                                                        {"\r", "Space"},
                                                        {"c", "Identifier"},
                                                        {"\n", "Space"}}));
    EXPECT_EQ(Scan(h, std::string_view("\x01\x1f \t", 4)),
              (std::vector<Tok>{{"\x01\x1f \t", "Space"}}));
}

TEST(JScriptHighlighter, KeywordsAreExactCase) {
    TJScriptHighlighter h;
    EXPECT_EQ(NonSpace(Scan(h, "if If Date date onLoad onload Boolean boolean")),
              (std::vector<Tok>{{"if", "Reserved word"},
                                {"If", "Identifier"},
                                {"Date", "Non-reserved keyword"},
                                {"date", "Identifier"},
                                {"onLoad", "Event"},
                                {"onload", "Identifier"},
                                {"Boolean", "Non-reserved keyword"},
                                {"boolean", "Reserved word"}}));
}

TEST(JScriptHighlighter, Numbers) {
    TJScriptHighlighter h;
    EXPECT_EQ(Scan(h, "0x1F"), (std::vector<Tok>{{"0x1F", "Number"}}));
    EXPECT_EQ(Scan(h, "1x2"), (std::vector<Tok>{{"1", "Number"}, {"x2", "Identifier"}}));
    EXPECT_EQ(
        Scan(h, "1..2"),
        (std::vector<Tok>{{"1", "Number"}, {".", "Symbol"}, {".", "Symbol"}, {"2", "Number"}}));
    EXPECT_EQ(Scan(h, "1.5"), (std::vector<Tok>{{"1.5", "Number"}}));
    EXPECT_EQ(Scan(h, "0x"), (std::vector<Tok>{{"0", "Number"}, {"x", "Identifier"}}));
    EXPECT_EQ(Scan(h, "00x1"), (std::vector<Tok>{{"00", "Number"}, {"x1", "Identifier"}}));
    EXPECT_EQ(Scan(h, "0xAx"), (std::vector<Tok>{{"0xA", "Number"}, {"x", "Identifier"}}));
}

TEST(JScriptHighlighter, StringsEndAtUnescapedSameQuote) {
    TJScriptHighlighter h;
    EXPECT_EQ(Scan(h, "'a\"b'"), (std::vector<Tok>{{"'a\"b'", "String"}}));
    EXPECT_EQ(Scan(h, "'a\\'b'c"), (std::vector<Tok>{{"'a\\'b'", "String"}, {"c", "Identifier"}}));
    EXPECT_EQ(Scan(h, "\"\\\""), (std::vector<Tok>{{"\"\\\"", "String"}}));
}

TEST(JScriptHighlighter, BlockCommentAcrossLines) {
    TJScriptHighlighter h;
    LineState s1, s2, s3;
    EXPECT_EQ(NonSpace(Scan(h, "x /* one", 0, &s1)),
              (std::vector<Tok>{{"x", "Identifier"}, {"/* one", "Comment"}}));
    EXPECT_EQ(s1, kInBlockComment);
    EXPECT_TRUE(Scan(h, "", s1, &s2).empty());  // an empty line keeps the comment open
    EXPECT_EQ(s2, kInBlockComment);
    EXPECT_EQ(NonSpace(Scan(h, "two */ three", s2, &s3)),
              (std::vector<Tok>{{"two */", "Comment"}, {"three", "Identifier"}}));
    EXPECT_EQ(s3, 0);
    // "/*" inside a string or a line comment opens nothing.
    EXPECT_EQ(h.EndState("'/*' // /*", 0), 0);
    EXPECT_EQ(h.EndState("a */ /*", kInBlockComment), kInBlockComment);
}

// The state a line leaves, worked out without cutting the line into tokens, is the one the
// full scan ends in: for lines of the characters that open, close or hide comments, in both
// start states; and a comment open at a line's start ends at its first "*/".
TEST(JScriptHighlighter, EndStateAgreesWithTheFullScan) {
    TJScriptHighlighter h;
    std::vector<std::string> lines = {"",
                                      "x /* a",
                                      "/* a */ b /* c",
                                      "'/*'",
                                      R"("/*")",
                                      R"('a\'/*')",
                                      R"("""/*")",
                                      "'''/*'",
                                      "// /*",
                                      "a / * b",
                                      "a /= /*",
                                      "*/ x",
                                      "x */ /* y",
                                      R"(\'/*)",
                                      "/*/",
                                      "/**/",
                                      "1../*",
                                      "0x/*",
                                      "a->b/*c*/d",
                                      R"('\\'/*)",
                                      "x = 'it''s' /* c",
                                      R"('a' "b" /* ')"};
    const std::string alphabet = R"(/*'"\a .=)";
    std::uint32_t seed = 12345;
    auto next = [&seed](std::size_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string line;
        for (std::size_t k = next(48); k > 0; --k) line += alphabet[next(alphabet.size())];
        lines.push_back(line);
    }
    // "*/" and "/*" at every place of lines long and short.
    for (std::size_t n = 2; n <= 40; ++n) {
        for (std::size_t at = 0; at + 2 <= n; ++at) {
            lines.push_back(std::string(n, 'x').replace(at, 2, "*/"));
            lines.push_back(std::string(n, 'x').replace(at, 2, "/*"));
        }
    }
    std::vector<TokenRun> runs;
    for (const std::string& line : lines) {
        for (LineState start : {LineState{0}, kInBlockComment}) {
            runs.clear();
            ASSERT_EQ(h.EndState(line, start), h.ScanLine(line, start, runs))
                << "line \"" << line << "\" from state " << int{start};
        }
        // A line that starts inside a comment: the comment runs to the first "*/".
        if (line.empty()) continue;
        const std::size_t close = line.find("*/");
        EXPECT_EQ(runs.at(0).length,
                  static_cast<int>(close == std::string::npos ? line.size() : close + 2))
            << line;
    }
}

TEST(JScriptHighlighter, OwnColoursForCyrillicAndOddCharacters) {
    TJScriptHighlighter h;
    auto t = Scan(h, u8"Щи#`"_cp);
    ASSERT_EQ(t.size(), 4u);
    for (const auto& x : t) EXPECT_EQ(x.cls, "");
}

TEST(Highlighters, ClassesSortedWithCreationLooks) {
    TVBScriptHighlighter vb;
    TJScriptHighlighter js;
    std::vector<std::string> names;
    for (int i = 0; i < js.ClassCount(); ++i) names.push_back(js.ClassAt(i).name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"Comment", "Event", "Identifier", "Non-reserved keyword",
                                        "Number", "Reserved word", "Space", "String", "Symbol"}));
    names.clear();
    for (int i = 0; i < vb.ClassCount(); ++i) names.push_back(vb.ClassAt(i).name);
    EXPECT_EQ(names, (std::vector<std::string>{"Comment", "Identifier", "Number", "Reserved word",
                                               "Space", "String", "Symbol"}));
    for (Highlighter* h : {static_cast<Highlighter*>(&vb), static_cast<Highlighter*>(&js)}) {
        for (int i = 0; i < h->ClassCount(); ++i) {
            const auto& c = h->ClassAt(i);
            EXPECT_EQ(c.foreground, kNoColour);
            EXPECT_EQ(c.background, kNoColour);
            std::uint8_t want = c.name == "Comment"         ? kItalic
                                : c.name == "Reserved word" ? kBold
                                                            : kPlain;
            EXPECT_EQ(c.style, want) << c.name;
        }
        EXPECT_EQ(h->FindClass("comment"), nullptr);  // exact name only
        ASSERT_NE(h->FindClass("Comment"), nullptr);
    }
    EXPECT_EQ(vb.ComponentName(), "VBScriptHighlighter");
    EXPECT_EQ(js.ComponentName(), "JavaScriptHighlighter");
}

TEST(Highlighters, WorkbenchLooks) {
    TVBScriptHighlighter vb;
    TJScriptHighlighter js;
    ApplyWorkbenchLooks(vb);
    ApplyWorkbenchLooks(js);
    EXPECT_EQ(vb.FindClass("Comment")->foreground, kGreen);
    EXPECT_EQ(vb.FindClass("Comment")->style, kBold | kItalic | kUnderline);
    EXPECT_EQ(js.FindClass("Comment")->style, kPlain);
    EXPECT_EQ(js.FindClass("Reserved word")->foreground, kBlue);
    EXPECT_TRUE(js.FindClass("Reserved word")->bold());
    EXPECT_EQ(js.FindClass("Event")->foreground, kGrey);
    EXPECT_EQ(js.FindClass("String")->foreground, kMaroon);
    EXPECT_EQ(js.FindClass("Space")->foreground, kNoColour);
    EXPECT_EQ(vb.FindClass("Symbol")->foreground, kNavy);
}

TEST(TokenClassTable, BothDirectionsIgnoringCase) {
    EXPECT_EQ(TokenClassTable::ClassNameOf(u8"Комментарии"_cp), "Comment");
    EXPECT_EQ(TokenClassTable::ClassNameOf(u8"НЕЗАРЕЗЕРВИРОВАННЫЕ СЛОВА"_cp),
              "Non-reserved keyword");
    EXPECT_EQ(TokenClassTable::ClassNameOf("Anything"), "Anything");
    EXPECT_EQ(TokenClassTable::CaptionOf("Symbol"), u8"Символы"_cp);
    EXPECT_EQ(TokenClassTable::CaptionOf("event"), u8"События"_cp);
    EXPECT_EQ(TokenClassTable::CaptionOf("Other"), "Other");
    std::set<std::string_view> names;
    for (int i = 0; i < TokenClassTable::kCount; ++i) names.insert(TokenClassTable::ClassNameAt(i));
    EXPECT_EQ(names.size(), 9u);
}

// The editor keeps the state at each line's start and re-scans after an edit only as far
// as the following lines' start states change.
TEST(IncrementalHighlighting, RescansOnlyWhileStartStatesChange) {
    TJScriptHighlighter js;
    EditorModel m;
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "var x = 1;\r\n";
    m.SetText(text);
    m.SetHighlighter(&js);
    m.TakeChanges();

    // An edit that changes no state scans the edited line only.
    m.ResetScanCount();
    m.SetCaret({500, 0});
    m.TypeChar('y');
    EXPECT_EQ(m.ScanCount(), 1u);
    EXPECT_EQ(m.LineStartState(501), 0);

    // Opening a comment on line 10 re-scans every line below (all now start inside it).
    m.ResetScanCount();
    m.SetCaret({10, 0});
    m.TypeChar('/');
    m.TypeChar('*');
    EXPECT_EQ(m.LineStartState(11), kInBlockComment);
    EXPECT_EQ(m.LineStartState(999), kInBlockComment);
    EXPECT_LE(m.ScanCount(), 1000u + 2);
    auto changes = m.TakeChanges();
    EXPECT_EQ(changes.last_line, 999);  // lines whose colours changed are repainted

    // Typing inside the open comment changes nothing below: one scan.
    m.ResetScanCount();
    m.SetCaret({400, 3});
    m.TypeChar('z');
    EXPECT_EQ(m.ScanCount(), 1u);

    // Closing it on line 20 re-scans down to the end again; states below are plain.
    m.ResetScanCount();
    m.SetCaret({20, 0});
    m.TypeChar('*');
    m.TypeChar('/');
    EXPECT_EQ(m.LineStartState(21), 0);
    EXPECT_EQ(m.LineStartState(999), 0);
    EXPECT_EQ(m.LineStartState(15), kInBlockComment);

    // A comment opened and closed within lines 30..32 touches only those.
    m.ResetScanCount();
    m.SetCaret({30, 0});
    m.ReplaceSelection("/*\r\n*/");
    EXPECT_LE(m.ScanCount(), 3u);
    EXPECT_EQ(m.LineStartState(31), kInBlockComment);
    EXPECT_EQ(m.LineStartState(32), 0);

    // Undo restores the states too.
    m.Undo();
    EXPECT_EQ(m.LineStartState(31), 0);
    std::vector<TokenRun> runs;
    m.LineTokens(15, runs);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].cls, js.comment);
}

TEST(IncrementalHighlighting, SwitchingHighlighterKeepsTextAndUndo) {
    TVBScriptHighlighter vb;
    TJScriptHighlighter js;
    EditorModel m;
    m.SetText("/* a\r\nb */\r\n");
    m.SetHighlighter(&js);
    m.SetCaret({1, 4});
    m.TypeChar('c');
    m.SetHighlighter(&vb);
    EXPECT_EQ(m.LineStartState(1), 0);
    EXPECT_EQ(m.Text(), "/* a\r\nb */c\r\n");
    EXPECT_TRUE(m.CanUndo());
    m.SetHighlighter(&js);
    EXPECT_EQ(m.LineStartState(1), kInBlockComment);
    EXPECT_TRUE(m.TakeChanges().all);
}

}  // namespace
}  // namespace zeph::editor
