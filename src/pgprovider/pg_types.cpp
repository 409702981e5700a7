// PostgreSQL's types and values.
#include "pg_types.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vorn::pgprovider {
namespace {

// Type oids of the server's built-in types (stable since their creation).
enum : uint32_t {
    kBool = 16,
    kBytea = 17,
    kChar = 18,
    kName = 19,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kText = 25,
    kOid = 26,
    kJson = 114,
    kXml = 142,
    kFloat4 = 700,
    kFloat8 = 701,
    kMoney = 790,
    kBpchar = 1042,
    kVarchar = 1043,
    kDate = 1082,
    kTimestamp = 1114,
    kTimestamptz = 1184,
    kNumeric = 1700,
    kUuid = 2950,
    kJsonb = 3802,
};

provider::ColumnType Fixed(DBTYPE type, DBLENGTH size, BYTE precision, BYTE scale = 255) {
    provider::ColumnType t;
    t.type = type;
    t.size = size;
    t.precision = precision;
    t.scale = scale;
    t.flags = DBCOLUMNFLAGS_ISFIXEDLENGTH;
    return t;
}

provider::ColumnType LongText() {
    provider::ColumnType t;
    t.type = DBTYPE_WSTR;
    t.size = provider::kLongTextChars;
    t.flags = DBCOLUMNFLAGS_ISLONG;
    return t;
}

provider::ColumnType SizedText(DBLENGTH chars, bool fixed) {
    if (chars > provider::kLongColumnThreshold)
        return LongText();
    provider::ColumnType t;
    t.type = DBTYPE_WSTR;
    t.size = chars;
    if (fixed)
        t.flags = DBCOLUMNFLAGS_ISFIXEDLENGTH;
    return t;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// bytea's hex output form: "\x" and two hex digits a byte.
bool DecodeBytea(const char* text, size_t size, std::string* out) {
    if (size < 2 || text[0] != '\\' || text[1] != 'x')
        return false;
    out->clear();
    out->reserve((size - 2) / 2);
    for (size_t i = 2; i + 1 < size; i += 2) {
        const int hi = HexValue(text[i]);
        const int lo = HexValue(text[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out->push_back(static_cast<char>(hi * 16 + lo));
    }
    return (size % 2) == 0;
}

// money's output ("$1,234.56", "-$1,234.56", "($1,234.56)" in some locales) as a plain
// number: the digits, the decimal point and the sign.
void CleanMoney(const char* text, size_t size, std::string* out) {
    out->clear();
    bool negative = false;
    for (size_t i = 0; i < size; ++i) {
        const char c = text[i];
        if (c == '-' || c == '(')
            negative = true;
        else if ((c >= '0' && c <= '9') || c == '.')
            out->push_back(c);
    }
    if (negative)
        out->insert(out->begin(), '-');
}

// A timestamp with a zone offset ("2024-05-01 10:00:00+02") loses the offset: the value is
// the server's local time, as the session shows it.
size_t WithoutZone(const char* text, size_t size) {
    // The time part starts after the space; an offset is a sign after it.
    const char* space = static_cast<const char*>(std::memchr(text, ' ', size));
    if (!space)
        return size;
    for (const char* p = space + 1; p < text + size; ++p)
        if (*p == '+' || *p == '-')
            return static_cast<size_t>(p - text);
    return size;
}

}  // namespace

provider::ColumnType TypeOfPgColumn(uint32_t oid, int typmod) {
    switch (oid) {
        case kInt2:
            return Fixed(DBTYPE_I2, 2, 5);
        case kInt4:
            return Fixed(DBTYPE_I4, 4, 10);
        case kInt8:
            return Fixed(DBTYPE_I8, 8, 19);
        case kOid:
            return Fixed(DBTYPE_I8, 8, 19);
        case kFloat4:
            return Fixed(DBTYPE_R4, 4, 7);
        case kFloat8:
            return Fixed(DBTYPE_R8, 8, 15);
        case kBool:
            return Fixed(DBTYPE_BOOL, 2, 255);
        case kMoney:
            return Fixed(DBTYPE_CY, 8, 19, 4);
        case kNumeric:
            if (typmod >= 4) {
                const int precision = ((typmod - 4) >> 16) & 0xFFFF;
                const int scale = (typmod - 4) & 0xFFFF;
                if (precision >= 1 && precision <= 38 && scale <= precision)
                    return Fixed(DBTYPE_NUMERIC, 19, static_cast<BYTE>(precision),
                                 static_cast<BYTE>(scale));
            }
            return Fixed(DBTYPE_R8, 8, 15);
        case kDate:
        case kTimestamp:
        case kTimestamptz:
            return Fixed(DBTYPE_DATE, 8, 255);
        case kUuid:
            return Fixed(DBTYPE_GUID, 16, 255);
        case kBytea: {
            provider::ColumnType t;
            t.type = DBTYPE_BYTES;
            t.size = provider::kLongBinaryBytes;
            t.flags = DBCOLUMNFLAGS_ISLONG;
            return t;
        }
        case kVarchar:
            return typmod >= 4 ? SizedText(static_cast<DBLENGTH>(typmod - 4), false) : LongText();
        case kBpchar:
            return SizedText(typmod >= 4 ? static_cast<DBLENGTH>(typmod - 4) : 1, true);
        case kChar:
            return SizedText(1, true);
        case kName:
            return SizedText(63, false);
        case kText:
        case kJson:
        case kJsonb:
        case kXml:
            return LongText();
        default:
            return SizedText(provider::kUnsizedTextChars, false);
    }
}

PgValueKind ValueKindOf(uint32_t oid) {
    switch (oid) {
        case kInt2:
        case kInt4:
        case kInt8:
        case kOid:
            return PgValueKind::Integer;
        case kBool:
            return PgValueKind::Bool;
        case kFloat4:
        case kFloat8:
            return PgValueKind::Real;
        case kMoney:
            return PgValueKind::Money;
        case kBytea:
            return PgValueKind::Bytes;
        case kTimestamptz:
            // Only a timestamp with a time zone carries an offset to take off.
            return PgValueKind::Timestamp;
        default:
            return PgValueKind::Text;
    }
}

void EncodePgValue(PgValueKind kind, const char* text, size_t size, std::string* scratch,
                   provider::RowEncoder* encoder) {
    switch (kind) {
        case PgValueKind::Integer: {
            // The server writes integers as an optional '-' and digits; up to 18 digits
            // cannot overflow, so they are read here without strtoll.
            const bool negative = size > 0 && text[0] == '-';
            const size_t digits = size - (negative ? 1 : 0);
            if (digits >= 1 && digits <= 18) {
                int64_t v = 0;
                const char* p = text + (negative ? 1 : 0);
                const char* const end = text + size;
                while (p < end && *p >= '0' && *p <= '9')
                    v = v * 10 + (*p++ - '0');
                if (p == end) {
                    encoder->Integer(negative ? -v : v);
                    return;
                }
            }
            // Anything else as strtoll reads it; the text ends at the NUL libpq adds.
            errno = 0;
            char* end = nullptr;
            const long long v = std::strtoll(text, &end, 10);
            if (errno == 0 && end == text + size && size > 0) {
                encoder->Integer(v);
                return;
            }
            break;
        }
        case PgValueKind::Bool:
            if (size == 1 && (text[0] == 't' || text[0] == 'f')) {
                encoder->Integer(text[0] == 't' ? -1 : 0);
                return;
            }
            break;
        case PgValueKind::Real: {
            char* end = nullptr;
            const double v = std::strtod(text, &end);
            if (end == text + size && size > 0) {
                encoder->Real(v);
                return;
            }
            break;
        }
        case PgValueKind::Money:
            CleanMoney(text, size, scratch);
            encoder->Text(scratch->data(), scratch->size());
            return;
        case PgValueKind::Bytes:
            if (DecodeBytea(text, size, scratch)) {
                encoder->Blob(scratch->data(), scratch->size());
                return;
            }
            break;
        case PgValueKind::Timestamp:
            encoder->Text(text, WithoutZone(text, size));
            return;
        case PgValueKind::Text:
            break;
    }
    encoder->Text(text, size);
}

std::string QuoteIdentifier(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace vorn::pgprovider
