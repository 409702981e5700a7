// COUNTER columns: set-up, numbering, removal, and the schema's view of them.
#include "sql/jet_identity.h"

#include <sqlite3.h>

#include "sql/jet_connection.h"
#include "sql/jet_translator.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::sql {
namespace {

std::string Name(const std::string& n) {
    return JetTranslator::QuoteName(n);
}

std::string Text(const std::string& t) {
    return JetTranslator::QuoteText(t);
}

const std::string kIdentity = std::string("`") + kIdentityTableName + "`";

std::string RowFilter(const std::string& table, const std::string& column) {
    return "table_name = " + Text(table) + " AND column_name = " + Text(column);
}

}  // namespace

std::vector<ScriptStep> CounterSetupSteps(const std::string& table, const std::string& column,
                                          int64_t seed, int64_t step, bool numberExistingRows) {
    const std::string t = Name(table), c = Name(column);
    const std::string filter = RowFilter(table, column);
    std::vector<ScriptStep> steps;
    steps.push_back({"CREATE TABLE IF NOT EXISTS " + kIdentity +
                         " (table_name TEXT NOT NULL COLLATE NOCASE, column_name TEXT NOT NULL "
                         "COLLATE NOCASE, seed INTEGER NOT NULL, step INTEGER NOT NULL, "
                         "next_value INTEGER NOT NULL, PRIMARY KEY (table_name, column_name))",
                     "", ""});
    steps.push_back({"INSERT OR REPLACE INTO " + kIdentity +
                         " (table_name, column_name, seed, step, next_value) VALUES (" +
                         Text(table) + ", " + Text(column) + ", " + std::to_string(seed) + ", " +
                         std::to_string(step) + ", " + std::to_string(seed) + ")",
                     "", ""});
    if (numberExistingRows) {
        steps.push_back({"UPDATE " + t + " SET " + c + " = n.v FROM (SELECT rowid AS r, " +
                             std::to_string(seed) + " + " + std::to_string(step) +
                             " * (row_number() OVER (ORDER BY rowid) - 1) AS v FROM " + t +
                             ") AS n WHERE " + t + ".rowid = n.r",
                         "", ""});
        steps.push_back({"UPDATE " + kIdentity +
                             " SET next_value = seed + step * (SELECT count(*) FROM " + t +
                             ") WHERE " + filter,
                         "", ""});
    }
    // A row inserted without a value takes the next number; a row inserted with a value
    // beyond the counter moves the counter past it.
    steps.push_back({"CREATE TRIGGER " + Name("__vorn_counter." + table + "." + column) +
                         " AFTER INSERT ON " + t + " FOR EACH ROW BEGIN UPDATE " + kIdentity +
                         " SET next_value = next_value + step WHERE " + filter + " AND NEW." + c +
                         " IS NULL; UPDATE " + t + " SET " + c +
                         " = (SELECT next_value - step FROM " + kIdentity + " WHERE " + filter +
                         ") WHERE rowid = NEW.rowid AND NEW." + c + " IS NULL; UPDATE " +
                         kIdentity + " SET next_value = NEW." + c + " + step WHERE " + filter +
                         " AND NEW." + c + " IS NOT NULL AND ((step > 0 AND NEW." + c +
                         " >= next_value) OR (step < 0 AND NEW." + c + " <= next_value)); END",
                     "", ""});
    steps.push_back({"CREATE TRIGGER " + Name("__vorn_counter_lock." + table + "." + column) +
                         " BEFORE UPDATE OF " + c + " ON " + t + " FOR EACH ROW WHEN OLD." + c +
                         " IS NOT NULL AND NEW." + c + " IS NOT OLD." + c +
                         " BEGIN SELECT RAISE(ABORT, " +
                         Text("cannot update '" + column + "' of table '" + table +
                              "': an AutoNumber field is not updatable") +
                         "); END",
                     "", ""});
    return steps;
}

std::vector<ScriptStep> CounterRemovalSteps(const std::string& table, const std::string& column) {
    return {
        {"DROP TRIGGER IF EXISTS " + Name("__vorn_counter." + table + "." + column), "", ""},
        {"DROP TRIGGER IF EXISTS " + Name("__vorn_counter_lock." + table + "." + column), "", ""},
        {"DELETE FROM " + kIdentity + " WHERE " + RowFilter(table, column), "", kIdentityTableName},
    };
}

ScriptStep IdentityCleanupStep(const std::string& table) {
    return {"DELETE FROM " + kIdentity + " WHERE table_name = " + Text(table), "",
            kIdentityTableName};
}

bool GetIdentityInfo(sqlite3* db, const std::wstring& table, const std::wstring& column,
                     long long* seed, long long* step) {
    if (!db)
        return false;
    sqlite3_stmt* stmt = nullptr;
    const std::string sql =
        "SELECT seed, step FROM " + kIdentity + " WHERE table_name = ?1 AND column_name = ?2";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);  // no identity table: no COUNTER columns
        return false;
    }
    const std::string t = WideToUtf8(table), c = WideToUtf8(column);
    sqlite3_bind_text(stmt, 1, t.data(), int(t.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 2, c.data(), int(c.size()), SQLITE_TRANSIENT);
    bool found = false;
    if (sqlite3_step(stmt) == SQLITE_ROW) {
        found = true;
        if (seed)
            *seed = sqlite3_column_int64(stmt, 0);
        if (step)
            *step = sqlite3_column_int64(stmt, 1);
    }
    sqlite3_finalize(stmt);
    return found;
}

}  // namespace vorn::provider::sql
