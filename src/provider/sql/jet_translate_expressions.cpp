// Expressions: Jet's operators, literals, names and function calls, each with its Jet type
// and the height of the tree SQLite builds from its text.
#include <algorithm>
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

// The Jet type of a number as written: whole numbers within Long's range are Long, the
// others Double.
ValueKind NumberKind(const std::wstring& literal) {
    if (literal.find_first_of(L".eE") != std::wstring::npos || literal.size() > 10)
        return ValueKind::Double;
    const long long v = std::wcstoll(literal.c_str(), nullptr, 10);
    return v <= 2147483647LL ? ValueKind::Long : ValueKind::Double;
}

}  // namespace

// ---- chains ----

JetTranslator::Chain::Chain(Expr first) : held_(std::move(first)) {
    base_ = std::move(held_.sql);
    held_.sql.clear();
}

void JetTranslator::Chain::Wrap(const std::string& open, const std::string& close) {
    openBytes_ += open.size();
    opens_.push_back(open);
    closes_ += close;
}

void JetTranslator::Chain::Extend(const std::string& more) {
    closes_.insert(closes_.size() - 1, more);
}

void JetTranslator::Chain::Fold(char op, const std::string& operand, int operandDepth,
                                size_t perCall) {
    perCall_ = perCall < 3 ? 3 : perCall;
    // Each call of jet_chain takes the chain so far and up to perCall - 1 more operands.
    const bool newCall = foldOps_.size() % (perCall_ - 2) == 0;
    held_.depth =
        newCall ? std::max(held_.depth, operandDepth) + 1 : std::max(held_.depth, operandDepth + 1);
    foldOps_.push_back(op);
    foldOperands_.push_back(operand);
}

size_t JetTranslator::Chain::FoldCalls() const {
    return foldOps_.empty() ? 0 : (foldOps_.size() + perCall_ - 3) / (perCall_ - 2);
}

JetTranslator::Expr JetTranslator::Chain::Finish() {
    if (!foldOps_.empty()) {
        if (foldOps_.size() == 1) {
            const char* fn = foldOps_[0] == '&'   ? "jet_concat("
                             : foldOps_[0] == '+' ? "jet_add("
                                                  : "jet_sub(";
            held_.sql = fn + base_ + ", " + foldOperands_[0] + ")";
            return std::move(held_);
        }
        // Calls of at most perCall operands, each the first operand of the next.
        const size_t each = perCall_ - 2;
        const size_t calls = (foldOps_.size() + each - 1) / each;
        // The operators come last: SQLite's parser takes more calls nested in a call's
        // first argument than in the others.
        std::string out;
        for (size_t c = 0; c < calls; ++c)
            out += "jet_chain(";
        out += base_;
        for (size_t c = 0; c < calls; ++c) {
            const size_t from = c * each, to = std::min(foldOps_.size(), from + each);
            for (size_t i = from; i < to; ++i)
                out += ", " + foldOperands_[i];
            out += ", '" + foldOps_.substr(from, to - from) + "')";
        }
        held_.sql = std::move(out);
        return std::move(held_);
    }
    if (opens_.empty() && closes_.empty()) {
        held_.sql = std::move(base_);
        return std::move(held_);
    }
    std::string out;
    out.reserve(openBytes_ + base_.size() + closes_.size());
    for (auto it = opens_.rbegin(); it != opens_.rend(); ++it)
        out += *it;
    out += base_;
    out += closes_;
    Expr e = std::move(held_);
    e.sql = std::move(out);
    return e;
}

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

void JetTranslator::CheckDepth(const Expr& e, const Token& at) const {
    if (e.depth <= maxExprDepth_)
        return;
    SyntaxFailure f{at.begin, at.end,
                    L"the expression reaching position " + std::to_wstring(at.begin + 1) +
                        L" is too deep for the engine: more than " +
                        std::to_wstring(maxExprDepth_) +
                        L" operations nested in one another, the engine's limit of expression "
                        L"depth (split it into parts, or write a long list of alternatives as "
                        L"IN (...))"};
    f.limit = true;
    throw f;
}

// SQLite's parser takes about 30 function calls nested in one another's first argument,
// fewer inside other calls and subqueries; the calls of one chain keep well below that.
constexpr size_t kMostChainCalls = 20;

void JetTranslator::CheckChainLength(const Chain& chain, const Token& at) const {
    if (chain.FoldCalls() <= kMostChainCalls)
        return;
    SyntaxFailure f{at.begin, at.end,
                    L"the chain of operators reaching position " + std::to_wstring(at.begin + 1) +
                        L" is too long for the engine: more than " +
                        std::to_wstring(kMostChainCalls * (maxFunctionArgs_ - 2)) +
                        L" &, + and - operations in a row, and the engine's parser takes no "
                        L"more (split it into parts)"};
    f.limit = true;
    throw f;
}

std::string JetTranslator::AsText(const Expr& e) {
    if (TypeOf(e).kind == ValueKind::Date)
        return "jet_date_text(" + Value(e) + ")";
    return Value(e);
}

void JetTranslator::ChainCall(Chain* chain, const char* fn, const Expr& r, TypeRule rule,
                              const Token& at) {
    Expr& h = chain->Held();
    int depth = h.depth;
    if (h.isBool) {
        chain->Wrap("(-", ")");
        ++depth;
    }
    chain->Wrap(std::string(fn) + "(", ", " + Value(r) + ")");
    h.depth = std::max(depth, r.depth + (r.isBool ? 1 : 0)) + 1;
    h.isBool = h.isColumn = h.isString = false;
    h.text.clear();
    h.type = RuleTerm(rule, {h.type, r.type});
    CheckDepth(h, at);
}

void JetTranslator::ChainInfix(Chain* chain, const char* op, const std::string& right,
                               int rightDepth, bool asText, const Token& at) {
    Expr& h = chain->Held();
    int depth = h.depth;
    if (asText && h.isString) {
        chain->Wrap("", " COLLATE NOCASE");
        ++depth;
    } else if (asText && h.isBool) {
        chain->Wrap("(-", ")");
        ++depth;
    }
    chain->Wrap("(", std::string(" ") + op + " " + right + ")");
    h.depth = std::max(depth, rightDepth) + 1;
    h.isBool = true;
    h.isColumn = h.isString = false;
    h.text.clear();
    h.type = FixedType(ValueKind::Bool);
    CheckDepth(h, at);
}

// ---- operators, loosest first ----

JetTranslator::Expr JetTranslator::ParseExpr() {
    Enter();
    Expr e = ParseImp();
    Leave();
    return e;
}

JetTranslator::Expr JetTranslator::ParseImp() {
    Chain chain(ParseEqv());
    while (PeekKeyword(L"IMP")) {
        const Token& at = Next();
        ChainCall(&chain, "jet_imp", ParseEqv(), TypeRule::Logical, at);
    }
    return chain.Finish();
}

JetTranslator::Expr JetTranslator::ParseEqv() {
    Chain chain(ParseXor());
    while (PeekKeyword(L"EQV")) {
        const Token& at = Next();
        ChainCall(&chain, "jet_eqv", ParseXor(), TypeRule::Logical, at);
    }
    return chain.Finish();
}

JetTranslator::Expr JetTranslator::ParseXor() {
    Chain chain(ParseOr());
    while (PeekKeyword(L"XOR")) {
        const Token& at = Next();
        ChainCall(&chain, "jet_xor", ParseOr(), TypeRule::Logical, at);
    }
    return chain.Finish();
}

JetTranslator::Expr JetTranslator::ParseOr() {
    return ParseLogicalRun(L"OR", "OR", &JetTranslator::ParseAnd);
}

JetTranslator::Expr JetTranslator::ParseAnd() {
    return ParseLogicalRun(L"AND", "AND", &JetTranslator::ParseNot);
}

JetTranslator::Expr JetTranslator::ParseLogicalRun(const wchar_t* keyword, const char* op,
                                                   Expr (JetTranslator::*operand)()) {
    Chain chain((this->*operand)());
    bool first = true;
    while (PeekKeyword(keyword)) {
        const Token& at = Next();
        const Expr r = (this->*operand)();
        if (first) {
            ChainInfix(&chain, op, Cond(r), r.depth, false, at);
        } else {  // (a OR b OR c): one level of parentheses for the whole run
            chain.Extend(std::string(" ") + op + " " + Cond(r));
            Expr& h = chain.Held();
            h.depth = std::max(h.depth, r.depth) + 1;
            CheckDepth(h, at);
        }
        first = false;
    }
    return chain.Finish();
}

JetTranslator::Expr JetTranslator::ParseNot() {
    if (PeekKeyword(L"NOT")) {
        const Token& at = Next();
        Enter();
        const Expr inner = ParseNot();
        Leave();
        Expr e;
        e.sql = "(NOT " + Cond(inner) + ")";
        e.isBool = true;
        e.depth = inner.depth + 1;
        e.type = FixedType(ValueKind::Bool);
        CheckDepth(e, at);
        return e;
    }
    return ParseComparison();
}

JetTranslator::Expr JetTranslator::ParseComparison() {
    Chain chain(ParseConcat());
    // The held value as Value() gives it, for the operators that take it so.
    auto holdValue = [&](int* depth) {
        Expr& h = chain.Held();
        *depth = h.depth;
        if (h.isBool) {
            chain.Wrap("(-", ")");
            ++*depth;
        }
    };
    auto settle = [&](int depth, const Token& at) {
        Expr& h = chain.Held();
        h.depth = depth;
        h.isBool = true;
        h.isColumn = h.isString = false;
        h.text.clear();
        h.type = FixedType(ValueKind::Bool);
        CheckDepth(h, at);
    };
    while (true) {
        static const wchar_t* const kOps[] = {L"=", L"<>", L"<=", L">=", L"<", L">"};
        const wchar_t* op = nullptr;
        for (const wchar_t* o : kOps)
            if (PeekOp(o)) {
                op = o;
                break;
            }
        const Token& at = Peek();
        if (op) {
            Next();
            if (PeekKeyword(L"ANY") || PeekKeyword(L"SOME") || PeekKeyword(L"ALL")) {
                const Expr left = chain.Finish();
                chain = Chain(ParseQuantified(left, WideToUtf8(op)));
                CheckDepth(chain.Held(), at);
                continue;
            }
            const Expr r = ParseConcat();
            const std::string opText = WideToUtf8(op);
            ChainInfix(&chain, opText.c_str(), Text(r),
                       r.depth + ((r.isString || r.isBool) ? 1 : 0), true, at);
            continue;
        }
        if (PeekKeyword(L"IS")) {
            Next();
            const bool negate = AcceptKeyword(L"NOT");
            if (!AcceptKeyword(L"NULL"))
                Fail(Peek(), L"expected NULL after IS");
            int depth = 0;
            holdValue(&depth);
            chain.Wrap("(", negate ? " IS NOT NULL)" : " IS NULL)");
            settle(depth + 1, at);
            continue;
        }
        size_t ahead = 0;
        const bool negate = PeekKeyword(L"NOT");
        if (negate)
            ahead = 1;
        if (PeekKeyword(L"LIKE", ahead) || PeekKeyword(L"ALIKE", ahead)) {
            pos_ += ahead + 1;
            const Expr pattern = ParseConcat();
            int depth = 0;
            holdValue(&depth);
            // SQLite's LIKE has Jet's % and _ and ignores case; a character list needs
            // jet_like. Patterns are never escaped: * and ? are plain characters.
            const bool plain = pattern.isString && pattern.text.find(L'[') == std::wstring::npos;
            if (plain)
                chain.Wrap("(", (negate ? " NOT LIKE " : " LIKE ") + Value(pattern) + ")");
            else
                chain.Wrap(negate ? "(NOT jet_like(" : "(jet_like(", ", " + Value(pattern) + "))");
            settle(std::max(depth, pattern.depth) + (plain ? 1 : 2), at);
            continue;
        }
        if (PeekKeyword(L"BETWEEN", ahead)) {
            pos_ += ahead + 1;
            const Expr lo = ParseConcat();
            ExpectKeyword(L"AND");
            const Expr hi = ParseConcat();
            int depth = 0;
            holdValue(&depth);
            chain.Wrap("(", (negate ? " NOT BETWEEN " : " BETWEEN ") + Text(lo) + " AND " +
                                Text(hi) + ")");
            settle(std::max({depth, lo.depth + 1, hi.depth + 1}) + 1, at);
            continue;
        }
        if (PeekKeyword(L"IN", ahead)) {
            pos_ += ahead + 1;
            bool text = false;
            int listDepth = 0;
            const std::string list = ParseInList(&text, &listDepth);
            int depth = 0;
            holdValue(&depth);
            chain.Wrap("(", std::string(text ? " COLLATE NOCASE" : "") +
                                (negate ? " NOT IN " : " IN ") + list + ")");
            settle(std::max(depth + (text ? 1 : 0), listDepth) + 1, at);
            continue;
        }
        return chain.Finish();
    }
}

// expr op ANY|SOME|ALL (SELECT ...), with SQL's rules for Null: ALL is true for no rows,
// false when a comparison is false, else Null when one is Null; ANY is false for no rows,
// true when a comparison is true, else Null when one is Null. One pass over the subquery's
// rows, its one column named so that the comparison can refer to it.
JetTranslator::Expr JetTranslator::ParseQuantified(const Expr& left, const std::string& op) {
    const Token word = Next();
    const bool all = IsKeyword(word, L"ALL");
    const std::wstring which = all ? L"ALL" : IsKeyword(word, L"ANY") ? L"ANY" : L"SOME";
    ExpectOp(L"(");
    if (!PeekKeyword(L"SELECT"))
        Fail(Peek(), L"expected a subquery (SELECT ...) after " + which);
    Enter();
    Select s = ParseNestedSelect();
    Leave();
    ExpectOp(L")");
    SelectCore& first = s.cores[0];
    Expr e;
    e.isBool = true;
    e.type = FixedType(ValueKind::Bool);
    if (first.raw.empty() && first.items.size() > 1)
        FailRange(word.begin, word.end,
                  L"the subquery compared with " + which + L" must give one column, not " +
                      std::to_wstring(first.items.size()));
    if (!first.raw.empty() || first.items[0].star) {
        // Its column has no name to compare with: = ANY is IN, <> ALL is NOT IN.
        if (op == "=" && !all)
            e.sql = "(" + Value(left) + " IN (" + EmitSelect(s) + "))";
        else if (op == "<>" && all)
            e.sql = "(" + Value(left) + " NOT IN (" + EmitSelect(s) + "))";
        else
            FailRange(word.begin, word.end,
                      L"the subquery compared with " + which +
                          L" must name its one column (not *) for this comparison");
        e.depth = left.depth + 2;
        return e;
    }
    first.items[0].alias = L"__vorn_quantified";
    const std::string test = "(" + Text(left) + " " + op + " `__vorn_q`.`__vorn_quantified`)";
    const std::string sub = EmitSelect(s);
    if (all)
        e.sql = "(SELECT CASE WHEN max(" + test + " IS 0) THEN 0 WHEN max(" + test +
                " IS NULL) THEN NULL ELSE 1 END FROM (" + sub + ") AS `__vorn_q`)";
    else
        e.sql = "(SELECT CASE WHEN max(" + test + " IS 1) THEN 1 WHEN max(" + test +
                " IS NULL) THEN NULL ELSE 0 END FROM (" + sub + ") AS `__vorn_q`)";
    e.depth = left.depth + 5;
    return e;
}

std::string JetTranslator::ParseInList(bool* hasText, int* depth) {
    ExpectOp(L"(");
    std::string out = "(";
    *depth = 1;
    if (PeekKeyword(L"SELECT")) {
        out += SelectText();
        *depth = 2;
    } else {
        bool first = true;
        do {
            if (!first)
                out += ", ";
            first = false;
            const Expr item = ParseExpr();
            *hasText = *hasText || item.isString;
            *depth = std::max(*depth, item.depth + (item.isBool ? 1 : 0));
            out += Value(item);
        } while (AcceptOp(L","));
    }
    ExpectOp(L")");
    return out + ")";
}

JetTranslator::Expr JetTranslator::ParseConcat() {
    Expr first = ParseAdditive();
    if (!PeekOp(L"&"))
        return first;
    // The operands as text (dates as the engine writes them), joined from the left.
    const int firstDepth = first.depth + (first.isBool ? 1 : 0);
    first.sql = AsText(first);
    first.isBool = first.isColumn = first.isString = false;
    first.depth = firstDepth;
    Chain chain(std::move(first));
    while (PeekOp(L"&")) {
        const Token& at = Next();
        const Expr r = ParseAdditive();
        chain.Fold('&', AsText(r), r.depth + 1, maxFunctionArgs_);
        CheckDepth(chain.Held(), at);
        CheckChainLength(chain, at);
    }
    Expr e = chain.Finish();
    e.text.clear();
    e.type = FixedType(ValueKind::Text);
    return e;
}

JetTranslator::Expr JetTranslator::ParseAdditive() {
    Expr first = ParseMod();
    if (!PeekOp(L"+") && !PeekOp(L"-"))
        return first;
    first.sql = Value(first);
    first.depth += first.isBool ? 1 : 0;
    first.isBool = first.isColumn = first.isString = false;
    first.text.clear();
    Chain chain(std::move(first));
    while (PeekOp(L"+") || PeekOp(L"-")) {
        const Token& at = Next();
        const bool minus = at.value == L"-";
        const Expr r = ParseMod();
        Expr& h = chain.Held();
        h.type = RuleTerm(minus ? TypeRule::Subtract : TypeRule::Add, {h.type, r.type});
        chain.Fold(minus ? '-' : '+', Value(r), r.depth + (r.isBool ? 1 : 0), maxFunctionArgs_);
        CheckDepth(chain.Held(), at);
        CheckChainLength(chain, at);
    }
    return chain.Finish();
}

JetTranslator::Expr JetTranslator::ParseMod() {
    Chain chain(ParseIntDiv());
    while (PeekKeyword(L"MOD")) {
        const Token& at = Next();
        ChainCall(&chain, "jet_mod", ParseIntDiv(), TypeRule::WholeDivision, at);
    }
    return chain.Finish();
}

JetTranslator::Expr JetTranslator::ParseIntDiv() {
    Chain chain(ParseMultiplicative());
    while (PeekOp(L"\\")) {
        const Token& at = Next();
        ChainCall(&chain, "jet_intdiv", ParseMultiplicative(), TypeRule::WholeDivision, at);
    }
    return chain.Finish();
}

JetTranslator::Expr JetTranslator::ParseMultiplicative() {
    Chain chain(ParseUnary());
    bool lastWasTimes = false;
    while (true) {
        if (PeekOp(L"*")) {
            const Token& at = Next();
            const Expr r = ParseUnary();
            Expr& h = chain.Held();
            int depth = h.depth;
            if (h.isBool) {
                chain.Wrap("(-", ")");
                ++depth;
            }
            if (lastWasTimes)  // (a * b * c): one level of parentheses for the run
                chain.Extend(" * " + Value(r));
            else
                chain.Wrap("(", " * " + Value(r) + ")");
            lastWasTimes = true;
            h.depth = std::max(depth, r.depth + (r.isBool ? 1 : 0)) + 1;
            h.isBool = h.isColumn = h.isString = false;
            h.text.clear();
            h.type = RuleTerm(TypeRule::Multiply, {h.type, r.type});
            CheckDepth(h, at);
        } else if (PeekOp(L"/")) {
            const Token& at = Next();
            lastWasTimes = false;
            ChainCall(&chain, "jet_div", ParseUnary(), TypeRule::Fixed, at);
            chain.Held().type = FixedType(ValueKind::Double);
        } else {
            return chain.Finish();
        }
    }
}

JetTranslator::Expr JetTranslator::ParseUnary() {
    if (PeekOp(L"-") || PeekOp(L"+")) {
        const Token& at = Next();
        const bool minus = at.value == L"-";
        Enter();
        const Expr inner = ParseUnary();
        Leave();
        if (!minus)
            return inner;
        Expr e;
        e.sql = "(-" + Value(inner) + ")";
        e.depth = inner.depth + (inner.isBool ? 2 : 1);
        e.type = RuleTerm(TypeRule::SameNumber, {inner.type});
        CheckDepth(e, at);
        return e;
    }
    return ParsePower();
}

JetTranslator::Expr JetTranslator::ParsePower() {
    Chain chain(ParsePrimary());
    while (PeekOp(L"^")) {
        const Token& at = Next();
        ChainCall(&chain, "jet_pow", ParsePowerOperand(), TypeRule::Fixed, at);
        chain.Held().type = FixedType(ValueKind::Double);
    }
    return chain.Finish();
}

JetTranslator::Expr JetTranslator::ParsePowerOperand() {
    if (PeekOp(L"-") || PeekOp(L"+")) {
        const Token& at = Next();
        const bool minus = at.value == L"-";
        Enter();
        const Expr inner = ParsePowerOperand();
        Leave();
        if (!minus)
            return inner;
        Expr e;
        e.sql = "(-" + Value(inner) + ")";
        e.depth = inner.depth + (inner.isBool ? 2 : 1);
        e.type = RuleTerm(TypeRule::SameNumber, {inner.type});
        CheckDepth(e, at);
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
    e.type = FixedType(ValueKind::Date);
    return e;
}

JetTranslator::Expr JetTranslator::ParsePrimary() {
    const Token& t = Peek();
    Expr e;
    switch (t.kind) {
        case TokenKind::Number:
            Next();
            e.sql = WideToUtf8(t.value);
            e.type = FixedType(NumberKind(t.value));
            return e;
        case TokenKind::String:
            Next();
            e.sql = QuoteText(t.value);
            e.isString = true;
            e.text = t.value;
            e.type = FixedType(ValueKind::Text);
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
                    const Select s = ParseNestedSelect();
                    e.sql = "(" + EmitSelect(s) + ")";
                    const SelectCore& first = s.cores[0];
                    if (first.raw.empty() && !first.items.empty())
                        e.type = RuleTerm(TypeRule::Same, {first.items[0].type});
                    e.depth = 2;
                } else {
                    const Expr inner = ParseExpr();
                    e.sql = "(" + inner.sql + ")";
                    e.isBool = inner.isBool;
                    e.depth = inner.depth;
                    e.type = inner.type;
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
        e.type = FixedType(ValueKind::Null);
        return e;
    }
    if (IsKeyword(t, L"TRUE") || IsKeyword(t, L"YES") || IsKeyword(t, L"ON")) {
        Next();
        e.sql = "-1";
        e.type = FixedType(ValueKind::Bool);
        return e;
    }
    if (IsKeyword(t, L"FALSE") || IsKeyword(t, L"NO") || IsKeyword(t, L"OFF")) {
        Next();
        e.sql = "0";
        e.type = FixedType(ValueKind::Bool);
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
        e.depth = 2;
        e.type = FixedType(ValueKind::Bool);
        return e;
    }
    if (t.value.compare(0, 2, L"@@") == 0) {
        if (!IsKeyword(t, L"@@IDENTITY"))
            Fail(t, L"the only system variable is @@IDENTITY");
        Next();
        e.sql = "jet_identity()";
        e.depth = 2;
        e.type = FixedType(ValueKind::Long);
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
    std::vector<std::wstring> parts = ParseDottedName(L"a name", false, &star);
    Expr e;
    if (parts.size() == 1 && !declaredParameters_.empty()) {
        const auto it = declaredParameters_.find(WideLower(parts[0]));
        if (it != declaredParameters_.end()) {
            const DeclaredParameter& p = it->second;
            e.sql = p.hasValue ? "(" + p.value + ")" : "?" + std::to_string(p.number);
            e.type = p.type;
            e.depth = 2;
            return e;
        }
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            e.sql += ".";
        e.sql += QuoteName(parts[i]);
    }
    e.isColumn = true;
    e.text = parts.back();
    e.type = ColumnTerm(std::move(parts), scope_);
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
    int argDepth = 0;
    for (const Expr& a : args)
        argDepth = std::max(argDepth, a.depth + (a.isBool ? 1 : 0));
    e.depth = argDepth + 1;
    CheckDepth(e, nameToken);
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

    // The result's type.
    std::vector<TypeRef> typed;
    switch (fn->kind) {
        case FunctionKind::IIf:
            typed = {args[1].type, args[2].type};
            break;
        case FunctionKind::Switch:
            for (size_t i = 1; i < args.size(); i += 2)
                typed.push_back(args[i].type);
            break;
        case FunctionKind::Choose:
            for (size_t i = 1; i < args.size(); ++i)
                typed.push_back(args[i].type);
            break;
        default:
            for (const Expr& a : args)
                typed.push_back(a.type);
            break;
    }
    e.type = fn->rule == TypeRule::Fixed ? FixedType(fn->result) : RuleTerm(fn->rule, typed);

    switch (fn->kind) {
        case FunctionKind::Scalar:
        case FunctionKind::Aggregate:
        case FunctionKind::NativeAggregate:
        case FunctionKind::Nz: {
            // CStr of a date is the date's text as the engine writes it.
            if (fn->sqliteName == "jet_cstr" && TypeOf(args[0]).kind == ValueKind::Date) {
                e.sql = "jet_cstr(jet_date_text(" + Value(args[0]) + "))";
                ++e.depth;
                return e;
            }
            e.sql = fn->sqliteName + "(" + (distinct ? "DISTINCT " : "");
            if (star)
                e.sql += "*";
            for (size_t i = 0; i < args.size(); ++i)
                e.sql += (i ? ", " : "") + Value(args[i]);
            if (fn->kind == FunctionKind::Nz && count == 1)
                e.sql += ", ''";  // Nz(Null) in a query is the zero-length string
            e.sql += ")";
            const bool aggregate =
                fn->kind == FunctionKind::Aggregate || fn->kind == FunctionKind::NativeAggregate;
            if (aggregate && !pivotMarker_.empty()) {
                // A crosstab's cell aggregates the rows of its pivot value only; a cell
                // without rows is empty, Count's too.
                e.sql += " FILTER (WHERE " + pivotMarker_ + ")";
                if (fn->sqliteName == "count")
                    e.sql = "nullif(" + e.sql + ", 0)";
                ++pivotAggregates_;
                ++e.depth;
            }
            return e;
        }
        case FunctionKind::PassThrough:
            e.sql = Value(args[0]);
            e.depth = args[0].depth + (args[0].isBool ? 1 : 0);
            return e;
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
            ++e.depth;
            return e;
    }
    return e;
}

}  // namespace vorn::provider::sql
