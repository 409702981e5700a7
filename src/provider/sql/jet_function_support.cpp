// Shared pieces of the Jet functions registered on SQLite handles.
#include "sql/jet_function_support.h"

#include <cmath>
#include <limits>

namespace vorn::provider::sql {
namespace {

int Digits(const char* p, int n) {
    int v = 0;
    for (int i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return -1;
        v = v * 10 + (p[i] - '0');
    }
    return v;
}

}  // namespace

std::string JetFunctionName(sqlite3_context* ctx) {
    const char* name = static_cast<const char*>(sqlite3_user_data(ctx));
    return name ? name : "function";
}

void RaiseError(sqlite3_context* ctx, const std::string& what, int code) {
    const std::string message = JetFunctionName(ctx) + ": " + what;
    sqlite3_result_error(ctx, message.c_str(), int(message.size()));
    if (code != SQLITE_ERROR)
        sqlite3_result_error_code(ctx, code);
}

void InvalidNull(sqlite3_context* ctx, int argument) {
    RaiseError(ctx, "invalid use of Null in argument " + std::to_string(argument));
}

void InvalidArgument(sqlite3_context* ctx, int argument) {
    RaiseError(ctx,
               "invalid procedure call or argument (argument " + std::to_string(argument) + ")");
}

void TypeMismatch(sqlite3_context* ctx, int argument) {
    RaiseError(ctx, "data type mismatch in argument " + std::to_string(argument), SQLITE_MISMATCH);
}

void Overflow(sqlite3_context* ctx) {
    RaiseError(ctx, "overflow");
}

bool ParseStoredDate(const char* t, int n, JetStamp* out) {
    if ((n != 19 && n != 10) || t[4] != '-' || t[7] != '-')
        return false;
    DateParts p;
    p.year = Digits(t, 4);
    p.month = Digits(t + 5, 2);
    p.day = Digits(t + 8, 2);
    if (n == 19) {
        if (t[10] != ' ' || t[13] != ':' || t[16] != ':')
            return false;
        p.hour = Digits(t + 11, 2);
        p.minute = Digits(t + 14, 2);
        p.second = Digits(t + 17, 2);
    }
    return MakeStamp(p, out);
}

bool ValueNumber(sqlite3_value* v, JetNumber* out) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            out->integral = true;
            out->i = sqlite3_value_int64(v);
            out->d = double(out->i);
            return true;
        case SQLITE_FLOAT:
            out->integral = false;
            out->d = sqlite3_value_double(v);
            return true;
        case SQLITE_TEXT:
            return TextNumber(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                              sqlite3_value_bytes(v), out);
        default:
            return false;
    }
}

bool YesNoWord(const std::string& text, JetNumber* out) {
    std::string lower;
    for (char c : text)
        if (c != ' ')
            lower.push_back((c >= 'A' && c <= 'Z') ? char(c + 32) : c);
    if (lower == "true" || lower == "yes" || lower == "on") {
        *out = JetNumber{true, -1, -1};
        return true;
    }
    if (lower == "false" || lower == "no" || lower == "off") {
        *out = JetNumber{true, 0, 0};
        return true;
    }
    return false;
}

bool TextNumber(const char* t, int n, JetNumber* out) {
    if (ParseJetNumber(std::string_view(t, size_t(n)), out))
        return true;
    JetStamp s;
    if (ParseStoredDate(t, n, &s)) {
        const double serial = SerialFromStamp(s);
        out->integral = serial == std::trunc(serial);
        out->d = serial;
        out->i = int64_t(serial);
        return true;
    }
    return false;
}

bool ValueStamp(sqlite3_value* v, JetStamp* out) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            return StampFromSerial(sqlite3_value_double(v), out);
        case SQLITE_TEXT: {
            const char* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
            const int n = sqlite3_value_bytes(v);
            if (ParseStoredDate(t, n, out))
                return true;
            ParsedDate d;
            if (ParseJetDateText(std::string_view(t, n), &d, CurrentYear())) {
                *out = d.stamp;
                return true;
            }
            JetNumber num;
            if (ParseJetNumber(std::string_view(t, n), &num))
                return StampFromSerial(num.AsDouble(), out);
            return false;
        }
        default:
            return false;
    }
}

std::string ValueText(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            return std::to_string(sqlite3_value_int64(v));
        case SQLITE_FLOAT:
            return FormatJetDouble(sqlite3_value_double(v));
        case SQLITE_NULL:
            return std::string();
        default: {
            const char* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
            return std::string(t ? t : "", size_t(sqlite3_value_bytes(v)));
        }
    }
}

std::u32string ValueChars(sqlite3_value* v) {
    return DecodeUtf8(ValueText(v));
}

bool ArgInteger(sqlite3_context* ctx, sqlite3_value** argv, int index, int64_t* out) {
    sqlite3_value* v = argv[index];
    if (IsNull(v)) {
        InvalidNull(ctx, index + 1);
        return false;
    }
    JetNumber n;
    if (!ValueNumber(v, &n)) {
        TypeMismatch(ctx, index + 1);
        return false;
    }
    if (n.integral) {
        *out = n.i;
        return true;
    }
    const double r = RoundHalfEven(n.d, 0);
    if (!(r >= -9.2e18 && r <= 9.2e18)) {
        Overflow(ctx);
        return false;
    }
    *out = int64_t(r);
    return true;
}

void ResultNumber(sqlite3_context* ctx, const JetNumber& n) {
    if (n.integral)
        sqlite3_result_int64(ctx, n.i);
    else
        sqlite3_result_double(ctx, n.d);
}

void ResultDouble(sqlite3_context* ctx, double d) {
    if (!std::isfinite(d)) {
        Overflow(ctx);
        return;
    }
    sqlite3_result_double(ctx, d);
}

void ResultText(sqlite3_context* ctx, const std::string& s) {
    sqlite3_result_text64(ctx, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void ResultChars(sqlite3_context* ctx, const std::u32string& s) {
    ResultText(ctx, EncodeUtf8(s));
}

void ResultBool(sqlite3_context* ctx, bool b) {
    sqlite3_result_int(ctx, b ? -1 : 0);
}

void ResultStamp(sqlite3_context* ctx, JetStamp s) {
    if (!StampInRange(s)) {
        RaiseError(ctx, "the date is outside the range 100-01-01 to 9999-12-31");
        return;
    }
    ResultText(ctx, StampText(s));
}

}  // namespace vorn::provider::sql
