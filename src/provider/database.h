// One open SQLite database of a data source, shared by the data source, its sessions,
// commands and rowsets (each holds a shared_ptr, so the handle outlives the last user).
#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace vorn::provider {

namespace sql {
class JetStatementCache;
}

// A rowset that reads its result lazily. Before a statement that writes runs on the same
// database, every open rowset reads the rest of its rows into its own store, so that a
// result is a snapshot that never shows the connection's later writes.
class LazyResult {
public:
    virtual void ReadToEnd() = 0;

protected:
    ~LazyResult() = default;
};

class Database {
public:
    virtual ~Database() = default;

    virtual sqlite3* Handle() const = 0;
    // The path as the connection string gave it, and as an absolute path.
    virtual const std::wstring& Path() const = 0;
    virtual const std::string& AbsolutePathUtf8() const = 0;
    virtual bool ReadOnly() const = 0;
    // The private in-memory database (":memory:"), which has no file.
    virtual bool InMemory() const { return false; }

    // What the data source reports of it: DBPROP_DBMSNAME, DBPROP_DBMSVER and
    // DBPROP_CURRENTCATALOG. A SQLite database answers for itself; a foreign store's
    // database answers from its store.
    virtual std::wstring DbmsName() const;
    virtual std::wstring DbmsVersion() const;
    virtual std::wstring CurrentCatalog() const;

    // The translated, prepared statements of the handle (host SQL in the Jet dialect).
    // Null for databases that run SQL as SQLite reads it (internal scratch databases).
    virtual sql::JetStatementCache* Statements() { return nullptr; }
    // Ends a statement: gives it back to the statement cache when it came from there,
    // finalizes it otherwise.
    void FinishStatement(sqlite3_stmt* stmt);

    // Called before a statement that writes runs, and after a transaction commits. A store
    // whose file changes form when it is first written (a SQLite file switches to
    // write-ahead logging) makes that change here and never on open, so that a connection
    // that only reads leaves every byte of its file as it was.
    virtual void BeforeWrite() {}
    virtual void AfterCommit() {}

    // Snapshot bookkeeping of lazily read results (see LazyResult).
    void RegisterResult(LazyResult* r) {
        std::lock_guard<std::mutex> lock(resultsMutex_);
        results_.insert(r);
    }
    void UnregisterResult(LazyResult* r) {
        std::lock_guard<std::mutex> lock(resultsMutex_);
        results_.erase(r);
    }
    // Called before a statement that writes: every open result reads to its end.
    void DrainResults(LazyResult* except = nullptr) {
        std::set<LazyResult*> copy;
        {
            std::lock_guard<std::mutex> lock(resultsMutex_);
            copy = results_;
        }
        for (LazyResult* r : copy)
            if (r != except) r->ReadToEnd();
    }

private:
    std::mutex resultsMutex_;
    std::set<LazyResult*> results_;
};

}  // namespace vorn::provider
