#include <gtest/gtest.h>

#include "base/result.h"
#include "base/unique.h"
#include "base/wide.h"

using namespace zeph::win;

TEST(Wide, ConvertsCyrillicWithOurOwnTable) {
    EXPECT_EQ(Wide("\xCA\xE0\xF0\xF2\xE0"), L"\x41A\x430\x440\x442\x430");
    EXPECT_EQ(Narrow(L"\x41A\x430\x440\x442\x430"), "\xCA\xE0\xF0\xF2\xE0");
}

TEST(Result, CaughtExceptionsBecomeHResults) {
    auto f = [](int which) -> HRESULT {
        try {
            if (which == 0) ThrowHResult(E_ACCESSDENIED);
            if (which == 1) throw std::bad_alloc();
            if (which == 2) throw std::runtime_error("x");
            return S_OK;
        }
        CATCH_RETURN();
    };
    EXPECT_EQ(f(0), E_ACCESSDENIED);
    EXPECT_EQ(f(1), E_OUTOFMEMORY);
    EXPECT_EQ(f(2), E_FAIL);
    EXPECT_EQ(f(3), S_OK);
}

TEST(Unique, FreesOnceAndMoves) {
    UniqueBrush a(::CreateSolidBrush(RGB(1, 2, 3)));
    ASSERT_TRUE(a);
    UniqueBrush b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_TRUE(b);
    HBRUSH raw = b.release();
    EXPECT_TRUE(::DeleteObject(raw));
}
