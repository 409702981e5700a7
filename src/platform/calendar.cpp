// Calendar parts, automation dates and date text.
#include "calendar.h"
#include "text_helpers.h"

#include <cmath>

namespace vorn {
namespace {

constexpr double kMinDateWhole =
    static_cast<double>(DaysFromCivil(kMinDateYear, 1, 1) - kAutomationDayZero);  // -657434
constexpr double kMaxDateWhole =
    static_cast<double>(DaysFromCivil(kMaxDateYear, 12, 31) - kAutomationDayZero);  // 2958465
static_assert(kMinDateWhole == -657434.0 && kMaxDateWhole == 2958465.0, "automation date range");

bool RealDay(int year, int month, int day) {
    return month >= 1 && month <= 12 && day >= 1 &&
           day <= static_cast<int>(DaysInMonth(year, static_cast<unsigned>(month)));
}

bool RealTime(const DateParts& d) {
    return d.hour >= 0 && d.hour <= 23 && d.minute >= 0 && d.minute <= 59 && d.second >= 0 &&
           d.second <= 59;
}

// Reads between minDigits and maxDigits digits at p.
bool Number(const char*& p, const char* end, int minDigits, int maxDigits, int* out) {
    int value = 0;
    int digits = 0;
    while (p < end && IsAsciiDigit(*p) && digits < maxDigits) {
        value = value * 10 + (*p - '0');
        ++p;
        ++digits;
    }
    if (digits < minDigits)
        return false;
    *out = value;
    return true;
}

// "H[H]:MM[:SS[.fraction]]".
bool Time(const char*& p, const char* end, DateParts* d) {
    if (!Number(p, end, 1, 2, &d->hour) || p >= end || *p != ':')
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
            while (p < end && IsAsciiDigit(*p)) {
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
    return RealTime(*d);
}

// Two digits at p as a number; false when either is no digit.
bool TwoDigits(const char* p, int* out) {
    const unsigned tens = static_cast<unsigned char>(p[0]) - unsigned('0');
    const unsigned units = static_cast<unsigned char>(p[1]) - unsigned('0');
    if (tens > 9 || units > 9)
        return false;
    *out = static_cast<int>(tens * 10 + units);
    return true;
}

// The form the provider stores, "YYYY-MM-DD HH:MM:SS".
bool StoredForm(const char* p, size_t n, DateParts* out) {
    if (n != 19 || p[4] != '-' || p[7] != '-' || p[10] != ' ' || p[13] != ':' || p[16] != ':')
        return false;
    DateParts d;
    int century = 0;
    int year = 0;
    if (!TwoDigits(p, &century) || !TwoDigits(p + 2, &year) || !TwoDigits(p + 5, &d.month) ||
        !TwoDigits(p + 8, &d.day) || !TwoDigits(p + 11, &d.hour) || !TwoDigits(p + 14, &d.minute) ||
        !TwoDigits(p + 17, &d.second))
        return false;
    d.year = century * 100 + year;
    if (!RealDay(d.year, d.month, d.day) || !RealTime(d))
        return false;
    *out = d;
    return true;
}

char* PutDigits(char* out, unsigned value, int width) {
    if (width == 2 && value < 100) {
        // Months, days and the parts of a time: every date text writes five of them.
        out[0] = static_cast<char>('0' + value / 10);
        out[1] = static_cast<char>('0' + value % 10);
        return out + 2;
    }
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

}  // namespace

bool IsValidDate(const DateParts& parts) {
    return parts.year >= kMinDateYear && parts.year <= kMaxDateYear &&
           RealDay(parts.year, parts.month, parts.day) && RealTime(parts);
}

DateParts DatePartsOf(int64_t dayNumber, int64_t secondOfDay) {
    const CivilDate c = CivilFromDays(dayNumber);
    DateParts p;
    p.year = static_cast<int>(c.year);
    p.month = static_cast<int>(c.month);
    p.day = static_cast<int>(c.day);
    p.hour = static_cast<int>(secondOfDay / 3600);
    p.minute = static_cast<int>(secondOfDay / 60 % 60);
    p.second = static_cast<int>(secondOfDay % 60);
    return p;
}

bool SplitAutomationDate(double value, int64_t* dayNumber, int64_t* secondOfDay) {
    if (!(value > kMinDateWhole - 1.0 && value < kMaxDateWhole + 1.0))
        return false;
    const double whole = std::trunc(value);
    const double fraction = std::fabs(value - whole);
    int64_t day = static_cast<int64_t>(whole) + kAutomationDayZero;
    int64_t second = std::llround(fraction * kSecondsPerDay);
    if (second >= kSecondsPerDay) {
        second -= kSecondsPerDay;
        ++day;
    }
    constexpr int64_t kFirstDay = DaysFromCivil(kMinDateYear, 1, 1);
    constexpr int64_t kLastDay = DaysFromCivil(kMaxDateYear, 12, 31);
    if (day < kFirstDay || day > kLastDay)
        return false;
    *dayNumber = day;
    *secondOfDay = second;
    return true;
}

double AutomationDateOf(int64_t dayNumber, double secondOfDay) {
    const int64_t days = dayNumber - kAutomationDayZero;
    const double time = secondOfDay / kSecondsPerDay;
    // Before day 0 the time of day still counts forward, so it extends the negative value.
    return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

bool DatePartsToAutomation(const DateParts& parts, double* out) {
    if (!IsValidDate(parts))
        return false;
    const int64_t day = DaysFromCivil(parts.year, static_cast<unsigned>(parts.month),
                                      static_cast<unsigned>(parts.day));
    *out = AutomationDateOf(
        day, parts.hour * 3600.0 + parts.minute * 60.0 + parts.second + parts.nanoseconds / 1e9);
    return true;
}

bool AutomationToDateParts(double value, DateParts* out) {
    int64_t day = 0;
    int64_t second = 0;
    if (!SplitAutomationDate(value, &day, &second))
        return false;
    *out = DatePartsOf(day, second);
    return true;
}

size_t FormatDateText(const DateParts& parts, bool withDate, bool withTime, char* out) {
    char* p = out;
    if (withDate) {
        // Years outside 0 to 9999 (which only foreign values carry) keep every digit.
        unsigned year = static_cast<unsigned>(parts.year < 0 ? -parts.year : parts.year);
        if (parts.year < 0)
            *p++ = '-';
        if (year < 10000) {
            p = PutDigits(p, year / 100, 2);
            p = PutDigits(p, year % 100, 2);
        } else {
            int width = 4;
            for (unsigned rest = year / 10000; rest > 0; rest /= 10)
                ++width;
            p = PutDigits(p, year, width);
        }
        *p++ = '-';
        p = PutDigits(p, static_cast<unsigned>(parts.month), 2);
        *p++ = '-';
        p = PutDigits(p, static_cast<unsigned>(parts.day), 2);
    }
    if (withTime) {
        if (withDate)
            *p++ = ' ';
        p = PutDigits(p, static_cast<unsigned>(parts.hour), 2);
        *p++ = ':';
        p = PutDigits(p, static_cast<unsigned>(parts.minute), 2);
        *p++ = ':';
        p = PutDigits(p, static_cast<unsigned>(parts.second), 2);
    }
    *p = '\0';
    return static_cast<size_t>(p - out);
}

size_t AutomationDateText(double value, bool dateOnly, bool timeOnly, char* out) {
    int64_t day = 0;
    int64_t second = 0;
    if (!SplitAutomationDate(value, &day, &second))
        return 0;
    bool showDate = true;
    bool showTime = true;
    if (dateOnly) {
        showTime = false;
    } else if (timeOnly || day == kAutomationDayZero) {
        // Day 0 carries no date of its own: the value is a time (00:00:00 for 0.0 itself).
        showDate = false;
    } else {
        showTime = second != 0;
    }
    return FormatDateText(DatePartsOf(day, second), showDate, showTime, out);
}

bool ParseIsoDateText(const char* text, size_t n, DateParts* out) {
    if (StoredForm(text, n, out))
        return true;
    const char* p = text;
    const char* end = text + n;
    while (p < end && IsAsciiSpace(*p))
        ++p;
    while (end > p && IsAsciiSpace(end[-1]))
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
    if (!Number(p, end, 4, 4, &d.year) || p >= end || (*p != '-' && *p != '/'))
        return false;
    const char separator = *p++;
    if (!Number(p, end, 1, 2, &d.month) || p >= end || *p != separator)
        return false;
    ++p;
    if (!Number(p, end, 1, 2, &d.day) || !RealDay(d.year, d.month, d.day))
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

}  // namespace vorn
