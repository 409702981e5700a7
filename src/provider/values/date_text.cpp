// Date text and automation dates.
#include "values/date_text.h"

#include "automation.h"

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

int Two(const char* p) {
    return (p[0] - '0') * 10 + (p[1] - '0');
}

bool AllDigits(const char* p, const int* positions, int count) {
    for (int i = 0; i < count; ++i)
        if (!Digit(p[positions[i]]))
            return false;
    return true;
}

// The form the provider stores, "YYYY-MM-DD HH:MM:SS", read without the general parser.
bool StoredForm(const char* p, size_t n, DateParts* out) {
    static const int kDigits[] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18};
    if (n != 19 || p[4] != '-' || p[7] != '-' || p[10] != ' ' || p[13] != ':' || p[16] != ':' ||
        !AllDigits(p, kDigits, 14))
        return false;
    DateParts d;
    d.year = Two(p) * 100 + Two(p + 2);
    d.month = Two(p + 5);
    d.day = Two(p + 8);
    d.hour = Two(p + 11);
    d.minute = Two(p + 14);
    d.second = Two(p + 17);
    if (!DaysInMonthOk(d.year, d.month, d.day) || d.hour > 23 || d.minute > 59 || d.second > 59)
        return false;
    *out = d;
    return true;
}

// Days from 1 January 1970 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// Day 0 of automation dates, 30 December 1899, in days from 1 January 1970.
constexpr int64_t kAutomationEpoch = -25569;

}  // namespace

bool ParseDateText(const char* text, size_t n, DateParts* out) {
    if (StoredForm(text, n, out))
        return true;
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
    if (parts.year < 100 || parts.year > 9999 ||
        !DaysInMonthOk(parts.year, parts.month, parts.day) || parts.hour < 0 || parts.hour > 23 ||
        parts.minute < 0 || parts.minute > 59 || parts.second < 0 || parts.second > 59)
        return false;
    const int64_t days = DaysFromCivil(parts.year, static_cast<unsigned>(parts.month),
                                       static_cast<unsigned>(parts.day)) -
                         kAutomationEpoch;
    const double time =
        (parts.hour * 3600.0 + parts.minute * 60.0 + parts.second + parts.nanoseconds / 1e9) /
        86400.0;
    // Before day 0 the time of day counts away from zero as well.
    *out = days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
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
