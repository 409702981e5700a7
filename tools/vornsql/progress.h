// A progress line on standard error for long exports, copies and compactions: shown only when
// standard error is a terminal, from the first second on, rewritten in place.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace vornsql {

// True when progress lines may be shown: standard error is a terminal.
bool ProgressWanted();

// Counts rows; call Tick after each row.
class RowProgress {
  public:
    // label: "exported" -> "exported 120000 rows". With a total, a bar shows the share
    // done: "copying parts [#######.............] 35% 120000 of 342000 rows".
    RowProgress(bool enabled, std::string label, unsigned long long total = 0);
    ~RowProgress();
    void Tick(unsigned long long rows) {
        if (enabled_ && (rows & 255) == 0)
            Check(rows);
    }
    // Ends the line with the final count when it was shown.
    void Done(unsigned long long rows);

  private:
    void Check(unsigned long long rows);

    bool enabled_;
    bool shown_ = false;
    std::string label_;
    unsigned long long total_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_;
};

// Shows the seconds passed while one long call runs on this thread.
class ElapsedProgress {
  public:
    ElapsedProgress(bool enabled, std::string label);
    ~ElapsedProgress();
    ElapsedProgress(const ElapsedProgress&) = delete;
    ElapsedProgress& operator=(const ElapsedProgress&) = delete;
    // Stops the ticking and ends the line when it was shown.
    void Done();

  private:
    void Run();

    std::string label_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool shown_ = false;
    std::thread thread_;
};

}  // namespace vornsql
