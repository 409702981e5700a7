// Jet date and time functions. Dates come in as date text (any form the engine reads) or as
// serial numbers, and go out as 'YYYY-MM-DD HH:MM:SS' text. A Null date gives Null; a Null
// interval, count or part is an error, as in the engine.
#include <cmath>
#include <cstdlib>
#include <string>

#include "sql/jet_function_support.h"

namespace vorn::provider::sql {
namespace {

// The date of argument index; false when Null (result set to Null) or not a date (error).
bool DateArg(sqlite3_context* ctx, sqlite3_value** argv, int index, JetStamp* out) {
    if (IsNull(argv[index])) {
        sqlite3_result_null(ctx);
        return false;
    }
    if (!ValueStamp(argv[index], out)) {
        TypeMismatch(ctx, index + 1);
        return false;
    }
    return true;
}

int64_t DayIndex(JetStamp s) {
    return s >= 0 ? s / kSecondsPerDay : (s - (kSecondsPerDay - 1)) / kSecondsPerDay;
}

int64_t FloorDiv(int64_t a, int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

bool IntervalArg(sqlite3_context* ctx, sqlite3_value** argv, int index, Interval* out) {
    if (IsNull(argv[index])) {
        InvalidNull(ctx, index + 1);
        return false;
    }
    std::string s;
    for (char c : ValueText(argv[index]))
        if (c != ' ')
            s.push_back((c >= 'A' && c <= 'Z') ? char(c + 32) : c);
    static const struct {
        const char* name;
        Interval value;
    } kNames[] = {{"yyyy", Interval::Year},   {"q", Interval::Quarter}, {"m", Interval::Month},
                  {"y", Interval::DayOfYear}, {"d", Interval::Day},     {"w", Interval::Weekday},
                  {"ww", Interval::Week},     {"h", Interval::Hour},    {"n", Interval::Minute},
                  {"s", Interval::Second}};
    for (const auto& n : kNames)
        if (s == n.name) {
            *out = n.value;
            return true;
        }
    RaiseError(ctx, "'" + ValueText(argv[index]) +
                        "' is not an interval (yyyy, q, m, y, d, w, ww, h, n or s)");
    return false;
}

// Optional firstdayofweek / firstweekofyear arguments (0 means the default, 1).
bool OptionArg(sqlite3_context* ctx, sqlite3_value** argv, int argc, int index, int max, int* out) {
    *out = 1;
    if (index >= argc || IsNull(argv[index]))
        return true;
    int64_t v;
    if (!ArgInteger(ctx, argv, index, &v))
        return false;
    if (v < 0 || v > max) {
        InvalidArgument(ctx, index + 1);
        return false;
    }
    *out = v == 0 ? 1 : int(v);
    return true;
}

void Now(sqlite3_context* ctx, int, sqlite3_value**) {
    ResultStamp(ctx, NowStamp());
}

void DateFn(sqlite3_context* ctx, int, sqlite3_value**) {
    const JetStamp now = NowStamp();
    ResultStamp(ctx, DayIndex(now) * kSecondsPerDay);
}

void Time(sqlite3_context* ctx, int, sqlite3_value**) {
    const JetStamp now = NowStamp();
    ResultStamp(ctx, now - DayIndex(now) * kSecondsPerDay);
}

enum class Part { Year, Month, Day, Hour, Minute, Second };

void PartOf(sqlite3_context* ctx, sqlite3_value** argv, Part part) {
    JetStamp s;
    if (!DateArg(ctx, argv, 0, &s))
        return;
    const DateParts p = SplitStamp(s);
    int v = 0;
    switch (part) {
        case Part::Year:
            v = p.year;
            break;
        case Part::Month:
            v = p.month;
            break;
        case Part::Day:
            v = p.day;
            break;
        case Part::Hour:
            v = p.hour;
            break;
        case Part::Minute:
            v = p.minute;
            break;
        case Part::Second:
            v = p.second;
            break;
    }
    sqlite3_result_int(ctx, v);
}

void Year(sqlite3_context* ctx, int, sqlite3_value** argv) {
    PartOf(ctx, argv, Part::Year);
}
void Month(sqlite3_context* ctx, int, sqlite3_value** argv) {
    PartOf(ctx, argv, Part::Month);
}
void Day(sqlite3_context* ctx, int, sqlite3_value** argv) {
    PartOf(ctx, argv, Part::Day);
}
void Hour(sqlite3_context* ctx, int, sqlite3_value** argv) {
    PartOf(ctx, argv, Part::Hour);
}
void Minute(sqlite3_context* ctx, int, sqlite3_value** argv) {
    PartOf(ctx, argv, Part::Minute);
}
void Second(sqlite3_context* ctx, int, sqlite3_value** argv) {
    PartOf(ctx, argv, Part::Second);
}

void Weekday(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    int firstDay;
    if (!OptionArg(ctx, argv, argc, 1, 7, &firstDay))
        return;
    JetStamp s;
    if (DateArg(ctx, argv, 0, &s))
        sqlite3_result_int(ctx, WeekdayOf(s, firstDay));
}

// DateAdd(interval, number, date)
void DateAdd(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Interval interval;
    if (!IntervalArg(ctx, argv, 0, &interval))
        return;
    int64_t n;
    if (!ArgInteger(ctx, argv, 1, &n))
        return;
    JetStamp s;
    if (!DateArg(ctx, argv, 2, &s))
        return;
    if (n > 4000000000LL || n < -4000000000LL)
        return InvalidArgument(ctx, 2);
    JetStamp r = s;
    bool ok = true;
    switch (interval) {
        case Interval::Year:
            ok = AddMonths(s, n * 12, &r);
            break;
        case Interval::Quarter:
            ok = AddMonths(s, n * 3, &r);
            break;
        case Interval::Month:
            ok = AddMonths(s, n, &r);
            break;
        case Interval::DayOfYear:
        case Interval::Day:
        case Interval::Weekday:
            r = s + n * kSecondsPerDay;
            break;
        case Interval::Week:
            r = s + n * 7 * kSecondsPerDay;
            break;
        case Interval::Hour:
            r = s + n * 3600;
            break;
        case Interval::Minute:
            r = s + n * 60;
            break;
        case Interval::Second:
            r = s + n;
            break;
    }
    if (!ok || !StampInRange(r))
        return InvalidArgument(ctx, 2);
    ResultStamp(ctx, r);
}

// DateDiff(interval, date1, date2[, firstdayofweek[, firstweekofyear]]): the number of
// interval boundaries crossed from date1 to date2.
void DateDiff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    Interval interval;
    if (!IntervalArg(ctx, argv, 0, &interval))
        return;
    int firstDay, firstWeek;
    if (!OptionArg(ctx, argv, argc, 3, 7, &firstDay) ||
        !OptionArg(ctx, argv, argc, 4, 3, &firstWeek))
        return;
    JetStamp a, b;
    if (!DateArg(ctx, argv, 1, &a) || !DateArg(ctx, argv, 2, &b))
        return;
    const DateParts pa = SplitStamp(a), pb = SplitStamp(b);
    int64_t v = 0;
    switch (interval) {
        case Interval::Year:
            v = pb.year - pa.year;
            break;
        case Interval::Quarter:
            v = (pb.year * 4 + (pb.month - 1) / 3) - (pa.year * 4 + (pa.month - 1) / 3);
            break;
        case Interval::Month:
            v = (int64_t(pb.year) * 12 + pb.month) - (int64_t(pa.year) * 12 + pa.month);
            break;
        case Interval::DayOfYear:
        case Interval::Day:
            v = DayIndex(b) - DayIndex(a);
            break;
        case Interval::Weekday:
            v = (DayIndex(b) - DayIndex(a)) / 7;
            break;
        case Interval::Week: {
            const int64_t da = DayIndex(a) - (WeekdayOf(a, firstDay) - 1);
            const int64_t db = DayIndex(b) - (WeekdayOf(b, firstDay) - 1);
            v = (db - da) / 7;
            break;
        }
        case Interval::Hour:
            v = FloorDiv(b, 3600) - FloorDiv(a, 3600);
            break;
        case Interval::Minute:
            v = FloorDiv(b, 60) - FloorDiv(a, 60);
            break;
        case Interval::Second:
            v = b - a;
            break;
    }
    sqlite3_result_int64(ctx, v);
}

// DatePart(interval, date[, firstdayofweek[, firstweekofyear]])
void DatePart(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    Interval interval;
    if (!IntervalArg(ctx, argv, 0, &interval))
        return;
    int firstDay, firstWeek;
    if (!OptionArg(ctx, argv, argc, 2, 7, &firstDay) ||
        !OptionArg(ctx, argv, argc, 3, 3, &firstWeek))
        return;
    JetStamp s;
    if (!DateArg(ctx, argv, 1, &s))
        return;
    const DateParts p = SplitStamp(s);
    int v = 0;
    switch (interval) {
        case Interval::Year:
            v = p.year;
            break;
        case Interval::Quarter:
            v = (p.month - 1) / 3 + 1;
            break;
        case Interval::Month:
            v = p.month;
            break;
        case Interval::DayOfYear:
            v = DayOfYear(s);
            break;
        case Interval::Day:
            v = p.day;
            break;
        case Interval::Weekday:
            v = WeekdayOf(s, firstDay);
            break;
        case Interval::Week:
            v = WeekOfYear(s, firstDay, firstWeek);
            break;
        case Interval::Hour:
            v = p.hour;
            break;
        case Interval::Minute:
            v = p.minute;
            break;
        case Interval::Second:
            v = p.second;
            break;
    }
    sqlite3_result_int(ctx, v);
}

// DateSerial(year, month, day): months and days outside their range carry over; years
// 0..29 are 2000..2029 and 30..99 are 1930..1999.
void DateSerial(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int64_t y, m, d;
    if (!ArgInteger(ctx, argv, 0, &y) || !ArgInteger(ctx, argv, 1, &m) ||
        !ArgInteger(ctx, argv, 2, &d))
        return;
    if (y >= 0 && y < 30)
        y += 2000;
    else if (y >= 30 && y < 100)
        y += 1900;
    if (y < 0 || y > 20000 || m < -240000 || m > 240000 || d < -10000000 || d > 10000000)
        return InvalidArgument(ctx, 1);
    const int64_t months = y * 12 + (m - 1);
    const int64_t year = FloorDiv(months, 12);
    const int month = int(months - year * 12) + 1;
    const int64_t days = DaysFromCivil(year, unsigned(month), 1) + (d - 1) - kAutomationDayZero;
    const JetStamp s = days * kSecondsPerDay;
    if (!StampInRange(s))
        return InvalidArgument(ctx, 1);
    ResultStamp(ctx, s);
}

// TimeSerial(hour, minute, second): a time on day 0 (or a neighbouring day when the parts
// carry over).
void TimeSerial(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int64_t h, m, s;
    if (!ArgInteger(ctx, argv, 0, &h) || !ArgInteger(ctx, argv, 1, &m) ||
        !ArgInteger(ctx, argv, 2, &s))
        return;
    if (std::llabs(h) > 10000000 || std::llabs(m) > 100000000 || std::llabs(s) > 1000000000)
        return InvalidArgument(ctx, 1);
    ResultStamp(ctx, h * 3600 + m * 60 + s);
}

void DateValue(sqlite3_context* ctx, int, sqlite3_value** argv) {
    JetStamp s;
    if (DateArg(ctx, argv, 0, &s))
        ResultStamp(ctx, DayIndex(s) * kSecondsPerDay);
}

void TimeValue(sqlite3_context* ctx, int, sqlite3_value** argv) {
    JetStamp s;
    if (DateArg(ctx, argv, 0, &s))
        ResultStamp(ctx, s - DayIndex(s) * kSecondsPerDay);
}

void CDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        return InvalidNull(ctx, 1);
    JetStamp s;
    if (!ValueStamp(argv[0], &s))
        return TypeMismatch(ctx, 1);
    ResultStamp(ctx, s);
}

void MonthNameFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    int64_t m, abbreviate = 0;
    if (!ArgInteger(ctx, argv, 0, &m))
        return;
    if (argc > 1 && !ArgInteger(ctx, argv, 1, &abbreviate))
        return;
    if (m < 1 || m > 12)
        return InvalidArgument(ctx, 1);
    ResultText(ctx, MonthName(int(m), abbreviate != 0));
}

void WeekdayNameFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    int64_t w, abbreviate = 0;
    if (!ArgInteger(ctx, argv, 0, &w))
        return;
    if (argc > 1 && !ArgInteger(ctx, argv, 1, &abbreviate))
        return;
    int firstDay;
    if (!OptionArg(ctx, argv, argc, 2, 7, &firstDay))
        return;
    if (w < 1 || w > 7)
        return InvalidArgument(ctx, 1);
    ResultText(ctx, WeekdayName(int((w - 1 + firstDay - 1) % 7) + 1, abbreviate != 0));
}

}  // namespace

// A date converted to text (CStr of a date, a date joined with &): the date alone at
// midnight, the time alone on day 0. A value that is not a date stays as it is.
void DateText(sqlite3_context* ctx, int, sqlite3_value** argv) {
    JetStamp s;
    if (IsNull(argv[0]) || !ValueStamp(argv[0], &s))
        return sqlite3_result_value(ctx, argv[0]);
    ResultText(ctx, DateDisplayText(s));
}

std::vector<FunctionDef> DateFunctions() {
    return {
        {"jet_now", 0, 0, false, Now},
        {"jet_date", 0, 0, false, DateFn},
        {"jet_time", 0, 0, false, Time},
        {"jet_year", 1, 1, true, Year},
        {"jet_month", 1, 1, true, Month},
        {"jet_day", 1, 1, true, Day},
        {"jet_hour", 1, 1, true, Hour},
        {"jet_minute", 1, 1, true, Minute},
        {"jet_second", 1, 1, true, Second},
        {"jet_weekday", 1, 2, true, Weekday},
        {"jet_dateadd", 3, 3, true, DateAdd},
        {"jet_datediff", 3, 5, true, DateDiff},
        {"jet_datepart", 2, 4, true, DatePart},
        {"jet_dateserial", 3, 3, true, DateSerial},
        {"jet_timeserial", 3, 3, true, TimeSerial},
        {"jet_datevalue", 1, 1, true, DateValue},
        {"jet_timevalue", 1, 1, true, TimeValue},
        {"jet_cdate", 1, 1, true, CDate},
        {"jet_monthname", 1, 2, true, MonthNameFn},
        {"jet_weekdayname", 1, 3, true, WeekdayNameFn},
        {"jet_date_text", 1, 1, true, DateText},
    };
}

}  // namespace vorn::provider::sql
