// Connections on the real provider over SQLite files made in a temporary folder, and the
// file-creation rule that only a fake provider can reach.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cwctype>
#include <filesystem>
#include <fstream>

#include "support/temp_database.h"
#include "vornoledb/connection.h"
#include "vornoledb/exception.h"
#include "error_records.h"
#include "files.h"
#include "vornoledb/platform/text.h"

using vorn::test::ConnectionString;
using vorn::test::QueryText;
using vorn::test::RunSql;
using vorn::test::TempFolder;

namespace {

std::string ReadAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

std::wstring ToUpperForTest(std::wstring s) {
    for (wchar_t& ch : s)
        ch = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(ch)));
    return s;
}

// A data source whose creation writes the file and still answers E_UNEXPECTED, as some
// providers do; or answers E_UNEXPECTED without writing anything.
class UnexpectedDataSource : public ComObject<IDBInitialize, IDBDataSourceAdmin> {
  public:
    explicit UnexpectedDataSource(bool writeFile) : writeFile_(writeFile) {}
    HRESULT Initialize() override { return S_OK; }
    HRESULT Uninitialize() override { return S_OK; }
    HRESULT CreateDataSource(ULONG, DBPROPSET sets[], IUnknown*, REFIID, IUnknown**) override {
        if (writeFile_)
            std::ofstream(WideToUtf8(sets[0].rgProperties[0].vValue.bstrVal)) << "x";
        ErrorRecord r;
        r.hr = E_UNEXPECTED;
        r.description = L"catastrophic failure";
        return PostError(r);
    }
    HRESULT DestroyDataSource() override { return E_NOTIMPL; }

  private:
    bool writeFile_;
};

class UnexpectedService : public ComObject<IDataInitialize> {
  public:
    explicit UnexpectedService(bool writeFile) : writeFile_(writeFile) {}
    HRESULT GetDataSource(IUnknown*, DWORD, LPCOLESTR, REFIID riid, IUnknown** out) override {
        auto ds = MakeCom<UnexpectedDataSource>(writeFile_);
        return ds->QueryInterface(riid, reinterpret_cast<void**>(out));
    }
    HRESULT GetInitializationString(IUnknown*, bool, LPOLESTR*) override { return E_NOTIMPL; }

  private:
    bool writeFile_;
};

ClassFactoryFunction ServiceFactory(bool writeFile) {
    return [writeFile](IUnknown*, REFIID riid, void** ppv) {
        return MakeCom<UnexpectedService>(writeFile)->QueryInterface(riid, ppv);
    };
}

}  // namespace

TEST(Connection, OpenCloseReopenAndProperties) {
    TempFolder dir;
    std::string file = dir.File("plant.db");
    RunSql(file, "CREATE TABLE t(a INTEGER)");
    VornOleDbConnection c;
    EXPECT_FALSE(c.IsConnected());
    EXPECT_TRUE(c.IsReadOnly());
    EXPECT_FALSE(c.SameInit(L""));

    const std::wstring init = ConnectionString(file);
    ASSERT_EQ(S_OK, c.OpenFromInitializationString(init, false)) << WideToUtf8(c.GetErrorText());
    EXPECT_TRUE(c.IsConnected());
    EXPECT_FALSE(c.IsReadOnly());
    std::wstring name;
    EXPECT_TRUE(c.GetDatasource(name));
    EXPECT_EQ(Utf8ToWide(file), name);
    EXPECT_TRUE(c.GetCurrentCatalog(name));
    EXPECT_TRUE(Contains(name, L"plant.db"));

    EXPECT_TRUE(c.SameInit(ToUpperForTest(init)));
    EXPECT_FALSE(c.SameInit(init + L";"));

    IDataConvert* convert = c.GetIDataConvert();
    c.Close();
    c.Close();
    EXPECT_FALSE(c.IsConnected());
    EXPECT_EQ(init, c.GetInit());
    EXPECT_EQ(convert, c.GetIDataConvert());
    EXPECT_FALSE(c.GetDatasource(name));
    EXPECT_TRUE(name.empty());

    ASSERT_EQ(S_OK, c.OpenFromInitializationString(c.GetInit(), false));
    EXPECT_TRUE(c.IsConnected());
}

TEST(Connection, ReadOnlyModeAndPromptWithEverythingPresent) {
    TempFolder dir;
    std::string file = dir.File("ro.db");
    RunSql(file, "CREATE TABLE t(a)");
    VornOleDbConnection c;
    ASSERT_EQ(S_OK, c.OpenFromInitializationString(ConnectionString(file) + L"Mode=Read;", true))
        << WideToUtf8(c.GetErrorText());
    EXPECT_TRUE(c.IsReadOnly());
}

TEST(Connection, FailedOpensNameTheirCauseAndKeepTheOldString) {
    TempFolder dir;
    std::string good = dir.File("good.db");
    RunSql(good, "CREATE TABLE t(a)");
    std::string text = dir.File("notes.txt");
    std::ofstream(text) << "this is not a database\n";

    VornOleDbConnection c;
    ASSERT_EQ(S_OK, c.OpenFromInitializationString(ConnectionString(good), false));

    EXPECT_EQ(E_FAIL,
              c.OpenFromInitializationString(
                  L"Provider=Acme.Nothing.1;Data Source=" + Utf8ToWide(good) + L";", false));
    EXPECT_TRUE(Contains(c.GetErrorText(), L"Acme.Nothing.1")) << WideToUtf8(c.GetErrorText());
    EXPECT_FALSE(c.IsConnected());
    EXPECT_EQ(ConnectionString(good), c.GetInit());

    std::string missing = dir.File("missing.db");
    EXPECT_EQ(E_FAIL, c.OpenFromInitializationString(ConnectionString(missing), false));
    EXPECT_TRUE(Contains(c.GetErrorText(), Utf8ToWide(missing))) << WideToUtf8(c.GetErrorText());

    EXPECT_EQ(E_FAIL, c.OpenFromInitializationString(ConnectionString(text), false));
    EXPECT_TRUE(Contains(c.GetErrorText(), L"notes.txt")) << WideToUtf8(c.GetErrorText());
    EXPECT_FALSE(c.IsConnected());
}

TEST(Connection, TransactionCallsInTheWrongStateAreRefusedWithText) {
    TempFolder dir;
    std::string file = dir.File("tx.db");
    RunSql(file, "CREATE TABLE t(a)");
    VornOleDbConnection never;
    EXPECT_FALSE(never.StartTransaction());
    EXPECT_TRUE(never.HasErrorInfo());

    VornOleDbConnection c;
    ASSERT_EQ(S_OK, c.OpenFromInitializationString(ConnectionString(file), false));
    EXPECT_FALSE(c.Commit());
    EXPECT_TRUE(c.HasErrorInfo());
    EXPECT_FALSE(c.Rollback());
    EXPECT_TRUE(c.StartTransaction()) << WideToUtf8(c.GetErrorText());
    EXPECT_FALSE(c.StartTransaction());
    EXPECT_TRUE(c.HasErrorInfo());
    EXPECT_TRUE(c.Rollback());
    EXPECT_TRUE(c.StartTransaction());
    EXPECT_TRUE(c.Commit());
}

TEST(DatabaseFiles, CreateMakesAnEmptyDatabaseAndNeverTouchesAnExistingFile) {
    TempFolder dir;
    std::string file = dir.File("new.accdb");
    const std::wstring provider = L"Provider=Microsoft.ACE.OLEDB.12.0;";
    VornOleDbErrorInfo errors;
    ASSERT_EQ(S_OK, VornOleDbConnection::CreateMdbFile(provider, Utf8ToWide(file), errors))
        << WideToUtf8(errors.GetErrorText());
    EXPECT_EQ(0u, ReadAll(file).rfind("SQLite format 3", 0));
    VornOleDbConnection c;
    EXPECT_EQ(S_OK, c.OpenFromInitializationString(ConnectionString(file), false));
    c.Close();

    std::string other = dir.File("keep.db");
    std::ofstream(other) << "precious";
    HRESULT three = VornOleDbConnection::CreateMdbFile(provider, Utf8ToWide(other), errors);
    EXPECT_NE(S_OK, three);
    EXPECT_TRUE(Contains(errors.GetErrorText(), L"keep.db")) << WideToUtf8(errors.GetErrorText());
    EXPECT_EQ(three, VornOleDbConnection::CreateMdbFile(provider, Utf8ToWide(other)));
    EXPECT_EQ("precious", ReadAll(other));
}

TEST(DatabaseFiles, CompactionShrinksTheFileAndKeepsTheRows) {
    TempFolder dir;
    std::string file = dir.File("big.db");
    RunSql(file,
           "CREATE TABLE t(id INTEGER PRIMARY KEY, pad TEXT);"
           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i < 20000)"
           " INSERT INTO t SELECT i, printf('%0500d', i) FROM n;"
           "DELETE FROM t WHERE id > 100;");
    auto before = std::filesystem::file_size(file);
    std::ofstream(dir.File("big_TMP_.mdb")) << "stale";

    VornOleDbConnection c;
    ASSERT_EQ(S_OK, c.OpenFromInitializationString(ConnectionString(file), false));
    ASSERT_EQ(S_OK, c.CompactMdb()) << WideToUtf8(c.GetErrorText());
    EXPECT_FALSE(c.IsConnected());
    EXPECT_LT(std::filesystem::file_size(file), before / 10);
    // A file of that name is somebody's, whatever its name suggests: it is left alone.
    EXPECT_EQ("stale", ReadAll(dir.File("big_TMP_.mdb")));
    EXPECT_FALSE(std::filesystem::exists(file + "-wal"));
    EXPECT_FALSE(std::filesystem::exists(file + "-shm"));
    EXPECT_EQ("100", QueryText(file, "SELECT COUNT(*) FROM t"));

    ASSERT_EQ(S_OK, c.OpenFromInitializationString(c.GetInit(), false));
    c.Close();
    // A connection closed before compacts through a read-only open of its stored string.
    EXPECT_EQ(S_OK, c.CompactMdb()) << WideToUtf8(c.GetErrorText());
    EXPECT_EQ("100", QueryText(file, "SELECT COUNT(*) FROM t"));
}

TEST(DatabaseFiles, CompactionIsRefusedWhileAnotherConnectionHasTheFile) {
    TempFolder dir;
    std::string file = dir.File("busy.db");
    RunSql(file, "CREATE TABLE t(a); INSERT INTO t VALUES (1), (2);");
    VornOleDbConnection holder, c;
    ASSERT_EQ(S_OK, holder.OpenFromInitializationString(ConnectionString(file), false));
    ASSERT_EQ(S_OK, c.OpenFromInitializationString(ConnectionString(file), false));
    HRESULT hr = c.CompactMdb();
    EXPECT_NE(S_OK, hr);
    EXPECT_TRUE(Contains(c.GetErrorText(), L"in use")) << WideToUtf8(c.GetErrorText());
    EXPECT_TRUE(holder.IsConnected());
    EXPECT_EQ("2", QueryText(file, "SELECT COUNT(*) FROM t"));
}

TEST(DatabaseFiles, NameWithoutExtensionInADottedFolderIsNeverLost) {
    TempFolder dir;
    std::filesystem::create_directory(dir.File("v1.2"));
    std::string file = dir.File("v1.2/plant");
    RunSql(file, "CREATE TABLE t(a); INSERT INTO t VALUES (42);");
    VornOleDbConnection c;
    ASSERT_EQ(S_OK, c.OpenFromInitializationString(ConnectionString(file), false));
    ASSERT_EQ(S_OK, c.CompactMdb()) << WideToUtf8(c.GetErrorText());
    EXPECT_EQ("42", QueryText(file, "SELECT a FROM t"));
    EXPECT_FALSE(PathFileExistsW(Utf8ToWide(dir.File("v1_TMP_.mdb")).c_str()));
}

TEST(DatabaseFiles, CompactingAConnectionNeverOpenedRaisesInvalidArgument) {
    VornOleDbConnection c;
    try {
        c.CompactMdb();
        FAIL() << "no exception";
    } catch (const VornOleDbException& e) {
        EXPECT_EQ(E_INVALIDARG, e.Error());
    }
}

TEST(DatabaseFiles, UnexpectedFailureWithTheFileWrittenCountsAsSuccess) {
    TempFolder dir;
    std::string file = dir.File("made.db");
    VornOleDbErrorInfo errors;
    {
        ScopedClassFactory fake(CLSID_MSDAINITIALIZE, ServiceFactory(true));
        EXPECT_EQ(S_OK,
                  VornOleDbConnection::CreateMdbFile(L"Provider=Fake;", Utf8ToWide(file), errors));
        EXPECT_TRUE(Contains(errors.GetErrorText(), L"catastrophic failure"));
    }
    {
        ScopedClassFactory fake(CLSID_MSDAINITIALIZE, ServiceFactory(false));
        EXPECT_EQ(E_UNEXPECTED, VornOleDbConnection::CreateMdbFile(
                                    L"Provider=Fake;", Utf8ToWide(dir.File("none.db"))));
    }
}

// A database in a folder its reader may not write (no room for SQLite's shared-memory file)
// still opens for reading. Needs a second user: run as root, the child takes "nobody".
TEST(Connection, ReadOnlyOpenInAFolderTheReaderCannotWrite) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    TempFolder dir;
    std::string file = dir.File("shared.db");
    RunSql(file, "PRAGMA journal_mode=WAL; CREATE TABLE t(a); INSERT INTO t VALUES (7);");
    chmod(dir.Path().c_str(), 0755);
    chmod(file.c_str(), 0644);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        VornOleDbConnection c;
        _exit(c.OpenFromInitializationString(ConnectionString(file) + L"Mode=Read;", false) == S_OK
                  ? 0
                  : 1);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << "the read-only open failed";
}
