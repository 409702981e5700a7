// Database files against other processes: compaction killed half-way, compaction racing a
// process that commits rows, compaction while the sqlite3 shell has the file open, and
// connections that only read, which must leave every byte of the file as it was.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "sqlite_database.h"
#include "support/child_process.h"
#include "support/temp_database.h"
#include "vornoledb/command.h"
#include "vornoledb/connection.h"
#include "vornoledb/platform/text.h"
#include "vornoledb/tables.h"

using vorn::test::ConnectionString;
using vorn::test::ForkedChild;
using vorn::test::QueryText;
using vorn::test::ReportLine;
using vorn::test::RunSql;
using vorn::test::TempFolder;

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// A table of `rows` rows of which two in three are deleted, so that compaction has work.
void MakeSparseDatabase(const std::string& file, int rows) {
    RunSql(file,
           "CREATE TABLE t(id INTEGER PRIMARY KEY, pad TEXT);"
           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i < " +
               std::to_string(rows) +
               ") INSERT INTO t SELECT i, printf('%0300d', i) FROM n;"
               "DELETE FROM t WHERE id % 3 != 0;");
}

// Opens the file, runs one statement and closes it again: one step of a writer's loop.
// "" on success, else the error text.
std::string RunOnce(const std::string& file, const std::wstring& sql) {
    VornOleDbConnection connection;
    if (connection.OpenFromInitializationString(ConnectionString(file), false) != S_OK)
        return WideToUtf8(connection.GetErrorText());
    VornOleDbCommand command;
    command.SetConnection(&connection);
    command.SetCommandText(sql.c_str());
    if (command.Execute() != VornOleDbCommand::dbOK)
        return WideToUtf8(command.GetErrorText());
    return "";
}

// Compacts the file through a connection opened on it; "" on success, else the error text.
std::string CompactOnce(const std::string& file) {
    VornOleDbConnection connection;
    if (connection.OpenFromInitializationString(ConnectionString(file), false) != S_OK)
        return WideToUtf8(connection.GetErrorText());
    const HRESULT hr = connection.CompactMdb();
    return hr == S_OK ? ""
                      : "(" + std::to_string(hr) + ") " + WideToUtf8(connection.GetErrorText());
}

TEST(CompactionAcrossProcesses, KilledHalfWayTheFileKeepsEveryRowAndTheNextOneWorks) {
    TempFolder dir;
    const std::string file = dir.File("plant.db");
    MakeSparseDatabase(file, 60000);
    const std::string rows = "SELECT count(*) || ',' || sum(id) || ',' || sum(length(pad)) FROM t";
    const std::string expected = QueryText(file, rows);

    std::mt19937 random(std::random_device{}());
    int leftJournals = 0;
    for (int run = 0; run < 6; ++run) {
        ForkedChild compactor([&](int report) {
            ReportLine(report, "started");
            for (;;)
                if (!CompactOnce(file).empty())
                    return 1;
        });
        ASSERT_TRUE(compactor.WaitForLine(5000));
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 120));
        compactor.Kill();
        leftJournals += Exists(file + "-journal") || Exists(file + "-wal");

        // The next open finds the file as it was before the killed compaction or after it.
        EXPECT_EQ(expected, RunOnce(file, L"SELECT count(*) FROM t").empty() ? QueryText(file, rows)
                                                                             : "open failed");
        EXPECT_EQ("ok", QueryText(file, "PRAGMA integrity_check"));
    }
    EXPECT_EQ("", CompactOnce(file));
    EXPECT_EQ(expected, QueryText(file, rows));
    EXPECT_FALSE(Exists(file + "-journal"));
    std::printf("[          ] %d of 6 kills left a journal to roll back\n", leftJournals);
}

TEST(CompactionAcrossProcesses, RacingAWriterProcessLosesNoCommittedRow) {
    TempFolder dir;
    const std::string file = dir.File("race.db");
    MakeSparseDatabase(file, 3000);
    int committed = 0;
    int compacted = 0;
    int refusedWrites = 0;
    for (int round = 0; round < 10; ++round) {
        const auto end = Clock::now() + std::chrono::milliseconds(500);
        ForkedChild writer([&](int report) {
            for (int i = 1; Clock::now() < end; ++i) {
                const int id = 1000000 * (round + 1) + i;
                const std::string error = RunOnce(
                    file, L"INSERT INTO t (id, pad) VALUES (" + std::to_wstring(id) + L", 'w')");
                ReportLine(report, error.empty() ? std::to_string(id) : "refused " + error);
            }
            return 0;
        });
        ForkedChild compactor([&](int report) {
            while (Clock::now() < end)
                ReportLine(report, CompactOnce(file).empty() ? "compacted" : "refused");
            return 0;
        });
        ASSERT_EQ(0, writer.Wait());
        ASSERT_EQ(0, compactor.Wait());

        std::set<std::string> present;
        {
            const std::string list =
                QueryText(file, "SELECT group_concat(id, ' ') FROM t WHERE id >= " +
                                    std::to_string(1000000 * (round + 1)));
            size_t start = 0;
            while (start < list.size()) {
                size_t space = list.find(' ', start);
                if (space == std::string::npos)
                    space = list.size();
                present.insert(list.substr(start, space - start));
                start = space + 1;
            }
        }
        for (const std::string& line : writer.Lines()) {
            if (line.rfind("refused ", 0) == 0) {
                ++refusedWrites;
                // A writer kept out says why, naming the file.
                EXPECT_NE(std::string::npos, line.find("race.db")) << line;
                continue;
            }
            ++committed;
            EXPECT_TRUE(present.count(line))
                << "committed row " << line << " is gone (round " << round << ")";
        }
        for (const std::string& line : compactor.Lines())
            compacted += line == "compacted";
        EXPECT_EQ("ok", QueryText(file, "PRAGMA integrity_check"));
    }
    EXPECT_GT(committed, 0);
    EXPECT_GT(compacted, 0);
    std::printf("[          ] 10 rounds: %d rows committed, %d writes kept out, %d compactions\n",
                committed, refusedWrites, compacted);
}

// The sqlite3 shell on a file, fed statements through a pipe. Its answers go to files
// through .output, which also tells when it has run everything sent before.
class SqliteShell {
  public:
    SqliteShell(const std::string& database, const std::string& folder) : folder_(folder) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[0], 0);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execlp("sqlite3", "sqlite3", database.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[0]);
        input_ = fds[1];
    }
    // Ends the shell (end of its input) and waits for it.
    ~SqliteShell() { Quit(); }
    void Quit() {
        if (input_ >= 0)
            ::close(input_);
        input_ = -1;
        if (pid_ > 0) {
            int status;
            ::waitpid(pid_, &status, 0);
        }
        pid_ = -1;
    }

    // Runs SQL (or dot commands) and returns what they printed, once they have run.
    std::string Run(const std::string& sql) {
        const std::string answer = folder_ + "/answer" + std::to_string(++answers_);
        Send(".output " + answer + "\n" + sql + "\n.print done\n.output stdout\n");
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        std::string text;
        while (Clock::now() < deadline) {
            text = ReadAll(answer);
            if (text.size() >= 5 && text.compare(text.size() - 5, 5, "done\n") == 0)
                return text.substr(0, text.size() - 5);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return "<no answer: " + text + ">";
    }

  private:
    void Send(const std::string& text) {
        if (::write(input_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            ADD_FAILURE() << "could not write to the sqlite3 shell";
    }
    std::string folder_;
    pid_t pid_ = -1;
    int input_ = -1;
    int answers_ = 0;
};

bool HaveSqliteShell() {
    return std::system("sqlite3 -version > /dev/null 2>&1") == 0;
}

class CompactionWithTheSqliteShell : public ::testing::TestWithParam<bool> {};

TEST_P(CompactionWithTheSqliteShell, AnIdleShellGoesOnReadingAndWritingCorrectly) {
    if (!HaveSqliteShell())
        GTEST_SKIP() << "the sqlite3 shell is not installed";
    const bool writeAheadLog = GetParam();
    TempFolder dir;
    const std::string file = dir.File("c.db");
    MakeSparseDatabase(file, 6000);
    if (writeAheadLog) {
        ASSERT_EQ("", RunOnce(file, L"UPDATE t SET pad = pad WHERE id = 3"));  // switches to WAL
    }
    const off_t before = static_cast<off_t>(ReadAll(file).size());
    SqliteShell shell(file, dir.Path());
    ASSERT_EQ("2000\n", shell.Run("SELECT count(*) FROM t;"));

    ASSERT_EQ("", CompactOnce(file));
    EXPECT_LT(static_cast<off_t>(ReadAll(file).size()) * 2, before);

    EXPECT_EQ("2001\nok\n", shell.Run("INSERT INTO t(pad) VALUES ('from the shell');"
                                      "SELECT count(*) FROM t; PRAGMA integrity_check;"));
    EXPECT_EQ("", RunOnce(file, L"INSERT INTO t (pad) VALUES ('from the library')"));
    EXPECT_EQ("2002\nok\n", shell.Run("SELECT count(*) FROM t; PRAGMA integrity_check;"));
    shell.Quit();
    EXPECT_EQ("ok", QueryText(file, "PRAGMA integrity_check"));
    EXPECT_EQ("2002", QueryText(file, "SELECT count(*) FROM t"));
}

INSTANTIATE_TEST_SUITE_P(JournalModes, CompactionWithTheSqliteShell, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& mode) {
                             return mode.param ? "WriteAheadLog" : "RollbackJournal";
                         });

TEST(CompactionAcrossProcesses, AShellInsideAWriteTransactionMakesItRefuseAndLoseNothing) {
    if (!HaveSqliteShell())
        GTEST_SKIP() << "the sqlite3 shell is not installed";
    TempFolder dir;
    const std::string file = dir.File("c.db");
    MakeSparseDatabase(file, 6000);
    const std::string before = ReadAll(file);
    SqliteShell shell(file, dir.Path());
    ASSERT_EQ("", shell.Run("BEGIN IMMEDIATE; INSERT INTO t(pad) VALUES ('in the transaction');"));

    const int wait = vorn::provider::SetBusyTimeoutMilliseconds(200);
    const std::string refused = CompactOnce(file);
    vorn::provider::SetBusyTimeoutMilliseconds(wait);
    EXPECT_NE(std::string::npos, refused.find("cannot compact the database '" + file +
                                              "': it is in use by another program"))
        << refused;
    EXPECT_EQ(before, ReadAll(file));

    EXPECT_EQ("2001\nok\n", shell.Run("COMMIT; SELECT count(*) FROM t; PRAGMA integrity_check;"));
    shell.Quit();
    EXPECT_EQ("", CompactOnce(file));
    EXPECT_EQ("ok", QueryText(file, "PRAGMA integrity_check"));
    EXPECT_EQ("2001", QueryText(file, "SELECT count(*) FROM t"));
}

// Reading through the library (a query, the table list) and closing leaves the file as it
// was, in either journal mode; the first write is what switches it to write-ahead logging.
TEST(ReadingConnections, LeaveEveryByteOfTheFileAsItWas) {
    TempFolder dir;
    const std::string file = dir.File("a.db");
    RunSql(file, "CREATE TABLE t(a); INSERT INTO t VALUES (1), (2);");
    auto readThrough = [&]() {
        VornOleDbConnection connection;
        ASSERT_EQ(S_OK, connection.OpenFromInitializationString(ConnectionString(file), false));
        VornOleDbCommand command;
        command.SetConnection(&connection);
        command.SetCommandText(L"SELECT a FROM t ORDER BY a");
        ASSERT_EQ(VornOleDbCommand::dbOK, command.Execute());
        ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
        command.Close();
        VornOleDbTables tables;
        std::vector<std::wstring> names;
        ASSERT_TRUE(tables.Open(&connection, nullptr, nullptr, nullptr, nullptr));
        ASSERT_TRUE(tables.GetTableList(names));
        EXPECT_NE(names.end(), std::find(names.begin(), names.end(), L"t"));
    };

    const std::string rollback = ReadAll(file);
    readThrough();
    EXPECT_EQ(rollback, ReadAll(file));
    EXPECT_EQ(1, rollback[18]);  // still the rollback journal

    ASSERT_EQ("", RunOnce(file, L"INSERT INTO t VALUES (3)"));
    const std::string writeAhead = ReadAll(file);
    EXPECT_EQ(2, writeAhead[18]);  // the first write switched it
    EXPECT_FALSE(Exists(file + "-wal"));
    readThrough();
    EXPECT_EQ(writeAhead, ReadAll(file));
    EXPECT_FALSE(Exists(file + "-wal"));
    EXPECT_FALSE(Exists(file + "-shm"));
}

}  // namespace
