// Temporary folders and SQLite files for tests (tests may use SQLite directly; the library
// reaches it only through the provider).
#include "support/temp_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <filesystem>

#include "vornoledb/platform/text.h"

namespace vorn::test {

TempFolder::TempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vornoledb-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        ADD_FAILURE() << "could not make a temporary folder";
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

namespace {
sqlite3* Open(const std::string& file) {
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
        ADD_FAILURE() << "could not open " << file << ": " << sqlite3_errmsg(db);
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 5000);
    return db;
}
}  // namespace

void RunSql(const std::string& file, const std::string& sql) {
    sqlite3* db = Open(file);
    if (!db)
        return;
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK)
        ADD_FAILURE() << "SQL failed on " << file << ": " << (message ? message : "") << "\n"
                      << sql;
    sqlite3_free(message);
    sqlite3_close(db);
}

std::string QueryText(const std::string& file, const std::string& sql) {
    sqlite3* db = Open(file);
    if (!db)
        return "";
    std::string result;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0))
        result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    else if (!stmt)
        ADD_FAILURE() << "query failed on " << file << ": " << sqlite3_errmsg(db) << "\n" << sql;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return result;
}

std::wstring ConnectionString(const std::string& file) {
    return L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Utf8ToWide(file) + L";";
}

}  // namespace vorn::test
