// SELECT: predicates (ALL, DISTINCT, DISTINCTROW, TOP n [PERCENT]), the select list with
// the engine's names for unnamed expressions (Expr1000, Expr1001 ...), INTO, Jet's joins,
// WHERE, GROUP BY, HAVING, UNION and ORDER BY, and the Jet types of the result's columns.
#include <cmath>

#include "schema/schema_catalog.h"
#include "sql/jet_translator.h"
#include "sql/jet_types.h"
#include "sqlite_errors.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::sql {

using schema::SameName;

JetTranslator::Select JetTranslator::ParseNestedSelect() {
    Enter();
    Select s = ParseSelect();
    Leave();
    if (!s.cores.empty() && s.cores[0].into)
        FailRange(s.cores[0].intoAt, s.cores[0].intoAt + 4, L"INTO is not allowed in a subquery");
    return s;
}

std::string JetTranslator::SelectText() {
    return EmitSelect(ParseNestedSelect());
}

JetTranslator::Select JetTranslator::ParseSelect() {
    Select s;
    auto member = [&]() {
        if (PeekOp(L"(")) {
            // A parenthesised member, which may carry its own ORDER BY and TOP.
            Next();
            SelectCore c;
            c.raw = "SELECT * FROM (" + SelectText() + ")";
            ExpectOp(L")");
            s.cores.push_back(std::move(c));
        } else {
            s.cores.push_back(ParseSelectCore());
        }
    };
    member();
    while (PeekKeyword(L"UNION")) {
        Next();
        s.unions.push_back(AcceptKeyword(L"ALL") ? "UNION ALL" : "UNION");
        if (s.unions.size() > 400)
            Fail(Peek(), L"too many UNION members (the engine takes at most 400)");
        member();
    }
    if (PeekKeyword(L"ORDER")) {
        Next();
        ExpectKeyword(L"BY");
        // ORDER BY names the columns of the first member's tables.
        const int previous = scope_;
        if (!s.cores.empty() && s.cores[0].scope >= 0)
            scope_ = s.cores[0].scope;
        s.orderBy = ParseOrderBy();
        scope_ = previous;
    }
    for (size_t i = 0; i < s.cores.size(); ++i)
        if (s.cores[i].into && (i > 0 || s.cores.size() > 1))
            FailRange(s.cores[i].intoAt, s.cores[i].intoAt + 4,
                      L"INTO is not allowed in a UNION query");
    return s;
}

JetTranslator::SelectCore JetTranslator::ParseSelectCore() {
    ExpectKeyword(L"SELECT");
    SelectCore c;
    const int previous = PushScope();
    c.scope = scope_;
    ScanQuerySources(pos_, &scopes_[size_t(scope_)]);
    while (true) {
        if (AcceptKeyword(L"ALL"))
            continue;
        if (AcceptKeyword(L"DISTINCT")) {
            c.distinct = true;
            continue;
        }
        if (AcceptKeyword(L"DISTINCTROW"))
            continue;  // rows of the underlying tables are distinct already
        if (PeekKeyword(L"TOP")) {
            const Token& top = Next();
            const Token& n = Peek();
            if (n.kind != TokenKind::Number)
                Fail(n, L"TOP must be followed by a number");
            Next();
            c.top = true;
            c.topValue = WideToUtf8(n.value);
            c.topPercent = AcceptKeyword(L"PERCENT");
            const double v = std::wcstod(n.value.c_str(), nullptr);
            // A row count is a whole number that SQLite's LIMIT takes (below 2^63; the test
            // comes before the conversion, which is undefined for larger values).
            const bool wholeRows = v >= 1 && v < 9223372036854775808.0 && v == std::floor(v);
            if (c.topPercent ? (v <= 0 || v > 100) : !wholeRows)
                FailRange(top.begin, n.end,
                          c.topPercent ? L"TOP n PERCENT needs a number above 0 and at most 100"
                                       : L"TOP needs a whole number of rows of at least 1 "
                                         L"that fits in 64 bits");
            continue;
        }
        break;
    }
    c.items = ParseSelectList();
    if (PeekKeyword(L"INTO")) {
        c.intoAt = Next().begin;
        c.into = true;
        c.intoTable = ParseName(L"the name of the table to create");
        if (PeekKeyword(L"IN"))
            Fail(Peek(), L"tables in other database files (IN '...') are not supported");
    }
    if (AcceptKeyword(L"FROM"))
        c.from = ParseFromList();
    if (AcceptKeyword(L"WHERE"))
        c.where = Cond(ParseExpr());
    if (PeekKeyword(L"GROUP")) {
        Next();
        ExpectKeyword(L"BY");
        c.groupBy = ParseExprList();
    }
    if (AcceptKeyword(L"HAVING"))
        c.having = Cond(ParseExpr());
    PopScope(previous);
    return c;
}

std::vector<JetTranslator::SelectItem> JetTranslator::ParseSelectList() {
    std::vector<SelectItem> items;
    do {
        SelectItem item;
        if (AcceptOp(L"*")) {
            item.star = true;
            item.sql = "*";
        } else if (PeekName() && (PeekOp(L".", 1) || PeekOp(L"!", 1)) && PeekOp(L"*", 2)) {
            item.sql = QuoteName(Next().value) + ".*";
            Next();
            Next();
            item.star = true;
        } else {
            const Expr e = ParseExpr();
            item.sql = Value(e);
            item.column = e.isColumn;
            item.type = e.type;
            if (AcceptKeyword(L"AS")) {
                item.alias = ParseName(L"a column name after AS");
            } else if (PeekName() && !PeekKeyword(L"INTO")) {
                item.alias = Next().value;
            }
            if (!item.alias.empty())
                item.name = item.alias;
            else if (item.column)
                item.name = e.text;
            else
                item.name = L"Expr" + std::to_wstring(1000 + items.size());
        }
        items.push_back(std::move(item));
    } while (AcceptOp(L","));
    return items;
}

std::vector<std::unique_ptr<JetTranslator::FromNode>> JetTranslator::ParseFromList() {
    std::vector<std::unique_ptr<FromNode>> list;
    do {
        list.push_back(ParseJoinChain());
    } while (AcceptOp(L","));
    return list;
}

std::unique_ptr<JetTranslator::FromNode> JetTranslator::ParseJoinChain() {
    std::unique_ptr<FromNode> left = ParseTablePrimary();
    while (true) {
        std::string type;
        const Token& at = Peek();
        if (AcceptKeyword(L"INNER")) {
            type = "INNER JOIN";
        } else if (AcceptKeyword(L"LEFT")) {
            AcceptKeyword(L"OUTER");
            type = "LEFT JOIN";
        } else if (AcceptKeyword(L"RIGHT")) {
            AcceptKeyword(L"OUTER");
            type = "RIGHT JOIN";
        } else if (PeekKeyword(L"JOIN")) {
            type = "INNER JOIN";
        } else if (PeekKeyword(L"CROSS") || PeekKeyword(L"FULL")) {
            Fail(at, L"Jet joins are INNER JOIN, LEFT JOIN and RIGHT JOIN");
        } else {
            return left;
        }
        ExpectKeyword(L"JOIN");
        auto node = std::make_unique<FromNode>();
        node->kind = FromNode::Join;
        node->joinType = type;
        node->left = std::move(left);
        node->right = ParseTablePrimary();
        if (!AcceptKeyword(L"ON"))
            Fail(Peek(), L"a join needs ON and its condition");
        node->on = Cond(ParseExpr());
        left = std::move(node);
    }
}

std::unique_ptr<JetTranslator::FromNode> JetTranslator::ParseTablePrimary() {
    auto node = std::make_unique<FromNode>();
    if (AcceptOp(L"(")) {
        Enter();
        if (PeekKeyword(L"SELECT")) {
            node->kind = FromNode::Subquery;
            const Select inner = ParseNestedSelect();
            node->sql = "(" + EmitSelect(inner) + ")";
            if (inner.cores[0].raw.empty())
                NoteDerivedColumns(inner.cores[0]);
            ExpectOp(L")");
            Leave();
            if (AcceptKeyword(L"AS") || PeekName()) {
                node->alias = ParseName(L"a name for the subquery");
                node->sql += " AS " + QuoteName(node->alias);
            }
            return node;
        }
        std::unique_ptr<FromNode> inner = ParseJoinChain();
        ExpectOp(L")");
        Leave();
        inner->parenthesized = true;
        return inner;
    }
    bool star = false;
    const size_t begin = Peek().begin;
    const std::vector<std::wstring> parts = ParseDottedName(L"a table name", false, &star);
    node->kind = FromNode::Table;
    const bool external = ParseExternalTable(parts, begin, node.get());
    if (!external) {
        node->table = parts.back();
        for (size_t i = 0; i < parts.size(); ++i)
            node->sql += (i ? "." : "") + QuoteName(parts[i]);
    }
    if (AcceptKeyword(L"AS") || PeekName()) {
        node->alias = ParseName(L"a name for the table");
        node->sql += " AS " + QuoteName(node->alias);
    } else if (external) {
        // Columns are qualified by the table's own name, as written.
        node->sql += " AS " + QuoteName(node->table);
    }
    return node;
}

std::string JetTranslator::EmitFrom(const FromNode& n) {
    if (n.kind != FromNode::Join)
        return n.sql;
    std::string s = EmitFrom(*n.left) + " " + n.joinType + " " + EmitFrom(*n.right) + " ON " + n.on;
    return n.parenthesized ? "(" + s + ")" : s;
}

std::vector<JetTranslator::OrderKey> JetTranslator::ParseOrderBy() {
    std::vector<OrderKey> keys;
    do {
        OrderKey key;
        const bool number = Peek().kind == TokenKind::Number;
        const Expr e = ParseExpr();
        key.sql = Value(e);
        key.number = number && e.sql.find_first_not_of("0123456789") == std::string::npos;
        if (e.isColumn && e.type && e.type->rule == TypeRule::Column)
            key.column = e.type->parts;
        if (AcceptKeyword(L"DESC"))
            key.descending = true;
        else
            AcceptKeyword(L"ASC");
        keys.push_back(std::move(key));
    } while (AcceptOp(L","));
    return keys;
}

std::string JetTranslator::EmitOrderBy(const std::vector<OrderKey>& keys) {
    std::string out;
    for (const OrderKey& k : keys)
        out += (out.empty() ? "" : ", ") + k.sql + (k.descending ? " DESC" : "");
    return out;
}

std::string JetTranslator::ParseExprList() {
    std::string out;
    do {
        if (!out.empty())
            out += ", ";
        out += Value(ParseExpr());
    } while (AcceptOp(L","));
    return out;
}

std::string JetTranslator::EmitItems(const SelectCore& c) {
    std::string out;
    for (size_t i = 0; i < c.items.size(); ++i) {
        const SelectItem& item = c.items[i];
        if (i)
            out += ", ";
        out += item.sql;
        if (!item.alias.empty())
            out += " AS " + QuoteName(item.alias);
        else if (!item.star && !item.column)
            out += " AS `Expr" + std::to_string(1000 + i) + "`";
    }
    return out;
}

std::string JetTranslator::EmitFromTail(const SelectCore& c, bool grouped) {
    std::string out;
    if (!c.from.empty()) {
        out += " FROM ";
        for (size_t i = 0; i < c.from.size(); ++i)
            out += (i ? ", " : "") + EmitFrom(*c.from[i]);
    }
    if (!c.where.empty())
        out += " WHERE " + c.where;
    if (grouped && !c.groupBy.empty())
        out += " GROUP BY " + c.groupBy;
    if (grouped && !c.having.empty())
        out += " HAVING " + c.having;
    return out;
}

std::string JetTranslator::EmitCore(const SelectCore& c, bool withItems) {
    if (!c.raw.empty())
        return c.raw;
    return std::string("SELECT ") + (c.distinct ? "DISTINCT " : "") +
           (withItems ? EmitItems(c) : std::string("1")) + EmitFromTail(c);
}

// TOP n: LIMIT n, and with ORDER BY as many rows as rank within the first n on the ORDER
// BY keys, so that the rows tied with the last one come too, as the engine returns them.
// PERCENT takes the share of the rows the same query gives, rounded up.
std::string JetTranslator::EmitLimit(const SelectCore& c, const std::vector<OrderKey>& orderBy) {
    if (!c.top)
        return "";
    const std::string plain = c.topPercent ? " LIMIT (SELECT jet_top_count(count(*), " +
                                                 c.topValue + ") FROM (" + EmitCore(c) + "))"
                                           : " LIMIT " + c.topValue;
    if (orderBy.empty() || !c.raw.empty())
        return plain;
    // The keys as the window of rank() sees them: SQLite's ORDER BY takes a number or a
    // name of the select list for that column, and over DISTINCT rows the keys are the
    // columns of the result.
    std::string keys;
    for (const OrderKey& k : orderBy) {
        const SelectItem* item = nullptr;
        if (k.number) {
            const size_t n = size_t(std::stoul(k.sql));
            if (n >= 1 && n <= c.items.size())
                item = &c.items[n - 1];
        } else if (k.column.size() == 1) {
            for (const SelectItem& i : c.items)
                if (!i.alias.empty() && SameName(i.alias, k.column[0]))
                    item = &i;
        }
        if (!item && c.distinct) {
            for (const SelectItem& i : c.items)
                if (!i.star && i.sql == k.sql)
                    item = &i;
        }
        std::string sql;
        if (item && item->star)
            return plain;
        if (c.distinct) {
            if (item)
                sql = QuoteName(item->name);
            else if (!k.column.empty())
                sql = QuoteName(k.column.back());
            else
                return plain;  // a key that is not a column of the DISTINCT rows
        } else {
            sql = item ? item->sql : k.sql;
        }
        keys += (keys.empty() ? "" : ", ") + sql + (k.descending ? " DESC" : "");
    }
    std::string ranked = "SELECT rank() OVER (ORDER BY " + keys + ") AS `__vorn_rank`";
    if (c.topPercent)
        ranked += ", count(*) OVER () AS `__vorn_total`";
    ranked += c.distinct ? " FROM (" + EmitCore(c) + ")" : EmitFromTail(c);
    const std::string bound =
        c.topPercent ? "jet_top_count(`__vorn_total`, " + c.topValue + ")" : c.topValue;
    return " LIMIT (SELECT count(*) FROM (" + ranked + ") WHERE `__vorn_rank` <= " + bound + ")";
}

std::string JetTranslator::EmitSelect(const Select& s) {
    if (s.cores.size() == 1) {
        const SelectCore& c = s.cores[0];
        std::string out = EmitCore(c);
        if (!s.orderBy.empty())
            out += " ORDER BY " + EmitOrderBy(s.orderBy);
        return out + EmitLimit(c, s.orderBy);
    }
    std::string out;
    for (size_t i = 0; i < s.cores.size(); ++i) {
        const SelectCore& c = s.cores[i];
        if (i)
            out += " " + s.unions[i - 1] + " ";
        if (c.top)
            out += "SELECT * FROM (" + EmitCore(c) + EmitLimit(c, {}) + ")";
        else
            out += EmitCore(c);
    }
    if (!s.orderBy.empty())
        out += " ORDER BY " + EmitOrderBy(s.orderBy);
    return out;
}

void JetTranslator::NoteResultTypes(const Select& s, TranslationResult* r) {
    const SelectCore& first = s.cores[0];
    if (!first.raw.empty())
        return;
    // The members of a UNION with the first one's shape give each column their common type.
    bool sameShape = true;
    for (const SelectCore& c : s.cores) {
        bool star = false;
        for (const SelectItem& i : c.items)
            star = star || i.star;
        sameShape = sameShape && c.raw.empty() && !star && c.items.size() == first.items.size();
    }
    auto typeAt = [&](size_t i) {
        ResultColumnType t;
        const SelectItem& item = first.items[i];
        if (item.column && s.cores.size() == 1) {
            // A plain column has SQLite's declared type; the dialect's type only stands in
            // where SQLite has none (a subquery's computed column), so no table is read.
            derivedColumnsOnly_ = true;
            const ValueType v = TypeOf(item.type);
            derivedColumnsOnly_ = false;
            t.declared = DeclaredTypeFor(v);
            t.fallback = true;
            return t;
        }
        if (s.cores.size() > 1 && sameShape) {
            std::vector<TypeRef> members;
            for (const SelectCore& c : s.cores)
                members.push_back(c.items[i].type);
            t.declared = DeclaredTypeFor(TypeOf(RuleTerm(TypeRule::Common, members)));
        } else {
            t.declared = DeclaredTypeFor(TypeOf(item.type));
        }
        t.fallback = item.column;
        return t;
    };
    size_t firstStar = first.items.size(), lastStar = 0;
    for (size_t i = 0; i < first.items.size(); ++i)
        if (first.items[i].star) {
            firstStar = std::min(firstStar, i);
            lastStar = i;
        }
    for (size_t i = 0; i < firstStar; ++i)
        r->columnTypes.push_back(typeAt(i));
    if (firstStar < first.items.size())
        for (size_t i = lastStar + 1; i < first.items.size(); ++i)
            r->lastColumnTypes.push_back(typeAt(i));
}

void JetTranslator::TranslateSelectStatement(TranslationResult* r) {
    const Select s = ParseSelect();
    if (AcceptKeyword(L"WITH")) {  // WITH OWNERACCESS OPTION changes nothing here
        if (!AcceptKeyword(L"OWNERACCESS") || !AcceptKeyword(L"OPTION"))
            Fail(Peek(), L"expected WITH OWNERACCESS OPTION");
    }
    ExpectEnd();
    if (!s.cores.empty() && s.cores[0].into) {
        TranslateSelectInto(s, r);
        return;
    }
    r->kind = JetStatementKind::Select;
    r->sql = EmitSelect(s);
    NoteResultTypes(s, r);
}

// SELECT ... INTO t: a new table with the declared types of the result's columns (COUNTER
// columns become LONG; computed columns take their Jet type), then the rows.
void JetTranslator::TranslateSelectInto(const Select& s, TranslationResult* r) {
    const SelectCore& core = s.cores[0];
    const std::string select = EmitSelect(s);
    const std::string target = QuoteName(core.intoTable);
    r->kind = JetStatementKind::SelectInto;
    r->changesSchema = true;
    r->dependsOnSchema = true;
    TranslationResult types;
    NoteResultTypes(s, &types);
    std::string create = "CREATE TABLE " + target + " (";
    if (db_) {
        sqlite3_stmt* stmt = nullptr;
        const int rc = sqlite3_prepare_v2(db_, select.c_str(), int(select.size()), &stmt, nullptr);
        if (rc != SQLITE_OK) {
            const std::string message = sqlite3_errmsg(db_);
            sqlite3_finalize(stmt);
            throw SqliteFailure{rc, message};
        }
        const int n = sqlite3_column_count(stmt);
        for (int i = 0; i < n; ++i) {
            const char* name = sqlite3_column_name(stmt, i);
            const char* decl = sqlite3_column_decltype(stmt, i);
            std::string declared = decl ? decl : "";
            const ResultColumnType* hint = nullptr;
            if (size_t(i) < types.columnTypes.size())
                hint = &types.columnTypes[size_t(i)];
            else if (n - i <= int(types.lastColumnTypes.size()))
                hint = &types.lastColumnTypes[types.lastColumnTypes.size() - size_t(n - i)];
            if (hint && !hint->declared.empty() && (declared.empty() || !hint->fallback))
                declared = hint->declared;
            if (IsCounterDeclared(declared))
                declared = "LONG";
            std::string upper;
            for (char ch : declared)
                upper.push_back((ch >= 'a' && ch <= 'z') ? char(ch - 32) : ch);
            create += (i ? ", " : "") + QuoteName(std::string(name ? name : "")) +
                      (declared.empty() ? "" : " " + declared);
            if (upper.find("TEXT") != std::string::npos || upper.find("CHAR") != std::string::npos)
                create += " COLLATE NOCASE";
        }
        sqlite3_finalize(stmt);
        create += ")";
        r->script.push_back({create, "", ""});
    } else {
        r->script.push_back({"CREATE TABLE " + target + " AS " + select + " LIMIT 0", "", ""});
    }
    r->script.push_back({"INSERT INTO " + target + " " + select, "", ""});
}

}  // namespace vorn::provider::sql
