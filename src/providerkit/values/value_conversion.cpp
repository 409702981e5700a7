// Conversion of stored values into bindings.
#include "values/value_conversion.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "calendar.h"
#include "values/exact_decimal.h"
#include "rowset/long_value_stream.h"
#include "utf8.h"
#include "automation.h"
#include "text_helpers.h"

namespace vorn::provider {
namespace {

using Int128 = __int128;

ConversionOutcome Ok(DBLENGTH length) {
    return {DBSTATUS_S_OK, length};
}
ConversionOutcome Failed(DBSTATUS status) {
    return {status, 0};
}

template <class T>
void Put(void* dst, const T& v) {
    if (dst)
        std::memcpy(dst, &v, sizeof v);
}

// ---- the text form of a value -------------------------------------------------------------

// Text, and blobs for text targets (as two hexadecimal digits a byte); numbers are written
// into scratch.
struct TextForm {
    const char* bytes = nullptr;
    size_t size = 0;
    bool hex = false;
    char scratch[40];

    explicit TextForm(const Cell& c) {
        switch (c.kind) {
            case CellKind::Integer: {
                const auto r = std::to_chars(scratch, scratch + sizeof scratch, c.integer);
                bytes = scratch;
                size = static_cast<size_t>(r.ptr - scratch);
                break;
            }
            case CellKind::Real: {
                const auto r = std::to_chars(scratch, scratch + sizeof scratch, c.real);
                bytes = scratch;
                size = static_cast<size_t>(r.ptr - scratch);
                break;
            }
            case CellKind::Blob:
                hex = true;
                [[fallthrough]];
            default:
                bytes = c.bytes;
                size = c.size;
                break;
        }
    }
    TextForm(const TextForm&) = delete;
    TextForm& operator=(const TextForm&) = delete;

    // Length in characters (UTF-8 decoded, or two a byte for hexadecimal).
    size_t Chars() const { return hex ? 2 * size : CountUtf8Chars(bytes, size); }
    // Length in UTF-8 bytes.
    size_t Bytes() const { return hex ? 2 * size : size; }
};

char HexDigit(unsigned v) {
    return static_cast<char>(v < 10 ? '0' + v : 'A' + v - 10);
}

// Writes at most capacity characters of t to out.
WideDecodeResult WriteWide(const TextForm& t, wchar_t* out, size_t capacity) {
    if (!t.hex)
        return DecodeUtf8(t.bytes, t.size, out, capacity);
    const size_t total = 2 * t.size;
    const size_t n = total < capacity ? total : capacity;
    for (size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(t.bytes[i / 2]);
        out[i] = static_cast<wchar_t>(HexDigit(i % 2 ? b & 0xF : b >> 4));
    }
    return {n, total};
}

// Writes bytes [0, n) of t's UTF-8 form to out.
void WriteNarrow(const TextForm& t, char* out, size_t n) {
    if (!t.hex) {
        std::memcpy(out, t.bytes, n);
        return;
    }
    for (size_t i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(t.bytes[i / 2]);
        out[i] = HexDigit(i % 2 ? b & 0xF : b >> 4);
    }
}

ConversionOutcome ToWide(const TextForm& t, void* dst, DBLENGTH maxLength) {
    if (!dst)
        return Ok(static_cast<DBLENGTH>(t.Chars() * sizeof(wchar_t)));
    const size_t capacity = maxLength / sizeof(wchar_t);
    if (capacity == 0)
        return {DBSTATUS_S_TRUNCATED, static_cast<DBLENGTH>(t.Chars() * sizeof(wchar_t))};
    WideDecodeResult r;
    if (reinterpret_cast<uintptr_t>(dst) % alignof(wchar_t) == 0) {
        auto* out = static_cast<wchar_t*>(dst);
        r = WriteWide(t, out, capacity - 1);
        out[r.written] = 0;
    } else {
        // A slot that is not aligned for wchar_t is written through a copy.
        std::wstring copy(capacity, L'\0');
        r = WriteWide(t, &copy[0], capacity - 1);
        std::memcpy(dst, copy.data(), (r.written + 1) * sizeof(wchar_t));
    }
    const DBLENGTH length = static_cast<DBLENGTH>(r.total * sizeof(wchar_t));
    return {r.total > r.written ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK, length};
}

ConversionOutcome ToNarrow(const TextForm& t, void* dst, DBLENGTH maxLength) {
    const size_t total = t.Bytes();
    if (!dst)
        return Ok(static_cast<DBLENGTH>(total));
    if (maxLength == 0)
        return {DBSTATUS_S_TRUNCATED, static_cast<DBLENGTH>(total)};
    size_t n = total < maxLength - 1 ? total : maxLength - 1;
    if (!t.hex)
        n = Utf8PrefixLength(t.bytes, t.size, n);
    auto* out = static_cast<char*>(dst);
    WriteNarrow(t, out, n);
    out[n] = 0;
    return {n < total ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK, static_cast<DBLENGTH>(total)};
}

// The bytes of a value as binary: blobs and text as they are, numbers as their text.
ConversionOutcome ToBytes(const Cell& c, void* dst, DBLENGTH maxLength) {
    TextForm t(c);
    const size_t total = t.size;
    if (!dst)
        return Ok(static_cast<DBLENGTH>(total));
    const size_t n = total < maxLength ? total : maxLength;
    if (n)
        std::memcpy(dst, t.bytes, n);
    return {n < total ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK, static_cast<DBLENGTH>(total)};
}

ConversionOutcome ToWideByRef(const TextForm& t, void* dst) {
    if (!dst)
        return Ok(static_cast<DBLENGTH>(t.Chars() * sizeof(wchar_t)));
    // UTF-8 text has no more characters than bytes: a short text's block is sized by its
    // bytes and the text decoded once, without counting its characters first. A long one
    // is counted, so that its block is no larger than its characters need.
    constexpr size_t kSizedByBytesUpTo = 4096;
    const size_t room = t.hex ? 2 * t.size : t.size <= kSizedByBytesUpTo ? t.size : t.Chars();
    auto* block = static_cast<wchar_t*>(CoTaskMemAlloc((room + 1) * sizeof(wchar_t)));
    if (!block)
        return Failed(DBSTATUS_E_CANTCREATE);
    const WideDecodeResult r = WriteWide(t, block, room);
    block[r.written] = 0;
    Put(dst, block);
    return Ok(static_cast<DBLENGTH>(r.written * sizeof(wchar_t)));
}

ConversionOutcome ToNarrowByRef(const TextForm& t, void* dst) {
    const size_t n = t.Bytes();
    if (!dst)
        return Ok(static_cast<DBLENGTH>(n));
    auto* block = static_cast<char*>(CoTaskMemAlloc(n + 1));
    if (!block)
        return Failed(DBSTATUS_E_CANTCREATE);
    WriteNarrow(t, block, n);
    block[n] = 0;
    Put(dst, block);
    return Ok(static_cast<DBLENGTH>(n));
}

ConversionOutcome ToBytesByRef(const Cell& c, void* dst) {
    TextForm t(c);
    if (!dst)
        return Ok(static_cast<DBLENGTH>(t.size));
    void* block = CoTaskMemAlloc(t.size ? t.size : 1);
    if (!block)
        return Failed(DBSTATUS_E_CANTCREATE);
    if (t.size)
        std::memcpy(block, t.bytes, t.size);
    Put(dst, block);
    return Ok(static_cast<DBLENGTH>(t.size));
}

ConversionOutcome ToBstr(const TextForm& t, void* dst) {
    if (!dst)
        return Ok(sizeof(BSTR));
    const size_t chars = t.Chars();
    BSTR s = SysAllocStringLen(nullptr, static_cast<UINT>(chars));
    if (!s)
        return Failed(DBSTATUS_E_CANTCREATE);
    const WideDecodeResult r = WriteWide(t, s, chars);
    s[r.written] = 0;
    Put(dst, s);
    return Ok(sizeof(BSTR));
}

// The bytes a stream of a column delivers: wide characters for wide text columns, UTF-8
// for narrow text, the bytes themselves for binary columns.
std::string StreamBytes(const Cell& c, DBTYPE columnType) {
    TextForm t(c);
    if (columnType == DBTYPE_WSTR) {
        const size_t chars = t.Chars();
        std::string bytes(chars * sizeof(wchar_t), '\0');
        std::wstring wide(chars, L'\0');
        WriteWide(t, &wide[0], chars);
        std::memcpy(&bytes[0], wide.data(), bytes.size());
        return bytes;
    }
    if (columnType == DBTYPE_STR) {
        std::string bytes(t.Bytes(), '\0');
        WriteNarrow(t, &bytes[0], bytes.size());
        return bytes;
    }
    return std::string(t.bytes, t.size);
}

DBLENGTH StreamLength(const Cell& c, DBTYPE columnType) {
    TextForm t(c);
    if (columnType == DBTYPE_WSTR)
        return static_cast<DBLENGTH>(t.Chars() * sizeof(wchar_t));
    if (columnType == DBTYPE_STR)
        return static_cast<DBLENGTH>(t.Bytes());
    return static_cast<DBLENGTH>(t.size);
}

ConversionOutcome ToStream(const Cell& c, DBTYPE columnType, const IID* iid, void* dst) {
    if (!dst)
        return Ok(StreamLength(c, columnType));
    std::string bytes = StreamBytes(c, columnType);
    const auto length = static_cast<DBLENGTH>(bytes.size());
    ComPtr<IStream> stream = MakeLongValueStream(std::move(bytes));
    IUnknown* object = nullptr;
    if (FAILED(stream->QueryInterface(iid ? *iid : IID_ISequentialStream,
                                      reinterpret_cast<void**>(&object))))
        return Failed(DBSTATUS_E_CANTCREATE);
    Put(dst, object);
    return Ok(length);
}

// ---- numbers ---------------------------------------------------------------------------------

enum class Num { Ok, CantConvert, Overflow };

DBSTATUS StatusOf(Num n) {
    return n == Num::Overflow ? DBSTATUS_E_DATAOVERFLOW : DBSTATUS_E_CANTCONVERTVALUE;
}

Num FromDecimalStatus(DecimalStatus s) {
    switch (s) {
        case DecimalStatus::Ok:
            return Num::Ok;
        case DecimalStatus::Overflow:
            return Num::Overflow;
        default:
            return Num::CantConvert;
    }
}

Num CellToDecimal(const Cell& c, ExactDecimal* d) {
    switch (c.kind) {
        case CellKind::Integer:
            *d = DecimalFromInteger(c.integer);
            return Num::Ok;
        case CellKind::Real:
            if (std::isinf(c.real))
                return Num::Overflow;
            return FromDecimalStatus(DecimalFromDouble(c.real, d));
        case CellKind::Text:
            return FromDecimalStatus(ParseDecimal(c.bytes, c.size, d));
        default:
            return Num::CantConvert;
    }
}

// Integers in 128 bits cover every target from I1 to UI8. Fractions round half away from
// zero.
Num CellToInteger(const Cell& c, Int128* out) {
    switch (c.kind) {
        case CellKind::Integer:
            *out = c.integer;
            return Num::Ok;
        case CellKind::Real: {
            if (std::isnan(c.real))
                return Num::CantConvert;
            const double r = std::round(c.real);
            if (!(std::fabs(r) < 18446744073709551616.0))
                return Num::Overflow;
            *out = r < 0 ? -static_cast<Int128>(static_cast<unsigned long long>(-r))
                         : static_cast<Int128>(static_cast<unsigned long long>(r));
            return Num::Ok;
        }
        case CellKind::Text: {
            ExactDecimal d;
            const Num n = FromDecimalStatus(ParseDecimal(c.bytes, c.size, &d));
            if (n != Num::Ok)
                return n;
            if (Rescale(&d, 0) != DecimalStatus::Ok || (d.mantissa >> 64) != 0)
                return Num::Overflow;
            const Int128 m = static_cast<Int128>(d.mantissa);
            *out = d.negative ? -m : m;
            return Num::Ok;
        }
        default:
            return Num::CantConvert;
    }
}

template <class T>
ConversionOutcome StoreInteger(const Cell& c, void* dst) {
    Int128 v = 0;
    const Num n = CellToInteger(c, &v);
    if (n != Num::Ok)
        return Failed(StatusOf(n));
    if (v < static_cast<Int128>(std::numeric_limits<T>::min()))
        return Failed(std::is_unsigned<T>::value ? DBSTATUS_E_SIGNMISMATCH
                                                 : DBSTATUS_E_DATAOVERFLOW);
    if (v > static_cast<Int128>(std::numeric_limits<T>::max()))
        return Failed(DBSTATUS_E_DATAOVERFLOW);
    Put(dst, static_cast<T>(v));
    return Ok(sizeof(T));
}

bool EqualsNoCase(const char* p, size_t n, const char* word) {
    const size_t w = std::strlen(word);
    if (n != w)
        return false;
    for (size_t i = 0; i < n; ++i) {
        char c = p[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != word[i])
            return false;
    }
    return true;
}

Num CellToDouble(const Cell& c, double* out) {
    switch (c.kind) {
        case CellKind::Integer:
            *out = static_cast<double>(c.integer);
            return Num::Ok;
        case CellKind::Real:
            *out = c.real;
            return Num::Ok;
        case CellKind::Text: {
            const char* p = c.bytes;
            const char* end = c.bytes + c.size;
            while (p < end && IsAsciiSpace(*p))
                ++p;
            while (end > p && IsAsciiSpace(end[-1]))
                --end;
            // Only decimal notation: strtod's "inf", "nan" and hexadecimal forms are not
            // numbers a user writes.
            const char* q = p;
            if (q < end && (*q == '+' || *q == '-'))
                ++q;
            if (q == end || !((*q >= '0' && *q <= '9') || *q == '.'))
                return Num::CantConvert;
            for (const char* r = q; r < end; ++r)
                if (*r == 'x' || *r == 'X')
                    return Num::CantConvert;
            const std::string copy(p, end);
            char* stop = nullptr;
            const double v = std::strtod(copy.c_str(), &stop);
            if (stop != copy.c_str() + copy.size())
                return Num::CantConvert;
            if (std::isinf(v))
                return Num::Overflow;
            *out = v;
            return Num::Ok;
        }
        default:
            return Num::CantConvert;
    }
}

ConversionOutcome ToBool(const Cell& c, void* dst) {
    bool value = false;
    switch (c.kind) {
        case CellKind::Integer:
            value = c.integer != 0;
            break;
        case CellKind::Real:
            if (std::isnan(c.real))
                return Failed(DBSTATUS_E_CANTCONVERTVALUE);
            value = c.real != 0;
            break;
        case CellKind::Text: {
            const char* p = c.bytes;
            const char* end = c.bytes + c.size;
            while (p < end && IsAsciiSpace(*p))
                ++p;
            while (end > p && IsAsciiSpace(end[-1]))
                --end;
            const size_t n = static_cast<size_t>(end - p);
            if (EqualsNoCase(p, n, "true") || EqualsNoCase(p, n, "yes") ||
                EqualsNoCase(p, n, "on")) {
                value = true;
            } else if (EqualsNoCase(p, n, "false") || EqualsNoCase(p, n, "no") ||
                       EqualsNoCase(p, n, "off")) {
                value = false;
            } else {
                double d = 0;
                if (CellToDouble(c, &d) != Num::Ok)
                    return Failed(DBSTATUS_E_CANTCONVERTVALUE);
                value = d != 0;
            }
            break;
        }
        default:
            return Failed(DBSTATUS_E_CANTCONVERTVALUE);
    }
    Put(dst, static_cast<VARIANT_BOOL>(value ? VARIANT_TRUE : VARIANT_FALSE));
    return Ok(sizeof(VARIANT_BOOL));
}

ConversionOutcome ToR8(const Cell& c, void* dst) {
    double v = 0;
    const Num n = CellToDouble(c, &v);
    if (n != Num::Ok)
        return Failed(StatusOf(n));
    Put(dst, v);
    return Ok(sizeof(double));
}

ConversionOutcome ToR4(const Cell& c, void* dst) {
    double v = 0;
    const Num n = CellToDouble(c, &v);
    if (n != Num::Ok)
        return Failed(StatusOf(n));
    if (std::isfinite(v) && std::fabs(v) > FLT_MAX)
        return Failed(DBSTATUS_E_DATAOVERFLOW);
    Put(dst, static_cast<float>(v));
    return Ok(sizeof(float));
}

ConversionOutcome ToCurrency(const Cell& c, void* dst) {
    ExactDecimal d;
    const Num n = CellToDecimal(c, &d);
    if (n != Num::Ok)
        return Failed(StatusOf(n));
    if (Rescale(&d, 4) != DecimalStatus::Ok)
        return Failed(DBSTATUS_E_DATAOVERFLOW);
    const Uint128 limit = d.negative ? (Uint128(1) << 63) : (Uint128(1) << 63) - 1;
    if (d.mantissa > limit)
        return Failed(DBSTATUS_E_DATAOVERFLOW);
    CY cy;
    const auto m = static_cast<unsigned long long>(d.mantissa);
    cy.int64 = d.negative ? static_cast<int64_t>(0ull - m) : static_cast<int64_t>(m);
    Put(dst, cy);
    return Ok(sizeof(CY));
}

// ---- dates ---------------------------------------------------------------------------------

Num CellToDateParts(const Cell& c, DateParts* parts) {
    switch (c.kind) {
        case CellKind::Integer:
        case CellKind::Real: {
            // Numbers in date columns are automation dates, as the engine stores them.
            const double v = c.kind == CellKind::Integer ? static_cast<double>(c.integer) : c.real;
            if (std::isnan(v))
                return Num::CantConvert;
            return AutomationToDateParts(v, parts) ? Num::Ok : Num::Overflow;
        }
        case CellKind::Text:
            return ParseIsoDateText(c.bytes, c.size, parts) ? Num::Ok : Num::CantConvert;
        default:
            return Num::CantConvert;
    }
}

ConversionOutcome ToDate(const Cell& c, void* dst) {
    DATE value = 0;
    if (c.kind == CellKind::Integer || c.kind == CellKind::Real) {
        value = c.kind == CellKind::Integer ? static_cast<double>(c.integer) : c.real;
        DateParts check;
        if (std::isnan(value))
            return Failed(DBSTATUS_E_CANTCONVERTVALUE);
        if (!AutomationToDateParts(value, &check))
            return Failed(DBSTATUS_E_DATAOVERFLOW);
    } else {
        DateParts parts;
        const Num n = CellToDateParts(c, &parts);
        if (n != Num::Ok)
            return Failed(StatusOf(n));
        if (!DatePartsToAutomation(parts, &value))
            return Failed(DBSTATUS_E_CANTCONVERTVALUE);
    }
    Put(dst, value);
    return Ok(sizeof(DATE));
}

ConversionOutcome ToDbDate(const Cell& c, DBTYPE type, void* dst) {
    DateParts p;
    const Num n = CellToDateParts(c, &p);
    if (n != Num::Ok)
        return Failed(StatusOf(n));
    if (type == DBTYPE_DBDATE) {
        const DBDATE v{static_cast<SHORT>(p.year), static_cast<USHORT>(p.month),
                       static_cast<USHORT>(p.day)};
        Put(dst, v);
        return Ok(sizeof v);
    }
    if (type == DBTYPE_DBTIME) {
        const DBTIME v{static_cast<USHORT>(p.hour), static_cast<USHORT>(p.minute),
                       static_cast<USHORT>(p.second)};
        Put(dst, v);
        return Ok(sizeof v);
    }
    const DBTIMESTAMP v{static_cast<SHORT>(p.year),
                        static_cast<USHORT>(p.month),
                        static_cast<USHORT>(p.day),
                        static_cast<USHORT>(p.hour),
                        static_cast<USHORT>(p.minute),
                        static_cast<USHORT>(p.second),
                        p.nanoseconds};
    Put(dst, v);
    return Ok(sizeof v);
}

// ---- GUID, NUMERIC, DECIMAL ----------------------------------------------------------------

ConversionOutcome ToGuid(const Cell& c, void* dst) {
    GUID g;
    if (c.kind == CellKind::Blob && c.size == sizeof(GUID)) {
        std::memcpy(&g, c.bytes, sizeof g);
    } else if (c.kind == CellKind::Text) {
        const char* p = c.bytes;
        const char* end = c.bytes + c.size;
        while (p < end && IsAsciiSpace(*p))
            ++p;
        while (end > p && IsAsciiSpace(end[-1]))
            --end;
        if (end - p > 38)
            return Failed(DBSTATUS_E_CANTCONVERTVALUE);
        wchar_t wide[40] = {};
        for (size_t i = 0; p + i < end; ++i)
            wide[i] = static_cast<unsigned char>(p[i]);
        if (!GuidFromString(wide, &g))
            return Failed(DBSTATUS_E_CANTCONVERTVALUE);
    } else {
        return Failed(DBSTATUS_E_CANTCONVERTVALUE);
    }
    Put(dst, g);
    return Ok(sizeof(GUID));
}

ConversionOutcome ToNumeric(const Cell& c, const SourceColumn& column, const ConversionTarget& t) {
    ExactDecimal d;
    const Num n = CellToDecimal(c, &d);
    if (n != Num::Ok)
        return Failed(StatusOf(n));
    int precision = 38;
    int scale = d.scale;
    if (t.precision) {
        precision = t.precision;
        scale = t.scale;
    } else if (column.type == DBTYPE_NUMERIC && column.precision >= 1 && column.precision <= 38) {
        precision = column.precision;
        scale = column.scale;
    }
    if (precision > 38)
        precision = 38;
    if (scale > precision)
        scale = precision;
    if (Rescale(&d, scale) != DecimalStatus::Ok)
        return Failed(DBSTATUS_E_DATAOVERFLOW);
    if (d.mantissa != 0 && DigitCount(d.mantissa) > precision)
        return Failed(DBSTATUS_E_DATAOVERFLOW);
    DB_NUMERIC v{};
    v.precision = static_cast<BYTE>(precision);
    v.scale = static_cast<BYTE>(scale);
    v.sign = d.negative ? 0 : 1;
    // The mantissa's sixteen little-endian bytes, as the 128-bit value lies in memory on the
    // little-endian machines the library runs on.
    static_assert(DB_NUMERIC_MAX_VAL == sizeof d.mantissa, "a NUMERIC mantissa is 128 bits");
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
                  "NUMERIC bytes are copied as they lie");
    std::memcpy(v.val, &d.mantissa, sizeof d.mantissa);
    Put(t.value, v);
    return Ok(sizeof v);
}

ConversionOutcome ToDecimal(const Cell& c, void* dst) {
    ExactDecimal d;
    const Num n = CellToDecimal(c, &d);
    if (n != Num::Ok)
        return Failed(StatusOf(n));
    if (d.scale > 28)
        Rescale(&d, 28);
    // 96 bits of mantissa: drop fraction digits until the value fits.
    while ((d.mantissa >> 96) != 0 && d.scale > 0)
        Rescale(&d, d.scale - 1);
    if ((d.mantissa >> 96) != 0)
        return Failed(DBSTATUS_E_DATAOVERFLOW);
    DECIMAL v{};
    v.scale = static_cast<BYTE>(d.scale);
    v.sign = d.negative ? DECIMAL_NEG : 0;
    v.Hi32 = static_cast<ULONG>(d.mantissa >> 64);
    v.Lo64 = static_cast<ULONGLONG>(d.mantissa);
    Put(dst, v);
    return Ok(sizeof v);
}

// ---- VARIANT ---------------------------------------------------------------------------------

ConversionOutcome ToVariant(const Cell& c, const SourceColumn& column, void* dst) {
    VARIANT v;
    VariantInit(&v);
    ConversionTarget inner;
    inner.value = &v.llVal;
    VARTYPE vt = VT_BSTR;
    switch (column.type) {
        case DBTYPE_I1:
            vt = VT_I1;
            break;
        case DBTYPE_UI1:
            vt = VT_UI1;
            break;
        case DBTYPE_I2:
            vt = VT_I2;
            break;
        case DBTYPE_UI2:
            vt = VT_UI2;
            break;
        case DBTYPE_I4:
            vt = VT_I4;
            break;
        case DBTYPE_UI4:
            vt = VT_UI4;
            break;
        case DBTYPE_I8:
            vt = VT_I8;
            break;
        case DBTYPE_UI8:
            vt = VT_UI8;
            break;
        case DBTYPE_R4:
            vt = VT_R4;
            break;
        case DBTYPE_R8:
        case DBTYPE_NUMERIC:
        case DBTYPE_DECIMAL:
        case DBTYPE_VARNUMERIC:
            vt = VT_R8;
            break;
        case DBTYPE_CY:
            vt = VT_CY;
            break;
        case DBTYPE_DATE:
            vt = VT_DATE;
            break;
        case DBTYPE_BOOL:
            vt = VT_BOOL;
            break;
        case DBTYPE_BYTES:
            return Failed(DBSTATUS_E_CANTCONVERTVALUE);
        default:
            vt = VT_BSTR;
            break;
    }
    // The VARIANT's value types have the numbers of the matching DBTYPEs.
    inner.type = vt == VT_BSTR ? DBTYPE(DBTYPE_BSTR) : DBTYPE(vt);
    if (vt == VT_BSTR)
        inner.value = &v.bstrVal;
    const ConversionOutcome r = ConvertCell(c, column, inner);
    if (r.status != DBSTATUS_S_OK)
        return Failed(r.status);
    v.vt = vt;
    Put(dst, v);
    return Ok(sizeof(VARIANT));
}

// Empties a pointer-holding slot, so that a consumer never frees what it was not given.
void ClearSlot(const ConversionTarget& t, bool isNull) {
    if (!t.value)
        return;
    const DBTYPE base = t.type & ~DBTYPE_BYREF;
    if (t.type & DBTYPE_BYREF || base == DBTYPE_BSTR || base == DBTYPE_IUNKNOWN) {
        Put(t.value, static_cast<void*>(nullptr));
    } else if (base == DBTYPE_VARIANT) {
        VARIANT v;
        VariantInit(&v);
        if (isNull)
            v.vt = VT_NULL;
        Put(t.value, v);
    }
}

ConversionOutcome Convert(const Cell& c, const SourceColumn& column, const ConversionTarget& t) {
    if (t.type & DBTYPE_BYREF) {
        switch (t.type & ~DBTYPE_BYREF) {
            case DBTYPE_WSTR: {
                TextForm text(c);
                return ToWideByRef(text, t.value);
            }
            case DBTYPE_STR: {
                TextForm text(c);
                return ToNarrowByRef(text, t.value);
            }
            case DBTYPE_BYTES:
                return ToBytesByRef(c, t.value);
            default:
                return Failed(DBSTATUS_E_CANTCONVERTVALUE);
        }
    }
    switch (t.type) {
        case DBTYPE_WSTR: {
            TextForm text(c);
            return ToWide(text, t.value, t.maxLength);
        }
        case DBTYPE_STR: {
            TextForm text(c);
            return ToNarrow(text, t.value, t.maxLength);
        }
        case DBTYPE_BSTR: {
            TextForm text(c);
            return ToBstr(text, t.value);
        }
        case DBTYPE_BYTES:
            return ToBytes(c, t.value, t.maxLength);
        case DBTYPE_IUNKNOWN:
            return ToStream(c, column.type, t.streamIid, t.value);
        case DBTYPE_I1:
            return StoreInteger<int8_t>(c, t.value);
        case DBTYPE_UI1:
            return StoreInteger<uint8_t>(c, t.value);
        case DBTYPE_I2:
            return StoreInteger<int16_t>(c, t.value);
        case DBTYPE_UI2:
            return StoreInteger<uint16_t>(c, t.value);
        case DBTYPE_I4:
            return StoreInteger<int32_t>(c, t.value);
        case DBTYPE_UI4:
            return StoreInteger<uint32_t>(c, t.value);
        case DBTYPE_I8:
            return StoreInteger<int64_t>(c, t.value);
        case DBTYPE_UI8:
            return StoreInteger<uint64_t>(c, t.value);
        case DBTYPE_R4:
            return ToR4(c, t.value);
        case DBTYPE_R8:
            return ToR8(c, t.value);
        case DBTYPE_CY:
            return ToCurrency(c, t.value);
        case DBTYPE_BOOL:
            return ToBool(c, t.value);
        case DBTYPE_DATE:
            return ToDate(c, t.value);
        case DBTYPE_DBDATE:
        case DBTYPE_DBTIME:
        case DBTYPE_DBTIMESTAMP:
            return ToDbDate(c, t.type, t.value);
        case DBTYPE_GUID:
            return ToGuid(c, t.value);
        case DBTYPE_NUMERIC:
            return ToNumeric(c, column, t);
        case DBTYPE_DECIMAL:
            return ToDecimal(c, t.value);
        case DBTYPE_VARIANT:
            return ToVariant(c, column, t.value);
        default:
            return Failed(DBSTATUS_E_CANTCONVERTVALUE);
    }
}

}  // namespace

ConversionOutcome ConvertCell(const Cell& cell, const SourceColumn& column,
                              const ConversionTarget& target) {
    if (cell.kind == CellKind::Null) {
        ClearSlot(target, true);
        return {DBSTATUS_S_ISNULL, 0};
    }
    const ConversionOutcome r = Convert(cell, column, target);
    if (r.status != DBSTATUS_S_OK && r.status != DBSTATUS_S_TRUNCATED)
        ClearSlot(target, false);
    return r;
}

bool IsSupportedConversion(DBTYPE columnType, DBTYPE type) {
    if (type & (DBTYPE_ARRAY | DBTYPE_VECTOR | DBTYPE_RESERVED))
        return false;
    const DBTYPE base = type & ~DBTYPE_BYREF;
    if (type & DBTYPE_BYREF)
        return base == DBTYPE_WSTR || base == DBTYPE_STR || base == DBTYPE_BYTES;
    switch (base) {
        case DBTYPE_I1:
        case DBTYPE_UI1:
        case DBTYPE_I2:
        case DBTYPE_UI2:
        case DBTYPE_I4:
        case DBTYPE_UI4:
        case DBTYPE_I8:
        case DBTYPE_UI8:
        case DBTYPE_R4:
        case DBTYPE_R8:
        case DBTYPE_CY:
        case DBTYPE_DATE:
        case DBTYPE_BOOL:
        case DBTYPE_WSTR:
        case DBTYPE_STR:
        case DBTYPE_BSTR:
        case DBTYPE_BYTES:
        case DBTYPE_GUID:
        case DBTYPE_NUMERIC:
        case DBTYPE_DECIMAL:
        case DBTYPE_DBDATE:
        case DBTYPE_DBTIME:
        case DBTYPE_DBTIMESTAMP:
        case DBTYPE_VARIANT:
            return true;
        case DBTYPE_IUNKNOWN:
            return columnType == DBTYPE_WSTR || columnType == DBTYPE_STR ||
                   columnType == DBTYPE_BYTES;
        default:
            return false;
    }
}

bool IsSupportedStreamInterface(const IID& iid) {
    return iid == IID_IUnknown || iid == IID_ISequentialStream || iid == IID_IStream;
}

}  // namespace vorn::provider
