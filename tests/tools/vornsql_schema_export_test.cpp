// vornsql's schema sub-commands and exports on the bundled sample.
#ifdef VORNSQL_PATH

#include <gtest/gtest.h>

#include "support/jet_sql_file.h"
#include "support/temp_database.h"
#include "tools/vornsql_process.h"
#include "tools/vornsql_sample.h"

using vorn::test::Contains;
using vorn::test::ProcessResult;
using vorn::test::ReadWholeFile;
using vorn::test::RunJetSql;
using vorn::test::RunProgram;
using vorn::test::RunPython;
using vorn::test::RunSql;
using vorn::test::RunVornsql;
using vorn::test::SampleDatabase;
using vorn::test::TempFolder;

namespace {

class VornsqlSchemaTest : public vorn::test::SampleSuite {};

TEST_F(VornsqlSchemaTest, TablesListsTheTablesAndTheView) {
    ProcessResult r = RunVornsql({"-f", "csv", Sample(), "tables"});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ(
        "Name,Type,Description\r\nOrderItems,TABLE,\r\nOrders,TABLE,\r\nParts,TABLE,\r\n"
        "Suppliers,TABLE,\r\nOrderTotals,VIEW,\r\n",
        r.out);
}

TEST_F(VornsqlSchemaTest, ListingAndQueryingLeaveAFileInRollbackJournalModeByteIdentical) {
    TempFolder own;
    const std::string db = sample_->CopyTo(own, "plant.db");
    RunSql(db, "PRAGMA journal_mode=DELETE");
    const std::string before = ReadWholeFile(db);
    ASSERT_EQ(1, before[18]);  // the rollback journal
    for (const std::vector<std::string>& args : {std::vector<std::string>{db, "tables"},
                                                 {db, "columns", "Parts"},
                                                 {db, "indexes"},
                                                 {db, "SELECT COUNT(*) FROM OrderItems"},
                                                 {db, "export", "Suppliers"}}) {
        ProcessResult r = RunVornsql(args);
        EXPECT_EQ(0, r.status) << args[1] << ": " << r.err;
        EXPECT_EQ(before, ReadWholeFile(db)) << args[1];
    }
}

TEST_F(VornsqlSchemaTest, ColumnsDescribesEachColumnInOrder) {
    ProcessResult r = RunVornsql({"-f", "json", Sample(), "columns", "suppliers"});
    ASSERT_EQ(0, r.status) << r.err;
    // Read back by Python: name, Jet type, OLE DB type, size and nullability per column.
    ProcessResult rows = RunPython(
        "import json, sys\n"
        "for c in json.load(sys.stdin):\n"
        "    print(c['Position'], c['Name'], c['Type'], c['DBType'], c['Size'], c['Nullable'],"
        " c['Seed'])\n",
        r.out);
    ASSERT_EQ(0, rows.status) << rows.err << r.out;
    EXPECT_EQ(
        "1 SupplierID COUNTER DBTYPE_I4 4 no 1\n"
        "2 Name TEXT(50) DBTYPE_WSTR 50 no None\n"
        "3 City TEXT(40) DBTYPE_WSTR 40 yes None\n"
        "4 Phone TEXT(24) DBTYPE_WSTR 24 yes None\n"
        "5 Preferred YESNO DBTYPE_BOOL None no None\n"
        "6 Notes MEMO DBTYPE_WSTR 536870910 yes None\n",
        rows.out);

    ProcessResult view =
        RunVornsql({"-f", "csv", "--no-header", Sample(), "columns", "OrderTotals"});
    ASSERT_EQ(0, view.status) << view.err;
    EXPECT_TRUE(Contains(view.out, "\r\n5,Total,DOUBLE,DBTYPE_R8,")) << view.out;
}

TEST_F(VornsqlSchemaTest, ColumnsOfAMissingTableFails) {
    ProcessResult r = RunVornsql({Sample(), "columns", "Nowhere"});
    EXPECT_EQ(1, r.status);
    EXPECT_TRUE(Contains(r.err, "no table or view named 'Nowhere'")) << r.err;
    EXPECT_EQ("", r.out);
}

TEST_F(VornsqlSchemaTest, ColumnsShowTheSeedAndStepOfCounterColumns) {
    const std::string db = dir.File("jet.db");
    RunJetSql(db,
              L"CREATE TABLE Orders (OrderID COUNTER(1001, 5) CONSTRAINT PK_Orders "
              L"PRIMARY KEY, Note TEXT(10))");
    ProcessResult r = RunVornsql({"-f", "csv", db, "columns", "Orders"});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ(
        "Position,Name,Type,DBType,Size,Nullable,Default,Seed,Step\r\n"
        "1,OrderID,COUNTER,DBTYPE_I4,4,no,,1001,5\r\n"
        "2,Note,TEXT(10),DBTYPE_WSTR,10,yes,,,\r\n",
        r.out);

    // The dialect keeps its counters in a table of its own; "indexes" shows only the
    // indexes of the tables "tables" lists.
    ProcessResult tables = RunVornsql({"-f", "csv", "--no-header", db, "tables"});
    EXPECT_EQ("Orders,TABLE,\r\n", tables.out);
    ProcessResult indexes = RunVornsql({"-f", "csv", "--no-header", db, "indexes"});
    EXPECT_EQ("Orders,PK_Orders,OrderID,yes\r\n", indexes.out);
}

TEST_F(VornsqlSchemaTest, TablesListsSavedProceduresUnderTheirType) {
    const std::string db = dir.File("saved.db");
    RunJetSql(db, L"CREATE TABLE Acct (ID COUNTER, Name TEXT(50), Bal CURRENCY)");
    ProcessResult made = RunVornsql(
        {db, "CREATE VIEW Everyone AS SELECT Name FROM Acct",
         "CREATE PROCEDURE Rich (Least CURRENCY) AS SELECT Name FROM Acct WHERE Bal >= Least",
         "CREATE PROCEDURE Clear AS DELETE FROM Acct"});
    ASSERT_EQ(0, made.status) << made.err;
    ProcessResult tables = RunVornsql({"-f", "csv", "--no-header", db, "tables"});
    ASSERT_EQ(0, tables.status) << tables.err;
    EXPECT_EQ("Acct,TABLE,\r\nEveryone,VIEW,\r\nClear,PROCEDURE,\r\nRich,PROCEDURE,\r\n",
              tables.out);
    ProcessResult run = RunVornsql({"-f", "csv", "--no-header", db, "EXECUTE Rich 0"});
    EXPECT_EQ(0, run.status) << run.err;
}

TEST_F(VornsqlSchemaTest, IndexesJoinTheColumnsOfEachIndexAndMarkPrimaryKeys) {
    ProcessResult all = RunVornsql({"-f", "csv", Sample(), "indexes"});
    ASSERT_EQ(0, all.status) << all.err;
    EXPECT_TRUE(Contains(all.out, "Table,Index,Columns,PrimaryKey\r\n")) << all.out;
    EXPECT_TRUE(Contains(all.out, "\r\nOrderItems,PK_OrderItems,\"OrderID, PartID\",yes\r\n"))
        << all.out;
    EXPECT_TRUE(Contains(all.out, "\r\nOrders,OrdersByDate,OrderDate,no\r\n")) << all.out;

    ProcessResult parts = RunVornsql({"-f", "tsv", "--no-header", Sample(), "indexes", "Parts"});
    ASSERT_EQ(0, parts.status) << parts.err;
    EXPECT_EQ(
        "Parts\tPartsByNumber\tPartNo\tno\nParts\tPK_Parts\tPartID\tyes\n"
        "Parts\tPartsBySupplier\tSupplierID\tno\n",
        parts.out);
}

TEST_F(VornsqlSchemaTest, ExportWritesCsvThatReadsBackRowForRow) {
    ProcessResult r = RunVornsql({Sample(), "export", "Suppliers"});
    ASSERT_EQ(0, r.status) << r.err;
    ProcessResult check = RunPython(
        "import csv, io, sys\n"
        "rows = list(csv.DictReader(io.StringIO(sys.stdin.read(), newline='')))\n"
        "print(len(rows))\n"
        "print(rows[3]['Notes'])\n"
        "print(rows[5]['Name'], '|', rows[5]['Phone'], '|', rows[1]['City'])\n",
        r.out);
    ASSERT_EQ(0, check.status) << check.err;
    EXPECT_EQ(
        "6\nSeals, hoses and valves. Ask for \"Mme Girard\" in sales.\n"
        "O'Neill Fasteners |  | G\xC3\xB6teborg\n",
        check.out);
}

TEST_F(VornsqlSchemaTest, ExportTakesAQueryAndAnyFormat) {
    ProcessResult q = RunVornsql({"-f", "json", Sample(), "export", "--query",
                                  "SELECT OrderID, Total FROM OrderTotals ORDER BY OrderID"});
    ASSERT_EQ(0, q.status) << q.err;
    ProcessResult tool = RunProgram("python3", {"-m", "json.tool", "--compact"}, q.out);
    ASSERT_EQ(0, tool.status) << tool.err;
    EXPECT_TRUE(Contains(tool.out, "{\"OrderID\":1001,\"Total\":1062.4}")) << tool.out;

    ProcessResult notRows = RunVornsql(
        {Sample(), "export", "--query", "UPDATE Parts SET InStock = InStock WHERE 1 = 0"});
    EXPECT_EQ(1, notRows.status);
    EXPECT_TRUE(Contains(notRows.err, "not a SELECT")) << notRows.err;
}

TEST_F(VornsqlSchemaTest, ExportOfAMissingTableFailsAndLeavesNoFile) {
    const std::string out = dir.File("x.csv");
    ProcessResult r = RunVornsql({"-o", out, Sample(), "export", "NoSuchTable"});
    EXPECT_EQ(1, r.status);
    EXPECT_TRUE(Contains(r.err, "could not export the table 'NoSuchTable'")) << r.err;
    EXPECT_TRUE(Contains(r.err, "SELECT * FROM [NoSuchTable]")) << r.err;
    EXPECT_FALSE(std::ifstream(out).good());

    ProcessResult odd = RunVornsql({Sample(), "export", "a]b"});
    EXPECT_EQ(1, odd.status);
    EXPECT_TRUE(Contains(odd.err, "--query")) << odd.err;
}

TEST_F(VornsqlSchemaTest, ExportOfATableWithBlanksInItsNameToAFile) {
    const std::string db = dir.File("odd.db");
    RunSql(db,
           "CREATE TABLE [Parts List] (ID LONG, Memo MEMO);"
           "INSERT INTO [Parts List] VALUES (1, 'x'), (2, NULL);");
    const std::string out = dir.File("list.tsv");
    ProcessResult r = RunVornsql({"-f", "tsv", "-o", out, db, "export", "Parts List"});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ("", r.out);
    EXPECT_EQ("ID\tMemo\n1\tx\n2\t\\N\n", ReadWholeFile(out));
}

}  // namespace

#endif  // VORNSQL_PATH
