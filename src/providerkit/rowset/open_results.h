// Results of a connection that are read lazily, as the consumer asks for rows. Before a
// statement runs that writes (or, on a connection that carries one result at a time, any
// statement), every open result reads the rest of its rows into its own store, so that a
// result is a snapshot that never shows the connection's later writes.
#pragma once

#include <mutex>
#include <set>

namespace vorn::provider {

class LazyResult {
  public:
    virtual void ReadToEnd() = 0;

  protected:
    ~LazyResult() = default;
};

class OpenResults {
  public:
    void RegisterResult(LazyResult* r) {
        std::lock_guard<std::mutex> lock(resultsMutex_);
        results_.insert(r);
    }
    void UnregisterResult(LazyResult* r) {
        std::lock_guard<std::mutex> lock(resultsMutex_);
        results_.erase(r);
    }
    // Every open result but `except` reads to its end.
    void DrainResults(LazyResult* except = nullptr) {
        std::set<LazyResult*> copy;
        {
            std::lock_guard<std::mutex> lock(resultsMutex_);
            copy = results_;
        }
        for (LazyResult* r : copy)
            if (r != except)
                r->ReadToEnd();
    }

  private:
    std::mutex resultsMutex_;
    std::set<LazyResult*> results_;
};

}  // namespace vorn::provider
