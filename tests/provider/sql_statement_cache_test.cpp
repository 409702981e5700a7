// The per-connection cache of translated, prepared statements.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <thread>
#include <vector>

#include "sql/jet_statement_cache.h"
#include "sql_test_util.h"

namespace vorn::provider::sql {
namespace {

using test::JetDatabase;
using test::RawValue;

// Times a statement has run to its end and been reset: 0 for a freshly prepared one.
int Runs(sqlite3_stmt* s) {
    return sqlite3_stmt_status(s, SQLITE_STMTSTATUS_RUN, 0);
}

void RunOnce(JetStatementCache& cache, sqlite3_stmt* s) {
    while (cache.Step(s) == SQLITE_ROW) {
    }
}

TEST(SqlStatementCache, AStatementRunAgainIsReusedWithoutBindings) {
    JetDatabase d;
    d.Run("CREATE TABLE T (N LONG)");
    TranslationResult error;
    sqlite3_stmt* first =
        d.Cache().Acquire(L"SELECT Count(*) FROM T WHERE N = ? OR ? IS NULL", &error);
    ASSERT_NE(first, nullptr);
    sqlite3_bind_int(first, 1, 5);
    RunOnce(d.Cache(), first);
    d.Cache().Release(first);
    sqlite3_stmt* again =
        d.Cache().Acquire(L"SELECT Count(*) FROM T WHERE N = ? OR ? IS NULL", &error);
    EXPECT_EQ(again, first);
    EXPECT_GE(Runs(again), 1);
    ASSERT_EQ(d.Cache().Step(again), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(again, 0), 0);  // both parameters Null again
    d.Cache().Release(again);
    EXPECT_EQ(d.Cache().Size(), 2u);  // the CREATE TABLE and the SELECT
}

TEST(SqlStatementCache, AStatementInUseIsNotHandedOutTwice) {
    JetDatabase d;
    TranslationResult error;
    sqlite3_stmt* a = d.Cache().Acquire(L"SELECT 1", &error);
    sqlite3_stmt* b = d.Cache().Acquire(L"SELECT 1", &error);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    ASSERT_EQ(d.Cache().Step(a), SQLITE_ROW);
    ASSERT_EQ(d.Cache().Step(b), SQLITE_ROW);
    d.Cache().Release(b);  // the extra one is finalized
    d.Cache().Release(a);
    EXPECT_EQ(d.Cache().Size(), 1u);
    EXPECT_EQ(d.Cache().Acquire(L"SELECT 1", &error), a);
    d.Cache().Release(a);
}

TEST(SqlStatementCache, TheLeastRecentlyUsedStatementsGoPastTheCapacity) {
    JetDatabase d(3);
    TranslationResult error;
    const std::vector<std::wstring> texts = {L"SELECT 1", L"SELECT 2", L"SELECT 3", L"SELECT 4"};
    for (const std::wstring& t : texts) {
        sqlite3_stmt* s = d.Cache().Acquire(t, &error);
        RunOnce(d.Cache(), s);
        d.Cache().Release(s);
    }
    EXPECT_EQ(d.Cache().Size(), 3u);
    // "SELECT 1" was evicted: it comes back freshly prepared; "SELECT 4" is still there.
    sqlite3_stmt* s4 = d.Cache().Acquire(L"SELECT 4", &error);
    EXPECT_EQ(Runs(s4), 1);
    d.Cache().Release(s4);
    sqlite3_stmt* s1 = d.Cache().Acquire(L"SELECT 1", &error);
    EXPECT_EQ(Runs(s1), 0);
    d.Cache().Release(s1);
    // Statements in use are never evicted.
    std::vector<sqlite3_stmt*> held;
    for (int i = 0; i < 5; ++i)
        held.push_back(d.Cache().Acquire(L"SELECT " + std::to_wstring(10 + i), &error));
    for (sqlite3_stmt* s : held)
        EXPECT_EQ(d.Cache().Step(s), SQLITE_ROW);
    for (sqlite3_stmt* s : held)
        d.Cache().Release(s);
    EXPECT_EQ(d.Cache().Size(), 3u);
}

TEST(SqlStatementCache, InsertsAreTranslatedAgainWhenAnotherConnectionChangesTheTable) {
    JetDatabase d;
    d.Run("CREATE TABLE T (V TEXT(30))");
    d.Run("INSERT INTO T (V) VALUES ('1/5/2021')");
    EXPECT_EQ(d.Value("SELECT V FROM T"), "1/5/2021");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(d.Path().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(other, "DROP TABLE T; CREATE TABLE T (V DATETIME)", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(other);
    d.Run("INSERT INTO T (V) VALUES ('1/5/2021')");
    EXPECT_EQ(d.Value("SELECT V FROM T"), "2021-01-05 00:00:00");
}

TEST(SqlStatementCache, InsertsAreTranslatedAgainAfterThisConnectionsDdl) {
    JetDatabase d;
    d.Run("CREATE TABLE T (V YESNO)");
    d.Run("INSERT INTO T (V) VALUES ('Yes')");
    d.Run("DROP TABLE T");
    d.Run("CREATE TABLE T (V TEXT(5))");
    d.Run("INSERT INTO T (V) VALUES ('Yes')");
    EXPECT_EQ(d.Value("SELECT V FROM T"), "Yes");
}

TEST(SqlStatementCache, FailuresSayWhatWentWrongAndAreNotKept) {
    JetDatabase d;
    TranslationResult error;
    EXPECT_EQ(d.Cache().Acquire(L"SELECT FROM", &error), nullptr);
    EXPECT_FALSE(error.ok);
    EXPECT_EQ(error.sqlState, L"42000");
    EXPECT_EQ(error.position, 8);
    EXPECT_EQ(d.Cache().Acquire(L"SELECT * FROM Missing", &error), nullptr);
    EXPECT_EQ(error.sqliteCode, SQLITE_ERROR);
    EXPECT_EQ(error.sqlState, L"42S02");
    EXPECT_EQ(error.message, L"no such table: Missing");
    EXPECT_EQ(d.Cache().Size(), 0u);
    d.Run("CREATE TABLE Missing (A LONG)");
    sqlite3_stmt* s = d.Cache().Acquire(L"SELECT * FROM Missing", &error);
    EXPECT_NE(s, nullptr);
    d.Cache().Release(s);
}

TEST(SqlStatementCache, DestroyingTheCacheFinalizesStatementsStillHeld) {
    vorn::test::TempFolder folder;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(folder.File("held.db").c_str(), &db), SQLITE_OK);
    {
        JetStatementCache cache(db);  // registers the Jet functions itself
        TranslationResult error;
        sqlite3_stmt* s = cache.Acquire(L"SELECT Left('abc', 1)", &error);
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(cache.Step(s), SQLITE_ROW);
        EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "a");
    }
    EXPECT_EQ(sqlite3_close(db), SQLITE_OK);
}

TEST(SqlStatementCache, StatementsFromElsewhereStepAsSqliteStepsThem) {
    JetDatabase d;
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(d.Db(), "SELECT 7", -1, &s, nullptr), SQLITE_OK);
    EXPECT_EQ(d.Cache().Step(s), SQLITE_ROW);
    EXPECT_EQ(d.Cache().TranslationOf(s), nullptr);
    d.Cache().Release(s);  // not the cache's: left alone
    EXPECT_EQ(sqlite3_column_int(s, 0), 7);
    sqlite3_finalize(s);
}

TEST(SqlStatementCache, TranslationsTellTheKindOfStatement) {
    JetDatabase d;
    d.Run("CREATE TABLE T (ID COUNTER)");
    TranslationResult error;
    sqlite3_stmt* s = d.Cache().Acquire(L"INSERT INTO T (ID) VALUES (Null)", &error);
    ASSERT_NE(s, nullptr);
    const TranslationResult* t = d.Cache().TranslationOf(s);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->kind, JetStatementKind::Insert);
    EXPECT_EQ(d.Cache().Step(s), SQLITE_DONE);
    d.Cache().Release(s);
    EXPECT_EQ(d.Value("SELECT @@IDENTITY"), "1");
    EXPECT_EQ(RawValue(d.Db(), "SELECT jet_identity()"), "1");
}

// Two threads on one serialized handle, one of them releasing while it holds the handle's
// mutex (as a rowset does when it reads its last rows): no deadlock, every result right.
TEST(SqlStatementCache, ThreadsSharingAHandleNeitherDeadlockNorMixResults) {
    vorn::test::TempFolder folder;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(folder.File("threads.db").c_str(), &db,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                              nullptr),
              SQLITE_OK);
    {
        JetStatementCache cache(db, 4);
        auto work = [&](int id, bool holdMutex, int* wrong) {
            for (int i = 0; i < 300; ++i) {
                const std::wstring text =
                    L"SELECT " + std::to_wstring(id) + L" + " + std::to_wstring(i % 7);
                TranslationResult error;
                sqlite3_stmt* s = cache.Acquire(text, &error);
                if (!s) {
                    ++*wrong;
                    continue;
                }
                sqlite3_mutex* m = sqlite3_db_mutex(db);
                if (holdMutex)
                    sqlite3_mutex_enter(m);
                if (cache.Step(s) != SQLITE_ROW || sqlite3_column_int(s, 0) != id + i % 7)
                    ++*wrong;
                cache.Release(s);
                if (holdMutex)
                    sqlite3_mutex_leave(m);
            }
        };
        int wrongA = 0, wrongB = 0;
        std::thread a(work, 100, true, &wrongA);
        std::thread b(work, 200, false, &wrongB);
        a.join();
        b.join();
        EXPECT_EQ(wrongA + wrongB, 0);
        EXPECT_LE(cache.Size(), 4u);
    }
    EXPECT_EQ(sqlite3_close(db), SQLITE_OK);
}

}  // namespace
}  // namespace vorn::provider::sql
