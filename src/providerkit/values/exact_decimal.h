// Exact decimal numbers for the DBTYPE_NUMERIC, DBTYPE_DECIMAL and DBTYPE_CY conversions:
// a sign, a 128-bit unsigned mantissa and a scale (digits after the point).
#pragma once

#include <cstddef>
#include <string>

#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

using Uint128 = unsigned __int128;

struct ExactDecimal {
    bool negative = false;
    Uint128 mantissa = 0;
    int scale = 0;  // 0 to 38
};

enum class DecimalStatus { Ok, NotANumber, Overflow };

// Reads "[+|-]digits[.digits][e[+|-]digits]" with white space around. Digits beyond 38
// significant ones after the point are rounded away; a value that needs more than 38
// digits before the point overflows.
DecimalStatus ParseDecimal(const char* text, size_t n, ExactDecimal* out);

// The shortest decimal that reads back as the same double; NotANumber for NaN and
// infinities.
DecimalStatus DecimalFromDouble(double value, ExactDecimal* out);

ExactDecimal DecimalFromInteger(long long value);

// Changes the scale, rounding half away from zero when digits are dropped; Overflow when
// the mantissa would not fit 128 bits.
DecimalStatus Rescale(ExactDecimal* d, int scale);

// Number of decimal digits of the mantissa (1 for 0).
int DigitCount(Uint128 value);

// "-123.45", "0.005", "7" (no point when the scale is 0).
std::string DecimalToText(const ExactDecimal& d);
// The same text written to out, which has room for kDecimalTextMax characters; its length
// (no terminator is written).
constexpr size_t kDecimalTextMax = 80;
size_t DecimalToChars(const ExactDecimal& d, char* out);

// DB_NUMERIC and DB_VARNUMERIC values (little-endian mantissa, sign 1 = positive).
// VARNUMERIC's scale may be negative; a mantissa of more than 16 bytes must have zeros
// beyond the 16th. False when the value does not fit.
bool DecimalFromNumeric(const DB_NUMERIC& n, ExactDecimal* out);
bool DecimalFromVarNumeric(const BYTE* data, size_t length, ExactDecimal* out);

}  // namespace vorn::provider
