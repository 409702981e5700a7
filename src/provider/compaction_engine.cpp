// The compaction component.
#include "compaction_engine.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "data_source_file.h"
#include "open_file_registry.h"
#include "provider_errors.h"
#include "sqlite_database.h"
#include "sqlite_errors.h"
#include "store_kind.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider {
namespace {

std::wstring TextOf(BSTR s) {
    return s ? std::wstring(s, SysStringLen(s)) : std::wstring();
}

// Whether path leads to the file open as fd (the same file under another name included).
bool NamesSameFile(const std::string& path, int fd) {
    struct stat byName;
    struct stat byFd;
    return ::stat(path.c_str(), &byName) == 0 && ::fstat(fd, &byFd) == 0 &&
           byName.st_dev == byFd.st_dev && byName.st_ino == byFd.st_ino;
}

// The destination file made by this compaction (so that a failure removes it and only it).
class NewFile {
  public:
    NewFile(std::string path, dev_t dev, ino_t ino)
        : path_(std::move(path)), dev_(dev), ino_(ino) {}
    void Keep() { keep_ = true; }
    ~NewFile() {
        if (keep_)
            return;
        struct stat st;
        if (::stat(path_.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_)
            ::unlink(path_.c_str());
    }

  private:
    std::string path_;
    dev_t dev_;
    ino_t ino_;
    bool keep_ = false;
};

// The compacted copy keeps a rollback journal and reaches the disk before it is reported.
int FinishCopy(const std::string& path) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        return rc;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0)
        rc = SQLITE_IOERR;
    if (fd >= 0)
        ::close(fd);
    return rc;
}

}  // namespace

HRESULT CompactionEngine::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    ComPtr<CompactionEngine> object(new CompactionEngine);
    return object->QueryInterface(riid, ppv);
}

HRESULT CompactionEngine::CompactDatabase(BSTR SrcName, BSTR DstName, VARIANT, VARIANT, VARIANT) {
    REFIID iid = IID__DBEngine;
    const std::wstring source = TextOf(SrcName);
    const std::wstring destination = TextOf(DstName);
    if (source.empty())
        return PostProviderError(E_INVALIDARG, iid, L"no database to compact was given");
    if (destination.empty())
        return PostProviderError(
            E_INVALIDARG, iid,
            L"no destination was given for the compacted copy of " + Quoted(source));
    // A data source named by address (scheme://host/database) is a database on a server,
    // which compacts itself: only database files are compacted here.
    if (source.find(L"://") != std::wstring::npos)
        return PostProviderError(DB_E_NOTSUPPORTED, iid,
                                 L"the data source " + Quoted(source) +
                                     L" is a database on a server, not a file: only database "
                                     L"files are compacted (a server compacts its databases "
                                     L"itself, with VACUUM on PostgreSQL)");
    HRESULT checked = CheckPathText(source, iid);
    if (SUCCEEDED(checked))
        checked = CheckPathText(destination, iid);
    if (FAILED(checked))
        return checked;

    // The source to ourselves: no other connection of this library, in this or another
    // process, may have it open until the compaction is over (opens wait for the hold, up
    // to the busy timeout, and then fail saying the file is in use).
    HoldResult held = HoldFileExclusive(WideToUtf8(source));
    if (held.status != HoldStatus::Ok)
        return PostHoldError(held.status, held.error, source, iid, L"compact");
    std::unique_ptr<FileHold> hold = std::move(held.hold);
    FileKind kind;
    if (!ProbeFileKind(hold->Fd(), &kind)) {
        const int error = errno;
        return PostProviderError(E_FAIL, iid,
                                 L"could not read " + Quoted(source) + L": " + ErrnoText(error));
    }
    if (kind.kind == StoreKind::Access)
        return PostProviderError(DB_E_NOTSUPPORTED, iid,
                                 L"the file " + Quoted(source) + L" is " + DescribeFileKind(kind) +
                                     L"; Access files are read-only here and cannot be compacted");
    if (kind.kind != StoreKind::SQLite)
        return PostProviderError(STG_E_INVALIDHEADER, iid,
                                 L"the file " + Quoted(source) + L" is " + DescribeFileKind(kind) +
                                     L", not a SQLite database; it cannot be compacted");

    const HRESULT hr = NamesSameFile(WideToUtf8(destination), hold->Fd())
                           ? CompactInPlace(source, hold->AbsolutePath())
                           : CompactIntoCopy(source, destination, hold->Fd(), hold->AbsolutePath());
    // The hold ends only now, after the connection that compacted has closed.
    hold.reset();
    if (SUCCEEDED(hr))
        ClearProviderError();
    return hr;
}

HRESULT CompactionEngine::CompactInPlace(const std::wstring& source, const std::string& absolute) {
    REFIID iid = IID__DBEngine;
    // VACUUM holds SQLite's write lock from its first read to the commit of the rewritten
    // pages, journals what it overwrites and leaves the file's inode as it is: a commit of
    // any other program lands before or after it, never lost in between, and a program
    // that keeps the file open sees an ordinary change. (Its scratch copy is an unnamed
    // file of SQLite's, removed the moment it is opened.)
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(absolute.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    const int waited = BusyTimeoutMilliseconds();
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, waited);
        rc = sqlite3_exec(db, "VACUUM", nullptr, nullptr, nullptr);
    }
    if (rc == SQLITE_OK) {
        // A file in write-ahead mode: the rewritten pages move from the log into the file,
        // which shrinks. A reader of another program may hold some back; they are safe in
        // the log meanwhile, and its last close moves them.
        sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    }
    HRESULT hr = S_OK;
    if (rc != SQLITE_OK) {
        const int primary = rc & 0xff;
        if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
            hr = PostProviderError(STG_E_SHAREVIOLATION, iid,
                                   L"cannot compact the database " + Quoted(source) +
                                       L": it is in use by another program, which held its lock "
                                       L"for more than " +
                                       std::to_wstring(waited) +
                                       L" ms; the file was left as it was");
        else
            hr = PostSqliteError(db, rc, iid, L"could not compact " + Quoted(source));
    }
    sqlite3_close(db);
    return hr;
}

HRESULT CompactionEngine::CompactIntoCopy(const std::wstring& source,
                                          const std::wstring& destination, int sourceFd,
                                          const std::string& absolute) {
    REFIID iid = IID__DBEngine;
    const std::string destinationUtf8 = WideToUtf8(destination);
    // The destination must be new; claiming its name first (under the source's hold) means
    // no file of anybody else is ever written over or removed by this compaction.
    struct stat sourceStat;
    ::fstat(sourceFd, &sourceStat);
    const int out = ::open(destinationUtf8.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                           sourceStat.st_mode & 0666);
    if (out < 0) {
        const int error = errno;
        if (error == EEXIST)
            return PostProviderError(STG_E_FILEALREADYEXISTS, iid,
                                     L"the destination " + Quoted(destination) +
                                         L" exists already; the compacted copy needs a new file");
        return PostProviderError(error == EACCES || error == EPERM ? STG_E_ACCESSDENIED : E_FAIL,
                                 iid,
                                 L"could not create the compacted copy " + Quoted(destination) +
                                     L": " + ErrnoText(error));
    }
    struct stat outStat;
    ::fstat(out, &outStat);
    ::fchmod(out, sourceStat.st_mode & 07777);
    ::close(out);
    NewFile copy(destinationUtf8, outStat.st_dev, outStat.st_ino);

    const std::wstring context =
        L"could not compact " + Quoted(source) + L" into " + Quoted(destination);
    // The exclusive claim keeps every other open of the file in this process away (they are
    // refused without touching the file), so the copy runs outside the registry's lock.
    // Opened for writing where the file allows it: only a writing connection removes the
    // write-ahead log and shared-memory files when it closes, so the source is left as the
    // single file it was.
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(absolute.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db);
        db = nullptr;
        rc = sqlite3_open_v2(absolute.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    }
    sqlite3_stmt* stmt = nullptr;
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, BusyTimeoutMilliseconds());
        rc = sqlite3_prepare_v2(db, "VACUUM INTO ?1", -1, &stmt, nullptr);
    }
    if (rc == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, destinationUtf8.c_str(), -1, SQLITE_TRANSIENT);
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    const HRESULT hr = rc == SQLITE_OK ? S_OK : PostSqliteError(db, rc, iid, context);
    sqlite3_finalize(stmt);
    // The connection closes before the claim's descriptor does.
    sqlite3_close(db);
    if (FAILED(hr))
        return hr;
    rc = FinishCopy(destinationUtf8);
    if (rc != SQLITE_OK)
        return PostProviderError(E_FAIL, iid,
                                 context + L": the copy could not be finished (" +
                                     Utf8ToWide(sqlite3_errstr(rc)) + L")");
    copy.Keep();
    return S_OK;
}

}  // namespace vorn::provider
