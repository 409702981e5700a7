// ALTER TABLE t ALTER COLUMN c type: SQLite cannot change a column's type, so the table is
// made again in one savepoint: its rows are copied aside, the table dropped and created
// from its own CREATE statement with the column's new type, the rows put back (each value
// of the column converted by jet_alter_value, which stops the statement on a value that
// does not fit), and its indexes and triggers created again from their own statements.
// Rows keep their rowids, so COUNTER columns keep their numbers and their next value; the
// declared types of the other columns, constraints, defaults and collations stay as
// written. Foreign key enforcement is off meanwhile (RunJetScript), and the rows of the
// table and of the tables that refer to it are checked against their relationships at the
// end.
#include <functional>

#include "schema/definition_text.h"
#include "sql/jet_identity.h"
#include "sql/jet_translator.h"
#include "text_helpers.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::sql {
namespace {

using schema::DefinitionToken;
using schema::DefinitionTokenKind;

bool IsSymbol(const DefinitionToken& t, char c) {
    return t.kind == DefinitionTokenKind::Symbol && t.text[0] == c;
}

bool IsConstraintWord(const DefinitionToken& t) {
    if (t.kind != DefinitionTokenKind::Word)
        return false;
    static const char* const kWords[] = {"CONSTRAINT", "PRIMARY",   "NOT",     "NULL",
                                         "UNIQUE",     "CHECK",     "DEFAULT", "COLLATE",
                                         "REFERENCES", "GENERATED", "AS",      "FOREIGN"};
    const std::string u = AsciiUpper(t.text);
    for (const char* w : kWords)
        if (u == w)
            return true;
    return false;
}

// Where a column's definition lies in a CREATE TABLE statement: the whole definition
// [begin, end) and its type name [typeBegin, typeEnd), and the constraints after the type.
struct ColumnText {
    size_t begin = 0, end = 0, typeBegin = 0, typeEnd = 0;
    std::vector<DefinitionToken> constraints;
};

bool FindColumnText(const std::string& sql, const std::string& column, ColumnText* out) {
    const std::vector<DefinitionToken> t = schema::TokenizeDefinition(sql);
    size_t i = 0;
    while (i < t.size() && !IsSymbol(t[i], '('))
        ++i;
    if (i == t.size())
        return false;
    ++i;
    const std::string wanted = AsciiUpper(column);
    while (i < t.size()) {
        // One definition: up to a comma or the closing parenthesis at this level.
        const size_t first = i;
        int depth = 0;
        size_t j = i;
        for (; j < t.size(); ++j) {
            if (IsSymbol(t[j], '('))
                ++depth;
            else if (IsSymbol(t[j], ')') && depth-- == 0)
                break;
            else if (IsSymbol(t[j], ',') && depth == 0)
                break;
        }
        // A column's definition starts with its name; a table constraint with a keyword.
        const bool isColumn =
            first < j &&
            (t[first].kind == DefinitionTokenKind::QuotedName ||
             t[first].kind == DefinitionTokenKind::String ||
             (t[first].kind == DefinitionTokenKind::Word && !IsConstraintWord(t[first])));
        if (isColumn && AsciiUpper(t[first].text) == wanted) {
            out->begin = t[first].begin;
            out->end = t[j - 1].end;
            size_t k = first + 1;
            out->typeBegin = out->typeEnd = t[first].end;
            while (k < j && t[k].kind == DefinitionTokenKind::Word && !IsConstraintWord(t[k])) {
                out->typeEnd = t[k].end;
                ++k;
                if (k < j && IsSymbol(t[k], '(')) {
                    int d = 0;
                    for (; k < j; ++k) {
                        if (IsSymbol(t[k], '('))
                            ++d;
                        else if (IsSymbol(t[k], ')') && --d == 0)
                            break;
                    }
                    if (k < j)
                        out->typeEnd = t[k++].end;
                }
            }
            if (out->typeBegin == out->typeEnd)
                out->typeBegin = out->typeEnd = t[first].end;
            else
                out->typeBegin = t[first + 1].begin;
            out->constraints.assign(t.begin() + long(k), t.begin() + long(j));
            return true;
        }
        if (j >= t.size() || IsSymbol(t[j], ')'))
            return false;
        i = j + 1;
    }
    return false;
}

}  // namespace

void JetTranslator::TranslateAlterColumn(TranslationResult* r, const std::wstring& table) {
    AcceptKeyword(L"COLUMN");
    const size_t at = Peek().begin;
    const ColumnDef c = ParseColumnDef();
    if (c.primaryKey || c.unique || c.hasDefault || !c.extra.empty())
        FailRange(at, Previous().end,
                  L"ALTER COLUMN changes a column's data type and size (and NOT NULL); "
                  L"add keys with ALTER TABLE ... ADD CONSTRAINT");
    ExpectEnd();
    if (c.type.type == JetType::Counter)
        FailRange(at, Previous().end,
                  L"a column cannot be changed to COUNTER: add a new COUNTER column instead");
    if (!db_)
        FailRange(at, Previous().end, L"ALTER COLUMN needs the database to read the table from");
    r->dependsOnSchema = true;

    // The table as SQLite keeps it.
    auto query = [&](const std::string& sql, const std::string& param,
                     const std::function<void(sqlite3_stmt*)>& row) {
        sqlite3_stmt* s = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql.c_str(), int(sql.size()), &s, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_text(s, 1, param.data(), int(param.size()), SQLITE_TRANSIENT);
            while ((rc = sqlite3_step(s)) == SQLITE_ROW)
                row(s);
        }
        const std::string message = sqlite3_errmsg(db_);
        sqlite3_finalize(s);
        if (rc != SQLITE_DONE)
            throw SqliteFailure{rc, message};
    };
    auto text = [](sqlite3_stmt* s, int i) {
        const unsigned char* p = sqlite3_column_text(s, i);
        return p ? std::string(reinterpret_cast<const char*>(p)) : std::string();
    };
    std::string name, createSql;
    query(
        "SELECT name, sql FROM main.sqlite_schema WHERE type = 'table' AND name = ?1 COLLATE "
        "NOCASE",
        WideToUtf8(table), [&](sqlite3_stmt* s) {
            name = text(s, 0);
            createSql = text(s, 1);
        });
    if (name.empty())
        throw SqliteFailure{SQLITE_ERROR, "no such table: " + WideToUtf8(table)};
    if (name.compare(0, 7, "sqlite_") == 0 || name.compare(0, 6, "__vorn") == 0)
        FailRange(at, Previous().end, L"the columns of a system table cannot be changed");
    struct Column {
        std::string name, declared;
        bool copied = true;  // not a generated column
        bool pk = false;
    };
    std::vector<Column> columns;
    query("SELECT name, type, pk, hidden FROM pragma_table_xinfo(?1)", name, [&](sqlite3_stmt* s) {
        Column col;
        col.name = text(s, 0);
        col.declared = text(s, 1);
        col.pk = sqlite3_column_int(s, 2) != 0;
        col.copied = sqlite3_column_int(s, 3) == 0;
        columns.push_back(std::move(col));
    });
    const std::string wanted = WideToUtf8(c.name);
    const Column* target = nullptr;
    for (const Column& col : columns)
        if (AsciiUpper(col.name) == AsciiUpper(wanted))
            target = &col;
    if (!target)
        throw SqliteFailure{SQLITE_ERROR, "no such column: " + wanted + " (in table " + name + ")"};
    if (!target->copied)
        FailRange(at, Previous().end, L"a generated column's type cannot be changed");
    ColumnText where;
    if (!FindColumnText(createSql, target->name, &where))
        FailRange(at, Previous().end,
                  L"the definition of column " + c.name +
                      L" could not be read from the table's "
                      L"CREATE statement");

    // The column's definition with the new type: its constraints stay, its collation
    // follows the type (text compares without regard to case), a Yes/No column refuses Null.
    const std::string newType = DeclaredType(c.type);
    std::string definition = createSql.substr(where.begin, where.typeBegin - where.begin);
    if (where.typeBegin == where.typeEnd)
        definition += " ";
    definition += newType;
    if (IsTextType(c.type.type))
        definition += " COLLATE NOCASE";
    bool notNull = false, hasDefault = false;
    const auto& k = where.constraints;
    for (size_t i = 0; i < k.size(); ++i) {
        const std::string word =
            k[i].kind == DefinitionTokenKind::Word ? AsciiUpper(k[i].text) : "";
        if (word == "COLLATE" && i + 1 < k.size()) {
            ++i;  // the old collation goes with the old type
            continue;
        }
        notNull =
            notNull || (word == "NOT" && i + 1 < k.size() && AsciiUpper(k[i + 1].text) == "NULL");
        hasDefault = hasDefault || word == "DEFAULT";
        definition += " " + createSql.substr(k[i].begin, k[i].end - k[i].begin);
    }
    if ((c.notNull || c.type.type == JetType::YesNo) && !notNull)
        definition += " NOT NULL";
    if (c.type.type == JetType::YesNo && !hasDefault)
        definition += " DEFAULT 0";
    const std::string newCreate =
        createSql.substr(0, where.begin) + definition + createSql.substr(where.end);

    // Whether rows keep their rowid by copying it (not when a column is the rowid).
    int keyColumns = 0;
    bool rowidColumn = false;
    for (const Column& col : columns) {
        keyColumns += col.pk;
        rowidColumn = rowidColumn || (col.pk && AsciiUpper(col.declared) == "INTEGER");
    }
    const std::string upperCreate = AsciiUpper(createSql);
    const bool withoutRowid = upperCreate.find("WITHOUT ROWID") != std::string::npos;
    const bool copyRowid = !withoutRowid && !(rowidColumn && keyColumns == 1);

    const std::string t = QuoteName(name);
    const std::string aside = "temp.`__vorn_alter_rows`";
    std::string list, values;
    for (const Column& col : columns) {
        if (!col.copied)
            continue;
        const std::string q = QuoteName(col.name);
        list += (list.empty() ? "" : ", ") + q;
        values += (values.empty() ? "" : ", ");
        if (&col == target)
            values += "jet_alter_value(" + q + ", " + QuoteText(newType) + ", " +
                      QuoteText(col.declared) + ", " + QuoteText(name + "." + col.name) + ")";
        else
            values += q;
    }
    r->rebuiltTable = name;
    auto step = [&](const std::string& sql, const std::string& failIfRows = std::string(),
                    const std::string& onlyIfTable = std::string()) {
        r->script.push_back({sql, failIfRows, onlyIfTable});
    };
    step("DROP TABLE IF EXISTS " + aside);
    step("CREATE TABLE " + aside + " AS SELECT " +
         (copyRowid ? std::string("rowid AS `__vorn_rowid`, ") : std::string()) + list + " FROM " +
         t);
    const bool autoincrement = upperCreate.find("AUTOINCREMENT") != std::string::npos;
    if (autoincrement) {
        step("DROP TABLE IF EXISTS temp.`__vorn_alter_sequence`");
        step(
            "CREATE TABLE temp.`__vorn_alter_sequence` AS SELECT seq FROM main.sqlite_sequence "
            "WHERE name = " +
                QuoteText(name),
            "", "sqlite_sequence");
    }
    // The indexes and triggers go with the table: their statements, to make them again.
    std::vector<std::string> indexes, triggers;
    query(
        "SELECT sql FROM main.sqlite_schema WHERE type = 'index' AND tbl_name = ?1 AND sql IS "
        "NOT NULL",
        name, [&](sqlite3_stmt* s) { indexes.push_back(text(s, 0)); });
    const bool wasCounter = IsCounterDeclared(target->declared);
    query("SELECT name, sql FROM main.sqlite_schema WHERE type = 'trigger' AND tbl_name = ?1", name,
          [&](sqlite3_stmt* s) {
              const std::string trigger = text(s, 0);
              const std::string own = name + "." + target->name;
              if (wasCounter && (AsciiUpper(trigger) == AsciiUpper("__vorn_counter." + own) ||
                                 AsciiUpper(trigger) == AsciiUpper("__vorn_counter_lock." + own)))
                  return;  // the column stops numbering its rows
              triggers.push_back(text(s, 1));
          });
    step("DROP TABLE " + t);
    step(newCreate);
    step("INSERT INTO " + t + " (" + (copyRowid ? std::string("rowid, ") : std::string()) + list +
         ") SELECT " + (copyRowid ? std::string("`__vorn_rowid`, ") : std::string()) + values +
         " FROM " + aside + (copyRowid ? " ORDER BY `__vorn_rowid`" : ""));
    step("DROP TABLE " + aside);
    if (autoincrement) {
        step(
            "UPDATE main.sqlite_sequence SET seq = max(seq, (SELECT seq FROM "
            "temp.`__vorn_alter_sequence`)) WHERE name = " +
                QuoteText(name),
            "", "sqlite_sequence");
        step("DROP TABLE IF EXISTS temp.`__vorn_alter_sequence`");
    }
    for (const std::string& sql : indexes)
        step(sql);
    for (const std::string& sql : triggers)
        step(sql);
    if (wasCounter) {
        const auto removal = CounterRemovalSteps(name, target->name);
        r->script.insert(r->script.end(), removal.begin(), removal.end());
    }
    // The relationships hold for the rows as they are now: this table's own, and those of
    // the tables that refer to it.
    std::vector<std::string> children;
    query(
        "SELECT DISTINCT s.name FROM main.sqlite_schema AS s, pragma_foreign_key_list(s.name) "
        "AS f WHERE s.type = 'table' AND f.\"table\" = ?1 COLLATE NOCASE",
        name, [&](sqlite3_stmt* s) { children.push_back(text(s, 0)); });
    children.insert(children.begin(), name);
    for (const std::string& child : children)
        step("SELECT 1 FROM pragma_foreign_key_check(" + QuoteText(child) + ") LIMIT 1",
             "changing column " + target->name + " of table " + name + " leaves rows of table " +
                 child + " without their related record (a relationship refuses the new values)");
}

}  // namespace vorn::provider::sql
