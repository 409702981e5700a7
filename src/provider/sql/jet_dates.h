// Dates and times of the Jet dialect. A date is held as a stamp: seconds since
// 1899-12-30 00:00:00 (the engine's day 0) on the proleptic Gregorian calendar, so that
// adding and subtracting are plain arithmetic. SQLite stores dates as the text
// 'YYYY-MM-DD HH:MM:SS' (always with the time, so that stored values and literals compare
// as text); the engine's serial numbers (days since day 0, the time as a fraction, negative
// days with a positive time fraction) convert both ways.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "calendar.h"

namespace vorn::provider::sql {

using JetStamp = int64_t;

constexpr int kMinJetYear = kMinDateYear;
constexpr int kMaxJetYear = kMaxDateYear;

// Stamp of the parts; false when a part is out of range or the year outside 100..9999.
bool MakeStamp(const DateParts& parts, JetStamp* out);
DateParts SplitStamp(JetStamp stamp);
bool StampInRange(JetStamp stamp);

// The engine's serial number and back; false outside the engine's date range.
bool StampFromSerial(double serial, JetStamp* out);
double SerialFromStamp(JetStamp stamp);

// 'YYYY-MM-DD HH:MM:SS'.
std::string StampText(JetStamp stamp);
// A date as text the way a value of a date column reads: 'YYYY-MM-DD' when the time is 0,
// 'HH:MM:SS' on day 0 (a time alone), else 'YYYY-MM-DD HH:MM:SS'.
std::string DateDisplayText(JetStamp stamp);

// Date text in the forms the engine accepts with US settings: ISO (2021-01-05,
// 2021-01-05 10:30:00, 2021-01-05T10:30), month/day/year (1/5/2021, 1-5-21, with the day
// and month swapped when only that reading is a date), month names (January 5, 2021,
// 5-Jan-2021, Jan 5 2021, with an optional weekday name), two parts without a year
// (1/5: the current year), a time alone (10:30, 10:30:15 PM, 10 PM: on day 0) or a date
// followed by a time. currentYear fills a missing year.
struct ParsedDate {
    JetStamp stamp = 0;
    bool hasDate = false;
    bool hasTime = false;
};
bool ParseJetDateText(std::string_view text, ParsedDate* out, int currentYear);

// The current local time and the current local year.
JetStamp NowStamp();
int CurrentYear();

// Day of the week, 1..7, counted from firstDay (1 = Sunday ... 7 = Saturday).
int WeekdayOf(JetStamp stamp, int firstDay);

// Day of the year (1..366) and week of the year. firstWeek: 1 = the week of January 1,
// 2 = the first week with at least four days in the year, 3 = the first full week.
int DayOfYear(JetStamp stamp);
int WeekOfYear(JetStamp stamp, int firstDay, int firstWeek);

// Stamp of the same time after adding months (the day clamped to the month's last day).
bool AddMonths(JetStamp stamp, int64_t months, JetStamp* out);

// Month names in English.
const char* MonthName(int month, bool abbreviated);
const char* WeekdayName(int weekday, bool abbreviated);  // 1 = Sunday

}  // namespace vorn::provider::sql
