// Ctrl-C in an interactive session. SIGINT is blocked in every thread and taken by a
// watching thread, which cancels the statement that runs (through the command's Cancel,
// which stops the engine) and notes the interruption for the input loop; vornsql itself
// goes on. Outside an interactive session nothing of this runs and Ctrl-C ends vornsql.
#pragma once

#include <signal.h>

#include <atomic>
#include <mutex>
#include <thread>

#include <vornoledb/command.h>

namespace vornsql {

class InterruptWatch {
  public:
    // Blocks SIGINT in the calling thread, and so in the threads it starts later, and
    // starts the watcher. Made before any other thread starts.
    InterruptWatch();
    // Stops the watcher and lets SIGINT through again.
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // The command that runs now, or null. A Ctrl-C cancels it, and the cancel is repeated
    // until the command is no longer running (a request that reaches the engine between
    // two of its statements is not kept by it).
    void SetRunning(VornOleDbCommand* command);
    // Whether Ctrl-C was pressed since the last Clear.
    bool Pending() const { return pending_; }
    void Clear() { pending_ = false; }

  private:
    void Watch();

    sigset_t previousMask_;
    std::mutex lock_;
    VornOleDbCommand* running_ = nullptr;
    std::atomic<bool> pending_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Marks a command as running for the length of a scope; does nothing without a watch.
class RunningCommand {
  public:
    RunningCommand(InterruptWatch* watch, VornOleDbCommand* command) : watch_(watch) {
        if (watch_)
            watch_->SetRunning(command);
    }
    ~RunningCommand() {
        if (watch_)
            watch_->SetRunning(nullptr);
    }
    RunningCommand(const RunningCommand&) = delete;
    RunningCommand& operator=(const RunningCommand&) = delete;

  private:
    InterruptWatch* watch_;
};

}  // namespace vornsql
