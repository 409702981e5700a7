// A process killed at a random point of a loop of transactions: every transaction whose
// commit was reported is there afterwards, whole, no other is there in part, and the file
// passes SQLite's integrity check.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "support/child_process.h"
#include "support/temp_database.h"
#include "vornoledb/command.h"
#include "vornoledb/connection.h"

using vorn::test::ConnectionString;
using vorn::test::ForkedChild;
using vorn::test::QueryText;
using vorn::test::ReportLine;
using vorn::test::RunSql;
using vorn::test::TempFolder;

namespace {

constexpr int kRowsPerTransaction = 5;

// The child: transaction after transaction of kRowsPerTransaction rows, each reported once
// its commit has returned. Runs until it is killed.
int TransactionLoop(const std::string& file, int run, int report) {
    VornOleDbConnection connection;
    if (connection.OpenFromInitializationString(ConnectionString(file), false) != S_OK)
        return 2;
    VornOleDbCommand command;
    command.SetConnection(&connection);
    ReportLine(report, "open");
    for (int n = 1;; ++n) {
        const int transaction = run * 100000 + n;
        if (!connection.StartTransaction())
            return 3;
        for (int row = 0; row < kRowsPerTransaction; ++row) {
            const std::wstring sql = L"INSERT INTO t (txn, pad) VALUES (" +
                                     std::to_wstring(transaction) + L", '" +
                                     std::wstring(200 + row * 50, L'x') + L"')";
            command.SetCommandText(sql.c_str());
            if (command.Execute() != VornOleDbCommand::dbOK)
                return 4;
        }
        if (!connection.Commit())
            return 5;
        ReportLine(report, std::to_string(transaction));
    }
}

TEST(TransactionCrash, KilledAtRandomEveryCommittedTransactionIsThereWhole) {
    TempFolder dir;
    const std::string file = dir.File("crash.db");
    RunSql(file,
           "CREATE TABLE t(id INTEGER PRIMARY KEY, txn INTEGER, pad TEXT);"
           "CREATE INDEX t_txn ON t(txn);");
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    int committed = 0;
    for (int run = 1; run <= 20; ++run) {
        ForkedChild child([&](int report) { return TransactionLoop(file, run, report); });
        ASSERT_TRUE(child.WaitForLine(5000)) << "the child did not open the database";
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 60000));
        child.Kill();

        for (const std::string& line : child.Lines()) {
            if (line == "open")
                continue;
            ++committed;
            EXPECT_EQ(std::to_string(kRowsPerTransaction),
                      QueryText(file, "SELECT count(*) FROM t WHERE txn = " + line))
                << "transaction " << line << " (seed " << seed << ")";
        }
        // No transaction is there in part.
        EXPECT_EQ("", QueryText(file,
                                "SELECT group_concat(txn) FROM (SELECT txn FROM t GROUP BY "
                                "txn HAVING count(*) != " +
                                    std::to_string(kRowsPerTransaction) + ")"))
            << "seed " << seed;
        EXPECT_EQ("ok", QueryText(file, "PRAGMA integrity_check")) << "seed " << seed;
    }
    EXPECT_GT(committed, 0);
    std::printf("[          ] 20 kills, %d transactions committed and found whole\n", committed);
}

}  // namespace
