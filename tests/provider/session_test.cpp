// Sessions: interfaces, local transactions, visibility between connections, lock waits,
// OpenRowset on a missing table.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "session.h"
#include "sqlite_errors.h"
#include "sqlite_database.h"
#include "provider_test_util.h"
#include "support/temp_database.h"

namespace vorn::provider {
namespace {

using namespace vorn::provider::testing;
using vorn::test::RunSql;
using vorn::test::TempFolder;

class SessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = folder_.File("s.db");
        RunSql(path_, "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT)");
        ASSERT_EQ(OpenDataSource(ConnectionTo(path_), &ds_), S_OK) << TakeError().description;
        session_ = NewSession(ds_.Get());
        ASSERT_TRUE(session_);
        ASSERT_EQ(session_.As(&local_), S_OK);
        ASSERT_EQ(session_.As(&transaction_), S_OK);
    }

    TempFolder folder_;
    std::string path_;
    ComPtr<IDBInitialize> ds_;
    ComPtr<IUnknown> session_;
    ComPtr<ITransactionLocal> local_;
    ComPtr<ITransaction> transaction_;
};

TEST_F(SessionTest, AnswersEveryInterfaceItOffers) {
    for (const IID* iid : {&IID_IUnknown, &IID_IOpenRowset, &IID_IDBCreateCommand,
                           &IID_ITransactionLocal, &IID_ITransaction, &IID_IProviderDatabase}) {
        EXPECT_TRUE(Session::Offers(*iid));
        ComPtr<IUnknown> p;
        EXPECT_EQ(session_->QueryInterface(*iid, p.ReleaseAndGetVoidAddress()), S_OK);
    }
    ComPtr<IUnknown> p;
    EXPECT_FALSE(Session::Offers(IID_IDBInitialize));
    EXPECT_EQ(session_->QueryInterface(IID_IDBInitialize, p.ReleaseAndGetVoidAddress()),
              E_NOINTERFACE);
    // The ITransaction base answers with the same object.
    ComPtr<IUnknown> a;
    ComPtr<IUnknown> b;
    transaction_->QueryInterface(IID_IUnknown, a.ReleaseAndGetVoidAddress());
    local_->QueryInterface(IID_IUnknown, b.ReleaseAndGetVoidAddress());
    EXPECT_EQ(a, b);
}

TEST_F(SessionTest, NestedStartAndCommitOrAbortWithoutTransactionAreRefused) {
    ULONG level = 0;
    ASSERT_EQ(local_->StartTransaction(ISOLATIONLEVEL_READCOMMITTED, 0, nullptr, &level), S_OK);
    EXPECT_EQ(level, 1u);
    EXPECT_EQ(local_->StartTransaction(ISOLATIONLEVEL_READCOMMITTED, 0, nullptr, nullptr),
              XACT_E_XTIONEXISTS);
    PostedError e = TakeError();
    EXPECT_TRUE(Contains(e.description, L"already running")) << e.description;
    EXPECT_EQ(e.guid, IID_ITransactionLocal);
    EXPECT_EQ(transaction_->Commit(FALSE, XACTTC_SYNC, 0), S_OK);

    EXPECT_EQ(transaction_->Commit(FALSE, XACTTC_SYNC, 0), XACT_E_NOTRANSACTION);
    e = TakeError();
    EXPECT_TRUE(Contains(e.description, L"no transaction to commit")) << e.description;
    EXPECT_EQ(transaction_->Abort(nullptr, FALSE, FALSE), XACT_E_NOTRANSACTION);
    EXPECT_TRUE(Contains(TakeError().description, L"no transaction to abort"));
    EXPECT_EQ(local_->StartTransaction(ISOLATIONLEVEL_CHAOS, 0, nullptr, nullptr),
              XACT_E_ISOLATIONLEVEL);
    TakeError();
}

TEST_F(SessionTest, AbortUndoesAndRetainingCommitStartsTheNextTransaction) {
    ASSERT_EQ(local_->StartTransaction(ISOLATIONLEVEL_READCOMMITTED, 0, nullptr, nullptr), S_OK);
    ASSERT_EQ(Exec(session_.Get(), "INSERT INTO t(name) VALUES('gone')"), SQLITE_OK);
    ASSERT_EQ(transaction_->Abort(nullptr, FALSE, FALSE), S_OK);
    EXPECT_EQ(Query(session_.Get(), "SELECT count(*) FROM t"), "0");

    ASSERT_EQ(local_->StartTransaction(ISOLATIONLEVEL_READCOMMITTED, 0, nullptr, nullptr), S_OK);
    ASSERT_EQ(Exec(session_.Get(), "INSERT INTO t(name) VALUES('kept')"), SQLITE_OK);
    ASSERT_EQ(transaction_->Commit(TRUE, XACTTC_SYNC, 0), S_OK);
    ASSERT_EQ(Exec(session_.Get(), "INSERT INTO t(name) VALUES('undone')"), SQLITE_OK);
    EXPECT_EQ(local_->StartTransaction(ISOLATIONLEVEL_READCOMMITTED, 0, nullptr, nullptr),
              XACT_E_XTIONEXISTS);
    TakeError();
    ASSERT_EQ(transaction_->Abort(nullptr, FALSE, FALSE), S_OK);
    EXPECT_EQ(vorn::test::QueryText(path_, "SELECT group_concat(name) FROM t"), "kept");
}

TEST_F(SessionTest, OtherConnectionSeesOnlyCommittedRows) {
    ComPtr<IDBInitialize> other;
    ASSERT_EQ(OpenDataSource(ConnectionTo(path_), &other), S_OK);
    ASSERT_EQ(local_->StartTransaction(ISOLATIONLEVEL_READCOMMITTED, 0, nullptr, nullptr), S_OK);
    ASSERT_EQ(Exec(session_.Get(), "INSERT INTO t(name) VALUES('pending')"), SQLITE_OK);
    EXPECT_EQ(Query(session_.Get(), "SELECT count(*) FROM t"), "1");
    EXPECT_EQ(Query(other.Get(), "SELECT count(*) FROM t"), "0");
    ASSERT_EQ(transaction_->Commit(FALSE, XACTTC_SYNC, 0), S_OK);
    EXPECT_EQ(Query(other.Get(), "SELECT name FROM t"), "pending");
}

TEST_F(SessionTest, WriteWaitsForTheLockAndThenFailsNamingTheDatabase) {
    const int previous = SetBusyTimeoutMilliseconds(150);
    ComPtr<IDBInitialize> other;
    const HRESULT opened = OpenDataSource(ConnectionTo(path_), &other);
    SetBusyTimeoutMilliseconds(previous);
    ASSERT_EQ(opened, S_OK);
    ComPtr<IUnknown> otherSession = NewSession(other.Get());
    ComPtr<ITransactionLocal> otherLocal;
    ASSERT_EQ(otherSession.As(&otherLocal), S_OK);

    ASSERT_EQ(local_->StartTransaction(ISOLATIONLEVEL_READCOMMITTED, 0, nullptr, nullptr), S_OK);
    ASSERT_EQ(Exec(session_.Get(), "INSERT INTO t(name) VALUES('mine')"), SQLITE_OK);

    std::shared_ptr<Database> otherDb = DatabaseOf(other.Get());
    const int rc = Exec(other.Get(), "INSERT INTO t(name) VALUES('theirs')");
    EXPECT_EQ(rc & 0xff, SQLITE_BUSY);
    const HRESULT hr = PostSqliteError(otherDb->Handle(), rc, IID_ICommand, L"could not insert");
    EXPECT_TRUE(FAILED(hr));
    PostedError e = TakeError();
    EXPECT_TRUE(Contains(e.description, L"could not insert: the database '")) << e.description;
    EXPECT_TRUE(Contains(e.description, L"s.db' is locked by another connection or process"))
        << e.description;
    EXPECT_TRUE(e.hasSql);
    EXPECT_EQ(e.native & 0xff, SQLITE_BUSY);

    // Starting a transaction waits for the write lock as well.
    EXPECT_TRUE(
        FAILED(otherLocal->StartTransaction(ISOLATIONLEVEL_READCOMMITTED, 0, nullptr, nullptr)));
    e = TakeError();
    EXPECT_TRUE(Contains(e.description, L"could not start a transaction")) << e.description;
    EXPECT_TRUE(Contains(e.description, L"is locked")) << e.description;

    ASSERT_EQ(transaction_->Commit(FALSE, XACTTC_SYNC, 0), S_OK);
    EXPECT_EQ(Exec(other.Get(), "INSERT INTO t(name) VALUES('theirs')"), SQLITE_OK);
}

TEST_F(SessionTest, OpenRowsetOnAMissingTableFailsWithNoTable) {
    ComPtr<IOpenRowset> open;
    ASSERT_EQ(session_.As(&open), S_OK);
    DBID table{};
    table.eKind = DBKIND_NAME;
    std::wstring name = L"Missing";
    table.uName.pwszName = name.data();
    ComPtr<IUnknown> rowset;
    EXPECT_EQ(open->OpenRowset(nullptr, &table, nullptr, IID_IRowset, 0, nullptr,
                               rowset.ReleaseAndGetUnknownAddress()),
              DB_E_NOTABLE);
    const PostedError e = TakeError();
    EXPECT_TRUE(Contains(e.description, L"the table 'Missing' does not exist")) << e.description;
    EXPECT_EQ(e.sqlState, L"42S02");
    EXPECT_EQ(e.guid, IID_IOpenRowset);
    EXPECT_FALSE(rowset);

    // Existence alone (no rowset asked for), letter case ignored as in Jet.
    name = L"T";
    table.uName.pwszName = name.data();
    EXPECT_EQ(open->OpenRowset(nullptr, &table, nullptr, IID_IRowset, 0, nullptr, nullptr), S_OK);
    DBID index = table;
    EXPECT_EQ(open->OpenRowset(nullptr, &table, &index, IID_IRowset, 0, nullptr, nullptr),
              DB_E_NOINDEX);
    TakeError();
}

TEST_F(SessionTest, OpenRowsetGivesTheRowsOfATableNamedWithBlanks) {
    RunSql(path_,
           "CREATE TABLE [Order Details](id INTEGER, qty INTEGER);"
           "INSERT INTO [Order Details] VALUES (1, 5), (2, 7), (3, 9);");
    ComPtr<IOpenRowset> open;
    ASSERT_EQ(session_.As(&open), S_OK);
    std::wstring name = L"order details";
    DBID table{};
    table.eKind = DBKIND_NAME;
    table.uName.pwszName = name.data();
    ComPtr<IRowset> rowset;
    ASSERT_EQ(open->OpenRowset(nullptr, &table, nullptr, IID_IRowset, 0, nullptr,
                               rowset.ReleaseAndGetUnknownAddress()),
              S_OK)
        << TakeError().description;
    ComPtr<IColumnsInfo> info;
    ASSERT_EQ(rowset.As(&info), S_OK);
    DBORDINAL columns = 0;
    DBCOLUMNINFO* columnInfo = nullptr;
    OLECHAR* strings = nullptr;
    ASSERT_EQ(info->GetColumnInfo(&columns, &columnInfo, &strings), S_OK);
    EXPECT_EQ(columns, 2u);
    CoTaskMemFree(columnInfo);
    CoTaskMemFree(strings);
    DBCOUNTITEM obtained = 0;
    HROW rows[10];
    HROW* rowsOut = rows;
    EXPECT_EQ(rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 10, &obtained, &rowsOut), DB_S_ENDOFROWSET);
    EXPECT_EQ(obtained, 3u);
    rowset->ReleaseRows(obtained, rows, nullptr, nullptr, nullptr);
}

TEST_F(SessionTest, ReleasingASessionRollsBackItsOpenTransaction) {
    ASSERT_EQ(local_->StartTransaction(ISOLATIONLEVEL_READCOMMITTED, 0, nullptr, nullptr), S_OK);
    ASSERT_EQ(Exec(session_.Get(), "INSERT INTO t(name) VALUES('left open')"), SQLITE_OK);
    local_.Reset();
    transaction_.Reset();
    session_.Reset();
    EXPECT_EQ(Query(ds_.Get(), "SELECT count(*) FROM t"), "0");
    EXPECT_EQ(Exec(ds_.Get(), "INSERT INTO t(name) VALUES('after')"), SQLITE_OK);
}

}  // namespace
}  // namespace vorn::provider
