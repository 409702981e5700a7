// SQLite failures as error records: SQLSTATE, HRESULT, native error, description.
#include "sqlite_errors.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "provider_test_util.h"

namespace vorn::provider {
namespace {

using namespace vorn::provider::testing;

class SqliteErrorsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
        sqlite3_extended_result_codes(db_, 1);
        ASSERT_EQ(sqlite3_exec(db_,
                               "CREATE TABLE parts(id INTEGER PRIMARY KEY, code TEXT UNIQUE "
                               "NOT NULL); INSERT INTO parts VALUES(1,'A');",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
    }
    void TearDown() override { sqlite3_close(db_); }

    // Runs sql, expects it to fail, posts the record and takes it back.
    PostedError Fail(const char* sql, HRESULT* hr) {
        const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
        EXPECT_NE(rc, SQLITE_OK) << sql;
        *hr = PostSqliteError(db_, rc, IID_ICommand, L"could not run the statement");
        return TakeError();
    }

    sqlite3* db_ = nullptr;
};

TEST_F(SqliteErrorsTest, StatementFailuresCarrySqlStateAndExtendedCode) {
    HRESULT hr = S_OK;
    PostedError e = Fail("SELECT * FROM Orders", &hr);
    EXPECT_EQ(hr, DB_E_NOTABLE);
    EXPECT_EQ(e.hr, DB_E_NOTABLE);
    EXPECT_EQ(e.sqlState, L"42S02");
    EXPECT_EQ(e.native, SQLITE_ERROR);
    EXPECT_EQ(e.description, L"could not run the statement: no such table: Orders");
    EXPECT_EQ(e.source, kProviderErrorSource);
    EXPECT_EQ(e.guid, IID_ICommand);

    e = Fail("SELEC 1", &hr);
    EXPECT_EQ(hr, DB_E_ERRORSINCOMMAND);
    EXPECT_EQ(e.sqlState, L"42000");

    e = Fail("SELECT colour FROM parts", &hr);
    EXPECT_EQ(e.sqlState, L"42S22");
    EXPECT_TRUE(Contains(e.description, L"colour"));

    e = Fail("CREATE TABLE parts(x)", &hr);
    EXPECT_EQ(e.sqlState, L"42S01");

    e = Fail("INSERT INTO parts VALUES(2,'A')", &hr);
    EXPECT_EQ(hr, DB_E_INTEGRITYVIOLATION);
    EXPECT_EQ(e.sqlState, L"23000");
    EXPECT_EQ(e.native, SQLITE_CONSTRAINT_UNIQUE);
    EXPECT_TRUE(Contains(e.description, L"parts.code")) << e.description;

    e = Fail("INSERT INTO parts(id) VALUES(3)", &hr);
    EXPECT_EQ(e.native, SQLITE_CONSTRAINT_NOTNULL);
    EXPECT_EQ(e.sqlState, L"23000");
}

TEST_F(SqliteErrorsTest, NeverASuccessCodeAndNoStaleMessage) {
    // A code that is not the handle's last error gets SQLite's generic text, not the
    // handle's unrelated message.
    sqlite3_exec(db_, "SELECT * FROM nowhere", nullptr, nullptr, nullptr);
    EXPECT_TRUE(FAILED(PostSqliteError(db_, SQLITE_FULL, IID_ICommand, L"")));
    PostedError e = TakeError();
    EXPECT_FALSE(Contains(e.description, L"nowhere")) << e.description;
    EXPECT_TRUE(Contains(e.description, L"full")) << e.description;
    EXPECT_TRUE(FAILED(PostSqliteError(nullptr, SQLITE_NOMEM, IID_ICommand, L"x")));
    EXPECT_EQ(TakeError().hr, E_OUTOFMEMORY);
    EXPECT_TRUE(FAILED(PostSqliteError(db_, SQLITE_DONE, IID_ICommand, L"x")));
    TakeError();
}

TEST_F(SqliteErrorsTest, AppendKeepsEarlierRecords) {
    PostProviderError(E_FAIL, IID_ICommand, L"first");
    sqlite3_exec(db_, "SELECT * FROM gone", nullptr, nullptr, nullptr);
    AppendSqliteError(db_, SQLITE_ERROR, IID_ICommand, L"second");
    const PostedError e = TakeError();
    EXPECT_EQ(e.records, 2u);
    EXPECT_EQ(e.description, L"first");
}

}  // namespace
}  // namespace vorn::provider
