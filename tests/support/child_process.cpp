// Forked child processes for tests.
#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace vorn::test {

ForkedChild::ForkedChild(const std::function<int(int reportFd)>& body) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        std::abort();
    ::fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
    pid_ = ::fork();
    if (pid_ < 0)
        std::abort();
    if (pid_ == 0) {
        ::close(fds[0]);
        ::_exit(body(fds[1]));
    }
    ::close(fds[1]);
    readFd_ = fds[0];
}

ForkedChild::~ForkedChild() {
    Kill();
    if (readFd_ >= 0)
        ::close(readFd_);
}

void ForkedChild::ReadAvailable(bool toEnd) {
    char buffer[4096];
    for (;;) {
        if (!toEnd) {
            pollfd p{readFd_, POLLIN, 0};
            if (::poll(&p, 1, 0) <= 0)
                return;
        }
        const ssize_t n = ::read(readFd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        pending_.append(buffer, static_cast<size_t>(n));
        size_t newline;
        while ((newline = pending_.find('\n')) != std::string::npos) {
            lines_.push_back(pending_.substr(0, newline));
            pending_.erase(0, newline + 1);
        }
    }
}

bool ForkedChild::WaitForLine(int timeoutMs) {
    if (!lines_.empty())
        return true;
    pollfd p{readFd_, POLLIN, 0};
    while (lines_.empty()) {
        const int ready = ::poll(&p, 1, timeoutMs);
        if (ready <= 0)
            return false;
        const size_t before = lines_.size();
        const std::string::size_type pendingBefore = pending_.size();
        ReadAvailable(false);
        if (lines_.size() == before && pending_.size() == pendingBefore)
            return false;  // end of the pipe: the child has gone
    }
    return true;
}

void ForkedChild::Kill() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    Wait();
}

int ForkedChild::Wait() {
    if (pid_ <= 0)
        return status_;
    int raw = 0;
    while (::waitpid(pid_, &raw, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? -WTERMSIG(raw) : -1;
    return status_;
}

std::vector<std::string> ForkedChild::Lines() {
    ReadAvailable(pid_ <= 0);
    return lines_;
}

void ReportLine(int reportFd, const std::string& line) {
    const std::string text = line + "\n";
    while (::write(reportFd, text.data(), text.size()) < 0 && errno == EINTR) {
    }
}

}  // namespace vorn::test
