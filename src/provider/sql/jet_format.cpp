// The Format function of the Jet expression service.
#include "sql/jet_format.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "sql/jet_dates.h"
#include "text_helpers.h"

namespace vorn::provider::sql {
namespace {

std::string LowerTrimmed(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ')
        ++b;
    while (e > b && s[e - 1] == ' ')
        --e;
    std::string out;
    for (size_t i = b; i < e; ++i)
        out.push_back(AsciiLower(s[i]));
    return out;
}

bool StartsWithNoCase(std::string_view s, size_t at, std::string_view word) {
    if (at + word.size() > s.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (AsciiLower(s[at + i]) != AsciiLower(word[i]))
            return false;
    return true;
}

// Sections split on ';' outside quotes and escapes.
std::vector<std::string> SplitSections(std::string_view f) {
    std::vector<std::string> out(1);
    for (size_t i = 0; i < f.size(); ++i) {
        const char c = f[i];
        if (c == '"') {
            const size_t end = f.find('"', i + 1);
            const size_t stop = end == std::string_view::npos ? f.size() : end + 1;
            out.back().append(f.substr(i, stop - i));
            i = stop - 1;
        } else if (c == '\\' && i + 1 < f.size()) {
            out.back().append(f.substr(i, 2));
            ++i;
        } else if (c == ';') {
            out.emplace_back();
        } else {
            out.back().push_back(c);
        }
    }
    return out;
}

// ---- dates ----

bool IsDateLetter(char c) {
    c = AsciiLower(c);
    return c == 'd' || c == 'w' || c == 'm' || c == 'y' || c == 'q' || c == 'h' || c == 'n' ||
           c == 's' || c == 'c' || c == 't';
}

// A custom format is a date format when it holds date letters and no digit placeholders.
bool IsDateFormat(std::string_view f) {
    bool date = false;
    for (size_t i = 0; i < f.size(); ++i) {
        const char c = f[i];
        if (c == '"') {
            const size_t end = f.find('"', i + 1);
            if (end == std::string_view::npos)
                break;
            i = end;
        } else if (c == '\\') {
            ++i;
        } else if (c == '0' || c == '#') {
            return false;
        } else if (IsDateLetter(c) || StartsWithNoCase(f, i, "am/pm") ||
                   StartsWithNoCase(f, i, "a/p")) {
            date = true;
        }
    }
    return date;
}

struct DateToken {
    enum Kind { Literal, Letters, AmPm } kind;
    std::string text;  // literal text, the letters, or the AM/PM form as written
};

std::vector<DateToken> TokenizeDateFormat(std::string_view f) {
    std::vector<DateToken> out;
    auto literal = [&](std::string_view s) {
        if (!out.empty() && out.back().kind == DateToken::Literal)
            out.back().text.append(s);
        else
            out.push_back({DateToken::Literal, std::string(s)});
    };
    for (size_t i = 0; i < f.size();) {
        const char c = f[i];
        if (c == '"') {
            size_t end = f.find('"', i + 1);
            if (end == std::string_view::npos)
                end = f.size();
            literal(f.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (c == '\\' && i + 1 < f.size()) {
            literal(f.substr(i + 1, 1));
            i += 2;
        } else if (StartsWithNoCase(f, i, "am/pm") || StartsWithNoCase(f, i, "ampm")) {
            const size_t n = StartsWithNoCase(f, i, "ampm") ? 4 : 5;
            out.push_back({DateToken::AmPm, std::string(f.substr(i, n))});
            i += n;
        } else if (StartsWithNoCase(f, i, "a/p")) {
            out.push_back({DateToken::AmPm, std::string(f.substr(i, 3))});
            i += 3;
        } else if (IsDateLetter(c)) {
            size_t j = i;
            while (j < f.size() && AsciiLower(f[j]) == AsciiLower(c))
                ++j;
            out.push_back({DateToken::Letters, std::string(f.substr(i, j - i))});
            i = j;
        } else {
            literal(f.substr(i, 1));
            ++i;
        }
    }
    return out;
}

std::string Pad2(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string FormatDateWith(JetStamp stamp, std::string_view f, int firstDay, int firstWeek);

std::string ShortDate(JetStamp s) {
    const DateParts p = SplitStamp(s);
    return std::to_string(p.month) + "/" + std::to_string(p.day) + "/" + std::to_string(p.year);
}

std::string LongTime(JetStamp s) {
    return FormatDateWith(s, "h:nn:ss AM/PM", 1, 1);
}

std::string GeneralDate(JetStamp s) {
    const DateParts p = SplitStamp(s);
    const bool timeZero = p.hour == 0 && p.minute == 0 && p.second == 0;
    const bool dayZero = p.year == 1899 && p.month == 12 && p.day == 30;
    if (dayZero && !timeZero)
        return LongTime(s);
    if (timeZero)
        return ShortDate(s);
    return ShortDate(s) + " " + LongTime(s);
}

std::string FormatDateWith(JetStamp stamp, std::string_view f, int firstDay, int firstWeek) {
    const DateParts p = SplitStamp(stamp);
    const std::vector<DateToken> tokens = TokenizeDateFormat(f);
    bool twelveHour = false;
    for (const DateToken& t : tokens)
        twelveHour = twelveHour || t.kind == DateToken::AmPm;
    std::string out;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const DateToken& t = tokens[i];
        if (t.kind == DateToken::Literal) {
            out += t.text;
            continue;
        }
        if (t.kind == DateToken::AmPm) {
            const bool pm = p.hour >= 12;
            const std::string& w = t.text;
            if (w.size() == 3)  // A/P or a/p
                out += pm ? w[2] : w[0];
            else if (w.size() == 4)  // AMPM
                out += pm ? "PM" : "AM";
            else
                out += pm ? w.substr(3, 2) : w.substr(0, 2);
            continue;
        }
        const char c = AsciiLower(t.text[0]);
        const size_t n = t.text.size();
        switch (c) {
            case 'd':
                if (n == 1)
                    out += std::to_string(p.day);
                else if (n == 2)
                    out += Pad2(p.day);
                else if (n == 3 || n == 4)
                    out += WeekdayName(WeekdayOf(stamp, 1), n == 3);
                else if (n == 5)
                    out += ShortDate(stamp);
                else
                    out += FormatDateWith(stamp, "dddd, mmmm d, yyyy", 1, 1);
                break;
            case 'w':
                out += std::to_string(n == 1 ? WeekdayOf(stamp, firstDay)
                                             : WeekOfYear(stamp, firstDay, firstWeek));
                break;
            case 'm': {
                // m and mm right after an hour or right before a second are minutes.
                bool minute = false;
                if (n <= 2) {
                    for (size_t k = i; k-- > 0;)
                        if (tokens[k].kind == DateToken::Letters) {
                            minute = AsciiLower(tokens[k].text[0]) == 'h';
                            break;
                        }
                    for (size_t k = i + 1; !minute && k < tokens.size(); ++k)
                        if (tokens[k].kind == DateToken::Letters) {
                            minute = AsciiLower(tokens[k].text[0]) == 's';
                            break;
                        }
                }
                if (minute)
                    out += n == 1 ? std::to_string(p.minute) : Pad2(p.minute);
                else if (n == 1)
                    out += std::to_string(p.month);
                else if (n == 2)
                    out += Pad2(p.month);
                else
                    out += MonthName(p.month, n == 3);
                break;
            }
            case 'y':
                if (n == 1)
                    out += std::to_string(DayOfYear(stamp));
                else if (n == 2)
                    out += Pad2(p.year % 100);
                else if (n == 3)
                    out += Pad2(p.year % 100) + std::to_string(DayOfYear(stamp));
                else {
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "%04d", p.year);
                    out += buf;
                }
                break;
            case 'q':
                out += std::to_string((p.month - 1) / 3 + 1);
                break;
            case 'h': {
                int h = p.hour;
                if (twelveHour) {
                    h %= 12;
                    if (h == 0)
                        h = 12;
                }
                out += n == 1 ? std::to_string(h) : Pad2(h);
                break;
            }
            case 'n':
                out += n == 1 ? std::to_string(p.minute) : Pad2(p.minute);
                break;
            case 's':
                out += n == 1 ? std::to_string(p.second) : Pad2(p.second);
                break;
            case 'c':
                out += GeneralDate(stamp);
                break;
            case 't':
                if (n >= 5)
                    out += LongTime(stamp);
                else
                    out += t.text;
                break;
        }
    }
    return out;
}

// ---- numbers ----

struct NumItem {
    enum Kind { Zero, Hash, Point, Comma, Percent, Literal, Exponent } kind;
    std::string text;  // literal text; for Exponent "E+" / "E-" / "e+" / "e-"
    int expZeros = 0;  // digit placeholders of the exponent
};

std::vector<NumItem> ParseNumberSection(std::string_view f) {
    std::vector<NumItem> out;
    auto literal = [&](std::string_view s) {
        if (!out.empty() && out.back().kind == NumItem::Literal)
            out.back().text.append(s);
        else
            out.push_back({NumItem::Literal, std::string(s)});
    };
    for (size_t i = 0; i < f.size();) {
        const char c = f[i];
        if (c == '"') {
            size_t end = f.find('"', i + 1);
            if (end == std::string_view::npos)
                end = f.size();
            literal(f.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (c == '\\' && i + 1 < f.size()) {
            literal(f.substr(i + 1, 1));
            i += 2;
        } else if (c == '0') {
            out.push_back({NumItem::Zero, ""});
            ++i;
        } else if (c == '#') {
            out.push_back({NumItem::Hash, ""});
            ++i;
        } else if (c == '.') {
            out.push_back({NumItem::Point, ""});
            ++i;
        } else if (c == ',') {
            out.push_back({NumItem::Comma, ""});
            ++i;
        } else if (c == '%') {
            out.push_back({NumItem::Percent, ""});
            ++i;
        } else if ((c == 'E' || c == 'e') && i + 1 < f.size() &&
                   (f[i + 1] == '+' || f[i + 1] == '-')) {
            NumItem e{NumItem::Exponent, std::string(f.substr(i, 2))};
            i += 2;
            while (i < f.size() && (f[i] == '0' || f[i] == '#')) {
                ++e.expZeros;
                ++i;
            }
            out.push_back(e);
        } else {
            literal(f.substr(i, 1));
            ++i;
        }
    }
    return out;
}

std::string GroupThousands(const std::string& digits) {
    std::string out;
    const size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

// Formats |value| with one section; the caller supplies any minus sign.
std::string FormatNumberSection(double value, const std::vector<NumItem>& items) {
    bool seenPoint = false, thousands = false, hasPoint = false;
    int intZeros = 0, intPlaces = 0, fracZeros = 0, fracPlaces = 0, percent = 0, scale = 0;
    const NumItem* exponent = nullptr;
    for (size_t i = 0; i < items.size(); ++i) {
        const NumItem& it = items[i];
        if (it.kind == NumItem::Exponent && !exponent) {
            exponent = &it;
        } else if (it.kind == NumItem::Point && !exponent) {
            if (!seenPoint)
                hasPoint = true;
            seenPoint = true;
        } else if ((it.kind == NumItem::Zero || it.kind == NumItem::Hash) && !exponent) {
            if (seenPoint) {
                ++fracPlaces;
                fracZeros += it.kind == NumItem::Zero;
            } else {
                ++intPlaces;
                intZeros += it.kind == NumItem::Zero;
            }
        } else if (it.kind == NumItem::Comma && !seenPoint && !exponent) {
            // A comma followed by another integer placeholder groups thousands; commas
            // right before the point (or the end) divide by a thousand each.
            bool placeholderAfter = false;
            for (size_t k = i + 1; k < items.size(); ++k) {
                if (items[k].kind == NumItem::Point || items[k].kind == NumItem::Exponent)
                    break;
                if (items[k].kind == NumItem::Zero || items[k].kind == NumItem::Hash) {
                    placeholderAfter = true;
                    break;
                }
            }
            if (placeholderAfter)
                thousands = true;
            else if (intPlaces > 0)
                ++scale;
        } else if (it.kind == NumItem::Percent) {
            ++percent;
        }
    }
    double v = std::fabs(value);
    for (int i = 0; i < percent; ++i)
        v *= 100;
    for (int i = 0; i < scale; ++i)
        v /= 1000;

    int exp10 = 0;
    if (exponent) {
        const int lead = intPlaces > 0 ? intPlaces : 1;
        if (v != 0) {
            exp10 = int(std::floor(std::log10(v))) - (lead - 1);
            double m = v / std::pow(10.0, exp10);
            m = RoundHalfAway(m, fracPlaces);
            if (m >= std::pow(10.0, lead)) {
                ++exp10;
                m = RoundHalfAway(v / std::pow(10.0, exp10), fracPlaces);
            }
            v = m;
        }
    } else {
        v = RoundHalfAway(v, fracPlaces);
    }

    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", fracPlaces, v);
    std::string all = buf;
    std::string intDigits = all, fracDigits;
    const size_t dot = all.find('.');
    if (dot != std::string::npos) {
        intDigits = all.substr(0, dot);
        fracDigits = all.substr(dot + 1);
    }
    while (int(fracDigits.size()) > fracZeros && !fracDigits.empty() && fracDigits.back() == '0')
        fracDigits.pop_back();
    if (intDigits == "0" && intZeros == 0)
        intDigits.clear();
    while (int(intDigits.size()) < intZeros)
        intDigits.insert(intDigits.begin(), '0');

    // Integer part: placeholders filled from the right, extra digits at the leftmost one.
    std::string out;
    size_t firstInt = items.size(), lastInt = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].kind == NumItem::Point || items[i].kind == NumItem::Exponent)
            break;
        if (items[i].kind == NumItem::Zero || items[i].kind == NumItem::Hash) {
            if (firstInt == items.size())
                firstInt = i;
            lastInt = i;
        }
    }
    std::string intText;
    if (firstInt == items.size()) {
        intText = intDigits;  // no integer placeholders: "%" alone, ".00"
    } else if (thousands) {
        intText = GroupThousands(intDigits);
    }
    // Walk items once, emitting literals in place.
    std::string tail;  // integer part built right to left when filling placeholders
    if (firstInt != items.size() && !thousands) {
        std::string rev;
        size_t d = intDigits.size();
        for (size_t i = lastInt + 1; i-- > firstInt;) {
            const NumItem& it = items[i];
            if (it.kind == NumItem::Zero || it.kind == NumItem::Hash) {
                if (i == firstInt) {
                    rev = intDigits.substr(0, d) + rev;
                    d = 0;
                } else if (d > 0) {
                    rev.insert(rev.begin(), intDigits[--d]);
                }
            } else if (it.kind == NumItem::Literal) {
                rev = it.text + rev;
            } else if (it.kind == NumItem::Percent) {
                rev = "%" + rev;
            }
        }
        intText = rev;
    }
    bool intEmitted = false;
    size_t fracIndex = 0;
    bool afterPoint = false;
    for (size_t i = 0; i < items.size(); ++i) {
        const NumItem& it = items[i];
        const bool inIntRange = firstInt != items.size() && i >= firstInt && i <= lastInt;
        if (inIntRange) {
            if (!intEmitted) {
                out += intText;
                intEmitted = true;
            }
            continue;
        }
        switch (it.kind) {
            case NumItem::Zero:
            case NumItem::Hash:
                if (afterPoint && !exponent) {
                    if (fracIndex < fracDigits.size())
                        out.push_back(fracDigits[fracIndex]);
                    ++fracIndex;
                } else if (afterPoint) {
                    if (fracIndex < fracDigits.size())
                        out.push_back(fracDigits[fracIndex]);
                    ++fracIndex;
                }
                break;
            case NumItem::Point:
                if (!afterPoint) {
                    if (!intEmitted && firstInt == items.size()) {
                        out += intText;
                        intEmitted = true;
                    }
                    out.push_back('.');
                    afterPoint = true;
                }
                break;
            case NumItem::Comma:
                break;
            case NumItem::Percent:
                out.push_back('%');
                break;
            case NumItem::Literal:
                out += it.text;
                break;
            case NumItem::Exponent: {
                out.push_back(it.text[0]);
                if (exp10 < 0)
                    out.push_back('-');
                else if (it.text[1] == '+')
                    out.push_back('+');
                std::string e = std::to_string(exp10 < 0 ? -exp10 : exp10);
                while (int(e.size()) < it.expZeros)
                    e.insert(e.begin(), '0');
                out += e;
                break;
            }
        }
    }
    if (!intEmitted && firstInt == items.size() && !hasPoint)
        out = intText + out;
    return out;
}

std::string FormatNumber(double value, const std::vector<std::string>& sections) {
    const std::string& first = sections[0];
    if (value == 0 && sections.size() >= 3 && !sections[2].empty())
        return FormatNumberSection(0, ParseNumberSection(sections[2]));
    if (value < 0 && sections.size() >= 2 && !sections[1].empty())
        return FormatNumberSection(value, ParseNumberSection(sections[1]));
    const std::vector<NumItem> items = ParseNumberSection(first);
    std::string text = FormatNumberSection(value, items);
    if (value < 0) {
        // No minus sign when the shown digits are all zeros.
        bool nonZero = false;
        for (char c : text)
            nonZero = nonZero || (c >= '1' && c <= '9');
        if (nonZero)
            text.insert(text.begin(), '-');
    }
    return text;
}

// ---- text ----

bool IsTextFormat(std::string_view f) {
    for (char c : f)
        if (c == '@' || c == '&' || c == '<' || c == '>')
            return true;
    return false;
}

std::string FormatText(const std::string& text, std::string_view f) {
    std::u32string chars = DecodeUtf8(text);
    bool upper = false, lower = false, leftToRight = false;
    int places = 0;
    for (char c : f) {
        if (c == '>')
            upper = true;
        else if (c == '<')
            lower = true;
        else if (c == '!')
            leftToRight = true;
        else if (c == '@' || c == '&')
            ++places;
    }
    if (upper)
        chars = UpperText(chars);
    else if (lower)
        chars = LowerText(chars);
    if (places == 0)
        return EncodeUtf8(chars);
    // Placeholders are filled from the right (from the left with '!'); characters left
    // over go in front (at the end).
    std::u32string fmt = DecodeUtf8(f);
    std::u32string out;
    if (!leftToRight) {
        size_t d = chars.size();
        for (size_t i = fmt.size(); i-- > 0;) {
            const char32_t c = fmt[i];
            if (c == '@' || c == '&') {
                if (d > 0)
                    out.insert(out.begin(), chars[--d]);
                else if (c == '@')
                    out.insert(out.begin(), U' ');
            } else if (c != '<' && c != '>' && c != '!') {
                out.insert(out.begin(), c);
            }
        }
        out = chars.substr(0, d) + out;
    } else {
        size_t d = 0;
        for (char32_t c : fmt) {
            if (c == '@' || c == '&') {
                if (d < chars.size())
                    out.push_back(chars[d++]);
                else if (c == '@')
                    out.push_back(U' ');
            } else if (c != '<' && c != '>' && c != '!') {
                out.push_back(c);
            }
        }
        out += chars.substr(d);
    }
    return EncodeUtf8(out);
}

bool ValueAsStamp(const FormatArg& v, JetStamp* stamp) {
    if (v.kind == FormatArg::Number)
        return StampFromSerial(v.number.AsDouble(), stamp);
    ParsedDate d;
    if (v.kind == FormatArg::Text && ParseJetDateText(v.text, &d, CurrentYear())) {
        *stamp = d.stamp;
        return true;
    }
    return false;
}

bool ValueAsNumber(const FormatArg& v, double* number) {
    if (v.kind == FormatArg::Number) {
        *number = v.number.AsDouble();
        return true;
    }
    JetNumber n;
    if (v.kind == FormatArg::Text && ParseJetNumber(v.text, &n)) {
        *number = n.AsDouble();
        return true;
    }
    JetStamp s;
    if (ValueAsStamp(v, &s)) {
        *number = SerialFromStamp(s);
        return true;
    }
    return false;
}

// The stored date form 'YYYY-MM-DD HH:MM:SS' exactly.
bool ParseStoredText(const std::string& t, JetStamp* s) {
    if (t.size() != 19 || t[4] != '-' || t[7] != '-' || t[10] != ' ' || t[13] != ':' ||
        t[16] != ':')
        return false;
    ParsedDate d;
    if (!ParseJetDateText(t, &d, CurrentYear()))
        return false;
    *s = d.stamp;
    return true;
}

std::string PlainText(const FormatArg& v) {
    return v.kind == FormatArg::Number ? FormatJetNumber(v.number) : v.text;
}

}  // namespace

std::optional<std::string> FormatJetValue(const FormatArg& value, std::string_view format,
                                          int firstDay, int firstWeek) {
    const std::string named = LowerTrimmed(format);
    if (named.empty()) {
        if (value.kind == FormatArg::Null)
            return std::nullopt;
        // Dates are stored as text; without a format they show as General Date.
        JetStamp s;
        if (value.kind == FormatArg::Text && ParseStoredText(value.text, &s))
            return GeneralDate(s);
        return PlainText(value);
    }

    // Named formats.
    struct Named {
        const char* name;
        bool date;
        const char* pattern;  // custom equivalent; null for the special cases
    };
    static const Named kNamed[] = {
        {"general number", false, nullptr},
        {"currency", false, "$#,##0.00;($#,##0.00)"},
        {"fixed", false, "0.00"},
        {"standard", false, "#,##0.00"},
        {"percent", false, "0.00%"},
        {"scientific", false, "0.00E+00"},
        {"yes/no", false, nullptr},
        {"true/false", false, nullptr},
        {"on/off", false, nullptr},
        {"general date", true, nullptr},
        {"long date", true, "dddd, mmmm d, yyyy"},
        {"medium date", true, "dd-mmm-yy"},
        {"short date", true, "m/d/yyyy"},
        {"long time", true, "h:nn:ss AM/PM"},
        {"medium time", true, "hh:nn AM/PM"},
        {"short time", true, "hh:nn"},
    };
    for (const Named& n : kNamed) {
        if (named != n.name)
            continue;
        if (value.kind == FormatArg::Null)
            return std::nullopt;
        if (n.date) {
            JetStamp s;
            if (!ValueAsStamp(value, &s))
                return PlainText(value);
            return n.pattern ? FormatDateWith(s, n.pattern, firstDay, firstWeek) : GeneralDate(s);
        }
        double number;
        if (!ValueAsNumber(value, &number))
            return PlainText(value);
        if (named == "general number")
            return value.kind == FormatArg::Number ? FormatJetNumber(value.number)
                                                   : FormatJetDouble(number);
        if (named == "yes/no")
            return std::string(number != 0 ? "Yes" : "No");
        if (named == "true/false")
            return std::string(number != 0 ? "True" : "False");
        if (named == "on/off")
            return std::string(number != 0 ? "On" : "Off");
        return FormatNumber(number, SplitSections(n.pattern));
    }

    const std::vector<std::string> sections = SplitSections(format);
    if (value.kind == FormatArg::Null) {
        if (sections.size() >= 4)
            return FormatNumberSection(0, ParseNumberSection(sections[3]));
        return std::nullopt;
    }
    if (IsDateFormat(sections[0])) {
        JetStamp s;
        if (!ValueAsStamp(value, &s))
            return PlainText(value);
        return FormatDateWith(s, sections[0], firstDay, firstWeek);
    }
    if (IsTextFormat(sections[0]))
        return FormatText(PlainText(value), sections[0]);
    double number;
    if (value.kind == FormatArg::Number) {
        number = value.number.AsDouble();
    } else {
        JetNumber n;
        if (!ParseJetNumber(value.text, &n))
            return value.text;
        number = n.AsDouble();
    }
    return FormatNumber(number, sections);
}

}  // namespace vorn::provider::sql
