// The server provider against libpq alone, on the local test server (VORNOLEDB_PG_TEST,
// as scripts/pg-test-server.sh start prints it):
//  1. a result of ROWS rows with every field read through VornOleDbCommand::FieldAsString,
//     against libpq in single-row mode with PQgetvalue turned into std::wstring;
//  2. FetchLast on LAST_ROWS rows, its peak memory measured in a child process;
//  3. vornsql copy of a SQLite table of COPY_ROWS rows into the server, in rows per second,
//     beside psql's \copy of the same rows as CSV.
//   postgres [ROWS] [LAST_ROWS] [COPY_ROWS]   (defaults 1000000, 10000000 and ROWS; 0 skips
//                                              a part)
// Each scan runs three times and the fastest run of each side is compared.
#include <libpq-fe.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "fetch_last_memory.h"
#include "vornoledb/platform/text.h"
#include "vornoledb/vornoledb.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// libpq's keyword=value form of the test server's OLE DB settings.
std::string LibpqConninfo(const std::string& oledb) {
    std::string host, port, db, user, password;
    size_t start = 0;
    while (start < oledb.size()) {
        size_t end = oledb.find(';', start);
        if (end == std::string::npos)
            end = oledb.size();
        const std::string part = oledb.substr(start, end - start);
        start = end + 1;
        const size_t eq = part.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = part.substr(0, eq), value = part.substr(eq + 1);
        if (key == "Data Source") {
            const size_t colon = value.find(':');
            host = value.substr(0, colon);
            if (colon != std::string::npos)
                port = value.substr(colon + 1);
        } else if (key == "Initial Catalog") {
            db = value;
        } else if (key == "User ID") {
            user = value;
        } else if (key == "Password") {
            password = value;
        }
    }
    return "host=" + host + " port=" + port + " dbname=" + db + " user=" + user +
           " password=" + password;
}

bool Exec(PGconn* conn, const std::string& sql) {
    PGresult* r = PQexec(conn, sql.c_str());
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
    if (!ok)
        std::fprintf(stderr, "the server refused: %s\n%s\n", PQerrorMessage(conn), sql.c_str());
    PQclear(r);
    return ok;
}

const char kQuery[] = "SELECT id, name, price, stamp, qty FROM bench_items";

// libpq alone: single-row mode, every field into a std::wstring.
double ScanLibpq(PGconn* conn, size_t* chars) {
    const auto start = Clock::now();
    PQsendQuery(conn, kQuery);
    PQsetSingleRowMode(conn);
    std::wstring field;
    size_t total = 0;
    while (PGresult* r = PQgetResult(conn)) {
        if (PQresultStatus(r) == PGRES_SINGLE_TUPLE) {
            const int n = PQnfields(r);
            for (int i = 0; i < n; ++i) {
                field = Utf8ToWide(PQgetvalue(r, 0, i));
                total += field.size();
            }
        }
        PQclear(r);
    }
    *chars = total;
    return Seconds(start);
}

double ScanLibrary(const std::wstring& init, size_t* chars) {
    VornOleDbConnection connection;
    if (connection.OpenFromInitializationString(init, false) != S_OK) {
        std::fprintf(stderr, "cannot open: %ls\n", connection.GetErrorInfo(true).c_str());
        return -1;
    }
    const auto start = Clock::now();
    VornOleDbCommand command;
    command.SetConnection(&connection);
    command.SetCommandText(L"SELECT id, name, price, stamp, qty FROM bench_items");
    if (command.Execute() != VornOleDbCommand::dbOK) {
        std::fprintf(stderr, "Execute failed: %ls\n", command.GetErrorInfo(true).c_str());
        return -1;
    }
    const unsigned long columns = command.GetColumnCount();
    size_t total = 0;
    while (command.FetchNext() == VornOleDbCommand::dbOK)
        for (unsigned long i = 1; i <= columns; ++i)
            total += command.FieldAsString(i).size();
    *chars = total;
    return Seconds(start);
}

// FetchLast on `rows` rows of the server, in a child process.
bool MeasureFetchLast(const std::wstring& init, long rows) {
    const std::wstring sql = L"SELECT n, 'row number ' || n FROM generate_series(1, " +
                             std::to_wstring(rows) + L") AS n";
    return vorn::bench::MeasureFetchLast(init, sql, rows, rows);
}

// A command's run time, or -1 when it failed.
double TimeCommand(const std::string& command) {
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        return -1;
    }
    return Seconds(start);
}

bool CopyComparison(PGconn* conn, const std::string& oledb, long rows) {
    char folder[] = "/tmp/vorn-bench-pg-XXXXXX";
    if (!mkdtemp(folder))
        return false;
    const std::string dir = folder;
    const std::string file = dir + "/items.db";
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    char* message = nullptr;
    const std::string make =
        "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
        "CREATE TABLE copy_items(id INTEGER PRIMARY KEY, name TEXT(40), price DOUBLE, "
        "stamp DATETIME, qty LONG);"
        "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < " +
        std::to_string(rows) +
        ") INSERT INTO copy_items SELECT i, printf('item name %010d', i), (i % 100000) * 0.01, "
        "printf('2024-%02d-%02d %02d:%02d:%02d', 1 + i % 12, 1 + i % 28, i % 24, i % 60, "
        "(i * 7) % 60), i % 1000 FROM c;";
    const bool made = sqlite3_exec(db, make.c_str(), nullptr, nullptr, &message) == SQLITE_OK;
    sqlite3_free(message);
    sqlite3_close(db);
    if (!made || !Exec(conn, "DROP TABLE IF EXISTS copy_items; DROP TABLE IF EXISTS copy_csv"))
        return false;
    const std::string target = "Provider=PostgreSQL;" + oledb;
    const double copySeconds =
        TimeCommand(std::string(VORNSQL_PATH) + " -q copy '" + file + "' '" + target + "'");
    // The same rows as CSV, then psql's \copy of them into a table of the same shape.
    const std::string csv = dir + "/items.csv";
    if (copySeconds < 0 ||
        TimeCommand("sqlite3 -csv '" + file + "' 'SELECT * FROM copy_items' > '" + csv + "'") < 0 ||
        !Exec(conn,
              "CREATE TABLE copy_csv (id integer PRIMARY KEY, name varchar(40), price "
              "double precision, stamp timestamp, qty integer)"))
        return false;
    const char* psql = std::getenv("VORNOLEDB_PG_PSQL");
    const std::string conninfo = LibpqConninfo(oledb);
    const double psqlSeconds =
        TimeCommand(std::string(psql && *psql ? psql : "psql") + " -q '" + conninfo +
                    "' -c \"\\copy copy_csv FROM '" + csv + "' WITH (FORMAT csv)\"");
    Exec(conn, "DROP TABLE IF EXISTS copy_items; DROP TABLE IF EXISTS copy_csv");
    std::system(("rm -rf '" + dir + "'").c_str());
    if (psqlSeconds < 0)
        return false;
    std::printf(
        "vornsql copy of %ld SQLite rows: %.1f s, %.0f rows/s; psql \\copy of the same "
        "CSV: %.1f s, %.0f rows/s; ratio %.2f\n",
        rows, copySeconds, rows / copySeconds, psqlSeconds, rows / psqlSeconds,
        psqlSeconds / copySeconds);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const long lastRows = argc > 2 ? std::atol(argv[2]) : 10000000;
    const long copyRows = argc > 3 ? std::atol(argv[3]) : rows;
    const char* server = std::getenv("VORNOLEDB_PG_TEST");
    if (!server || !*server) {
        std::fprintf(stderr,
                     "postgres: set VORNOLEDB_PG_TEST (eval \"$(bash "
                     "scripts/pg-test-server.sh start)\")\n");
        return 2;
    }
    const std::wstring init = L"Provider=PostgreSQL;" + Utf8ToWide(server);
    PGconn* conn = PQconnectdb(LibpqConninfo(server).c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
        std::fprintf(stderr, "cannot connect: %s\n", PQerrorMessage(conn));
        return 1;
    }
    int failures = 0;
    if (rows > 0) {
        const bool made =
            Exec(conn, "DROP TABLE IF EXISTS bench_items") &&
            Exec(conn,
                 "CREATE TABLE bench_items (id integer, name varchar(40), price numeric(12,2), "
                 "stamp timestamp, qty integer)") &&
            Exec(conn,
                 "INSERT INTO bench_items SELECT i, 'item name ' || lpad(i::text, 10, '0'), "
                 "(i % 100000) * 0.01, timestamp '2024-01-01' + i * interval '7 seconds', "
                 "i % 1000 FROM generate_series(1, " +
                     std::to_string(rows) + ") AS i");
        if (!made)
            return 1;
        double best = 1e9, baseline = 1e9;
        size_t charsOurs = 0, charsTheirs = 0;
        for (int run = 0; run < 3; ++run) {
            const double ours = ScanLibrary(init, &charsOurs);
            if (ours < 0)
                return 1;
            best = std::min(best, ours);
            baseline = std::min(baseline, ScanLibpq(conn, &charsTheirs));
        }
        // Both sides read the same text (the name is a short column, bound in the row, so
        // FieldAsString returns it as it does every other field): the character counts show it.
        std::printf("%ld rows, 5 fields each, every field read as text\n", rows);
        std::printf("  VornOleDbCommand::FieldAsString: %.3f s (%.0f rows/s, %zu characters)\n",
                    best, rows / best, charsOurs);
        std::printf(
            "  libpq single-row mode + PQgetvalue into std::wstring: %.3f s (%.0f rows/s, "
            "%zu characters)\n",
            baseline, rows / baseline, charsTheirs);
        std::printf("  ratio (libpq time / library time): %.2f (target at least 0.70)\n",
                    baseline / best);
        Exec(conn, "DROP TABLE bench_items");
    }
    if (lastRows > 0 && !MeasureFetchLast(init, lastRows))
        ++failures;
    if (copyRows > 0 && !CopyComparison(conn, server, copyRows))
        ++failures;
    PQfinish(conn);
    return failures ? 1 : 0;
}
