// Automation dates, FILETIME and their calendar parts.
//
// An automation date is a day count from 30 December 1899 00:00 whose fraction is the time
// of day. The fraction always counts forward from midnight, also for negative dates: the
// whole part picks the day (towards zero) and the magnitude of the fraction the time, so
// -1.5 is 29 December 1899 12:00 and -0.25 is 30 December 1899 06:00. Calendar arithmetic
// uses the proleptic Gregorian calendar through day numbers relative to 1 January 1970.
#include <cmath>
#include <cstdint>
#include <limits>

#include "automation.h"

namespace vornoledb {

namespace {

constexpr int64_t kSecondsPerDay = 86400;
// Day number (from 1970-01-01) of 30 December 1899, day 0 of automation dates.
constexpr int64_t kAutomationEpoch = -25569;
// Day number of 1 January 1601, the origin of FILETIME.
constexpr int64_t kFileTimeEpoch = -134774;
// The automation date range: 1 January 100 (whole part -657434) to 31 December 9999
// (whole part 2958465); any fraction of those days is inside.
constexpr double kMinDateWhole = -657434.0;
constexpr double kMaxDateWhole = 2958465.0;
constexpr int kMinYear = 100;
constexpr int kMaxYear = 9999;

struct CivilDate {
    int64_t year;
    unsigned month;
    unsigned day;
};

// Day number relative to 1970-01-01 of a proleptic Gregorian date (years may be any size).
constexpr int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

constexpr CivilDate CivilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

static_assert(DaysFromCivil(1899, 12, 30) == kAutomationEpoch, "automation epoch");
static_assert(DaysFromCivil(1601, 1, 1) == kFileTimeEpoch, "FILETIME epoch");
static_assert(DaysFromCivil(100, 1, 1) - kAutomationEpoch == -657434, "first automation day");
static_assert(DaysFromCivil(9999, 12, 31) - kAutomationEpoch == 2958465, "last automation day");

// 0 = Sunday; 1 January 1970 was a Thursday.
constexpr WORD DayOfWeek(int64_t z) {
    return static_cast<WORD>(z >= -4 ? (z + 4) % 7 : (z + 5) % 7 + 6);
}

constexpr bool IsLeapYear(unsigned y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

constexpr unsigned DaysInMonth(unsigned y, unsigned m) {
    constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// Fills the calendar parts of a day number and a second of that day.
void FillSystemTime(int64_t dayNumber, int64_t secondOfDay, WORD milliseconds, SYSTEMTIME* st) {
    const CivilDate c = CivilFromDays(dayNumber);
    st->wYear = static_cast<WORD>(c.year);
    st->wMonth = static_cast<WORD>(c.month);
    st->wDay = static_cast<WORD>(c.day);
    st->wDayOfWeek = DayOfWeek(dayNumber);
    st->wHour = static_cast<WORD>(secondOfDay / 3600);
    st->wMinute = static_cast<WORD>(secondOfDay / 60 % 60);
    st->wSecond = static_cast<WORD>(secondOfDay % 60);
    st->wMilliseconds = milliseconds;
}

// Splits an automation date into a day number (from 1970-01-01) and the second of the day,
// rounded to the nearest second; a time that rounds up to midnight moves to the next day.
// False for NaN and for dates outside 1 January 100 to 31 December 9999.
bool SplitDate(double v, int64_t* dayNumber, int64_t* secondOfDay) {
    if (!(v > kMinDateWhole - 1.0 && v < kMaxDateWhole + 1.0))
        return false;
    const double whole = std::trunc(v);
    const double fraction = std::fabs(v - whole);
    int64_t day = static_cast<int64_t>(whole) + kAutomationEpoch;
    int64_t second = std::llround(fraction * kSecondsPerDay);
    if (second >= kSecondsPerDay) {
        second -= kSecondsPerDay;
        ++day;
    }
    const int64_t year = CivilFromDays(day).year;
    if (year < kMinYear || year > kMaxYear)
        return false;
    *dayNumber = day;
    *secondOfDay = second;
    return true;
}

// Writes `value` as exactly `width` decimal digits.
wchar_t* PutDigits(wchar_t* out, unsigned value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    }
    return out + width;
}

double RoundHalfToEven(double v) {
    const double floor = std::floor(v);
    const double diff = v - floor;
    if (diff > 0.5)
        return floor + 1.0;
    if (diff == 0.5 && std::fmod(floor, 2.0) != 0.0)
        return floor + 1.0;
    return floor;
}

}  // namespace

INT SystemTimeToVariantTime(const SYSTEMTIME* lpSystemTime, double* pvtime) {
    if (!lpSystemTime || !pvtime)
        return FALSE;
    const SYSTEMTIME& st = *lpSystemTime;
    if (st.wYear < kMinYear || st.wYear > kMaxYear)
        return FALSE;
    if (st.wMonth < 1 || st.wMonth > 12)
        return FALSE;
    if (st.wDay < 1 || st.wDay > DaysInMonth(st.wYear, st.wMonth))
        return FALSE;
    if (st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59)
        return FALSE;

    const int64_t days = DaysFromCivil(st.wYear, st.wMonth, st.wDay) - kAutomationEpoch;
    const double time = (st.wHour * 3600.0 + st.wMinute * 60.0 + st.wSecond) / kSecondsPerDay;
    // Before day 0 the time of day still counts forward, so it extends the negative value.
    *pvtime = days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
    return TRUE;
}

INT VariantTimeToSystemTime(double vtime, SYSTEMTIME* lpSystemTime) {
    if (!lpSystemTime)
        return FALSE;
    int64_t day = 0;
    int64_t second = 0;
    if (!SplitDate(vtime, &day, &second))
        return FALSE;
    FillSystemTime(day, second, 0, lpSystemTime);
    return TRUE;
}

HRESULT VarBstrFromDate(DATE dateIn, LCID /*lcid*/, ULONG dwFlags, BSTR* pbstrOut) {
    if (!pbstrOut)
        return E_INVALIDARG;
    *pbstrOut = nullptr;
    // Asking for only the date and only the time at once names no text.
    if ((dwFlags & VAR_DATEVALUEONLY) && (dwFlags & VAR_TIMEVALUEONLY))
        return E_INVALIDARG;
    int64_t day = 0;
    int64_t second = 0;
    if (!SplitDate(dateIn, &day, &second))
        return DISP_E_OVERFLOW;

    bool showDate;
    bool showTime;
    if (dwFlags & VAR_DATEVALUEONLY) {
        showDate = true;
        showTime = false;
    } else if (dwFlags & VAR_TIMEVALUEONLY) {
        showDate = false;
        showTime = true;
    } else if (day == kAutomationEpoch) {
        // Day 0 carries no date of its own: the value is a time (00:00:00 for 0.0 itself).
        showDate = false;
        showTime = true;
    } else {
        showDate = true;
        showTime = second != 0;
    }

    SYSTEMTIME st;
    FillSystemTime(day, second, 0, &st);
    wchar_t text[32];
    wchar_t* p = text;
    if (showDate) {
        p = PutDigits(p, st.wYear, 4);
        *p++ = L'-';
        p = PutDigits(p, st.wMonth, 2);
        *p++ = L'-';
        p = PutDigits(p, st.wDay, 2);
    }
    if (showTime) {
        if (showDate)
            *p++ = L' ';
        p = PutDigits(p, st.wHour, 2);
        *p++ = L':';
        p = PutDigits(p, st.wMinute, 2);
        *p++ = L':';
        p = PutDigits(p, st.wSecond, 2);
    }
    *p = L'\0';
    *pbstrOut = SysAllocString(text);
    return *pbstrOut ? S_OK : E_OUTOFMEMORY;
}

HRESULT VarI4FromDate(DATE dateIn, LONG* plOut) {
    if (!plOut)
        return E_INVALIDARG;
    // The first test also rejects NaN; it keeps the rounding below within exact doubles.
    if (!(dateIn > -2147483649.0 && dateIn < 2147483648.0))
        return DISP_E_OVERFLOW;
    const double rounded = RoundHalfToEven(dateIn);
    if (rounded < static_cast<double>(std::numeric_limits<LONG>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<LONG>::max()))
        return DISP_E_OVERFLOW;
    *plOut = static_cast<LONG>(rounded);
    return S_OK;
}

BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, SYSTEMTIME* lpSystemTime) {
    if (!lpFileTime || !lpSystemTime)
        return FALSE;
    const uint64_t ticks =
        (static_cast<uint64_t>(lpFileTime->dwHighDateTime) << 32) | lpFileTime->dwLowDateTime;
    if (ticks >> 63)
        return FALSE;
    constexpr uint64_t kTicksPerMillisecond = 10000;
    const uint64_t milliseconds = ticks / kTicksPerMillisecond;
    const uint64_t seconds = milliseconds / 1000;
    FillSystemTime(static_cast<int64_t>(seconds / kSecondsPerDay) + kFileTimeEpoch,
                   static_cast<int64_t>(seconds % kSecondsPerDay),
                   static_cast<WORD>(milliseconds % 1000), lpSystemTime);
    return TRUE;
}

}  // namespace vornoledb
