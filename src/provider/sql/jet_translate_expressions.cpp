// Expressions: Jet's operators, literals, names and function calls.
#include <cwctype>

#include "sql/jet_dates.h"
#include "sql/jet_function_catalog.h"
#include "sql/jet_translator.h"
#include "vornoledb/platform/text.h"
#include "text_helpers.h"

namespace vorn::provider::sql {
namespace {

bool IsPlainIdentifier(const std::wstring& s) {
    if (s.empty())
        return false;
    for (wchar_t c : s)
        if (!((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
              c == L'_'))
            return false;
    return !(s[0] >= L'0' && s[0] <= L'9');
}

}  // namespace

std::string JetTranslator::Value(const Expr& e) {
    // SQLite's truth value 1 becomes the engine's True, -1.
    return e.isBool ? "(-" + e.sql + ")" : e.sql;
}

std::string JetTranslator::Text(const Expr& e) {
    // Text compares without regard to case, as in the engine: a literal's collation
    // decides a comparison even with a column of another collation.
    return e.isString ? e.sql + " COLLATE NOCASE" : Value(e);
}

std::string JetTranslator::Cond(const Expr& e) {
    return e.sql;
}

JetTranslator::Expr JetTranslator::Call(const char* fn, const Expr& a, const Expr& b) {
    Expr e;
    e.sql = std::string(fn) + "(" + Value(a) + ", " + Value(b) + ")";
    return e;
}

JetTranslator::Expr JetTranslator::ParseExpr() {
    Enter();
    Expr e = ParseImp();
    Leave();
    return e;
}

JetTranslator::Expr JetTranslator::ParseImp() {
    Expr l = ParseEqv();
    while (AcceptKeyword(L"IMP"))
        l = Call("jet_imp", l, ParseEqv());
    return l;
}

JetTranslator::Expr JetTranslator::ParseEqv() {
    Expr l = ParseXor();
    while (AcceptKeyword(L"EQV"))
        l = Call("jet_eqv", l, ParseXor());
    return l;
}

JetTranslator::Expr JetTranslator::ParseXor() {
    Expr l = ParseOr();
    while (AcceptKeyword(L"XOR"))
        l = Call("jet_xor", l, ParseOr());
    return l;
}

JetTranslator::Expr JetTranslator::ParseOr() {
    Expr l = ParseAnd();
    while (AcceptKeyword(L"OR")) {
        const Expr r = ParseAnd();
        Expr e;
        e.sql = "(" + Cond(l) + " OR " + Cond(r) + ")";
        e.isBool = true;
        l = e;
    }
    return l;
}

JetTranslator::Expr JetTranslator::ParseAnd() {
    Expr l = ParseNot();
    while (AcceptKeyword(L"AND")) {
        const Expr r = ParseNot();
        Expr e;
        e.sql = "(" + Cond(l) + " AND " + Cond(r) + ")";
        e.isBool = true;
        l = e;
    }
    return l;
}

JetTranslator::Expr JetTranslator::ParseNot() {
    if (AcceptKeyword(L"NOT")) {
        Enter();
        const Expr inner = ParseNot();
        Leave();
        Expr e;
        e.sql = "(NOT " + Cond(inner) + ")";
        e.isBool = true;
        return e;
    }
    return ParseComparison();
}

JetTranslator::Expr JetTranslator::ParseComparison() {
    Expr l = ParseConcat();
    while (true) {
        static const wchar_t* const kOps[] = {L"=", L"<>", L"<=", L">=", L"<", L">"};
        const wchar_t* op = nullptr;
        for (const wchar_t* o : kOps)
            if (PeekOp(o)) {
                op = o;
                break;
            }
        if (op) {
            Next();
            if (PeekKeyword(L"ANY") || PeekKeyword(L"SOME") || PeekKeyword(L"ALL"))
                Fail(Peek(),
                     L"comparisons with ANY, SOME and ALL are not supported; use IN or "
                     L"EXISTS");
            const Expr r = ParseConcat();
            Expr e;
            e.sql = "(" + Text(l) + " " + WideToUtf8(op) + " " + Text(r) + ")";
            e.isBool = true;
            l = e;
            continue;
        }
        if (PeekKeyword(L"IS")) {
            Next();
            const bool negate = AcceptKeyword(L"NOT");
            if (!AcceptKeyword(L"NULL"))
                Fail(Peek(), L"expected NULL after IS");
            Expr e;
            e.sql = "(" + Value(l) + (negate ? " IS NOT NULL)" : " IS NULL)");
            e.isBool = true;
            l = e;
            continue;
        }
        size_t ahead = 0;
        const bool negate = PeekKeyword(L"NOT");
        if (negate)
            ahead = 1;
        if (PeekKeyword(L"LIKE", ahead) || PeekKeyword(L"ALIKE", ahead)) {
            pos_ += ahead + 1;
            const Expr pattern = ParseConcat();
            Expr e;
            e.isBool = true;
            // SQLite's LIKE has Jet's % and _ and ignores case; a character list needs
            // jet_like. Patterns are never escaped: * and ? are plain characters.
            const bool plain = pattern.isString && pattern.text.find(L'[') == std::wstring::npos;
            if (plain)
                e.sql = "(" + Value(l) + (negate ? " NOT LIKE " : " LIKE ") + Value(pattern) + ")";
            else
                e.sql = std::string(negate ? "(NOT " : "(") + "jet_like(" + Value(l) + ", " +
                        Value(pattern) + "))";
            l = e;
            continue;
        }
        if (PeekKeyword(L"BETWEEN", ahead)) {
            pos_ += ahead + 1;
            const Expr lo = ParseConcat();
            ExpectKeyword(L"AND");
            const Expr hi = ParseConcat();
            Expr e;
            e.sql = "(" + Value(l) + (negate ? " NOT BETWEEN " : " BETWEEN ") + Text(lo) + " AND " +
                    Text(hi) + ")";
            e.isBool = true;
            l = e;
            continue;
        }
        if (PeekKeyword(L"IN", ahead)) {
            pos_ += ahead + 1;
            Expr e;
            bool text = false;
            const std::string list = ParseInList(&text);
            e.sql = "(" + Value(l) + (text ? " COLLATE NOCASE" : "") +
                    (negate ? " NOT IN " : " IN ") + list + ")";
            e.isBool = true;
            l = e;
            continue;
        }
        return l;
    }
}

std::string JetTranslator::ParseInList(bool* hasText) {
    ExpectOp(L"(");
    std::string out = "(";
    if (PeekKeyword(L"SELECT")) {
        out += SelectText();
    } else {
        bool first = true;
        do {
            if (!first)
                out += ", ";
            first = false;
            const Expr item = ParseExpr();
            *hasText = *hasText || item.isString;
            out += Value(item);
        } while (AcceptOp(L","));
    }
    ExpectOp(L")");
    return out + ")";
}

JetTranslator::Expr JetTranslator::ParseConcat() {
    Expr l = ParseAdditive();
    while (AcceptOp(L"&"))
        l = Call("jet_concat", l, ParseAdditive());
    return l;
}

JetTranslator::Expr JetTranslator::ParseAdditive() {
    Expr l = ParseMod();
    while (true) {
        if (AcceptOp(L"+"))
            l = Call("jet_add", l, ParseMod());
        else if (AcceptOp(L"-"))
            l = Call("jet_sub", l, ParseMod());
        else
            return l;
    }
}

JetTranslator::Expr JetTranslator::ParseMod() {
    Expr l = ParseIntDiv();
    while (AcceptKeyword(L"MOD"))
        l = Call("jet_mod", l, ParseIntDiv());
    return l;
}

JetTranslator::Expr JetTranslator::ParseIntDiv() {
    Expr l = ParseMultiplicative();
    while (AcceptOp(L"\\"))
        l = Call("jet_intdiv", l, ParseMultiplicative());
    return l;
}

JetTranslator::Expr JetTranslator::ParseMultiplicative() {
    Expr l = ParseUnary();
    while (true) {
        if (AcceptOp(L"*")) {
            const Expr r = ParseUnary();
            Expr e;
            e.sql = "(" + Value(l) + " * " + Value(r) + ")";
            l = e;
        } else if (AcceptOp(L"/")) {
            l = Call("jet_div", l, ParseUnary());
        } else {
            return l;
        }
    }
}

JetTranslator::Expr JetTranslator::ParseUnary() {
    if (PeekOp(L"-") || PeekOp(L"+")) {
        const bool minus = Next().value == L"-";
        Enter();
        const Expr inner = ParseUnary();
        Leave();
        if (!minus)
            return inner;
        Expr e;
        e.sql = "(-" + Value(inner) + ")";
        return e;
    }
    return ParsePower();
}

JetTranslator::Expr JetTranslator::ParsePower() {
    Expr l = ParsePrimary();
    while (AcceptOp(L"^"))
        l = Call("jet_pow", l, ParsePowerOperand());
    return l;
}

JetTranslator::Expr JetTranslator::ParsePowerOperand() {
    if (PeekOp(L"-") || PeekOp(L"+")) {
        const bool minus = Next().value == L"-";
        Enter();
        const Expr inner = ParsePowerOperand();
        Leave();
        if (!minus)
            return inner;
        Expr e;
        e.sql = "(-" + Value(inner) + ")";
        return e;
    }
    return ParsePrimary();
}

JetTranslator::Expr JetTranslator::ParseDateLiteral(const Token& t) {
    ParsedDate d;
    if (!ParseJetDateText(WideToUtf8(t.value), &d, CurrentYear()))
        Fail(t, L"'#" + t.value + L"#' is not a valid date or time");
    Expr e;
    e.sql = QuoteText(StampText(d.stamp));
    return e;
}

JetTranslator::Expr JetTranslator::ParsePrimary() {
    const Token& t = Peek();
    Expr e;
    switch (t.kind) {
        case TokenKind::Number:
            Next();
            e.sql = WideToUtf8(t.value);
            return e;
        case TokenKind::String:
            Next();
            e.sql = QuoteText(t.value);
            e.isString = true;
            e.text = t.value;
            return e;
        case TokenKind::Date:
            Next();
            return ParseDateLiteral(t);
        case TokenKind::Parameter:
            Next();
            if (t.value.empty())
                e.sql = "?" + std::to_string(++parameters_);
            else
                e.sql = WideToUtf8(t.value);
            return e;
        case TokenKind::QuotedName:
            return ParseColumnRef();
        case TokenKind::End:
            Fail(t, L"expected an expression");
        case TokenKind::Operator:
            if (t.value == L"(") {
                Next();
                Enter();
                if (PeekKeyword(L"SELECT")) {
                    e.sql = "(" + SelectText() + ")";
                } else {
                    const Expr inner = ParseExpr();
                    e.sql = "(" + inner.sql + ")";
                    e.isBool = inner.isBool;
                }
                Leave();
                ExpectOp(L")");
                return e;
            }
            Fail(t, L"expected an expression");
        case TokenKind::Name:
            break;
    }
    if (IsKeyword(t, L"NULL")) {
        Next();
        e.sql = "NULL";
        return e;
    }
    if (IsKeyword(t, L"TRUE") || IsKeyword(t, L"YES") || IsKeyword(t, L"ON")) {
        Next();
        e.sql = "-1";
        return e;
    }
    if (IsKeyword(t, L"FALSE") || IsKeyword(t, L"NO") || IsKeyword(t, L"OFF")) {
        Next();
        e.sql = "0";
        return e;
    }
    if (IsKeyword(t, L"EXISTS")) {
        Next();
        ExpectOp(L"(");
        if (!PeekKeyword(L"SELECT"))
            Fail(Peek(), L"expected SELECT after EXISTS (");
        Enter();
        e.sql = "(EXISTS (" + SelectText() + "))";
        Leave();
        ExpectOp(L")");
        e.isBool = true;
        return e;
    }
    if (t.value.compare(0, 2, L"@@") == 0) {
        if (!IsKeyword(t, L"@@IDENTITY"))
            Fail(t, L"the only system variable is @@IDENTITY");
        Next();
        e.sql = "jet_identity()";
        return e;
    }
    if (PeekOp(L"(", 1))
        return ParseFunctionCall();
    if (IsReserved(t))
        Fail(t, L"expected an expression");
    return ParseColumnRef();
}

JetTranslator::Expr JetTranslator::ParseColumnRef() {
    bool star = false;
    const size_t begin = Peek().begin;
    const std::vector<std::wstring> parts = ParseDottedName(L"a name", false, &star);
    Expr e;
    if (parts.size() == 1 && !declaredParameters_.empty()) {
        std::wstring lower;
        for (wchar_t c : parts[0])
            lower.push_back(wchar_t(std::towlower(wint_t(c))));
        const auto it = declaredParameters_.find(lower);
        if (it != declaredParameters_.end()) {
            e.sql = "?" + std::to_string(it->second);
            return e;
        }
    }
    (void)begin;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            e.sql += ".";
        e.sql += QuoteName(parts[i]);
    }
    e.isColumn = true;
    e.text = parts.back();
    return e;
}

JetTranslator::Expr JetTranslator::ParseFunctionCall() {
    const Token nameToken = Next();
    ExpectOp(L"(");
    Enter();
    const JetFunction* fn = FindJetFunction(nameToken.value);
    std::vector<Expr> args;
    bool star = false, distinct = false;
    if (PeekOp(L"*") && PeekOp(L")", 1)) {
        Next();
        star = true;
    } else if (!PeekOp(L")")) {
        if (AcceptKeyword(L"DISTINCT"))
            distinct = true;
        do {
            args.push_back(ParseExpr());
        } while (AcceptOp(L","));
    }
    ExpectOp(L")");
    Leave();
    Expr e;
    if (!fn) {
        std::wstring name = nameToken.value;
        if (!name.empty() && name.back() == L'$')
            name.pop_back();
        if (!IsPlainIdentifier(name) || (conn_ && !conn_->HasFunction(WideToUtf8(WideLower(name)))))
            throw SyntaxFailure{nameToken.begin, nameToken.end,
                                L"undefined function '" + nameToken.value + L"' in expression",
                                true};
        e.sql = WideToUtf8(name) + "(" + (distinct ? "DISTINCT " : "");
        if (star)
            e.sql += "*";
        for (size_t i = 0; i < args.size(); ++i)
            e.sql += (i ? ", " : "") + Value(args[i]);
        e.sql += ")";
        return e;
    }
    const int count = int(args.size());
    if (star && !(fn->kind == FunctionKind::NativeAggregate && fn->jetName == "Count"))
        Fail(nameToken, L"only Count takes * as its argument");
    if (!star && (count < fn->minArgs || (fn->maxArgs >= 0 && count > fn->maxArgs) ||
                  (fn->kind == FunctionKind::Switch && count % 2 != 0))) {
        std::wstring expected;
        if (fn->kind == FunctionKind::Switch)
            expected = L"pairs of a condition and a value";
        else if (fn->maxArgs < 0)
            expected = L"at least " + std::to_wstring(fn->minArgs);
        else if (fn->minArgs == fn->maxArgs)
            expected = std::to_wstring(fn->minArgs);
        else
            expected = std::to_wstring(fn->minArgs) + L" to " + std::to_wstring(fn->maxArgs);
        Fail(nameToken, L"wrong number of arguments used with function " + Utf8ToWide(fn->jetName) +
                            L" (" + expected + L" expected, " + std::to_wstring(count) +
                            L" given)");
    }
    if (distinct && fn->kind != FunctionKind::NativeAggregate)
        Fail(nameToken, L"DISTINCT is allowed only in Count, Sum, Avg, Min and Max");
    switch (fn->kind) {
        case FunctionKind::Scalar:
        case FunctionKind::Aggregate:
        case FunctionKind::NativeAggregate:
        case FunctionKind::Nz: {
            e.sql = fn->sqliteName + "(" + (distinct ? "DISTINCT " : "");
            if (star)
                e.sql += "*";
            for (size_t i = 0; i < args.size(); ++i)
                e.sql += (i ? ", " : "") + Value(args[i]);
            if (fn->kind == FunctionKind::Nz && count == 1)
                e.sql += ", ''";  // Nz(Null) in a query is the zero-length string
            e.sql += ")";
            return e;
        }
        case FunctionKind::IIf:
            // Only the chosen branch runs: IIf(IsNumeric(x), CLng(x), 0) never converts
            // text that is not a number.
            e.sql = "(CASE WHEN " + Cond(args[0]) + " THEN " + Value(args[1]) + " ELSE " +
                    Value(args[2]) + " END)";
            return e;
        case FunctionKind::Switch:
            e.sql = "(CASE";
            for (size_t i = 0; i + 1 < args.size(); i += 2)
                e.sql += " WHEN " + Cond(args[i]) + " THEN " + Value(args[i + 1]);
            e.sql += " END)";
            return e;
        case FunctionKind::Choose:
            e.sql = "(CASE jet_round(" + Value(args[0]) + ")";
            for (size_t i = 1; i < args.size(); ++i)
                e.sql += " WHEN " + std::to_string(i) + " THEN " + Value(args[i]);
            e.sql += " END)";
            return e;
    }
    return e;
}

}  // namespace vorn::provider::sql
