// Rollback journals of text tables.
#include "stores/text/text_journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "posix_files.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::text {
namespace {

constexpr char kMagic[] = "VORNJOURNAL1\n";
constexpr char kSuffix[] = "-vornjournal";

std::wstring Why(int error) {
    return Utf8ToWide(std::strerror(error));
}

}  // namespace

bool WriteAt(int fd, const char* data, size_t size, uint64_t offset) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

bool ReplaceFileText(const std::string& path, const std::string& text, std::wstring* error) {
    const std::string temp = path + ".vorn-tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = L"could not write '" + Utf8ToWide(temp) + L"': " + Why(errno);
        return false;
    }
    const bool ok = WriteAt(fd, text.data(), text.size(), 0) && ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        *error = L"could not write '" + Utf8ToWide(path) + L"': " + Why(ok ? errno : saved);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

namespace {

bool SameFile(const std::string& path, int fd) {
    struct stat byName;
    struct stat byFd;
    return ::stat(path.c_str(), &byName) == 0 && ::fstat(fd, &byFd) == 0 &&
           byName.st_dev == byFd.st_dev && byName.st_ino == byFd.st_ino;
}

}  // namespace

std::string JournalPath(const std::string& file) {
    return file + kSuffix;
}

int WriteJournal(const std::string& file, const JournalRecord& record, std::wstring* error) {
    std::string text = kMagic;
    text += record.created ? "created\n" : "size " + std::to_string(record.size) + "\n";
    if (record.hasSchema)
        text += record.schemaExisted ? "schema " + std::to_string(record.schemaText.size()) + "\n" +
                                           record.schemaText
                                     : std::string("schema -1\n");
    text += "end\n";
    const std::string path = JournalPath(file);
    const std::string temp = path + ".vorn-tmp";
    const int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = L"could not write the journal '" + Utf8ToWide(path) + L"': " + Why(errno);
        return -1;
    }
    if (::flock(fd, LOCK_EX) != 0 || !WriteAt(fd, text.data(), text.size(), 0) ||
        ::fsync(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        *error = L"could not write the journal '" + Utf8ToWide(path) + L"': " + Why(errno);
        ::unlink(temp.c_str());
        ::close(fd);
        return -1;
    }
    vorn::SyncFolder(vorn::FolderOf(path));
    return fd;
}

bool ReadJournal(int fd, JournalRecord* record) {
    std::string text;
    if (!vorn::ReadWholeFile(fd, &text) || text.compare(0, sizeof kMagic - 1, kMagic) != 0)
        return false;
    size_t pos = sizeof kMagic - 1;
    auto line = [&](std::string* out) {
        const size_t nl = text.find('\n', pos);
        if (nl == std::string::npos)
            return false;
        *out = text.substr(pos, nl - pos);
        pos = nl + 1;
        return true;
    };
    std::string l;
    if (!line(&l))
        return false;
    *record = JournalRecord();
    if (l == "created") {
        record->created = true;
    } else if (l.compare(0, 5, "size ") == 0) {
        record->size = std::strtoull(l.c_str() + 5, nullptr, 10);
    } else {
        return false;
    }
    if (!line(&l))
        return false;
    if (l.compare(0, 7, "schema ") == 0) {
        record->hasSchema = true;
        const long long n = std::strtoll(l.c_str() + 7, nullptr, 10);
        if (n >= 0) {
            if (static_cast<size_t>(n) > text.size() - pos)
                return false;
            record->schemaExisted = true;
            record->schemaText = text.substr(pos, static_cast<size_t>(n));
            pos += static_cast<size_t>(n);
        }
        if (!line(&l))
            return false;
    }
    return l == "end";
}

bool PlayBack(const std::string& file, const std::string& schemaPath, const JournalRecord& record,
              std::wstring* error) {
    if (record.created) {
        if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
            *error = L"could not remove '" + Utf8ToWide(file) +
                     L"' made by an unfinished "
                     L"transaction: " +
                     Why(errno);
            return false;
        }
    } else {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0 && errno != ENOENT) {
            *error = L"could not restore '" + Utf8ToWide(file) + L"': " + Why(errno);
            return false;
        }
        if (fd >= 0) {
            struct stat st;
            const bool ok = ::fstat(fd, &st) == 0 &&
                            (static_cast<uint64_t>(st.st_size) <= record.size ||
                             ::ftruncate(fd, static_cast<off_t>(record.size)) == 0) &&
                            ::fsync(fd) == 0;
            const int saved = errno;
            ::close(fd);
            if (!ok) {
                *error = L"could not restore '" + Utf8ToWide(file) + L"': " + Why(saved);
                return false;
            }
        }
    }
    if (record.hasSchema) {
        if (record.schemaExisted) {
            if (!ReplaceFileText(schemaPath, record.schemaText, error))
                return false;
        } else if (::unlink(schemaPath.c_str()) != 0 && errno != ENOENT) {
            *error = L"could not remove '" + Utf8ToWide(schemaPath) + L"': " + Why(errno);
            return false;
        }
    }
    return true;
}

void RemoveJournal(const std::string& file, int fd) {
    const std::string path = JournalPath(file);
    if (fd >= 0 && SameFile(path, fd))
        ::unlink(path.c_str());
    vorn::SyncFolder(vorn::FolderOf(path));
    if (fd >= 0)
        ::close(fd);
}

bool RecoverFolder(const std::string& folder, std::wstring* error) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return true;  // the caller reports a folder it cannot read
    std::vector<std::string> journals;
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const size_t n = sizeof kSuffix - 1;
        if (name.size() > n && name.compare(name.size() - n, n, kSuffix) == 0)
            journals.push_back(name.substr(0, name.size() - n));
    }
    ::closedir(dir);
    const std::string schema = folder + "/schema.ini";
    for (const std::string& name : journals) {
        const std::string file = folder + "/" + name;
        const std::string path = JournalPath(file);
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;
        // A writer still at work holds the lock; a journal removed meanwhile was committed.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !SameFile(path, fd)) {
            ::close(fd);
            continue;
        }
        JournalRecord record;
        if (ReadJournal(fd, &record)) {
            if (!PlayBack(file, schema, record, error)) {
                ::close(fd);
                return false;
            }
        }
        // An incomplete journal cannot be: it is renamed into place only when whole.
        RemoveJournal(file, fd);
    }
    return true;
}

bool PendingJournal(const std::string& file, JournalRecord* record) {
    const int fd = ::open(JournalPath(file).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ReadJournal(fd, record);
    ::close(fd);
    return ok;
}

}  // namespace vorn::provider::stores::text
