// Coercion of the values that INSERT and UPDATE write into DATETIME, YESNO, CURRENCY, GUID
// and binary columns, so that stored values keep one form and compare as the engine
// compares them: dates as 'YYYY-MM-DD HH:MM:SS', yes/no as -1 and 0 (Null stored as 0, as
// a Yes/No field holds no Null), currency as a number with at most four decimals, GUIDs as
// '{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}', text in binary columns as its UTF-16LE bytes. The
// second argument names the column
// ("table.column") for the error a value that does not convert raises.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sql/jet_function_support.h"
#include "text_helpers.h"
#include "types/column_types.h"

namespace vorn::provider::sql {
namespace {

void CannotStore(sqlite3_context* ctx, sqlite3_value** argv, const char* what) {
    std::string shown = ValueText(argv[0]);
    if (shown.size() > 60)
        shown = shown.substr(0, 60) + "...";
    const std::string message = "data type mismatch: cannot store '" + shown + "' in the " + what +
                                " column " + ValueText(argv[1]);
    sqlite3_result_error(ctx, message.c_str(), int(message.size()));
    sqlite3_result_error_code(ctx, SQLITE_MISMATCH);
}

void StoreDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        return sqlite3_result_null(ctx);
    JetStamp s;
    if (sqlite3_value_type(argv[0]) == SQLITE_BLOB || !ValueStamp(argv[0], &s))
        return CannotStore(ctx, argv, "DATETIME");
    ResultText(ctx, StampText(s));
}

void StoreBool(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        return sqlite3_result_int(ctx, 0);
    JetNumber n;
    if (ValueNumber(argv[0], &n) || YesNoWord(ValueText(argv[0]), &n))
        return ResultBool(ctx, n.AsDouble() != 0);
    CannotStore(ctx, argv, "YESNO");
}

void StoreCurrency(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        return sqlite3_result_null(ctx);
    JetNumber n;
    if (sqlite3_value_type(argv[0]) == SQLITE_BLOB || !ValueNumber(argv[0], &n))
        return CannotStore(ctx, argv, "CURRENCY");
    if (n.integral)
        return sqlite3_result_int64(ctx, n.i);
    const double d = RoundHalfEven(n.d, 4);
    if (std::fabs(d) > 922337203685477.5807) {
        const std::string message =
            "overflow: the value does not fit the CURRENCY column " + ValueText(argv[1]);
        sqlite3_result_error(ctx, message.c_str(), int(message.size()));
        return;
    }
    sqlite3_result_double(ctx, d);
}

void StoreGuid(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        return sqlite3_result_null(ctx);
    unsigned char b[16];
    if (sqlite3_value_type(argv[0]) == SQLITE_BLOB) {
        if (sqlite3_value_bytes(argv[0]) != 16)
            return CannotStore(ctx, argv, "GUID");
        const auto* p = static_cast<const unsigned char*>(sqlite3_value_blob(argv[0]));
        // A GUID's first three fields are little-endian in its 16 bytes.
        const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
        for (int i = 0; i < 16; ++i)
            b[i] = p[order[i]];
    } else {
        std::string t = ValueText(argv[0]);
        size_t s = 0, e = t.size();
        while (s < e && t[s] == ' ')
            ++s;
        while (e > s && t[e - 1] == ' ')
            --e;
        t = t.substr(s, e - s);
        if (t.size() >= 2 && t.front() == '{' && t.back() == '}')
            t = t.substr(1, t.size() - 2);
        std::string hex;
        for (size_t i = 0; i < t.size(); ++i) {
            if (t[i] == '-' && (i == 8 || i == 13 || i == 18 || i == 23) && t.size() == 36)
                continue;
            hex.push_back(t[i]);
        }
        if (hex.size() != 32)
            return CannotStore(ctx, argv, "GUID");
        for (int i = 0; i < 16; ++i) {
            const int hi = AsciiHexValue(hex[2 * i]), lo = AsciiHexValue(hex[2 * i + 1]);
            if (hi < 0 || lo < 0)
                return CannotStore(ctx, argv, "GUID");
            b[i] = static_cast<unsigned char>(hi * 16 + lo);
        }
    }
    char buf[48];
    std::snprintf(buf, sizeof buf,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    ResultText(ctx, buf);
}

// Binary columns keep blobs; text (and the text of a number) becomes its UTF-16LE bytes.
void StoreBinary(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || sqlite3_value_type(argv[0]) == SQLITE_BLOB)
        return sqlite3_result_value(ctx, argv[0]);
    const std::u32string chars = ValueChars(argv[0]);
    std::string bytes;
    bytes.reserve(chars.size() * 2);
    auto unit = [&](uint32_t u) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    };
    for (char32_t c : chars) {
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    sqlite3_result_blob64(ctx, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
}

void Refuse(sqlite3_context* ctx, const std::string& message) {
    sqlite3_result_error(ctx, message.c_str(), int(message.size()));
    sqlite3_result_error_code(ctx, SQLITE_MISMATCH);
}

// A value in messages: its text, cut after 60 characters.
std::string Shown(sqlite3_value* v) {
    std::string shown = ValueText(v);
    return shown.size() > 60 ? shown.substr(0, 60) + "..." : shown;
}

// ALTER COLUMN's conversion of a stored value to the column's new type:
// jet_alter_value(value, new declared type, old declared type, 'table.column'). The value
// as a column of the new type stores it, or an error naming the value, the type and the
// column when it does not fit, so that the change stops and the table stays as it was.
void AlterValue(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::string declared = ValueText(argv[1]);
    const std::string oldDeclared = ValueText(argv[2]);
    const std::string column = ValueText(argv[3]);
    sqlite3_value* store[2] = {argv[0], argv[3]};
    const ColumnType to = TypeFromDeclaration(declared.c_str());
    const ColumnType from = TypeFromDeclaration(oldDeclared.c_str());
    if (IsNull(argv[0]))
        return to.type == DBTYPE_BOOL ? sqlite3_result_int(ctx, 0) : sqlite3_result_null(ctx);
    const bool blob = sqlite3_value_type(argv[0]) == SQLITE_BLOB;
    auto mismatch = [&]() {
        Refuse(ctx, "data type mismatch: cannot store '" + Shown(argv[0]) + "' in the " + declared +
                        " column " + column);
    };
    auto overflow = [&]() {
        Refuse(ctx, "overflow: the value " + Shown(argv[0]) + " does not fit the " + declared +
                        " column " + column);
    };
    // A number, with the engine's words for Yes and No.
    auto number = [&](JetNumber* n) {
        return !blob && (ValueNumber(argv[0], n) || YesNoWord(ValueText(argv[0]), n));
    };
    switch (to.type) {
        case DBTYPE_WSTR: {
            if (blob)
                return mismatch();
            std::string text = ValueText(argv[0]);
            JetStamp stamp;
            if (from.type == DBTYPE_DATE && ParseStoredDate(text.data(), int(text.size()), &stamp))
                text = DateDisplayText(stamp);
            const size_t chars = DecodeUtf8(text).size();
            if (!to.IsLong() && chars > to.size)
                return Refuse(ctx, "the value '" + Shown(argv[0]) + "' has " +
                                       std::to_string(chars) + " characters, more than the " +
                                       std::to_string(to.size) + " of the " + declared +
                                       " column " + column);
            return ResultText(ctx, text);
        }
        case DBTYPE_UI1:
        case DBTYPE_I2:
        case DBTYPE_I4:
        case DBTYPE_I8: {
            JetNumber n;
            if (!number(&n))
                return mismatch();
            const double r = n.integral ? double(n.i) : RoundHalfEven(n.d, 0);
            const double lo = to.type == DBTYPE_UI1  ? 0
                              : to.type == DBTYPE_I2 ? -32768
                              : to.type == DBTYPE_I4 ? -2147483648.0
                                                     : -9223372036854775808.0;
            const double hi = to.type == DBTYPE_UI1  ? 255
                              : to.type == DBTYPE_I2 ? 32767
                              : to.type == DBTYPE_I4 ? 2147483647.0
                                                     : 9223372036854775807.0;
            if (r < lo || r > hi)
                return overflow();
            return sqlite3_result_int64(ctx, n.integral ? n.i : int64_t(r));
        }
        case DBTYPE_R4:
        case DBTYPE_R8: {
            JetNumber n;
            if (!number(&n))
                return mismatch();
            double d = n.AsDouble();
            if (to.type == DBTYPE_R4) {
                if (std::fabs(d) > 3.402823466e38)
                    return overflow();
                char buf[32];
                std::snprintf(buf, sizeof buf, "%.7g", double(float(d)));
                d = std::strtod(buf, nullptr);
            }
            return ResultDouble(ctx, d);
        }
        case DBTYPE_NUMERIC: {
            JetNumber n;
            if (!number(&n))
                return mismatch();
            const int scale = to.scale == kNoPrecision ? 0 : to.scale;
            const int precision = to.precision == kNoPrecision ? 18 : to.precision;
            const double d = RoundHalfEven(n.AsDouble(), scale);
            if (std::fabs(d) >= std::pow(10.0, precision - scale))
                return overflow();
            if (scale == 0 && std::fabs(d) < 9.0e15)
                return sqlite3_result_int64(ctx, int64_t(d));
            return ResultDouble(ctx, d);
        }
        case DBTYPE_CY: {
            JetNumber n;
            if (!number(&n))
                return mismatch();
            return StoreCurrency(ctx, 2, store);
        }
        case DBTYPE_DATE:
            return StoreDate(ctx, 2, store);
        case DBTYPE_BOOL:
            return StoreBool(ctx, 2, store);
        case DBTYPE_GUID:
            return StoreGuid(ctx, 2, store);
        case DBTYPE_BYTES: {
            const size_t bytes =
                blob ? size_t(sqlite3_value_bytes(argv[0])) : ValueChars(argv[0]).size() * 2;
            if (!to.IsLong() && bytes > to.size)
                return Refuse(ctx, "the value '" + Shown(argv[0]) + "' takes " +
                                       std::to_string(bytes) + " bytes, more than the " +
                                       std::to_string(to.size) + " of the " + declared +
                                       " column " + column);
            return StoreBinary(ctx, 2, store);
        }
        default:
            return sqlite3_result_value(ctx, argv[0]);
    }
}

}  // namespace

std::vector<FunctionDef> StoreFunctions() {
    return {
        {"jet_store_date", 2, 2, true, StoreDate},
        {"jet_store_bool", 2, 2, true, StoreBool},
        {"jet_store_currency", 2, 2, true, StoreCurrency},
        {"jet_store_guid", 2, 2, true, StoreGuid},
        {"jet_store_binary", 2, 2, true, StoreBinary},
        {"jet_alter_value", 4, 4, true, AlterValue},
    };
}

}  // namespace vorn::provider::sql
