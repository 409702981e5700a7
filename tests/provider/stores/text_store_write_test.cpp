// Writes to text files: INSERT appends rows quoted where needed, CREATE TABLE makes a file
// with its header line and schema.ini section, UPDATE and DELETE are refused in the text
// driver's words, and a statement or transaction reaches the file whole or not at all,
// also when its writer is killed in the middle.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "provider/stores/text_store_test_util.h"

namespace vorn::test {
namespace {

using TextWriteTest = TextFolderTest;

TEST_F(TextWriteTest, InsertAppendsQuotedRowsThatReadBack) {
    Write("parts.csv", "id,name,price\r\n1,bolt,0.25");  // no line end after the last row
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Run(L"INSERT INTO [parts.csv] VALUES (2, 'nut, \"hex\"', 1.5)")) << Narrow(error);
    EXPECT_EQ(1, command.GetRowsAffected());
    ASSERT_TRUE(Run(L"INSERT INTO [parts#csv] (id, name) VALUES (3, 'two' & Chr(10) & 'lines')"))
        << Narrow(error);
    EXPECT_EQ("id,name,price\r\n1,bolt,0.25\r\n2,\"nut, \"\"hex\"\"\",1.5\r\n3,\"two\nlines\",\r\n",
              ReadFile("parts.csv"));
    EXPECT_EQ((Rows{{L"1", L"bolt"}, {L"2", L"nut, \"hex\""}, {L"3", L"two\nlines"}}),
              Query(L"SELECT id, name FROM [parts#csv] ORDER BY id"));
    // A value that does not fit its column is refused, and nothing is written.
    const std::string before = ReadFile("parts.csv");
    EXPECT_FALSE(Run(L"INSERT INTO [parts#csv] VALUES ('x', 'y', 1)"));
    EXPECT_NE(std::wstring::npos, error.find(L"does not fit the column 'id'")) << Narrow(error);
    EXPECT_EQ(before, ReadFile("parts.csv"));
    // So is a statement whose later rows fail after earlier ones were written.
    EXPECT_FALSE(
        Run(L"INSERT INTO [parts#csv] SELECT id + 10, name, price FROM [parts#csv] "
            L"UNION ALL SELECT 'bad', 'row', 1 FROM [parts#csv]"));
    EXPECT_EQ(before, ReadFile("parts.csv"));
}

TEST_F(TextWriteTest, UpdateAndDeleteAreRefusedInTheDriversWords) {
    Write("parts.csv", "id,name\n1,bolt\n");
    ASSERT_TRUE(Open());
    EXPECT_FALSE(Run(L"UPDATE [parts#csv] SET name = 'nut'"));
    EXPECT_NE(std::wstring::npos,
              error.find(L"Updating data in a linked table is not supported by this ISAM."))
        << Narrow(error);
    EXPECT_FALSE(Run(L"DELETE FROM [parts#csv] WHERE id = 1"));
    EXPECT_NE(std::wstring::npos,
              error.find(L"Deleting data in a linked table is not supported by this ISAM."))
        << Narrow(error);
    EXPECT_EQ("id,name\n1,bolt\n", ReadFile("parts.csv"));
}

TEST_F(TextWriteTest, CreateTableWritesHeaderAndSchemaIni) {
    Write("schema.ini", "[other.csv]\r\nColNameHeader=False\r\n");
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Run(L"CREATE TABLE [new.csv] (id LONG, name TEXT(20), born DATETIME, ok YESNO)"))
        << Narrow(error);
    ASSERT_TRUE(Run(L"INSERT INTO [new#csv] VALUES (1, 'Ann Lee', #2001-02-03#, True)"))
        << Narrow(error);
    EXPECT_EQ("id,name,born,ok\r\n1,Ann Lee,2001-02-03,True\r\n", ReadFile("new.csv"));
    EXPECT_EQ(
        "[other.csv]\r\nColNameHeader=False\r\n[new.csv]\r\nColNameHeader=True\r\n"
        "Format=CSVDelimited\r\nCharacterSet=65001\r\nCol1=id Long\r\nCol2=name Text Width "
        "20\r\nCol3=born DateTime\r\nCol4=ok Bit\r\n",
        ReadFile("schema.ini"));
    // A new connection reads the types back from schema.ini.
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Run(L"SELECT * FROM [new#csv]"));
    EXPECT_EQ(DBTYPE_I4, command.GetRawType(1));
    EXPECT_EQ(DBTYPE_BOOL, command.GetRawType(4));
    EXPECT_EQ((Rows{{L"Ann Lee", L"2001"}}), Query(L"SELECT name, Year(born) FROM [new.csv]"));
    EXPECT_FALSE(Run(L"CREATE TABLE [new.csv] (id LONG)"));
}

TEST_F(TextWriteTest, RollbackLeavesFilesByteForByte) {
    const std::string original = "id,name\n1,bolt\n";
    Write("parts.csv", original);
    Write("schema.ini", "; kept as it is\r\n");
    ASSERT_TRUE(Open());
    ASSERT_TRUE(connection.StartTransaction());
    ASSERT_TRUE(Run(L"INSERT INTO [parts#csv] VALUES (2, 'nut')"));
    ASSERT_TRUE(Run(L"CREATE TABLE [made.csv] (a LONG)"));
    ASSERT_TRUE(Run(L"INSERT INTO [made#csv] VALUES (1)"));
    // The transaction sees its own rows.
    EXPECT_EQ((Rows{{L"2"}}), Query(L"SELECT COUNT(*) FROM [parts#csv]"));
    command.Close();
    ASSERT_TRUE(connection.Rollback());
    EXPECT_EQ(original, ReadFile("parts.csv"));
    EXPECT_EQ("; kept as it is\r\n", ReadFile("schema.ini"));
    EXPECT_EQ("", ReadFile("made.csv"));
    EXPECT_NE(0, ::access(folder.File("made.csv").c_str(), F_OK));
    EXPECT_NE(0, ::access(folder.File("parts.csv-vornjournal").c_str(), F_OK));

    // A statement that fails half way inside a transaction undoes only itself.
    ASSERT_TRUE(connection.StartTransaction());
    ASSERT_TRUE(Run(L"INSERT INTO [parts#csv] VALUES (3, 'washer')"));
    EXPECT_FALSE(
        Run(L"INSERT INTO [parts#csv] SELECT id, name FROM [parts#csv] UNION ALL SELECT "
            L"'bad', 'row' FROM [parts#csv]"));
    ASSERT_TRUE(connection.Commit());
    EXPECT_EQ(original + "3,washer\n", ReadFile("parts.csv"));
}

// A child process writes 100,000 rows in one transaction and is killed part way; the next
// open finds the file as it was before the transaction. Done 20 times, killed at times
// spread over the insert.
TEST_F(TextWriteTest, WriterKilledInTheMiddleLeavesTheFileAsItWas) {
    std::string source = "n,text\n";
    for (int i = 0; i < 100000; ++i)
        source += std::to_string(i) + ",row " + std::to_string(i) + "\n";
    Write("source.csv", source);
    const std::string original = "n,text\n-1,first\n";
    Write("target.csv", original);
    std::mt19937 random(13);
    int interrupted = 0;
    for (int round = 0; round < 20; ++round) {
        int ready[2];
        ASSERT_EQ(0, ::pipe(ready));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            VornOleDbConnection c;
            VornOleDbCommand cmd;
            if (c.OpenFromInitializationString(Connection(), false) != S_OK ||
                !c.StartTransaction())
                ::_exit(2);
            if (::write(ready[1], "r", 1) != 1)
                ::_exit(4);
            cmd.SetConnection(&c);
            cmd.SetCommandText(L"INSERT INTO [target#csv] SELECT n, text FROM [source#csv]");
            if (cmd.Execute() != VornOleDbCommand::dbOK)
                ::_exit(3);
            // Hold the transaction open until killed.
            ::pause();
            ::_exit(0);
        }
        ::close(ready[1]);
        char byte = 0;
        const bool started = ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
        // Even rounds kill as soon as the first rows reach the file, in the middle of the
        // statement; odd rounds at a random moment (before, during or after its writes),
        // always inside the open transaction.
        if (started && round % 2 == 0) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            struct stat st {};
            while (::stat(folder.File("target.csv").c_str(), &st) == 0 &&
                   static_cast<size_t>(st.st_size) == original.size() &&
                   std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        } else if (started) {
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 80000));
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round << " status " << status;
        if (ReadFile("target.csv") != original)
            ++interrupted;  // the kill came while rows were being written
        ASSERT_TRUE(Open()) << Narrow(connection.GetErrorText());
        EXPECT_EQ(original, ReadFile("target.csv")) << "round " << round;
        EXPECT_EQ((Rows{{L"1"}}), Query(L"SELECT COUNT(*) FROM [target#csv]"));
        command.Close();
        connection.Close();
    }
    EXPECT_GT(interrupted, 0) << "no kill came while the file was being written";
}

}  // namespace
}  // namespace vorn::test
