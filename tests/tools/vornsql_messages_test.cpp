// What vornsql says on standard error: passwords never shown, control characters escaped,
// a megabyte statement reported in a few lines; and the shell commands of a script: several
// statements in one argument, the LIKE hint, .schema, .timer, .read, .format, \q, and a
// table whose widths change after its first thousand rows.
#ifdef VORNSQL_PATH

#include <gtest/gtest.h>

#include <sstream>

#include "support/temp_database.h"
#include "tools/vornsql_process.h"
#include "tools/vornsql_sample.h"

using vorn::test::Contains;
using vorn::test::ProcessResult;
using vorn::test::RunSql;
using vorn::test::RunVornsql;
using vorn::test::WriteWholeFile;

namespace {

class VornsqlMessagesTest : public vorn::test::SampleSuite {};

bool HasControlCharacter(const std::string& text) {
    for (unsigned char c : text)
        if ((c < 0x20 && c != '\n') || c == 0x7f)
            return true;
    return false;
}

TEST_F(VornsqlMessagesTest, AFailingConnectNeverShowsThePassword) {
    const std::vector<std::string> strings = {
        "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + dir.File("none.db") +
            ";User ID=admin;Password=s3cret-pw;",
        "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + dir.File("none.db") +
            ";Jet OLEDB:Database Password=\"s3cret;pw\";",
        "Provider=Nobody.Here.1;Pwd=s3cret-pw;Data Source=x;"};
    for (const std::string& init : strings) {
        for (const char* verbose : {"--quiet", "--verbose"}) {
            ProcessResult r = RunVornsql({verbose, "--connect", init, "SELECT 1"});
            EXPECT_EQ(1, r.status);
            EXPECT_FALSE(Contains(r.err, "s3cret")) << r.err;
            EXPECT_TRUE(Contains(r.err, "=***")) << r.err;
            EXPECT_TRUE(Contains(r.err, "could not open the connection string")) << r.err;
        }
    }
}

TEST_F(VornsqlMessagesTest, ControlCharactersInErrorsAreEscaped) {
    ProcessResult r = RunVornsql({Sample(), "SELECT \x1b]0;owned\x07 FROM Parts\r\n\x9b"});
    EXPECT_EQ(1, r.status);
    EXPECT_FALSE(HasControlCharacter(r.err)) << r.err;
    EXPECT_TRUE(Contains(r.err, "\\x1b")) << r.err;
    ProcessResult missing = RunVornsql({Sample(), "SELECT * FROM [\x1b[2J]"});
    EXPECT_EQ("vornsql: SQL argument: no such table: \\x1b[2J (42S02)\n", missing.err);
}

TEST_F(VornsqlMessagesTest, AMegabyteStatementIsReportedByItsLengthStartAndErrorPosition) {
    // 2 MB of text in a string, then a WHERE without a condition.
    const std::string sql = "SELECT '" + std::string(2000000, 'x') + "' AS t FROM Parts WHERE";
    const std::string script = "SELECT 1;\n\n" + sql + ";\n";
    for (const char* verbose : {"--quiet", "--verbose"}) {
        ProcessResult r = RunVornsql({verbose, Sample()}, script);
        EXPECT_EQ(1, r.status);
        EXPECT_LT(r.err.size(), 2500u) << r.err.substr(0, 3000);
        EXPECT_TRUE(Contains(r.err, "vornsql: line 3")) << r.err.substr(0, 3000);
        EXPECT_TRUE(Contains(r.err, "statement (2000031 characters), starting:\n  SELECT 'xxx"))
            << r.err.substr(0, 3000);
        EXPECT_TRUE(Contains(r.err, "at position 2000032:\n  ...xxx")) << r.err.substr(0, 3000);
        EXPECT_TRUE(Contains(r.err, "xx' AS t FROM Parts WHERE\n")) << r.err.substr(0, 3000);
        EXPECT_TRUE(Contains(r.err, std::string(70, ' ') + "^\n")) << r.err.substr(0, 3000);
    }
}

TEST_F(VornsqlMessagesTest, OneArgumentMayHoldSeveralStatements) {
    ProcessResult r = RunVornsql({"-f", "csv", Sample(), "SELECT 1 AS a; SELECT 'x;y' AS b;"});
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("a\r\n1\r\nb\r\nx;y\r\n", r.out);
    ProcessResult failing =
        RunVornsql({"-f", "csv", Sample(), "SELECT 1 AS a; SELECT * FROM Nowhere; SELECT 3"});
    EXPECT_EQ(1, failing.status);
    EXPECT_EQ("a\r\n1\r\n", failing.out);  // the third never ran
    EXPECT_EQ("vornsql: SQL argument, statement 2: no such table: Nowhere (42S02)\n", failing.err);
}

TEST_F(VornsqlMessagesTest, LikeWithAccessWildcardsThatFindsNothingGetsAHint) {
    ProcessResult r =
        RunVornsql({"-f", "csv", Sample(), "SELECT PartNo FROM Parts WHERE PartNo LIKE 'B-M*'"});
    EXPECT_EQ(0, r.status);
    EXPECT_EQ("PartNo\r\n", r.out);
    EXPECT_TRUE(Contains(r.err, "hint: LIKE 'B-M*' found nothing: LIKE takes % (any")) << r.err;
    // No hint when the pattern found rows, or has no such wildcard, or '*' is in a name.
    for (const char* sql : {"SELECT PartNo FROM Parts WHERE PartNo LIKE 'B-M%'",
                            "SELECT PartNo FROM Parts WHERE PartNo LIKE 'none%'",
                            "SELECT PartNo AS [a*] FROM Parts WHERE PartNo LIKE 'Q%'"}) {
        ProcessResult quiet = RunVornsql({"-f", "csv", Sample(), sql});
        EXPECT_EQ(0, quiet.status);
        EXPECT_EQ("", quiet.err) << sql;
    }
}

TEST_F(VornsqlMessagesTest, ShellCommandsOfAScript) {
    WriteWholeFile(dir.File("part.sql"),
                   "SELECT COUNT(*) AS n FROM Suppliers;\n"
                   ".format\n"
                   "SELECT * FROM Nowhere;\n"
                   "SELECT 'not reached' AS x;\n");
    const std::string script =
        ".format tsv\n"
        ".format\n"
        ".timer on\n"
        "SELECT 7 AS seven;\n"
        ".timer off\n"
        ".read " +
        dir.File("part.sql") +
        "\n"
        "SELECT 'after' AS y;\n"
        "\\q\n"
        "SELECT 'after quit' AS z;\n";
    ProcessResult r = RunVornsql({"--continue", Sample()}, script);
    EXPECT_EQ(1, r.status);  // the failing statement in the file
    EXPECT_EQ("tsv\nseven\n7\nn\n6\ntsv\nx\nnot reached\ny\nafter\n", r.out);
    EXPECT_TRUE(Contains(r.err, "time: ")) << r.err;
    EXPECT_TRUE(Contains(
        r.err, "vornsql: line 3 of '" + dir.File("part.sql") + "': no such table: Nowhere (42S02)"))
        << r.err;
    EXPECT_FALSE(Contains(r.out, "after quit"));

    ProcessResult missing = RunVornsql({Sample()}, ".read " + dir.File("none.sql") + "\n");
    EXPECT_EQ(1, missing.status);
    EXPECT_TRUE(Contains(missing.err, "line 1: could not read '" + dir.File("none.sql")))
        << missing.err;
}

TEST_F(VornsqlMessagesTest, SchemaWritesTheCreateStatementsInJetTerms) {
    ProcessResult r = RunVornsql({Sample()}, ".schema Parts\n.schema [OrderTotals]\n");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(Contains(r.out,
                         "CREATE TABLE [Parts] (\n"
                         "    [PartID] COUNTER(1, 1),\n"
                         "    [PartNo] TEXT(20) NOT NULL,\n"))
        << r.out;
    EXPECT_TRUE(Contains(r.out,
                         "    [Discontinued] YESNO NOT NULL DEFAULT 0,\n"
                         "    [Added] DATETIME,\n"
                         "    CONSTRAINT [PK_Parts] PRIMARY KEY ([PartID])\n"
                         ");\n"
                         "CREATE UNIQUE INDEX [PartsByNumber] ON [Parts] ([PartNo]);\n"
                         "CREATE INDEX [PartsBySupplier] ON [Parts] ([SupplierID]);\n"))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "CREATE VIEW `OrderTotals` AS SELECT")) << r.out;
    // The whole schema makes a database with the same tables.
    ProcessResult all = RunVornsql({Sample()}, ".schema\n");
    ASSERT_EQ(0, all.status) << all.err;
    const std::string copy = dir.File("copy.db");
    ASSERT_EQ(0, RunVornsql({"create", copy}).status);
    std::string tablesOnly = all.out.substr(0, all.out.find("CREATE VIEW"));
    ProcessResult made = RunVornsql({copy}, tablesOnly);
    EXPECT_EQ(0, made.status) << made.err << tablesOnly;
    EXPECT_EQ(RunVornsql({copy, "columns", "OrderItems"}).out,
              RunVornsql({Sample(), "columns", "OrderItems"}).out);

    ProcessResult none = RunVornsql({Sample()}, ".schema Nothing\n");
    EXPECT_EQ(1, none.status);
    EXPECT_TRUE(Contains(none.err, "no table or view named 'Nothing'")) << none.err;
}

TEST_F(VornsqlMessagesTest, TableColumnsStayAlignedPastTheFirstThousandRows) {
    const std::string db = sample_->CopyTo(dir, "rows.db");
    RunSql(db,
           "CREATE TABLE R (N INTEGER, T TEXT);"
           "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 1500) "
           "INSERT INTO R SELECT x, 'v' FROM c;"
           "UPDATE R SET T = 'a much longer value' WHERE N = 1200;");
    ProcessResult r = RunVornsql({"-f", "table", db, "SELECT N, T FROM R ORDER BY N"});
    ASSERT_EQ(0, r.status) << r.err;
    std::istringstream lines(r.out);
    std::string line, rule;
    size_t headers = 0;
    std::vector<std::string> section;
    while (std::getline(lines, line)) {
        if (line.rfind("------", 0) == 0) {
            ++headers;
            rule = line;
            continue;
        }
        if (line[0] == '(')
            break;
        if (line.find('N') != std::string::npos)
            continue;  // a header, aligned with the rule after it
        // Every row's '|' stands where its rule's '+' stands.
        EXPECT_EQ(rule.find('+'), line.find('|')) << line;
    }
    EXPECT_EQ(2u, headers);  // written again where the column widened
    EXPECT_TRUE(Contains(r.out, " 1200 | a much longer value\n")) << r.out.substr(0, 200);
}

}  // namespace

#endif  // VORNSQL_PATH
