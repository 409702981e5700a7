// Standard output or a file written under a temporary name.
#include "output.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "messages.h"

namespace vornsql {

Output::Output() : file_(stdout) {}

Output::~Output() {
    if (!temporary_.empty()) {
        std::fclose(file_);
        ::unlink(temporary_.c_str());
    }
}

bool Output::OpenFile(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string pattern = (slash == std::string::npos ? std::string() : folder) + "." +
                          path.substr(slash == std::string::npos ? 0 : slash + 1) +
                          ".vornsql-XXXXXX";
    const int fd = ::mkstemp(&pattern[0]);
    if (fd < 0) {
        ReportError("could not write '" + path + "': " + std::strerror(errno));
        return false;
    }
    // mkstemp makes the file private; give it the mode a new file normally gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    FILE* f = ::fdopen(fd, "w");
    if (!f) {
        ReportError("could not write '" + path + "': " + std::strerror(errno));
        ::close(fd);
        ::unlink(pattern.c_str());
        return false;
    }
    file_ = f;
    path_ = path;
    temporary_ = pattern;
    return true;
}

void Output::Write(const char* data, size_t size) {
    if (error_ || size == 0)
        return;
    if (std::fwrite(data, 1, size, file_) != size)
        error_ = errno ? errno : EIO;
}

bool Output::Flush() {
    if (!error_ && std::fflush(file_) != 0)
        error_ = errno ? errno : EIO;
    return error_ == 0;
}

std::string Output::FailureText() const {
    const std::string where = path_.empty() ? "standard output" : "'" + path_ + "'";
    return "could not write the results to " + where + ": " + std::strerror(error_);
}

bool Output::Commit() {
    if (!Flush()) {
        ReportError(FailureText());
        return false;
    }
    if (temporary_.empty())
        return true;
    if (::fsync(fileno(file_)) != 0 || std::fclose(file_) != 0) {
        error_ = errno;
        file_ = nullptr;
        ::unlink(temporary_.c_str());
        temporary_.clear();
        ReportError(FailureText());
        return false;
    }
    file_ = nullptr;
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        error_ = errno;
        ::unlink(temporary_.c_str());
        temporary_.clear();
        ReportError(FailureText());
        return false;
    }
    temporary_.clear();
    file_ = stdout;  // nothing more goes to the file
    return true;
}

bool Output::IsTerminal() const {
    return temporary_.empty() && path_.empty() && ::isatty(fileno(file_));
}

}  // namespace vornsql
