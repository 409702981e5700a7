// DECIMAL to 32-bit integer and BSTR comparison.
#include <cwchar>
#include <cwctype>

#include "automation.h"

namespace vornoledb {

namespace {

constexpr BYTE kMaxDecimalScale = 28;

using U128 = unsigned __int128;

// 10^scale for scale 0..28 (10^28 needs 94 bits).
U128 PowerOfTen(unsigned scale) {
    U128 p = 1;
    for (unsigned i = 0; i < scale; ++i)
        p *= 10;
    return p;
}

size_t LengthOf(BSTR s) {
    return s ? std::wcslen(s) : 0;
}

}  // namespace

HRESULT VarI4FromDec(const DECIMAL* pdecIn, LONG* plOut) {
    if (!pdecIn || !plOut)
        return E_INVALIDARG;
    if (pdecIn->scale > kMaxDecimalScale)
        return E_INVALIDARG;
    // Only the sign bit may be set in the sign byte.
    if (pdecIn->sign & ~DECIMAL_NEG)
        return E_INVALIDARG;

    const U128 mantissa = (static_cast<U128>(pdecIn->Hi32) << 64) | pdecIn->Lo64;
    const U128 divisor = PowerOfTen(pdecIn->scale);
    U128 quotient = mantissa / divisor;
    const U128 twiceRemainder = (mantissa % divisor) * 2;  // below 2^95, no overflow
    if (twiceRemainder > divisor || (twiceRemainder == divisor && (quotient & 1)))
        ++quotient;

    const bool negative = (pdecIn->sign & DECIMAL_NEG) != 0;
    const U128 limit = negative ? U128{1} << 31 : (U128{1} << 31) - 1;
    if (quotient > limit)
        return DISP_E_OVERFLOW;
    const int64_t magnitude = static_cast<int64_t>(quotient);
    *plOut = static_cast<LONG>(negative ? -magnitude : magnitude);
    return S_OK;
}

// Lengths come from the terminating NUL rather than the BSTR prefix: callers in this library
// pass both allocated BSTRs and plain wide literals, and every BSTR here is NUL-terminated.
HRESULT VarBstrCmp(BSTR bstrLeft, BSTR bstrRight, LCID /*lcid*/, ULONG dwFlags) {
    const size_t leftLength = LengthOf(bstrLeft);
    const size_t rightLength = LengthOf(bstrRight);
    const size_t common = leftLength < rightLength ? leftLength : rightLength;
    const bool ignoreCase = (dwFlags & NORM_IGNORECASE) != 0;
    for (size_t i = 0; i < common; ++i) {
        uint32_t a = static_cast<uint32_t>(bstrLeft[i]);
        uint32_t b = static_cast<uint32_t>(bstrRight[i]);
        if (a == b)
            continue;
        if (ignoreCase) {
            a = static_cast<uint32_t>(std::towlower(static_cast<wint_t>(a)));
            b = static_cast<uint32_t>(std::towlower(static_cast<wint_t>(b)));
            if (a == b)
                continue;
        }
        return a < b ? VARCMP_LT : VARCMP_GT;
    }
    if (leftLength == rightLength)
        return VARCMP_EQ;
    return leftLength < rightLength ? VARCMP_LT : VARCMP_GT;
}

}  // namespace vornoledb
