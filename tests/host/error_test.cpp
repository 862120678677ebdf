// What the host's boundaries (its automation methods and window procedures) say for a failure.
#include <gtest/gtest.h>

#include <stdexcept>

#include "host/automation.h"

namespace tellur {

TEST(HostError, MapErrorsAreBadArgumentsWithTheirOwnText) {
    auto report = DescribeHostError(std::make_exception_ptr(MapError(L"На карте нет объекта 7")));
    EXPECT_EQ(report.code, E_INVALIDARG);
    EXPECT_EQ(report.text, L"На карте нет объекта 7");
}

TEST(HostError, LibraryTextsAreNotShown) {
    auto report = DescribeHostError(std::make_exception_ptr(std::out_of_range("vector::at")));
    EXPECT_EQ(report.code, E_FAIL);
    EXPECT_EQ(report.text, L"Внутренняя ошибка Теллура");
    // Nor is a stray non-standard exception let through.
    EXPECT_EQ(DescribeHostError(std::make_exception_ptr(7)).code, E_FAIL);
}

}  // namespace tellur
