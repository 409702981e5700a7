// The translator beyond the corpus: result column names, SQLite's own functions kept apart
// from Jet's, parameters, positions in characters, statement flags, and random input that
// must never crash or hang it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>
#include <string>
#include <vector>

#include "sql/jet_sql.h"
#include "sql_test_util.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::sql {
namespace {

using test::JetDatabase;

TEST(SqlTranslator, UnnamedExpressionsAreNamedAsTheEngineNamesThem) {
    JetDatabase d;
    d.Run("CREATE TABLE T (ID LONG, Name TEXT(10))");
    TranslationResult error;
    sqlite3_stmt* s =
        d.Cache().Acquire(L"SELECT ID, Name & 'x', Count(*) AS N, T.Name, 1 + 1 FROM T", &error);
    ASSERT_NE(s, nullptr) << WideToUtf8(error.message);
    const char* expected[] = {"ID", "Expr1001", "N", "Name", "Expr1004"};
    ASSERT_EQ(sqlite3_column_count(s), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_STREQ(sqlite3_column_name(s, i), expected[i]) << "column " << i;
    d.Cache().Release(s);
    s = d.Cache().Acquire(L"SELECT @@IDENTITY", &error);
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(sqlite3_column_name(s, 0), "Expr1000");
    d.Cache().Release(s);
}

TEST(SqlTranslator, JetNamesThatSqliteAlsoHasAreRewrittenAndSqlitesOwnStayIntact) {
    const TranslationResult t = TranslateJetSql(
        nullptr,
        L"SELECT Round(2.5), Trim(' x '), Replace('a', 'a', 'b'), Abs(-1), Date(), Time(), "
        L"LTrim(' a'), RTrim('a '), Left('ab', 1)");
    ASSERT_TRUE(t.ok) << WideToUtf8(t.message);
    for (const char* fn : {"jet_round(", "jet_trim(", "jet_replace(", "jet_abs(", "jet_date()",
                           "jet_time()", "jet_ltrim(", "jet_rtrim(", "jet_left("})
        EXPECT_NE(t.sql.find(fn), std::string::npos) << fn << " missing in " << t.sql;
    EXPECT_EQ(t.sql.find(" round("), std::string::npos) << t.sql;

    // Internal SQL on the same handle still gets SQLite's semantics.
    JetDatabase d;
    EXPECT_EQ(test::RawValue(d.Db(), "SELECT round(2.5)"), "3.0");
    EXPECT_EQ(test::RawValue(d.Db(), "SELECT trim('xax', 'x')"), "a");
    EXPECT_EQ(test::RawValue(d.Db(), "SELECT length(date('2021-01-05'))"), "10");
    EXPECT_EQ(d.Value("SELECT Round(2.5)"), "2.0");
}

TEST(SqlTranslator, LiteralsAndNamesAreNeverRewritten) {
    const TranslationResult t =
        TranslateJetSql(nullptr, L"SELECT 'a & b Mod [c] #1/1/2021# ? True', [x & y], `Mod`");
    ASSERT_TRUE(t.ok) << WideToUtf8(t.message);
    EXPECT_NE(t.sql.find("'a & b Mod [c] #1/1/2021# ? True'"), std::string::npos) << t.sql;
    EXPECT_NE(t.sql.find("`x & y`"), std::string::npos) << t.sql;
    EXPECT_NE(t.sql.find("`Mod`"), std::string::npos) << t.sql;
    EXPECT_EQ(t.sql.find("jet_"), std::string::npos) << t.sql;

    // Text files are tables with # for the dot of their name.
    const TranslationResult file =
        TranslateJetSql(nullptr, L"SELECT * FROM parts#csv WHERE d = #1/2/2021#");
    ASSERT_TRUE(file.ok) << WideToUtf8(file.message);
    EXPECT_EQ(file.sql, "SELECT * FROM `parts#csv` WHERE (`d` = '2021-01-02 00:00:00')");

    const TranslationResult quotes = TranslateJetSql(nullptr, L"SELECT [a`b], 'it''s'");
    ASSERT_TRUE(quotes.ok);
    EXPECT_NE(quotes.sql.find("`a``b`"), std::string::npos) << quotes.sql;
    EXPECT_NE(quotes.sql.find("'it''s'"), std::string::npos) << quotes.sql;
}

TEST(SqlTranslator, PositionalParametersKeepTheirNumbersWhereAQueryIsRepeated) {
    JetDatabase d;
    d.Run("CREATE TABLE T (N LONG)");
    for (int i = 1; i <= 10; ++i)
        d.Run("INSERT INTO T VALUES (" + std::to_string(i) + ")");
    // TOP n PERCENT repeats the query to count its rows: the parameter stays one.
    TranslationResult error;
    sqlite3_stmt* s = d.Cache().Acquire(
        L"SELECT TOP 50 PERCENT N FROM T WHERE N > ? AND N < ? ORDER BY N", &error);
    ASSERT_NE(s, nullptr) << WideToUtf8(error.message);
    EXPECT_EQ(sqlite3_bind_parameter_count(s), 2);
    sqlite3_bind_int(s, 1, 2);
    sqlite3_bind_int(s, 2, 9);  // 3..8: six rows, half of them
    std::vector<int> got;
    while (d.Cache().Step(s) == SQLITE_ROW)
        got.push_back(sqlite3_column_int(s, 0));
    d.Cache().Release(s);
    EXPECT_EQ(got, (std::vector<int>{3, 4, 5}));
}

TEST(SqlTranslator, DeclaredParametersBindInTheirDeclaredOrder) {
    JetDatabase d;
    d.Run("CREATE TABLE T (N LONG, Name TEXT(10))");
    d.Run("INSERT INTO T VALUES (1, 'a')");
    d.Run("INSERT INTO T VALUES (2, 'b')");
    d.Run("INSERT INTO T VALUES (3, 'c')");
    TranslationResult error;
    sqlite3_stmt* s = d.Cache().Acquire(
        L"PARAMETERS [Low] LONG, High LONG; SELECT Name FROM T WHERE N >= [Low] AND N <= High AND "
        L"N <> Low",
        &error);
    ASSERT_NE(s, nullptr) << WideToUtf8(error.message);
    EXPECT_EQ(sqlite3_bind_parameter_count(s), 2);
    sqlite3_bind_int(s, 1, 1);
    sqlite3_bind_int(s, 2, 2);
    ASSERT_EQ(d.Cache().Step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "b");
    EXPECT_EQ(d.Cache().Step(s), SQLITE_DONE);
    d.Cache().Release(s);

    const TranslationResult twice =
        TranslateJetSql(nullptr, L"PARAMETERS a LONG, A TEXT(5); SELECT a");
    EXPECT_FALSE(twice.ok);
    EXPECT_NE(twice.message.find(L"declared twice"), std::wstring::npos);
}

TEST(SqlTranslator, ErrorPositionsCountCharactersNotBytes) {
    const TranslationResult t = TranslateJetSql(nullptr, L"SELECT 'äöü€', )");
    ASSERT_FALSE(t.ok);
    EXPECT_EQ(t.position, 16);
    EXPECT_EQ(t.sqlState, L"42000");
    EXPECT_NE(t.message.find(L"near ')' at position 16"), std::wstring::npos)
        << WideToUtf8(t.message);
}

TEST(SqlTranslator, StatementsCarryWhatTheirExecutionNeeds) {
    JetDatabase d;
    d.Run("CREATE TABLE C (ID COUNTER, Made DATETIME)");
    d.Run("CREATE TABLE P (Name TEXT(10))");
    const TranslationResult insert =
        TranslateJetSql(d.Db(), L"INSERT INTO C (Made) VALUES (Now())");
    ASSERT_TRUE(insert.ok) << WideToUtf8(insert.message);
    EXPECT_EQ(insert.kind, JetStatementKind::Insert);
    EXPECT_TRUE(insert.dependsOnSchema);
    EXPECT_EQ(insert.identityTable, "C");
    EXPECT_EQ(insert.identityColumn, "ID");
    EXPECT_NE(insert.sql.find("jet_store_date(jet_now(), 'C.Made')"), std::string::npos)
        << insert.sql;

    const TranslationResult plain = TranslateJetSql(d.Db(), L"INSERT INTO P VALUES ('x')");
    EXPECT_TRUE(plain.identityTable.empty());
    EXPECT_EQ(plain.sql.find("jet_store"), std::string::npos) << plain.sql;

    const TranslationResult select = TranslateJetSql(d.Db(), L"SELECT * FROM C");
    EXPECT_FALSE(select.dependsOnSchema);
    EXPECT_FALSE(select.changesSchema);
    EXPECT_TRUE(select.script.empty());

    const TranslationResult drop = TranslateJetSql(d.Db(), L"DROP TABLE P");
    EXPECT_EQ(drop.kind, JetStatementKind::Ddl);
    EXPECT_TRUE(drop.changesSchema);
    EXPECT_FALSE(drop.script.empty());

    const TranslationResult begin = TranslateJetSql(d.Db(), L"BEGIN TRANSACTION");
    EXPECT_EQ(begin.kind, JetStatementKind::Transaction);
    EXPECT_EQ(begin.sql, "BEGIN");
}

TEST(SqlTranslator, WithoutAHandleUnknownFunctionsGoToSqliteAndNoColumnsAreRead) {
    const TranslationResult t = TranslateJetSql(nullptr, L"INSERT INTO T (D) SELECT MyFunc(1)");
    ASSERT_TRUE(t.ok) << WideToUtf8(t.message);
    EXPECT_NE(t.sql.find("MyFunc(1)"), std::string::npos);
    EXPECT_EQ(t.sql.find("jet_store"), std::string::npos);
}

TEST(SqlTranslator, NestingTooDeepIsAnErrorNotACrash) {
    std::wstring deep = L"SELECT ";
    for (int i = 0; i < 20000; ++i)
        deep += L"(";
    deep += L"1";
    for (int i = 0; i < 20000; ++i)
        deep += L")";
    TranslationResult t = TranslateJetSql(nullptr, deep);
    ASSERT_FALSE(t.ok);
    EXPECT_NE(t.message.find(L"too deeply"), std::wstring::npos) << WideToUtf8(t.message);

    std::wstring negations = L"SELECT ";
    for (int i = 0; i < 20000; ++i)
        negations += L"Not - ";
    negations += L"1";
    t = TranslateJetSql(nullptr, negations);
    EXPECT_FALSE(t.ok);

    std::wstring joins = L"SELECT * FROM ";
    for (int i = 0; i < 100000; ++i)
        joins += L"(";
    t = TranslateJetSql(nullptr, joins + L"T");
    EXPECT_FALSE(t.ok);

    std::wstring subqueries = L"SELECT 1 FROM T WHERE X IN ";
    for (int i = 0; i < 5000; ++i)
        subqueries += L"(SELECT X FROM T WHERE X IN ";
    t = TranslateJetSql(nullptr, subqueries);
    EXPECT_FALSE(t.ok);
}

TEST(SqlTranslator, LongStatementsTranslateWhole) {
    std::wstring list = L"SELECT N FROM T WHERE N IN (0";
    for (int i = 1; i < 20000; ++i)
        list += L", " + std::to_wstring(i);
    list += L") AND Name = 'x'";
    const TranslationResult t = TranslateJetSql(nullptr, list);
    ASSERT_TRUE(t.ok) << WideToUtf8(t.message);
    EXPECT_NE(t.sql.find(", 19998, 19999)) AND ("), std::string::npos)
        << t.sql.substr(t.sql.size() - 60);
}

// Chains of operators: translated in time linear in their length, written so that SQLite
// takes them (OR, AND and * flat, & + - as calls of jet_chain), and refused as soon as they
// pass what the engine takes, with an error naming the limit: the expression depth for
// OR, the parser's nesting of calls for & + and -.
TEST(SqlTranslator, LongOperatorChainsRunOrAreRefusedNamingTheLimit) {
    JetDatabase d;
    d.Run("CREATE TABLE T (X LONG, S TEXT(10))");
    const struct {
        const wchar_t* op;
        const wchar_t* words;
    } chains[] = {
        {L" + ", L"more than 2500 &, + and - operations in a row"},
        {L" & ", L"more than 2500 &, + and - operations in a row"},
        {L" OR X = ", L"too deep for the engine: more than 1000 operations"},
        {L" AND X <> ", L"too deep for the engine: more than 1000 operations"},
    };
    for (const auto& c : chains) {
        std::wstring text = L"SELECT 1 FROM T WHERE X = 1";
        text.reserve(text.size() + 200000 * 12);
        for (int i = 0; i < 200000; ++i)
            text += c.op + std::wstring(L"1");
        const TranslationResult t = TranslateJetSql(d.Db(), text);
        ASSERT_FALSE(t.ok) << WideToUtf8(c.op);
        EXPECT_NE(t.message.find(c.words), std::wstring::npos) << WideToUtf8(t.message);
        // Refused where the limit was passed, not after reading the whole chain.
        EXPECT_GT(t.position, 1000);
        EXPECT_LT(t.position, 20000);
        EXPECT_EQ(t.sqlState, L"42000");
    }
    // Within the limits they run.
    std::string sum = "SELECT 1";
    std::string either = "SELECT Count(*) FROM T WHERE X = 0";
    std::string joined = "SELECT 'x'";
    std::string product = "SELECT 1";
    for (int i = 1; i < 2400; ++i) {
        sum += i % 2 ? " + 2" : " - 1";
        joined += " & 'x'";
        if (i < 900) {
            either += " OR X = " + std::to_string(i);
            product += " * 1";
        }
    }
    d.Run("INSERT INTO T (X) VALUES (899)");
    EXPECT_EQ(d.Value(sum), "1202");
    EXPECT_EQ(d.Value(either), "1");
    EXPECT_EQ(d.Value(joined).size(), 2400u);
    EXPECT_EQ(d.Value(product), "1");
    // A chain of columns has a type as long as the chain: worked out without recursion.
    std::string columns = "SELECT X";
    for (int i = 1; i < 2400; ++i)
        columns += " + X";
    EXPECT_EQ(d.Value(columns + " FROM T"), std::to_string(2400 * 899));
    // A run of + - takes Jet's meaning from the left: text joined, a date moved, Null through.
    EXPECT_EQ(d.Value("SELECT 'a' + 'b' + 'c', #2024-01-30# + 1 + 1 - 3, 1 + Null + 2, 'x' & "
                      "Null & 'y' & 1 + 1"),
              "abc|2024-01-29 00:00:00|NULL|xy2");
    EXPECT_EQ(d.Value("SELECT 1 + 2 + 'z'"), "error: +: data type mismatch in argument 2");

    // The handle's own limits count: depth, and length in bytes of UTF-8.
    sqlite3_limit(d.Db(), SQLITE_LIMIT_EXPR_DEPTH, 50);
    EXPECT_NE(d.Value(either + " OR X = -1").find("more than 50 operations"), std::string::npos);
    sqlite3_limit(d.Db(), SQLITE_LIMIT_SQL_LENGTH, 1000);
    const TranslationResult longer =
        TranslateJetSql(d.Db(), Utf8ToWide("SELECT '" + std::string(995, 'x') + "'"));
    ASSERT_FALSE(longer.ok);
    EXPECT_EQ(WideToUtf8(longer.message),
              "the statement is 1004 bytes long; the engine takes statements of at most 1000 "
              "bytes (its length limit)");
    // A statement within the limit whose translation is longer than the engine takes.
    std::string grows = "SELECT x";
    for (int i = 0; i < 240; ++i)
        grows += " & x";
    const TranslationResult t = TranslateJetSql(d.Db(), Utf8ToWide(grows));
    ASSERT_FALSE(t.ok);
    EXPECT_NE(t.message.find(L"bytes of SQL for the engine"), std::wstring::npos)
        << WideToUtf8(t.message);
}

// Random soups of Jet tokens: every one translates or fails with a position inside the
// text, and whatever translates, SQLite prepares or refuses without harm.
TEST(SqlTranslator, RandomTokenSoupNeverCrashesOrHangs) {
    JetDatabase d;
    d.Run("CREATE TABLE T (ID COUNTER, Name TEXT(20), D DATETIME, B YESNO, M CURRENCY)");
    d.Run("CREATE TABLE U (ID LONG, T_ID LONG)");
    static const wchar_t* const kVocabulary[] = {
        L"SELECT",     L"FROM",    L"WHERE",   L"INSERT",     L"INTO",
        L"VALUES",     L"UPDATE",  L"SET",     L"DELETE",     L"CREATE",
        L"TABLE",      L"INDEX",   L"ALTER",   L"DROP",       L"ADD",
        L"COLUMN",     L"TOP",     L"PERCENT", L"DISTINCT",   L"DISTINCTROW",
        L"INNER",      L"LEFT",    L"JOIN",    L"ON",         L"GROUP",
        L"BY",         L"ORDER",   L"HAVING",  L"UNION",      L"ALL",
        L"AND",        L"OR",      L"NOT",     L"Mod",        L"Like",
        L"Between",    L"In",      L"Is",      L"Null",       L"True",
        L"No",         L"AS",      L"WITH",    L"PRIMARY",    L"KEY",
        L"CONSTRAINT", L"COUNTER", L"TEXT",    L"(",          L")",
        L",",          L".",       L";",       L"*",          L"/",
        L"\\",         L"+",       L"-",       L"^",          L"&",
        L"=",          L"<>",      L"<",       L">=",         L"!",
        L"T",          L"U",       L"ID",      L"Name",       L"D",
        L"B",          L"M",       L"[T]",     L"[Name]",     L"`U`",
        L"'x'",        L"\"y\"",   L"''",      L"#1/5/2021#", L"#2021-13-40#",
        L"1",          L"0",       L"2.5",     L"1E3",        L"?",
        L"@@IDENTITY", L"IIf",     L"Nz",      L"Left",       L"Mid",
        L"Format",     L"DateAdd", L"Switch",  L"Choose",     L"Count",
        L"First",      L"StDev",   L"'d'",     L"[",          L"'",
        L"#",          L"`",       L"@",       L"{",          L"PARAMETERS",
        L"LONG",       L"EXISTS",  L"(SELECT", L"\u00e9",     L"\u20ac"};
    const size_t n = sizeof kVocabulary / sizeof kVocabulary[0];
    std::mt19937 random(20240517);
    int translated = 0;
    for (int iteration = 0; iteration < 20000; ++iteration) {
        std::wstring text;
        const int length = 1 + int(random() % 24);
        for (int i = 0; i < length; ++i) {
            if (i)
                text += (random() % 8 == 0) ? L"" : L" ";
            text += kVocabulary[random() % n];
        }
        const TranslationResult t = TranslateJetSql(d.Db(), text);
        if (!t.ok) {
            ASSERT_FALSE(t.message.empty()) << WideToUtf8(text);
            if (t.sqliteCode == 0) {
                ASSERT_GE(t.position, 1) << WideToUtf8(text);
                ASSERT_LE(size_t(t.position), text.size() + 1) << WideToUtf8(text);
            }
            continue;
        }
        ++translated;
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(d.Db(), t.sql.c_str(), int(t.sql.size()), &s, nullptr);
        sqlite3_finalize(s);
    }
    EXPECT_GT(translated, 0) << "the soup never formed a statement";
}

}  // namespace
}  // namespace vorn::provider::sql
