// Saved procedures: a procedure with parameters run with different values, a procedure
// changed by one connection and run by another, and the PROCEDURES schema rowset.
#include <gtest/gtest.h>

#include "host_query_util.h"
#include "schema_test_util.h"
#include "support/jet_sql_file.h"

namespace vorn::test {
namespace {

using Rows = std::vector<std::vector<std::wstring>>;

class SavedProcedures : public ::testing::Test {
  protected:
    void SetUp() override {
        db.Exec({L"CREATE TABLE Acct (ID COUNTER, Name TEXT(50), Bal CURRENCY, Opened DATETIME)",
                 L"INSERT INTO Acct (Name, Bal, Opened) VALUES ('Ann', 10.25, #2024-01-15#)",
                 L"INSERT INTO Acct (Name, Bal, Opened) VALUES ('Bob', 3.1, #2024-05-06#)",
                 L"INSERT INTO Acct (Name, Bal, Opened) VALUES ('Cy', 7, #2024-02-01#)"});
    }
    HostDatabase db;
};

TEST_F(SavedProcedures, ParametersTakeTheValuesOfEachRun) {
    db.Exec(
        {L"CREATE PROCEDURE Since ([From] DATETIME, Least CURRENCY) AS SELECT Name, Bal "
         L"FROM Acct WHERE Opened >= [From] AND Bal >= Least ORDER BY Opened"});
    HostResult r = db.Run(L"EXECUTE Since '2024-02-01', 5");
    ASSERT_TRUE(r.ok) << WideToUtf8(r.error);
    EXPECT_EQ(r.names, (std::vector<std::wstring>{L"Name", L"Bal"}));
    EXPECT_EQ(r.rows, (Rows{{L"Cy", L"7.0000"}}));
    // The same statement again with other values: the translation is the procedure's, the
    // values the run's own. A text given for a date is read as a date.
    r = db.Run(L"EXECUTE Since #1/1/2024#, 0");
    ASSERT_TRUE(r.ok) << WideToUtf8(r.error);
    EXPECT_EQ(r.rows, (Rows{{L"Ann", L"10.2500"}, {L"Cy", L"7.0000"}, {L"Bob", L"3.1000"}}));
    r = db.Run(L"EXECUTE Since '2024-02-01', 5");
    EXPECT_EQ(r.rows, (Rows{{L"Cy", L"7.0000"}}));

    // An action procedure reports the rows it changed.
    db.Exec(
        {L"CREATE PROCEDURE Charge AS PARAMETERS Who TEXT(50), Fee CURRENCY; UPDATE Acct "
         L"SET Bal = Bal - Fee WHERE Name = Who"});
    r = db.Run(L"EXECUTE Charge 'bob', 0.1");
    ASSERT_TRUE(r.ok) << WideToUtf8(r.error);
    EXPECT_EQ(r.rowsAffected, 1);
    EXPECT_EQ(db.Run(L"SELECT Bal FROM Acct WHERE Name = 'Bob'").rows, (Rows{{L"3.0000"}}));

    // A value that does not fit the parameter's type stops the run.
    r = db.Run(L"EXECUTE Since 'not a date', 1");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find(L"Since.From"), std::wstring::npos) << WideToUtf8(r.error);
}

TEST_F(SavedProcedures, AnotherConnectionRunsTheProcedureAsItIsNow) {
    db.Exec({L"CREATE PROCEDURE Names AS SELECT Name FROM Acct WHERE Bal > 5 ORDER BY Name"});
    VornOleDbConnection other;
    ASSERT_EQ(S_OK, other.OpenFromInitializationString(ConnectionString(db.File()), false));
    VornOleDbCommand command;
    command.SetConnection(&other);
    command.SetCommandText(L"EXECUTE Names");
    auto names = [&] {
        std::vector<std::wstring> out;
        EXPECT_EQ(command.Execute(), VornOleDbCommand::dbOK) << WideToUtf8(command.GetErrorText());
        while (command.FetchNext() == VornOleDbCommand::dbOK)
            out.push_back(command.FieldAsString(1));
        command.Close();
        return out;
    };
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"Ann", L"Cy"}));
    // Dropped and made again by the first connection: the second one's next run, through
    // its statement cache, follows.
    db.Exec({L"DROP PROCEDURE Names",
             L"CREATE PROCEDURE Names AS SELECT Name FROM Acct WHERE Bal < 5 ORDER BY Name"});
    EXPECT_EQ(names(), (std::vector<std::wstring>{L"Bob"}));
    db.Exec({L"DROP PROCEDURE Names"});
    EXPECT_EQ(command.Execute(), VornOleDbCommand::dbError);
    EXPECT_NE(command.GetErrorText().find(L"there is no procedure named 'Names'"),
              std::wstring::npos)
        << WideToUtf8(command.GetErrorText());
}

TEST_F(SavedProcedures, ProceduresRowsetListsThemWithTheirDefinitions) {
    db.Exec(
        {L"CREATE PROCEDURE Rich (Least CURRENCY) AS SELECT Name FROM Acct WHERE Bal >= "
         L"Least",
         L"CREATE PROC Clear AS DELETE FROM Acct;",
         L"CREATE VIEW Everyone AS SELECT Name FROM Acct"});
    provider::testing::OpenDatabase open(db.File());
    using provider::testing::Restrictions;
    using provider::testing::SchemaResult;
    SchemaResult all =
        provider::testing::ReadSchema(open.session.Get(), DBSCHEMA_PROCEDURES, Restrictions(0));
    ASSERT_EQ(S_OK, all.hr);
    EXPECT_EQ(all.names,
              (std::vector<std::wstring>{
                  L"PROCEDURE_CATALOG", L"PROCEDURE_SCHEMA", L"PROCEDURE_NAME", L"PROCEDURE_TYPE",
                  L"PROCEDURE_DEFINITION", L"DESCRIPTION", L"DATE_CREATED", L"DATE_MODIFIED"}));
    EXPECT_EQ(all.types, (std::vector<DBTYPE>{DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_I2,
                                              DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_DATE, DBTYPE_DATE}));
    ASSERT_EQ(all.rows.size(), 2u);  // the view is a table to the TABLES rowset
    EXPECT_EQ(all.Text(0, L"PROCEDURE_NAME"), L"Clear");
    EXPECT_EQ(all.Text(0, L"PROCEDURE_DEFINITION"), L"DELETE FROM Acct");
    EXPECT_EQ(all.Text(1, L"PROCEDURE_NAME"), L"Rich");
    EXPECT_EQ(all.Text(1, L"PROCEDURE_DEFINITION"),
              L"PARAMETERS Least CURRENCY; SELECT Name FROM Acct WHERE Bal >= Least");
    EXPECT_EQ(all.Number(1, L"PROCEDURE_TYPE"), 2);  // DB_PT_PROCEDURE
    EXPECT_FALSE(all.IsNull(1, L"DATE_CREATED"));
    EXPECT_TRUE(all.IsNull(1, L"PROCEDURE_CATALOG"));

    Restrictions byName(3);
    byName.Text(2, L"RICH");
    const SchemaResult one =
        provider::testing::ReadSchema(open.session.Get(), DBSCHEMA_PROCEDURES, byName);
    ASSERT_EQ(one.rows.size(), 1u);
    EXPECT_EQ(one.Text(0, L"PROCEDURE_NAME"), L"Rich");
    Restrictions otherType(4);
    otherType.Number(3, VT_I2, 3);
    EXPECT_TRUE(provider::testing::ReadSchema(open.session.Get(), DBSCHEMA_PROCEDURES, otherType)
                    .rows.empty());

    // A database without procedures lists none.
    HostDatabase empty("empty.db");
    provider::testing::OpenDatabase none(empty.File());
    const SchemaResult nothing =
        provider::testing::ReadSchema(none.session.Get(), DBSCHEMA_PROCEDURES, Restrictions(0));
    ASSERT_EQ(S_OK, nothing.hr);
    EXPECT_TRUE(nothing.rows.empty());
}

TEST_F(SavedProcedures, BadDefinitionsAndRunsAreRefusedInWords) {
    db.ExpectRefused({
        {L"CREATE PROCEDURE P AS SELECT FROM Acct", L"expected an expression"},
        {L"CREATE PROCEDURE P (A LONG) AS PARAMETERS B LONG; SELECT A", L"declared twice"},
        {L"CREATE PROCEDURE P AS EXECUTE Q", L"a procedure holds one SELECT"},
        {L"CREATE PROCEDURE P (A WIDGET) AS SELECT A", L"'WIDGET' is not a data type"},
        {L"CREATE PROCEDURE Acct AS SELECT 1", L"a table or view named 'Acct' already exists"},
        {L"EXECUTE Nothing", L"there is no procedure named 'Nothing'"},
        {L"DROP PROCEDURE Nothing", L"there is no procedure 'Nothing'"},
    });
    db.Exec({L"CREATE PROCEDURE Two (A LONG, B LONG) AS SELECT A + B"});
    EXPECT_NE(db.Run(L"EXECUTE Two 1").error.find(L"no value given for its parameter B"),
              std::wstring::npos);
    EXPECT_NE(db.Run(L"EXECUTE Two 1, 2, 3").error.find(L"it takes 2 parameter(s)"),
              std::wstring::npos);
    EXPECT_EQ(db.Run(L"EXECUTE Two 1, 2").rows, (Rows{{L"3"}}));
}

}  // namespace
}  // namespace vorn::test
