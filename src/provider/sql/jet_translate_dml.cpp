// INSERT, UPDATE and DELETE: values written into DATETIME, YESNO, CURRENCY and GUID columns
// are coerced; UPDATE over INNER JOINs becomes UPDATE ... FROM; DELETE t.* over joins
// deletes the target's rows by rowid.
#include <functional>

#include "sql/jet_translator.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::sql {
namespace {

std::wstring LowerName(const std::wstring& s) {
    std::wstring out;
    for (wchar_t c : s)
        out.push_back((c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c);
    return out;
}

}  // namespace

std::shared_ptr<const TableSchema> JetTranslator::Schema(const std::wstring& table) {
    if (!conn_)
        return nullptr;
    schemaRead_ = true;
    return conn_->Table(WideToUtf8(table));
}

std::string JetTranslator::Coerce(const std::string& valueSql, const TableSchema* schema,
                                  const std::wstring& column) {
    if (!schema)
        return valueSql;
    const ColumnSchema* c = schema->Find(WideToUtf8(column));
    const char* fn = c ? StoreFunction(c->store) : nullptr;
    if (!fn)
        return valueSql;
    return std::string(fn) + "(" + valueSql + ", " + QuoteText(schema->name + "." + c->name) + ")";
}

void JetTranslator::TranslateInsert(TranslationResult* r) {
    ExpectKeyword(L"INSERT");
    ExpectKeyword(L"INTO");
    r->kind = JetStatementKind::Insert;
    const std::wstring table = ReachStoreTable(ParseName(L"the name of a table"));
    if (PeekKeyword(L"IN"))
        Fail(Peek(), L"tables in other database files (IN '...') are not supported");
    const auto schema = Schema(table);
    std::vector<std::wstring> columns;
    std::string columnList;
    if (PeekOp(L"(") && !PeekKeyword(L"SELECT", 1) && !PeekOp(L"(", 1)) {
        Next();
        do {
            bool star = false;
            const std::vector<std::wstring> parts = ParseDottedName(L"a column name", false, &star);
            columns.push_back(parts.back());
            columnList += (columnList.empty() ? "" : ", ") + QuoteName(parts.back());
        } while (AcceptOp(L","));
        ExpectOp(L")");
        columnList = " (" + columnList + ")";
    } else if (schema) {
        for (const ColumnSchema& c : schema->columns)
            columns.push_back(Utf8ToWide(c.name));
    }
    bool coerce = false;
    if (schema)
        for (const std::wstring& c : columns) {
            const ColumnSchema* cs = schema->Find(WideToUtf8(c));
            coerce = coerce || (cs && cs->store != StoreKind::None);
        }
    const std::string target = "INSERT INTO " + QuoteName(table) + columnList;
    if (AcceptKeyword(L"VALUES")) {
        std::string rows;
        do {
            ExpectOp(L"(");
            std::string row;
            size_t i = 0;
            do {
                const std::string v = Value(ParseExpr());
                row += (i ? ", " : "") +
                       (i < columns.size() ? Coerce(v, schema.get(), columns[i]) : v);
                ++i;
            } while (AcceptOp(L","));
            ExpectOp(L")");
            rows += (rows.empty() ? "(" : ", (") + row + ")";
        } while (AcceptOp(L","));
        r->sql = target + " VALUES " + rows;
    } else if (PeekKeyword(L"SELECT") || PeekOp(L"(")) {
        const bool paren = AcceptOp(L"(");
        const std::string select = SelectText();
        if (paren)
            ExpectOp(L")");
        if (coerce) {
            // The source's columns by position through a CTE, each coerced to its target.
            std::string names, values;
            for (size_t i = 0; i < columns.size(); ++i) {
                const std::string n = "c" + std::to_string(i + 1);
                names += (i ? ", " : "") + n;
                values += (i ? ", " : "") + Coerce(n, schema.get(), columns[i]);
            }
            r->sql = "WITH `__vorn_source`(" + names + ") AS (" + select + ") " + target +
                     " SELECT " + values + " FROM `__vorn_source`";
        } else {
            r->sql = target + " " + select;
        }
    } else if (AcceptKeyword(L"DEFAULT")) {
        ExpectKeyword(L"VALUES");
        r->sql = target + " DEFAULT VALUES";
    } else {
        Fail(Peek(), L"expected VALUES or SELECT");
    }
    ExpectEnd();
    if (schema && schema->counterIndex >= 0) {
        r->identityTable = schema->name;
        r->identityColumn = schema->columns[size_t(schema->counterIndex)].name;
    }
}

void JetTranslator::TranslateUpdate(TranslationResult* r) {
    ExpectKeyword(L"UPDATE");
    r->kind = JetStatementKind::Update;
    AcceptKeyword(L"DISTINCTROW");
    PushScope();
    ScanSources(pos_, tokens_.size(), &scopes_[size_t(scope_)]);
    std::unique_ptr<FromNode> from = ParseJoinChain();
    ExpectKeyword(L"SET");
    struct Assignment {
        std::wstring qualifier;
        std::wstring column;
        std::string value;
        size_t at;
    };
    std::vector<Assignment> sets;
    do {
        const size_t at = Peek().begin;
        bool star = false;
        const std::vector<std::wstring> parts = ParseDottedName(L"a column name", false, &star);
        ExpectOp(L"=");
        Assignment a;
        a.qualifier = parts.size() > 1 ? parts[parts.size() - 2] : L"";
        a.column = parts.back();
        a.value = Value(ParseExpr());
        a.at = at;
        sets.push_back(std::move(a));
    } while (AcceptOp(L","));
    std::string where;
    if (AcceptKeyword(L"WHERE"))
        where = Cond(ParseExpr());
    ExpectEnd();

    // The tables of the join, left to right, and their ON conditions.
    std::vector<const FromNode*> leaves;
    std::vector<std::string> conditions;
    bool innerOnly = true;
    std::function<void(const FromNode&)> walk = [&](const FromNode& n) {
        if (n.kind == FromNode::Join) {
            innerOnly = innerOnly && n.joinType == "INNER JOIN";
            walk(*n.left);
            walk(*n.right);
            conditions.push_back(n.on);
        } else {
            leaves.push_back(&n);
        }
    };
    walk(*from);

    // The table written: the one the SET columns name, else the one that has the column.
    const FromNode* target = nullptr;
    for (const Assignment& a : sets) {
        if (a.qualifier.empty())
            continue;
        const FromNode* match = nullptr;
        for (const FromNode* leaf : leaves) {
            const std::wstring name = leaf->alias.empty() ? leaf->table : leaf->alias;
            if (LowerName(name) == LowerName(a.qualifier))
                match = leaf;
        }
        if (!match)
            FailRange(a.at, a.at + a.qualifier.size(),
                      L"'" + a.qualifier + L"' is not a table of this UPDATE");
        if (target && target != match)
            FailRange(a.at, a.at + a.qualifier.size(),
                      L"an UPDATE may change the columns of one table only");
        target = match;
    }
    if (!target && leaves.size() > 1) {
        for (const FromNode* leaf : leaves) {
            if (leaf->kind != FromNode::Table)
                continue;
            const auto schema = Schema(leaf->table);
            if (schema && schema->Find(WideToUtf8(sets[0].column))) {
                target = leaf;
                break;
            }
        }
    }
    if (!target)
        target = leaves[0];
    if (target->kind != FromNode::Table)
        Fail(Peek(), L"the table to update must be a table, not a subquery");
    const auto schema = Schema(target->table);
    std::string assignments;
    for (size_t i = 0; i < sets.size(); ++i)
        assignments += (i ? ", " : "") + QuoteName(sets[i].column) + " = " +
                       Coerce(sets[i].value, schema.get(), sets[i].column);

    std::string sql = "UPDATE " + target->sql + " SET " + assignments;
    if (leaves.size() > 1) {
        if (!innerOnly)
            Fail(Peek(), L"an UPDATE over LEFT or RIGHT joins is not supported; use INNER JOIN");
        std::string others;
        for (const FromNode* leaf : leaves)
            if (leaf != target)
                others += (others.empty() ? "" : ", ") + leaf->sql;
        sql += " FROM " + others;
        std::string all;
        for (const std::string& c : conditions)
            all += (all.empty() ? "" : " AND ") + c;
        if (!where.empty())
            all += (all.empty() ? "" : " AND ") + where;
        if (!all.empty())
            sql += " WHERE " + all;
    } else if (!where.empty()) {
        sql += " WHERE " + where;
    }
    r->sql = sql;
}

void JetTranslator::TranslateDelete(TranslationResult* r) {
    ExpectKeyword(L"DELETE");
    r->kind = JetStatementKind::Delete;
    AcceptKeyword(L"DISTINCTROW");
    // DELETE [*|t.*|t.c ...] FROM ...: the named table is the one whose rows go.
    std::wstring named;
    size_t namedAt = 0;
    if (!PeekKeyword(L"FROM")) {
        do {
            if (AcceptOp(L"*"))
                continue;
            namedAt = Peek().begin;
            bool star = false;
            const std::vector<std::wstring> parts = ParseDottedName(L"a table name", true, &star);
            const std::wstring table =
                star || parts.size() == 1 ? parts[0] : parts[parts.size() - 2];
            if (!named.empty() && LowerName(named) != LowerName(table))
                FailRange(namedAt, namedAt + table.size(),
                          L"a DELETE removes rows of one table only");
            named = table;
        } while (AcceptOp(L","));
    }
    ExpectKeyword(L"FROM");
    PushScope();
    ScanSources(pos_, tokens_.size(), &scopes_[size_t(scope_)]);
    std::unique_ptr<FromNode> from = ParseJoinChain();
    std::string where;
    if (AcceptKeyword(L"WHERE"))
        where = Cond(ParseExpr());
    ExpectEnd();
    if (from->kind == FromNode::Table) {
        r->sql = "DELETE FROM " + from->sql + (where.empty() ? "" : " WHERE " + where);
        return;
    }
    if (from->kind == FromNode::Subquery)
        Fail(Peek(), L"cannot delete from a subquery");
    std::vector<const FromNode*> leaves;
    std::function<void(const FromNode&)> walk = [&](const FromNode& n) {
        if (n.kind == FromNode::Join) {
            walk(*n.left);
            walk(*n.right);
        } else {
            leaves.push_back(&n);
        }
    };
    walk(*from);
    if (named.empty())
        Fail(Peek(),
             L"specify the table containing the records you want to delete (DELETE t.* "
             L"FROM ...)");
    const FromNode* target = nullptr;
    for (const FromNode* leaf : leaves) {
        const std::wstring name = leaf->alias.empty() ? leaf->table : leaf->alias;
        if (leaf->kind == FromNode::Table &&
            (LowerName(name) == LowerName(named) || LowerName(leaf->table) == LowerName(named)))
            target = leaf;
    }
    if (!target)
        FailRange(namedAt, namedAt + named.size(),
                  L"'" + named + L"' is not a table of this DELETE");
    const std::wstring ref = target->alias.empty() ? target->table : target->alias;
    r->sql = "DELETE FROM " + QuoteName(target->table) + " WHERE rowid IN (SELECT " +
             QuoteName(ref) + ".rowid FROM " + EmitFrom(*from) +
             (where.empty() ? "" : " WHERE " + where) + ")";
}

}  // namespace vorn::provider::sql
