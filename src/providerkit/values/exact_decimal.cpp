// Exact decimals.
#include "values/exact_decimal.h"
#include "text_helpers.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace vorn::provider {
namespace {

constexpr int kMaxDigits = 38;

Uint128 Pow10(int n) {
    Uint128 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// 10^38 - 1 fits 128 bits (about 3.4 * 10^38); digits beyond 38 do not always.
bool MultiplyFits(Uint128 value, int power) {
    if (power > kMaxDigits)
        return value == 0;
    const Uint128 limit = ~Uint128(0) / Pow10(power);
    return value <= limit;
}

}  // namespace

int DigitCount(Uint128 value) {
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

DecimalStatus ParseDecimal(const char* text, size_t n, ExactDecimal* out) {
    const char* p = text;
    const char* end = text + n;
    while (p < end && IsAsciiSpace(*p))
        ++p;
    while (end > p && IsAsciiSpace(end[-1]))
        --end;
    ExactDecimal d;
    if (p < end && (*p == '+' || *p == '-'))
        d.negative = *p++ == '-';
    // Significant digits, with the position of the point relative to them.
    char digits[kMaxDigits];
    int count = 0;
    long exponent = 0;     // the value is digits * 10^exponent
    bool dropped = false;  // digits beyond the 38th were seen
    bool roundUp = false;  // the first of them was 5 or more
    bool sawDigit = false;
    bool afterPoint = false;
    for (; p < end; ++p) {
        if (*p == '.' && !afterPoint) {
            afterPoint = true;
            continue;
        }
        if (*p < '0' || *p > '9')
            break;
        sawDigit = true;
        if (count == 0 && *p == '0') {
            if (afterPoint)
                --exponent;
            continue;
        }
        if (count < kMaxDigits) {
            digits[count++] = *p;
            if (afterPoint)
                --exponent;
            continue;
        }
        // Beyond 38 significant digits: before the point the value grows tenfold, after
        // it the digit is rounded away (the first dropped digit decides).
        if (!afterPoint)
            ++exponent;
        if (!dropped)
            roundUp = *p >= '5';
        dropped = true;
    }
    if (!sawDigit)
        return DecimalStatus::NotANumber;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negativeExponent = false;
        if (p < end && (*p == '+' || *p == '-'))
            negativeExponent = *p++ == '-';
        long e = 0;
        bool expDigit = false;
        for (; p < end && *p >= '0' && *p <= '9'; ++p) {
            expDigit = true;
            if (e < 100000)
                e = e * 10 + (*p - '0');
        }
        if (!expDigit)
            return DecimalStatus::NotANumber;
        exponent += negativeExponent ? -e : e;
    }
    if (p != end)
        return DecimalStatus::NotANumber;
    Uint128 m = 0;
    for (int i = 0; i < count; ++i)
        m = m * 10 + static_cast<unsigned>(digits[i] - '0');
    if (roundUp)
        ++m;
    if (m == 0) {
        d.negative = false;
        *out = d;
        return DecimalStatus::Ok;
    }
    if (exponent > 0) {
        if (!MultiplyFits(m, static_cast<int>(exponent > 60 ? 60 : exponent)))
            return DecimalStatus::Overflow;
        m *= Pow10(static_cast<int>(exponent));
        exponent = 0;
    }
    d.mantissa = m;
    d.scale = static_cast<int>(-exponent > 1000 ? 1000 : -exponent);
    // Keep at most 38 digits after the point.
    if (d.scale > kMaxDigits && Rescale(&d, kMaxDigits) != DecimalStatus::Ok)
        return DecimalStatus::Overflow;
    if (d.mantissa == 0)
        d.negative = false;
    *out = d;
    return DecimalStatus::Ok;
}

DecimalStatus DecimalFromDouble(double value, ExactDecimal* out) {
    if (!std::isfinite(value))
        return DecimalStatus::NotANumber;
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (r.ec != std::errc())
        return DecimalStatus::NotANumber;
    return ParseDecimal(buffer, static_cast<size_t>(r.ptr - buffer), out);
}

ExactDecimal DecimalFromInteger(long long value) {
    ExactDecimal d;
    d.negative = value < 0;
    const auto bits = static_cast<unsigned long long>(value);
    d.mantissa = d.negative ? Uint128(0ull - bits) : Uint128(bits);
    return d;
}

DecimalStatus Rescale(ExactDecimal* d, int scale) {
    if (scale == d->scale)
        return DecimalStatus::Ok;
    if (scale > d->scale) {
        const int up = scale - d->scale;
        if (!MultiplyFits(d->mantissa, up))
            return DecimalStatus::Overflow;
        d->mantissa *= Pow10(up);
    } else {
        const int down = d->scale - scale;
        // 10^39 does not fit 128 bits, and every mantissa is below half of it.
        if (down > kMaxDigits) {
            d->mantissa = 0;
        } else {
            const Uint128 divisor = Pow10(down);
            const Uint128 remainder = d->mantissa % divisor;
            d->mantissa /= divisor;
            if (remainder * 2 >= divisor)
                ++d->mantissa;
        }
    }
    d->scale = scale;
    if (d->mantissa == 0)
        d->negative = false;
    return DecimalStatus::Ok;
}

std::string DecimalToText(const ExactDecimal& d) {
    char digits[48];
    int n = 0;
    Uint128 m = d.mantissa;
    do {
        digits[n++] = static_cast<char>('0' + static_cast<int>(m % 10));
        m /= 10;
    } while (m);
    std::string text;
    if (d.negative)
        text.push_back('-');
    if (n <= d.scale) {
        text += "0.";
        text.append(static_cast<size_t>(d.scale - n), '0');
        for (int i = n - 1; i >= 0; --i)
            text.push_back(digits[i]);
        return text;
    }
    for (int i = n - 1; i >= 0; --i) {
        text.push_back(digits[i]);
        if (i == d.scale && i != 0)
            text.push_back('.');
    }
    return text;
}

bool DecimalFromNumeric(const DB_NUMERIC& n, ExactDecimal* out) {
    ExactDecimal d;
    for (int i = DB_NUMERIC_MAX_VAL - 1; i >= 0; --i)
        d.mantissa = (d.mantissa << 8) | n.val[i];
    d.negative = n.sign == 0 && d.mantissa != 0;
    d.scale = n.scale;
    if (d.scale > kMaxDigits)
        return false;
    *out = d;
    return true;
}

bool DecimalFromVarNumeric(const BYTE* data, size_t length, ExactDecimal* out) {
    if (length < 3)
        return false;
    ExactDecimal d;
    const int scale = static_cast<SBYTE>(data[1]);
    const BYTE* val = data + 3;
    const size_t valLength = length - 3;
    for (size_t i = DB_NUMERIC_MAX_VAL; i < valLength; ++i)
        if (val[i] != 0)
            return false;
    const size_t used = valLength < DB_NUMERIC_MAX_VAL ? valLength : DB_NUMERIC_MAX_VAL;
    for (size_t i = used; i-- > 0;)
        d.mantissa = (d.mantissa << 8) | val[i];
    d.negative = data[2] == 0 && d.mantissa != 0;
    if (scale < 0) {
        if (!MultiplyFits(d.mantissa, -scale))
            return false;
        d.mantissa *= Pow10(-scale);
        d.scale = 0;
    } else {
        if (scale > kMaxDigits)
            return false;
        d.scale = scale;
    }
    *out = d;
    return true;
}

}  // namespace vorn::provider
