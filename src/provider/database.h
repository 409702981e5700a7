// One open SQLite database of a data source, shared by the data source, its sessions,
// commands and rowsets (each holds a shared_ptr, so the handle outlives the last user).
#pragma once

#include <memory>
#include <string>

#include "rowset/open_results.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vorn::provider {

namespace sql {
class JetStatementCache;
}

// Lazily read results register with the database (see rowset/open_results.h).
class Database : public OpenResults {
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
};

}  // namespace vorn::provider
