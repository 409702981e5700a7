// The wide formatter's Windows conventions, widths, truncation and reused argument lists.
#include <gtest/gtest.h>

#include <cstdarg>

#include "vornoledb/platform/format.h"

namespace {
// Formats twice from one va_list: both results must agree.
std::wstring Twice(std::wstring* second, const wchar_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::wstring first = VornFormatV(fmt, args);
    *second = VornFormatV(fmt, args);
    va_end(args);
    return first;
}
}  // namespace

TEST(WideFormat, WideAndNarrowStringsAndCharacters) {
    EXPECT_EQ(L"wide narrow", VornFormat(L"%s %S", L"wide", "narrow"));
    EXPECT_EQ(L"a b c d", VornFormat(L"%hs %ls %ws %s", "a", L"b", L"c", L"d"));
    EXPECT_EQ(L"Äx", VornFormat(L"%S%c", "\xC3\x84", L'x'));
    EXPECT_EQ(L"AB", VornFormat(L"%C%hc", 'A', 'B'));
    EXPECT_EQ(L"\xFF80", VornFormat(L"%c", static_cast<wchar_t>(0xFF80)));
    EXPECT_EQ(L"😀", VornFormat(L"%s", L"😀"));
    EXPECT_EQ(L"(null)", VornFormat(L"%s", static_cast<const wchar_t*>(nullptr)));
}

TEST(WideFormat, WidthPrecisionAndFlags) {
    EXPECT_EQ(L"   7|7   |0007", VornFormat(L"%4d|%-4d|%04d", 7, 7, 7));
    EXPECT_EQ(L"  ab|ab  |abc", VornFormat(L"%4.2s|%-4.2s|%.*s", L"abcd", L"abcd", 3, L"abcdef"));
    EXPECT_EQ(L"   xy", VornFormat(L"%*S", 5, "xy"));
    EXPECT_EQ(L"1.500000 -2.75 +3", VornFormat(L"%f %.2f %+d", 1.5, -2.75, 3));
    EXPECT_EQ(L"100%", VornFormat(L"%d%%", 100));
}

TEST(WideFormat, WindowsIntegerSizes) {
    EXPECT_EQ(L"-9223372036854775807", VornFormat(L"%I64d", -9223372036854775807LL));
    EXPECT_EQ(L"18446744073709551615", VornFormat(L"%I64u", 18446744073709551615ULL));
    EXPECT_EQ(L"-5 65535 -1 4294967295",
              VornFormat(L"%hd %hu %I32d %lu", -5, 65535, -1, 4294967295u));
    EXPECT_EQ(L"ff FF", VornFormat(L"%x %X", 255, 255));
    EXPECT_EQ(L"123456789012", VornFormat(L"%Id", static_cast<long long>(123456789012LL)));
    // 'l' is 32 bits wide here, as in the Windows runtime.
    EXPECT_EQ(L"-2147483648", VornFormat(L"%ld", static_cast<int>(0x80000000u)));
}

TEST(WideFormat, TruncationAtTheCapacity) {
    wchar_t buf[8];
    EXPECT_EQ(5, VornFormatTrunc(buf, 8, L"%s", L"hello"));
    EXPECT_EQ(L"hello", std::wstring(buf));

    wmemset(buf, L'#', 8);
    EXPECT_EQ(8, VornFormatTrunc(buf, 8, L"%s", L"12345678"));
    EXPECT_EQ(L"12345678", std::wstring(buf, 8));

    wmemset(buf, L'#', 8);
    EXPECT_EQ(-1, VornFormatTrunc(buf, 6, L"%s-%d", L"abcdef", 42));
    EXPECT_EQ(L"abcdef##", std::wstring(buf, 8));
}

namespace {
int TruncWithFlag(wchar_t* buf, size_t cap, bool* cut, const wchar_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int n = VornFormatTruncV(buf, cap, fmt, args, cut);
    va_end(args);
    return n;
}
}  // namespace

TEST(WideFormat, TruncationIsReported) {
    wchar_t buf[4];
    bool cut = true;
    EXPECT_EQ(3, TruncWithFlag(buf, 4, &cut, L"%d", 123));
    EXPECT_FALSE(cut);
    EXPECT_EQ(-1, TruncWithFlag(buf, 4, &cut, L"%d", 12345));
    EXPECT_TRUE(cut);
    EXPECT_EQ(L"1234", std::wstring(buf, 4));
}

TEST(WideFormat, ReusedArgumentListGivesTheSameText) {
    std::wstring second;
    std::wstring first = Twice(&second, L"%s=%d %S", L"key", 42, "v");
    EXPECT_EQ(L"key=42 v", first);
    EXPECT_EQ(first, second);
}

TEST(WideFormat, BadFormatsAreRefused) {
    std::wstring s = L"keep";
    EXPECT_EQ(-1, VornAppendFormat(s, L"%y", 1));
    EXPECT_EQ(-1, VornAppendFormat(s, L"trailing %"));
    EXPECT_EQ(L"keep", s);
    int written = 0;
    EXPECT_EQ(L"a", VornFormat(L"a%n", &written));
    EXPECT_EQ(0, written);
}
