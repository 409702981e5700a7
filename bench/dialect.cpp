// The Jet dialect's cost on a short statement run many times: a parameterless SELECT by
// primary key, written in Jet SQL, run through the per-connection statement cache
// (translated and prepared once), translated and prepared at every run, and the same
// statement prepared once through the raw SQLite C API, all in one run on one database.
//   dialect [RUNS] [DATABASE]     (defaults 100000 and a temporary file)
// The same statement also runs as a host runs it: VornOleDbCommand's Execute, FetchNext and
// FieldAsString of every field, on a connection whose statement cache is on, and on one
// whose cache is off. Each variant runs three times and its fastest run counts.
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "sql/jet_sql.h"
#include "sql/jet_statement_cache.h"
#include "sqlite_database.h"
#include "vornoledb/vornoledb.h"

namespace {

using Clock = std::chrono::steady_clock;
using vorn::provider::sql::JetStatementCache;
using vorn::provider::sql::TranslateJetSql;
using vorn::provider::sql::TranslationResult;

const wchar_t kStatement[] = L"SELECT [PartName], Price, Added FROM Parts WHERE PartID = 500";

// A connection through the library to the same file, with the statement cache on or off.
struct HostConnection {
    VornOleDbConnection connection;
    VornOleDbCommand command;
    HostConnection(const std::string& path, bool cached) {
        const size_t previous = vorn::provider::SetStatementCacheCapacity(cached ? 64 : 0);
        const std::wstring init =
            L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Utf8ToWide(path) + L";";
        if (connection.OpenFromInitializationString(init, false) != S_OK)
            std::fprintf(stderr, "cannot open %s: %ls\n", path.c_str(),
                         connection.GetErrorText().c_str());
        vorn::provider::SetStatementCacheCapacity(previous);
        command.SetConnection(&connection);
        command.SetCommandText(kStatement);
    }
    // One run: execute, read the row's fields as text, close the result.
    bool Once(size_t* sink) {
        if (command.Execute() != VornOleDbCommand::dbOK ||
            command.FetchNext() != VornOleDbCommand::dbOK)
            return false;
        for (unsigned long c = 1; c <= command.GetColumnCount(); ++c)
            *sink += command.FieldAsString(c).size();
        const bool done = command.FetchNext() == VornOleDbCommand::dbFalse;
        command.Close();
        return done;
    }
};

// Reads the row a statement gives, as a host reads every field.
size_t ReadRow(sqlite3_stmt* s) {
    size_t bytes = 0;
    for (int i = 0; i < sqlite3_column_count(s); ++i) {
        sqlite3_column_text(s, i);
        bytes += size_t(sqlite3_column_bytes(s, i));
    }
    return bytes;
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

// The parts table made with Jet DDL, and a thousand rows.
bool MakeTable(sqlite3* db, JetStatementCache& cache) {
    TranslationResult error;
    for (const wchar_t* ddl :
         {L"CREATE TABLE Parts (PartID LONG CONSTRAINT PK PRIMARY KEY, PartName TEXT(50), "
          L"Price CURRENCY, Added DATETIME)"}) {
        sqlite3_stmt* s = cache.Acquire(ddl, &error);
        if (!s || cache.Step(s) != SQLITE_DONE) {
            std::fprintf(stderr, "cannot create the table: %s\n", sqlite3_errmsg(db));
            cache.Release(s);
            return false;
        }
        cache.Release(s);
    }
    if (!Exec(db, "BEGIN"))
        return false;
    sqlite3_stmt* insert = cache.Acquire(
        L"INSERT INTO Parts (PartID, PartName, Price, Added) VALUES (?, 'Part ' & ?, ? / 100, "
        L"DateAdd('d', ?, #1/1/2021#))",
        &error);
    if (!insert)
        return false;
    for (int i = 1; i <= 1000; ++i) {
        for (int p = 1; p <= 4; ++p)
            sqlite3_bind_int(insert, p, i);
        if (cache.Step(insert) != SQLITE_DONE) {
            std::fprintf(stderr, "insert failed: %s\n", sqlite3_errmsg(db));
            return false;
        }
        sqlite3_reset(insert);
    }
    cache.Release(insert);
    return Exec(db, "COMMIT");
}

struct Variant {
    const char* name;
    std::function<bool()> once;  // one run of the statement; false on failure
};

double Measure(const Variant& v, long runs) {
    double best = 1e300;
    for (int round = 0; round < 3; ++round) {
        const auto start = Clock::now();
        for (long i = 0; i < runs; ++i)
            if (!v.once()) {
                std::fprintf(stderr, "%s failed\n", v.name);
                return -1;
            }
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        if (s < best)
            best = s;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const long runs = argc > 1 ? std::atol(argv[1]) : 100000;
    std::string path;
    bool temporary = false;
    if (argc > 2) {
        path = argv[2];
    } else {
        char name[] = "/tmp/vorn-dialect-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) {
            std::perror("mkstemp");
            return 1;
        }
        close(fd);
        unlink(name);
        path = name;
        temporary = true;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return 1;
    }
    int status = 0;
    {
        JetStatementCache cache(db);
        if (!MakeTable(db, cache)) {
            sqlite3_close(db);
            return 1;
        }
        const TranslationResult translated = TranslateJetSql(db, kStatement);
        sqlite3_stmt* raw = nullptr;
        if (!translated.ok ||
            sqlite3_prepare_v2(db, translated.sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "cannot prepare the statement\n");
            sqlite3_close(db);
            return 1;
        }
        size_t sink = 0;
        HostConnection cachedHost(path, true);
        HostConnection uncachedHost(path, false);
        const std::vector<Variant> kVariants = {
            {"raw SQLite, prepared once",
             [&] {
                 if (sqlite3_step(raw) != SQLITE_ROW)
                     return false;
                 sink += ReadRow(raw);
                 const bool done = sqlite3_step(raw) == SQLITE_DONE;
                 sqlite3_reset(raw);
                 return done;
             }},
            {"Jet SQL through the statement cache",
             [&] {
                 TranslationResult error;
                 sqlite3_stmt* s = cache.Acquire(kStatement, &error);
                 if (!s || cache.Step(s) != SQLITE_ROW)
                     return false;
                 sink += ReadRow(s);
                 const bool done = cache.Step(s) == SQLITE_DONE;
                 cache.Release(s);
                 return done;
             }},
            {"Jet SQL translated and prepared every run",
             [&] {
                 const TranslationResult t = TranslateJetSql(db, kStatement);
                 sqlite3_stmt* s = nullptr;
                 if (!t.ok || sqlite3_prepare_v2(db, t.sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
                     return false;
                 bool ok = sqlite3_step(s) == SQLITE_ROW;
                 if (ok)
                     sink += ReadRow(s);
                 ok = ok && sqlite3_step(s) == SQLITE_DONE;
                 sqlite3_finalize(s);
                 return ok;
             }},
            {"VornOleDbCommand, statement cache on", [&] { return cachedHost.Once(&sink); }},
            {"VornOleDbCommand, statement cache off", [&] { return uncachedHost.Once(&sink); }},
        };
        std::printf("%ld runs of: %ls\n", runs, kStatement);
        std::vector<double> seconds;
        for (const Variant& v : kVariants) {
            const double s = Measure(v, runs);
            if (s < 0) {
                status = 1;
                break;
            }
            seconds.push_back(s);
            std::printf("  %-45s %8.3f s  %8.2f us/run\n", v.name, s, s * 1e6 / double(runs));
        }
        if (status == 0) {
            std::printf(
                "speed relative to raw SQLite (1.0 = as fast; the cache aims at 0.5 or more):\n");
            for (size_t i = 1; i < seconds.size(); ++i)
                std::printf("  %-45s %6.3f\n", kVariants[i].name, seconds[0] / seconds[i]);
        }
        sqlite3_finalize(raw);
        if (sink == 0)
            status = 1;
    }
    sqlite3_close(db);
    if (temporary)
        unlink(path.c_str());
    return status;
}
