// Progress lines on standard error.
#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace vornsql {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kFirstShown = std::chrono::seconds(1);
constexpr auto kInterval = std::chrono::milliseconds(250);

}  // namespace

bool ProgressWanted() {
    return ::isatty(STDERR_FILENO) != 0;
}

RowProgress::RowProgress(bool enabled, std::string label, unsigned long long total)
    : enabled_(enabled),
      label_(std::move(label)),
      total_(total),
      start_(Clock::now()),
      last_(start_) {}

RowProgress::~RowProgress() {
    if (shown_)
        std::fputc('\n', stderr);
}

void RowProgress::Check(unsigned long long rows) {
    const auto now = Clock::now();
    if (now - start_ < kFirstShown || now - last_ < kInterval)
        return;
    last_ = now;
    shown_ = true;
    if (total_ > 0 && rows <= total_) {
        constexpr int kWidth = 20;
        const int filled = static_cast<int>(rows * kWidth / total_);
        std::string bar(static_cast<size_t>(filled), '#');
        bar.append(static_cast<size_t>(kWidth - filled), '.');
        std::fprintf(stderr, "\r%s [%s] %3llu%% %llu of %llu rows", label_.c_str(), bar.c_str(),
                     rows * 100 / total_, rows, total_);
    } else {
        std::fprintf(stderr, "\r%s %llu rows...", label_.c_str(), rows);
    }
    std::fflush(stderr);
}

void RowProgress::Done(unsigned long long rows) {
    if (!shown_)
        return;
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    // Blanks cover what a longer bar line left.
    std::fprintf(stderr, "\r%s %llu rows in %.1f s%30s\n", label_.c_str(), rows, seconds, "");
    shown_ = false;
}

ElapsedProgress::ElapsedProgress(bool enabled, std::string label) : label_(std::move(label)) {
    if (enabled)
        thread_ = std::thread([this] { Run(); });
}

ElapsedProgress::~ElapsedProgress() {
    Done();
}

void ElapsedProgress::Run() {
    const auto start = Clock::now();
    std::unique_lock<std::mutex> lock(mutex_);
    if (wake_.wait_for(lock, kFirstShown, [this] { return stop_; }))
        return;
    do {
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::fprintf(stderr, "\r%s... %.0f s", label_.c_str(), seconds);
        std::fflush(stderr);
        shown_ = true;
    } while (!wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stop_; }));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::fprintf(stderr, "\r%s: %.1f s   \n", label_.c_str(), seconds);
}

void ElapsedProgress::Done() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

}  // namespace vornsql
