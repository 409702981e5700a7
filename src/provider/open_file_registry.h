// The process's open database files and their advisory locks.
//
// While a data source is open the provider holds a shared flock(2) lock on its file;
// replacing a file (compaction, MoveFileExW) takes the lock exclusively first, so it never
// happens under an open connection of this or another process.
//
// Within the process there is one descriptor per file (device and inode), shared by every
// holder of that file and closed only when the last holder lets go. This matters beyond
// flock: SQLite's own locks are POSIX record locks, which the kernel drops for the whole
// process when *any* descriptor of the file is closed. A second descriptor opened and
// closed beside a live SQLite connection would silently cancel that connection's locks, so
// this registry never closes a descriptor of a file that a holder still has open.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace vorn::provider {

enum class HoldStatus {
    Ok,
    NotFound,        // no such file
    IsDirectory,     // the path names a folder
    NotRegularFile,  // a device, pipe or socket
    Exists,          // creation: a file of that name is there already
    InUseHere,       // another holder in this process prevents it
    InUseElsewhere,  // another process holds the lock that prevents it
    SystemError,     // open/stat failed otherwise (errno in the result)
    Replaced,        // internal: the name came to lead to another file meanwhile
};

class FileHold;
struct OpenFileEntry;

struct HoldResult {
    HoldStatus status = HoldStatus::SystemError;
    int error = 0;  // errno for SystemError (and NotFound, IsDirectory, Exists)
    std::unique_ptr<FileHold> hold;
};

// One holder's claim on an open file. Destroying it lets go of the claim; the last claim
// closes the descriptor and so ends the lock.
class FileHold {
  public:
    ~FileHold();
    FileHold(const FileHold&) = delete;
    FileHold& operator=(const FileHold&) = delete;

    // The shared descriptor (read-only, except for a file made by CreateAndHoldFile).
    int Fd() const;
    // The canonical absolute path (symbolic links resolved) when the file was opened.
    const std::string& AbsolutePath() const { return absolutePath_; }
    bool Exclusive() const;

    // Lets go of the claim. Under the registry's lock, before that, calls
    // finish(alone): alone is true when this is the only claim in the process and no other
    // process holds the file (the lock is then exclusive). Opens of the same file in this
    // process wait until finish returns, so finish can close a connection and tidy up the
    // file (checkpoint) knowing nobody else is using it.
    void Release(const std::function<void(bool alone)>& finish);

  private:
    friend struct OpenFileRegistryAccess;
    explicit FileHold(OpenFileEntry* entry, std::string absolutePath)
        : entry_(entry), absolutePath_(std::move(absolutePath)) {}
    OpenFileEntry* entry_;
    std::string absolutePath_;
};

// Joins (or opens) the process's descriptor of path with a shared lock. A lock held
// exclusively by another process is waited for up to waitMilliseconds. The file held is
// the one the name leads to once the lock is taken (a file renamed over while the lock was
// waited for is let go, and the new one held).
HoldResult HoldFileShared(const std::string& path, int waitMilliseconds);

// Opens path with an exclusive lock; refuses at once (InUseHere / InUseElsewhere) when any
// other holder of this process or any other process has the file open.
HoldResult HoldFileExclusive(const std::string& path);

// Creates a new empty file (O_EXCL: an existing file is never touched), read-write, held
// exclusively. Exists when the name is taken.
HoldResult CreateAndHoldFile(const std::string& path);

// True when a holder in this process has the file open or another process holds a lock on
// it. False for a missing file.
bool IsFileInUse(const std::string& path);

// Makes MoveFileExW refuse to replace a file that IsFileInUse. Called on first use of the
// registry and by the class registration; safe to call again.
void InstallFileReplaceGuard();

// Number of files held open in this process (tests).
size_t HeldFileCount();

}  // namespace vorn::provider
