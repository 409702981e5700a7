// What the Jet dialect keeps per SQLite handle: the connection's @@IDENTITY, the column
// types of tables that translations read (for coercion and COUNTER columns), and the
// functions SQLite knows. Created by RegisterJetFunctions and destroyed when the handle
// closes (as the destructor of a function registered on it). Holds no prepared
// statements, so it never keeps a handle from closing.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "sql/jet_types.h"

namespace vorn::provider::sql {

struct ColumnSchema {
    std::string name;
    std::string declared;
    StoreKind store = StoreKind::None;
    bool counter = false;
    bool primaryKey = false;
};

struct TableSchema {
    std::string name;  // as the schema spells it
    std::vector<ColumnSchema> columns;
    int counterIndex = -1;  // the COUNTER column, if any (the first one)

    const ColumnSchema* Find(const std::string& column) const;  // any case
};

class JetConnection {
  public:
    explicit JetConnection(sqlite3* db) : db_(db) {}

    // The state of db, or null when RegisterJetFunctions was not called on it.
    static JetConnection* Find(sqlite3* db);
    // Creates and registers the state of db; the destructor of jet_identity deletes it.
    static JetConnection* Create(sqlite3* db);
    static void Destroy(void* state);

    sqlite3* Db() const { return db_; }

    int64_t LastIdentity() const { return lastIdentity_.load(); }
    void SetLastIdentity(int64_t v) { lastIdentity_.store(v); }

    // Counts this connection's schema changes; translations that read the schema expire
    // when it moves.
    uint64_t Generation() const { return generation_.load(); }
    void SchemaChanged();

    // The columns of a table (UTF-8 name, any case), or null when there is no such table.
    std::shared_ptr<const TableSchema> Table(const std::string& name);

    // Whether SQLite knows a function of that name (lower case), for unknown Jet names.
    bool HasFunction(const std::string& lowerName);

  private:
    sqlite3* db_;
    std::atomic<int64_t> lastIdentity_{0};
    std::atomic<uint64_t> generation_{0};
    std::mutex mutex_;
    int64_t tablesVersion_ = -1;
    std::unordered_map<std::string, std::shared_ptr<const TableSchema>> tables_;
    std::unordered_set<std::string> functions_;
};

// PRAGMA schema_version of db's main database, -1 on failure.
int64_t ReadSchemaVersion(sqlite3* db);

}  // namespace vorn::provider::sql
