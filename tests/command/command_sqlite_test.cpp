// The command on the embedded provider over a SQLite database file made by the test:
// statements that change rows, results walked both ways, every field as text and as an
// integer, long values in all three binding modes, and SQL the engine refuses.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "support/temp_database.h"
#include "vornoledb/command.h"

using vorn::test::ConnectionString;
using vorn::test::QueryText;
using vorn::test::RunSql;
using vorn::test::TempFolder;

namespace {

class SqliteCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        file = folder.File("plant.db");
        RunSql(file, "PRAGMA user_version = 1;");  // an empty database file
        ASSERT_EQ(S_OK, connection.OpenFromInitializationString(ConnectionString(file), false))
            << std::string(connection.GetErrorText().begin(), connection.GetErrorText().end());
        command.SetConnection(&connection);
    }
    // Runs one statement and expects it to succeed.
    void Run(const wchar_t* sql) {
        command.SetCommandText(sql);
        ASSERT_EQ(VornOleDbCommand::dbOK, command.Execute())
            << std::string(command.GetErrorText().begin(), command.GetErrorText().end());
    }
    void MakeParts(int count) {
        Run(L"CREATE TABLE parts (id LONG, name TEXT(40), price DOUBLE)");
        for (int i = 1; i <= count; ++i) {
            command.SetCommandText((L"INSERT INTO parts VALUES (" + std::to_wstring(i) +
                                    L", 'part " + std::to_wstring(i) + L"', " + std::to_wstring(i) +
                                    L".25)")
                                       .c_str());
            ASSERT_EQ(VornOleDbCommand::dbOK, command.Execute());
            EXPECT_EQ(1, command.GetRowsAffected());
        }
    }

    TempFolder folder;
    std::string file;
    VornOleDbConnection connection;
    VornOleDbCommand command;
};

TEST_F(SqliteCommandTest, ChangesRowsAndCountsThem) {
    MakeParts(5);
    Run(L"UPDATE parts SET price = price * 2 WHERE id > 2");
    EXPECT_FALSE(command.HasResults());
    EXPECT_EQ(3, command.GetRowsAffected());
    EXPECT_EQ(0u, command.GetColumnCount());
    EXPECT_EQ(VornOleDbCommand::dbError, command.FetchNext());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchPrev());
    EXPECT_EQ("8.5", QueryText(file, "SELECT price FROM parts WHERE id = 4"));
    Run(L"DELETE FROM parts WHERE id = 1");
    EXPECT_EQ(1, command.GetRowsAffected());
    EXPECT_EQ("4", QueryText(file, "SELECT COUNT(*) FROM parts"));
}

TEST_F(SqliteCommandTest, WalksBothWays) {
    MakeParts(6);
    Run(L"SELECT id, name FROM parts ORDER BY id");
    EXPECT_TRUE(command.HasResults());
    std::vector<long> seen;
    while (command.FetchNext() == VornOleDbCommand::dbOK)
        seen.push_back(command.FieldAsLong(1));
    while (command.FetchPrev() == VornOleDbCommand::dbOK)
        seen.push_back(command.FieldAsLong(1));
    EXPECT_EQ((std::vector<long>{1, 2, 3, 4, 5, 6, 6, 5, 4, 3, 2, 1}), seen);
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(1, command.FieldAsLong(1));

    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchLast());
    EXPECT_EQ(L"part 6", command.FieldAsString(2));
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchPrev());
    EXPECT_EQ(5, command.FieldAsLong(1));
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(6, command.FieldAsLong(1));
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchNext());
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchFirst());
    EXPECT_EQ(1, command.FieldAsLong(1));
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext(2));
    EXPECT_EQ(4, command.FieldAsLong(1));
}

TEST_F(SqliteCommandTest, StateMachineAtTheEdges) {
    MakeParts(1);
    Run(L"SELECT id FROM parts");
    EXPECT_EQ(VornOleDbCommand::dbOK, command.FetchNext(5));  // skip ignored on the first fetch
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchNext());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchNext());
    EXPECT_FALSE(command.HasErrorInfo());
    EXPECT_EQ(VornOleDbCommand::dbOK, command.FetchFirst());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchPrev());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchPrev());
    EXPECT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(1, command.FieldAsLong(1));

    Run(L"SELECT id FROM parts WHERE id > 100");
    EXPECT_EQ(1u, command.GetColumnCount());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchNext());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchLast());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchFirst());
}

TEST_F(SqliteCommandTest, EveryFieldAsTextAndInteger) {
    // Made by SQLite directly: Jet SQL has neither a 64-bit integer column nor a binary
    // literal, and the stored values are what is read here.
    RunSql(file,
           "CREATE TABLE t (n LONG, s SHORT, b BYTE, big INTEGER, d DOUBLE, f SINGLE, "
           "c CURRENCY, ok YESNO, at DATETIME, name TEXT(20), free TEXT, memo LONGTEXT, "
           "blob OLEOBJECT, amount DECIMAL(10, 2));"
           "INSERT INTO t VALUES (-42, 7, 200, 9000000000, 1.5, 0.25, 12.3456, -1, "
           "'2021-03-04 05:06:07', 'Bolt  ', 'free text', 'memo text', x'0102', 123.45);"
           "INSERT INTO t VALUES (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
           "NULL, NULL, NULL, NULL);");
    Run(L"SELECT * FROM t");
    ASSERT_EQ(14u, command.GetColumnCount());
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    const std::vector<std::wstring> expected = {L"-42",        L"7",         L"200",
                                                L"9000000000", L"1.500000",  L"0.250000",
                                                L"12.3456",    L"-1",        L"2021-03-04 05:06:07",
                                                L"Bolt  ",     L"free text", L"",
                                                L"",           L"123.45"};
    for (unsigned long c = 1; c <= 14; ++c)
        EXPECT_EQ(expected[c - 1], command.FieldAsString(c)) << "column " << c;
    EXPECT_EQ(L"Bolt", command.FieldAsStringEx(10));
    EXPECT_EQ(-42, command.FieldAsLong(1));
    EXPECT_EQ(static_cast<int32_t>(static_cast<uint32_t>(9000000000ll)), command.FieldAsLong(4));
    EXPECT_EQ(12, command.FieldAsLong(7));
    EXPECT_EQ(-1, command.FieldAsLong(8));
    EXPECT_EQ(VornOleDbCommand::dbOK, command.IsIntegral(4));
    EXPECT_EQ(VornOleDbCommand::dbOK, command.IsNumeric(14));
    EXPECT_EQ(DBTYPE_WSTR | DBTYPE_BYREF, command.GetRawType(12));
    EXPECT_EQ(VornOleDbCommand::dbOK, command.IsBlob(13));
    EXPECT_EQ(12u, command.GetColumnIndex(L"MEMO"));
    EXPECT_EQ(L"amount", command.GetColumnName(14));

    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    for (unsigned long c = 1; c <= 14; ++c) {
        EXPECT_EQ(L"", command.FieldAsString(c)) << "column " << c;
        EXPECT_EQ(VornOleDbCommand::dbOK, command.IsNull(c)) << "column " << c;
    }
}

TEST_F(SqliteCommandTest, LongValuesInEveryBindingMode) {
    Run(L"CREATE TABLE docs (id LONG, body MEMO, image OLEOBJECT)");
    // 25000 bytes of binary: the heap form reads it in 10000-byte chunks.
    Run(L"INSERT INTO docs VALUES (1, 'short memo', randomblob(25000))");
    Run(L"INSERT INTO docs VALUES (2, NULL, NULL)");
    const std::string hex = QueryText(file, "SELECT hex(image) FROM docs WHERE id = 1");

    for (DBBLOBHANDLINGENUM mode : {DBBLOBHANDLING_NOSTREAMS, DBBLOBHANDLING_DEFAULT}) {
        SCOPED_TRACE(mode);
        command.Close();
        ASSERT_TRUE(command.SetBlobHandling(mode));
        Run(L"SELECT id, body, image FROM docs ORDER BY id");
        ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
        CHeapPtr<unsigned char, CCRTAllocator> image;
        ASSERT_EQ(25000ul, command.GetBlobData(3, image));
        std::string got;
        for (int i = 0; i < 25000; ++i) {
            char two[3];
            snprintf(two, sizeof two, "%02X", image.m_pData[i]);
            got += two;
        }
        EXPECT_EQ(hex, got);
        unsigned char text[40] = {};
        EXPECT_EQ(VornOleDbCommand::dbOK, command.GetBlobData(2, text, sizeof text));
        EXPECT_EQ(L"short memo", std::wstring(reinterpret_cast<wchar_t*>(text), 10));
        ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
        EXPECT_EQ(VornOleDbCommand::dbNull, command.GetBlobData(2, text, sizeof text));
        CHeapPtr<unsigned char, CCRTAllocator> none;
        EXPECT_EQ(0ul, command.GetBlobData(3, none));
        EXPECT_EQ(nullptr, none.m_pData);
    }

    command.Close();
    ASSERT_TRUE(command.SetBlobHandling(DBBLOBHANDLING_SKIP));
    Run(L"SELECT id, body, image FROM docs ORDER BY id");
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(25000ul, command.GetColumnSize(3));
    EXPECT_EQ(10 * sizeof(wchar_t), command.GetColumnSize(2));
    EXPECT_EQ(L"", command.FieldAsString(2));
    unsigned char buffer[8];
    EXPECT_EQ(VornOleDbCommand::dbError, command.GetBlobData(3, buffer, sizeof buffer));
}

TEST_F(SqliteCommandTest, ARepeatedQueryDescribesTheTableAsItIsNow) {
    // The same text runs on one prepared statement; its columns follow the table when the
    // table changes under it, on this connection or on another one.
    Run(L"CREATE TABLE parts (id LONG, name TEXT(40))");
    Run(L"INSERT INTO parts VALUES (1, 'bolt')");
    const wchar_t* const query = L"SELECT * FROM parts";
    for (int run = 0; run < 2; ++run) {
        Run(query);
        ASSERT_EQ(2u, command.GetColumnCount());
        ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
        EXPECT_EQ(L"bolt", command.FieldAsString(2));
    }

    Run(L"DROP TABLE parts");
    Run(L"CREATE TABLE parts (id LONG, made DATETIME, price CURRENCY)");
    Run(L"INSERT INTO parts VALUES (2, #3/4/2021#, 1.5)");
    Run(query);
    ASSERT_EQ(3u, command.GetColumnCount());
    EXPECT_EQ(L"made", command.GetColumnName(2));
    EXPECT_EQ(DBTYPE_DATE, command.GetRawType(2));
    EXPECT_EQ(DBTYPE_CY, command.GetRawType(3));
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(L"2021-03-04", command.FieldAsString(2));
    EXPECT_EQ(L"1.5000", command.FieldAsString(3));

    command.Close();
    RunSql(file, "ALTER TABLE parts ADD COLUMN note TEXT(10)");
    for (int run = 0; run < 2; ++run) {
        Run(query);
        ASSERT_EQ(4u, command.GetColumnCount());
        EXPECT_EQ(L"note", command.GetColumnName(4));
        EXPECT_EQ(DBTYPE_WSTR, command.GetRawType(4));
        ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
        EXPECT_EQ(L"1.5000", command.FieldAsString(3));
        EXPECT_EQ(VornOleDbCommand::dbOK, command.IsNull(4));
    }
}

TEST_F(SqliteCommandTest, BadSqlGivesTheEngineMessageAndTheStatement) {
    command.SetCommandText(L"SELECT * FROM nothere");
    EXPECT_EQ(VornOleDbCommand::dbError, command.Execute());
    EXPECT_NE(std::wstring::npos, command.GetErrorText().find(L"nothere"));
    EXPECT_NE(std::wstring::npos, command.GetErrorText().find(L"SQLState: 42S02"));
    EXPECT_EQ(L"SELECT * FROM nothere", command.GetErrorStatement());
    EXPECT_EQ(command.GetErrorText() + L"\nSELECT * FROM nothere", command.GetErrorInfo(true));
    EXPECT_FALSE(command.HasResults());

    command.SetCommandText(L"SELEC 1");
    EXPECT_EQ(VornOleDbCommand::dbError, command.Execute());
    EXPECT_NE(std::wstring::npos, command.GetErrorText().find(L"syntax error"));
}

TEST_F(SqliteCommandTest, FieldBytesGiveTheValuesThemselves) {
    RunSql(file,
           "CREATE TABLE v (d DOUBLE, f SINGLE, c CURRENCY, b BINARY(4), memo LONGTEXT);"
           "INSERT INTO v VALUES (1e-300, 0.1, 12.3456, x'00ff10', 'text');"
           "INSERT INTO v VALUES (NULL, NULL, NULL, NULL, NULL);");
    Run(L"SELECT * FROM v");
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    std::vector<unsigned char> bytes;
    ASSERT_EQ(VornOleDbCommand::dbOK, command.GetFieldBytes(1, bytes));
    ASSERT_EQ(sizeof(double), bytes.size());
    double d = 0;
    std::memcpy(&d, bytes.data(), sizeof d);
    EXPECT_EQ(1e-300, d);  // the text of the value says 0.000000
    ASSERT_EQ(VornOleDbCommand::dbOK, command.GetFieldBytes(2, bytes));
    float f = 0;
    ASSERT_EQ(sizeof f, bytes.size());
    std::memcpy(&f, bytes.data(), sizeof f);
    EXPECT_EQ(0.1f, f);
    ASSERT_EQ(VornOleDbCommand::dbOK, command.GetFieldBytes(3, bytes));
    int64_t cy = 0;
    ASSERT_EQ(sizeof cy, bytes.size());
    std::memcpy(&cy, bytes.data(), sizeof cy);
    EXPECT_EQ(123456, cy);
    // A short binary value: its own length, not the declared size.
    ASSERT_EQ(VornOleDbCommand::dbOK, command.GetFieldBytes(4, bytes));
    EXPECT_EQ((std::vector<unsigned char>{0x00, 0xff, 0x10}), bytes);
    // Long values are read with GetBlobData; bad columns give nothing.
    EXPECT_EQ(VornOleDbCommand::dbError, command.GetFieldBytes(5, bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(VornOleDbCommand::dbError, command.GetFieldBytes(0, bytes));
    EXPECT_EQ(VornOleDbCommand::dbError, command.GetFieldBytes(6, bytes));
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(VornOleDbCommand::dbNull, command.GetFieldBytes(1, bytes));
    EXPECT_EQ(VornOleDbCommand::dbNull, command.GetFieldBytes(4, bytes));
    command.Close();
    EXPECT_EQ(VornOleDbCommand::dbError, command.GetFieldBytes(1, bytes));
}

TEST_F(SqliteCommandTest, CancelFromAnotherThreadStopsALongQuery) {
    VornOleDbCommand idle;
    idle.SetConnection(&connection);
    EXPECT_FALSE(idle.Cancel());  // never run: nothing to stop

    // A count over a cross join of 100,000 rows with itself: far beyond the test's time.
    RunSql(file,
           "CREATE TABLE n (i LONG);"
           "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 100000) "
           "INSERT INTO n SELECT x FROM c;");
    command.SetCommandText(L"SELECT COUNT(*) FROM n AS a, n AS b");
    std::atomic<bool> done{false};
    std::thread canceller([&] {
        // Asks again until the query has ended: a request that comes before the engine has
        // started the statement is not kept.
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            command.Cancel();
        }
    });
    const auto start = std::chrono::steady_clock::now();
    VornOleDbCommand::dbStatus status = command.Execute();
    if (status == VornOleDbCommand::dbOK)
        status = command.FetchNext();
    done = true;
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_NE(VornOleDbCommand::dbOK, status);
    EXPECT_NE(std::wstring::npos, command.GetErrorText().find(L"HY008"))
        << std::string(command.GetErrorText().begin(), command.GetErrorText().end());

    // The connection goes on working.
    Run(L"SELECT COUNT(*) FROM n");
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(L"100000", command.FieldAsString(1));
}

}  // namespace
