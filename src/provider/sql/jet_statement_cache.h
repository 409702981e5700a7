// Translated, prepared statements of one SQLite handle, kept by the host's text: a
// statement run again skips translation and preparation. A crosstab whose columns come from
// its data reads its pivot values at each Acquire (in the read transaction its rows are
// then read in) and is prepared again only when they changed. Least recently used statements
// go first past the capacity. SQLite re-prepares a statement itself when the schema
// changes; a translation that read column types (INSERT, UPDATE, SELECT ... INTO, some
// DDL) is made again when this connection ran DDL or the database's schema version moved.
//
// Use, per statement the host runs:
//   sqlite3_stmt* s = cache.Acquire(hostSql, &error);   // null: error describes why
//   ... bind parameters ...
//   while ((rc = cache.Step(s)) == SQLITE_ROW) ...      // instead of sqlite3_step
//   cache.Release(s);                                   // instead of sqlite3_finalize
// A statement is exclusively the caller's from Acquire to Release; acquiring the same text
// again meanwhile gives a second statement. Destroy the cache before closing the handle
// (it finalizes every statement, also those not released), and before anything else
// finalizes the handle's statements. The cache locks with the handle's own mutex (a
// serialized handle's is recursive), so callers that hold that mutex while stepping or
// releasing cannot deadlock with it.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "sql/jet_sql.h"

namespace vorn::provider {
// What the rowset layer knows of a statement's result columns (provider/command).
struct ResultDescription;
}  // namespace vorn::provider

namespace vorn::provider::sql {

class JetConnection;

class JetStatementCache {
  public:
    // Registers the Jet functions on db when that was not done yet. A capacity of 0 keeps
    // nothing: every Acquire translates and prepares, every Release finalizes.
    explicit JetStatementCache(sqlite3* db, size_t capacity = 64);
    ~JetStatementCache();
    JetStatementCache(const JetStatementCache&) = delete;
    JetStatementCache& operator=(const JetStatementCache&) = delete;

    // What the cache keeps with a statement from Acquire: its translation, and a slot in
    // which the rowset layer keeps the description of the statement's result columns, so
    // that running the statement again does not describe them again. The slot lives as
    // long as the statement; whoever fills it must tell a stale description from a current
    // one (SQLite re-prepares a statement after a schema change). Both pointers stay valid
    // until the statement is released; both are null for a statement not from this cache.
    struct Kept {
        const TranslationResult* translation = nullptr;
        std::shared_ptr<const ResultDescription>* description = nullptr;
    };

    // A prepared statement for the host's SQL, reset and without bindings; null on failure
    // with *error filled (translation errors with SQLSTATE and position; SQLite's refusal
    // with sqliteCode set, db's error message describing it). *kept, when given, receives
    // what the cache keeps with the statement.
    sqlite3_stmt* Acquire(const std::wstring& hostSql, TranslationResult* error,
                          Kept* kept = nullptr);

    // Steps a statement from Acquire: sqlite3_step, or for a statement that runs as a
    // script the whole script (SQLITE_DONE or the error). After the last step, records
    // @@IDENTITY and schema changes.
    int Step(sqlite3_stmt* stmt);

    // Gives a statement from Acquire back (reset, bindings cleared, kept for reuse). False
    // (and nothing done) for a statement that is not from this cache.
    bool Release(sqlite3_stmt* stmt);

    // The translation a statement came from (its kind, whether it changes the schema), or
    // null for a statement that is not from this cache.
    const TranslationResult* TranslationOf(sqlite3_stmt* stmt) const;

    // What the cache keeps with a statement from Acquire (see Kept).
    Kept KeptWith(sqlite3_stmt* stmt);

    // Finalizes every statement not in use; those in use go when released.
    void Clear();
    size_t Size() const;

  private:
    struct Entry {
        std::wstring key;
        TranslationResult translation;
        sqlite3_stmt* stmt = nullptr;
        bool inUse = false;
        bool cached = false;  // in the LRU list (else finalized on release)
        uint64_t generation = 0;
        int64_t schemaVersion = -1;
        sqlite3_stmt* identityReader = nullptr;                // reads @@IDENTITY after an INSERT
        std::shared_ptr<const ResultDescription> description;  // see Kept
        std::list<Entry*>::iterator lru;
        // A crosstab whose columns come from its data: the statement made for the values
        // found, and a statement held open from before they were read until the release,
        // which keeps the read transaction (one snapshot of the data) for both.
        std::string pivotSql;
        sqlite3_stmt* snapshot = nullptr;
    };

    bool Current(const Entry& e);
    // Starts the snapshot of a crosstab and makes its statement's text; false with *error.
    bool PivotText(const TranslationResult& t, sqlite3_stmt** snapshot, std::string* sql,
                   TranslationResult* error);
    void Drop(Entry* e);  // out of the LRU; finalized now or on release
    void Evict();
    void Finished(Entry* e);
    static void Finalize(Entry* e);

    sqlite3* db_;
    JetConnection* conn_;
    size_t capacity_;
    // The handle's mutex (null for a handle opened without one: then a mutex of our own).
    sqlite3_mutex* dbMutex_;
    mutable std::recursive_mutex ownMutex_;
    class Lock;
    std::list<Entry*> lru_;  // front: most recently used
    std::unordered_map<std::wstring, Entry*> byKey_;
    std::unordered_map<sqlite3_stmt*, std::unique_ptr<Entry>> byStmt_;
    sqlite3_stmt* schemaVersion_ = nullptr;
};

}  // namespace vorn::provider::sql
