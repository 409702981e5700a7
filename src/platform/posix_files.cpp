// Small POSIX file helpers: the folder of a path, syncing a folder, reading a whole file.
#include "posix_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vorn {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

int SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const int rc = ::fsync(fd) == 0 || errno == EINVAL ? 0 : -1;
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return rc;
}

bool ReadWholeFile(int fd, std::string* out) {
    out->clear();
    char buffer[65536];
    off_t offset = 0;
    while (true) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        out->append(buffer, static_cast<size_t>(n));
        offset += n;
    }
}

}  // namespace vorn
