// The data-initialisation service and the data source: providers by name, opening files
// by their kind, properties, Mode=Read, prompting, initialisation strings.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include "sqlite_errors.h"
#include "store_kind.h"
#include "provider_test_util.h"
#include "support/temp_database.h"

namespace vorn::provider {
namespace {

using namespace vorn::provider::testing;
using vorn::test::RunSql;
using vorn::test::TempFolder;

const std::string kTestData = VORN_TESTDATA_DIR;

TEST(DataInitializeTest, ProviderNamesOfTheEmbeddedProvider) {
    TempFolder folder;
    RunSql(folder.File("a.db"), "CREATE TABLE t(x)");
    for (const wchar_t* name :
         {L"Microsoft.ACE.OLEDB.12.0", L"microsoft.jet.oledb.4.0", L" Microsoft.Jet.OLEDB.4.0 "}) {
        ComPtr<IDBInitialize> ds;
        const std::wstring cs =
            std::wstring(L"Provider=") + name + L";Data Source=" + Utf8ToWide(folder.File("a.db"));
        EXPECT_EQ(OpenDataSource(cs, &ds), S_OK) << TakeError().description;
    }
    for (const CLSID* clsid : {&CLSID_ACE_OLEDB_12, &CLSID_JET_OLEDB_4}) {
        ComPtr<IDBProperties> props;
        EXPECT_EQ(CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDBProperties,
                                   props.ReleaseAndGetVoidAddress()),
                  S_OK);
    }
}

TEST(DataInitializeTest, UnknownOrMissingProviderFailsAsUnregisteredClass) {
    ComPtr<IDBInitialize> ds;
    EXPECT_EQ(GetDataSource(L"Provider=SQLOLEDB.1;Data Source=x", &ds), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(ds);
    PostedError e = TakeError();
    EXPECT_TRUE(Contains(e.description, L"'SQLOLEDB.1'")) << e.description;
    EXPECT_EQ(e.source, kProviderErrorSource);
    EXPECT_EQ(e.guid, IID_IDataInitialize);

    EXPECT_EQ(GetDataSource(L"Data Source=x", &ds), REGDB_E_CLASSNOTREG);
    EXPECT_TRUE(Contains(TakeError().description, L"names no provider"));
}

TEST(DataInitializeTest, UnreadableStringSaysWhatAndWhere) {
    ComPtr<IDBInitialize> ds;
    EXPECT_TRUE(
        FAILED(GetDataSource(L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source='/tmp/x", &ds)));
    const PostedError e = TakeError();
    EXPECT_TRUE(Contains(e.description, L"never closed")) << e.description;
    EXPECT_TRUE(Contains(e.description, L"character 47")) << e.description;

    EXPECT_EQ(GetDataSource(L"Provider=Microsoft.ACE.OLEDB.12.0;Mode=Sometimes", &ds),
              E_INVALIDARG);
    EXPECT_TRUE(Contains(TakeError().description, L"'Sometimes'"));
}

TEST(DataInitializeTest, LastOccurrenceOfAKeyCountsAlsoInLongStrings) {
    std::wstring text = L"Provider=Microsoft.ACE.OLEDB.12.0;Mode=Sometimes;";
    for (int i = 0; i < 100000; ++i)
        text += L"Jet OLEDB:Unused Setting=" + std::to_wstring(i) + L";";
    text += L"Data Source=first.db;Data Source='/last.db';mode=Read";
    ComPtr<IDBInitialize> ds;
    ASSERT_EQ(GetDataSource(text, &ds), S_OK) << TakeError().description;
    EXPECT_EQ(TextProperty(ds.Get(), DBPROPSET_DBINIT, DBPROP_INIT_DATASOURCE), L"/last.db");
    VARIANT mode = ReadProperty(ds.Get(), DBPROPSET_DBINIT, DBPROP_INIT_MODE);
    EXPECT_EQ(mode.lVal, DB_MODE_READ);
}

TEST(DataInitializeTest, InitializationStringComesBackFromTheDataSource) {
    ComPtr<IDBInitialize> ds;
    ASSERT_EQ(GetDataSource(L"provider=Microsoft.Jet.OLEDB.4.0;data source=/tmp/a;b.db;"
                            L"Extended Properties=\"Excel 8.0;HDR=No\";Password=secret;"
                            L"Mode=Read|Share Deny Write;Jet OLEDB:Engine Type=5",
                            &ds),
              E_INVALIDARG);  // ';' ends an unquoted value: "b.db" stands alone
    TakeError();
    ASSERT_EQ(GetDataSource(L"provider=Microsoft.Jet.OLEDB.4.0;data source='/tmp/a;b.db';"
                            L"Extended Properties=\"Excel 8.0;HDR=No\";Password=secret;"
                            L"Mode=Read|Share Deny Write;Jet OLEDB:Engine Type=5",
                            &ds),
              S_OK);
    ComPtr<IDataInitialize> service;
    ASSERT_EQ(CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDataInitialize, service.ReleaseAndGetVoidAddress()),
              S_OK);
    LPOLESTR text = nullptr;
    ASSERT_EQ(service->GetInitializationString(ds.Get(), false, &text), S_OK);
    const std::wstring withoutPassword = text;
    CoTaskMemFree(text);
    EXPECT_FALSE(Contains(withoutPassword, L"secret"));
    ASSERT_EQ(service->GetInitializationString(ds.Get(), true, &text), S_OK);
    const std::wstring withPassword = text;
    CoTaskMemFree(text);

    // The text opens an equivalent data source.
    ComPtr<IDBInitialize> again;
    ASSERT_EQ(GetDataSource(withPassword, &again), S_OK) << withPassword;
    EXPECT_EQ(TextProperty(again.Get(), DBPROPSET_DBINIT, DBPROP_INIT_DATASOURCE), L"/tmp/a;b.db");
    EXPECT_EQ(TextProperty(again.Get(), DBPROPSET_DBINIT, DBPROP_INIT_PROVIDERSTRING),
              L"Excel 8.0;HDR=No");
    EXPECT_EQ(TextProperty(again.Get(), DBPROPSET_DBINIT, DBPROP_AUTH_PASSWORD), L"secret");
    VARIANT mode = ReadProperty(again.Get(), DBPROPSET_DBINIT, DBPROP_INIT_MODE);
    EXPECT_EQ(mode.vt, VT_I4);
    EXPECT_EQ(mode.lVal, DB_MODE_READ | DB_MODE_SHARE_DENY_WRITE);
}

TEST(DataSourceTest, MissingFileIsNamed) {
    TempFolder folder;
    const std::string path = folder.File("nothing here.db");
    ComPtr<IDBInitialize> ds;
    EXPECT_EQ(OpenDataSource(ConnectionTo(path), &ds), STG_E_FILENOTFOUND);
    const PostedError e = TakeError();
    EXPECT_EQ(e.description, L"could not find file '" + Utf8ToWide(path) + L"'");
    EXPECT_EQ(e.guid, IID_IDBInitialize);
    VARIANT status = ReadProperty(ds.Get(), DBPROPSET_DATASOURCEINFO, DBPROP_CONNECTIONSTATUS);
    EXPECT_EQ(status.vt, VT_I4);
    EXPECT_EQ(status.lVal, DBPROPVAL_CS_UNINITIALIZED);
    EXPECT_FALSE(std::ifstream(path).good());  // opening never creates a file
}

TEST(DataSourceTest, FilesThatAreNoSqliteDatabaseAreRefusedByKind) {
    TempFolder folder;
    WriteBytes(folder.File("notes.db"), "just some text\n");
    WriteBytes(folder.File("empty.db"), "");
    WriteBytes(folder.File("book.db"), std::string("PK\x03\x04", 4) + std::string(60, '\0'));
    struct Case {
        std::string path;
        std::wstring expected;
    } cases[] = {
        {folder.File("notes.db"), L"is a text file, not a database"},
        {folder.File("empty.db"), L"is an empty file (0 bytes), not a database"},
        {folder.File("book.db"), L"zip archive"},
        {folder.Path(), L"is a folder, not a database file"},
        {folder.File("pipe"), L"is not a regular file"},
    };
    ASSERT_EQ(::mkfifo(folder.File("pipe").c_str(), 0600), 0);
    for (const Case& c : cases) {
        ComPtr<IDBInitialize> ds;
        EXPECT_TRUE(FAILED(OpenDataSource(ConnectionTo(c.path), &ds))) << c.path;
        const PostedError e = TakeError();
        EXPECT_TRUE(Contains(e.description, Utf8ToWide(c.path))) << e.description;
        EXPECT_TRUE(Contains(e.description, c.expected)) << e.description;
    }
}

TEST(DataSourceTest, AccessFilesOpenReadOnlyByTheirContent) {
    for (const char* name : {"testV1997.mdb", "delTestV2003.mdb", "testV2007.accdb"}) {
        const std::string path = kTestData + "/access/jackcess/" + name;
        ComPtr<IDBInitialize> ds;
        ASSERT_EQ(OpenDataSource(ConnectionTo(path), &ds), S_OK) << TakeError().description;
        VARIANT readOnly =
            ReadProperty(ds.Get(), DBPROPSET_DATASOURCEINFO, DBPROP_DATASOURCEREADONLY);
        EXPECT_EQ(readOnly.vt, VT_BOOL) << name;
        EXPECT_EQ(readOnly.boolVal, VARIANT_TRUE) << name;
    }
}

TEST(DataSourceTest, NameWithANulCharacterIsRefused) {
    TempFolder folder;
    RunSql(folder.File("a.db"), "CREATE TABLE t(x)");
    ComPtr<IDBProperties> props;
    ASSERT_EQ(CoCreateInstance(CLSID_ACE_OLEDB_12, nullptr, CLSCTX_INPROC_SERVER, IID_IDBProperties,
                               props.ReleaseAndGetVoidAddress()),
              S_OK);
    const std::wstring name = Utf8ToWide(folder.File("a.db")) + std::wstring(1, L'\0') + L"x";
    DBPROP prop{};
    prop.dwPropertyID = DBPROP_INIT_DATASOURCE;
    prop.colid = DB_NULLID;
    prop.vValue.vt = VT_BSTR;
    prop.vValue.bstrVal = SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
    DBPROPSET set{&prop, 1, DBPROPSET_DBINIT};
    ASSERT_EQ(props->SetProperties(1, &set), S_OK);
    SysFreeString(prop.vValue.bstrVal);
    ComPtr<IDBInitialize> ds;
    ASSERT_EQ(props.As(&ds), S_OK);
    EXPECT_EQ(ds->Initialize(), E_INVALIDARG);
    EXPECT_TRUE(Contains(TakeError().description, L"NUL character"));
}

TEST(DataSourceTest, FileKindsFromHeaders) {
    const unsigned char sqlite[] = "SQLite format 3";
    EXPECT_EQ(DetectFileKind(sqlite, 16).kind, StoreKind::SQLite);
    EXPECT_EQ(DetectFileKind(sqlite, 15).kind, StoreKind::Text);  // cut before the NUL
    const unsigned char ole2[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1, 0};
    EXPECT_EQ(DetectFileKind(ole2, sizeof ole2).kind, StoreKind::Ole2);
    const unsigned char binary[] = {0x7F, 'E', 'L', 'F', 0, 1};
    EXPECT_EQ(DetectFileKind(binary, sizeof binary).kind, StoreKind::Unknown);
    const unsigned char latin1[] = {'c', 'a', 'f', 0xE9, ' ', 'x'};
    EXPECT_EQ(DetectFileKind(latin1, sizeof latin1).kind, StoreKind::Unknown);
    const unsigned char utf8[] = {0xEF, 0xBB, 0xBF, 'a', ';', 0xC3, 0xA9, '\n', 0xE2, 0x82};
    EXPECT_EQ(DetectFileKind(utf8, sizeof utf8).kind, StoreKind::Text);  // cut mid-character
}

TEST(DataSourceTest, GoodFileAndMemoryDatabaseOpenWithTheirProperties) {
    TempFolder folder;
    const std::string path = folder.File("good.sqlite");
    RunSql(path, "CREATE TABLE t(x); INSERT INTO t VALUES (42);");
    ComPtr<IDBInitialize> ds;
    ASSERT_EQ(OpenDataSource(ConnectionTo(path), &ds), S_OK) << TakeError().description;
    EXPECT_EQ(Query(ds.Get(), "SELECT x FROM t"), "42");
    EXPECT_EQ(Query(ds.Get(), "PRAGMA foreign_keys"), "1");
    // Write-ahead logging comes with the first write, not with the open.
    EXPECT_EQ(Query(ds.Get(), "PRAGMA journal_mode"), "delete");
    ASSERT_EQ(Exec(ds.Get(), "INSERT INTO t VALUES (43)"), SQLITE_OK);
    EXPECT_EQ(Query(ds.Get(), "PRAGMA journal_mode"), "wal");

    VARIANT v = ReadProperty(ds.Get(), DBPROPSET_DATASOURCEINFO, DBPROP_CONNECTIONSTATUS);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, DBPROPVAL_CS_INITIALIZED);
    v = ReadProperty(ds.Get(), DBPROPSET_DATASOURCEINFO, DBPROP_DATASOURCEREADONLY);
    EXPECT_EQ(v.vt, VT_BOOL);
    EXPECT_EQ(v.boolVal, VARIANT_FALSE);
    EXPECT_EQ(TextProperty(ds.Get(), DBPROPSET_DATASOURCEINFO, DBPROP_DATASOURCENAME),
              Utf8ToWide(path));
    EXPECT_EQ(TextProperty(ds.Get(), DBPROPSET_DATASOURCE, DBPROP_CURRENTCATALOG),
              Utf8ToWide(path));
    EXPECT_EQ(TextProperty(ds.Get(), DBPROPSET_DATASOURCEINFO, DBPROP_PROVIDERNAME),
              L"Microsoft.ACE.OLEDB.12.0");

    // A second Initialize is refused; Uninitialize waits for sessions to go.
    EXPECT_EQ(ds->Initialize(), DB_E_ALREADYINITIALIZED);
    TakeError();
    ComPtr<IUnknown> session = NewSession(ds.Get());
    ASSERT_TRUE(session);
    EXPECT_EQ(ds->Uninitialize(), DB_E_OBJECTOPEN);
    TakeError();
    session.Reset();
    EXPECT_EQ(ds->Uninitialize(), S_OK);
    v = ReadProperty(ds.Get(), DBPROPSET_DATASOURCEINFO, DBPROP_CONNECTIONSTATUS);
    EXPECT_EQ(v.lVal, DBPROPVAL_CS_UNINITIALIZED);

    ComPtr<IDBInitialize> memory;
    ASSERT_EQ(OpenDataSource(L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=:memory:", &memory),
              S_OK);
    EXPECT_EQ(Exec(memory.Get(), "CREATE TABLE m(a); INSERT INTO m VALUES('in memory')"),
              SQLITE_OK);
    EXPECT_EQ(Query(memory.Get(), "SELECT a FROM m"), "in memory");
    EXPECT_EQ(TextProperty(memory.Get(), DBPROPSET_DATASOURCEINFO, DBPROP_DATASOURCENAME),
              L":memory:");
}

TEST(DataSourceTest, GetPropertiesReportsUnsupportedIdsAsOleDbDoes) {
    TempFolder folder;
    RunSql(folder.File("p.db"), "CREATE TABLE t(x)");
    ComPtr<IDBInitialize> ds;
    ASSERT_EQ(OpenDataSource(ConnectionTo(folder.File("p.db")), &ds), S_OK);
    ComPtr<IDBProperties> props;
    ASSERT_EQ(ds.As(&props), S_OK);

    DBPROPID ids[] = {DBPROP_DATASOURCENAME, 0x7777, DBPROP_DATASOURCEREADONLY};
    DBPROPIDSET idSet{ids, 3, DBPROPSET_DATASOURCEINFO};
    ULONG count = 0;
    DBPROPSET* sets = nullptr;
    EXPECT_EQ(props->GetProperties(1, &idSet, &count, &sets), DB_S_ERRORSOCCURRED);
    ASSERT_EQ(count, 1u);
    ASSERT_EQ(sets[0].cProperties, 3u);
    EXPECT_EQ(sets[0].rgProperties[0].dwStatus, DBPROPSTATUS_OK);
    EXPECT_EQ(sets[0].rgProperties[1].dwStatus, DBPROPSTATUS_NOTSUPPORTED);
    EXPECT_EQ(sets[0].rgProperties[1].vValue.vt, VT_EMPTY);
    EXPECT_EQ(sets[0].rgProperties[2].vValue.vt, VT_BOOL);
    for (ULONG i = 0; i < sets[0].cProperties; ++i)
        VariantClear(&sets[0].rgProperties[i].vValue);
    CoTaskMemFree(sets[0].rgProperties);
    CoTaskMemFree(sets);
    EXPECT_TRUE(Contains(TakeError().description, L"0x7777"));

    DBPROPID unknown = 0x7777;
    DBPROPIDSET onlyUnknown{&unknown, 1, DBPROPSET_DATASOURCE};
    EXPECT_EQ(props->GetProperties(1, &onlyUnknown, &count, &sets), DB_E_ERRORSOCCURRED);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(sets[0].rgProperties[0].dwStatus, DBPROPSTATUS_NOTSUPPORTED);
    CoTaskMemFree(sets[0].rgProperties);
    CoTaskMemFree(sets);
    TakeError();

    // No sets asked: every set with all its properties, each readable.
    EXPECT_EQ(props->GetProperties(0, nullptr, &count, &sets), S_OK);
    EXPECT_EQ(count, 3u);
    for (ULONG s = 0; s < count; ++s) {
        for (ULONG i = 0; i < sets[s].cProperties; ++i) {
            EXPECT_EQ(sets[s].rgProperties[i].dwStatus, DBPROPSTATUS_OK);
            VariantClear(&sets[s].rgProperties[i].vValue);
        }
        CoTaskMemFree(sets[s].rgProperties);
    }
    CoTaskMemFree(sets);

    EXPECT_EQ(props->GetProperties(1, nullptr, &count, &sets), E_INVALIDARG);
    TakeError();
}

TEST(DataSourceTest, SetPropertiesBeforeInitializeAndPromptWithoutDataSource) {
    TempFolder folder;
    const std::string path = folder.File("set.db");
    RunSql(path, "CREATE TABLE t(x)");
    ComPtr<IDBProperties> props;
    ASSERT_EQ(CoCreateInstance(CLSID_ACE_OLEDB_12, nullptr, CLSCTX_INPROC_SERVER, IID_IDBProperties,
                               props.ReleaseAndGetVoidAddress()),
              S_OK);
    ComPtr<IDBInitialize> ds;
    ASSERT_EQ(props.As(&ds), S_OK);

    DBPROP prompt{};
    prompt.dwPropertyID = DBPROP_INIT_PROMPT;
    prompt.dwOptions = DBPROPOPTIONS_REQUIRED;
    prompt.colid = DB_NULLID;
    prompt.vValue.vt = VT_I2;
    prompt.vValue.iVal = DBPROMPT_COMPLETEREQUIRED;
    DBPROPSET set{&prompt, 1, DBPROPSET_DBINIT};
    ASSERT_EQ(props->SetProperties(1, &set), S_OK);
    EXPECT_TRUE(FAILED(ds->Initialize()));
    EXPECT_TRUE(Contains(TakeError().description, L"no data source given"));

    DBPROP source[2] = {};
    source[0].dwPropertyID = DBPROP_INIT_DATASOURCE;
    source[0].colid = DB_NULLID;
    source[0].vValue.vt = VT_BSTR;
    source[0].vValue.bstrVal = SysAllocString(Utf8ToWide(path).c_str());
    source[1].dwPropertyID = DBPROP_INIT_MODE;
    source[1].colid = DB_NULLID;
    source[1].vValue.vt = VT_BSTR;  // wrong type
    DBPROPSET sourceSet{source, 2, DBPROPSET_DBINIT};
    EXPECT_EQ(props->SetProperties(1, &sourceSet), DB_S_ERRORSOCCURRED);
    EXPECT_EQ(source[0].dwStatus, DBPROPSTATUS_OK);
    EXPECT_EQ(source[1].dwStatus, DBPROPSTATUS_BADVALUE);
    EXPECT_TRUE(Contains(TakeError().description, L"DBPROP_INIT_MODE: bad value"));
    SysFreeString(source[0].vValue.bstrVal);

    // Everything present: the prompt flag just opens.
    EXPECT_EQ(ds->Initialize(), S_OK) << TakeError().description;
    EXPECT_EQ(props->SetProperties(1, &set), DB_E_ERRORSOCCURRED);
    EXPECT_EQ(prompt.dwStatus, DBPROPSTATUS_NOTSETTABLE);
    TakeError();
}

TEST(DataSourceTest, ModeReadOpensReadOnlyAndRefusesWrites) {
    TempFolder folder;
    const std::string path = folder.File("ro.db");
    RunSql(path, "CREATE TABLE t(x); INSERT INTO t VALUES (1);");
    ComPtr<IDBInitialize> ds;
    ASSERT_EQ(OpenDataSource(ConnectionTo(path, L"Mode=Read;"), &ds), S_OK);
    VARIANT v = ReadProperty(ds.Get(), DBPROPSET_DATASOURCEINFO, DBPROP_DATASOURCEREADONLY);
    EXPECT_EQ(v.boolVal, VARIANT_TRUE);
    EXPECT_EQ(Query(ds.Get(), "SELECT count(*) FROM t"), "1");
    const int rc = Exec(ds.Get(), "INSERT INTO t VALUES (2)");
    EXPECT_EQ(rc & 0xff, SQLITE_READONLY);
    std::shared_ptr<Database> db = DatabaseOf(ds.Get());
    EXPECT_TRUE(db->ReadOnly());
    PostSqliteError(db->Handle(), rc, IID_ICommand, L"could not run INSERT");
    const PostedError e = TakeError();
    EXPECT_TRUE(Contains(e.description, L"read-only")) << e.description;
    EXPECT_EQ(vorn::test::QueryText(path, "SELECT count(*) FROM t"), "1");
}

TEST(DataSourceTest, ExclusiveModeKeepsOtherConnectionsOut) {
    TempFolder folder;
    const std::string path = folder.File("x.db");
    RunSql(path, "CREATE TABLE t(x)");
    ComPtr<IDBInitialize> exclusive;
    ASSERT_EQ(OpenDataSource(ConnectionTo(path, L"Mode=Share Exclusive|ReadWrite;"), &exclusive),
              S_OK);
    ComPtr<IDBInitialize> other;
    EXPECT_EQ(OpenDataSource(ConnectionTo(path), &other), STG_E_SHAREVIOLATION);
    EXPECT_TRUE(Contains(TakeError().description, L"in use"));
    exclusive.Reset();
    EXPECT_EQ(OpenDataSource(ConnectionTo(path), &other), S_OK);
    ComPtr<IDBInitialize> second;
    EXPECT_EQ(OpenDataSource(ConnectionTo(path, L"Mode=Share Exclusive;"), &second),
              STG_E_SHAREVIOLATION);
    TakeError();
}

}  // namespace
}  // namespace vorn::provider
