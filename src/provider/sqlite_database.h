// A SQLite database opened for a data source: the connection handle, the shared advisory
// lock on its file, the journal rules (write-ahead log from the first write on, one file
// when closed).
#pragma once

#include <memory>
#include <string>

#include "database.h"
#include "open_file_registry.h"
#include "sql/jet_statement_cache.h"
#include "vornoledb/platform/types.h"

namespace vorn::provider {

// How long a statement waits for another connection's lock before it fails (and how long
// an open waits for a file held exclusively by another process). 5 s unless changed.
int BusyTimeoutMilliseconds();
// Changes the wait for connections opened afterwards; returns the previous value. An
// internal hook for tests, which cannot wait seconds for a lock to fail.
int SetBusyTimeoutMilliseconds(int milliseconds);

// How many translated statements each new connection keeps prepared (64 unless changed);
// returns the previous value. 0 turns the statement cache off (benchmarks compare both).
size_t SetStatementCacheCapacity(size_t statements);

// The name of the private in-memory database.
inline constexpr wchar_t kMemoryDatabaseName[] = L":memory:";

class SqliteDatabase final : public Database {
  public:
    // Opens the SQLite file that hold has open (its kind already checked), read-only or for
    // writing. pathAsGiven is the data source as the caller wrote it. On failure posts a
    // record whose guid is iid and returns its HRESULT.
    static HRESULT OpenHeld(const std::wstring& pathAsGiven, std::unique_ptr<FileHold> hold,
                            bool readOnly, REFIID iid, std::shared_ptr<SqliteDatabase>* out);
    // A private in-memory database (":memory:").
    static HRESULT OpenMemory(REFIID iid, std::shared_ptr<SqliteDatabase>* out);

    // Closes the connection. When it is the last connection to the file in this process and
    // no other process has the file open, the write-ahead log is checkpointed, so that the
    // closed database is a single file.
    ~SqliteDatabase() override;

    sqlite3* Handle() const override { return db_; }
    const std::wstring& Path() const override { return path_; }
    const std::string& AbsolutePathUtf8() const override { return absolutePath_; }
    bool ReadOnly() const override { return readOnly_; }
    bool InMemory() const override { return !hold_; }
    // The absolute path as wide text ("" for the in-memory database).
    std::wstring AbsolutePath() const;
    sql::JetStatementCache* Statements() override { return statements_.get(); }

    // The first write switches a file in rollback-journal mode to write-ahead logging, so
    // that readers never block a writer from then on; opening and reading never change it.
    void BeforeWrite() override;
    // After a transaction that wrote: the same switch, for hosts that write only inside
    // transactions (a transaction cannot change the journal mode while it runs).
    void AfterCommit() override;

  private:
    SqliteDatabase(sqlite3* db, std::wstring path, std::string absolutePath,
                   std::unique_ptr<FileHold> hold, bool readOnly);
    void CloseAndTidy(bool alone);
    static int NoteCommit(void* self);

    // Registers the Jet functions and makes the statement cache of a new handle.
    HRESULT PrepareDialect(REFIID iid, const std::wstring& context);

    sqlite3* db_;
    std::unique_ptr<sql::JetStatementCache> statements_;
    std::wstring path_;
    std::string absolutePath_;
    std::unique_ptr<FileHold> hold_;
    bool readOnly_;
    // Whether the journal mode is settled (write-ahead logging, or the rollback journal of a
    // file system without shared memory), and whether a transaction wrote since the last
    // attempt. Both are read and written under the handle's mutex.
    bool journalSettled_ = false;
    int busyTimeoutMs_ = 0;
    bool committedWrite_ = false;
};

}  // namespace vorn::provider
