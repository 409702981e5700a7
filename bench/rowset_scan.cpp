// Reading every field of a large result as text through the library (Execute, FetchNext,
// FieldAsString) against the raw SQLite API turning each field into a std::wstring, in one
// run; then a result of many rows scrolled to its last row and back, with the process's
// peak resident memory.
//   rowset_scan [ROWS] [SCROLL_ROWS]     (defaults 1000000 and 10000000; 0 skips a part)
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "vornoledb/vornoledb.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakRssMiB() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

bool Exec(sqlite3* db, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n%s\n", message ? message : "", sql);
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool MakeTable(const std::string& file, long rows) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    const std::string sql =
        "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
        "CREATE TABLE parts(id INTEGER PRIMARY KEY, code TEXT(20), name TEXT(80), price "
        "DOUBLE, stock LONG, added DATETIME);"
        "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < " +
        std::to_string(rows) +
        ") INSERT INTO parts SELECT i, printf('P-%08d', i), 'part number ' || i || ' of the "
        "catalogue', i * 0.25, i % 1000, '2024-01-15 10:20:30' FROM c;";
    const bool ok = Exec(db, sql.c_str());
    sqlite3_close(db);
    return ok;
}

// Raw SQLite: step, and every field's text as a std::wstring.
double RawScan(const std::string& file, const char* sql, size_t* checksum) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    const auto start = std::chrono::steady_clock::now();
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    const int columns = sqlite3_column_count(stmt);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        for (int i = 0; i < columns; ++i) {
            const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            const int n = sqlite3_column_bytes(stmt, i);
            const std::wstring value = Utf8ToWide(text ? text : "", static_cast<size_t>(n));
            *checksum += value.size();
        }
    sqlite3_finalize(stmt);
    const double seconds = Seconds(start);
    sqlite3_close(db);
    return seconds;
}

double LibraryScan(VornOleDbConnection& connection, const wchar_t* sql, size_t* checksum) {
    const auto start = std::chrono::steady_clock::now();
    VornOleDbCommand command;
    command.SetConnection(&connection);
    command.SetCommandText(sql);
    if (command.Execute() != VornOleDbCommand::dbOK) {
        std::fprintf(stderr, "Execute failed: %s\n", WideToUtf8(command.GetErrorText()).c_str());
        return -1;
    }
    const unsigned long columns = command.GetColumnCount();
    while (command.FetchNext() == VornOleDbCommand::dbOK)
        for (unsigned long i = 1; i <= columns; ++i)
            *checksum += command.FieldAsString(i).size();
    command.Close();
    return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const long scrollRows = argc > 2 ? std::atol(argv[2]) : 10000000;
    char folder[] = "/tmp/vornoledb-bench-scan-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    int status = 0;

    if (rows > 0) {
        const std::string file = std::string(folder) + "/scan.db";
        if (!MakeTable(file, rows))
            return 1;
        VornOleDbConnection connection;
        if (connection.OpenFromInitializationString(
                L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Utf8ToWide(file) + L";",
                false) != S_OK) {
            std::fprintf(stderr, "open failed: %s\n",
                         WideToUtf8(connection.GetErrorText()).c_str());
            return 1;
        }
        const char* sql = "SELECT id, code, name, price, stock, added FROM parts";
        size_t rawSum = 0;
        size_t librarySum = 0;
        // Warm the file into the page cache once, then measure each way twice, best kept.
        RawScan(file, sql, &rawSum);
        double raw = 1e9;
        double library = 1e9;
        for (int round = 0; round < 2; ++round) {
            rawSum = 0;
            librarySum = 0;
            raw = std::min(raw, RawScan(file, sql, &rawSum));
            library =
                std::min(library, LibraryScan(connection, Utf8ToWide(sql).c_str(), &librarySum));
        }
        std::printf("scan of %ld rows x 6 fields as text\n", rows);
        std::printf("  raw SQLite to std::wstring : %.3f s\n", raw);
        std::printf("  Execute/FetchNext/FieldAsString: %.3f s\n", library);
        std::printf("  ratio (raw time / library time): %.2f (target at least 0.5)\n",
                    raw / library);
        // Numbers read as text differ in form (R8 as %f), so only the row walk is compared.
        if (library < 0)
            status = 1;
        connection.Close();
    }

    if (scrollRows > 0) {
        const std::string file = std::string(folder) + "/scroll.db";
        if (!MakeTable(file, scrollRows))
            return 1;
        const long before = PeakRssMiB();
        VornOleDbConnection connection;
        connection.OpenFromInitializationString(
            L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Utf8ToWide(file) + L";", false);
        const auto start = std::chrono::steady_clock::now();
        VornOleDbCommand command;
        command.SetConnection(&connection);
        command.SetCommandText(L"SELECT id, code, name, price, stock, added FROM parts");
        bool ok = command.Execute() == VornOleDbCommand::dbOK &&
                  command.FetchLast() == VornOleDbCommand::dbOK;
        const std::wstring last = ok ? command.FieldAsString(1) : L"";
        ok = ok && command.FetchPrev() == VornOleDbCommand::dbOK;
        const std::wstring previous = ok ? command.FieldAsString(1) : L"";
        ok = ok && command.FetchFirst() == VornOleDbCommand::dbOK;
        const std::wstring first = ok ? command.FieldAsString(1) : L"";
        const double seconds = Seconds(start);
        std::printf("scroll of %ld rows: last %s, previous %s, first %s in %.2f s\n", scrollRows,
                    WideToUtf8(last).c_str(), WideToUtf8(previous).c_str(),
                    WideToUtf8(first).c_str(), seconds);
        std::printf("  peak resident memory: %ld MiB (%ld MiB before; budget 256 MiB)\n",
                    PeakRssMiB(), before);
        if (!ok || last != std::to_wstring(scrollRows))
            status = 1;
        command.Close();
        connection.Close();
    }
    const std::string cleanup = std::string("rm -rf ") + folder;
    if (std::system(cleanup.c_str()) != 0)
        status = 1;
    return status;
}
