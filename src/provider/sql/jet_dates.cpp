// Dates and times of the Jet dialect.
#include "sql/jet_dates.h"
#include "text_helpers.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace vorn::provider::sql {
namespace {

const char* const kMonths[] = {"January",   "February", "March",    "April",
                               "May",       "June",     "July",     "August",
                               "September", "October",  "November", "December"};
const char* const kMonthsShort[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};
const char* const kWeekdaysShort[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

// 1..12 for a month name or its abbreviation (three letters, or "Sept"), else 0.
int MonthFromWord(const std::string& w) {
    for (int m = 0; m < 12; ++m) {
        std::string full;
        for (const char* p = kMonths[m]; *p; ++p)
            full.push_back(AsciiLower(*p));
        if (w == full || (w.size() >= 3 && full.compare(0, w.size(), w) == 0))
            return m + 1;
    }
    return 0;
}

bool IsWeekdayWord(const std::string& w) {
    for (const char* d : kWeekdays) {
        std::string full;
        for (const char* p = d; *p; ++p)
            full.push_back(AsciiLower(*p));
        if (w == full || (w.size() >= 3 && full.compare(0, w.size(), w) == 0))
            return true;
    }
    return false;
}

int WindowYear(int y, int digits) {
    if (digits > 2)
        return y;
    return y < 30 ? 2000 + y : 1900 + y;
}

struct Piece {
    enum Kind { Num, Word, Sep } kind = Num;
    int value = 0;
    int digits = 0;
    std::string word;
    char sep = 0;
};

bool Scan(std::string_view s, std::vector<Piece>* out) {
    size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            Piece p;
            p.kind = Piece::Num;
            while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
                if (p.digits >= 9)
                    return false;
                p.value = p.value * 10 + (s[i] - '0');
                ++p.digits;
                ++i;
            }
            out->push_back(p);
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            Piece p;
            p.kind = Piece::Word;
            while (i < s.size() && ((s[i] >= 'a' && s[i] <= 'z') || (s[i] >= 'A' && s[i] <= 'Z')))
                p.word.push_back(AsciiLower(s[i++]));
            out->push_back(p);
        } else if (c == '/' || c == '-' || c == '.' || c == ',' || c == ':' || c == ' ' ||
                   c == '\t') {
            Piece p;
            p.kind = Piece::Sep;
            p.sep = c == '\t' ? ' ' : c;
            out->push_back(p);
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

bool IsAmPm(const Piece& p, bool* pm) {
    if (p.kind != Piece::Word)
        return false;
    if (p.word == "am" || p.word == "a") {
        *pm = false;
        return true;
    }
    if (p.word == "pm" || p.word == "p") {
        *pm = true;
        return true;
    }
    return false;
}

}  // namespace

bool MakeStamp(const DateParts& p, JetStamp* out) {
    if (!IsValidDate(p))
        return false;
    const int64_t days =
        DaysFromCivil(p.year, unsigned(p.month), unsigned(p.day)) - kAutomationDayZero;
    *out = days * kSecondsPerDay + p.hour * 3600 + p.minute * 60 + p.second;
    return true;
}

namespace {
// A stamp as a day number and a second of that day.
void SplitDays(JetStamp stamp, int64_t* dayNumber, int64_t* secondOfDay) {
    int64_t days = stamp / kSecondsPerDay;
    int64_t secs = stamp % kSecondsPerDay;
    if (secs < 0) {
        secs += kSecondsPerDay;
        --days;
    }
    *dayNumber = days + kAutomationDayZero;
    *secondOfDay = secs;
}
}  // namespace

DateParts SplitStamp(JetStamp stamp) {
    int64_t day = 0, second = 0;
    SplitDays(stamp, &day, &second);
    return DatePartsOf(day, second);
}

bool StampInRange(JetStamp stamp) {
    static const JetStamp lo =
        (DaysFromCivil(kMinJetYear, 1, 1) - kAutomationDayZero) * kSecondsPerDay;
    static const JetStamp hi =
        (DaysFromCivil(kMaxJetYear, 12, 31) - kAutomationDayZero) * kSecondsPerDay +
        kSecondsPerDay - 1;
    return stamp >= lo && stamp <= hi;
}

bool StampFromSerial(double serial, JetStamp* out) {
    int64_t day = 0, second = 0;
    if (!SplitAutomationDate(serial, &day, &second))
        return false;
    *out = (day - kAutomationDayZero) * kSecondsPerDay + second;
    return true;
}

double SerialFromStamp(JetStamp stamp) {
    int64_t day = 0, second = 0;
    SplitDays(stamp, &day, &second);
    return AutomationDateOf(day, double(second));
}

std::string StampText(JetStamp stamp) {
    char text[32];
    return std::string(text, FormatDateText(SplitStamp(stamp), true, true, text));
}

std::string DateDisplayText(JetStamp stamp) {
    const std::string full = StampText(stamp);
    if (full.compare(11, 8, "00:00:00") == 0)
        return full.substr(0, 10);
    if (full.compare(0, 10, "1899-12-30") == 0)
        return full.substr(11);
    return full;
}

bool ParseJetDateText(std::string_view text, ParsedDate* out, int currentYear) {
    std::vector<Piece> pieces;
    if (text.size() > 200 || !Scan(text, &pieces))
        return false;

    // The time: h:m[:s[.fraction]] [AM|PM], or h AM|PM.
    bool hasTime = false;
    int hour = 0, minute = 0, second = 0;
    std::vector<Piece> rest;
    for (size_t i = 0; i < pieces.size(); ++i) {
        const Piece& p = pieces[i];
        const bool colon = i + 2 < pieces.size() && pieces[i + 1].kind == Piece::Sep &&
                           pieces[i + 1].sep == ':' && pieces[i + 2].kind == Piece::Num;
        size_t next = i + 1;
        while (next < pieces.size() && pieces[next].kind == Piece::Sep && pieces[next].sep == ' ')
            ++next;
        bool pm = false;
        const bool bareAmPm = next < pieces.size() && IsAmPm(pieces[next], &pm);
        if (p.kind == Piece::Num && !hasTime && (colon || bareAmPm)) {
            if (p.digits > 2)
                return false;
            hour = p.value;
            size_t j = i + 1;
            if (colon) {
                if (pieces[i + 2].digits > 2)
                    return false;
                minute = pieces[i + 2].value;
                j = i + 3;
                if (j + 1 < pieces.size() && pieces[j].kind == Piece::Sep && pieces[j].sep == ':' &&
                    pieces[j + 1].kind == Piece::Num) {
                    if (pieces[j + 1].digits > 2)
                        return false;
                    second = pieces[j + 1].value;
                    j += 2;
                    if (j + 1 < pieces.size() && pieces[j].kind == Piece::Sep &&
                        pieces[j].sep == '.' && pieces[j + 1].kind == Piece::Num)
                        j += 2;  // fractions of a second are dropped
                }
            }
            size_t k = j;
            while (k < pieces.size() && pieces[k].kind == Piece::Sep && pieces[k].sep == ' ')
                ++k;
            if (k < pieces.size() && IsAmPm(pieces[k], &pm)) {
                if (hour < 1 || hour > 12)
                    return false;
                hour = hour % 12 + (pm ? 12 : 0);
                j = k + 1;
            }
            if (hour > 23 || minute > 59 || second > 59)
                return false;
            hasTime = true;
            i = j - 1;
            continue;
        }
        if (p.kind == Piece::Sep && p.sep == ':')
            return false;
        rest.push_back(p);
    }

    // The date: numbers and a month name, separated by / - . , or blanks.
    std::vector<Piece> parts;
    bool dot = false;
    for (const Piece& p : rest) {
        if (p.kind == Piece::Sep) {
            dot = dot || p.sep == '.';
            continue;
        }
        if (p.kind == Piece::Word) {
            if (p.word == "t" || IsWeekdayWord(p.word))
                continue;
            if (!MonthFromWord(p.word))
                return false;
        }
        parts.push_back(p);
    }
    DateParts d;
    bool hasDate = !parts.empty();
    if (hasDate) {
        int words = 0;
        for (const Piece& p : parts)
            words += p.kind == Piece::Word;
        if (words > 1 || parts.size() > 3 || parts.size() < 2)
            return false;
        if (words == 0) {
            if (dot && parts.size() < 3)
                return false;
            if (parts.size() == 3) {
                const Piece &a = parts[0], &b = parts[1], &c = parts[2];
                if (a.digits >= 3) {  // year first
                    d.year = a.value;
                    d.month = b.value;
                    d.day = c.value;
                } else {
                    d.month = a.value;
                    d.day = b.value;
                    d.year = WindowYear(c.value, c.digits);
                    if (d.month > 12 && d.day <= 12)
                        std::swap(d.month, d.day);
                }
            } else {
                const Piece &a = parts[0], &b = parts[1];
                if (b.digits >= 3 || b.value > 31) {  // month and year
                    d.month = a.value;
                    d.day = 1;
                    d.year = WindowYear(b.value, b.digits);
                } else if (a.digits >= 3) {  // year and month
                    d.year = a.value;
                    d.month = b.value;
                    d.day = 1;
                } else {
                    d.month = a.value;
                    d.day = b.value;
                    d.year = currentYear;
                    if (d.month > 12 && d.day <= 12)
                        std::swap(d.month, d.day);
                }
            }
        } else {
            // One month name with one or two numbers around it.
            int month = 0;
            std::vector<Piece> nums;
            size_t wordAt = 0;
            for (size_t i = 0; i < parts.size(); ++i) {
                if (parts[i].kind == Piece::Word) {
                    month = MonthFromWord(parts[i].word);
                    wordAt = i;
                } else {
                    nums.push_back(parts[i]);
                }
            }
            d.month = month;
            if (nums.size() == 2) {
                if (nums[0].digits >= 3) {  // 2021 Jan 5
                    d.year = nums[0].value;
                    d.day = nums[1].value;
                } else {  // Jan 5 2021, 5 Jan 2021, 5-Jan-21
                    d.day = nums[0].value;
                    d.year = WindowYear(nums[1].value, nums[1].digits);
                }
            } else if (wordAt == 0 && (nums[0].digits >= 3 || nums[0].value > 31)) {  // Jan 2021
                d.day = 1;
                d.year = WindowYear(nums[0].value, nums[0].digits);
            } else {  // 5 Jan, Jan 5
                d.day = nums[0].value;
                d.year = currentYear;
            }
        }
    }
    if (!hasDate && !hasTime)
        return false;
    d.hour = hour;
    d.minute = minute;
    d.second = second;
    JetStamp stamp;
    if (!MakeStamp(d, &stamp))
        return false;
    out->stamp = stamp;
    out->hasDate = hasDate;
    out->hasTime = hasTime;
    return true;
}

JetStamp NowStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    DateParts p;
    p.year = local.tm_year + 1900;
    p.month = local.tm_mon + 1;
    p.day = local.tm_mday;
    p.hour = local.tm_hour;
    p.minute = local.tm_min;
    p.second = local.tm_sec > 59 ? 59 : local.tm_sec;
    JetStamp s = 0;
    MakeStamp(p, &s);
    return s;
}

int CurrentYear() {
    return SplitStamp(NowStamp()).year;
}

int DayOfYear(JetStamp stamp) {
    const DateParts p = SplitStamp(stamp);
    return int(DaysFromCivil(p.year, p.month, p.day) - DaysFromCivil(p.year, 1, 1)) + 1;
}

int WeekOfYear(JetStamp stamp, int firstDay, int firstWeek) {
    const DateParts p = SplitStamp(stamp);
    // Days from day 0 of the first day of the week that holds week 1 of a year.
    auto weekOneStart = [&](int year) {
        const int64_t jan1 = DaysFromCivil(year, 1, 1) - kAutomationDayZero;
        const int back = WeekdayOf(jan1 * kSecondsPerDay, firstDay) - 1;  // days since week start
        int64_t start = jan1 - back;
        const int daysInYear = 7 - back;  // days of that week that fall in the year
        if ((firstWeek == 2 && daysInYear < 4) || (firstWeek == 3 && daysInYear < 7))
            start += 7;
        return start;
    };
    const int64_t day = DaysFromCivil(p.year, p.month, p.day) - kAutomationDayZero;
    int64_t start = weekOneStart(p.year);
    if (day < start)
        start = weekOneStart(p.year - 1);
    else if (firstWeek != 1 && day >= weekOneStart(p.year + 1))
        return 1;
    return int((day - start) / 7) + 1;
}

int WeekdayOf(JetStamp stamp, int firstDay) {
    int64_t days = stamp / kSecondsPerDay;
    if (stamp % kSecondsPerDay < 0)
        --days;
    // Day 0 (1899-12-30) was a Saturday: 7 counted from Sunday.
    const int sundayBased = int(((days + 6) % 7 + 7) % 7) + 1;
    return (sundayBased - firstDay + 7) % 7 + 1;
}

bool AddMonths(JetStamp stamp, int64_t months, JetStamp* out) {
    DateParts p = SplitStamp(stamp);
    const int64_t total = int64_t(p.year) * 12 + (p.month - 1) + months;
    if (total < int64_t(kMinJetYear) * 12 || total > int64_t(kMaxJetYear) * 12 + 11)
        return false;
    p.year = int(total / 12);
    p.month = int(total % 12) + 1;
    const int last = DaysInMonth(p.year, p.month);
    if (p.day > last)
        p.day = last;
    return MakeStamp(p, out);
}

const char* MonthName(int month, bool abbreviated) {
    if (month < 1 || month > 12)
        return "";
    return abbreviated ? kMonthsShort[month - 1] : kMonths[month - 1];
}

const char* WeekdayName(int weekday, bool abbreviated) {
    if (weekday < 1 || weekday > 7)
        return "";
    return abbreviated ? kWeekdaysShort[weekday - 1] : kWeekdays[weekday - 1];
}

}  // namespace vorn::provider::sql
