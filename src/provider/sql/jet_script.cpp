// Running a translation's script in one savepoint, and the bookkeeping after a translated
// statement ran (@@IDENTITY, schema changes).
#include <sqlite3.h>

#include <cstring>

#include "sql/jet_connection.h"
#include "sql/jet_sql.h"
#include "sql/jet_translator.h"

namespace vorn::provider::sql {
namespace {

constexpr char kSavepoint[] = "`__vorn_jet_script`";

int Exec(sqlite3* db, const std::string& sql) {
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

bool TableExists(sqlite3* db, const std::string& table) {
    sqlite3_stmt* stmt = nullptr;
    bool found = false;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?1", -1,
                           &stmt, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, table.data(), int(table.size()), SQLITE_TRANSIENT);
        found = sqlite3_step(stmt) == SQLITE_ROW;
    }
    sqlite3_finalize(stmt);
    return found;
}

}  // namespace

// Leaves db's error code and message describing the failure (after the rollback that
// would otherwise have replaced them), by having SQLite raise the same error.
void Reraise(sqlite3* db, int code, const std::string& message) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT jet_raise(?1, ?2)", -1, &stmt, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, message.data(), int(message.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(stmt, 2, code);
        sqlite3_step(stmt);
    }
    sqlite3_finalize(stmt);
}

void ExplainPrepareFailure(sqlite3* db, int code) {
    if (std::strcmp(sqlite3_errmsg(db), "parser stack overflow") == 0)
        Reraise(db, code,
                "the statement nests parentheses, function calls or subqueries more deeply "
                "than the engine's parser takes (parser stack overflow): write it with fewer "
                "levels of nesting, or split it");
}

namespace {

// Runs one step; returns SQLITE_DONE or the failure with *message set.
int RunStep(sqlite3* db, const ScriptStep& step, sqlite3_stmt* params, std::string* message) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, step.sql.c_str(), int(step.sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) {
        *message = sqlite3_errmsg(db);
        sqlite3_finalize(stmt);
        return rc;
    }
    // The stand-in statement holds the host's parameters for the step that takes them.
    const int count = sqlite3_bind_parameter_count(stmt);
    const bool borrow = params && count > 0 && count == sqlite3_bind_parameter_count(params);
    if (borrow)
        sqlite3_transfer_bindings(params, stmt);
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (!step.failIfRows.empty()) {
            rc = SQLITE_CONSTRAINT;
            *message = step.failIfRows;
            break;
        }
    }
    if (rc != SQLITE_DONE && message->empty())
        *message = sqlite3_errmsg(db);
    if (borrow) {
        sqlite3_reset(stmt);
        sqlite3_transfer_bindings(stmt, params);
    }
    sqlite3_finalize(stmt);
    return rc;
}

int RunScriptLocked(sqlite3* db, const std::vector<ScriptStep>& script, sqlite3_stmt* params);

// One integer a query gives (fallback when it gives none).
int64_t QueryInteger(sqlite3* db, const char* sql, const std::string& param, int64_t fallback) {
    sqlite3_stmt* stmt = nullptr;
    int64_t v = fallback;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK) {
        if (sqlite3_bind_parameter_count(stmt) > 0)
            sqlite3_bind_text(stmt, 1, param.data(), int(param.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(stmt) == SQLITE_ROW)
            v = sqlite3_column_int64(stmt, 0);
    }
    sqlite3_finalize(stmt);
    return v;
}

}  // namespace

int RunJetScript(sqlite3* db, const std::vector<ScriptStep>& script, sqlite3_stmt* params,
                 const std::string& rebuiltTable) {
    // No other thread's statement may run on the handle inside the script's savepoint.
    sqlite3_mutex* mutex = sqlite3_db_mutex(db);
    sqlite3_mutex_enter(mutex);
    // Dropping a table that others refer to would run their ON DELETE actions on its rows:
    // a rebuild runs with foreign keys off, which SQLite allows only outside a transaction.
    bool turnedOff = false;
    if (!rebuiltTable.empty() && QueryInteger(db, "PRAGMA foreign_keys", "", 0) != 0) {
        if (sqlite3_get_autocommit(db)) {
            turnedOff = Exec(db, "PRAGMA foreign_keys = OFF") == SQLITE_OK;
        } else if (QueryInteger(db,
                                "SELECT count(*) FROM sqlite_schema AS s, "
                                "pragma_foreign_key_list(s.name) AS f WHERE s.type = 'table' "
                                "AND f.\"table\" = ?1 COLLATE NOCASE AND s.name <> ?1 COLLATE "
                                "NOCASE",
                                rebuiltTable, 1) != 0) {
            const std::string message =
                "cannot change a column of table '" + rebuiltTable +
                "' inside a transaction while other tables refer to it (their relationships "
                "would act on its rows); commit or roll back the transaction first";
            Reraise(db, SQLITE_CONSTRAINT, message);
            sqlite3_mutex_leave(mutex);
            return SQLITE_CONSTRAINT;
        }
    }
    const int rc = RunScriptLocked(db, script, params);
    if (turnedOff) {
        // Turning enforcement back on must not replace the script's error message.
        const std::string message = rc == SQLITE_DONE ? std::string() : sqlite3_errmsg(db);
        Exec(db, "PRAGMA foreign_keys = ON");
        if (rc != SQLITE_DONE)
            Reraise(db, rc, message);
    }
    sqlite3_mutex_leave(mutex);
    return rc;
}

namespace {

int RunScriptLocked(sqlite3* db, const std::vector<ScriptStep>& script, sqlite3_stmt* params) {
    int rc = Exec(db, std::string("SAVEPOINT ") + kSavepoint);
    if (rc != SQLITE_OK)
        return rc;
    std::string message;
    for (const ScriptStep& step : script) {
        if (!step.onlyIfTable.empty() && !TableExists(db, step.onlyIfTable))
            continue;
        rc = RunStep(db, step, params, &message);
        if (rc != SQLITE_DONE)
            break;
    }
    if (rc == SQLITE_DONE) {
        const int released = Exec(db, std::string("RELEASE ") + kSavepoint);
        if (released == SQLITE_OK)
            return SQLITE_DONE;
        rc = released;  // the commit of an outermost savepoint failed (busy, disk full)
        message = sqlite3_errmsg(db);
    }
    Exec(db, std::string("ROLLBACK TO ") + kSavepoint);
    Exec(db, std::string("RELEASE ") + kSavepoint);
    Reraise(db, rc, message);
    return rc;
}

}  // namespace

void NoteJetStatementDone(sqlite3* db, const TranslationResult& t) {
    JetConnection* conn = JetConnection::Find(db);
    if (!conn)
        return;
    if (t.changesSchema)
        conn->SchemaChanged();
    if (t.identityTable.empty() || sqlite3_changes(db) <= 0)
        return;
    const std::string sql = "SELECT " + JetTranslator::QuoteName(t.identityColumn) + " FROM " +
                            JetTranslator::QuoteName(t.identityTable) + " WHERE rowid = ?1";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &stmt, nullptr) == SQLITE_OK) {
        sqlite3_bind_int64(stmt, 1, sqlite3_last_insert_rowid(db));
        if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_type(stmt, 0) == SQLITE_INTEGER)
            conn->SetLastIdentity(sqlite3_column_int64(stmt, 0));
    }
    sqlite3_finalize(stmt);
}

}  // namespace vorn::provider::sql
