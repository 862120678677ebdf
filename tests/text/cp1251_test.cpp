#include "text/cp1251.h"

#include <gtest/gtest.h>

using namespace zeph::text;

TEST(Cp1251, EveryByteRoundTripsThroughUtf16AndUtf8) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(FromUtf16(ToUtf16(all)), all);
    EXPECT_EQ(FromUtf8(ToUtf8(all)), all);
}

TEST(Cp1251, KnownCharacters) {
    EXPECT_EQ(ToUtf16('\xC0'), u'А');
    EXPECT_EQ(ToUtf16('\xFF'), u'я');
    EXPECT_EQ(ToUtf16('\xA8'), u'Ё');
    EXPECT_EQ(ToUtf16('\xB9'), u'№');
    EXPECT_EQ(ToUtf16('\x88'), u'€');
    EXPECT_EQ(ToUtf16('\x98'), u'\u0098');  // unassigned byte maps deterministically
    EXPECT_EQ(ToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2"), "Привет");
}

TEST(Cp1251, UnmappableInputBecomesReplacement) {
    EXPECT_EQ(FromUtf16(u"a\u4E2Db"), "a?b");
    EXPECT_EQ(FromUtf16(u"a\U0001F600b"), "a?b");  // a surrogate pair is one character
    EXPECT_EQ(FromUtf16(std::u16string{u'a', char16_t(0xD800), u'b'}),
              "a?b");  // unpaired surrogate
    EXPECT_EQ(FromUtf8("a\xFF"
                       "b"),
              "a?b");                       // not UTF-8 at all
    EXPECT_EQ(FromUtf8("a\xD0"), "a?");     // truncated sequence
    EXPECT_EQ(FromUtf8("\xC0\x80"), "??");  // overlong form
    EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), "?");
    EXPECT_EQ(FromUtf8("x", '#'), "x");
}

TEST(Cp1251, LiteralsAreConvertedAtCompileTime) {
    constexpr std::string_view s = u8"Ошибка ёЁ №"_cp;
    static_assert(s.size() == 11);
    EXPECT_EQ(s, "\xCE\xF8\xE8\xE1\xEA\xE0 \xB8\xA8 \xB9");
}

TEST(Cp1251, CaseFoldingCoversCyrillic) {
    EXPECT_EQ(ToUpper('a'), 'A');
    EXPECT_EQ(ToUpper('\xE0'), '\xC0');  // а -> А
    EXPECT_EQ(ToUpper('\xB8'), '\xA8');  // ё -> Ё
    EXPECT_EQ(ToLower('\xA8'), '\xB8');
    EXPECT_EQ(ToUpper('\xA2'), '\xA1');  // ў -> Ў
    EXPECT_EQ(ToUpper('\xB4'), '\xA5');  // ґ -> Ґ
    EXPECT_EQ(ToUpper('\x9F'), '\x8F');  // џ -> Џ
    EXPECT_EQ(ToUpper('\xB5'), '\xB5');  // µ has no upper case in the code page
    EXPECT_EQ(ToUpper('1'), '1');
    for (int b = 0; b < 256; ++b) {  // folding is idempotent and consistent
        char c = static_cast<char>(b);
        EXPECT_EQ(ToUpper(ToUpper(c)), ToUpper(c));
        EXPECT_EQ(ToUpper(ToLower(c)), ToUpper(c)) << b;
    }
    EXPECT_TRUE(EqualsNoCase("Application", "APPLICATION"));
    EXPECT_TRUE(EqualsNoCase("\xEA\xE0\xF0\xF2\xE0", "\xCA\xC0\xD0\xD2\xC0"));  // карта/КАРТА
    EXPECT_FALSE(EqualsNoCase("ab", "abc"));
    EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
    EXPECT_EQ(CompareNoCase("abc", "ABC"), 0);
    EXPECT_GT(CompareNoCase("abcd", "ABC"), 0);
}

TEST(Cp1251, CharacterClasses) {
    EXPECT_TRUE(IsXmlNameStart('_'));
    EXPECT_TRUE(IsXmlNameStart('\xC6'));  // Cyrillic letters are letters
    EXPECT_TRUE(IsXmlNameStart('\xA8'));
    EXPECT_FALSE(IsXmlNameStart('1'));
    EXPECT_FALSE(IsXmlNameStart('-'));
    EXPECT_TRUE(IsXmlNameChar('-'));
    EXPECT_TRUE(IsXmlNameChar(':'));
    EXPECT_TRUE(IsXmlNameChar('9'));
    EXPECT_FALSE(IsXmlNameChar(' '));
    EXPECT_FALSE(IsXmlNameChar('\xB9'));  // №

    // Identifier characters: Cyrillic 0xC0..0xFF except Che, no Yo.
    EXPECT_TRUE(IsIdentChar('\xC0'));
    EXPECT_TRUE(IsIdentChar('\xD6'));
    EXPECT_FALSE(IsIdentChar('\xD7'));
    EXPECT_TRUE(IsIdentChar('\xD8'));
    EXPECT_FALSE(IsIdentChar('\xF7'));
    EXPECT_TRUE(IsIdentChar('\xFF'));
    EXPECT_FALSE(IsIdentChar('\xA8'));
    EXPECT_FALSE(IsIdentChar('\xB8'));
    EXPECT_TRUE(IsIdentChar('_'));
    EXPECT_FALSE(IsIdentChar('$'));
    EXPECT_TRUE(IsScanIdentChar('z'));
    EXPECT_FALSE(IsScanIdentChar('\xC0'));
}
