// The compaction component: a smaller copy with every row, and refusals that leave the
// files as they were (missing source, existing destination, foreign files, files in use by
// this or another process).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "open_file_registry.h"
#include "provider_test_util.h"
#include "support/temp_database.h"
#include "files.h"

namespace vorn::provider {
namespace {

using namespace vorn::provider::testing;
using vorn::test::QueryText;
using vorn::test::RunSql;
using vorn::test::TempFolder;

const std::string kTestData = VORN_TESTDATA_DIR;

HRESULT Compact(const std::string& source, const std::string& destination) {
    ComPtr<_DBEngine> engine;
    HRESULT hr = CoCreateInstance(CLSID_DBEngine, nullptr, 0x17, IID__DBEngine,
                                  engine.ReleaseAndGetVoidAddress());
    if (FAILED(hr))
        return hr;
    VARIANT missing;
    VariantInit(&missing);
    missing.vt = VT_ERROR;
    missing.scode = DISP_E_PARAMNOTFOUND;
    BSTR src = SysAllocString(Utf8ToWide(source).c_str());
    BSTR dst = SysAllocString(Utf8ToWide(destination).c_str());
    hr = engine->CompactDatabase(src, dst, missing, missing, missing);
    SysFreeString(src);
    SysFreeString(dst);
    return hr;
}

off_t SizeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

class CompactionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        source_ = folder_.File("plant.db");
        copy_ = folder_.File("plant_TMP_.mdb");
        RunSql(source_,
               "CREATE TABLE t(id INTEGER PRIMARY KEY, pad TEXT);"
               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i < 20000) "
               "INSERT INTO t SELECT i, printf('%0200d', i) FROM n;"
               "DELETE FROM t WHERE id % 10 != 0;");
        before_ = ReadBytes(source_);
    }

    TempFolder folder_;
    std::string source_;
    std::string copy_;
    std::vector<unsigned char> before_;
};

TEST_F(CompactionTest, CopyIsSmallerKeepsEveryRowAndLeavesTheSourceAlone) {
    ASSERT_EQ(Compact(source_, copy_), S_OK) << TakeError().description;
    EXPECT_LT(SizeOf(copy_) * 4, SizeOf(source_));
    EXPECT_EQ(QueryText(copy_, "SELECT count(*) || ',' || sum(id) FROM t"), "2000,20010000");
    EXPECT_EQ(QueryText(copy_, "PRAGMA journal_mode"), "delete");
    EXPECT_EQ(ReadBytes(source_), before_);
    EXPECT_EQ(SizeOf(copy_ + "-wal"), -1);

    // The copy replaces the source once nobody has it open.
    ASSERT_TRUE(MoveFileExW(Utf8ToWide(copy_).c_str(), Utf8ToWide(source_).c_str(),
                            MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(QueryText(source_, "SELECT count(*) FROM t"), "2000");
}

TEST_F(CompactionTest, RefusedWhileAnotherConnectionOfThisProcessHasTheFile) {
    ComPtr<IDBInitialize> idle;
    ASSERT_EQ(OpenDataSource(ConnectionTo(source_, L"Mode=Read;"), &idle), S_OK);
    EXPECT_EQ(Compact(source_, copy_), STG_E_SHAREVIOLATION);
    const PostedError e = TakeError();
    EXPECT_TRUE(Contains(e.description, L"cannot compact the database '" + Utf8ToWide(source_) +
                                            L"': it is in use by another connection of this "
                                            L"process"))
        << e.description;
    EXPECT_EQ(e.guid, IID__DBEngine);
    EXPECT_EQ(SizeOf(copy_), -1);

    // Nor can a file replace it while it is open.
    WriteBytes(copy_, "replacement");
    errno = 0;
    EXPECT_FALSE(MoveFileExW(Utf8ToWide(copy_).c_str(), Utf8ToWide(source_).c_str(),
                             MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(Query(idle.Get(), "SELECT count(*) FROM t"), "2000");
    idle.Reset();
    EXPECT_EQ(ReadBytes(source_), before_);
    ::unlink(copy_.c_str());
    EXPECT_EQ(Compact(source_, copy_), S_OK);
}

TEST_F(CompactionTest, RefusedWhileAnotherProcessHasTheFileOpen) {
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        int code = 0;
        {
            ComPtr<IDBInitialize> ds;
            code = OpenDataSource(ConnectionTo(source_), &ds) == S_OK ? 0 : 2;
            const char byte = code == 0 ? 'r' : 'x';
            if (::write(ready[1], &byte, 1) != 1)
                code = 3;
            char wait;
            while (::read(release[0], &wait, 1) < 0 && errno == EINTR) {
            }
        }
        ::_exit(code);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'r');

    EXPECT_EQ(Compact(source_, copy_), STG_E_SHAREVIOLATION);
    const PostedError e = TakeError();
    EXPECT_TRUE(Contains(e.description, L"in use by another process")) << e.description;
    EXPECT_EQ(SizeOf(copy_), -1);
    WriteBytes(copy_, "replacement");
    EXPECT_FALSE(MoveFileExW(Utf8ToWide(copy_).c_str(), Utf8ToWide(source_).c_str(),
                             MOVEFILE_REPLACE_EXISTING));
    ::unlink(copy_.c_str());

    ::close(release[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ::close(ready[0]);
    EXPECT_EQ(QueryText(source_, "SELECT count(*) FROM t"), "2000");
    EXPECT_EQ(Compact(source_, copy_), S_OK) << TakeError().description;
}

TEST_F(CompactionTest, MissingSourceExistingDestinationAndForeignFilesAreRefused) {
    const std::string missing = folder_.File("missing.db");
    EXPECT_EQ(Compact(missing, copy_), STG_E_FILENOTFOUND);
    EXPECT_EQ(TakeError().description, L"could not find file '" + Utf8ToWide(missing) + L"'");
    EXPECT_EQ(SizeOf(copy_), -1);

    WriteBytes(copy_, "someone else's file");
    EXPECT_EQ(Compact(source_, copy_), STG_E_FILEALREADYEXISTS);
    EXPECT_TRUE(Contains(TakeError().description, L"exists already"));
    EXPECT_EQ(ReadBytes(copy_),
              std::vector<unsigned char>({'s', 'o', 'm', 'e', 'o', 'n', 'e', ' ', 'e', 'l', 's',
                                          'e', '\'', 's', ' ', 'f', 'i', 'l', 'e'}));
    ::unlink(copy_.c_str());

    // The source as its own destination is compacted where it lies.
    ASSERT_EQ(Compact(source_, source_), S_OK) << TakeError().description;
    EXPECT_LT(SizeOf(source_) * 4, static_cast<off_t>(before_.size()));
    EXPECT_EQ(QueryText(source_, "SELECT count(*) || ',' || sum(id) FROM t"), "2000,20010000");
    EXPECT_EQ(SizeOf(copy_), -1);

    const std::string access = kTestData + "/access/jackcess/delTestV2003.mdb";
    EXPECT_EQ(Compact(access, copy_), DB_E_NOTSUPPORTED);
    const PostedError e = TakeError();
    EXPECT_TRUE(Contains(e.description, L"an Access database (Jet 4)")) << e.description;
    EXPECT_TRUE(Contains(e.description, L"read-only")) << e.description;

    const std::string text = folder_.File("list.csv");
    WriteBytes(text, "a,b\n1,2\n");
    EXPECT_EQ(Compact(text, copy_), STG_E_INVALIDHEADER);
    EXPECT_TRUE(Contains(TakeError().description, L"a text file, not a SQLite database"));
    EXPECT_EQ(SizeOf(copy_), -1);
    EXPECT_EQ(HeldFileCount(), 0u);
}

}  // namespace
}  // namespace vorn::provider
