// What the Jet dialect keeps per SQLite handle.
#include "sql/jet_connection.h"

#include "library_end.h"
#include "text_helpers.h"

namespace vorn::provider::sql {
namespace {

// The handle-to-state table outlives every handle: it is released at library end (see
// platform/library_end.h), not destroyed as a static object before pooled handles close.
struct Handles {
    std::mutex mutex;
    std::unordered_map<sqlite3*, JetConnection*> map;
};

Handles& TheHandles() {
    return vorn::platform::LibraryObject<Handles>::Get();
}

// Runs a one-row query with one text parameter and collects rows through onRow.
template <typename OnRow>
bool Query(sqlite3* db, const char* sql, const std::string& param, OnRow onRow) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return false;
    }
    if (!param.empty() || sqlite3_bind_parameter_count(stmt) > 0)
        sqlite3_bind_text(stmt, 1, param.data(), int(param.size()), SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        onRow(stmt);
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE;
}

std::string ColumnText(sqlite3_stmt* stmt, int i) {
    const unsigned char* t = sqlite3_column_text(stmt, i);
    return t ? std::string(reinterpret_cast<const char*>(t), size_t(sqlite3_column_bytes(stmt, i)))
             : std::string();
}

}  // namespace

const ColumnSchema* TableSchema::Find(const std::string& column) const {
    const std::string key = AsciiLower(column);
    for (const ColumnSchema& c : columns)
        if (AsciiLower(c.name) == key)
            return &c;
    return nullptr;
}

JetConnection* JetConnection::Find(sqlite3* db) {
    Handles& handles = TheHandles();
    std::lock_guard<std::mutex> lock(handles.mutex);
    const auto it = handles.map.find(db);
    return it == handles.map.end() ? nullptr : it->second;
}

JetConnection* JetConnection::Create(sqlite3* db) {
    auto* state = new JetConnection(db);
    Handles& handles = TheHandles();
    std::lock_guard<std::mutex> lock(handles.mutex);
    handles.map[db] = state;
    return state;
}

void JetConnection::Destroy(void* p) {
    auto* state = static_cast<JetConnection*>(p);
    {
        Handles& handles = TheHandles();
        std::lock_guard<std::mutex> lock(handles.mutex);
        const auto it = handles.map.find(state->db_);
        if (it != handles.map.end() && it->second == state)
            handles.map.erase(it);
    }
    delete state;
}

void JetConnection::SchemaChanged() {
    std::lock_guard<std::mutex> lock(mutex_);
    tables_.clear();
    tablesVersion_ = -1;
    generation_.fetch_add(1);
}

std::shared_ptr<const TableSchema> JetConnection::Table(const std::string& name) {
    const int64_t version = ReadSchemaVersion(db_);
    const std::string key = AsciiLower(name);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (version != tablesVersion_) {
            tables_.clear();
            tablesVersion_ = version;
        }
        const auto it = tables_.find(key);
        if (it != tables_.end())
            return it->second;
    }
    auto table = std::make_shared<TableSchema>();
    Query(db_,
          "SELECT name FROM sqlite_schema WHERE type IN ('table','view') AND name = ?1 "
          "COLLATE NOCASE",
          name, [&](sqlite3_stmt* s) { table->name = ColumnText(s, 0); });
    std::shared_ptr<const TableSchema> result;
    if (!table->name.empty()) {
        Query(db_, "SELECT name, type, pk FROM pragma_table_info(?1)", table->name,
              [&](sqlite3_stmt* s) {
                  ColumnSchema c;
                  c.name = ColumnText(s, 0);
                  c.declared = ColumnText(s, 1);
                  c.store = StoreKindOfDeclared(c.declared);
                  c.counter = IsCounterDeclared(c.declared);
                  c.primaryKey = sqlite3_column_int(s, 2) != 0;
                  if (c.counter && table->counterIndex < 0)
                      table->counterIndex = int(table->columns.size());
                  table->columns.push_back(std::move(c));
              });
        result = table;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (version == tablesVersion_)
        tables_[key] = result;
    return result;
}

bool JetConnection::HasFunction(const std::string& lowerName) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (functions_.count(lowerName))
            return true;
    }
    bool found = false;
    Query(db_, "SELECT 1 FROM pragma_function_list WHERE name = ?1", lowerName,
          [&](sqlite3_stmt*) { found = true; });
    if (found) {
        std::lock_guard<std::mutex> lock(mutex_);
        functions_.insert(lowerName);
    }
    return found;
}

int64_t ReadSchemaVersion(sqlite3* db) {
    int64_t v = -1;
    Query(db, "PRAGMA main.schema_version", std::string(),
          [&](sqlite3_stmt* s) { v = sqlite3_column_int64(s, 0); });
    return v;
}

}  // namespace vorn::provider::sql
