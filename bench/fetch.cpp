// Fetching a result and reading every field as text through VornOleDbCommand (Execute,
// FetchNext, FieldAsString) against the raw SQLite C API stepping the same SELECT and
// turning every field into a std::wstring, in one run; then the peak memory of FetchLast on
// a result of ten million rows, measured in a child process.
//   fetch [ROWS] [LAST_ROWS]     (defaults 1000000 and 10000000; 0 skips a part)
// Each scan runs three times and the fastest run of each side is compared.
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "fetch_last_memory.h"
#include "vornoledb/vornoledb.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

bool Exec(sqlite3* db, const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::fprintf(stderr, "SQLite refused: %s\n%s\n", message ? message : "", sql.c_str());
        sqlite3_free(message);
        return false;
    }
    return true;
}

// The table of the throughput part: id, a name of 20 characters, a price, a date and time
// stored as text, a quantity. A ten-row table of digits makes the long result of the
// memory part as a cross join, in plain SQL that every dialect reads.
bool MakeDatabase(const std::string& file, long rows) {
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
        std::fprintf(stderr, "cannot create %s\n", file.c_str());
        sqlite3_close(db);
        return false;
    }
    const bool ok =
        Exec(db,
             "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
             "CREATE TABLE items(id INTEGER, name TEXT, price REAL, stamp DATETIME, "
             "qty INTEGER);"
             "CREATE TABLE digits(n INTEGER);"
             "INSERT INTO digits VALUES (0),(1),(2),(3),(4),(5),(6),(7),(8),(9);") &&
        Exec(db, "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < " +
                     std::to_string(rows) +
                     ") INSERT INTO items SELECT i, printf('item name %010d', i), "
                     "(i % 100000) * 0.01, printf('2024-%02d-%02d %02d:%02d:%02d', 1 + i % 12, "
                     "1 + i % 28, i % 24, i % 60, (i * 7) % 60), i % 1000 FROM c;");
    sqlite3_close(db);
    return ok;
}

// Baseline: the SQLite C API stepping the query, each field as a std::wstring.
double RawScan(const std::string& file, long* rows, size_t* chars) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    const auto start = Clock::now();
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM items", -1, &stmt, nullptr);
    const int columns = sqlite3_column_count(stmt);
    *rows = 0;
    *chars = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            std::wstring text;
            switch (sqlite3_column_type(stmt, c)) {
                case SQLITE_INTEGER:
                    text = std::to_wstring(sqlite3_column_int64(stmt, c));
                    break;
                case SQLITE_FLOAT:
                    text = std::to_wstring(sqlite3_column_double(stmt, c));
                    break;
                case SQLITE_NULL:
                    break;
                default:
                    text = Utf8ToWide(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                                      static_cast<size_t>(sqlite3_column_bytes(stmt, c)));
                    break;
            }
            *chars += text.size();
        }
        ++*rows;
    }
    sqlite3_finalize(stmt);
    const double seconds = Seconds(start);
    sqlite3_close(db);
    return seconds;
}

// The library: Execute, FetchNext until the end, FieldAsString of every field.
double LibraryScan(const std::wstring& init, long* rows, size_t* chars) {
    VornOleDbConnection connection;
    if (connection.OpenFromInitializationString(init, false) != S_OK) {
        std::fprintf(stderr, "cannot open: %ls\n", connection.GetErrorText().c_str());
        return -1;
    }
    const auto start = Clock::now();
    VornOleDbCommand command;
    command.SetConnection(&connection);
    command.SetCommandText(L"SELECT * FROM items");
    if (command.Execute() != VornOleDbCommand::dbOK) {
        std::fprintf(stderr, "cannot run: %ls\n", command.GetErrorInfo(true).c_str());
        return -1;
    }
    const unsigned long columns = command.GetColumnCount();
    *rows = 0;
    *chars = 0;
    while (command.FetchNext() == VornOleDbCommand::dbOK) {
        for (unsigned long c = 1; c <= columns; ++c)
            *chars += command.FieldAsString(c).size();
        ++*rows;
    }
    command.Close();
    return Seconds(start);
}

// FetchLast on `rows` rows of the digits cross join, in a child process.
bool MeasureFetchLast(const std::wstring& init, long rows) {
    int joins = 0;
    for (long n = 1; n < rows; n *= 10)
        ++joins;
    std::wstring select = L"SELECT d0.n";
    std::wstring from = L" FROM digits d0";
    long long factor = 1;
    for (int j = 1; j < joins; ++j) {
        factor *= 10;
        const std::wstring name = L"d" + std::to_wstring(j);
        select += L" + " + std::to_wstring(factor) + L" * " + name + L".n";
        from += L", digits " + name;
    }
    const std::wstring sql = select + L" AS v, 'row text of some length' AS t" + from;
    return vorn::bench::MeasureFetchLast(init, sql, rows, rows - 1);
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const long lastRows = argc > 2 ? std::atol(argv[2]) : 10000000;
    char folder[] = "/tmp/vornoledb-bench-fetch-XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string file = std::string(folder) + "/fetch.db";
    const std::wstring init =
        L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Utf8ToWide(file) + L";";
    bool ok = MakeDatabase(file, rows > 0 ? rows : 1);

    // The child is forked before the throughput part so that it starts small.
    if (ok && lastRows > 0)
        ok = MeasureFetchLast(init, lastRows) && ok;

    if (ok && rows > 0) {
        // Each side runs three times, alternating, and its fastest run counts: the machine
        // may be busy with other work, which only ever makes a run slower.
        double raw = 1e300, lib = 1e300;
        long rawRows = 0, libRows = 0;
        size_t rawChars = 0, libChars = 0;
        for (int round = 0; round < 3 && ok; ++round) {
            raw = std::min(raw, RawScan(file, &rawRows, &rawChars));
            const double seconds = LibraryScan(init, &libRows, &libChars);
            if (seconds < 0 || libRows != rawRows) {
                std::fprintf(stderr, "the library read %ld rows, SQLite %ld\n", libRows, rawRows);
                ok = false;
            }
            lib = std::min(lib, seconds);
        }
        if (ok) {
            const double rawRate = rawRows / raw, libRate = libRows / lib;
            std::printf("raw SQLite C API: %ld rows in %.3f s, %.0f rows/s (%zu characters)\n",
                        rawRows, raw, rawRate, rawChars);
            std::printf("VornOleDbCommand: %ld rows in %.3f s, %.0f rows/s (%zu characters)\n",
                        libRows, lib, libRate, libChars);
            std::printf("ratio library/raw: %.2f (target at least 0.50)\n", libRate / rawRate);
        }
    }
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        unlink((file + suffix).c_str());
    rmdir(folder);
    return ok ? 0 : 1;
}
