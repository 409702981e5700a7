// Values as the Jet expression service sees them.
#include "sql/jet_values.h"

#include "utf8.h"
#include "text_helpers.h"

#include <locale.h>
#include <wctype.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace vorn::provider::sql {
namespace {

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v >= 0 && v < base ? v : -1;
}

// &Hxxxx and &Oxxxx literals.
bool ParseRadix(std::string_view s, JetNumber* out) {
    if (s.size() < 3 || s[0] != '&')
        return false;
    const int base = (s[1] == 'h' || s[1] == 'H') ? 16 : (s[1] == 'o' || s[1] == 'O') ? 8 : 0;
    if (!base)
        return false;
    uint64_t v = 0;
    for (size_t i = 2; i < s.size(); ++i) {
        const int d = DigitValue(s[i], base);
        if (d < 0 || v > (std::numeric_limits<uint64_t>::max() >> 4))
            return false;
        v = v * base + d;
    }
    if (v > uint64_t(std::numeric_limits<int64_t>::max()))
        return false;
    out->integral = true;
    out->i = int64_t(v);
    out->d = double(v);
    return true;
}

locale_t Utf8Locale() {
    static const locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
        if (!l)
            l = newlocale(LC_CTYPE_MASK, "C.utf8", locale_t(0));
        return l;
    }();
    return loc;
}

}  // namespace

bool ParseJetNumber(std::string_view text, JetNumber* out) {
    size_t b = 0, e = text.size();
    while (b < e && IsAsciiSpace(text[b]))
        ++b;
    while (e > b && IsAsciiSpace(text[e - 1]))
        --e;
    std::string_view s = text.substr(b, e - b);
    if (s.empty())
        return false;
    if (s[0] == '&')
        return ParseRadix(s, out);
    bool negative = false;
    if (s.size() >= 2 && s.front() == '(' && s.back() == ')') {
        negative = true;
        s = s.substr(1, s.size() - 2);
    }
    std::string digits;  // normalised: [-]digits[.digits][e[-]digits]
    size_t i = 0;
    bool sign = false, currency = false;
    while (i < s.size() && (s[i] == '+' || s[i] == '-' || s[i] == '$' || s[i] == ' ')) {
        if (s[i] == '$') {
            if (currency)
                return false;
            currency = true;
        } else if (s[i] != ' ') {
            if (sign)
                return false;
            sign = true;
            if (s[i] == '-')
                negative = !negative;
        }
        ++i;
    }
    bool anyDigit = false, point = false, exponent = false, integral = true;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            digits.push_back(c);
            anyDigit = true;
        } else if (c == ',' && anyDigit && !point) {
            continue;  // thousands separator
        } else if (c == '.' && !point) {
            point = true;
            integral = false;
            digits.push_back('.');
        } else {
            break;
        }
    }
    if (!anyDigit)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        size_t j = i + 1;
        std::string exp = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            exp.push_back(s[j++]);
        const size_t start = j;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9')
            exp.push_back(s[j++]);
        if (j == start)
            return false;
        exponent = true;
        integral = false;
        digits += exp;
        i = j;
    }
    (void)exponent;
    // Trailing sign or currency sign.
    while (i < s.size()) {
        if ((s[i] == '-' || s[i] == '+') && !sign) {
            sign = true;
            if (s[i] == '-')
                negative = !negative;
        } else if (s[i] == '$' && !currency) {
            currency = true;
        } else if (s[i] != ' ') {
            return false;
        }
        ++i;
    }
    if (integral) {
        errno = 0;
        char* end = nullptr;
        const unsigned long long u = std::strtoull(digits.c_str(), &end, 10);
        const unsigned long long limit =
            negative ? 9223372036854775808ull : uint64_t(std::numeric_limits<int64_t>::max());
        if (errno == 0 && u <= limit) {
            out->integral = true;
            out->i = negative ? int64_t(0 - u) : int64_t(u);
            out->d = double(out->i);
            return true;
        }
    }
    char* end = nullptr;
    const double d = std::strtod(digits.c_str(), &end);
    if (!std::isfinite(d))
        return false;
    out->integral = false;
    out->d = negative ? -d : d;
    out->i = 0;
    return true;
}

std::string FormatJetDouble(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Infinity" : "-Infinity";
    if (value == 0)
        return "0";
    char buf[64];
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        std::snprintf(buf, sizeof buf, "%.0f", value);
        return buf;
    }
    std::snprintf(buf, sizeof buf, "%.15G", value);
    return buf;
}

std::string FormatJetNumber(const JetNumber& n) {
    return n.integral ? std::to_string(n.i) : FormatJetDouble(n.d);
}

namespace {

// value * 10^decimals split into its integral part and whether it lies on a half.
struct Scaled {
    long double whole;     // floor of the scaled value
    long double fraction;  // scaled - whole, in [0, 1)
    bool half;
};

Scaled Scale(double value, int decimals) {
    const long double scaled = (long double)value * powl(10.0L, decimals);
    const long double whole = floorl(scaled);
    const long double fraction = scaled - whole;
    // A decimal reading of a double carries about 15 significant digits: a fraction within
    // that distance of one half is the half the number was written as.
    const long double tolerance = fabsl(scaled) * 1e-13L + 1e-9L;
    return {whole, fraction, fabsl(fraction - 0.5L) <= tolerance};
}

}  // namespace

double RoundHalfEven(double value, int decimals) {
    if (!std::isfinite(value) || decimals > 15)
        return value;
    const Scaled s = Scale(value, decimals);
    long double r;
    if (s.half)
        r = fmodl(s.whole, 2.0L) == 0 ? s.whole : s.whole + 1;
    else
        r = s.fraction > 0.5L ? s.whole + 1 : s.whole;
    const double result = double(r / powl(10.0L, decimals));
    return result == 0 ? 0.0 : result;  // no negative zero
}

double RoundHalfAway(double value, int decimals) {
    if (!std::isfinite(value) || decimals > 15)
        return value;
    const bool negative = value < 0;
    const Scaled s = Scale(std::fabs(value), decimals);
    const long double r = (s.half || s.fraction > 0.5L) ? s.whole + 1 : s.whole;
    const double result = double(r / powl(10.0L, decimals));
    return negative && result != 0 ? -result : result;
}

std::u32string DecodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size();)
        out.push_back(vorn::DecodeUtf8Char(s, text.size(), &i));
    return out;
}

std::string EncodeUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    char bytes[4];
    for (char32_t c : text)
        out.append(bytes, vorn::EncodeUtf8Char(c, bytes));
    return out;
}

char32_t UpperChar(char32_t c) {
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') ? c - 32 : c;
    const locale_t loc = Utf8Locale();
    return loc ? char32_t(towupper_l(wint_t(c), loc)) : c;
}

char32_t LowerChar(char32_t c) {
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    const locale_t loc = Utf8Locale();
    return loc ? char32_t(towlower_l(wint_t(c), loc)) : c;
}

std::u32string UpperText(std::u32string_view text) {
    std::u32string out(text);
    for (char32_t& c : out)
        c = UpperChar(c);
    return out;
}

std::u32string LowerText(std::u32string_view text) {
    std::u32string out(text);
    for (char32_t& c : out)
        c = LowerChar(c);
    return out;
}

int CompareText(std::u32string_view a, std::u32string_view b, bool ignoreCase) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const char32_t x = ignoreCase ? LowerChar(a[i]) : a[i];
        const char32_t y = ignoreCase ? LowerChar(b[i]) : b[i];
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace vorn::provider::sql
