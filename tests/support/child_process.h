// Forked child processes for tests of what happens across processes: a child that works on
// a database while another writes or compacts it, or that is killed half-way. The child
// reports what it has done (a committed row, say) as lines on a pipe, so that the test
// knows what must have survived a kill.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace vorn::test {

class ForkedChild {
  public:
    // Forks; the child runs body(reportFd) and exits with its result (without running
    // anything of the parent's at exit). The pipe holds 1 MiB, so a child that reports a
    // line for each of some thousands of steps does not wait for the parent to read.
    explicit ForkedChild(const std::function<int(int reportFd)>& body);
    // Kills a child still running and reaps it.
    ~ForkedChild();
    ForkedChild(const ForkedChild&) = delete;
    ForkedChild& operator=(const ForkedChild&) = delete;

    // Waits until the child has written a line (true), it ended, or timeoutMs passed.
    bool WaitForLine(int timeoutMs);
    void Kill();
    // The exit status of a child that exited, or -(signal) of one that was killed.
    int Wait();
    // Every whole line the child wrote; reads to the end, so call it after Kill or Wait.
    std::vector<std::string> Lines();

  private:
    pid_t pid_ = -1;
    int readFd_ = -1;
    int status_ = 0;
    std::string pending_;
    std::vector<std::string> lines_;
    void ReadAvailable(bool toEnd);
};

// Writes one line to the report pipe (in one write, so that lines never interleave).
void ReportLine(int reportFd, const std::string& line);

}  // namespace vorn::test
