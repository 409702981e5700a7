// Wide-string file operations over POSIX. Paths are converted to UTF-8; failures return
// FALSE with errno set by the failing call (EINVAL for a null path or an unknown flag,
// EEXIST for a destination that must not be replaced, EBUSY when the replace guard
// refuses).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

#include "files.h"
#include "posix_files.h"
#include "vornoledb/platform/text.h"

namespace vornoledb {

namespace {

std::atomic<FileReplaceGuard> g_replaceGuard{nullptr};

constexpr DWORD kKnownMoveFlags =
    MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH;

bool ToUtf8Path(LPCWSTR path, std::string* out) {
    if (!path) {
        errno = EINVAL;
        return false;
    }
    *out = WideToUtf8(path, std::wcslen(path));
    return true;
}

// Keeps errno across clean-up calls made after a failure.
class ErrnoKeeper {
  public:
    ErrnoKeeper() : saved_(errno) {}
    ~ErrnoKeeper() { errno = saved_; }
    ErrnoKeeper(const ErrnoKeeper&) = delete;
    ErrnoKeeper& operator=(const ErrnoKeeper&) = delete;

  private:
    int saved_;
};

bool MayReplace(const std::string& destination) {
    const FileReplaceGuard guard = g_replaceGuard.load(std::memory_order_acquire);
    if (!guard)
        return true;
    struct stat st;
    if (::lstat(destination.c_str(), &st) != 0)
        return true;  // nothing there to replace
    return guard(destination.c_str());
}

// Renames without ever replacing an existing destination (EEXIST then). RENAME_NOREPLACE is
// atomic; on file systems without it a hard link claims the name atomically, and only
// where neither works (directories on such file systems) the name is checked first.
int RenameNoReplace(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return -1;
    if (::link(from, to) == 0) {
        if (::unlink(from) == 0)
            return 0;
        ErrnoKeeper keep;
        ::unlink(to);
        return -1;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK)
        return -1;
    struct stat st;
    if (::lstat(to, &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from, to);
}

int WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

int CopyContents(int in, int out) {
    constexpr size_t kBufferSize = 128 * 1024;
    const std::unique_ptr<char[]> buffer(new char[kBufferSize]);
    for (;;) {
        const ssize_t n = ::read(in, buffer.get(), kBufferSize);
        if (n == 0)
            return 0;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (WriteAll(out, buffer.get(), static_cast<size_t>(n)) != 0)
            return -1;
    }
}

// A move across file systems: the contents, mode and times go to a temporary file beside
// the destination, which then takes the destination name (so a half-written copy is never
// seen there), and the source is removed last. Only regular files are copied; anything
// else keeps the EXDEV of the failed rename.
int CopyThenDelete(const std::string& from, const std::string& to, bool replace, bool sync) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return -1;
    struct stat st;
    if (::fstat(in, &st) != 0) {
        ErrnoKeeper keep;
        ::close(in);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(in);
        errno = EXDEV;
        return -1;
    }
    const std::string directory = vorn::FolderOf(to);
    std::string temporary = directory + "/.vornoledb-move-XXXXXX";
    const int out = ::mkostemp(&temporary[0], O_CLOEXEC);
    if (out < 0) {
        ErrnoKeeper keep;
        ::close(in);
        return -1;
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    bool ok = CopyContents(in, out) == 0 && ::fchmod(out, st.st_mode & 07777) == 0 &&
              ::futimens(out, times) == 0 && (!sync || ::fsync(out) == 0);
    {
        ErrnoKeeper keep;
        ::close(in);
    }
    if (::close(out) != 0)
        ok = false;
    if (ok) {
        ok = (replace ? ::rename(temporary.c_str(), to.c_str())
                      : RenameNoReplace(temporary.c_str(), to.c_str())) == 0;
    }
    if (!ok) {
        ErrnoKeeper keep;
        ::unlink(temporary.c_str());
        return -1;
    }
    if (sync && vorn::SyncFolder(directory) != 0)
        return -1;
    if (::unlink(from.c_str()) != 0)
        return -1;
    return sync ? vorn::SyncFolder(vorn::FolderOf(from)) : 0;
}

// After a rename with MOVEFILE_WRITE_THROUGH: both directory entries reach the disk.
int SyncRename(const std::string& from, const std::string& to) {
    const std::string fromDirectory = vorn::FolderOf(from);
    const std::string toDirectory = vorn::FolderOf(to);
    if (vorn::SyncFolder(toDirectory) != 0)
        return -1;
    return fromDirectory == toDirectory ? 0 : vorn::SyncFolder(fromDirectory);
}

}  // namespace

BOOL DeleteFileW(LPCWSTR lpFileName) {
    std::string path;
    if (!ToUtf8Path(lpFileName, &path))
        return FALSE;
    return ::unlink(path.c_str()) == 0 ? TRUE : FALSE;
}

BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags) {
    std::string from;
    std::string to;
    if (!ToUtf8Path(lpExistingFileName, &from) || !ToUtf8Path(lpNewFileName, &to))
        return FALSE;
    if (dwFlags & ~kKnownMoveFlags) {
        errno = EINVAL;
        return FALSE;
    }
    const bool replace = (dwFlags & MOVEFILE_REPLACE_EXISTING) != 0;
    const bool sync = (dwFlags & MOVEFILE_WRITE_THROUGH) != 0;
    if (replace && !MayReplace(to)) {
        errno = EBUSY;
        return FALSE;
    }
    int rc =
        replace ? ::rename(from.c_str(), to.c_str()) : RenameNoReplace(from.c_str(), to.c_str());
    if (rc != 0) {
        if (errno != EXDEV || !(dwFlags & MOVEFILE_COPY_ALLOWED))
            return FALSE;
        rc = CopyThenDelete(from, to, replace, sync);
    } else if (sync) {
        rc = SyncRename(from, to);
    }
    return rc == 0 ? TRUE : FALSE;
}

BOOL PathFileExistsW(LPCWSTR pszPath) {
    std::string path;
    if (!ToUtf8Path(pszPath, &path))
        return FALSE;
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? TRUE : FALSE;
}

void SetFileReplaceGuard(FileReplaceGuard guard) {
    g_replaceGuard.store(guard, std::memory_order_release);
}

}  // namespace vornoledb
