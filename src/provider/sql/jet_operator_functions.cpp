// Jet operators that SQLite's own operators do not match, as functions the translator
// calls: & (Null counts as empty text), + and - (text joins text, dates move by days, date
// minus date is days), / (always a fraction, division by zero is an error), \ and Mod
// (operands rounded to whole numbers first), ^, Xor, Eqv, Imp, and Like with character
// lists ([a-c], [!a-c]); plus the helpers of translated statements.
#include <cmath>
#include <limits>
#include <string>

#include "sql/jet_function_support.h"

namespace vorn::provider::sql {
namespace {

// An operand of & + and -: a value of the statement, or what a chain of them gave so far.
struct Operand {
    int type = SQLITE_NULL;  // SQLITE_NULL, SQLITE_INTEGER, SQLITE_FLOAT or SQLITE_TEXT
    int64_t i = 0;
    double d = 0;
    std::string text;  // also a date, as it is stored
};

Operand OperandOf(sqlite3_value* v) {
    Operand o;
    o.type = sqlite3_value_type(v);
    switch (o.type) {
        case SQLITE_INTEGER:
            o.i = sqlite3_value_int64(v);
            break;
        case SQLITE_FLOAT:
            o.d = sqlite3_value_double(v);
            break;
        case SQLITE_NULL:
            break;
        default:  // a blob takes part as its text
            o.type = SQLITE_TEXT;
            o.text = ValueText(v);
            break;
    }
    return o;
}

std::string TextOf(const Operand& o) {
    switch (o.type) {
        case SQLITE_INTEGER:
            return std::to_string(o.i);
        case SQLITE_FLOAT:
            return FormatJetDouble(o.d);
        case SQLITE_TEXT:
            return o.text;
        default:
            return std::string();
    }
}

bool NumberOf(const Operand& o, JetNumber* n) {
    switch (o.type) {
        case SQLITE_INTEGER:
            *n = JetNumber{true, o.i, double(o.i)};
            return true;
        case SQLITE_FLOAT:
            *n = JetNumber{false, 0, o.d};
            return true;
        case SQLITE_TEXT:
            return TextNumber(o.text.data(), int(o.text.size()), n);
        default:
            return false;
    }
}

bool StoredDate(const Operand& o, JetStamp* s) {
    return o.type == SQLITE_TEXT && ParseStoredDate(o.text.data(), int(o.text.size()), s);
}

Operand Real(double d) {
    Operand o;
    o.type = SQLITE_FLOAT;
    o.d = d;
    return o;
}

Operand TextOperand(std::string text) {
    Operand o;
    o.type = SQLITE_TEXT;
    o.text = std::move(text);
    return o;
}

// Why an operation failed: the argument at fault (1 or 2) of a type mismatch, else what.
struct Failure {
    int mismatchedArgument = 0;
    const char* what = "overflow";
};

// & : Null & Null is Null; otherwise a Null side counts as empty text.
Operand Concat(const Operand& a, const Operand& b) {
    if (a.type == SQLITE_NULL && b.type == SQLITE_NULL)
        return Operand();
    return TextOperand(TextOf(a) + TextOf(b));
}

// + and -: text joins text, dates move by days, date minus date is days.
bool AddSubtract(const Operand& a, const Operand& b, bool subtract, Operand* out, Failure* f) {
    if (a.type == SQLITE_NULL || b.type == SQLITE_NULL) {
        *out = Operand();
        return true;
    }
    JetStamp da, db;
    const bool aDate = StoredDate(a, &da), bDate = StoredDate(b, &db);
    if (aDate && bDate && subtract) {
        *out = Real(double(da - db) / kSecondsPerDay);
        return true;
    }
    if (aDate != bDate) {
        JetNumber days;
        if (!NumberOf(aDate ? b : a, &days)) {
            f->mismatchedArgument = aDate ? 2 : 1;
            return false;
        }
        if (aDate || !subtract) {
            const double delta = days.AsDouble() * kSecondsPerDay;
            if (std::fabs(delta) > 1e12)
                return false;
            const JetStamp base = aDate ? da : db;
            const JetStamp moved = base + (subtract ? -1 : 1) * std::llround(delta);
            if (!StampInRange(moved)) {
                f->what = "the date is outside the range 100-01-01 to 9999-12-31";
                return false;
            }
            *out = TextOperand(StampText(moved));
            return true;
        }
        *out = Real(days.AsDouble() - SerialFromStamp(db));
        return true;
    }
    if (!subtract && a.type == SQLITE_TEXT && b.type == SQLITE_TEXT) {
        *out = TextOperand(a.text + b.text);
        return true;
    }
    JetNumber x, y;
    if (!NumberOf(a, &x)) {
        f->mismatchedArgument = 1;
        return false;
    }
    if (!NumberOf(b, &y)) {
        f->mismatchedArgument = 2;
        return false;
    }
    if (x.integral && y.integral) {
        int64_t r;
        const bool overflow =
            subtract ? __builtin_sub_overflow(x.i, y.i, &r) : __builtin_add_overflow(x.i, y.i, &r);
        if (!overflow) {
            out->type = SQLITE_INTEGER;
            out->i = r;
            return true;
        }
    }
    *out = Real(subtract ? x.AsDouble() - y.AsDouble() : x.AsDouble() + y.AsDouble());
    return true;
}

// One operation of a chain: op is '&', '+' or '-'. On failure the error is raised on ctx,
// named after the operator.
bool Apply(sqlite3_context* ctx, char op, const Operand& a, const Operand& b, Operand* out) {
    if (op == '&') {
        *out = Concat(a, b);
        return true;
    }
    Failure f;
    if (AddSubtract(a, b, op == '-', out, &f))
        return true;
    const std::string what = f.mismatchedArgument ? "data type mismatch in argument " +
                                                        std::to_string(f.mismatchedArgument)
                                                  : std::string(f.what);
    const std::string message = std::string(1, op) + ": " + what;
    sqlite3_result_error(ctx, message.c_str(), int(message.size()));
    if (f.mismatchedArgument)
        sqlite3_result_error_code(ctx, SQLITE_MISMATCH);
    return false;
}

void Result(sqlite3_context* ctx, const Operand& o) {
    switch (o.type) {
        case SQLITE_INTEGER:
            return sqlite3_result_int64(ctx, o.i);
        case SQLITE_FLOAT:
            return ResultDouble(ctx, o.d);
        case SQLITE_TEXT:
            return ResultText(ctx, o.text);
        default:
            return sqlite3_result_null(ctx);
    }
}

void Binary(sqlite3_context* ctx, char op, sqlite3_value** argv) {
    Operand out;
    if (Apply(ctx, op, OperandOf(argv[0]), OperandOf(argv[1]), &out))
        Result(ctx, out);
}

void Concat(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Binary(ctx, '&', argv);
}
void Add(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Binary(ctx, '+', argv);
}
void Subtract(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Binary(ctx, '-', argv);
}

// jet_chain(a, b, c ..., operators): a chain of & + and - (one operator character per
// operation, in order) worked out from the left, as a nest of the two-argument functions
// would be, without the nesting: SQLite's parser takes only a few dozen calls nested in one
// another.
void Chain(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const std::string ops = ValueText(argv[argc - 1]);
    if (ops.size() != size_t(argc - 2))
        return RaiseError(ctx, "the chain's operators do not match its operands", SQLITE_MISUSE);
    Operand acc = OperandOf(argv[0]);
    for (int i = 1; i < argc - 1; ++i) {
        Operand next;
        if (!Apply(ctx, ops[size_t(i - 1)], acc, OperandOf(argv[i]), &next))
            return;
        acc = std::move(next);
    }
    Result(ctx, acc);
}

// A numeric argument of / and ^; a type mismatch is raised for anything else.
bool NumberArg(sqlite3_context* ctx, sqlite3_value** argv, int index, JetNumber* n) {
    if (ValueNumber(argv[index], n))
        return true;
    TypeMismatch(ctx, index + 1);
    return false;
}

void Divide(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1]))
        return sqlite3_result_null(ctx);
    JetNumber a, b;
    if (!NumberArg(ctx, argv, 0, &a) || !NumberArg(ctx, argv, 1, &b))
        return;
    if (b.AsDouble() == 0)
        return RaiseError(ctx, "division by zero");
    ResultDouble(ctx, a.AsDouble() / b.AsDouble());
}

// Operands of \ and Mod, rounded to whole numbers.
bool WholeOperands(sqlite3_context* ctx, sqlite3_value** argv, int64_t* a, int64_t* b) {
    if (IsNull(argv[0]) || IsNull(argv[1])) {
        sqlite3_result_null(ctx);
        return false;
    }
    if (!ArgInteger(ctx, argv, 0, a) || !ArgInteger(ctx, argv, 1, b))
        return false;
    if (*b == 0) {
        RaiseError(ctx, "division by zero");
        return false;
    }
    if (*a == std::numeric_limits<int64_t>::min() && *b == -1) {
        Overflow(ctx);
        return false;
    }
    return true;
}

void IntegerDivide(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int64_t a, b;
    if (WholeOperands(ctx, argv, &a, &b))
        sqlite3_result_int64(ctx, a / b);
}

void Modulo(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int64_t a, b;
    if (WholeOperands(ctx, argv, &a, &b))
        sqlite3_result_int64(ctx, a % b);
}

void Power(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1]))
        return sqlite3_result_null(ctx);
    JetNumber a, b;
    if (!NumberArg(ctx, argv, 0, &a) || !NumberArg(ctx, argv, 1, &b))
        return;
    const double x = a.AsDouble(), y = b.AsDouble();
    if (x < 0 && y != std::trunc(y))
        return InvalidArgument(ctx, 2);
    if (x == 0 && y < 0)
        return RaiseError(ctx, "division by zero");
    ResultDouble(ctx, std::pow(x, y));
}

// Truth of a logical operand: -1 true, 0 false, Null unknown.
int Truth(sqlite3_context* ctx, sqlite3_value** argv, int index, bool* ok) {
    *ok = true;
    if (IsNull(argv[index]))
        return 2;
    JetNumber n;
    if (!ValueNumber(argv[index], &n)) {
        TypeMismatch(ctx, index + 1);
        *ok = false;
        return 0;
    }
    return n.AsDouble() != 0 ? 1 : 0;
}

enum class Logic { Xor, Eqv, Imp };

void Logical(sqlite3_context* ctx, sqlite3_value** argv, Logic op) {
    bool ok;
    const int a = Truth(ctx, argv, 0, &ok);
    if (!ok)
        return;
    const int b = Truth(ctx, argv, 1, &ok);
    if (!ok)
        return;
    if (op == Logic::Imp) {
        if (a == 0 || b == 1)
            return ResultBool(ctx, true);
        if (a == 1 && b == 0)
            return ResultBool(ctx, false);
        return sqlite3_result_null(ctx);
    }
    if (a == 2 || b == 2)
        return sqlite3_result_null(ctx);
    ResultBool(ctx, op == Logic::Xor ? a != b : a == b);
}

void Xor(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Logical(ctx, argv, Logic::Xor);
}
void Eqv(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Logical(ctx, argv, Logic::Eqv);
}
void Imp(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Logical(ctx, argv, Logic::Imp);
}

// One pattern element at p: matches c? Sets *width to the element's length.
// Returns -1 for a malformed character list.
int MatchElement(const std::u32string& p, size_t i, char32_t c, size_t* width) {
    if (p[i] == U'_') {
        *width = 1;
        return 1;
    }
    if (p[i] != U'[') {
        *width = 1;
        return LowerChar(p[i]) == LowerChar(c) ? 1 : 0;
    }
    size_t j = i + 1;
    bool negate = false;
    if (j < p.size() && (p[j] == U'!' || p[j] == U'^')) {
        negate = true;
        ++j;
    }
    bool matched = false;
    const char32_t lc = LowerChar(c);
    bool first = true;
    while (j < p.size() && (p[j] != U']' || first)) {
        first = false;
        char32_t lo = LowerChar(p[j]), hi = lo;
        if (j + 2 < p.size() && p[j + 1] == U'-' && p[j + 2] != U']') {
            hi = LowerChar(p[j + 2]);
            j += 3;
        } else {
            ++j;
        }
        if (lc >= lo && lc <= hi)
            matched = true;
    }
    if (j >= p.size())
        return -1;
    *width = j + 1 - i;
    return matched != negate ? 1 : 0;
}

// Jet's Like with ANSI wildcards: % any run, _ one character, [list] [!list] one
// character of (not of) the list; case-insensitive. -1 for a malformed pattern.
int LikeMatch(const std::u32string& s, const std::u32string& p) {
    size_t si = 0, pi = 0;
    size_t starP = std::u32string::npos, starS = 0;
    while (si < s.size()) {
        if (pi < p.size() && p[pi] == U'%') {
            starP = ++pi;
            starS = si;
            continue;
        }
        if (pi < p.size()) {
            size_t w = 1;
            const int m = MatchElement(p, pi, s[si], &w);
            if (m < 0)
                return -1;
            if (m == 1) {
                ++si;
                pi += w;
                continue;
            }
        }
        if (starP == std::u32string::npos)
            return 0;
        pi = starP;
        si = ++starS;
    }
    while (pi < p.size() && p[pi] == U'%')
        ++pi;
    if (pi < p.size()) {
        // Validate the rest of the pattern so that a malformed list is reported.
        for (size_t k = pi; k < p.size(); ++k)
            if (p[k] == U'[' && p.find(U']', k + 2) == std::u32string::npos)
                return -1;
        return 0;
    }
    return 1;
}

void Like(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1]))
        return sqlite3_result_null(ctx);
    const int m = LikeMatch(ValueChars(argv[0]), ValueChars(argv[1]));
    if (m < 0)
        return RaiseError(ctx, "invalid pattern string '" + ValueText(argv[1]) + "'");
    sqlite3_result_int(ctx, m);
}

// Rows of TOP n PERCENT: n percent of count, rounded up.
void TopCount(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const double count = sqlite3_value_double(argv[0]);
    const double percent = sqlite3_value_double(argv[1]);
    const double rows = std::ceil(count * percent / 100.0 - 1e-9);
    sqlite3_result_int64(ctx, rows < 0 ? 0 : int64_t(rows));
}

// Raises an error with the given message and SQLite result code (statement scripts use it
// to report the failure of one of their steps as the statement's own error).
void Raise(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::string message = ValueText(argv[0]);
    sqlite3_result_error(ctx, message.c_str(), int(message.size()));
    const int code = sqlite3_value_int(argv[1]);
    if (code != SQLITE_ERROR && code != SQLITE_OK)
        sqlite3_result_error_code(ctx, code);
}

// The statement that stands for a script must run through the script runner.
void Guard(sqlite3_context* ctx, int, sqlite3_value**) {
    static const char kMessage[] =
        "this Jet statement runs as several SQLite statements; run it with "
        "JetStatementCache::Step or RunJetScript";
    sqlite3_result_error(ctx, kMessage, -1);
    sqlite3_result_error_code(ctx, SQLITE_MISUSE);
}

}  // namespace

std::vector<FunctionDef> OperatorFunctions() {
    return {
        {"jet_concat", 2, 2, true, Concat},
        {"jet_add", 2, 2, true, Add},
        {"jet_sub", 2, 2, true, Subtract},
        {"jet_chain", 3, -1, true, Chain},
        {"jet_div", 2, 2, true, Divide},
        {"jet_intdiv", 2, 2, true, IntegerDivide},
        {"jet_mod", 2, 2, true, Modulo},
        {"jet_pow", 2, 2, true, Power},
        {"jet_xor", 2, 2, true, Xor},
        {"jet_eqv", 2, 2, true, Eqv},
        {"jet_imp", 2, 2, true, Imp},
        {"jet_like", 2, 2, true, Like},
        {"jet_top_count", 2, 2, true, TopCount},
        {"jet_raise", 2, 2, false, Raise},
        {"jet_guard", 0, -1, false, Guard},
    };
}

}  // namespace vorn::provider::sql
