// vornsql copy: the sample database and a CSV folder into new database files and into the
// PostgreSQL test server, compared table by table; refusals say why, and never show a
// password.
#ifdef VORNSQL_PATH

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "support/pg_server.h"
#include "support/temp_database.h"
#include "tools/vornsql_process.h"
#include "tools/vornsql_sample.h"
#include "vornoledb/connection.h"
#include "vornoledb/platform/text.h"

using vorn::test::Contains;
using vorn::test::ProcessResult;
using vorn::test::ReadWholeFile;
using vorn::test::RunVornsql;
using vorn::test::TempFolder;
using vorn::test::WriteWholeFile;

namespace {

const char* const kSampleTables[] = {"Suppliers", "Parts", "Orders", "OrderItems"};

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Every row of a table as CSV, in the order of its first column; the header lower-cased,
// since a server keeps names in lower case.
std::string Rows(const std::vector<std::string>& source, const std::string& table) {
    std::vector<std::string> args = source;
    args.insert(args.end(),
                {"--format", "csv", "export", "--query", "SELECT * FROM " + table + " ORDER BY 1"});
    const ProcessResult r = RunVornsql(args);
    EXPECT_EQ(0, r.status) << r.err;
    const size_t header = r.out.find('\n');
    return header == std::string::npos ? r.out
                                       : Lower(r.out.substr(0, header)) + r.out.substr(header);
}

class VornsqlCopyTest : public vorn::test::SampleSuite {};

TEST_F(VornsqlCopyTest, TheSampleCopiesIntoANewDatabaseFileTableByTable) {
    TempFolder folder;
    const std::string target = folder.File("copy.db");
    const ProcessResult r = RunVornsql({"copy", Sample(), target});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(Contains(r.out, "copied 4 tables")) << r.out;
    EXPECT_TRUE(Contains(r.out, "the row counts match")) << r.out;
    for (const char* table : kSampleTables)
        EXPECT_EQ(Rows({Sample()}, table), Rows({target}, table)) << table;

    // Keys, indexes and COUNTER columns come along; the counter goes on after the highest.
    const ProcessResult columns = RunVornsql({target, "columns", "Orders"});
    EXPECT_TRUE(Contains(columns.out, "1,OrderID,COUNTER,DBTYPE_I4,4,no,,1001,1")) << columns.out;
    const ProcessResult indexes = RunVornsql({target, "indexes", "Parts"});
    EXPECT_TRUE(Contains(indexes.out, "PartNo,no")) << indexes.out;
    EXPECT_TRUE(Contains(indexes.out, "PartID,yes")) << indexes.out;
    const std::string highest = RunVornsql({target, "SELECT MAX(OrderID) FROM Orders"}).out;
    const ProcessResult next =
        RunVornsql({target, "INSERT INTO Orders (OrderDate, Urgent) VALUES (#2025-01-01#, False)",
                    "SELECT MAX(OrderID) FROM Orders"});
    EXPECT_TRUE(Contains(highest, "1007")) << highest;
    EXPECT_TRUE(Contains(next.out, "1008")) << next.out << next.err;

    // A target that exists is never written over.
    const std::string before = ReadWholeFile(target);
    const ProcessResult again = RunVornsql({"copy", Sample(), target});
    EXPECT_EQ(1, again.status);
    EXPECT_TRUE(Contains(again.err, "exists already")) << again.err;
    EXPECT_EQ(before, ReadWholeFile(target));
}

TEST_F(VornsqlCopyTest, UsageIsCheckedAndHelpTellsIt) {
    const ProcessResult one = RunVornsql({"copy", Sample()});
    EXPECT_EQ(2, one.status);
    EXPECT_TRUE(Contains(one.err, "'copy' takes a SOURCE and a TARGET")) << one.err;
    const ProcessResult connect = RunVornsql({"--connect", "Provider=X;", "copy", "a", "b"});
    EXPECT_EQ(2, connect.status);
    EXPECT_TRUE(Contains(connect.err, "with --connect takes one TARGET")) << connect.err;
    const ProcessResult help = RunVornsql({"--help"});
    EXPECT_TRUE(Contains(help.out, "copy SOURCE TARGET")) << help.out;
    EXPECT_TRUE(Contains(help.out, "Provider=PostgreSQL")) << help.out;
}

TEST_F(VornsqlCopyTest, ACsvFolderCopiesWithItsTypes) {
    TempFolder in, out;
    WriteWholeFile(in.File("parts.csv"),
                   "PartNo,Qty,Price,Added\nA-1,12,1.5,2024-01-02\nB-2,7,0.25,2024-03-04\n"
                   "\"C,3\",0,10,2024-05-06\n");
    const std::string target = out.File("parts.db");
    const ProcessResult r = RunVornsql({"copy", in.Path(), target});
    ASSERT_EQ(0, r.status) << r.err;
    // The file's table "parts#csv" becomes the table "parts".
    EXPECT_TRUE(Contains(r.out, "parts: 3 rows")) << r.out;
    EXPECT_EQ(Rows({in.Path()}, "[parts.csv]"), Rows({target}, "parts"));
    const ProcessResult columns = RunVornsql({target, "columns", "parts"});
    EXPECT_TRUE(Contains(columns.out, "Qty,LONG")) << columns.out;
}

TEST_F(VornsqlCopyTest, AWorkbookCopiesSheetByName) {
    TempFolder folder;
    const std::string book = folder.File("test.xlsx");
    WriteWholeFile(book, ReadWholeFile(std::string(VORN_TESTDATA_DIR) + "/excel/csvkit/test.xlsx"));
    const std::string target = folder.File("book.db");
    const ProcessResult r = RunVornsql({"copy", book, target});
    ASSERT_EQ(0, r.status) << r.err;
    // The sheet's table "Sheet1$" becomes the table "Sheet1"; dates, numbers, Yes/No,
    // non-ASCII text and blank cells come across.
    EXPECT_TRUE(Contains(r.out, "copied 1 table, 5 rows")) << r.out;
    EXPECT_EQ(Rows({book}, "[Sheet1$]"), Rows({target}, "Sheet1"));
    EXPECT_TRUE(Contains(Rows({target}, "Sheet1"), "Unicode! \xCE\xA3"))
        << Rows({target}, "Sheet1");
}

TEST_F(VornsqlCopyTest, AnAccessFileCopiesTableByTable) {
    const std::string access = std::string(VORN_TESTDATA_DIR) + "/access/jackcess/testV1997.mdb";
    const ProcessResult tables = RunVornsql({"--format", "csv", access, "tables"});
    ASSERT_EQ(0, tables.status) << tables.err;
    TempFolder folder;
    const std::string target = folder.File("access.db");
    const ProcessResult r = RunVornsql({"copy", access, target});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(Contains(r.out, "the row counts match")) << r.out;
    EXPECT_EQ(Rows({access}, "Table1"), Rows({target}, "Table1"));
}

TEST_F(VornsqlCopyTest, TheSampleCopiesIntoPostgreSQL) {
    VORN_REQUIRE_PG_SERVER();
    // A database of this test's own on the server.
    const std::wstring database = vorn::test::PgName(L"copy");
    VornOleDbConnection admin;
    ASSERT_EQ(admin.OpenFromInitializationString(vorn::test::PgConnectionString(), false), S_OK);
    vorn::test::PgRun(admin, L"DROP DATABASE IF EXISTS " + database);
    vorn::test::PgRun(admin, L"CREATE DATABASE " + database);
    std::wstring init = vorn::test::PgConnectionString();
    const size_t catalog = init.find(L"Initial Catalog=");
    ASSERT_NE(catalog, std::wstring::npos);
    init.replace(catalog, init.find(L';', catalog) - catalog, L"Initial Catalog=" + database);
    const std::string target = WideToUtf8(init);

    const ProcessResult r = RunVornsql({"copy", Sample(), target});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_TRUE(Contains(r.out, "the row counts match")) << r.out;
    // The password never shows, not even in the summary naming the target.
    EXPECT_FALSE(Contains(r.out + r.err, "vorn-test-pw")) << r.out;
    for (const char* table : kSampleTables)
        EXPECT_EQ(Rows({Sample()}, table), Rows({"--connect", target}, Lower(table))) << table;

    // Identity columns go on after the highest value copied.
    const ProcessResult next = RunVornsql(
        {"--connect", target,
         "INSERT INTO orders (orderdate, urgent) VALUES (now(), false) RETURNING orderid"});
    EXPECT_TRUE(Contains(next.out, "1008")) << next.out << next.err;
    const ProcessResult columns = RunVornsql({"--connect", target, "columns", "Orders"});
    EXPECT_TRUE(Contains(columns.out, "orderid,COUNTER,DBTYPE_I4,4,no,,1001,1")) << columns.out;

    // A table that is there already fails the copy, which says where and why.
    const ProcessResult again = RunVornsql({"copy", Sample(), target});
    EXPECT_EQ(1, again.status);
    EXPECT_TRUE(Contains(again.err, "could not create the table")) << again.err;
    EXPECT_TRUE(Contains(again.err, "42P07")) << again.err;
    EXPECT_FALSE(Contains(again.err, "vorn-test-pw")) << again.err;
    admin.Close();
    VornOleDbConnection cleanup;
    ASSERT_EQ(cleanup.OpenFromInitializationString(vorn::test::PgConnectionString(), false), S_OK);
    vorn::test::PgRun(cleanup, L"DROP DATABASE IF EXISTS " + database);
}

TEST_F(VornsqlCopyTest, AWrongPasswordIsReportedWithoutIt) {
    VORN_REQUIRE_PG_SERVER();
    std::string target = WideToUtf8(vorn::test::PgConnectionString());
    target.replace(target.find("Password="), std::string::npos, "Password=NotTheRightOne;");
    TempFolder folder;
    const ProcessResult r = RunVornsql({"copy", Sample(), target});
    EXPECT_EQ(1, r.status);
    EXPECT_TRUE(Contains(r.err, "password authentication failed")) << r.err;
    EXPECT_FALSE(Contains(r.err, "NotTheRightOne")) << r.err;
    const ProcessResult connect = RunVornsql({"--connect", target, "tables"});
    EXPECT_EQ(1, connect.status);
    EXPECT_FALSE(Contains(connect.err, "NotTheRightOne")) << connect.err;
}

}  // namespace

#endif  // VORNSQL_PATH
