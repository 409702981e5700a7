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
#include "calendar.h"

namespace vornoledb {

namespace {

// Day number of 1 January 1601, the origin of FILETIME.
constexpr int64_t kFileTimeEpoch = -134774;
static_assert(vorn::DaysFromCivil(1601, 1, 1) == kFileTimeEpoch, "FILETIME epoch");

// Fills the calendar parts of a day number and a second of that day.
void FillSystemTime(int64_t dayNumber, int64_t secondOfDay, WORD milliseconds, SYSTEMTIME* st) {
    const vorn::DateParts p = vorn::DatePartsOf(dayNumber, secondOfDay);
    st->wYear = static_cast<WORD>(p.year);
    st->wMonth = static_cast<WORD>(p.month);
    st->wDay = static_cast<WORD>(p.day);
    st->wDayOfWeek = static_cast<WORD>(vorn::DayOfWeek(dayNumber));
    st->wHour = static_cast<WORD>(p.hour);
    st->wMinute = static_cast<WORD>(p.minute);
    st->wSecond = static_cast<WORD>(p.second);
    st->wMilliseconds = milliseconds;
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
    vorn::DateParts parts;
    parts.year = st.wYear;
    parts.month = st.wMonth;
    parts.day = st.wDay;
    parts.hour = st.wHour;
    parts.minute = st.wMinute;
    parts.second = st.wSecond;
    return vorn::DatePartsToAutomation(parts, pvtime) ? TRUE : FALSE;
}

INT VariantTimeToSystemTime(double vtime, SYSTEMTIME* lpSystemTime) {
    if (!lpSystemTime)
        return FALSE;
    int64_t day = 0;
    int64_t second = 0;
    if (!vorn::SplitAutomationDate(vtime, &day, &second))
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
    char text[32];
    const size_t length = vorn::AutomationDateText(dateIn, (dwFlags & VAR_DATEVALUEONLY) != 0,
                                                   (dwFlags & VAR_TIMEVALUEONLY) != 0, text);
    if (length == 0)
        return DISP_E_OVERFLOW;
    wchar_t wide[32];
    for (size_t i = 0; i <= length; ++i)
        wide[i] = static_cast<wchar_t>(text[i]);
    *pbstrOut = SysAllocString(wide);
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
    FillSystemTime(static_cast<int64_t>(seconds / vorn::kSecondsPerDay) + kFileTimeEpoch,
                   static_cast<int64_t>(seconds % vorn::kSecondsPerDay),
                   static_cast<WORD>(milliseconds % 1000), lpSystemTime);
    return TRUE;
}

}  // namespace vornoledb
