// Connection pool against opening and closing a new connection on the same file, measured
// in one run; then the pool's throughput with two threads.
//   pool [ITERATIONS]
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "vornoledb/vornoledb.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 2000;
    char folder[] = "/tmp/vornoledb-bench-pool-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    std::string file = std::string(folder) + "/pool.db";
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE t(a INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const std::wstring init =
        L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Utf8ToWide(file) + L";";

    VornOleDbConnectionCache* cache = VornOleDbConnectionCache::GetCacheManager();
    if (!cache) {
        std::fprintf(stderr, "the connection cache is not available\n");
        return 1;
    }

    // Baseline: a new connection opened and closed each time.
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < iterations; ++i) {
        VornOleDbConnection c;
        if (c.OpenFromInitializationString(init, false) != S_OK) {
            std::fprintf(stderr, "open failed: %s\n", WideToUtf8(c.GetErrorText()).c_str());
            return 1;
        }
        c.Close();
    }
    double direct = Seconds(start);

    // Pooled: Connect + Cache of an idle connection.
    VornOleDbConnection* warm = cache->Connect(init, false);
    cache->Cache(warm);
    const int pooledIterations = iterations * 100;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < pooledIterations; ++i) {
        VornOleDbConnection* c = cache->Connect(init, false);
        cache->Cache(c);
    }
    double pooled = Seconds(start);

    double directPerSecond = iterations / direct;
    double pooledPerSecond = pooledIterations / pooled;
    std::printf("open+close a new connection: %10.0f per second (%d runs)\n", directPerSecond,
                iterations);
    std::printf("Connect+Cache from the pool: %10.0f per second (%d runs)\n", pooledPerSecond,
                pooledIterations);
    std::printf("ratio pooled/new: %.1f\n", pooledPerSecond / directPerSecond);

    // Two threads sharing the pool.
    std::atomic<bool> stop{false};
    std::atomic<long> rounds{0};
    auto worker = [&] {
        while (!stop.load(std::memory_order_relaxed)) {
            VornOleDbConnection* c = cache->Connect(init, false);
            cache->Cache(c);
            rounds.fetch_add(1, std::memory_order_relaxed);
        }
    };
    start = std::chrono::steady_clock::now();
    std::thread a(worker), b(worker);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    stop = true;
    a.join();
    b.join();
    std::printf("pool throughput with 2 threads: %.0f Connect+Cache per second\n",
                rounds / Seconds(start));

    cache->ClearCache();
    unlink(file.c_str());
    rmdir(folder);
    return 0;
}
