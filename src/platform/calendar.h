// Calendar arithmetic and date text, one implementation for every layer: the automation
// conversions of the platform, the provider's stored dates and value conversions, and the
// Jet dialect's date functions.
//
// Days are counted from 1 January 1970 on the proleptic Gregorian calendar. An automation
// date is a day count from 30 December 1899 00:00 whose fraction is the time of day; the
// fraction always counts forward from midnight, also for negative dates: the whole part
// picks the day (towards zero) and the magnitude of the fraction the time, so -1.5 is
// 29 December 1899 12:00.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorn {

constexpr int64_t kSecondsPerDay = 86400;
// 30 December 1899, day 0 of automation dates, as a day number.
constexpr int64_t kAutomationDayZero = -25569;
// The years automation dates (and the Jet engine) cover.
constexpr int kMinDateYear = 100;
constexpr int kMaxDateYear = 9999;

struct CivilDate {
    int64_t year;
    unsigned month;
    unsigned day;
};

// Day number of a date (the year may be any size; month 1-12, day 1-31).
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

static_assert(DaysFromCivil(1899, 12, 30) == kAutomationDayZero, "automation day zero");

constexpr bool IsLeapYear(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Days of the month (1-12) in that year.
constexpr unsigned DaysInMonth(int64_t y, unsigned m) {
    constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : kDays[(m - 1) % 12];
}

// 0 = Sunday ... 6 = Saturday; 1 January 1970 was a Thursday.
constexpr unsigned DayOfWeek(int64_t dayNumber) {
    const int64_t r = (dayNumber + 4) % 7;
    return static_cast<unsigned>(r < 0 ? r + 7 : r);
}

// A date and time of day as calendar parts. The default is day 0 of automation dates, on
// which a time alone lies.
struct DateParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    uint32_t nanoseconds = 0;
};

// Whether the parts name a real date and time within years 100 to 9999.
bool IsValidDate(const DateParts& parts);

// The parts of a day number and a second of that day.
DateParts DatePartsOf(int64_t dayNumber, int64_t secondOfDay);

// Splits an automation date into a day number and the second of the day, rounded to the
// nearest second (a time that rounds up to midnight moves to the next day). False for NaN
// and for dates outside 1 January 100 to 31 December 9999.
bool SplitAutomationDate(double value, int64_t* dayNumber, int64_t* secondOfDay);
// The automation date of a day number and a (possibly fractional) second of the day.
double AutomationDateOf(int64_t dayNumber, double secondOfDay);

// Calendar parts to an automation date; false for parts that IsValidDate refuses.
bool DatePartsToAutomation(const DateParts& parts, double* out);
// An automation date to calendar parts, to the second; false when out of range.
bool AutomationToDateParts(double value, DateParts* out);

// The date text of the library: "YYYY-MM-DD", "HH:MM:SS" or both with a space between,
// written to out (at least 24 bytes) with a NUL; returns its length.
size_t FormatDateText(const DateParts& parts, bool withDate, bool withTime, char* out);

// The text of an automation date as VarBstrFromDate gives it: the date, and the time
// unless it is midnight; a value on day 0 is a time alone. dateOnly or timeOnly (not both)
// ask for that part alone. Written to out (at least 24 bytes) with a NUL; returns its
// length, or 0 for NaN and dates outside 1 January 100 to 31 December 9999.
size_t AutomationDateText(double value, bool dateOnly, bool timeOnly, char* out);

// Reads date text in ISO form: "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]" (also with 'T'
// between the parts, '/' between the date's numbers and a trailing 'Z'), or
// "HH:MM[:SS[.fff]]" alone on day 0; white space around is ignored. False for anything
// else or an impossible date or time. The stored form "YYYY-MM-DD HH:MM:SS" is read first,
// without the general parser.
bool ParseIsoDateText(const char* text, size_t n, DateParts* out);

}  // namespace vorn
