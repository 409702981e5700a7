// Field text as typed values, and type guessing.
#include "stores/text/text_values.h"
#include "text_helpers.h"

#include <cctype>
#include <charconv>
#include <cstdio>

namespace vorn::provider::stores::text {
namespace {

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool ValidDate(int y, int m, int d, int h, int n, int s) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || h > 23 || n > 59 || s > 59)
        return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

// Reads 1..maxDigits digits (exactly digits when exact).
bool ReadNumber(std::string_view text, size_t* pos, int maxDigits, bool exact, int* out) {
    int value = 0, count = 0;
    while (*pos < text.size() && count < maxDigits && IsAsciiDigit(text[*pos])) {
        value = value * 10 + (text[*pos] - '0');
        ++*pos;
        ++count;
    }
    if (count == 0 || (exact && count != maxDigits))
        return false;
    *out = value;
    return true;
}

std::string Iso(int y, int m, int d, int h, int n, int s) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, h, n, s);
    return buffer;
}

bool ParseIsoDate(std::string_view t, std::string* iso) {
    size_t pos = 0;
    int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0;
    if (!ReadNumber(t, &pos, 4, true, &y) || pos >= t.size() || t[pos++] != '-' ||
        !ReadNumber(t, &pos, 2, false, &m) || pos >= t.size() || t[pos++] != '-' ||
        !ReadNumber(t, &pos, 2, false, &d))
        return false;
    if (pos < t.size()) {
        if (t[pos] != ' ' && t[pos] != 'T')
            return false;
        ++pos;
        if (!ReadNumber(t, &pos, 2, false, &h) || pos >= t.size() || t[pos++] != ':' ||
            !ReadNumber(t, &pos, 2, false, &n))
            return false;
        if (pos < t.size()) {
            if (t[pos++] != ':' || !ReadNumber(t, &pos, 2, false, &s))
                return false;
        }
        if (pos != t.size())
            return false;
    }
    if (!ValidDate(y, m, d, h, n, s))
        return false;
    *iso = Iso(y, m, d, h, n, s);
    return true;
}

bool ParseFormattedDate(std::string_view t, const std::string& format, std::string* iso) {
    int y = -1, m = -1, d = -1, h = 0, n = 0, s = 0;
    bool pm = false, ampm = false;
    size_t pos = 0;
    bool afterHour = false;
    for (size_t f = 0; f < format.size();) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(format[f])));
        size_t run = 1;
        while (f + run < format.size() &&
               std::tolower(static_cast<unsigned char>(format[f + run])) == c)
            ++run;
        if (c == 'a' && format.compare(f, 5, "AM/PM") == 0) {
            if (pos + 2 > t.size())
                return false;
            const char a = static_cast<char>(std::toupper(static_cast<unsigned char>(t[pos])));
            if ((a != 'A' && a != 'P') ||
                std::toupper(static_cast<unsigned char>(t[pos + 1])) != 'M')
                return false;
            ampm = true;
            pm = a == 'P';
            pos += 2;
            f += 5;
            continue;
        }
        int* target = nullptr;
        int digits = 2;
        bool exact = false;
        switch (c) {
            case 'y':
                target = &y;
                digits = run >= 4 ? 4 : 2;
                exact = true;
                break;
            case 'm':
                target = afterHour ? &n : &m;
                break;
            case 'd':
                target = &d;
                break;
            case 'h':
                target = &h;
                afterHour = true;
                break;
            case 'n':
                target = &n;
                break;
            case 's':
                target = &s;
                break;
            default:
                for (size_t k = 0; k < run; ++k) {
                    if (pos >= t.size() || t[pos] != format[f + k])
                        return false;
                    ++pos;
                }
                f += run;
                continue;
        }
        if (!ReadNumber(t, &pos, digits, exact, target))
            return false;
        if (c == 'y' && digits == 2)
            y += y < 30 ? 2000 : 1900;
        f += run;
    }
    if (pos != t.size() || y < 0 || m < 0 || d < 0)
        return false;
    if (ampm) {
        if (h < 1 || h > 12)
            return false;
        h = h % 12 + (pm ? 12 : 0);
    }
    if (!ValidDate(y, m, d, h, n, s))
        return false;
    *iso = Iso(y, m, d, h, n, s);
    return true;
}

}  // namespace

bool ParseInt32(std::string_view text, int64_t* value) {
    text = TrimBlanks(text);
    if (text.empty())
        return false;
    size_t i = 0;
    bool negative = false;
    if (text[0] == '-' || text[0] == '+') {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size() || text.size() - i > 10)
        return false;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (!IsAsciiDigit(text[i]))
            return false;
        v = v * 10 + (text[i] - '0');
    }
    if (negative)
        v = -v;
    if (v < INT32_MIN || v > INT32_MAX)
        return false;
    *value = v;
    return true;
}

bool ParseNumber(std::string_view text, char decimal, double* value) {
    text = TrimBlanks(text);
    if (text.empty() || text.size() > 64)
        return false;
    // Only plain decimal notation: no hexadecimal, infinity or NaN spellings.
    char buffer[72];
    size_t n = 0;
    size_t i = 0;
    if (text[0] == '+')
        i = 1;
    bool digits = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == decimal)
            c = '.';
        else if (c == '.' && decimal != '.')
            return false;
        if (!(IsAsciiDigit(c) || c == '.' || c == '-' || c == 'e' || c == 'E' || c == '+'))
            return false;
        digits = digits || IsAsciiDigit(c);
        buffer[n++] = c;
    }
    if (!digits)
        return false;
    double v = 0;
    const auto result = std::from_chars(buffer, buffer + n, v);
    if (result.ec != std::errc() || result.ptr != buffer + n)
        return false;
    *value = v;
    return true;
}

bool ParseDate(std::string_view text, const std::string& format, std::string* iso) {
    text = TrimBlanks(text);
    if (text.size() < 6 || text.size() > 40)
        return false;
    if (!format.empty() && ParseFormattedDate(text, format, iso))
        return true;
    return ParseIsoDate(text, iso);
}

bool ParseBit(std::string_view text, int64_t* value) {
    text = TrimBlanks(text);
    std::string u;
    for (char c : text)
        u.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    if (u == "TRUE" || u == "YES" || u == "ON" || u == "1" || u == "-1") {
        *value = -1;
        return true;
    }
    if (u == "FALSE" || u == "NO" || u == "OFF" || u == "0") {
        *value = 0;
        return true;
    }
    return false;
}

size_t CharacterCount(std::string_view text, Charset charset) {
    if (charset != Charset::Utf8)
        return text.size();
    size_t n = 0;
    for (char c : text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

void TypeGuess::Add(std::string_view field, const TextFormat& format) {
    if (field.empty())
        return;
    any_ = true;
    longest_ = std::max(longest_, CharacterCount(field, format.charset));
    int64_t i = 0;
    double d = 0;
    std::string iso;
    if (isLong_ && !ParseInt32(field, &i))
        isLong_ = false;
    if (isNumber_ && !isLong_ && !ParseNumber(field, format.decimalSymbol, &d))
        isNumber_ = false;
    if (isDate_ && !ParseDate(field, format.dateTimeFormat, &iso))
        isDate_ = false;
}

sql::JetTypeSpec TypeGuess::Result(bool imex) const {
    sql::JetTypeSpec spec;
    spec.type = sql::JetType::Text;
    spec.size = 255;
    if (!any_)
        return spec;
    if (imex)
        spec.type = longest_ > 255 ? sql::JetType::Memo : sql::JetType::Text;
    else if (isLong_)
        spec.type = sql::JetType::Long;
    else if (isNumber_)
        spec.type = sql::JetType::Double;
    else if (isDate_)
        spec.type = sql::JetType::DateTime;
    else if (longest_ > 255)
        spec.type = sql::JetType::Memo;
    return spec;
}

}  // namespace vorn::provider::stores::text
