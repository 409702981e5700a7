#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "automation.h"

namespace {

std::string Text(const SYSTEMTIME& st) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u.%03u dow%u", st.wYear, st.wMonth,
                  st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, st.wDayOfWeek);
    return buf;
}

std::string DateText(double v) {
    SYSTEMTIME st{};
    return VariantTimeToSystemTime(v, &st) ? Text(st) : "refused";
}

std::wstring BstrText(double v, ULONG flags = 0) {
    BSTR b = nullptr;
    if (VarBstrFromDate(v, LOCALE_USER_DEFAULT, flags, &b) == DISP_E_OVERFLOW)
        return L"overflow";
    std::wstring s(b, SysStringLen(b));
    SysFreeString(b);
    return s;
}

std::string Result(HRESULT hr, LONG value) {
    return hr == S_OK ? std::to_string(value) : hr == DISP_E_OVERFLOW ? "overflow" : "invalid";
}

std::string I4(double v) {
    LONG out = 0;
    const HRESULT hr = VarI4FromDate(v, &out);
    return Result(hr, out);
}

std::string Dec(uint32_t hi, uint64_t lo, BYTE scale, bool negative = false) {
    const DECIMAL d{0, scale, BYTE(negative ? DECIMAL_NEG : 0), hi, lo};
    LONG out = 0;
    const HRESULT hr = VarI4FromDec(&d, &out);
    return Result(hr, out);
}

}  // namespace

TEST(AutomationDates, KnownValuesBothWays) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "1899-12-30 00:00:00.000 dow6"},
        {1.0, "1899-12-31 00:00:00.000 dow0"},
        {2.0, "1900-01-01 00:00:00.000 dow1"},
        {2.5, "1900-01-01 12:00:00.000 dow1"},
        {36526.0, "2000-01-01 00:00:00.000 dow6"},
        {-1.5, "1899-12-29 12:00:00.000 dow5"},
        {-2.75, "1899-12-28 18:00:00.000 dow4"},
        {-657434.5, "0100-01-01 12:00:00.000 dow5"},
        {2958465.0 + 86399.0 / 86400, "9999-12-31 23:59:59.000 dow5"},
    };
    for (const auto& c : cases) {
        SYSTEMTIME st{};
        ASSERT_TRUE(VariantTimeToSystemTime(c.value, &st)) << c.value;
        EXPECT_EQ(Text(st), c.text) << c.value;
        double back = 1e300;
        ASSERT_TRUE(SystemTimeToVariantTime(&st, &back)) << c.text;
        EXPECT_NEAR(back, c.value, 1e-9) << c.text;
    }
    // The fraction of a negative date is the time of day counted forward from midnight.
    EXPECT_EQ(DateText(-0.25), "1899-12-30 06:00:00.000 dow6");
}

TEST(AutomationDates, RoundsToTheSecondAndRefusesWhatIsOutOfRange) {
    EXPECT_EQ(DateText(0.5 + 0.6 / 86400), "1899-12-30 12:00:01.000 dow6");
    // Rounding up past 23:59:59 moves to the next day, also for negative dates.
    EXPECT_EQ(DateText(1.0 - 0.2 / 86400), "1899-12-31 00:00:00.000 dow0");
    EXPECT_EQ(DateText(-1.0 - (1.0 - 0.2 / 86400)), "1899-12-30 00:00:00.000 dow6");
    for (double out : {-657435.0, 2958466.0, 2958465.999999, std::nan("")})
        EXPECT_EQ(DateText(out), "refused") << out;

    const WORD bad[][6] = {{2021, 2, 30, 0, 0, 0}, {1900, 2, 29, 0, 0, 0}, {2021, 13, 1, 0, 0, 0},
                           {2021, 4, 31, 0, 0, 0}, {2021, 1, 0, 0, 0, 0},  {2021, 1, 1, 24, 0, 0},
                           {2021, 1, 1, 0, 60, 0}, {99, 12, 31, 0, 0, 0},  {10000, 1, 1, 0, 0, 0}};
    for (const auto& p : bad) {
        const SYSTEMTIME st{p[0], p[1], 0, p[2], p[3], p[4], p[5], 0};
        double v = 42.0;
        EXPECT_FALSE(SystemTimeToVariantTime(&st, &v)) << Text(st);
        EXPECT_EQ(v, 42.0) << "output changed for " << Text(st);
    }
}

TEST(AutomationDates, RoundTripsAcrossTheWholeRange) {
    auto roundTrip = [](int64_t day) {
        const int second = int((day * 7919 % 86400 + 86400) % 86400);
        const double value = double(day) + (day < 0 ? -1 : 1) * second / 86400.0;
        SYSTEMTIME st{}, again{};
        double back = 0;
        EXPECT_TRUE(VariantTimeToSystemTime(value, &st)) << value;
        EXPECT_EQ(st.wHour * 3600 + st.wMinute * 60 + st.wSecond, second) << value;
        EXPECT_TRUE(SystemTimeToVariantTime(&st, &back)) << Text(st);
        EXPECT_TRUE(VariantTimeToSystemTime(back, &again));
        EXPECT_EQ(Text(again), Text(st)) << value;
        return st.wDayOfWeek;
    };
    for (int64_t day : {-2, -1, 1, 2958465})
        roundTrip(day);
    // Days 997 apart are 3 weekdays apart (997 = 142 * 7 + 3).
    int previous = roundTrip(-657434);
    for (int64_t day = -657434 + 997; day <= 2958465; day += 997) {
        const int dow = roundTrip(day);
        ASSERT_EQ(dow, (previous + 3) % 7) << "day " << day;
        previous = dow;
    }
}

TEST(AutomationDates, BstrLayoutAndFlags) {
    EXPECT_EQ(BstrText(36526.0), L"2000-01-01");
    EXPECT_EQ(BstrText(36526.75), L"2000-01-01 18:00:00");
    EXPECT_EQ(BstrText(0.0), L"00:00:00");
    EXPECT_EQ(BstrText(-0.25), L"06:00:00");
    EXPECT_EQ(BstrText(-1.5), L"1899-12-29 12:00:00");
    EXPECT_EQ(BstrText(36526.75, VAR_TIMEVALUEONLY), L"18:00:00");
    EXPECT_EQ(BstrText(0.5, VAR_DATEVALUEONLY), L"1899-12-30");
    EXPECT_EQ(BstrText(3e6), L"overflow");
}

TEST(AutomationDates, TextAtTheEdgesOfTheCalendar) {
    // 1 January 100 and 31 December 9999 are the first and last days; a time that rounds
    // up to midnight after the last second of 9999 leaves the range.
    EXPECT_EQ(BstrText(-657434.0), L"0100-01-01");
    EXPECT_EQ(BstrText(-657434.5), L"0100-01-01 12:00:00");
    EXPECT_EQ(BstrText(-657434.75), L"0100-01-01 18:00:00");
    EXPECT_EQ(BstrText(-657435.0), L"overflow");
    EXPECT_EQ(BstrText(2958465.0 + 86399.0 / 86400), L"9999-12-31 23:59:59");
    EXPECT_EQ(BstrText(2958465.999999), L"overflow");
    EXPECT_EQ(BstrText(2958466.0), L"overflow");
    EXPECT_EQ(BstrText(std::nan("")), L"overflow");
    // A time that rounds up to midnight moves to the next day, and shows no time.
    EXPECT_EQ(BstrText(36526.9999999), L"2000-01-02");
    BSTR b = nullptr;
    EXPECT_EQ(VarBstrFromDate(1.0, LOCALE_USER_DEFAULT, VAR_DATEVALUEONLY | VAR_TIMEVALUEONLY, &b),
              E_INVALIDARG);
    EXPECT_EQ(b, nullptr);
}

TEST(AutomationNumbers, RoundingToI4TakesHalvesToEven) {
    EXPECT_EQ(I4(2.5) + " " + I4(3.5) + " " + I4(-2.5) + " " + I4(-2.5000001), "2 4 -2 -3");
    EXPECT_EQ(I4(-2147483648.5), "-2147483648");
    EXPECT_EQ(I4(2147483647.5), "overflow");
    EXPECT_EQ(I4(std::nan("")), "overflow");

    EXPECT_EQ(Dec(0, 25, 1) + " " + Dec(0, 35, 1) + " " + Dec(0, 25, 1, true), "2 4 -2");
    EXPECT_EQ(Dec(0, 2500000000000000001ull, 18), "3");  // just above a half
    EXPECT_EQ(Dec(1, 0, 10), "1844674407");              // 2^64 / 10^10: the high word counts
    EXPECT_EQ(Dec(0x204FCE5E, 0x3E25026110000000ull, 28, true), "-1");  // 10^28 at scale 28
    EXPECT_EQ(Dec(0, 2147483648ull, 0, true), "-2147483648");
    EXPECT_EQ(Dec(0, 2147483648ull, 0), "overflow");
    EXPECT_EQ(Dec(0, 21474836475ull, 1), "overflow");  // rounds up to 2^31
    EXPECT_EQ(Dec(0, 1, 29), "invalid");
}

TEST(AutomationNumbers, BstrCompareIsOrdinalUnlessCaseIgnored) {
    BSTR lower = SysAllocString(L"abc"), upper = SysAllocString(L"ABC");
    BSTR longer = SysAllocString(L"abcd"), astral = SysAllocString(L"\U0001F600");
    EXPECT_EQ(VarBstrCmp(lower, upper, 0, 0), VARCMP_GT);
    EXPECT_EQ(VarBstrCmp(lower, upper, 0, NORM_IGNORECASE), VARCMP_EQ);
    EXPECT_EQ(VarBstrCmp(longer, upper, 0, NORM_IGNORECASE), VARCMP_GT);
    EXPECT_EQ(VarBstrCmp(nullptr, lower, 0, 0), VARCMP_LT);
    EXPECT_EQ(VarBstrCmp(nullptr, const_cast<BSTR>(L""), 0, 0), VARCMP_EQ);
    EXPECT_EQ(VarBstrCmp(astral, const_cast<BSTR>(L"\uFFFF"), 0, 0), VARCMP_GT);
    for (BSTR b : {lower, upper, longer, astral})
        SysFreeString(b);
}

TEST(AutomationTimes, FileTimeAndUuidText) {
    auto convert = [](uint64_t ticks) {
        const FILETIME ft{DWORD(ticks), DWORD(ticks >> 32)};
        SYSTEMTIME st{};
        return FileTimeToSystemTime(&ft, &st) ? Text(st) : std::string("refused");
    };
    EXPECT_EQ(convert(0), "1601-01-01 00:00:00.000 dow1");
    EXPECT_EQ(convert(116444736000000000ull + 12349999), "1970-01-01 00:00:01.234 dow4");
    EXPECT_EQ(convert(0x7FFFFFFFFFFFFFFFull), "30828-09-14 02:48:05.477 dow4");
    EXPECT_EQ(convert(0x8000000000000000ull), "refused");

    const UUID id = {0x0c733a30, 0x2a1c, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
    RPC_WSTR text = nullptr;
    ASSERT_EQ(UuidToStringW(&id, &text), RPC_S_OK);
    EXPECT_STREQ(text, L"0c733a30-2a1c-11ce-ade5-00aa0044773d");
    EXPECT_EQ(RpcStringFreeW(&text), RPC_S_OK);
    EXPECT_EQ(text, nullptr);
}
