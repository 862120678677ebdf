#include "text/json.h"

#include <gtest/gtest.h>

namespace zeph::text {
namespace {

std::string Json(std::string_view s) {
    std::string out;
    AppendJsonString(out, s);
    return out;
}

TEST(JsonString, EscapesQuotesBackslashesAndControlCharacters) {
    EXPECT_EQ(Json(""), "\"\"");
    EXPECT_EQ(Json("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(Json("\r\n\t"), "\"\\r\\n\\t\"");
    EXPECT_EQ(Json(std::string_view("\0\x01\x1f", 3)), "\"\\u0000\\u0001\\u001f\"");
    EXPECT_EQ(Json(" \x7f"), "\" \x7f\"");
}

TEST(JsonString, KeepsUtf8BytesAndAppends) {
    std::string out = "[";
    AppendJsonString(out, "\xd0\x9f\xd1\x80");  // "Пр"
    EXPECT_EQ(out, "[\"\xd0\x9f\xd1\x80\"");
}

}  // namespace
}  // namespace zeph::text
