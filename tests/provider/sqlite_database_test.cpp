// Journal rules of SQLite databases: write-ahead log from the first write on, one file after
// the last close, read-only opens of files in WAL mode; one descriptor per file in the process.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include "open_file_registry.h"
#include "sqlite_database.h"
#include "provider_test_util.h"
#include "support/temp_database.h"

namespace vorn::provider {
namespace {

using namespace vorn::provider::testing;
using vorn::test::QueryText;
using vorn::test::RunSql;
using vorn::test::TempFolder;

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// Byte 18 of the header: 1 for a rollback journal, 2 for write-ahead logging.
int JournalVersion(const std::string& path) {
    const std::vector<unsigned char> bytes = ReadBytes(path);
    return bytes.size() > 18 ? bytes[18] : -1;
}

TEST(SqliteDatabaseTest, LogFilesGoAwayAfterTheLastClose) {
    TempFolder folder;
    const std::string path = folder.File("wal.db");
    RunSql(path, "CREATE TABLE t(x)");
    ComPtr<IDBInitialize> first;
    ComPtr<IDBInitialize> second;
    ASSERT_EQ(OpenDataSource(ConnectionTo(path), &first), S_OK);
    ASSERT_EQ(OpenDataSource(ConnectionTo(path), &second), S_OK);
    EXPECT_EQ(HeldFileCount(), 1u);  // one descriptor for both
    ASSERT_EQ(Exec(first.Get(), "INSERT INTO t VALUES(1)"), SQLITE_OK);
    EXPECT_TRUE(Exists(path + "-wal"));
    EXPECT_EQ(JournalVersion(path), 2);
    EXPECT_EQ(Query(second.Get(), "SELECT count(*) FROM t"), "1");  // reads through the log

    first.Reset();
    EXPECT_TRUE(Exists(path + "-wal"));  // the second connection still uses the log
    ASSERT_EQ(Exec(second.Get(), "INSERT INTO t VALUES(2)"), SQLITE_OK);
    second.Reset();
    EXPECT_FALSE(Exists(path + "-wal"));
    EXPECT_FALSE(Exists(path + "-shm"));
    // The file stays in write-ahead mode, so the next open needs no journal switch.
    EXPECT_EQ(JournalVersion(path), 2);
    EXPECT_EQ(QueryText(path, "SELECT sum(x) FROM t"), "3");
    EXPECT_EQ(HeldFileCount(), 0u);
}

TEST(SqliteDatabaseTest, ReadOnlyOpensWorkOnFilesInWalMode) {
    TempFolder folder;
    const std::string path = folder.File("ro.db");
    // A writer outside the provider keeps the file in WAL mode with rows only in the log.
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer,
                           "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
                           "CREATE TABLE t(x); INSERT INTO t VALUES('in the log');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    {
        ComPtr<IDBInitialize> reader;
        ASSERT_EQ(OpenDataSource(ConnectionTo(path, L"Mode=Read;"), &reader), S_OK)
            << TakeError().description;
        EXPECT_EQ(Query(reader.Get(), "SELECT x FROM t"), "in the log");
    }
    sqlite3_close(writer);

    // Left in WAL mode by its last writer: still readable, and tidied to one file.
    RunSql(path, "PRAGMA journal_mode=WAL; INSERT INTO t VALUES('more')");
    ASSERT_EQ(JournalVersion(path), 2);
    {
        ComPtr<IDBInitialize> reader;
        ASSERT_EQ(OpenDataSource(ConnectionTo(path, L"Mode=Read;"), &reader), S_OK)
            << TakeError().description;
        EXPECT_EQ(Query(reader.Get(), "SELECT count(*) FROM t"), "2");
    }
    EXPECT_FALSE(Exists(path + "-wal"));
    EXPECT_FALSE(Exists(path + "-shm"));
    {
        // A read-only open of a WAL-mode file with no log beside it.
        ComPtr<IDBInitialize> reader;
        ASSERT_EQ(OpenDataSource(ConnectionTo(path, L"Mode=Read;"), &reader), S_OK)
            << TakeError().description;
        EXPECT_EQ(Query(reader.Get(), "SELECT count(*) FROM t"), "2");
    }
    EXPECT_FALSE(Exists(path + "-wal"));
}

TEST(SqliteDatabaseTest, DatabaseReportsItsPaths) {
    TempFolder folder;
    const std::string path = folder.File("p.db");
    RunSql(path, "CREATE TABLE t(x)");
    ComPtr<IDBInitialize> ds;
    ASSERT_EQ(OpenDataSource(ConnectionTo(path), &ds), S_OK);
    std::shared_ptr<Database> db = DatabaseOf(ds.Get());
    ASSERT_TRUE(db);
    EXPECT_EQ(db->Path(), Utf8ToWide(path));
    char real[4096];
    ASSERT_TRUE(::realpath(path.c_str(), real));
    EXPECT_EQ(db->AbsolutePathUtf8(), real);
    EXPECT_FALSE(db->ReadOnly());
    EXPECT_EQ(sqlite3_db_readonly(db->Handle(), "main"), 0);

    // The database outlives the data source while someone holds it.
    ds.Reset();
    EXPECT_EQ(sqlite3_exec(db->Handle(), "INSERT INTO t VALUES(1)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    EXPECT_EQ(HeldFileCount(), 1u);
    db.reset();
    EXPECT_EQ(HeldFileCount(), 0u);
    EXPECT_FALSE(Exists(path + "-wal"));
}

}  // namespace
}  // namespace vorn::provider
