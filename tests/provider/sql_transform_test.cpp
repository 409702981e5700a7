// Crosstab queries (TRANSFORM ... PIVOT): the columns a host sees (row headings, then one
// per pivot value, named after it, <> for Null), their types, an IN list's columns in its
// order, and the pivot values and the rows read in one snapshot while another connection
// writes.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "host_query_util.h"
#include "sql_test_util.h"

namespace vorn::test {
namespace {

using Rows = std::vector<std::vector<std::wstring>>;

class Crosstab : public ::testing::Test {
  protected:
    void SetUp() override {
        db.Exec(
            {L"CREATE TABLE Acct (ID COUNTER, Name TEXT(50), Bal CURRENCY, Opened DATETIME, "
             L"Active YESNO)",
             L"INSERT INTO Acct (Name, Bal, Opened, Active) VALUES ('Ann', 10.25, "
             L"#2023-01-15#, True)",
             L"INSERT INTO Acct (Name, Bal, Opened, Active) VALUES ('Ann', 5, #2024-03-01#, "
             L"True)",
             L"INSERT INTO Acct (Name, Bal, Opened, Active) VALUES ('bob', 3.1, "
             L"#2024-05-06#, False)",
             L"INSERT INTO Acct (Name, Bal, Opened, Active) VALUES ('Bob', 1, Null, False)"});
    }
    HostDatabase db;
};

TEST_F(Crosstab, ColumnsAreTheRowHeadingsThenTheSortedPivotValues) {
    const HostResult r =
        db.Run(L"TRANSFORM Sum(Bal) SELECT Name FROM Acct GROUP BY Name PIVOT Year(Opened)");
    ASSERT_TRUE(r.ok) << WideToUtf8(r.error);
    EXPECT_EQ(r.names, (std::vector<std::wstring>{L"Name", L"<>", L"2023", L"2024"}));
    EXPECT_EQ(r.types, (std::vector<unsigned short>{DBTYPE_WSTR, DBTYPE_CY, DBTYPE_CY, DBTYPE_CY}));
    // Names group without regard to case; a cell without rows is empty.
    EXPECT_EQ(r.rows, (Rows{{L"Ann", L"NULL", L"10.2500", L"5.0000"},
                            {L"bob", L"1.0000", L"NULL", L"3.1000"}}));

    // Dates name their columns by their text; Count's empty cells are empty too.
    const HostResult dates =
        db.Run(L"TRANSFORM Count(*) SELECT Active FROM Acct GROUP BY Active PIVOT Opened");
    ASSERT_TRUE(dates.ok) << WideToUtf8(dates.error);
    EXPECT_EQ(dates.names, (std::vector<std::wstring>{L"Active", L"<>", L"2023-01-15",
                                                      L"2024-03-01", L"2024-05-06"}));
    EXPECT_EQ(dates.types[1], DBTYPE_I4);
    EXPECT_EQ(dates.rows,
              (Rows{{L"-1", L"NULL", L"1", L"1", L"NULL"}, {L"0", L"1", L"NULL", L"NULL", L"1"}}));
}

TEST_F(Crosstab, AnInListGivesItsColumnsInItsOrder) {
    const HostResult r = db.Run(
        L"TRANSFORM Avg(Bal) SELECT Name, Sum(Bal) AS Total FROM Acct GROUP BY Name "
        L"ORDER BY Name DESC PIVOT Format(Opened, 'yyyy') IN ('2024', '2022', Null)");
    ASSERT_TRUE(r.ok) << WideToUtf8(r.error);
    EXPECT_EQ(r.names, (std::vector<std::wstring>{L"Name", L"Total", L"2024", L"2022", L"<>"}));
    EXPECT_EQ(r.types, (std::vector<unsigned short>{DBTYPE_WSTR, DBTYPE_CY, DBTYPE_R8, DBTYPE_R8,
                                                    DBTYPE_R8}));
    EXPECT_EQ(r.rows, (Rows{{L"bob", L"4.1000", L"3.100000", L"NULL", L"1.000000"},
                            {L"Ann", L"15.2500", L"5.000000", L"NULL", L"NULL"}}));

    // No rows: only the row headings' columns, and no rows.
    const HostResult none = db.Run(
        L"TRANSFORM Sum(Bal) SELECT Name FROM Acct WHERE Bal > 100 GROUP BY Name PIVOT Active");
    ASSERT_TRUE(none.ok) << WideToUtf8(none.error);
    EXPECT_EQ(none.names, (std::vector<std::wstring>{L"Name"}));
    EXPECT_TRUE(none.rows.empty());
}

TEST_F(Crosstab, NewPivotValuesMakeNewColumnsTheNextTime) {
    const wchar_t* sql = L"TRANSFORM Sum(Bal) SELECT Name FROM Acct GROUP BY Name PIVOT Active";
    HostResult r = db.Run(sql);
    ASSERT_TRUE(r.ok) << WideToUtf8(r.error);
    EXPECT_EQ(r.names, (std::vector<std::wstring>{L"Name", L"-1", L"0"}));
    db.Exec({L"UPDATE Acct SET Active = True"});
    r = db.Run(sql);
    ASSERT_TRUE(r.ok) << WideToUtf8(r.error);
    EXPECT_EQ(r.names, (std::vector<std::wstring>{L"Name", L"-1"}));
    EXPECT_EQ(r.rows, (Rows{{L"Ann", L"15.2500"}, {L"bob", L"4.1000"}}));
}

// The pivot values and the rows come from one state of the data: a row another connection
// commits after the values were read is in neither.
TEST(CrosstabSnapshot, ValuesAndRowsAreReadInOneSnapshot) {
    provider::sql::test::JetDatabase a;
    a.Raw("PRAGMA journal_mode = WAL");
    a.Run("CREATE TABLE Sales (Region TEXT(10), Yr LONG, Amount LONG)");
    a.Run("INSERT INTO Sales VALUES ('North', 2023, 5)");
    a.Run("INSERT INTO Sales VALUES ('South', 2024, 7)");
    sqlite3* b = nullptr;
    ASSERT_EQ(sqlite3_open(a.Path().c_str(), &b), SQLITE_OK);

    provider::sql::TranslationResult error;
    sqlite3_stmt* s = a.Cache().Acquire(
        L"TRANSFORM Sum(Amount) SELECT Region, Sum(Amount) AS Total FROM Sales GROUP BY Region "
        L"PIVOT Yr",
        &error);
    ASSERT_NE(s, nullptr) << WideToUtf8(error.message);
    EXPECT_EQ(sqlite3_column_count(s), 4);  // Region, Total, 2023, 2024
    ASSERT_EQ(
        sqlite3_exec(b, "INSERT INTO Sales VALUES ('North', 2025, 100)", nullptr, nullptr, nullptr),
        SQLITE_OK)
        << sqlite3_errmsg(b);
    std::vector<std::string> rows;
    while (a.Cache().Step(s) == SQLITE_ROW) {
        std::string row;
        for (int i = 0; i < sqlite3_column_count(s); ++i) {
            const unsigned char* t = sqlite3_column_text(s, i);
            row += (i ? "|" : "") + (t ? std::string(reinterpret_cast<const char*>(t)) : "NULL");
        }
        rows.push_back(row);
    }
    a.Cache().Release(s);
    EXPECT_EQ(rows, (std::vector<std::string>{"North|5|5|NULL", "South|7|NULL|7"}));
    // The next run reads the new state: a 2025 column, and North's total with it.
    EXPECT_EQ(a.Run("TRANSFORM Sum(Amount) SELECT Region, Sum(Amount) AS Total FROM Sales "
                    "GROUP BY Region PIVOT Yr"),
              (std::vector<std::string>{"North|105|5|NULL|100", "South|7|NULL|7|NULL"}));
    EXPECT_EQ(sqlite3_close(b), SQLITE_OK);
}

TEST(CrosstabErrors, StatementsThatAreNoCrosstabAreRefusedInWords) {
    HostDatabase db;
    db.Exec({L"CREATE TABLE T (A LONG, B LONG)"});
    db.ExpectRefused({
        {L"TRANSFORM Sum(B) SELECT A FROM T PIVOT B", L"needs GROUP BY"},
        {L"TRANSFORM B SELECT A FROM T GROUP BY A PIVOT B", L"need an aggregate function"},
        {L"TRANSFORM Sum(B) SELECT A FROM T GROUP BY A", L"expected PIVOT"},
        {L"TRANSFORM SELECT A FROM T GROUP BY A PIVOT B", L"expected the aggregate"},
        {L"TRANSFORM Sum(B) SELECT A INTO U FROM T GROUP BY A PIVOT B", L"INTO is not allowed"},
        {L"TRANSFORM Sum(B) SELECT A FROM T GROUP BY A PIVOT B IN (1, 2", L"expected ')'"},
    });
}

}  // namespace
}  // namespace vorn::test
