// Date text and automation dates.
#include "provider/command/date_text.h"

#include "vornoledb/platform/automation.h"

namespace vorn::provider {
namespace {

bool Digit(char c) {
    return c >= '0' && c <= '9';
}
bool Space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Reads between minDigits and maxDigits digits at *p.
bool Number(const char*& p, const char* end, int minDigits, int maxDigits, int* out) {
    int value = 0;
    int digits = 0;
    while (p < end && Digit(*p) && digits < maxDigits) {
        value = value * 10 + (*p - '0');
        ++p;
        ++digits;
    }
    if (digits < minDigits)
        return false;
    *out = value;
    return true;
}

bool DaysInMonthOk(int year, int month, int day) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int limit = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= limit;
}

bool Time(const char*& p, const char* end, DateParts* d) {
    if (!Number(p, end, 1, 2, &d->hour))
        return false;
    if (p >= end || *p != ':')
        return false;
    ++p;
    if (!Number(p, end, 2, 2, &d->minute))
        return false;
    if (p < end && *p == ':') {
        ++p;
        if (!Number(p, end, 2, 2, &d->second))
            return false;
        if (p < end && (*p == '.' || *p == ',')) {
            ++p;
            uint32_t ns = 0;
            int digits = 0;
            while (p < end && Digit(*p)) {
                if (digits < 9) {
                    ns = ns * 10 + static_cast<uint32_t>(*p - '0');
                    ++digits;
                }
                ++p;
            }
            if (digits == 0)
                return false;
            while (digits++ < 9)
                ns *= 10;
            d->nanoseconds = ns;
        }
    }
    return d->hour < 24 && d->minute < 60 && d->second < 60;
}

}  // namespace

bool ParseDateText(const char* text, size_t n, DateParts* out) {
    const char* p = text;
    const char* end = text + n;
    while (p < end && Space(*p))
        ++p;
    while (end > p && Space(end[-1]))
        --end;
    if (p < end && end[-1] == 'Z')
        --end;
    DateParts d;
    // A time alone has its ':' within the first three characters.
    const bool timeOnly = (end - p >= 2 && p[1] == ':') || (end - p >= 3 && p[2] == ':');
    if (timeOnly) {
        if (!Time(p, end, &d) || p != end)
            return false;
        *out = d;
        return true;
    }
    if (!Number(p, end, 4, 4, &d.year))
        return false;
    if (p >= end || (*p != '-' && *p != '/'))
        return false;
    const char separator = *p++;
    if (!Number(p, end, 1, 2, &d.month))
        return false;
    if (p >= end || *p != separator)
        return false;
    ++p;
    if (!Number(p, end, 1, 2, &d.day))
        return false;
    if (!DaysInMonthOk(d.year, d.month, d.day))
        return false;
    if (p < end) {
        if (*p != ' ' && *p != 'T')
            return false;
        while (p < end && (*p == ' ' || *p == 'T'))
            ++p;
        if (!Time(p, end, &d) || p != end)
            return false;
    }
    *out = d;
    return true;
}

bool DatePartsToAutomation(const DateParts& parts, DATE* out) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(parts.year);
    st.wMonth = static_cast<WORD>(parts.month);
    st.wDay = static_cast<WORD>(parts.day);
    st.wHour = static_cast<WORD>(parts.hour);
    st.wMinute = static_cast<WORD>(parts.minute);
    st.wSecond = static_cast<WORD>(parts.second);
    double value = 0;
    if (!SystemTimeToVariantTime(&st, &value))
        return false;
    if (parts.nanoseconds) {
        // Before day 0 the time of day counts away from zero as well.
        const double fraction = parts.nanoseconds / 1e9 / 86400.0;
        value = value < 0 ? value - fraction : value + fraction;
    }
    *out = value;
    return true;
}

bool AutomationToDateParts(DATE value, DateParts* out) {
    SYSTEMTIME st{};
    if (!VariantTimeToSystemTime(value, &st))
        return false;
    out->year = st.wYear;
    out->month = st.wMonth;
    out->day = st.wDay;
    out->hour = st.wHour;
    out->minute = st.wMinute;
    out->second = st.wSecond;
    out->nanoseconds = 0;
    return true;
}

}  // namespace vorn::provider
