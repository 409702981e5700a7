// IDBDataSourceAdmin: new SQLite databases that never touch an existing file, deletion.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "open_file_registry.h"
#include "provider_test_util.h"
#include "support/temp_database.h"

namespace vorn::provider {
namespace {

using namespace vorn::provider::testing;
using vorn::test::RunSql;
using vorn::test::TempFolder;

// What the consumer's file creation does: a data source from a provider string, its
// administration interface, one DBINIT set holding the file name.
HRESULT CreateThroughAdmin(const std::string& file, ComPtr<IDBDataSourceAdmin>* adminOut,
                           REFIID riid = IID_IDBDataSourceAdmin, IUnknown** session = nullptr) {
    ComPtr<IDBInitialize> ds;
    HRESULT hr = GetDataSource(L"Provider=Microsoft.ACE.OLEDB.12.0;", &ds);
    if (FAILED(hr))
        return hr;
    ComPtr<IDBDataSourceAdmin> admin;
    hr = ds.As(&admin);
    if (FAILED(hr))
        return hr;
    ds.Reset();
    DBPROP prop{};
    prop.dwPropertyID = DBPROP_INIT_DATASOURCE;
    prop.dwOptions = DBPROPOPTIONS_OPTIONAL;
    prop.colid = DB_NULLID;
    prop.vValue.vt = VT_BSTR;
    prop.vValue.bstrVal = SysAllocString(Utf8ToWide(file).c_str());
    DBPROPSET set{&prop, 1, DBPROPSET_DBINIT};
    hr = admin->CreateDataSource(1, &set, nullptr, riid, session);
    VariantClear(&prop.vValue);
    if (adminOut)
        *adminOut = admin;
    return hr;
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

TEST(DataSourceAdminTest, CreatesAnEmptySqliteDatabaseWhateverTheExtension) {
    TempFolder folder;
    const std::string path = folder.File("new.mdb");
    ComPtr<IDBDataSourceAdmin> admin;
    ASSERT_EQ(CreateThroughAdmin(path, &admin), S_OK) << TakeError().description;
    const std::vector<unsigned char> bytes = ReadBytes(path);
    ASSERT_GE(bytes.size(), 100u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 16), std::string("SQLite format 3\0", 16));

    // The data source is initialized on the new file and works.
    VARIANT status = ReadProperty(admin.Get(), DBPROPSET_DATASOURCEINFO, DBPROP_CONNECTIONSTATUS);
    EXPECT_EQ(status.lVal, DBPROPVAL_CS_INITIALIZED);
    EXPECT_EQ(Exec(admin.Get(), "CREATE TABLE t(x); INSERT INTO t VALUES(1)"), SQLITE_OK);
    ComPtr<IDBInitialize> ds;
    ASSERT_EQ(admin.As(&ds), S_OK);
    EXPECT_TRUE(NewSession(ds.Get()));
    ds.Reset();
    admin.Reset();
    // Closed: one file, with the table.
    EXPECT_FALSE(Exists(path + "-wal"));
    EXPECT_FALSE(Exists(path + "-shm"));
    EXPECT_EQ(vorn::test::QueryText(path, "SELECT count(*) FROM t"), "1");
}

TEST(DataSourceAdminTest, ExistingFileIsNeverTouched) {
    TempFolder folder;
    const std::string database = folder.File("old.db");
    RunSql(database, "CREATE TABLE keep(x); INSERT INTO keep VALUES('precious');");
    const std::string text = folder.File("notes.txt");
    WriteBytes(text, "not a database, but mine\n");
    for (const std::string& path : {database, text}) {
        const std::vector<unsigned char> before = ReadBytes(path);
        ComPtr<IDBDataSourceAdmin> admin;
        EXPECT_EQ(CreateThroughAdmin(path, &admin), DB_E_DUPLICATEDATASOURCE);
        const PostedError e = TakeError();
        EXPECT_EQ(e.description, L"database already exists: '" + Utf8ToWide(path) + L"'");
        EXPECT_EQ(e.guid, IID_IDBDataSourceAdmin);
        EXPECT_EQ(ReadBytes(path), before);
        VARIANT status =
            ReadProperty(admin.Get(), DBPROPSET_DATASOURCEINFO, DBPROP_CONNECTIONSTATUS);
        EXPECT_EQ(status.lVal, DBPROPVAL_CS_UNINITIALIZED);
    }
}

TEST(DataSourceAdminTest, RefusalsLeaveNoFileBehind) {
    TempFolder folder;
    const std::string inMissingFolder = folder.File("no/such/folder/x.db");
    EXPECT_TRUE(FAILED(CreateThroughAdmin(inMissingFolder, nullptr)));
    PostedError e = TakeError();
    EXPECT_TRUE(Contains(e.description, Utf8ToWide(inMissingFolder))) << e.description;
    EXPECT_TRUE(Contains(e.description, L"folder does not exist")) << e.description;

    // A session interface the session does not offer is refused before anything is made.
    const std::string path = folder.File("never.db");
    IUnknown* session = nullptr;
    EXPECT_EQ(CreateThroughAdmin(path, nullptr, IID_IDBInitialize, &session), E_NOINTERFACE);
    EXPECT_EQ(session, nullptr);
    EXPECT_FALSE(Exists(path));
    TakeError();

    // No data source at all.
    ComPtr<IDBDataSourceAdmin> admin;
    ASSERT_EQ(CoCreateInstance(CLSID_ACE_OLEDB_12, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDBDataSourceAdmin, admin.ReleaseAndGetVoidAddress()),
              S_OK);
    EXPECT_EQ(admin->CreateDataSource(0, nullptr, nullptr, GUID_NULL, nullptr), E_INVALIDARG);
    EXPECT_TRUE(Contains(TakeError().description, L"no data source given"));
}

TEST(DataSourceAdminTest, CreateCanHandBackASession) {
    TempFolder folder;
    IUnknown* raw = nullptr;
    ASSERT_EQ(CreateThroughAdmin(folder.File("s.db"), nullptr, IID_ITransactionLocal, &raw), S_OK);
    ComPtr<ITransactionLocal> local =
        ComPtr<ITransactionLocal>::Attach(static_cast<ITransactionLocal*>(raw));
    ASSERT_TRUE(local);
    EXPECT_EQ(local->StartTransaction(ISOLATIONLEVEL_READCOMMITTED, 0, nullptr, nullptr), S_OK);
    EXPECT_EQ(Exec(local.Get(), "CREATE TABLE t(x)"), SQLITE_OK);
    ComPtr<ITransaction> transaction;
    ASSERT_EQ(local.As(&transaction), S_OK);
    EXPECT_EQ(transaction->Commit(FALSE, XACTTC_SYNC, 0), S_OK);
}

TEST(DataSourceAdminTest, DestroyDeletesOnlyAFileNobodyElseHasOpen) {
    TempFolder folder;
    const std::string path = folder.File("doomed.db");
    ComPtr<IDBDataSourceAdmin> admin;
    ASSERT_EQ(CreateThroughAdmin(path, &admin), S_OK);
    ComPtr<IDBInitialize> other;
    ASSERT_EQ(OpenDataSource(ConnectionTo(path), &other), S_OK);
    EXPECT_EQ(admin->DestroyDataSource(), STG_E_SHAREVIOLATION);
    EXPECT_TRUE(Contains(TakeError().description, L"in use"));
    EXPECT_TRUE(Exists(path));
    other.Reset();

    ComPtr<IDBDataSourceAdmin> again;
    ASSERT_EQ(CreateThroughAdmin(folder.File("doomed2.db"), &again), S_OK);
    EXPECT_EQ(again->DestroyDataSource(), S_OK);
    EXPECT_FALSE(Exists(folder.File("doomed2.db")));
    EXPECT_EQ(HeldFileCount(), 0u);
}

}  // namespace
}  // namespace vorn::provider
