// The one mapping of exceptions at the module's, the forms' and the host's boundaries.
#include <windows.h>

#include <gtest/gtest.h>
#include <oleauto.h>

#include <stdexcept>

#include "base/result.h"
#include "base/unique.h"

using namespace zeph::win;

namespace {

template <typename E>
std::exception_ptr Thrown(E error) {
    return std::make_exception_ptr(std::move(error));
}

const ErrorDefaults kShowWhat{E_UNEXPECTED, L"fallback", true};
const ErrorDefaults kHideWhat{E_FAIL, L"internal", false};

}  // namespace

TEST(Boundary, DescribesEachKindOfException) {
    ErrorReport own = DescribeException(Thrown(HResultError(E_ACCESSDENIED, "denied")), kHideWhat);
    EXPECT_EQ(own.code, E_ACCESSDENIED);
    EXPECT_EQ(own.text, L"denied");  // an HResultError's text is for users even when what() is not

    // A success code is no failure to report.
    EXPECT_EQ(DescribeException(Thrown(HResultError(S_FALSE, "odd")), kShowWhat).code,
              E_UNEXPECTED);

    ErrorReport memory = DescribeException(Thrown(std::bad_alloc()), kShowWhat);
    EXPECT_EQ(memory.code, E_OUTOFMEMORY);
    EXPECT_FALSE(memory.text.empty());
    EXPECT_EQ(memory.text.find(L"bad_alloc"), std::wstring::npos);

    ErrorReport shown =
        DescribeException(Thrown(std::runtime_error("\xCE\xF8\xE8\xE1\xEA\xE0")), kShowWhat);
    EXPECT_EQ(shown.code, E_UNEXPECTED);
    EXPECT_EQ(shown.text, L"\x41E\x448\x438\x431\x43A\x430");  // code page 1251 "Ошибка"

    ErrorReport hidden =
        DescribeException(Thrown(std::out_of_range("vector::_M_range_check")), kHideWhat);
    EXPECT_EQ(hidden.code, E_FAIL);
    EXPECT_EQ(hidden.text, L"internal");

    ErrorReport odd = DescribeException(Thrown(42), kShowWhat);
    EXPECT_EQ(odd.code, E_UNEXPECTED);
    EXPECT_EQ(odd.text, L"fallback");
}

TEST(Boundary, WideTextKeepsCharactersOutsideTheCodePage) {
    const std::wstring text = L"\x201E\x4E2D\x201C";  // quotes and a CJK sign: none in 1251
    ErrorReport report = DescribeException(Thrown(HResultError(E_INVALIDARG, text)), kHideWhat);
    EXPECT_EQ(report.code, E_INVALIDARG);
    EXPECT_EQ(report.text, text);
}

TEST(Boundary, ReportSetsTheThreadsErrorInformation) {
    const GUID iid = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    HRESULT hr = E_NOTIMPL;
    try {
        throw HResultError(DISP_E_TYPEMISMATCH, "mismatch");
    } catch (...) {
        hr = ReportCaughtException(iid, L"Test.Source", kShowWhat);
    }
    EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(::GetErrorInfo(0, info.put()), S_OK);
    UniqueBstr description, source;
    GUID guid{};
    ASSERT_HRESULT_SUCCEEDED(info->GetDescription(description.put()));
    ASSERT_HRESULT_SUCCEEDED(info->GetSource(source.put()));
    ASSERT_HRESULT_SUCCEEDED(info->GetGUID(&guid));
    EXPECT_STREQ(description.get(), L"mismatch");
    EXPECT_STREQ(source.get(), L"Test.Source");
    EXPECT_TRUE(::IsEqualGUID(guid, iid));
}

TEST(Boundary, SystemTextHasNoTrailingLineBreak) {
    std::wstring text = SystemText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), L'\n');
    EXPECT_NE(text.back(), L'\r');
    EXPECT_TRUE(SystemText(0xDEADBEEF).empty());
}
