// The Jet types of computed result columns, as a host sees them through the column
// information (GetRawType) and FieldAsString: Currency sums and products read with four
// decimals, dates of Min and CDate read as dates, Count as Long, comparisons as Yes/No.
#include <gtest/gtest.h>

#include "host_query_util.h"

namespace vorn::test {
namespace {

class JetResultTypes : public ::testing::Test {
  protected:
    void SetUp() override {
        db.Exec(
            {L"CREATE TABLE Acct (ID COUNTER, Name TEXT(50), Bal CURRENCY, Opened DATETIME, "
             L"Active YESNO, Qty LONG, Rate DOUBLE, Code SHORT)",
             L"INSERT INTO Acct (Name, Bal, Opened, Active, Qty, Rate, Code) VALUES ('Ann', "
             L"10.25, #2024-01-15#, True, 3, 0.5, 7)",
             L"INSERT INTO Acct (Name, Bal, Opened, Active, Qty, Rate, Code) VALUES ('Bob', "
             L"3.1, #2024-05-06 10:30#, False, 1, 1.25, 9)"});
    }
    // The single row of sql: each column's DBTYPE and text.
    void Expect(const wchar_t* sql, const std::vector<unsigned short>& types,
                const std::vector<std::wstring>& values) {
        const HostResult r = db.Run(sql);
        ASSERT_TRUE(r.ok) << WideToUtf8(sql) << ": " << WideToUtf8(r.error);
        EXPECT_EQ(r.types, types) << WideToUtf8(sql);
        ASSERT_FALSE(r.rows.empty()) << WideToUtf8(sql);
        EXPECT_EQ(r.rows[0], values) << WideToUtf8(sql);
    }

    HostDatabase db;
};

TEST_F(JetResultTypes, CurrencyStaysCurrencyThroughSumsProductsAndCCur) {
    Expect(L"SELECT SUM(Bal), Min(Bal), Max(Bal) FROM Acct", {DBTYPE_CY, DBTYPE_CY, DBTYPE_CY},
           {L"13.3500", L"3.1000", L"10.2500"});
    Expect(L"SELECT Bal * 2, CCur(Bal * 3), Bal + 1, Bal - Qty, 2 * Bal FROM Acct WHERE ID = 1",
           {DBTYPE_CY, DBTYPE_CY, DBTYPE_CY, DBTYPE_CY, DBTYPE_CY},
           {L"20.5000", L"30.7500", L"11.2500", L"7.2500", L"20.5000"});
    // A sum of whole numbers is a 64-bit whole number.
    Expect(L"SELECT Sum(Qty), Sum(Code), Sum(Rate) FROM Acct", {DBTYPE_I8, DBTYPE_I8, DBTYPE_R8},
           {L"4", L"16", L"1.750000"});
    // Division, Avg and a floating-point factor give Double.
    Expect(L"SELECT Bal / 2, Avg(Bal), Bal * Rate FROM Acct WHERE ID = 1",
           {DBTYPE_R8, DBTYPE_R8, DBTYPE_R8}, {L"5.125000", L"10.250000", L"5.125000"});
}

TEST_F(JetResultTypes, DatesCountsAndComparisonsTakeTheEnginesTypes) {
    Expect(L"SELECT Min(Opened), Max(Opened), CDate('2024-05-06'), Count(*), Count(Bal) FROM Acct",
           {DBTYPE_DATE, DBTYPE_DATE, DBTYPE_DATE, DBTYPE_I4, DBTYPE_I4},
           {L"2024-01-15", L"2024-05-06 10:30:00", L"2024-05-06", L"2", L"2"});
    Expect(
        L"SELECT Qty > 1, Not Active, Name Like 'A%', Bal Is Null, Qty In (1, 3) FROM Acct "
        L"WHERE ID = 1",
        {DBTYPE_BOOL, DBTYPE_BOOL, DBTYPE_BOOL, DBTYPE_BOOL, DBTYPE_BOOL},
        {L"-1", L"0", L"-1", L"0", L"-1"});
    // A date plus a number is a date; two dates apart are a number of days.
    Expect(
        L"SELECT Opened + 1, Opened - #2024-01-01#, DateAdd('m', 1, Opened) FROM Acct WHERE "
        L"ID = 1",
        {DBTYPE_DATE, DBTYPE_R8, DBTYPE_DATE}, {L"2024-01-16", L"14.000000", L"2024-02-15"});
}

TEST_F(JetResultTypes, ConversionFunctionsGiveTheirOwnTypes) {
    Expect(
        L"SELECT CLng(Rate * 10), CInt(Qty), CByte(Code), CDbl(Bal), CSng(Rate), CBool(Qty), "
        L"CStr(Qty), CVar(Bal) FROM Acct WHERE ID = 1",
        {DBTYPE_I4, DBTYPE_I2, DBTYPE_UI1, DBTYPE_R8, DBTYPE_R4, DBTYPE_BOOL, DBTYPE_WSTR,
         DBTYPE_CY},
        {L"5", L"3", L"7", L"10.250000", L"0.500000", L"-1", L"3", L"10.2500"});
    // CStr of a date at midnight is the date alone, as a date column's text is.
    Expect(
        L"SELECT CStr(Opened), Name & ' ' & Opened, Year(Opened), Len(Name) FROM Acct WHERE "
        L"ID = 1",
        {DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_I2, DBTYPE_I4},
        {L"2024-01-15", L"Ann 2024-01-15", L"2024", L"3"});
    Expect(L"SELECT CStr(Opened) FROM Acct WHERE ID = 2", {DBTYPE_WSTR}, {L"2024-05-06 10:30:00"});
}

TEST_F(JetResultTypes, IIfAndNzTakeTheirValuesCommonType) {
    Expect(
        L"SELECT IIf(Active, Bal, Null), IIf(Active, Qty, Code), Nz(Bal, 0), IIf(Active, "
        L"Opened, Null), IIf(Active, Name, Qty) FROM Acct WHERE ID = 1",
        {DBTYPE_CY, DBTYPE_I4, DBTYPE_CY, DBTYPE_DATE, DBTYPE_WSTR},
        {L"10.2500", L"3", L"10.2500", L"2024-01-15", L"Ann"});
    Expect(L"SELECT IIf(Active, Bal, Null) FROM Acct WHERE ID = 2", {DBTYPE_CY}, {L"NULL"});
    // Memo text computed is read as text (a long column only when its first value is).
    db.Exec({L"ALTER TABLE Acct ADD COLUMN Notes MEMO"});
    Expect(L"SELECT Nz(Notes, 'none'), First(Notes) & '!' FROM Acct WHERE ID = 1",
           {DBTYPE_WSTR, DBTYPE_WSTR}, {L"none", L"!"});
}

TEST_F(JetResultTypes, UnknownTypesTakeTheFirstValuesAndSubqueriesPassTypesOn) {
    // A ? parameter has no type before the first row; a subquery's computed column keeps
    // its Jet type outside the subquery.
    Expect(
        L"SELECT q.Total, q.Latest FROM (SELECT Sum(Bal) AS Total, Max(Opened) AS Latest "
        L"FROM Acct) AS q",
        {DBTYPE_CY, DBTYPE_DATE}, {L"13.3500", L"2024-05-06 10:30:00"});
    Expect(L"SELECT Qty + Code, Qty \\ 2, Code Mod 4 FROM Acct WHERE ID = 1",
           {DBTYPE_I4, DBTYPE_I4, DBTYPE_I4}, {L"10", L"1", L"3"});
    // A view's computed column has only SQLite's declaration: its first value decides.
    db.Exec({L"CREATE VIEW Totals AS SELECT Name, Qty * 2 AS Twice FROM Acct"});
    Expect(L"SELECT Twice FROM Totals WHERE Name = 'Ann'", {DBTYPE_I8}, {L"6"});
}

TEST_F(JetResultTypes, UnionColumnsTakeTheMembersCommonType) {
    const HostResult r = db.Run(
        L"SELECT Bal FROM Acct WHERE ID = 1 UNION ALL SELECT Qty FROM "
        L"Acct WHERE ID = 2");
    ASSERT_TRUE(r.ok) << WideToUtf8(r.error);
    EXPECT_EQ(r.types, (std::vector<unsigned short>{DBTYPE_CY}));
    EXPECT_EQ(r.rows, (std::vector<std::vector<std::wstring>>{{L"10.2500"}, {L"1.0000"}}));
}

}  // namespace
}  // namespace vorn::test
