// FetchLast on a long result in a child process of its own, so that its peak resident
// memory is the memory of that one result: shared by the benchmarks of both providers.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "vornoledb/vornoledb.h"

namespace vorn::bench {

// Runs sql on a connection of init in a child, moves to its last row and reads the first
// field of it as a number. Prints the time, the memory before Execute and the peak, and
// whether the peak stayed under 256 MiB with `expectedLast` as the last value.
inline bool MeasureFetchLast(const std::wstring& init, const std::wstring& sql, long rows,
                             long expectedLast) {
    using Clock = std::chrono::steady_clock;
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return false;
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        close(pipeFds[0]);
        struct rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        const long before = usage.ru_maxrss;
        VornOleDbConnection connection;
        VornOleDbCommand command;
        long last = -1;
        const auto start = Clock::now();
        if (connection.OpenFromInitializationString(init, false) == S_OK) {
            command.SetConnection(&connection);
            command.SetCommandText(sql.c_str());
            if (command.Execute() == VornOleDbCommand::dbOK &&
                command.FetchLast() == VornOleDbCommand::dbOK)
                last = command.FieldAsLong(1);
            else
                std::fprintf(stderr, "FetchLast failed: %ls\n", command.GetErrorInfo(true).c_str());
        } else {
            std::fprintf(stderr, "cannot open: %ls\n", connection.GetErrorInfo(true).c_str());
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        getrusage(RUSAGE_SELF, &usage);
        char line[200];
        const int n = std::snprintf(line, sizeof line, "%ld %ld %ld %.3f", before, usage.ru_maxrss,
                                    last, seconds);
        if (write(pipeFds[1], line, static_cast<size_t>(n)) != n)
            _exit(2);
        _exit(last >= 0 ? 0 : 1);
    }
    close(pipeFds[1]);
    char line[200] = {};
    const ssize_t got = read(pipeFds[0], line, sizeof line - 1);
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    long before = 0, peak = 0, last = 0;
    double seconds = 0;
    if (got <= 0 || std::sscanf(line, "%ld %ld %ld %lf", &before, &peak, &last, &seconds) != 4 ||
        !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the FetchLast child failed\n");
        return false;
    }
    const double peakMiB = peak / 1024.0;
    const bool ok = peakMiB < 256.0 && last == expectedLast;
    std::printf(
        "FetchLast on %ld rows: last value %ld, %.2f s, resident memory %.1f MiB before "
        "Execute, peak %.1f MiB (limit 256 MiB): %s\n",
        rows, last, seconds, before / 1024.0, peakMiB, ok ? "ok" : "OVER LIMIT OR WRONG ROW");
    return ok;
}

}  // namespace vorn::bench
