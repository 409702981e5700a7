// DDL: CREATE TABLE with the Jet types and CONSTRAINT clauses, CREATE [UNIQUE] INDEX with
// WITH PRIMARY | DISALLOW NULL | IGNORE NULL, CREATE VIEW, ALTER TABLE ADD / DROP COLUMN
// and ADD / DROP CONSTRAINT, DROP TABLE, DROP INDEX i ON t, DROP VIEW. SQLite has no
// primary key or NOT NULL to add to an existing table: those become unique indexes with
// triggers that refuse Null, as the engine's indexes WITH DISALLOW NULL refuse it.
#include <cwctype>

#include "sql/jet_dates.h"
#include "sql/jet_identity.h"
#include "sql/jet_translator.h"
#include "vornoledb/platform/text.h"
#include "text_helpers.h"

namespace vorn::provider::sql {
namespace {

const char kNullRefused[] = "index or primary key cannot contain a Null value";
// SQLite knows no primary key added to an existing table: such a key (CREATE INDEX ... WITH
// PRIMARY, ALTER TABLE ... ADD PRIMARY KEY) is a unique index whose text ends with this
// comment, which SQLite keeps, so that the catalog reports it as the primary key and a
// second one is refused.
const char kPrimaryKeyMark[] = " /* PRIMARY KEY */";

}  // namespace

std::string JetTranslator::ParseReferences() {
    const std::wstring table = ParseName(L"the referenced table");
    std::string out = "REFERENCES " + QuoteName(table);
    if (PeekOp(L"("))
        out += " " + ParseColumnList(nullptr);
    while (PeekKeyword(L"ON")) {
        Next();
        std::string event;
        if (AcceptKeyword(L"UPDATE"))
            event = " ON UPDATE";
        else if (AcceptKeyword(L"DELETE"))
            event = " ON DELETE";
        else
            Fail(Peek(), L"expected ON UPDATE or ON DELETE");
        if (AcceptKeyword(L"CASCADE")) {
            out += event + " CASCADE";
        } else if (AcceptKeyword(L"SET")) {
            ExpectKeyword(L"NULL");
            out += event + " SET NULL";
        } else if (AcceptKeyword(L"NO")) {
            ExpectKeyword(L"ACTION");
            out += event + " NO ACTION";
        } else {
            Fail(Peek(), L"expected CASCADE, SET NULL or NO ACTION");
        }
    }
    return out;
}

std::string JetTranslator::ParseColumnList(std::vector<std::wstring>* names) {
    ExpectOp(L"(");
    std::string out = "(";
    bool first = true;
    do {
        const std::wstring name = ParseName(L"a column name");
        if (names)
            names->push_back(name);
        out += (first ? "" : ", ") + QuoteName(name);
        first = false;
        if (AcceptKeyword(L"DESC"))
            out += " DESC";
        else
            AcceptKeyword(L"ASC");
    } while (AcceptOp(L","));
    ExpectOp(L")");
    return out + ")";
}

std::string JetTranslator::ParseDefault(const JetTypeSpec& type, const std::wstring& column) {
    // Now(), Date() and Time() as SQLite's own expressions, so that any client can insert.
    static const struct {
        const wchar_t* name;
        const char* sql;
    } kClock[] = {{L"NOW", "(datetime('now','localtime'))"},
                  {L"DATE", "(date('now','localtime') || ' 00:00:00')"},
                  {L"TIME", "('1899-12-30 ' || time('now','localtime'))"}};
    for (const auto& k : kClock)
        if (PeekKeyword(k.name) && PeekOp(L"(", 1) && PeekOp(L")", 2)) {
            pos_ += 3;
            return k.sql;
        }
    const size_t start = pos_;
    const Token& first = Peek();
    const Expr e = ParseExpr();
    const size_t used = pos_ - start;
    const bool literal = used == 1 || (used == 2 && first.kind == TokenKind::Operator &&
                                       Previous().kind == TokenKind::Number);
    if (e.isString && type.type == JetType::DateTime) {
        ParsedDate d;
        if (!ParseJetDateText(WideToUtf8(e.text), &d, CurrentYear()))
            Fail(first, L"the default '" + e.text + L"' of column " + column + L" is not a date");
        return QuoteText(StampText(d.stamp));
    }
    if (e.isString && type.type == JetType::YesNo) {
        const std::wstring w = WideUpper(e.text);
        if (w == L"YES" || w == L"TRUE" || w == L"ON" || w == L"-1")
            return "-1";
        if (w == L"NO" || w == L"FALSE" || w == L"OFF" || w == L"0")
            return "0";
        Fail(first, L"the default '" + e.text + L"' of column " + column + L" is not Yes or No");
    }
    return literal ? e.sql : "(" + Value(e) + ")";
}

JetTranslator::ColumnDef JetTranslator::ParseColumnDef() {
    ColumnDef c;
    c.at = Peek().begin;
    c.name = ParseName(L"a column name");
    const Token& typeToken = Peek();
    if (typeToken.kind != TokenKind::Name)
        Fail(typeToken, L"expected the data type of column " + c.name);
    std::wstring typeName = Next().value;
    if (WideUpper(typeName) == L"NATIONAL" && Peek().kind == TokenKind::Name)
        typeName += L" " + Next().value;
    if (PeekKeyword(L"VARYING") || PeekKeyword(L"PRECISION"))
        typeName += L" " + Next().value;
    std::vector<int64_t> args;
    if (AcceptOp(L"(")) {
        do {
            const bool negative = AcceptOp(L"-");
            const Token& n = Peek();
            if (n.kind != TokenKind::Number || n.value.find_first_of(L".eE") != std::wstring::npos)
                Fail(n, L"expected a whole number in the data type of column " + c.name);
            Next();
            if (n.value.size() > 15)
                Fail(n, L"the number is too large");
            const int64_t v = std::wcstoll(n.value.c_str(), nullptr, 10);
            args.push_back(negative ? -v : v);
        } while (AcceptOp(L","));
        ExpectOp(L")");
    }
    std::wstring error;
    if (!JetTypeFromName(typeName, args.data(), int(args.size()), &c.type, &error))
        FailRange(typeToken.begin, Previous().end, error + L" (column " + c.name + L")");
    while (true) {
        if (AcceptKeyword(L"NOT")) {
            ExpectKeyword(L"NULL");
            c.notNull = true;
        } else if (AcceptKeyword(L"NULL")) {
        } else if (AcceptKeyword(L"DEFAULT")) {
            c.hasDefault = true;
            c.defaultSql = ParseDefault(c.type, c.name);
        } else if (PeekKeyword(L"WITH") &&
                   (PeekKeyword(L"COMPRESSION", 1) || PeekKeyword(L"COMP", 1))) {
            pos_ += 2;  // Unicode compression is a storage detail of the engine's files
        } else {
            std::wstring constraintName;
            if (AcceptKeyword(L"CONSTRAINT"))
                constraintName = ParseName(L"a constraint name");
            if (AcceptKeyword(L"PRIMARY")) {
                ExpectKeyword(L"KEY");
                c.primaryKey = true;
                c.keyName = constraintName;
            } else if (AcceptKeyword(L"UNIQUE")) {
                c.unique = true;
                if (c.keyName.empty())
                    c.keyName = constraintName;
            } else if (AcceptKeyword(L"REFERENCES")) {
                c.extra.push_back((constraintName.empty()
                                       ? ""
                                       : "CONSTRAINT " + QuoteName(constraintName) + " ") +
                                  ParseReferences());
            } else if (AcceptKeyword(L"CHECK")) {
                ExpectOp(L"(");
                c.extra.push_back("CHECK (" + Cond(ParseExpr()) + ")");
                ExpectOp(L")");
            } else if (PeekKeyword(L"NOT") && PeekKeyword(L"NULL", 1) && !constraintName.empty()) {
                pos_ += 2;
                c.notNull = true;
            } else if (!constraintName.empty()) {
                Fail(Peek(), L"expected PRIMARY KEY, UNIQUE, NOT NULL, REFERENCES or CHECK");
            } else {
                break;
            }
        }
    }
    if (c.type.type == JetType::Counter && c.hasDefault)
        FailRange(c.at, c.at + c.name.size(), L"a COUNTER column cannot have a default value");
    return c;
}

std::string JetTranslator::EmitColumnDef(const ColumnDef& c, bool forAlter) {
    std::string out = QuoteName(c.name) + " " + DeclaredType(c.type);
    if (IsTextType(c.type.type))
        out += " COLLATE NOCASE";
    const bool counter = c.type.type == JetType::Counter;
    if (!forAlter && c.primaryKey)
        out += (c.keyName.empty() ? "" : " CONSTRAINT " + QuoteName(c.keyName)) + " PRIMARY KEY";
    if (!forAlter && c.unique && !c.primaryKey)
        out += (c.keyName.empty() ? "" : " CONSTRAINT " + QuoteName(c.keyName)) + " UNIQUE";
    // A counter is filled in just after its row is inserted: it cannot refuse Null.
    if ((c.notNull || (c.primaryKey && !forAlter) || c.type.type == JetType::YesNo) && !counter)
        out += " NOT NULL";
    if (c.hasDefault)
        out += " DEFAULT " + c.defaultSql;
    else if (c.type.type == JetType::YesNo)
        out += " DEFAULT 0";
    for (const std::string& e : c.extra)
        out += " " + e;
    return out;
}

void JetTranslator::AddNotNullIndexSteps(TranslationResult* r, const std::wstring& index,
                                         const std::wstring& table,
                                         const std::vector<std::wstring>& columns) {
    // COUNTER columns are numbered after the row is in: they never stay Null.
    const auto schema = Schema(table);
    std::vector<std::string> checked;
    for (const std::wstring& c : columns) {
        const ColumnSchema* cs = schema ? schema->Find(WideToUtf8(c)) : nullptr;
        if (!(cs && cs->counter))
            checked.push_back(QuoteName(c));
    }
    if (checked.empty())
        return;
    std::string anyNull, newNull, updateOf;
    for (size_t i = 0; i < checked.size(); ++i) {
        anyNull += (i ? " OR " : "") + checked[i] + " IS NULL";
        newNull += (i ? " OR " : "") + std::string("NEW.") + checked[i] + " IS NULL";
        updateOf += (i ? ", " : "") + checked[i];
    }
    const std::string t = QuoteName(table);
    const std::string message = std::string(kNullRefused) + " (index '" + WideToUtf8(index) +
                                "' on table '" + WideToUtf8(table) + "')";
    r->script.insert(r->script.begin(),
                     {"SELECT 1 FROM " + t + " WHERE " + anyNull + " LIMIT 1", message, ""});
    const std::string raise = " BEGIN SELECT RAISE(ABORT, " + QuoteText(message) + "); END";
    const std::string name = WideToUtf8(index);
    r->script.push_back({"CREATE TRIGGER " + QuoteName("__vorn_notnull_insert." + name) +
                             " BEFORE INSERT ON " + t + " FOR EACH ROW WHEN " + newNull + raise,
                         "", ""});
    r->script.push_back({"CREATE TRIGGER " + QuoteName("__vorn_notnull_update." + name) +
                             " BEFORE UPDATE OF " + updateOf + " ON " + t + " FOR EACH ROW WHEN " +
                             newNull + raise,
                         "", ""});
}

void JetTranslator::TranslateCreate(TranslationResult* r) {
    ExpectKeyword(L"CREATE");
    r->kind = JetStatementKind::Ddl;
    r->changesSchema = true;
    if (PeekKeyword(L"TABLE")) {
        TranslateCreateTable(r);
    } else if (PeekKeyword(L"UNIQUE")) {
        Next();
        TranslateCreateIndex(r, true);
    } else if (PeekKeyword(L"INDEX")) {
        TranslateCreateIndex(r, false);
    } else if (PeekKeyword(L"VIEW")) {
        TranslateCreateView(r);
    } else if (PeekKeyword(L"PROCEDURE") || PeekKeyword(L"PROC")) {
        TranslateCreateProcedure(r);
    } else {
        Fail(Peek(), L"expected TABLE, INDEX, UNIQUE INDEX, VIEW or PROCEDURE after CREATE");
    }
}

void JetTranslator::TranslateCreateTable(TranslationResult* r) {
    ExpectKeyword(L"TABLE");
    const std::wstring table = ParseName(L"the name of the new table");
    ExpectOp(L"(");
    std::vector<ColumnDef> columns;
    std::vector<std::string> constraints;
    std::vector<std::wstring> keyColumns;
    do {
        const bool constraint = PeekKeyword(L"CONSTRAINT") || PeekKeyword(L"PRIMARY") ||
                                PeekKeyword(L"UNIQUE") || PeekKeyword(L"FOREIGN") ||
                                PeekKeyword(L"CHECK");
        if (!constraint) {
            columns.push_back(ParseColumnDef());
            continue;
        }
        std::string prefix;
        if (AcceptKeyword(L"CONSTRAINT"))
            prefix = "CONSTRAINT " + QuoteName(ParseName(L"a constraint name")) + " ";
        if (AcceptKeyword(L"PRIMARY")) {
            ExpectKeyword(L"KEY");
            constraints.push_back(prefix + "PRIMARY KEY " + ParseColumnList(&keyColumns));
        } else if (AcceptKeyword(L"UNIQUE")) {
            constraints.push_back(prefix + "UNIQUE " + ParseColumnList(nullptr));
        } else if (AcceptKeyword(L"FOREIGN")) {
            ExpectKeyword(L"KEY");
            if (AcceptKeyword(L"NO"))
                ExpectKeyword(L"INDEX");
            const std::string cols = ParseColumnList(nullptr);
            ExpectKeyword(L"REFERENCES");
            constraints.push_back(prefix + "FOREIGN KEY " + cols + " " + ParseReferences());
        } else if (AcceptKeyword(L"CHECK")) {
            ExpectOp(L"(");
            constraints.push_back(prefix + "CHECK (" + Cond(ParseExpr()) + ")");
            ExpectOp(L")");
        } else {
            Fail(Peek(), L"expected PRIMARY KEY, UNIQUE, FOREIGN KEY or CHECK");
        }
    } while (AcceptOp(L","));
    ExpectOp(L")");
    ExpectEnd();
    if (columns.empty())
        Fail(Peek(), L"a table needs at least one column");
    int primaryKeys = 0;
    for (const ColumnDef& c : columns)
        primaryKeys += c.primaryKey;
    if (primaryKeys > 1 || (primaryKeys == 1 && !keyColumns.empty()))
        Fail(Peek(), L"a table has only one primary key");
    // Primary key columns refuse Null, as the engine's do.
    for (ColumnDef& c : columns)
        for (const std::wstring& k : keyColumns)
            if (WideUpper(k) == WideUpper(c.name))
                c.notNull = true;
    std::vector<StoreColumnDef> storeColumns;
    for (const ColumnDef& c : columns)
        storeColumns.push_back({c.name, c.type, c.notNull});
    if (TranslateStoreTable(table, storeColumns, r))
        return;
    std::string sql = "CREATE TABLE " + QuoteName(table) + " (";
    for (size_t i = 0; i < columns.size(); ++i)
        sql += (i ? ", " : "") + EmitColumnDef(columns[i], false);
    for (const std::string& c : constraints)
        sql += ", " + c;
    sql += ")";
    std::vector<ScriptStep> counters;
    for (const ColumnDef& c : columns)
        if (c.type.type == JetType::Counter) {
            const auto steps = CounterSetupSteps(WideToUtf8(table), WideToUtf8(c.name), c.type.seed,
                                                 c.type.step, false);
            counters.insert(counters.end(), steps.begin(), steps.end());
        }
    if (counters.empty()) {
        r->sql = sql;
        return;
    }
    r->script.push_back({sql, "", ""});
    r->script.insert(r->script.end(), counters.begin(), counters.end());
}

namespace {
// Refuses, when the statement runs, a primary key on a table that has one already: declared
// in CREATE TABLE, or added as a marked unique index.
void AddSinglePrimaryKeyCheck(TranslationResult* r, const std::wstring& table) {
    const std::string t = JetTranslator::QuoteText(table);
    r->script.insert(r->script.begin(),
                     {"SELECT 1 FROM pragma_table_info(" + t +
                          ") WHERE pk > 0 UNION ALL SELECT 1 FROM sqlite_schema WHERE type = "
                          "'index' AND tbl_name = " +
                          t + " COLLATE NOCASE AND sql LIKE '%" + kPrimaryKeyMark + "'",
                      "primary key already exists on table '" + WideToUtf8(table) + "'", ""});
}
}  // namespace

void JetTranslator::TranslateCreateIndex(TranslationResult* r, bool unique) {
    ExpectKeyword(L"INDEX");
    const std::wstring index = ParseName(L"the name of the new index");
    ExpectKeyword(L"ON");
    const std::wstring table = ParseName(L"the name of the indexed table");
    std::vector<std::wstring> columns;
    const std::string list = ParseColumnList(&columns);
    bool disallowNull = false, ignoreNull = false, primary = false;
    if (AcceptKeyword(L"WITH")) {
        do {
            if (AcceptKeyword(L"PRIMARY")) {
                unique = true;
                disallowNull = true;
                primary = true;
            } else if (AcceptKeyword(L"DISALLOW")) {
                ExpectKeyword(L"NULL");
                disallowNull = true;
            } else if (AcceptKeyword(L"IGNORE")) {
                ExpectKeyword(L"NULL");
                ignoreNull = true;
            } else {
                Fail(Peek(), L"expected PRIMARY, DISALLOW NULL or IGNORE NULL after WITH");
            }
        } while (PeekKeyword(L"PRIMARY") || PeekKeyword(L"DISALLOW") || PeekKeyword(L"IGNORE"));
    }
    ExpectEnd();
    std::string sql = std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " +
                      QuoteName(index) + " ON " + QuoteName(table) + " " + list;
    if (ignoreNull && !disallowNull) {
        // Rows whose indexed columns are all Null stay out of the index.
        std::string present;
        for (size_t i = 0; i < columns.size(); ++i)
            present += (i ? " OR " : "") + QuoteName(columns[i]) + " IS NOT NULL";
        sql += " WHERE " + present;
    }
    if (!disallowNull) {
        r->sql = sql;
        return;
    }
    if (primary)
        sql += kPrimaryKeyMark;
    r->script.push_back({sql, "", ""});
    AddNotNullIndexSteps(r, index, table, columns);
    if (primary)
        AddSinglePrimaryKeyCheck(r, table);
    if (r->script.size() == 1) {  // only COUNTER columns: nothing to refuse
        r->sql = sql;
        r->script.clear();
    }
}

void JetTranslator::TranslateCreateView(TranslationResult* r) {
    ExpectKeyword(L"VIEW");
    const std::wstring view = ParseName(L"the name of the new view");
    std::string columns;
    if (PeekOp(L"("))
        columns = " " + ParseColumnList(nullptr);
    ExpectKeyword(L"AS");
    if (!PeekKeyword(L"SELECT"))
        Fail(Peek(), L"expected SELECT");
    const std::string select = SelectText();
    ExpectEnd();
    // Views and procedures are saved queries: one name space.
    const std::string n = WideToUtf8(view);
    r->script.push_back({"SELECT 1 FROM `" + std::string(kProceduresTableName) +
                             "` WHERE name = " + QuoteText(n) + " COLLATE NOCASE",
                         "a procedure named '" + n + "' already exists", kProceduresTableName});
    r->script.push_back({"CREATE VIEW " + QuoteName(view) + columns + " AS " + select, "", ""});
}

void JetTranslator::TranslateAlter(TranslationResult* r) {
    ExpectKeyword(L"ALTER");
    ExpectKeyword(L"TABLE");
    r->kind = JetStatementKind::Ddl;
    r->changesSchema = true;
    const std::wstring table = ParseName(L"the name of the table to change");
    const std::string t = QuoteName(table);
    const std::string tableUtf8 = WideToUtf8(table);
    if (AcceptKeyword(L"ADD")) {
        const bool constraint = PeekKeyword(L"CONSTRAINT") || PeekKeyword(L"PRIMARY") ||
                                PeekKeyword(L"UNIQUE") || PeekKeyword(L"FOREIGN");
        if (constraint) {
            std::wstring name;
            if (AcceptKeyword(L"CONSTRAINT"))
                name = ParseName(L"a constraint name");
            const Token& kind = Peek();
            bool primary = false;
            if (AcceptKeyword(L"PRIMARY")) {
                ExpectKeyword(L"KEY");
                primary = true;
            } else if (!AcceptKeyword(L"UNIQUE")) {
                Fail(kind,
                     L"SQLite cannot add a FOREIGN KEY or CHECK to an existing table; "
                     L"declare it in CREATE TABLE");
            }
            std::vector<std::wstring> columns;
            const std::string list = ParseColumnList(&columns);
            ExpectEnd();
            if (name.empty())
                name = table + (primary ? L"_PrimaryKey" : L"_Unique");
            const std::string sql = "CREATE UNIQUE INDEX " + QuoteName(name) + " ON " + t + " " +
                                    list + (primary ? kPrimaryKeyMark : "");
            if (!primary) {
                r->sql = sql;
                return;
            }
            r->script.push_back({sql, "", ""});
            AddNotNullIndexSteps(r, name, table, columns);
            AddSinglePrimaryKeyCheck(r, table);
            if (r->script.size() == 1) {
                r->sql = sql;
                r->script.clear();
            }
            return;
        }
        AcceptKeyword(L"COLUMN");
        const ColumnDef c = ParseColumnDef();
        ExpectEnd();
        const std::string add = "ALTER TABLE " + t + " ADD COLUMN " + EmitColumnDef(c, true);
        const std::string column = WideToUtf8(c.name);
        if (c.type.type == JetType::Counter) {
            r->script.push_back({add, "", ""});
            const auto steps = CounterSetupSteps(tableUtf8, column, c.type.seed, c.type.step, true);
            r->script.insert(r->script.end(), steps.begin(), steps.end());
        }
        if (c.primaryKey || c.unique) {
            const std::wstring name = c.keyName.empty() ? table + L"_" + c.name : c.keyName;
            const std::string index = "CREATE UNIQUE INDEX " + QuoteName(name) + " ON " + t + " (" +
                                      QuoteName(c.name) + ")";
            if (r->script.empty())
                r->script.push_back({add, "", ""});
            r->script.push_back({index, "", ""});
            if (c.primaryKey && c.type.type != JetType::Counter) {
                // The new column is Null in every existing row: the key refuses them.
                const std::string message = std::string(kNullRefused) + " (index '" +
                                            WideToUtf8(name) + "' on table '" + tableUtf8 + "')";
                r->script.push_back(
                    {"SELECT 1 FROM " + t + " WHERE " + QuoteName(c.name) + " IS NULL LIMIT 1",
                     message, ""});
                const std::string raise =
                    " BEGIN SELECT RAISE(ABORT, " + QuoteText(message) + "); END";
                const std::string n = WideToUtf8(name);
                const std::string col = QuoteName(c.name);
                r->script.push_back({"CREATE TRIGGER " + QuoteName("__vorn_notnull_insert." + n) +
                                         " BEFORE INSERT ON " + t + " FOR EACH ROW WHEN NEW." +
                                         col + " IS NULL" + raise,
                                     "", ""});
                r->script.push_back({"CREATE TRIGGER " + QuoteName("__vorn_notnull_update." + n) +
                                         " BEFORE UPDATE OF " + col + " ON " + t +
                                         " FOR EACH ROW WHEN NEW." + col + " IS NULL" + raise,
                                     "", ""});
            }
        }
        if (r->script.empty())
            r->sql = add;
        return;
    }
    if (AcceptKeyword(L"DROP")) {
        if (AcceptKeyword(L"CONSTRAINT")) {
            const std::wstring name = ParseName(L"a constraint name");
            ExpectEnd();
            const std::string n = WideToUtf8(name);
            r->script.push_back(
                {"SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM sqlite_schema WHERE "
                 "type = 'index' AND name = " +
                     QuoteText(n) + " COLLATE NOCASE AND tbl_name = " + QuoteText(tableUtf8) +
                     " COLLATE NOCASE)",
                 "there is no constraint '" + n + "' on table '" + tableUtf8 +
                     "' that can be dropped (a primary key or constraint "
                     "declared in CREATE TABLE stays with the table)",
                 ""});
            r->script.push_back({"DROP INDEX " + QuoteName(name), "", ""});
            r->script.push_back(
                {"DROP TRIGGER IF EXISTS " + QuoteName("__vorn_notnull_insert." + n), "", ""});
            r->script.push_back(
                {"DROP TRIGGER IF EXISTS " + QuoteName("__vorn_notnull_update." + n), "", ""});
            return;
        }
        AcceptKeyword(L"COLUMN");
        const std::wstring column = ParseName(L"the name of the column to drop");
        ExpectEnd();
        const std::string drop = "ALTER TABLE " + t + " DROP COLUMN " + QuoteName(column);
        const auto schema = Schema(table);
        const ColumnSchema* cs = schema ? schema->Find(WideToUtf8(column)) : nullptr;
        if (cs && cs->counter) {
            r->script = CounterRemovalSteps(schema->name, cs->name);
            r->script.push_back({drop, "", ""});
        } else {
            r->sql = drop;
        }
        return;
    }
    if (AcceptKeyword(L"ALTER")) {
        TranslateAlterColumn(r, table);
        return;
    }
    Fail(Peek(), L"expected ADD, DROP or ALTER");
}

void JetTranslator::TranslateDrop(TranslationResult* r) {
    ExpectKeyword(L"DROP");
    r->kind = JetStatementKind::Ddl;
    r->changesSchema = true;
    if (AcceptKeyword(L"TABLE")) {
        const std::wstring table = ParseName(L"the name of the table to drop");
        ExpectEnd();
        r->script.push_back({"DROP TABLE " + QuoteName(table), "", ""});
        r->script.push_back(IdentityCleanupStep(WideToUtf8(table)));
        return;
    }
    if (AcceptKeyword(L"INDEX")) {
        const std::wstring index = ParseName(L"the name of the index to drop");
        if (!AcceptKeyword(L"ON"))
            Fail(Peek(), L"DROP INDEX needs the table: DROP INDEX index ON table");
        const std::wstring table = ParseName(L"the name of the index's table");
        ExpectEnd();
        const std::string i = WideToUtf8(index), t = WideToUtf8(table);
        r->script.push_back(
            {"SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM sqlite_schema WHERE type = "
             "'index' AND name = " +
                 QuoteText(i) + " COLLATE NOCASE AND tbl_name = " + QuoteText(t) +
                 " COLLATE NOCASE)",
             "there is no index '" + i + "' on table '" + t + "'", ""});
        r->script.push_back({"DROP INDEX " + QuoteName(index), "", ""});
        r->script.push_back(
            {"DROP TRIGGER IF EXISTS " + QuoteName("__vorn_notnull_insert." + i), "", ""});
        r->script.push_back(
            {"DROP TRIGGER IF EXISTS " + QuoteName("__vorn_notnull_update." + i), "", ""});
        return;
    }
    if (AcceptKeyword(L"VIEW")) {
        const std::wstring view = ParseName(L"the name of the view to drop");
        ExpectEnd();
        r->sql = "DROP VIEW " + QuoteName(view);
        return;
    }
    if (PeekKeyword(L"PROCEDURE") || PeekKeyword(L"PROC")) {
        TranslateDropProcedure(r);
        return;
    }
    Fail(Peek(), L"expected TABLE, INDEX, VIEW or PROCEDURE after DROP");
}

}  // namespace vorn::provider::sql
