// Jet numeric, conversion and inspection functions. Numeric functions give Null for a Null
// argument; the conversion functions (CStr, CLng ... CBool) and Val refuse Null with the
// engine's "invalid use of Null", and refuse values out of their type's range with
// "overflow". Whole-number conversions round half to even.
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "sql/jet_function_support.h"

namespace vorn::provider::sql {
namespace {

// The number of a conversion's argument: Null and non-numbers raise the error.
bool ConvertArg(sqlite3_context* ctx, sqlite3_value** argv, JetNumber* n) {
    if (IsNull(argv[0])) {
        InvalidNull(ctx, 1);
        return false;
    }
    // Yes/No words convert as the engine converts them.
    if (ValueNumber(argv[0], n) || YesNoWord(ValueText(argv[0]), n))
        return true;
    TypeMismatch(ctx, 1);
    return false;
}

// A whole-number conversion to [lo, hi].
void ConvertWhole(sqlite3_context* ctx, sqlite3_value** argv, int64_t lo, int64_t hi) {
    JetNumber n;
    if (!ConvertArg(ctx, argv, &n))
        return;
    double r = n.integral ? double(n.i) : RoundHalfEven(n.d, 0);
    if (n.integral ? (n.i < lo || n.i > hi) : (r < double(lo) || r > double(hi)))
        return Overflow(ctx);
    sqlite3_result_int64(ctx, n.integral ? n.i : int64_t(r));
}

void CLng(sqlite3_context* ctx, int, sqlite3_value** argv) {
    ConvertWhole(ctx, argv, std::numeric_limits<int32_t>::min(),
                 std::numeric_limits<int32_t>::max());
}
void CInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
    ConvertWhole(ctx, argv, -32768, 32767);
}
void CByte(sqlite3_context* ctx, int, sqlite3_value** argv) {
    ConvertWhole(ctx, argv, 0, 255);
}

void CDbl(sqlite3_context* ctx, int, sqlite3_value** argv) {
    JetNumber n;
    if (ConvertArg(ctx, argv, &n))
        ResultDouble(ctx, n.AsDouble());
}

void CSng(sqlite3_context* ctx, int, sqlite3_value** argv) {
    JetNumber n;
    if (!ConvertArg(ctx, argv, &n))
        return;
    const double d = n.AsDouble();
    if (std::fabs(d) > double(std::numeric_limits<float>::max()))
        return Overflow(ctx);
    // The single-precision value shown with the 7 digits it holds.
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7g", double(float(d)));
    ResultDouble(ctx, std::strtod(buf, nullptr));
}

void CCur(sqlite3_context* ctx, int, sqlite3_value** argv) {
    JetNumber n;
    if (!ConvertArg(ctx, argv, &n))
        return;
    const double d = RoundHalfEven(n.AsDouble(), 4);
    if (std::fabs(d) > 922337203685477.5807)
        return Overflow(ctx);
    if (n.integral)
        return sqlite3_result_int64(ctx, n.i);
    ResultDouble(ctx, d);
}

void CBool(sqlite3_context* ctx, int, sqlite3_value** argv) {
    JetNumber n;
    if (ConvertArg(ctx, argv, &n))
        ResultBool(ctx, n.AsDouble() != 0);
}

void CStr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        return InvalidNull(ctx, 1);
    ResultText(ctx, ValueText(argv[0]));
}

// Val reads the longest number at the start of the text, blanks anywhere ignored.
void Val(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        return InvalidNull(ctx, 1);
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
        return sqlite3_result_value(ctx, argv[0]);
    std::string s;
    for (char c : ValueText(argv[0]))
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            s.push_back(c);
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'h' || s[1] == 'H' || s[1] == 'o' || s[1] == 'O')) {
        const int base = (s[1] == 'h' || s[1] == 'H') ? 16 : 8;
        int64_t v = 0;
        for (size_t i = 2; i < s.size(); ++i) {
            const char c = s[i];
            int d = (c >= '0' && c <= '9')   ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : 99;
            if (d >= base || v > (int64_t(1) << 58))
                break;
            v = v * base + d;
        }
        return sqlite3_result_int64(ctx, v);
    }
    size_t i = 0;
    std::string num;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        num.push_back(s[i++]);
    bool digits = false, point = false, fraction = false;
    while (i < s.size()) {
        if (s[i] >= '0' && s[i] <= '9') {
            num.push_back(s[i++]);
            digits = true;
        } else if (s[i] == '.' && !point) {
            num.push_back(s[i++]);
            point = true;
            fraction = true;
        } else {
            break;
        }
    }
    if (digits && i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        size_t j = i + 1;
        std::string exp = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            exp.push_back(s[j++]);
        const size_t start = j;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9')
            exp.push_back(s[j++]);
        if (j > start) {
            num += exp;
            fraction = true;
        }
    }
    if (!digits)
        return sqlite3_result_int(ctx, 0);
    JetNumber n;
    if (!fraction && ParseJetNumber(num, &n) && n.integral)
        return sqlite3_result_int64(ctx, n.i);
    ResultDouble(ctx, std::strtod(num.c_str(), nullptr));
}

// Str: a leading blank holds the place of the sign of a positive number.
void Str(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        return sqlite3_result_null(ctx);
    JetNumber n;
    if (!ValueNumber(argv[0], &n))
        return TypeMismatch(ctx, 1);
    const std::string t = FormatJetNumber(n);
    ResultText(ctx, (n.AsDouble() >= 0 ? " " : "") + t);
}

void HexOct(sqlite3_context* ctx, sqlite3_value** argv, bool hex) {
    if (IsNull(argv[0]))
        return sqlite3_result_null(ctx);
    int64_t v;
    if (!ArgInteger(ctx, argv, 0, &v))
        return;
    uint64_t u = uint64_t(v);
    if (v < 0 && v >= std::numeric_limits<int32_t>::min())
        u = uint32_t(int32_t(v));
    char buf[32];
    std::snprintf(buf, sizeof buf, hex ? "%llX" : "%llo", (unsigned long long)u);
    ResultText(ctx, buf);
}

void Hex(sqlite3_context* ctx, int, sqlite3_value** argv) {
    HexOct(ctx, argv, true);
}
void Oct(sqlite3_context* ctx, int, sqlite3_value** argv) {
    HexOct(ctx, argv, false);
}

// A numeric argument of a math function: Null gives Null (false, no error).
bool MathArg(sqlite3_context* ctx, sqlite3_value** argv, int index, JetNumber* n) {
    if (IsNull(argv[index])) {
        sqlite3_result_null(ctx);
        return false;
    }
    if (!ValueNumber(argv[index], n)) {
        TypeMismatch(ctx, index + 1);
        return false;
    }
    return true;
}

void IntFix(sqlite3_context* ctx, sqlite3_value** argv, bool floorIt) {
    JetNumber n;
    if (!MathArg(ctx, argv, 0, &n))
        return;
    if (n.integral)
        return sqlite3_result_int64(ctx, n.i);
    const double r = floorIt ? std::floor(n.d) : std::trunc(n.d);
    sqlite3_result_double(ctx, r == 0 ? 0.0 : r);
}

void Int(sqlite3_context* ctx, int, sqlite3_value** argv) {
    IntFix(ctx, argv, true);
}
void Fix(sqlite3_context* ctx, int, sqlite3_value** argv) {
    IntFix(ctx, argv, false);
}

void Abs(sqlite3_context* ctx, int, sqlite3_value** argv) {
    JetNumber n;
    if (!MathArg(ctx, argv, 0, &n))
        return;
    if (n.integral) {
        if (n.i == std::numeric_limits<int64_t>::min())
            return sqlite3_result_double(ctx, -double(n.i));
        return sqlite3_result_int64(ctx, n.i < 0 ? -n.i : n.i);
    }
    sqlite3_result_double(ctx, std::fabs(n.d));
}

void Sgn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    JetNumber n;
    if (!MathArg(ctx, argv, 0, &n))
        return;
    const double d = n.AsDouble();
    sqlite3_result_int(ctx, d > 0 ? 1 : d < 0 ? -1 : 0);
}

void Sqr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    JetNumber n;
    if (!MathArg(ctx, argv, 0, &n))
        return;
    if (n.AsDouble() < 0)
        return InvalidArgument(ctx, 1);
    ResultDouble(ctx, std::sqrt(n.AsDouble()));
}

void Exp(sqlite3_context* ctx, int, sqlite3_value** argv) {
    JetNumber n;
    if (MathArg(ctx, argv, 0, &n))
        ResultDouble(ctx, std::exp(n.AsDouble()));
}

void Log(sqlite3_context* ctx, int, sqlite3_value** argv) {
    JetNumber n;
    if (!MathArg(ctx, argv, 0, &n))
        return;
    if (n.AsDouble() <= 0)
        return InvalidArgument(ctx, 1);
    ResultDouble(ctx, std::log(n.AsDouble()));
}

void Atn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    JetNumber n;
    if (MathArg(ctx, argv, 0, &n))
        ResultDouble(ctx, std::atan(n.AsDouble()));
}
void Sin(sqlite3_context* ctx, int, sqlite3_value** argv) {
    JetNumber n;
    if (MathArg(ctx, argv, 0, &n))
        ResultDouble(ctx, std::sin(n.AsDouble()));
}
void Cos(sqlite3_context* ctx, int, sqlite3_value** argv) {
    JetNumber n;
    if (MathArg(ctx, argv, 0, &n))
        ResultDouble(ctx, std::cos(n.AsDouble()));
}
void Tan(sqlite3_context* ctx, int, sqlite3_value** argv) {
    JetNumber n;
    if (MathArg(ctx, argv, 0, &n))
        ResultDouble(ctx, std::tan(n.AsDouble()));
}

// Round(number[, decimals]) rounds half to even.
void Round(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    int64_t decimals = 0;
    if (argc > 1) {
        if (!ArgInteger(ctx, argv, 1, &decimals))
            return;
        if (decimals < 0 || decimals > 22)
            return InvalidArgument(ctx, 2);
    }
    JetNumber n;
    if (!MathArg(ctx, argv, 0, &n))
        return;
    if (n.integral)
        return sqlite3_result_int64(ctx, n.i);
    ResultDouble(ctx, RoundHalfEven(n.d, int(decimals)));
}

void IsNullFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    ResultBool(ctx, IsNull(argv[0]));
}

void IsNumeric(sqlite3_context* ctx, int, sqlite3_value** argv) {
    switch (sqlite3_value_type(argv[0])) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            return ResultBool(ctx, true);
        case SQLITE_TEXT: {
            JetNumber n;
            const std::string t = ValueText(argv[0]);
            return ResultBool(ctx, ParseJetNumber(t, &n));
        }
        default:
            return ResultBool(ctx, false);
    }
}

void IsDate(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT)
        return ResultBool(ctx, false);
    const std::string t = ValueText(argv[0]);
    JetStamp s;
    if (ParseStoredDate(t.data(), int(t.size()), &s))
        return ResultBool(ctx, true);
    ParsedDate d;
    ResultBool(ctx, ParseJetDateText(t, &d, CurrentYear()));
}

}  // namespace

std::vector<FunctionDef> NumberFunctions() {
    return {
        {"jet_clng", 1, 1, true, CLng},       {"jet_cint", 1, 1, true, CInt},
        {"jet_cbyte", 1, 1, true, CByte},     {"jet_cdbl", 1, 1, true, CDbl},
        {"jet_csng", 1, 1, true, CSng},       {"jet_ccur", 1, 1, true, CCur},
        {"jet_cbool", 1, 1, true, CBool},     {"jet_cstr", 1, 1, true, CStr},
        {"jet_val", 1, 1, true, Val},         {"jet_str", 1, 1, true, Str},
        {"jet_hex", 1, 1, true, Hex},         {"jet_oct", 1, 1, true, Oct},
        {"jet_int", 1, 1, true, Int},         {"jet_fix", 1, 1, true, Fix},
        {"jet_abs", 1, 1, true, Abs},         {"jet_sgn", 1, 1, true, Sgn},
        {"jet_sqr", 1, 1, true, Sqr},         {"jet_exp", 1, 1, true, Exp},
        {"jet_log", 1, 1, true, Log},         {"jet_atn", 1, 1, true, Atn},
        {"jet_sin", 1, 1, true, Sin},         {"jet_cos", 1, 1, true, Cos},
        {"jet_tan", 1, 1, true, Tan},         {"jet_round", 1, 2, true, Round},
        {"jet_isnull", 1, 1, true, IsNullFn}, {"jet_isnumeric", 1, 1, true, IsNumeric},
        {"jet_isdate", 1, 1, true, IsDate},
    };
}

}  // namespace vorn::provider::sql
