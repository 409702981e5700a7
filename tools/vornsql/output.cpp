// Standard output or a file written under a temporary name.
#include "output.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "messages.h"

namespace vornsql {

Output::Output() : file_(stdout) {}

Output::~Output() {
    EndPaging();
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
    if (error_ || discarding_ || size == 0)
        return;
    if (paging_ && !pager_) {
        held_.append(data, size);
        for (size_t i = 0; i < size; ++i)
            heldLines_ += data[i] == '\n';
        if (heldLines_ < pageRows_ || !StartPager())
            return;
        data = held_.data();
        size = held_.size();
    }
    if (pager_) {
        errno = 0;
        if (std::fwrite(data, 1, size, pager_) != size) {
            // The pager was quit: the person has seen enough, which is no failure.
            discarding_ = true;
        }
        held_.clear();
        return;
    }
    if (std::fwrite(data, 1, size, file_) != size)
        error_ = errno ? errno : EIO;
}

void Output::BeginPaging(size_t rows, const std::string& command) {
    EndPaging();
    if (rows < 2 || command.empty())
        return;
    paging_ = true;
    pageRows_ = rows - 1;  // the prompt takes the last line
    heldLines_ = 0;
    pagerCommand_ = command;
    discarding_ = false;
}

void Output::EndPaging() {
    if (!paging_)
        return;
    paging_ = false;
    if (pager_) {
        std::fclose(pager_);
        pager_ = nullptr;
        int status = 0;
        while (::waitpid(pagerPid_, &status, 0) < 0 && errno == EINTR) {
        }
        pagerPid_ = -1;
        signal(SIGPIPE, SIG_DFL);
    } else if (!held_.empty()) {
        const std::string text = std::move(held_);
        Write(text.data(), text.size());
    }
    held_.clear();
    discarding_ = false;
}

bool Output::StartPager() {
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    std::fflush(file_);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (pid == 0) {
        // The pager gets the signals as a program started from the shell would.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        signal(SIGINT, SIG_DFL);
        ::dup2(fds[0], STDIN_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        // less: quit at the end of a short text, keep colours, leave the text on screen.
        ::setenv("LESS", "FRX", 0);
        ::execl("/bin/sh", "sh", "-c", pagerCommand_.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(fds[0]);
    pager_ = ::fdopen(fds[1], "w");
    if (!pager_) {
        ::close(fds[1]);
        ::waitpid(pid, nullptr, 0);
        return false;
    }
    // A pager quit early makes writes fail with EPIPE instead of ending vornsql.
    signal(SIGPIPE, SIG_IGN);
    pagerPid_ = pid;
    return true;
}

namespace {

bool OnPath(const char* program) {
    const char* path = std::getenv("PATH");
    std::string rest = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find(':', start);
        if (end == std::string::npos)
            end = rest.size();
        const std::string folder = end > start ? rest.substr(start, end - start) : ".";
        if (::access((folder + "/" + program).c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

std::string PagerCommand() {
    if (const char* pager = std::getenv("PAGER"))
        return pager;
    for (const char* candidate : {"less", "more"})
        if (OnPath(candidate))
            return candidate;
    return std::string();
}

bool Output::Flush() {
    if (pager_ && !discarding_ && std::fflush(pager_) != 0)
        discarding_ = true;
    if (paging_)
        return error_ == 0;
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
