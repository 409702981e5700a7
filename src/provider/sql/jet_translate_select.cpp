// SELECT: predicates (ALL, DISTINCT, DISTINCTROW, TOP n [PERCENT]), the select list with
// the engine's names for unnamed expressions (Expr1000, Expr1001 ...), INTO, Jet's joins,
// WHERE, GROUP BY, HAVING, UNION and ORDER BY.
#include <cmath>

#include "sql/jet_translator.h"
#include "sql/jet_types.h"
#include "sqlite_errors.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::sql {

std::string JetTranslator::SelectText() {
    Enter();
    const Select s = ParseSelect();
    Leave();
    if (!s.cores.empty() && s.cores[0].into)
        FailRange(s.cores[0].intoAt, s.cores[0].intoAt + 4, L"INTO is not allowed in a subquery");
    return EmitSelect(s);
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
            Fail(Peek(), L"too many UNION members");
        member();
    }
    if (PeekKeyword(L"ORDER")) {
        Next();
        ExpectKeyword(L"BY");
        s.orderBy = ParseOrderBy();
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
            if (AcceptKeyword(L"AS")) {
                item.alias = ParseName(L"a column name after AS");
            } else if (PeekName() && !PeekKeyword(L"INTO")) {
                item.alias = Next().value;
            }
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
            node->sql = "(" + SelectText() + ")";
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

std::string JetTranslator::ParseOrderBy() {
    std::string out;
    do {
        if (!out.empty())
            out += ", ";
        out += Value(ParseExpr());
        if (AcceptKeyword(L"DESC"))
            out += " DESC";
        else
            AcceptKeyword(L"ASC");
    } while (AcceptOp(L","));
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

std::string JetTranslator::EmitFromTail(const SelectCore& c) {
    std::string out;
    if (!c.from.empty()) {
        out += " FROM ";
        for (size_t i = 0; i < c.from.size(); ++i)
            out += (i ? ", " : "") + EmitFrom(*c.from[i]);
    }
    if (!c.where.empty())
        out += " WHERE " + c.where;
    if (!c.groupBy.empty())
        out += " GROUP BY " + c.groupBy;
    if (!c.having.empty())
        out += " HAVING " + c.having;
    return out;
}

std::string JetTranslator::EmitCore(const SelectCore& c, bool withItems) {
    if (!c.raw.empty())
        return c.raw;
    return std::string("SELECT ") + (c.distinct ? "DISTINCT " : "") +
           (withItems ? EmitItems(c) : std::string("1")) + EmitFromTail(c);
}

std::string JetTranslator::EmitSelect(const Select& s) {
    // TOP: LIMIT n, or for PERCENT the share of the rows the same query gives, rounded up.
    auto limitOf = [&](const SelectCore& c) -> std::string {
        if (!c.top)
            return "";
        if (!c.topPercent)
            return " LIMIT " + c.topValue;
        return " LIMIT (SELECT jet_top_count(count(*), " + c.topValue + ") FROM (" + EmitCore(c) +
               "))";
    };
    if (s.cores.size() == 1) {
        const SelectCore& c = s.cores[0];
        std::string out = EmitCore(c);
        if (!s.orderBy.empty())
            out += " ORDER BY " + s.orderBy;
        return out + limitOf(c);
    }
    std::string out;
    for (size_t i = 0; i < s.cores.size(); ++i) {
        const SelectCore& c = s.cores[i];
        if (i)
            out += " " + s.unions[i - 1] + " ";
        if (c.top)
            out += "SELECT * FROM (" + EmitCore(c) + limitOf(c) + ")";
        else
            out += EmitCore(c);
    }
    if (!s.orderBy.empty())
        out += " ORDER BY " + s.orderBy;
    return out;
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
}

// SELECT ... INTO t: a new table with the declared types of the result's columns (COUNTER
// columns become LONG), then the rows.
void JetTranslator::TranslateSelectInto(const Select& s, TranslationResult* r) {
    const SelectCore& core = s.cores[0];
    const std::string select = EmitSelect(s);
    const std::string target = QuoteName(core.intoTable);
    r->kind = JetStatementKind::SelectInto;
    r->changesSchema = true;
    r->dependsOnSchema = true;
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
