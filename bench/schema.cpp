// The schema readers on a database of many tables: listing the tables, then the columns
// (with identity data) and the indexes of every table, against SQLite's own catalog
// pragmas for the same work, measured in the same run.
//   schema [TABLES]     (default 2000 tables of 11 columns and one index each)
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "vornoledb/vornoledb.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// The baseline: the pragmas that hold what the three readers give, stepped to the end.
size_t RawCatalog(sqlite3* db, const std::vector<std::string>& tables) {
    size_t rows = 0;
    auto run = [&](const std::string& sql, const std::string& arg) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
        if (!arg.empty())
            sqlite3_bind_text(s, 1, arg.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(s) == SQLITE_ROW)
            ++rows;
        sqlite3_finalize(s);
    };
    run("SELECT schema, name, type FROM pragma_table_list", "");
    for (const std::string& t : tables) {
        run("SELECT * FROM pragma_table_xinfo(?1)", t);
        run("SELECT * FROM pragma_index_list(?1)", t);
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    char folder[] = "/tmp/vornoledb-bench-schema-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    const std::string file = std::string(folder) + "/catalog.db";
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    std::vector<std::string> names;
    for (int t = 0; t < count; ++t) {
        const std::string name = "t" + std::to_string(t);
        std::string sql = "CREATE TABLE " + name + "(id INTEGER PRIMARY KEY";
        for (int c = 0; c < 10; ++c)
            sql += ", c" + std::to_string(c) + " TEXT(20)";
        sql += "); CREATE INDEX " + name + "_c1 ON " + name + "(c1)";
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        names.push_back(name);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);

    Clock::time_point start = Clock::now();
    const size_t rawRows = RawCatalog(db, names);
    const double raw = Seconds(start);
    sqlite3_close(db);

    VornOleDbConnection connection;
    if (connection.OpenFromInitializationString(
            L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Utf8ToWide(file) + L";", false) !=
        S_OK) {
        std::fprintf(stderr, "open failed: %s\n", WideToUtf8(connection.GetErrorText()).c_str());
        return 1;
    }
    start = Clock::now();
    VornOleDbTables tables;
    std::vector<std::wstring> tableNames;
    tables.Open(&connection, nullptr, nullptr, nullptr, L"TABLE");
    tables.GetTableList(tableNames);
    size_t columns = 0, indexes = 0;
    for (const std::wstring& name : tableNames) {
        VornOleDbColumns reader;
        reader.Open(&connection, nullptr, nullptr, name.c_str(), nullptr, true);
        while (reader.FetchNext())
            ++columns;
        VornOleDbIndexes indexReader;
        indexReader.Open(&connection, nullptr, nullptr, name.c_str(), nullptr);
        std::vector<std::wstring> list;
        indexReader.GetIndexList(list, true);
        indexes += list.size();
    }
    const double readers = Seconds(start);

    std::printf("%zu tables, %zu columns, %zu indexes\n", tableNames.size(), columns, indexes);
    std::printf("schema readers:   %.3f s (%.0f us a table)\n", readers,
                readers * 1e6 / std::max<size_t>(1, tableNames.size()));
    std::printf("SQLite pragmas:   %.3f s (%zu rows)\n", raw, rawRows);
    std::printf("ratio readers / pragmas: %.1f\n", raw > 0 ? readers / raw : 0.0);
    unlink(file.c_str());
    rmdir(folder);
    return 0;
}
