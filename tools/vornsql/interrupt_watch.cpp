// The thread that takes SIGINT.
#include "interrupt_watch.h"

#include <pthread.h>

#include <ctime>

namespace vornsql {
namespace {

// How often the watcher looks again: for a signal, for the end of the watch, and to
// repeat a cancel while the interrupted command still runs.
constexpr long kTickNanoseconds = 50 * 1000 * 1000;

}  // namespace

InterruptWatch::InterruptWatch() {
    sigset_t interrupt;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    pthread_sigmask(SIG_BLOCK, &interrupt, &previousMask_);
    thread_ = std::thread([this] { Watch(); });
}

InterruptWatch::~InterruptWatch() {
    stop_ = true;
    thread_.join();
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void InterruptWatch::SetRunning(VornOleDbCommand* command) {
    std::lock_guard<std::mutex> hold(lock_);
    running_ = command;
}

void InterruptWatch::Watch() {
    sigset_t interrupt;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    const timespec tick{0, kTickNanoseconds};
    while (!stop_) {
        if (sigtimedwait(&interrupt, nullptr, &tick) == SIGINT)
            pending_ = true;
        if (pending_) {
            std::lock_guard<std::mutex> hold(lock_);
            if (running_)
                running_->Cancel();
        }
    }
}

}  // namespace vornsql
