// The process's open database files and their advisory locks.
#include "open_file_registry.h"

#include "library_end.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "files.h"

namespace vorn::provider {

struct OpenFileEntry {
    dev_t dev = 0;
    ino_t ino = 0;
    int fd = -1;
    int users = 0;
    bool exclusive = false;
    // Descriptors of this file opened by a racing open after the entry existed; closing them
    // early would cancel SQLite's locks (see the header), so they live as long as the entry.
    std::vector<int> parked;
};

namespace {

using Key = std::pair<dev_t, ino_t>;

struct Registry {
    Registry() { InstallFileReplaceGuard(); }
    std::mutex mutex;
    std::map<Key, OpenFileEntry*> entries;
};

// Made on first use and released at library end, after the pooled connections have closed
// (see platform/library_end.h): a static object would be gone before they close at exit.
Registry& TheRegistry() {
    return vorn::platform::LibraryObject<Registry>::Get();
}

std::string Canonical(const std::string& path) {
    char buffer[PATH_MAX];
    if (::realpath(path.c_str(), buffer))
        return buffer;
    if (!path.empty() && path[0] == '/')
        return path;
    if (::getcwd(buffer, sizeof buffer))
        return std::string(buffer) + "/" + path;
    return path;
}

int FlockRetrying(int fd, int operation) {
    int rc;
    do {
        rc = ::flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

HoldResult Failure(HoldStatus status, int error = 0) {
    HoldResult r;
    r.status = status;
    r.error = error;
    return r;
}

// Whether path still leads to the file open as fd (whose fstat is fst). A lock taken on a
// file that has meanwhile been renamed over or removed guards nothing: whoever opens the
// name now gets another file.
bool StillNamedBy(const std::string& path, const struct stat& fst) {
    struct stat now;
    return ::stat(path.c_str(), &now) == 0 && now.st_dev == fst.st_dev && now.st_ino == fst.st_ino;
}

HoldStatus StatusOfMissing(int error) {
    return error == ENOENT || error == ENOTDIR ? HoldStatus::NotFound : HoldStatus::SystemError;
}

void CloseEntry(Registry& reg, OpenFileEntry* entry) {
    reg.entries.erase(Key(entry->dev, entry->ino));
    for (int fd : entry->parked)
        ::close(fd);
    ::close(entry->fd);
    delete entry;
}

}  // namespace

struct OpenFileRegistryAccess {
    static std::unique_ptr<FileHold> Make(OpenFileEntry* entry, std::string path) {
        return std::unique_ptr<FileHold>(new FileHold(entry, std::move(path)));
    }
};

namespace {

// Enters a newly opened and locked descriptor of path (fst is its fstat) in the registry,
// with one user, and gives that user's hold. The caller holds the registry's lock.
HoldResult EnterNewFile(Registry& reg, const struct stat& fst, int fd, bool exclusive,
                        const std::string& path) {
    auto* entry = new OpenFileEntry;
    entry->dev = fst.st_dev;
    entry->ino = fst.st_ino;
    entry->fd = fd;
    entry->users = 1;
    entry->exclusive = exclusive;
    reg.entries[Key(fst.st_dev, fst.st_ino)] = entry;
    HoldResult r;
    r.status = HoldStatus::Ok;
    r.hold = OpenFileRegistryAccess::Make(entry, Canonical(path));
    return r;
}

}  // namespace

FileHold::~FileHold() {
    Release([](bool) {});
}

int FileHold::Fd() const {
    return entry_ ? entry_->fd : -1;
}

bool FileHold::Exclusive() const {
    return entry_ && entry_->exclusive;
}

void FileHold::Release(const std::function<void(bool alone)>& finish) {
    if (!entry_)
        return;
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    bool alone = false;
    if (entry_->users == 1) {
        alone = entry_->exclusive || FlockRetrying(entry_->fd, LOCK_EX | LOCK_NB) == 0;
    }
    finish(alone);
    if (--entry_->users == 0)
        CloseEntry(reg, entry_);
    entry_ = nullptr;
}

namespace {

// One attempt of HoldFileShared: Replaced when the name came to lead to another file while
// the lock was waited for (the caller tries again on the new file).
HoldResult HoldFileSharedOnce(const std::string& path,
                              std::chrono::steady_clock::time_point deadline) {
    Registry& reg = TheRegistry();
    std::unique_lock<std::mutex> lock(reg.mutex);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return Failure(StatusOfMissing(errno), errno);
    if (S_ISDIR(st.st_mode))
        return Failure(HoldStatus::IsDirectory, EISDIR);
    if (!S_ISREG(st.st_mode))
        return Failure(HoldStatus::NotRegularFile);
    const auto join = [&](OpenFileEntry* entry) -> HoldResult {
        if (entry->exclusive)
            return Failure(HoldStatus::InUseHere);
        ++entry->users;
        HoldResult r;
        r.status = HoldStatus::Ok;
        r.hold = OpenFileRegistryAccess::Make(entry, Canonical(path));
        return r;
    };
    auto it = reg.entries.find(Key(st.st_dev, st.st_ino));
    if (it != reg.entries.end())
        return join(it->second);

    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Failure(StatusOfMissing(errno), errno);
    struct stat fst;
    if (::fstat(fd, &fst) != 0 || !S_ISREG(fst.st_mode)) {
        // Not in the registry (only regular files are), so closing it cancels nobody's locks.
        const int error = errno;
        const bool regular = S_ISREG(fst.st_mode);
        ::close(fd);
        return regular ? Failure(HoldStatus::SystemError, error)
                       : Failure(HoldStatus::NotRegularFile);
    }
    const Key key(fst.st_dev, fst.st_ino);
    for (;;) {
        // The path may have been replaced by a file this process holds since the stat above,
        // or another thread may have registered it while this one waited.
        it = reg.entries.find(key);
        if (it != reg.entries.end()) {
            it->second->parked.push_back(fd);
            return join(it->second);
        }
        if (FlockRetrying(fd, LOCK_SH | LOCK_NB) == 0)
            break;
        if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            const int error = errno;
            ::close(fd);
            return error == EWOULDBLOCK ? Failure(HoldStatus::InUseElsewhere)
                                        : Failure(HoldStatus::SystemError, error);
        }
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        lock.lock();
    }
    if (!StillNamedBy(path, fst)) {
        // Nobody in this process holds that file (it is not in the registry), so closing
        // the descriptor cancels nobody's locks.
        ::close(fd);
        return Failure(HoldStatus::Replaced);
    }
    return EnterNewFile(reg, fst, fd, false, path);
}

}  // namespace

HoldResult HoldFileShared(const std::string& path, int waitMilliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
    for (;;) {
        HoldResult r = HoldFileSharedOnce(path, deadline);
        if (r.status != HoldStatus::Replaced)
            return r;
    }
}

HoldResult HoldFileExclusive(const std::string& path) {
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return Failure(StatusOfMissing(errno), errno);
    if (S_ISDIR(st.st_mode))
        return Failure(HoldStatus::IsDirectory, EISDIR);
    if (!S_ISREG(st.st_mode))
        return Failure(HoldStatus::NotRegularFile);
    if (reg.entries.count(Key(st.st_dev, st.st_ino)))
        return Failure(HoldStatus::InUseHere);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Failure(StatusOfMissing(errno), errno);
    struct stat fst;
    if (::fstat(fd, &fst) != 0 || !S_ISREG(fst.st_mode)) {
        // Not in the registry (only regular files are), so closing it cancels nobody's locks.
        const int error = errno;
        const bool regular = S_ISREG(fst.st_mode);
        ::close(fd);
        return regular ? Failure(HoldStatus::SystemError, error)
                       : Failure(HoldStatus::NotRegularFile);
    }
    auto it = reg.entries.find(Key(fst.st_dev, fst.st_ino));
    if (it != reg.entries.end()) {
        it->second->parked.push_back(fd);
        return Failure(HoldStatus::InUseHere);
    }
    if (FlockRetrying(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? Failure(HoldStatus::InUseElsewhere)
                                    : Failure(HoldStatus::SystemError, error);
    }
    if (!StillNamedBy(path, fst)) {
        // Renamed over between the open and the lock: the file now named is another, and
        // somebody else is replacing it right now.
        ::close(fd);
        return Failure(HoldStatus::InUseElsewhere);
    }
    return EnterNewFile(reg, fst, fd, true, path);
}

HoldResult CreateAndHoldFile(const std::string& path) {
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST)
            return Failure(HoldStatus::Exists, error);
        return Failure(StatusOfMissing(error), error);
    }
    struct stat fst;
    if (::fstat(fd, &fst) != 0 || FlockRetrying(fd, LOCK_EX | LOCK_NB) != 0) {
        // Our own new file: nobody else can have it open in this process.
        const int error = errno;
        ::close(fd);
        ::unlink(path.c_str());
        return Failure(HoldStatus::SystemError, error);
    }
    return EnterNewFile(reg, fst, fd, true, path);
}

bool IsFileInUse(const std::string& path) {
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    if (reg.entries.count(Key(st.st_dev, st.st_ino)))
        return true;
    if (S_ISDIR(st.st_mode))
        return false;
    // Nobody in this process has the file open (the registry is consulted under the same
    // lock that every open takes), so a probe descriptor can be closed without cancelling
    // anyone's locks.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool inUse = FlockRetrying(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return inUse;
}

namespace {
bool MayReplaceFile(const char* utf8Path) {
    return utf8Path && !IsFileInUse(utf8Path);
}
}  // namespace

void InstallFileReplaceGuard() {
    SetFileReplaceGuard(&MayReplaceFile);
}

size_t HeldFileCount() {
    Registry& reg = TheRegistry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    return reg.entries.size();
}

}  // namespace vorn::provider
