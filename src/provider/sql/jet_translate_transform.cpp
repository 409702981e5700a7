// TRANSFORM aggregate SELECT ... GROUP BY ... PIVOT expression [IN (value, ...)]: a crosstab
// query. Its rows are the groups of the SELECT (the row headings, sorted by them unless it
// has an ORDER BY of its own); its columns are the row headings, then one column per value
// of the pivot expression, named after the value (the column of Null is named <>, as the
// engine names it) and holding the aggregate over the group's rows with that value: each
// aggregate of the cell runs with FILTER (WHERE pivot IS value), and a cell without rows is
// empty. With IN the columns are the values listed, in that order; without, the values the
// data holds, sorted as the engine sorts them, which are read when the statement runs (see
// PivotPlan and BuildPivotStatement).
#include "sql/jet_dates.h"
#include "sql/jet_translator.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::sql {
namespace {

// Stands in the aggregate's text for the pivot condition until the values are known. The
// statement's text may not hold it (it is checked), so splitting on it is exact.
const char kConditionMarker[] = "\x01pivot\x01";

std::vector<std::string> Split(const std::string& text, const std::string& marker) {
    std::vector<std::string> parts;
    size_t from = 0;
    while (true) {
        const size_t at = text.find(marker, from);
        if (at == std::string::npos) {
            parts.push_back(text.substr(from));
            return parts;
        }
        parts.push_back(text.substr(from, at - from));
        from = at + marker.size();
    }
}

}  // namespace

void JetTranslator::TranslateTransform(TranslationResult* r) {
    const Token& word = Next();  // TRANSFORM
    if (text_.find(L'\x01') != std::wstring::npos)
        Fail(word, L"a TRANSFORM statement cannot hold the character U+0001");
    // The aggregate comes first but is read in the SELECT's scope: find the SELECT.
    const size_t aggregateAt = pos_;
    size_t select = pos_;
    while (select < tokens_.size() && tokens_[select].kind != TokenKind::End &&
           !IsKeyword(tokens_[select], L"SELECT")) {
        if (tokens_[select].kind == TokenKind::Operator && tokens_[select].value == L"(" &&
            match_[select] != kNoMatch)
            select = match_[select];
        ++select;
    }
    if (select == aggregateAt)
        Fail(Peek(), L"expected the aggregate of the cells (Sum, Count, Avg ...) after TRANSFORM");
    if (select >= tokens_.size() || tokens_[select].kind == TokenKind::End)
        Fail(tokens_.back(), L"expected SELECT ... GROUP BY ... PIVOT after the aggregate");
    pos_ = select;
    SelectCore core = ParseSelectCore();
    if (core.into)
        FailRange(core.intoAt, core.intoAt + 4, L"INTO is not allowed in a TRANSFORM statement");
    if (core.groupBy.empty())
        Fail(Peek(), L"a crosstab query needs GROUP BY for its row headings");
    const int previous = scope_;
    scope_ = core.scope;
    std::vector<OrderKey> orderBy;
    if (PeekKeyword(L"ORDER")) {
        Next();
        ExpectKeyword(L"BY");
        orderBy = ParseOrderBy();
    }
    if (!AcceptKeyword(L"PIVOT"))
        Fail(Peek(), L"expected PIVOT and the expression whose values become the columns");
    // The pivot is read above the comparisons, so that IN starts the list of values.
    Enter();
    const Expr pivot = ParseConcat();
    Leave();
    const std::string pivotSql = Value(pivot);
    struct Listed {
        std::string condition;
        std::wstring name;
    };
    std::vector<Listed> listed;
    bool hasList = false;
    if (AcceptKeyword(L"IN")) {
        hasList = true;
        ExpectOp(L"(");
        do {
            const Token& at = Peek();
            const Expr v = ParseExpr();
            Listed item;
            if (v.type && v.type->rule == TypeRule::Fixed &&
                v.type->fixed.kind == ValueKind::Null && v.sql == "NULL") {
                item.condition = "(" + pivotSql + ") IS NULL";
                item.name = L"<>";
            } else {
                item.condition = "(" + pivotSql + ") IS " + Text(v);
                if (v.isString) {
                    item.name = v.text;
                } else if (at.kind == TokenKind::Date) {
                    ParsedDate d;
                    ParseJetDateText(WideToUtf8(at.value), &d, CurrentYear());
                    item.name = Utf8ToWide(DateDisplayText(d.stamp));
                } else {
                    item.name = text_.substr(at.begin, Previous().end - at.begin);
                }
            }
            listed.push_back(std::move(item));
        } while (AcceptOp(L","));
        ExpectOp(L")");
    }
    if (orderBy.empty() && PeekKeyword(L"ORDER")) {
        Next();
        ExpectKeyword(L"BY");
        orderBy = ParseOrderBy();
    }
    ExpectEnd();
    const size_t end = pos_;

    // The cell: the aggregate read again with its aggregates filtered by the condition.
    pos_ = aggregateAt;
    pivotMarker_ = kConditionMarker;
    pivotAggregates_ = 0;
    const Expr cell = ParseExpr();
    pivotMarker_.clear();
    if (pos_ != select)
        Fail(Peek(), L"expected SELECT after the aggregate of TRANSFORM");
    if (pivotAggregates_ == 0)
        Fail(tokens_[aggregateAt],
             L"the cells of TRANSFORM need an aggregate function (Sum, Count, Avg ...)");
    const std::vector<std::string> parts = Split(Value(cell), kConditionMarker);
    if (int(parts.size()) != pivotAggregates_ + 1)
        Fail(tokens_[aggregateAt], L"the aggregate of TRANSFORM could not be read");
    scope_ = previous;
    pos_ = end;

    const std::string head = "SELECT " + EmitItems(core);
    const std::string tail =
        EmitFromTail(core) + " ORDER BY " + (orderBy.empty() ? core.groupBy : EmitOrderBy(orderBy));
    r->kind = JetStatementKind::Select;
    if (hasList) {
        std::string sql = head;
        for (const Listed& item : listed) {
            sql += ", ";
            for (size_t i = 0; i < parts.size(); ++i)
                sql += (i ? item.condition : std::string()) + parts[i];
            sql += " AS " + QuoteName(item.name);
        }
        r->sql = sql + tail;
    } else {
        auto plan = std::make_shared<PivotPlan>();
        plan->valuesSql = "SELECT DISTINCT " + pivotSql + EmitFromTail(core, false) + " ORDER BY 1";
        plan->head = head;
        plan->cellParts = parts;
        plan->pivotSql = pivotSql;
        plan->tail = tail;
        plan->dateNames = TypeOf(pivot).kind == ValueKind::Date;
        r->pivot = plan;
        // Prepared on its own this stands in for the statement made when it runs.
        r->sql =
            "SELECT jet_raise('a crosstab query whose columns come from its data runs through "
            "the statement cache (JetStatementCache)', 21)";
    }
    r->otherColumnType.declared = DeclaredTypeFor(TypeOf(cell));
    Select s;
    s.cores.push_back(std::move(core));
    NoteResultTypes(s, r);
}

}  // namespace vorn::provider::sql
