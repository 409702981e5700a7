// The Jet (Access) SQL dialect on SQLite: what the embedded provider calls to run host SQL.
//
//   RegisterJetFunctions(db)      once per new sqlite3 handle: the Jet functions, the
//                                 connection's @@IDENTITY, foreign keys on.
//   JetStatementCache             (jet_statement_cache.h) per handle: Acquire(hostSql) gives
//                                 a prepared statement, Step runs it, Release returns it.
//   TranslateJetSql(db, sql)      the translation alone, for callers that prepare
//                                 themselves; RunJetScript and NoteJetStatementDone then do
//                                 what the cache's Step does.
//   GetIdentityInfo(...)          seed and step of a COUNTER column, for the schema.
//
// Translation reads Jet SQL with a tokenizer and a parser and writes SQLite SQL: names
// quoted with backquotes, string and #date# literals as SQLite strings (dates as
// 'YYYY-MM-DD HH:MM:SS'), Jet operators and functions as calls of the jet_* functions,
// TOP as LIMIT, Jet's joins, SELECT ... INTO, UPDATE and DELETE over joins, and DDL with
// the Jet types (see jet_types.h for the declared types). Values written to DATETIME,
// YESNO, CURRENCY and GUID columns are coerced, so the translation of INSERT and UPDATE
// depends on the schema. Some Jet statements become several SQLite statements (DDL that
// creates COUNTER columns or indexes that refuse Null, SELECT ... INTO, DROP TABLE,
// DROP INDEX): their TranslationResult carries a script that runs in one savepoint.
//
// COUNTER columns: each has a row in the table __vorn_identity (table_name, column_name,
// seed, step, next_value) and two triggers (__vorn_counter.<table>.<column> numbers a row
// inserted without a value and moves the counter past a value inserted explicitly;
// __vorn_counter_lock.<table>.<column> refuses changing the value). Numbers are never
// reused after a delete. The counter lives in the database, inside the writing
// transaction: a rolled-back insert gives its number back, so the next insert reuses it
// (as SQLite's own AUTOINCREMENT does; the Windows engine would skip it). @@IDENTITY is
// the last number this connection generated (0 before any), kept across rollbacks.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace vorn::provider::sql {

// The provider's own table of COUNTER columns (a system table to the schema rowsets).
inline constexpr char kIdentityTableName[] = "__vorn_identity";
// The provider's own table of saved procedures: name, definition (Jet SQL), created and
// modified ('YYYY-MM-DD HH:MM:SS').
inline constexpr char kProceduresTableName[] = "__vorn_procedures";

enum class JetStatementKind {
    Select,
    SelectInto,
    Insert,
    Update,
    Delete,
    Ddl,          // CREATE / ALTER / DROP
    Transaction,  // BEGIN / COMMIT / ROLLBACK
};

// One SQLite statement of a script. When failIfRows is set the statement is a query and a
// row from it fails the script with that message; when onlyIfTable is set the step runs
// only if that table exists.
struct ScriptStep {
    std::string sql;
    std::string failIfRows;
    std::string onlyIfTable;
};

// The type a result column reports where the dialect knows it (the Jet type of an
// expression: Currency for Sum of a Currency column, Yes/No for a comparison ...).
struct ResultColumnType {
    std::string declared;   // a declared type ("CURRENCY"); empty: SQLite's own rules
    bool fallback = false;  // only where SQLite knows no declared type for the column
};

// A crosstab (TRANSFORM ... PIVOT) whose columns come from the data: at each run the
// distinct pivot values are read (valuesSql), and the statement is made with one column
// per value: head, then for each value the cell (cellParts joined by the value's
// condition on pivotSql) named after the value, then tail. See BuildPivotStatement.
struct PivotPlan {
    std::string valuesSql;
    std::string head;
    std::vector<std::string> cellParts;
    std::string pivotSql;
    std::string tail;
    bool dateNames = false;  // the pivot values are dates: columns named by their date text
};

struct TranslationResult {
    bool ok = true;
    // On failure: a message in the host's terms ("syntax error in SELECT statement near
    // 'FROM' at position 8: ..."), its SQLSTATE (42000 for syntax and name errors the
    // translator finds), the 1-based position in the host's text (0 when unknown), and the
    // SQLite result code when SQLite refused the translated statement (0 otherwise).
    std::wstring message;
    std::wstring sqlState;
    int position = 0;
    int sqliteCode = 0;

    // On success: the statement to prepare (UTF-8). When script is not empty, sql is a
    // stand-in that fails if stepped directly: run the script instead (RunJetScript or
    // JetStatementCache::Step); its parameters are those of the script's statements.
    std::string sql;
    std::vector<ScriptStep> script;
    JetStatementKind kind = JetStatementKind::Select;
    bool changesSchema = false;    // DDL: cached translations depending on the schema expire
    bool dependsOnSchema = false;  // translated with column types read from the schema
    // INSERT into a table with a COUNTER column: after it runs, @@IDENTITY is that
    // column's value in the last row inserted.
    std::string identityTable;
    std::string identityColumn;
    // The Jet types of the result's columns: columnTypes for the first columns,
    // lastColumnTypes for the last ones (those after a *), otherColumnType for the rest.
    std::vector<ResultColumnType> columnTypes;
    std::vector<ResultColumnType> lastColumnTypes;
    ResultColumnType otherColumnType;
    // A crosstab whose statement is made at each run (sql is then a stand-in that fails).
    std::shared_ptr<const PivotPlan> pivot;
    // ALTER COLUMN: the table the script rebuilds, with foreign key enforcement off
    // meanwhile (RunJetScript).
    std::string rebuiltTable;
};

// Registers the Jet functions (jet_left ... jet_varp, jet_identity) on db and turns on
// foreign key enforcement, as the engine enforces the relationships DDL declares. Safe to
// call more than once. Returns SQLITE_OK or the SQLite code of the failure.
int RegisterJetFunctions(sqlite3* db);

// Translates host SQL. db (may be null: no schema lookups, no name checks of functions)
// supplies the column types that coercion needs and the functions SQLite knows.
TranslationResult TranslateJetSql(sqlite3* db, const std::wstring& hostSql);

// Runs a translation's script in one savepoint. Returns SQLITE_DONE, or the failing step's
// code with db's error message describing the failure (everything the script did undone).
// params, when not null, is a prepared statement whose bound parameters the script's
// statements with the same parameter count take over (the stand-in statement).
// rebuiltTable, when not empty, names a table the script drops and makes again: foreign
// key enforcement is off while the script runs (the rebuilt rows are checked at its end),
// and inside the host's own transaction, where it cannot be turned off, the script is
// refused when another table refers to that one.
int RunJetScript(sqlite3* db, const std::vector<ScriptStep>& script, sqlite3_stmt* params = nullptr,
                 const std::string& rebuiltTable = std::string());

// The statement of a crosstab for the pivot values the data holds now (read with
// plan.valuesSql on db). Returns SQLITE_OK with *sql set, or the failing SQLite code with
// db's error message describing the failure. Run it inside the read transaction in which
// the statement will run, so that the columns and the rows come from one state of the
// data (JetStatementCache does).
int BuildPivotStatement(sqlite3* db, const PivotPlan& plan, std::string* sql);

// After SQLite refused to prepare a translated statement: a refusal whose message names
// no limit in words (SQLite's "parser stack overflow") is given one that does, on db.
void ExplainPrepareFailure(sqlite3* db, int code);

// Leaves code and message as db's error (sqlite3_errcode, sqlite3_errmsg).
void Reraise(sqlite3* db, int code, const std::string& message);

// After a translated statement ran to its end: records @@IDENTITY after an INSERT into a
// table with a COUNTER column, and lets schema-dependent translations expire after DDL.
void NoteJetStatementDone(sqlite3* db, const TranslationResult& translation);

// The last COUNTER value this connection generated (@@IDENTITY), 0 before any.
long long LastJetIdentity(sqlite3* db);

// Seed and step of the COUNTER column table.column (names in any case). False when the
// column is not a COUNTER column of the provider's identity table.
bool GetIdentityInfo(sqlite3* db, const std::wstring& table, const std::wstring& column,
                     long long* seed, long long* step);

}  // namespace vorn::provider::sql
