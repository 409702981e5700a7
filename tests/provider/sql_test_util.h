// Helpers of the Jet dialect tests: a database file with the Jet functions registered, and
// running host SQL through a statement cache.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "sql/jet_sql.h"
#include "sql/jet_statement_cache.h"
#include "support/temp_database.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::sql::test {

// A SQLite file in a temporary folder, open with the Jet functions and a statement cache.
class JetDatabase {
  public:
    explicit JetDatabase(size_t capacity = 64) {
        path_ = folder_.File("jet.db");
        EXPECT_EQ(sqlite3_open(path_.c_str(), &db_), SQLITE_OK);
        EXPECT_EQ(RegisterJetFunctions(db_), SQLITE_OK);
        cache_ = std::make_unique<JetStatementCache>(db_, capacity);
    }
    ~JetDatabase() {
        cache_.reset();
        EXPECT_EQ(sqlite3_close(db_), SQLITE_OK) << "a statement was left open";
    }

    sqlite3* Db() const { return db_; }
    JetStatementCache& Cache() { return *cache_; }
    const std::string& Path() const { return path_; }

    // Runs host SQL to its end; the rows as "a|b" lines, or "error: <message>".
    std::vector<std::string> Run(const std::string& sql) {
        TranslationResult error;
        sqlite3_stmt* s = cache_->Acquire(Utf8ToWide(sql), &error);
        if (!s)
            return {"error: " + WideToUtf8(error.message)};
        std::vector<std::string> rows;
        int rc;
        while ((rc = cache_->Step(s)) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                const unsigned char* t = sqlite3_column_text(s, i);
                row +=
                    (i ? "|" : "") + (t ? std::string(reinterpret_cast<const char*>(t)) : "NULL");
            }
            rows.push_back(row);
        }
        cache_->Release(s);
        if (rc != SQLITE_DONE)
            return {"error: " + std::string(sqlite3_errmsg(db_))};
        return rows;
    }

    // The first value of host SQL's first row ("" for none).
    std::string Value(const std::string& sql) {
        const std::vector<std::string> rows = Run(sql);
        return rows.empty() ? "" : rows[0];
    }

    // Runs plain SQLite SQL, failing the test on an error.
    void Raw(const std::string& sql) {
        char* message = nullptr;
        EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK)
            << sql << ": " << (message ? message : "");
        sqlite3_free(message);
    }

  private:
    vorn::test::TempFolder folder_;
    std::string path_;
    sqlite3* db_ = nullptr;
    std::unique_ptr<JetStatementCache> cache_;
};

// The first column of a plain SQLite query on db, as text ("NULL" for Null, "" for none).
inline std::string RawValue(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
        return out;
    }
    if (sqlite3_step(s) == SQLITE_ROW) {
        const unsigned char* t = sqlite3_column_text(s, 0);
        out = t ? reinterpret_cast<const char*>(t) : "NULL";
    }
    sqlite3_finalize(s);
    return out;
}

}  // namespace vorn::provider::sql::test
