// Jet text functions: positions count characters from 1, a Null text gives Null, a Null or
// negative count or position is an error, and comparisons ignore case unless the compare
// argument asks for a binary comparison (0), as the engine compares text by default.
#include <string>

#include "sql/jet_format.h"
#include "sql/jet_function_support.h"

namespace vorn::provider::sql {
namespace {

// compare argument: 0 binary, 1 text (case-insensitive), -1 the database's (text).
bool ArgIgnoreCase(sqlite3_context* ctx, sqlite3_value** argv, int argc, int index, bool* ignore) {
    *ignore = true;
    if (index >= argc)
        return true;
    int64_t c;
    if (!ArgInteger(ctx, argv, index, &c))
        return false;
    if (c < -1 || c > 2) {
        InvalidArgument(ctx, index + 1);
        return false;
    }
    *ignore = c != 0;
    return true;
}

bool SameChar(char32_t a, char32_t b, bool ignoreCase) {
    return a == b || (ignoreCase && LowerChar(a) == LowerChar(b));
}

// Position (0-based) of needle in hay at or after from, or npos.
size_t Find(const std::u32string& hay, const std::u32string& needle, size_t from, bool ignoreCase) {
    if (needle.size() > hay.size())
        return std::u32string::npos;
    for (size_t i = from; i + needle.size() <= hay.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && SameChar(hay[i + k], needle[k], ignoreCase))
            ++k;
        if (k == needle.size())
            return i;
    }
    return std::u32string::npos;
}

void Len(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_BLOB)
        return sqlite3_result_int64(ctx, sqlite3_value_bytes(argv[0]));
    sqlite3_result_int64(ctx, int64_t(ValueChars(argv[0]).size()));
}

void LeftRight(sqlite3_context* ctx, sqlite3_value** argv, bool left) {
    int64_t n;
    if (!ArgInteger(ctx, argv, 1, &n))
        return;
    if (n < 0)
        return InvalidArgument(ctx, 2);
    if (IsNull(argv[0]))
        return sqlite3_result_null(ctx);
    const std::u32string s = ValueChars(argv[0]);
    if (size_t(n) >= s.size())
        return ResultChars(ctx, s);
    ResultChars(ctx, left ? s.substr(0, size_t(n)) : s.substr(s.size() - size_t(n)));
}

void Left(sqlite3_context* ctx, int, sqlite3_value** argv) {
    LeftRight(ctx, argv, true);
}

void Right(sqlite3_context* ctx, int, sqlite3_value** argv) {
    LeftRight(ctx, argv, false);
}

void Mid(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    int64_t start, length = -1;
    if (!ArgInteger(ctx, argv, 1, &start))
        return;
    if (start < 1)
        return InvalidArgument(ctx, 2);
    if (argc > 2) {
        if (!ArgInteger(ctx, argv, 2, &length))
            return;
        if (length < 0)
            return InvalidArgument(ctx, 3);
    }
    if (IsNull(argv[0]))
        return sqlite3_result_null(ctx);
    const std::u32string s = ValueChars(argv[0]);
    if (size_t(start) > s.size())
        return ResultText(ctx, "");
    ResultChars(ctx,
                s.substr(size_t(start - 1), length < 0 ? std::u32string::npos : size_t(length)));
}

// InStr(s1, s2) | InStr(start, s1, s2[, compare])
void InStr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    int64_t start = 1;
    int first = 0;
    if (argc >= 3) {
        if (!ArgInteger(ctx, argv, 0, &start))
            return;
        if (start < 1)
            return InvalidArgument(ctx, 1);
        first = 1;
    }
    bool ignore;
    if (!ArgIgnoreCase(ctx, argv, argc, 3, &ignore))
        return;
    if (IsNull(argv[first]) || IsNull(argv[first + 1]))
        return sqlite3_result_null(ctx);
    const std::u32string hay = ValueChars(argv[first]);
    const std::u32string needle = ValueChars(argv[first + 1]);
    if (hay.empty() || size_t(start) > hay.size())
        return sqlite3_result_int(ctx, 0);
    if (needle.empty())
        return sqlite3_result_int64(ctx, start);
    const size_t at = Find(hay, needle, size_t(start - 1), ignore);
    sqlite3_result_int64(ctx, at == std::u32string::npos ? 0 : int64_t(at + 1));
}

// InStrRev(s1, s2[, start[, compare]])
void InStrRev(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    int64_t start = -1;
    if (argc >= 3) {
        if (!ArgInteger(ctx, argv, 2, &start))
            return;
        if (start == 0 || start < -1)
            return InvalidArgument(ctx, 3);
    }
    bool ignore;
    if (!ArgIgnoreCase(ctx, argv, argc, 3, &ignore))
        return;
    if (IsNull(argv[0]) || IsNull(argv[1]))
        return sqlite3_result_null(ctx);
    const std::u32string hay = ValueChars(argv[0]);
    const std::u32string needle = ValueChars(argv[1]);
    if (start == -1)
        start = int64_t(hay.size());
    if (hay.empty() || size_t(start) > hay.size())
        return sqlite3_result_int(ctx, 0);
    if (needle.empty())
        return sqlite3_result_int64(ctx, start);
    if (needle.size() > size_t(start))
        return sqlite3_result_int(ctx, 0);
    for (size_t i = size_t(start) - needle.size() + 1; i-- > 0;) {
        size_t k = 0;
        while (k < needle.size() && SameChar(hay[i + k], needle[k], ignore))
            ++k;
        if (k == needle.size())
            return sqlite3_result_int64(ctx, int64_t(i + 1));
    }
    sqlite3_result_int(ctx, 0);
}

void UCase(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        return sqlite3_result_null(ctx);
    ResultChars(ctx, UpperText(ValueChars(argv[0])));
}

void LCase(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        return sqlite3_result_null(ctx);
    ResultChars(ctx, LowerText(ValueChars(argv[0])));
}

// The engine trims spaces only, not tabs or line breaks.
void TrimSides(sqlite3_context* ctx, sqlite3_value** argv, bool left, bool right) {
    if (IsNull(argv[0]))
        return sqlite3_result_null(ctx);
    const std::string s = ValueText(argv[0]);
    size_t b = 0, e = s.size();
    if (left)
        while (b < e && s[b] == ' ')
            ++b;
    if (right)
        while (e > b && s[e - 1] == ' ')
            --e;
    ResultText(ctx, s.substr(b, e - b));
}

void Trim(sqlite3_context* ctx, int, sqlite3_value** argv) {
    TrimSides(ctx, argv, true, true);
}
void LTrim(sqlite3_context* ctx, int, sqlite3_value** argv) {
    TrimSides(ctx, argv, true, false);
}
void RTrim(sqlite3_context* ctx, int, sqlite3_value** argv) {
    TrimSides(ctx, argv, false, true);
}

constexpr int64_t kMaxGeneratedChars = 100000000;  // SQLite's length limit is 1e9 bytes

void Space(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        return sqlite3_result_null(ctx);
    int64_t n;
    if (!ArgInteger(ctx, argv, 0, &n))
        return;
    if (n < 0 || n > kMaxGeneratedChars)
        return InvalidArgument(ctx, 1);
    ResultText(ctx, std::string(size_t(n), ' '));
}

// String(n, character): character is text (its first character) or a character code.
void String(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1]))
        return sqlite3_result_null(ctx);
    int64_t n;
    if (!ArgInteger(ctx, argv, 0, &n))
        return;
    if (n < 0 || n > kMaxGeneratedChars)
        return InvalidArgument(ctx, 1);
    char32_t c;
    const int type = sqlite3_value_type(argv[1]);
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        int64_t code;
        if (!ArgInteger(ctx, argv, 1, &code))
            return;
        if (code < 0 || code > 0x10FFFF)
            return InvalidArgument(ctx, 2);
        c = char32_t(code);
    } else {
        const std::u32string s = ValueChars(argv[1]);
        if (s.empty())
            return InvalidArgument(ctx, 2);
        c = s[0];
    }
    ResultChars(ctx, std::u32string(size_t(n), c));
}

// Replace(expression, find, replacement[, start[, count[, compare]]]): the result starts
// at start, as the engine's Replace returns it.
void Replace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    int64_t start = 1, count = -1;
    if (argc > 3) {
        if (!ArgInteger(ctx, argv, 3, &start))
            return;
        if (start < 1)
            return InvalidArgument(ctx, 4);
    }
    if (argc > 4) {
        if (!ArgInteger(ctx, argv, 4, &count))
            return;
        if (count < -1)
            return InvalidArgument(ctx, 5);
    }
    bool ignore;
    if (!ArgIgnoreCase(ctx, argv, argc, 5, &ignore))
        return;
    if (IsNull(argv[0]))
        return sqlite3_result_null(ctx);
    if (IsNull(argv[1]))
        return InvalidNull(ctx, 2);
    if (IsNull(argv[2]))
        return InvalidNull(ctx, 3);
    const std::u32string s = ValueChars(argv[0]);
    if (size_t(start) > s.size())
        return ResultText(ctx, "");
    const std::u32string find = ValueChars(argv[1]);
    const std::u32string with = ValueChars(argv[2]);
    std::u32string out;
    size_t i = size_t(start - 1);
    int64_t done = 0;
    while (i < s.size()) {
        size_t at = find.empty() || (count >= 0 && done >= count) ? std::u32string::npos
                                                                  : Find(s, find, i, ignore);
        if (at == std::u32string::npos) {
            out.append(s, i, std::u32string::npos);
            break;
        }
        out.append(s, i, at - i);
        out += with;
        i = at + find.size();
        ++done;
    }
    ResultChars(ctx, out);
}

void StrComp(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    bool ignore;
    if (!ArgIgnoreCase(ctx, argv, argc, 2, &ignore))
        return;
    if (IsNull(argv[0]) || IsNull(argv[1]))
        return sqlite3_result_null(ctx);
    const int c = CompareText(ValueChars(argv[0]), ValueChars(argv[1]), ignore);
    sqlite3_result_int(ctx, c < 0 ? -1 : c > 0 ? 1 : 0);
}

void StrReverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        return sqlite3_result_null(ctx);
    std::u32string s = ValueChars(argv[0]);
    std::u32string r(s.rbegin(), s.rend());
    ResultChars(ctx, r);
}

void Chr(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int64_t code;
    if (!ArgInteger(ctx, argv, 0, &code))
        return;
    if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return InvalidArgument(ctx, 1);
    ResultChars(ctx, std::u32string(1, char32_t(code)));
}

void Asc(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        return InvalidNull(ctx, 1);
    const std::u32string s = ValueChars(argv[0]);
    if (s.empty())
        return InvalidArgument(ctx, 1);
    sqlite3_result_int64(ctx, int64_t(s[0]));
}

void Format(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    FormatArg value;
    JetNumber n;
    switch (sqlite3_value_type(argv[0])) {
        case SQLITE_NULL:
            break;
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            ValueNumber(argv[0], &n);
            value.kind = FormatArg::Number;
            value.number = n;
            break;
        default:
            value.kind = FormatArg::Text;
            value.text = ValueText(argv[0]);
            break;
    }
    std::string format;
    if (argc > 1 && !IsNull(argv[1]))
        format = ValueText(argv[1]);
    int64_t firstDay = 1, firstWeek = 1;
    if (argc > 2 && !IsNull(argv[2])) {
        if (!ArgInteger(ctx, argv, 2, &firstDay))
            return;
        if (firstDay == 0)
            firstDay = 1;
        if (firstDay < 1 || firstDay > 7)
            return InvalidArgument(ctx, 3);
    }
    if (argc > 3 && !IsNull(argv[3])) {
        if (!ArgInteger(ctx, argv, 3, &firstWeek))
            return;
        if (firstWeek == 0)
            firstWeek = 1;
        if (firstWeek < 1 || firstWeek > 3)
            return InvalidArgument(ctx, 4);
    }
    const std::optional<std::string> out =
        FormatJetValue(value, format, int(firstDay), int(firstWeek));
    if (!out)
        return sqlite3_result_null(ctx);
    ResultText(ctx, *out);
}

}  // namespace

std::vector<FunctionDef> TextFunctions() {
    return {
        {"jet_len", 1, 1, true, Len},         {"jet_left", 2, 2, true, Left},
        {"jet_right", 2, 2, true, Right},     {"jet_mid", 2, 3, true, Mid},
        {"jet_instr", 2, 4, true, InStr},     {"jet_instrrev", 2, 4, true, InStrRev},
        {"jet_ucase", 1, 1, true, UCase},     {"jet_lcase", 1, 1, true, LCase},
        {"jet_trim", 1, 1, true, Trim},       {"jet_ltrim", 1, 1, true, LTrim},
        {"jet_rtrim", 1, 1, true, RTrim},     {"jet_space", 1, 1, true, Space},
        {"jet_string", 2, 2, true, String},   {"jet_replace", 3, 6, true, Replace},
        {"jet_strcomp", 2, 3, true, StrComp}, {"jet_strreverse", 1, 1, true, StrReverse},
        {"jet_chr", 1, 1, true, Chr},         {"jet_asc", 1, 1, true, Asc},
        {"jet_format", 1, 4, true, Format},
    };
}

}  // namespace vorn::provider::sql
