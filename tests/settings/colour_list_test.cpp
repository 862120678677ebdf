#include <gtest/gtest.h>

#include <set>
#include <string>

#include "settings/colour_list.h"

namespace zeph::settings {
namespace {

TEST(ColourList, HoldsTheSpecialValuesAndEachValueOnce) {
    std::set<editor::ColourValue> values;
    for (const ColourEntry& e : ColourList()) {
        EXPECT_TRUE(values.insert(e.value).second) << e.name;
        EXPECT_FALSE(e.name.empty());
    }
    EXPECT_EQ(ColourList()[ColourIndex(editor::kNoColour)].name, "None");
    EXPECT_EQ(ColourList()[ColourIndex(editor::kDefaultColour)].name, "Default");
    // The values a new store writes are all in the list.
    for (editor::ColourValue v : {0, 128, 32768, 16711680, -16777211})
        EXPECT_GE(ColourIndex(v), 0) << v;
}

TEST(ColourList, AnyOtherValueNeedsTheCustomEntry) {
    EXPECT_EQ(ColourIndex(0x123456), -1);
    EXPECT_EQ(ColourIndex(static_cast<editor::ColourValue>(0xFF0000FEu)), -1);
    EXPECT_EQ(ColourList()[ColourIndex(0x0000FF)].name, "Red");
}

}  // namespace
}  // namespace zeph::settings
