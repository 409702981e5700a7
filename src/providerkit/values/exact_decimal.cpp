// Exact decimals.
#include "values/exact_decimal.h"
#include "text_helpers.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace vorn::provider {
namespace {

constexpr int kMaxDigits = 38;

// 10^0 to 10^38, and the largest value that can be multiplied by each without leaving 128
// bits: these run for every exact value read or written, so no power is computed twice.
struct PowerTables {
    Uint128 power[kMaxDigits + 1];
    Uint128 multiplyLimit[kMaxDigits + 1];
};

const PowerTables& Powers() {
    static const PowerTables tables = [] {
        PowerTables t{};
        Uint128 p = 1;
        for (int i = 0; i <= kMaxDigits; ++i) {
            t.power[i] = p;
            t.multiplyLimit[i] = ~Uint128(0) / p;
            p *= 10;
        }
        return t;
    }();
    return tables;
}

// Beyond 10^38 nothing fits 128 bits; callers multiply such a power only into zero.
Uint128 Pow10(int n) {
    return n <= kMaxDigits ? Powers().power[n] : 0;
}

// 10^38 - 1 fits 128 bits (about 3.4 * 10^38); digits beyond 38 do not always.
bool MultiplyFits(Uint128 value, int power) {
    if (power > kMaxDigits)
        return value == 0;
    return value <= Powers().multiplyLimit[power];
}

// Writes the decimal digits of value backwards, ending just before `end`; the first digit.
char* PutDigitsBackwards(Uint128 value, char* end) {
    // The 128-bit division runs only while the value is too large for 64 bits.
    while (value > UINT64_MAX) {
        *--end = static_cast<char>('0' + static_cast<int>(value % 10));
        value /= 10;
    }
    uint64_t small = static_cast<uint64_t>(value);
    do {
        *--end = static_cast<char>('0' + small % 10);
        small /= 10;
    } while (small != 0);
    return end;
}

}  // namespace

int DigitCount(Uint128 value) {
    const PowerTables& t = Powers();
    int digits = 1;
    while (digits <= kMaxDigits && value >= t.power[digits])
        ++digits;
    return digits;
}

namespace {

// The form servers and stores write, "[-]digits[.digits]" with at most 19 digits and
// nothing around them, read in one pass; false for anything else, which the general
// reader takes.
bool ParsePlainDecimal(const char* text, size_t n, ExactDecimal* out) {
    const char* p = text;
    const char* const end = text + n;
    const bool negative = p < end && *p == '-';
    if (negative || (p < end && *p == '+'))
        ++p;
    uint64_t m = 0;
    int digits = 0;
    int scale = 0;
    bool afterPoint = false;
    for (; p < end; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9') {
            if (++digits > 19)
                return false;
            m = m * 10 + static_cast<unsigned>(c - '0');
            scale += afterPoint ? 1 : 0;
        } else if (c == '.' && !afterPoint) {
            afterPoint = true;
        } else {
            return false;
        }
    }
    if (digits == 0)
        return false;
    ExactDecimal d;
    if (m != 0) {
        d.negative = negative;
        d.mantissa = m;
        d.scale = scale;
    }
    *out = d;
    return true;
}

}  // namespace

DecimalStatus ParseDecimal(const char* text, size_t n, ExactDecimal* out) {
    if (ParsePlainDecimal(text, n, out))
        return DecimalStatus::Ok;
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
    // Nineteen digits always fit 64 bits; only longer mantissas need 128-bit steps.
    uint64_t head = 0;
    int i = 0;
    for (; i < count && i < 19; ++i)
        head = head * 10 + static_cast<unsigned>(digits[i] - '0');
    Uint128 m = head;
    for (; i < count; ++i)
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
        } else if (d->mantissa <= UINT64_MAX && down <= 19) {
            const uint64_t divisor = static_cast<uint64_t>(Pow10(down));
            const uint64_t m = static_cast<uint64_t>(d->mantissa);
            const uint64_t remainder = m % divisor;
            // Half or more rounds up; twice the remainder could leave 64 bits, its
            // complement cannot.
            d->mantissa = m / divisor + (remainder >= divisor - remainder ? 1 : 0);
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

size_t DecimalToChars(const ExactDecimal& d, char* out) {
    char digits[40];
    char* const digitsEnd = digits + sizeof digits;
    const char* first = PutDigitsBackwards(d.mantissa, digitsEnd);
    const int n = static_cast<int>(digitsEnd - first);
    char* p = out;
    if (d.negative)
        *p++ = '-';
    if (n <= d.scale) {
        *p++ = '0';
        *p++ = '.';
        for (int i = n; i < d.scale; ++i)
            *p++ = '0';
        std::memcpy(p, first, static_cast<size_t>(n));
        return static_cast<size_t>(p + n - out);
    }
    const int whole = n - d.scale;
    std::memcpy(p, first, static_cast<size_t>(whole));
    p += whole;
    if (d.scale > 0) {
        *p++ = '.';
        std::memcpy(p, first + whole, static_cast<size_t>(d.scale));
        p += d.scale;
    }
    return static_cast<size_t>(p - out);
}

std::string DecimalToText(const ExactDecimal& d) {
    char text[kDecimalTextMax];
    return std::string(text, DecimalToChars(d, text));
}

bool DecimalFromNumeric(const DB_NUMERIC& n, ExactDecimal* out) {
    ExactDecimal d;
    // The sixteen little-endian bytes are the 128-bit value as it lies in memory on the
    // little-endian machines the library runs on.
    static_assert(DB_NUMERIC_MAX_VAL == sizeof d.mantissa, "a NUMERIC mantissa is 128 bits");
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
                  "NUMERIC bytes are copied as they lie");
    std::memcpy(&d.mantissa, n.val, sizeof d.mantissa);
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
