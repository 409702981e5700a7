// A SQLite database opened for a data source.
#include "sqlite_database.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

#include "provider_errors.h"
#include "sqlite_errors.h"
#include "sql/jet_sql.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider {
namespace {

std::atomic<int> g_busyTimeoutMs{5000};
std::atomic<size_t> g_statementCacheCapacity{64};

int Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// Runs a PRAGMA that answers one text value (journal_mode); "" when it failed.
std::string PragmaText(sqlite3* db, const char* sql, int* rc) {
    sqlite3_stmt* stmt = nullptr;
    std::string value;
    *rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (*rc == SQLITE_OK) {
        *rc = sqlite3_step(stmt);
        if (*rc == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(stmt, 0);
            if (text)
                value = reinterpret_cast<const char*>(text);
            *rc = SQLITE_OK;
        } else if (*rc == SQLITE_DONE) {
            *rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(stmt);
    return value;
}

// Reads the schema once, so that a damaged file, a file that is no database and a lock that
// does not clear are reported by the open rather than by the first statement.
int Validate(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_schema", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW || rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    sqlite3_finalize(stmt);
    return rc;
}

// "file:" URI of an absolute path opened as an unchanging file; '%', '?' and '#' escaped.
std::string ImmutableUri(const std::string& path) {
    std::string uri = "file:";
    for (char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            static const char kHex[] = "0123456789ABCDEF";
            uri += '%';
            uri += kHex[(static_cast<unsigned char>(c) >> 4) & 0xF];
            uri += kHex[static_cast<unsigned char>(c) & 0xF];
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// Moves the log into the database. The file stays in write-ahead mode (switching the
// journal mode at every close and open would cost several synchronous writes each time);
// when this last connection closes, SQLite removes the emptied -wal and -shm files, so a
// closed database is one file. Failures leave the file as it is (still consistent):
// another connection that does not take our advisory lock may be reading it.
void CheckpointToSingleFile(sqlite3* db) {
    sqlite3_busy_timeout(db, 0);
    if (!sqlite3_get_autocommit(db))
        Exec(db, "ROLLBACK");
    Exec(db, "PRAGMA wal_checkpoint(TRUNCATE)");
}

}  // namespace

int BusyTimeoutMilliseconds() {
    return g_busyTimeoutMs.load();
}

size_t SetStatementCacheCapacity(size_t statements) {
    return g_statementCacheCapacity.exchange(statements);
}

int SetBusyTimeoutMilliseconds(int milliseconds) {
    return g_busyTimeoutMs.exchange(milliseconds < 0 ? 0 : milliseconds);
}

SqliteDatabase::SqliteDatabase(sqlite3* db, std::wstring path, std::string absolutePath,
                               std::unique_ptr<FileHold> hold, bool readOnly)
    : db_(db),
      path_(std::move(path)),
      absolutePath_(std::move(absolutePath)),
      hold_(std::move(hold)),
      readOnly_(readOnly) {}

std::wstring SqliteDatabase::AbsolutePath() const {
    return Utf8ToWide(absolutePath_);
}

HRESULT SqliteDatabase::OpenHeld(const std::wstring& pathAsGiven, std::unique_ptr<FileHold> hold,
                                 bool readOnly, REFIID iid, std::shared_ptr<SqliteDatabase>* out) {
    out->reset();
    const std::string absolute = hold->AbsolutePath();
    const int flags =
        (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_FULLMUTEX;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(absolute.c_str(), &db, flags, nullptr);
    const std::wstring context = L"could not open the database " + Quoted(pathAsGiven);
    if (rc != SQLITE_OK) {
        const HRESULT hr = PostSqliteError(db, rc, iid, context);
        // The connection never reached the file's locks; closing it is safe under the hold.
        hold->Release([db](bool) { sqlite3_close(db); });
        return hr;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, BusyTimeoutMilliseconds());
    rc = Validate(db);
    if (readOnly && ((rc & 0xff) == SQLITE_READONLY || (rc & 0xff) == SQLITE_CANTOPEN) &&
        !Exists(absolute + "-wal")) {
        // A write-ahead file read where its shared-memory file cannot be made (a folder the
        // user may not write): with no log beside it nobody is writing it, and it can be
        // read as an unchanging file.
        sqlite3* immutable = nullptr;
        if (sqlite3_open_v2(ImmutableUri(absolute).c_str(), &immutable,
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX,
                            nullptr) == SQLITE_OK) {
            sqlite3_extended_result_codes(immutable, 1);
            if (Validate(immutable) == SQLITE_OK) {
                sqlite3_close(db);
                db = immutable;
                immutable = nullptr;
                rc = SQLITE_OK;
            }
        }
        sqlite3_close(immutable);
    }
    if (rc == SQLITE_OK)
        rc = Exec(db, "PRAGMA foreign_keys=ON");
    if (rc != SQLITE_OK) {
        const HRESULT hr = PostSqliteError(db, rc, iid, context);
        hold->Release([db](bool) { sqlite3_close(db); });
        return hr;
    }
    out->reset(new SqliteDatabase(db, pathAsGiven, absolute, std::move(hold), readOnly));
    (*out)->busyTimeoutMs_ = BusyTimeoutMilliseconds();
    if (!readOnly)
        sqlite3_commit_hook(db, &SqliteDatabase::NoteCommit, out->get());
    const HRESULT hr = (*out)->PrepareDialect(iid, context);
    if (FAILED(hr))
        out->reset();
    return hr;
}

HRESULT SqliteDatabase::PrepareDialect(REFIID iid, const std::wstring& context) {
    const int rc = sql::RegisterJetFunctions(db_);
    if (rc != SQLITE_OK)
        return PostSqliteError(db_, rc, iid, context);
    statements_ = std::make_unique<sql::JetStatementCache>(db_, g_statementCacheCapacity.load());
    return S_OK;
}

HRESULT SqliteDatabase::OpenMemory(REFIID iid, std::shared_ptr<SqliteDatabase>* out) {
    out->reset();
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const HRESULT hr = PostSqliteError(db, rc, iid, L"could not open an in-memory database");
        sqlite3_close(db);
        return hr;
    }
    sqlite3_extended_result_codes(db, 1);
    Exec(db, "PRAGMA foreign_keys=ON");
    out->reset(new SqliteDatabase(db, kMemoryDatabaseName, "", nullptr, false));
    const HRESULT hr = (*out)->PrepareDialect(iid, L"could not open an in-memory database");
    if (FAILED(hr))
        out->reset();
    return hr;
}

int SqliteDatabase::NoteCommit(void* self) {
    static_cast<SqliteDatabase*>(self)->committedWrite_ = true;
    return 0;  // the commit goes ahead
}

void SqliteDatabase::BeforeWrite() {
    if (readOnly_ || !hold_)
        return;
    sqlite3_mutex* mutex = sqlite3_db_mutex(db_);
    sqlite3_mutex_enter(mutex);
    committedWrite_ = false;
    // Inside a transaction, or while another statement of the handle is still running, the
    // journal mode cannot change; the next write tries again.
    bool running = journalSettled_ || !sqlite3_get_autocommit(db_);
    for (sqlite3_stmt* s = sqlite3_next_stmt(db_, nullptr); s && !running;
         s = sqlite3_next_stmt(db_, s))
        running = sqlite3_stmt_busy(s) != 0;
    if (!running) {
        // The switch needs the file to itself for a moment. Another connection reading it
        // now makes it wait for a later write rather than delay this one: the write itself
        // waits for that reader as long as the busy timeout allows.
        sqlite3_busy_timeout(db_, 0);
        int rc = SQLITE_OK;
        const std::string mode = PragmaText(db_, "PRAGMA journal_mode=WAL", &rc);
        sqlite3_busy_timeout(db_, busyTimeoutMs_);
        // A file system without shared memory keeps the rollback journal; that is settled
        // too, and no failure.
        if (rc == SQLITE_OK && !mode.empty())
            journalSettled_ = true;
    }
    sqlite3_mutex_leave(mutex);
}

void SqliteDatabase::AfterCommit() {
    if (readOnly_ || !hold_)
        return;
    sqlite3_mutex* mutex = sqlite3_db_mutex(db_);
    sqlite3_mutex_enter(mutex);
    const bool wrote = committedWrite_;
    sqlite3_mutex_leave(mutex);
    if (wrote)
        BeforeWrite();
}

void SqliteDatabase::CloseAndTidy(bool alone) {
    // The statement cache finalizes its statements first; what is left belongs to nobody.
    statements_.reset();
    // Statements still prepared belong to nobody any more (every user holds the database);
    // finalizing them lets the connection close now rather than linger as a zombie after
    // the file's descriptor is gone.
    while (sqlite3_stmt* stmt = sqlite3_next_stmt(db_, nullptr))
        sqlite3_finalize(stmt);
    if (alone && !readOnly_)
        CheckpointToSingleFile(db_);
    sqlite3_close(db_);
    db_ = nullptr;
    if (alone && readOnly_ && hold_ && Exists(absolutePath_ + "-wal")) {
        // A read-only connection cannot tidy the log; a short-lived writing connection can,
        // when the file may be written at all.
        sqlite3* writer = nullptr;
        if (sqlite3_open_v2(absolutePath_.c_str(), &writer, SQLITE_OPEN_READWRITE, nullptr) ==
            SQLITE_OK)
            CheckpointToSingleFile(writer);
        sqlite3_close(writer);
    }
}

SqliteDatabase::~SqliteDatabase() {
    if (!hold_) {
        CloseAndTidy(false);
        return;
    }
    hold_->Release([this](bool alone) { CloseAndTidy(alone); });
}

}  // namespace vorn::provider
