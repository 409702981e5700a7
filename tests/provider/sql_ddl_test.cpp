// DDL with the Jet types: the declared types SQLite keeps, COUNTER columns and their
// identity data, the statements that run as scripts, and SELECT ... INTO.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <utility>
#include <vector>

#include "sql/jet_sql.h"
#include "sql_test_util.h"

namespace vorn::provider::sql {
namespace {

using test::JetDatabase;
using test::RawValue;

std::vector<std::pair<std::string, std::string>> DeclaredTypes(sqlite3* db,
                                                               const std::string& table) {
    std::vector<std::pair<std::string, std::string>> out;
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(
        sqlite3_prepare_v2(db, ("PRAGMA table_info(`" + table + "`)").c_str(), -1, &s, nullptr),
        SQLITE_OK);
    while (sqlite3_step(s) == SQLITE_ROW)
        out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 1)),
                         reinterpret_cast<const char*>(sqlite3_column_text(s, 2)));
    sqlite3_finalize(s);
    return out;
}

TEST(SqlDdl, JetTypesKeepTheirNamesInTheDeclaredTypes) {
    JetDatabase d;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"TEXT(50)", "TEXT(50)"},
        {"VARCHAR(20)", "TEXT(20)"},
        {"CHAR", "TEXT(255)"},
        {"MEMO", "LONGTEXT"},
        {"LONGTEXT", "LONGTEXT"},
        {"TEXT", "LONGTEXT"},
        {"BYTE", "BYTE"},
        {"TINYINT", "BYTE"},
        {"SHORT", "SHORT"},
        {"SMALLINT", "SHORT"},
        {"LONG", "LONG"},
        {"INTEGER", "LONG"},
        {"INT", "LONG"},
        {"COUNTER", "COUNTER"},
        {"AUTOINCREMENT(5, 5)", "COUNTER"},
        {"SINGLE", "SINGLE"},
        {"REAL", "SINGLE"},
        {"DOUBLE", "DOUBLE"},
        {"FLOAT", "DOUBLE"},
        {"CURRENCY", "CURRENCY"},
        {"MONEY", "CURRENCY"},
        {"DATETIME", "DATETIME"},
        {"DATE", "DATETIME"},
        {"TIMESTAMP", "DATETIME"},
        {"YESNO", "YESNO"},
        {"BIT", "YESNO"},
        {"LONGBINARY", "LONGBINARY"},
        {"OLEOBJECT", "LONGBINARY"},
        {"BINARY(16)", "BINARY(16)"},
        {"BINARY", "BINARY(510)"},
        {"GUID", "GUID"},
        {"UNIQUEIDENTIFIER", "GUID"},
        {"DECIMAL(10, 2)", "DECIMAL(10,2)"},
        {"NUMERIC", "DECIMAL(18,0)"},
        {"DOUBLE PRECISION", "DOUBLE"},
        {"CHARACTER VARYING(9)", "TEXT(9)"},
    };
    std::string create = "CREATE TABLE AllTypes (";
    for (size_t i = 0; i < cases.size(); ++i)
        create += (i ? ", C" : "C") + std::to_string(i) + " " + cases[i].first;
    create += ")";
    ASSERT_TRUE(d.Run(create).empty()) << d.Run(create)[0];
    const auto declared = DeclaredTypes(d.Db(), "AllTypes");
    ASSERT_EQ(declared.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(declared[i].second, cases[i].second) << "declared for " << cases[i].first;
}

TEST(SqlDdl, AffinityKeepsTextAsTextAndNumbersAsNumbers) {
    JetDatabase d;
    d.Run("CREATE TABLE A (M MEMO, T TEXT(10), D DATETIME, G GUID, S SHORT, C CURRENCY, B YESNO)");
    d.Raw(
        "INSERT INTO A (M, T, D, G, S, C) VALUES ('00123', '00123', '2021-01-05 00:00:00', "
        "'{6F9619FF-8B86-D011-B42D-00C04FC964FF}', '0042', '1.50')");
    EXPECT_EQ(RawValue(d.Db(), "SELECT typeof(M) || typeof(T) || typeof(D) || typeof(G) FROM A"),
              "texttexttexttext");
    EXPECT_EQ(RawValue(d.Db(), "SELECT M || '/' || T FROM A"), "00123/00123");
    EXPECT_EQ(RawValue(d.Db(), "SELECT typeof(S) || '/' || S || '/' || typeof(C) FROM A"),
              "integer/42/real");
    // A Yes/No column holds no Null: it defaults to No.
    EXPECT_EQ(RawValue(d.Db(), "SELECT B FROM A"), "0");
    // Text columns compare, sort and stay unique without regard to case.
    d.Run("INSERT INTO A (M, T) VALUES ('x', 'ABC')");
    EXPECT_EQ(d.Value("SELECT Count(*) FROM A WHERE T = 'abc'"), "1");
}

TEST(SqlDdl, CounterColumnsReportTheirSeedAndStep) {
    JetDatabase d;
    d.Run("CREATE TABLE Seeded (ID COUNTER(100, 10) PRIMARY KEY, Other LONG)");
    ASSERT_TRUE(d.Run("CREATE TABLE Plain ([Key] AUTOINCREMENT, Name TEXT(5))").empty());
    long long seed = 0, step = 0;
    EXPECT_TRUE(GetIdentityInfo(d.Db(), L"Seeded", L"ID", &seed, &step));
    EXPECT_EQ(seed, 100);
    EXPECT_EQ(step, 10);
    EXPECT_TRUE(GetIdentityInfo(d.Db(), L"PLAIN", L"key", &seed, &step));
    EXPECT_EQ(seed, 1);
    EXPECT_EQ(step, 1);
    EXPECT_FALSE(GetIdentityInfo(d.Db(), L"Seeded", L"Other", &seed, &step));
    EXPECT_FALSE(GetIdentityInfo(d.Db(), L"Missing", L"ID", &seed, &step));
    d.Run("DROP TABLE Seeded");
    EXPECT_FALSE(GetIdentityInfo(d.Db(), L"Seeded", L"ID", &seed, &step));

    JetDatabase empty;
    EXPECT_FALSE(GetIdentityInfo(empty.Db(), L"T", L"ID", &seed, &step));
}

TEST(SqlDdl, CountersNumberRowsFromAnySqliteClient) {
    JetDatabase d;
    d.Run("CREATE TABLE C (ID COUNTER(100, 10), Name TEXT(10))");
    d.Run("INSERT INTO C (Name) VALUES ('jet')");
    // A connection without the Jet functions: the numbering is plain SQL.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(d.Path().c_str(), &other), SQLITE_OK);
    char* message = nullptr;
    EXPECT_EQ(
        sqlite3_exec(other, "INSERT INTO C (Name) VALUES ('plain')", nullptr, nullptr, &message),
        SQLITE_OK)
        << (message ? message : "");
    sqlite3_free(message);
    EXPECT_EQ(RawValue(other, "SELECT ID FROM C WHERE Name = 'plain'"), "110");
    sqlite3_close(other);
    d.Run("INSERT INTO C (Name) VALUES ('again')");
    EXPECT_EQ(d.Value("SELECT @@IDENTITY"), "120");
    // Each connection's @@IDENTITY is its own.
    JetDatabase second;
    EXPECT_EQ(second.Value("SELECT @@IDENTITY"), "0");
}

TEST(SqlDdl, ADroppedCounterColumnStopsNumbering) {
    JetDatabase d;
    d.Run("CREATE TABLE C (ID COUNTER, Name TEXT(10))");
    d.Run("INSERT INTO C (Name) VALUES ('a')");
    EXPECT_TRUE(d.Run("ALTER TABLE C DROP COLUMN ID").empty());
    EXPECT_EQ(RawValue(d.Db(), "SELECT count(*) FROM sqlite_schema WHERE type = 'trigger'"), "0");
    long long seed, step;
    EXPECT_FALSE(GetIdentityInfo(d.Db(), L"C", L"ID", &seed, &step));
    EXPECT_TRUE(d.Run("INSERT INTO C (Name) VALUES ('b')").empty());
}

TEST(SqlDdl, AScriptStatementSteppedDirectlyRefusesToRun) {
    JetDatabase d;
    const TranslationResult t = TranslateJetSql(d.Db(), L"CREATE TABLE S (ID COUNTER)");
    ASSERT_TRUE(t.ok);
    ASSERT_FALSE(t.script.empty());
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(d.Db(), t.sql.c_str(), -1, &s, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_column_count(s), 0);
    EXPECT_FALSE(sqlite3_stmt_readonly(s));
    EXPECT_NE(sqlite3_step(s), SQLITE_DONE);
    EXPECT_NE(std::string(sqlite3_errmsg(d.Db())).find("JetStatementCache::Step"),
              std::string::npos)
        << sqlite3_errmsg(d.Db());
    sqlite3_finalize(s);
    EXPECT_EQ(RawValue(d.Db(), "SELECT count(*) FROM sqlite_schema WHERE name = 'S'"), "0");
    EXPECT_EQ(RunJetScript(d.Db(), t.script), SQLITE_DONE);
    EXPECT_EQ(RawValue(d.Db(), "SELECT count(*) FROM sqlite_schema WHERE name = 'S'"), "1");
}

TEST(SqlDdl, AFailingScriptUndoesEverythingAndReportsItsOwnError) {
    JetDatabase d;
    d.Run("CREATE TABLE N (A TEXT(5), B LONG)");
    d.Run("INSERT INTO N (B) VALUES (1)");
    d.Raw("BEGIN");
    d.Run("INSERT INTO N (A, B) VALUES ('kept', 2)");
    TranslationResult error;
    sqlite3_stmt* s = d.Cache().Acquire(L"CREATE UNIQUE INDEX ByA ON N (A) WITH PRIMARY", &error);
    ASSERT_NE(s, nullptr) << WideToUtf8(error.message);
    EXPECT_EQ(d.Cache().Step(s), SQLITE_CONSTRAINT);
    EXPECT_NE(std::string(sqlite3_errmsg(d.Db())).find("cannot contain a Null value"),
              std::string::npos)
        << sqlite3_errmsg(d.Db());
    d.Cache().Release(s);
    // The index is gone, the surrounding transaction and its row are not.
    EXPECT_EQ(RawValue(d.Db(), "SELECT count(*) FROM sqlite_schema WHERE name = 'ByA'"), "0");
    EXPECT_EQ(sqlite3_get_autocommit(d.Db()), 0);
    d.Raw("COMMIT");
    EXPECT_EQ(d.Value("SELECT Count(*) FROM N"), "2");
}

TEST(SqlDdl, IndexesThatRefuseNullLetCountersThrough) {
    JetDatabase d;
    d.Run("CREATE TABLE K (ID COUNTER, Code TEXT(5))");
    EXPECT_TRUE(d.Run("CREATE INDEX PrimaryKey ON K (ID, Code) WITH PRIMARY").empty());
    EXPECT_TRUE(d.Run("INSERT INTO K (Code) VALUES ('a')").empty());
    const std::vector<std::string> refused = d.Run("INSERT INTO K (Code) VALUES (Null)");
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_NE(refused[0].find("cannot contain a Null value"), std::string::npos) << refused[0];
    EXPECT_NE(d.Run("UPDATE K SET Code = Null")[0].find("cannot contain a Null value"),
              std::string::npos);
    EXPECT_TRUE(d.Run("DROP INDEX PrimaryKey ON K").empty());
    EXPECT_TRUE(d.Run("INSERT INTO K (Code) VALUES (Null)").empty());
}

// A table has one primary key, whether declared with the table or added afterwards.
TEST(SqlDdl, ASecondPrimaryKeyIsRefused) {
    JetDatabase d;
    d.Run("CREATE TABLE Declared (Code TEXT(5) PRIMARY KEY, Other TEXT(5))");
    std::vector<std::string> refused =
        d.Run("CREATE INDEX Second ON Declared (Other) WITH PRIMARY");
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_NE(refused[0].find("primary key already exists on table 'Declared'"), std::string::npos)
        << refused[0];
    EXPECT_EQ(RawValue(d.Db(), "SELECT count(*) FROM sqlite_schema WHERE name = 'Second'"), "0");

    d.Run("CREATE TABLE Added (A TEXT(5), B TEXT(5))");
    EXPECT_TRUE(d.Run("CREATE INDEX First ON Added (A) WITH PRIMARY").empty());
    refused = d.Run("CREATE INDEX Second ON Added (B) WITH PRIMARY");
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_NE(refused[0].find("primary key already exists"), std::string::npos) << refused[0];
    refused = d.Run("ALTER TABLE Added ADD CONSTRAINT Third PRIMARY KEY (B)");
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_NE(refused[0].find("primary key already exists"), std::string::npos) << refused[0];
    // Without the first key a new one may be added again.
    EXPECT_TRUE(d.Run("DROP INDEX First ON Added").empty());
    EXPECT_TRUE(d.Run("ALTER TABLE Added ADD CONSTRAINT Third PRIMARY KEY (B)").empty());
}

// Computed columns take their Jet type: Currency times a number is Currency.
TEST(SqlDdl, SelectIntoKeepsTheSourceTypes) {
    JetDatabase d;
    d.Run(
        "CREATE TABLE Src (ID COUNTER, Name TEXT(30), Made DATETIME, Price CURRENCY, Flag YESNO)");
    d.Run("INSERT INTO Src (Name, Made, Price, Flag) VALUES ('a', #1/2/2021#, 1.5, True)");
    d.Run("INSERT INTO Src (Name, Made, Price, Flag) VALUES ('b', #1/3/2021#, 2.5, False)");
    TranslationResult error;
    sqlite3_stmt* s = d.Cache().Acquire(
        L"SELECT ID, Name, Made, Price, Flag, Price * 2 AS Twice INTO Dst FROM Src WHERE Price > ?",
        &error);
    ASSERT_NE(s, nullptr) << WideToUtf8(error.message);
    sqlite3_bind_double(s, 1, 2.0);
    EXPECT_EQ(d.Cache().Step(s), SQLITE_DONE) << sqlite3_errmsg(d.Db());
    EXPECT_EQ(sqlite3_changes(d.Db()), 1);
    d.Cache().Release(s);
    const auto declared = DeclaredTypes(d.Db(), "Dst");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"ID", "LONG"},        {"Name", "TEXT(30)"}, {"Made", "DATETIME"},
        {"Price", "CURRENCY"}, {"Flag", "YESNO"},    {"Twice", "CURRENCY"}};
    EXPECT_EQ(declared, expected);
    EXPECT_EQ(d.Run("SELECT ID, Name, Made, Twice FROM Dst"),
              (std::vector<std::string>{"2|b|2021-01-03 00:00:00|5"}));
    // The copy is a table of its own: no numbering, no identity.
    long long seed, step;
    EXPECT_FALSE(GetIdentityInfo(d.Db(), L"Dst", L"ID", &seed, &step));
}

TEST(SqlDdl, DefaultsOfTheJetTypesAreStoredInTheirForm) {
    JetDatabase d;
    ASSERT_TRUE(
        d.Run("CREATE TABLE Df (ID LONG, Made DATETIME DEFAULT '1/5/2021', Ok YESNO DEFAULT 'Yes', "
              "Neg SHORT DEFAULT -3, Stamp DATETIME DEFAULT Date())")
            .empty());
    d.Run("INSERT INTO Df (ID) VALUES (1)");
    const std::string today = d.Value("SELECT Date()");
    EXPECT_EQ(d.Run("SELECT Made, Ok, Neg, Stamp FROM Df"),
              (std::vector<std::string>{"2021-01-05 00:00:00|-1|-3|" + today}));
    const std::vector<std::string> bad = d.Run("CREATE TABLE Bad (D DATETIME DEFAULT 'soon')");
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_NE(bad[0].find("is not a date"), std::string::npos) << bad[0];
}

// The schema's statements (indexes, triggers, the table) and every row with its rowid, as
// one text: what ALTER COLUMN must keep, or leave as it was when it fails.
std::vector<std::string> Snapshot(JetDatabase& d, const std::string& table) {
    std::vector<std::string> out =
        d.Run("SELECT type || ' ' || name || ': ' || sql FROM sqlite_schema WHERE tbl_name = '" +
              table + "' ORDER BY type, name");
    for (const std::string& row : d.Run("SELECT rowid, * FROM " + table + " ORDER BY rowid"))
        out.push_back(row);
    return out;
}

TEST(SqlAlterColumn, TheTableIsMadeAgainWithItsRowsIndexesAndCounter) {
    JetDatabase d;
    d.Run(
        "CREATE TABLE Acct (ID COUNTER(100, 10) CONSTRAINT PK PRIMARY KEY, Name TEXT(50) NOT "
        "NULL, Bal CURRENCY DEFAULT 0, Opened DATETIME, Code TEXT(5) UNIQUE, CHECK (Bal >= 0))");
    d.Run("CREATE INDEX ByName ON Acct (Name DESC) WITH IGNORE NULL");
    d.Run("CREATE INDEX ByBal ON Acct (Bal) WITH DISALLOW NULL");
    for (const char* row : {"('Ann', 10.25, #2024-01-15#, 'a1')", "('Bob', 3, Null, 'b2')",
                            "('Cy', 7.5, #2024-02-01 10:30#, Null)"})
        d.Run(std::string("INSERT INTO Acct (Name, Bal, Opened, Code) VALUES ") + row);
    d.Run("DELETE FROM Acct WHERE Name = 'Bob'");  // a gap in the numbers and the rowids
    const auto before = Snapshot(d, "Acct");

    ASSERT_EQ(d.Run("ALTER TABLE Acct ALTER COLUMN Name TEXT(80)"), std::vector<std::string>());
    const auto after = Snapshot(d, "Acct");
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        std::string expected = before[i];
        const size_t at = expected.find("`Name` TEXT(50)");
        if (at != std::string::npos)
            expected.replace(at, 15, "`Name` TEXT(80)");
        EXPECT_EQ(after[i], expected);
    }
    EXPECT_EQ(DeclaredTypes(d.Db(), "Acct"),
              (std::vector<std::pair<std::string, std::string>>{{"ID", "COUNTER"},
                                                                {"Name", "TEXT(80)"},
                                                                {"Bal", "CURRENCY"},
                                                                {"Opened", "DATETIME"},
                                                                {"Code", "TEXT(5)"}}));
    // The counter numbers on from where it was; the indexes and constraints still work.
    d.Run("INSERT INTO Acct (Name, Bal) VALUES ('Dee', 1)");
    EXPECT_EQ(d.Value("SELECT @@IDENTITY"), "130");
    long long seed = 0, step = 0;
    ASSERT_TRUE(GetIdentityInfo(d.Db(), L"Acct", L"ID", &seed, &step));
    EXPECT_EQ(seed, 100);
    EXPECT_EQ(step, 10);
    EXPECT_NE(d.Value("INSERT INTO Acct (Name, Code) VALUES ('Eve', 'A1')").find("UNIQUE"),
              std::string::npos);
    EXPECT_NE(d.Value("INSERT INTO Acct (Name, Bal) VALUES ('Fay', -1)").find("CHECK"),
              std::string::npos);
    EXPECT_NE(d.Value("UPDATE Acct SET ID = 1 WHERE Name = 'Dee'").find("not updatable"),
              std::string::npos);

    // A COUNTER column changed to LONG keeps its values and stops numbering rows.
    EXPECT_EQ(d.Run("ALTER TABLE Acct ALTER COLUMN ID LONG"), std::vector<std::string>());
    EXPECT_FALSE(GetIdentityInfo(d.Db(), L"Acct", L"ID", &seed, &step));
    d.Run("INSERT INTO Acct (ID, Name) VALUES (5, 'Gus')");
    EXPECT_EQ(d.Run("SELECT ID FROM Acct ORDER BY ID"),
              (std::vector<std::string>{"5", "100", "120", "130"}));
}

TEST(SqlAlterColumn, AValueThatDoesNotFitLeavesTheTableAsItWas) {
    JetDatabase d;
    d.Run("CREATE TABLE T (ID COUNTER, Code TEXT(20), Qty DOUBLE)");
    d.Run("CREATE UNIQUE INDEX ByCode ON T (Code)");
    for (const char* row : {"('12', 1.5)", "('7', 70000)", "('abc', 2)", "('x', 3)"})
        d.Run(std::string("INSERT INTO T (Code, Qty) VALUES ") + row);
    const auto before = Snapshot(d, "T");
    // The third row's code is no number: the rows before it were copied already.
    EXPECT_EQ(d.Run("ALTER TABLE T ALTER COLUMN Code LONG"),
              (std::vector<std::string>{
                  "error: data type mismatch: cannot store 'abc' in the LONG column T.Code"}));
    EXPECT_EQ(Snapshot(d, "T"), before);
    EXPECT_EQ(d.Run("ALTER TABLE T ALTER COLUMN Qty SHORT"),
              (std::vector<std::string>{
                  "error: overflow: the value 70000 does not fit the SHORT column T.Qty"}));
    EXPECT_EQ(Snapshot(d, "T"), before);
    EXPECT_EQ(d.Run("ALTER TABLE T ALTER COLUMN Code TEXT(2)"),
              (std::vector<std::string>{"error: the value 'abc' has 3 characters, more than the "
                                        "2 of the TEXT(2) column T.Code"}));
    EXPECT_EQ(Snapshot(d, "T"), before);
    // Values made equal by the new type break a unique index: refused too.
    d.Run("CREATE TABLE U (Code TEXT(5))");
    d.Run("CREATE UNIQUE INDEX ByCode2 ON U (Code)");
    d.Run("INSERT INTO U VALUES ('1.0')");
    d.Run("INSERT INTO U VALUES ('1')");
    const auto codes = Snapshot(d, "U");
    EXPECT_NE(d.Value("ALTER TABLE U ALTER COLUMN Code LONG").find("UNIQUE"), std::string::npos);
    EXPECT_EQ(Snapshot(d, "U"), codes);
    // Without the rows that do not fit, the change is made.
    d.Run("DELETE FROM T WHERE Code IN ('abc', 'x')");
    EXPECT_EQ(d.Run("ALTER TABLE T ALTER COLUMN Code LONG"), std::vector<std::string>());
    EXPECT_EQ(d.Run("SELECT Code, typeof(Code), Qty FROM T ORDER BY ID"),
              (std::vector<std::string>{"12|integer|1.5", "7|integer|70000.0"}));
}

TEST(SqlAlterColumn, RelatedTablesKeepTheirRows) {
    JetDatabase d;
    d.Run("CREATE TABLE P (ID LONG CONSTRAINT PK PRIMARY KEY, Name TEXT(10))");
    d.Run(
        "CREATE TABLE C (ID COUNTER, PID LONG REFERENCES P (ID) ON DELETE CASCADE, Note "
        "TEXT(10))");
    d.Run("INSERT INTO P VALUES (1, 'one')");
    d.Run("INSERT INTO P VALUES (2, 'two')");
    d.Run("INSERT INTO C (PID, Note) VALUES (1, 'a')");
    d.Run("INSERT INTO C (PID, Note) VALUES (2, 'b')");
    // Dropping P for the rebuild must not run the cascade on C's rows.
    EXPECT_EQ(d.Run("ALTER TABLE P ALTER COLUMN Name TEXT(40)"), std::vector<std::string>());
    EXPECT_EQ(d.Run("SELECT PID, Note FROM C ORDER BY ID"),
              (std::vector<std::string>{"1|a", "2|b"}));
    EXPECT_EQ(RawValue(d.Db(), "PRAGMA foreign_keys"), "1");
    EXPECT_NE(d.Value("INSERT INTO C (PID) VALUES (9)").find("FOREIGN KEY"), std::string::npos);
    // Inside the host's transaction foreign keys cannot be turned off: a table others refer
    // to is not rebuilt there; the child table itself is.
    d.Run("BEGIN");
    EXPECT_NE(d.Value("ALTER TABLE P ALTER COLUMN Name TEXT(30)").find("inside a transaction"),
              std::string::npos);
    EXPECT_EQ(d.Run("ALTER TABLE C ALTER COLUMN Note TEXT(30)"), std::vector<std::string>());
    d.Run("COMMIT");
    EXPECT_EQ(d.Run("SELECT PID, Note FROM C ORDER BY ID"),
              (std::vector<std::string>{"1|a", "2|b"}));
    // A new type that leaves a child's row without its parent is refused: the key 1 as a
    // date is 1899-12-31, which C's 1 does not refer to.
    EXPECT_NE(d.Value("ALTER TABLE P ALTER COLUMN ID DATETIME").find("without their related"),
              std::string::npos);
    EXPECT_EQ(d.Run("SELECT P.Name, C.Note FROM P INNER JOIN C ON C.PID = P.ID ORDER BY C.ID"),
              (std::vector<std::string>{"one|a", "two|b"}));
}

}  // namespace
}  // namespace vorn::provider::sql
