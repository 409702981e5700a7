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
#include <string>

#include "sql/jet_function_support.h"
#include "text_helpers.h"

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
    if (ValueNumber(argv[0], &n))
        return ResultBool(ctx, n.AsDouble() != 0);
    std::string lower;
    for (char c : ValueText(argv[0]))
        if (c != ' ')
            lower.push_back((c >= 'A' && c <= 'Z') ? char(c + 32) : c);
    if (lower == "yes" || lower == "true" || lower == "on")
        return ResultBool(ctx, true);
    if (lower == "no" || lower == "false" || lower == "off")
        return ResultBool(ctx, false);
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

}  // namespace

std::vector<FunctionDef> StoreFunctions() {
    return {
        {"jet_store_date", 2, 2, true, StoreDate},
        {"jet_store_bool", 2, 2, true, StoreBool},
        {"jet_store_currency", 2, 2, true, StoreCurrency},
        {"jet_store_guid", 2, 2, true, StoreGuid},
        {"jet_store_binary", 2, 2, true, StoreBinary},
    };
}

}  // namespace vorn::provider::sql
