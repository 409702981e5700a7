// Jet SQL on a database file through the dialect translator.
#include "support/jet_sql_file.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "sql/jet_sql.h"
#include "vornoledb/platform/text.h"

namespace vorn::test {

void RunJetSql(const std::string& file, const std::wstring& statement) {
    namespace sql = vorn::provider::sql;
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
        ADD_FAILURE() << "could not open " << file << ": " << sqlite3_errmsg(db);
        sqlite3_close(db);
        return;
    }
    sqlite3_busy_timeout(db, 5000);
    sql::RegisterJetFunctions(db);
    const sql::TranslationResult t = sql::TranslateJetSql(db, statement);
    if (!t.ok) {
        ADD_FAILURE() << "Jet SQL not translated: " << WideToUtf8(t.message) << "\n"
                      << WideToUtf8(statement);
    } else if (!t.script.empty()) {
        if (sql::RunJetScript(db, t.script) != SQLITE_DONE)
            ADD_FAILURE() << "Jet SQL failed on " << file << ": " << sqlite3_errmsg(db) << "\n"
                          << WideToUtf8(statement);
        else
            sql::NoteJetStatementDone(db, t);
    } else {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db, t.sql.c_str(), -1, &stmt, nullptr);
        while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE)
            ADD_FAILURE() << "Jet SQL failed on " << file << ": " << sqlite3_errmsg(db) << "\n"
                          << t.sql;
        else
            sql::NoteJetStatementDone(db, t);
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
}

}  // namespace vorn::test
