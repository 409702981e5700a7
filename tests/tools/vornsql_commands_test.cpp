// vornsql run as a user runs it: help and version, SQL arguments and scripts on standard
// input, failures and exit statuses, create and compact.
#ifdef VORNSQL_PATH

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <vornoledb/vornoledb.h>

#include "support/temp_database.h"
#include "tools/vornsql_process.h"
#include "tools/vornsql_sample.h"

using vorn::test::Contains;
using vorn::test::ProcessResult;
using vorn::test::QueryText;
using vorn::test::ReadWholeFile;
using vorn::test::RunProgram;
using vorn::test::RunVornsql;
using vorn::test::SampleDatabase;
using vorn::test::TempFolder;
using vorn::test::WriteWholeFile;

namespace {

class VornsqlTest : public vorn::test::SampleSuite {};

TEST_F(VornsqlTest, HelpNamesEverySubCommandAndVersionNamesTheLibrary) {
    ProcessResult help = RunVornsql({"--help"});
    EXPECT_EQ(0, help.status);
    for (const char* word :
         {"tables", "columns TABLE", "indexes [TABLE]", "export TABLE", "--query SQL",
          "create FILE", "compact FILE", "--format", "--connect", "Exit status"})
        EXPECT_TRUE(Contains(help.out, word)) << word;
    EXPECT_EQ("", help.err);

    ProcessResult version = RunVornsql({"--version"});
    EXPECT_EQ(0, version.status);
    // What --help says it prints: the version of vornsql and of the library.
    EXPECT_TRUE(Contains(help.out, "the version of vornsql and of the library"));
    EXPECT_EQ(std::string("vornsql ") + VornOleDbVersion() + "\nVornOleDb library " +
                  VornOleDbVersion() + "\n",
              version.out);
}

TEST_F(VornsqlTest, CommandLinesThatCannotBeReadExitWithStatusTwo) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--bogus", Sample()},
        {"--format", "xml", Sample(), "SELECT 1"},
        {Sample(), "columns"},
        {Sample(), "tables", "extra"},
        {Sample(), "export"},
        {Sample(), "export", "Parts", "--query", "SELECT 1"},
        {"create"},
        {"compact", "a.db", "b.db"},
        {Sample(), "--query", "SELECT 1"},
        {"--output"},
    };
    for (const auto& args : bad) {
        ProcessResult r = RunVornsql(args);
        std::string line;
        for (const auto& a : args)
            line += a + " ";
        EXPECT_EQ(2, r.status) << line;
        EXPECT_TRUE(Contains(r.err, "vornsql: ")) << line << r.err;
        EXPECT_TRUE(Contains(r.err, "--help")) << line << r.err;
        EXPECT_EQ("", r.out) << line;
    }
}

TEST_F(VornsqlTest, SqlArgumentsRunInTurnAndReportRowsAffected) {
    const std::string db = dir.File("t.db");
    ASSERT_EQ(0, RunVornsql({"create", db}).status);
    ProcessResult r =
        RunVornsql({"--format", "table", db, "CREATE TABLE T (ID LONG PRIMARY KEY, Name TEXT(20))",
                    "INSERT INTO T VALUES (1, 'a')", "INSERT INTO T VALUES (2, 'b')",
                    "UPDATE T SET Name = 'c'", "SELECT COUNT(*) AS N FROM T"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(Contains(r.out, "1 row affected\n1 row affected\n2 rows affected\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, " N\n---\n 2\n(1 row)\n")) << r.out;

    // In csv the counts go to standard error and standard output holds only the rows.
    ProcessResult csv =
        RunVornsql({"--format", "csv", db, "DELETE FROM T WHERE ID = 1", "SELECT * FROM T"});
    EXPECT_EQ(0, csv.status);
    EXPECT_EQ("ID,Name\r\n2,c\r\n", csv.out);
    EXPECT_EQ("1 row affected\n", csv.err);

    ProcessResult quiet = RunVornsql({"-q", "-f", "table", db, "DELETE FROM T"});
    EXPECT_EQ(0, quiet.status);
    EXPECT_EQ("", quiet.out);
}

TEST_F(VornsqlTest, AFailingStatementStopsTheRunWithOneLineOrItsErrorRecords) {
    const std::string db = dir.File("t.db");
    ASSERT_EQ(0, RunVornsql({"create", db}).status);
    ASSERT_EQ(0, RunVornsql({db, "CREATE TABLE T (ID LONG)"}).status);
    ProcessResult r = RunVornsql(
        {db, "INSERT INTO T VALUES (1)", "SELECT * FROM Missing", "INSERT INTO T VALUES (2)"});
    EXPECT_EQ(1, r.status);
    // One line: where, the provider's description without its copy of the statement, and
    // the SQL state.
    EXPECT_EQ("1 row affected\nvornsql: SQL argument 2: no such table: Missing (42S02)\n", r.err);
    EXPECT_EQ("1", QueryText(db, "SELECT COUNT(*) FROM T"));  // the third never ran

    ProcessResult verbose = RunVornsql({"--verbose", db, "SELECT * FROM Missing"});
    EXPECT_EQ(1, verbose.status);
    EXPECT_TRUE(Contains(verbose.err, "vornsql: SQL argument: the statement failed\n"))
        << verbose.err;
    EXPECT_TRUE(Contains(verbose.err, "SQLState: 42S02")) << verbose.err;  // the records
    EXPECT_TRUE(Contains(verbose.err, "statement (21 characters):\n  SELECT * FROM Missing\n"))
        << verbose.err;

    ProcessResult on =
        RunVornsql({"--continue", db, "SELECT * FROM Missing", "INSERT INTO T VALUES (3)"});
    EXPECT_EQ(1, on.status);
    EXPECT_EQ("2", QueryText(db, "SELECT COUNT(*) FROM T"));
}

TEST_F(VornsqlTest, AScriptFromAPipeSplitsAtSemicolonsOutsideQuotesBracketsAndComments) {
    const std::string db = dir.File("t.db");
    ASSERT_EQ(0, RunVornsql({"create", db}).status);
    const std::string script =
        "-- a comment; not a statement\n"
        "CREATE TABLE [Odd; Name] (ID LONG, T TEXT(40));\n"
        "INSERT INTO [Odd; Name] VALUES (1, 'semi;colon');  /* block; comment */\n"
        "INSERT INTO [Odd; Name] VALUES (2, 'it''s; two\n"
        "lines');;\n"
        "   ;\n"
        "INSERT INTO [Odd; Name] VALUES (3, \"double;quoted\")\n"
        "; SELECT ID, T FROM [Odd; Name] ORDER BY ID\n";  // the last one has no ';'
    ProcessResult r = RunVornsql({"-f", "csv", db}, script);
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("ID,T\r\n1,semi;colon\r\n2,\"it's; two\nlines\"\r\n3,double;quoted\r\n", r.out);
    EXPECT_EQ("", r.err);  // no counts for a script
}

TEST_F(VornsqlTest, AFailingStatementInAScriptNamesItsLine) {
    const std::string db = dir.File("t.db");
    ASSERT_EQ(0, RunVornsql({"create", db}).status);
    ProcessResult r = RunVornsql({db},
                                 "CREATE TABLE T (ID LONG);\n\nINSERT INTO T\n"
                                 "  VALUES (1, 2, 3);\nINSERT INTO T VALUES (9);\n");
    EXPECT_EQ(1, r.status);
    EXPECT_TRUE(Contains(r.err, "vornsql: line 3: table T has 1 columns but 3 values")) << r.err;
    EXPECT_EQ("0", QueryText(db, "SELECT COUNT(*) FROM T"));
}

TEST_F(VornsqlTest, AStatementHoldingANulIsNotRunCut) {
    const std::string db = dir.File("t.db");
    ASSERT_EQ(0, RunVornsql({"create", db}).status);
    ASSERT_EQ(0, RunVornsql({db, "CREATE TABLE T (ID LONG)", "INSERT INTO T VALUES (1)",
                             "INSERT INTO T VALUES (2)"})
                     .status);
    // Cut at the NUL, this would delete every row.
    ProcessResult r = RunVornsql({db}, std::string("DELETE FROM T\0 WHERE ID = 1;\n", 29));
    EXPECT_EQ(1, r.status);
    EXPECT_TRUE(Contains(r.err, "line 1: the statement holds a NUL")) << r.err;
    EXPECT_EQ("2", QueryText(db, "SELECT COUNT(*) FROM T"));
}

TEST_F(VornsqlTest, CreateMakesANewDatabaseAndRefusesAnExistingFile) {
    const std::string db = dir.File("new.db");
    ProcessResult r = RunVornsql({"create", db});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("created the database '" + db + "'\n", r.out);
    EXPECT_EQ(0, RunVornsql({db, "CREATE TABLE T (ID LONG)"}).status);

    ProcessResult again = RunVornsql({"create", db});
    EXPECT_EQ(1, again.status);
    EXPECT_TRUE(Contains(again.err, "could not create the database '" + db + "'")) << again.err;
    EXPECT_TRUE(Contains(again.err, "already exists")) << again.err;
    // The existing database is untouched.
    EXPECT_EQ("T", QueryText(db, "SELECT name FROM sqlite_master WHERE type = 'table'"));

    ProcessResult noFolder = RunVornsql({"create", dir.File("no/such/folder.db")});
    EXPECT_EQ(1, noFolder.status);
    EXPECT_TRUE(Contains(noFolder.err, "folder.db")) << noFolder.err;
}

TEST_F(VornsqlTest, CompactKeepsTheRowsAndShrinksAFileWithDeletedRows) {
    const std::string db = sample_->CopyTo(dir, "plant.db");
    // Grow the file, then delete what was added.
    std::string script = "CREATE TABLE Scratch (ID LONG, T MEMO);\n";
    for (int i = 0; i < 40; ++i)
        script += "INSERT INTO Scratch VALUES (" + std::to_string(i) + ", '" +
                  std::string(20000, 'x') + "');\n";
    script += "DROP TABLE Scratch;\n";
    ASSERT_EQ(0, RunVornsql({db}, script).status);
    struct stat before, after;
    ASSERT_EQ(0, stat(db.c_str(), &before));
    // A file named like a compaction's temporary file is still somebody's own.
    const std::string precious = dir.File("plant_TMP_.mdb");
    WriteWholeFile(precious, "precious\n");

    ProcessResult r = RunVornsql({"compact", db});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(Contains(r.out, "compacted '" + db + "': ")) << r.out;
    ASSERT_EQ(0, stat(db.c_str(), &after));
    EXPECT_LT(after.st_size, before.st_size / 4);
    ProcessResult rows =
        RunVornsql({"-f", "csv", "--no-header", db, "SELECT COUNT(*) FROM OrderItems"});
    EXPECT_EQ("21\r\n", rows.out);
    EXPECT_EQ("precious\n", ReadWholeFile(precious));
    EXPECT_FALSE(std::ifstream(db + "-journal").good());
}

TEST_F(VornsqlTest, CompactReportsAMissingFile) {
    ProcessResult r = RunVornsql({"compact", dir.File("missing.db")});
    EXPECT_EQ(1, r.status);
    EXPECT_TRUE(Contains(r.err, "could not open the database")) << r.err;
    EXPECT_TRUE(Contains(r.err, "missing.db")) << r.err;
}

TEST_F(VornsqlTest, AMissingSourceIsReportedAndNotCreated) {
    const std::string db = dir.File("absent.db");
    ProcessResult r = RunVornsql({db, "SELECT 1"});
    EXPECT_EQ(1, r.status);
    EXPECT_TRUE(Contains(r.err, "could not open '" + db + "'")) << r.err;
    EXPECT_TRUE(Contains(r.err, "could not find file")) << r.err;
    EXPECT_FALSE(std::ifstream(db).good());
}

TEST_F(VornsqlTest, AFileNameHoldingSemicolonsAndQuotesOpensThatFile) {
    const std::string db = dir.File("plant; Mode=Read; \"x\".db");
    ASSERT_EQ(0, RunVornsql({"create", db}).status) << db;
    ProcessResult r = RunVornsql({"-f", "csv", db, "CREATE TABLE T (ID LONG)",
                                  "INSERT INTO T VALUES (7)", "SELECT ID FROM T"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("ID\r\n7\r\n", r.out);
}

TEST_F(VornsqlTest, ConnectTakesAWholeConnectionStringAndReadOnlyRefusesWrites) {
    const std::string init = "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Sample() + ";";
    ProcessResult r = RunVornsql(
        {"--connect", init, "-f", "csv", "--no-header", "SELECT COUNT(*) FROM Suppliers"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("6\r\n", r.out);

    ProcessResult readOnly = RunVornsql({"--read-only", Sample(), "DELETE FROM OrderItems"});
    EXPECT_EQ(1, readOnly.status);
    EXPECT_EQ("21", QueryText(Sample(), "SELECT COUNT(*) FROM OrderItems"));

    ProcessResult unknown =
        RunVornsql({"--connect", "Provider=Nobody.Here.1;Data Source=x;", "SELECT 1"});
    EXPECT_EQ(1, unknown.status);
    EXPECT_TRUE(Contains(unknown.err, "Nobody.Here.1")) << unknown.err;
}

TEST_F(VornsqlTest, OutputThatCannotBeWrittenFailsTheRun) {
    ProcessResult full = RunProgram(VORNSQL_PATH, {"-f", "csv", Sample(), "SELECT * FROM Parts"},
                                    "", "", "/dev/full");
    EXPECT_EQ(1, full.status);
    EXPECT_TRUE(Contains(full.err, "could not write the results to standard output")) << full.err;

    ProcessResult noFolder =
        RunVornsql({"-o", dir.File("none/out.csv"), Sample(), "SELECT * FROM Parts"});
    EXPECT_EQ(1, noFolder.status);
    EXPECT_TRUE(Contains(noFolder.err, "none/out.csv")) << noFolder.err;
}

TEST_F(VornsqlTest, OutputFileAppearsOnlyWhenTheRunSucceeded) {
    const std::string out = dir.File("parts.csv");
    ProcessResult ok =
        RunVornsql({"-o", out, Sample(), "SELECT PartNo FROM Parts WHERE PartID < 3"});
    EXPECT_EQ(0, ok.status) << ok.err;
    EXPECT_EQ("", ok.out);
    EXPECT_EQ("PartNo\r\nB-M8-40\r\nB-M10-60\r\n", ReadWholeFile(out));

    const std::string failed = dir.File("failed.csv");
    ProcessResult bad = RunVornsql({"-o", failed, Sample(), "SELECT 1", "SELECT * FROM Missing"});
    EXPECT_EQ(1, bad.status);
    EXPECT_FALSE(std::ifstream(failed).good());
}

}  // namespace

#endif  // VORNSQL_PATH
