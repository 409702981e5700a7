// Translated, prepared statements of one SQLite handle, kept by the host's text.
#include "sql/jet_statement_cache.h"

#include "sql/jet_connection.h"
#include "sql/jet_translator.h"
#include "sqlite_errors.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::sql {

class JetStatementCache::Lock {
  public:
    explicit Lock(const JetStatementCache& c) : c_(c) {
        if (c_.dbMutex_)
            sqlite3_mutex_enter(c_.dbMutex_);
        else
            c_.ownMutex_.lock();
    }
    ~Lock() {
        if (c_.dbMutex_)
            sqlite3_mutex_leave(c_.dbMutex_);
        else
            c_.ownMutex_.unlock();
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

  private:
    const JetStatementCache& c_;
};

JetStatementCache::JetStatementCache(sqlite3* db, size_t capacity)
    : db_(db), conn_(nullptr), capacity_(capacity), dbMutex_(sqlite3_db_mutex(db)) {
    RegisterJetFunctions(db_);
    conn_ = JetConnection::Find(db_);
}

void JetStatementCache::Finalize(Entry* e) {
    sqlite3_finalize(e->identityReader);
    e->identityReader = nullptr;
    sqlite3_finalize(e->snapshot);
    e->snapshot = nullptr;
    sqlite3_finalize(e->stmt);
}

namespace {

// The failure of a SQLite call as a translation error.
void SqliteError(sqlite3* db, int rc, TranslationResult* error) {
    if (!error)
        return;
    const char* message = sqlite3_errmsg(db);
    *error = TranslationResult();
    error->ok = false;
    error->sqliteCode = rc == SQLITE_OK ? SQLITE_ERROR : rc;
    error->message = Utf8ToWide(message);
    error->sqlState = ClassifySqliteError(error->sqliteCode, message).sqlState;
}

}  // namespace

bool JetStatementCache::PivotText(const TranslationResult& t, sqlite3_stmt** snapshot,
                                  std::string* sql, TranslationResult* error) {
    // A statement stepped to its first row and left there holds the read transaction: the
    // values read now and the rows read later come from one state of the data.
    if (!*snapshot &&
        sqlite3_prepare_v3(db_, "SELECT 1 FROM main.sqlite_schema UNION ALL SELECT 1", -1,
                           SQLITE_PREPARE_PERSISTENT, snapshot, nullptr) != SQLITE_OK) {
        SqliteError(db_, sqlite3_errcode(db_), error);
        sqlite3_finalize(*snapshot);
        *snapshot = nullptr;
        return false;
    }
    const int stepped = sqlite3_step(*snapshot);
    if (stepped != SQLITE_ROW) {
        SqliteError(db_, stepped, error);
        sqlite3_reset(*snapshot);
        return false;
    }
    const int rc = BuildPivotStatement(db_, *t.pivot, sql);
    if (rc != SQLITE_OK) {
        SqliteError(db_, rc, error);
        sqlite3_reset(*snapshot);
        return false;
    }
    return true;
}

JetStatementCache::~JetStatementCache() {
    Lock lock(*this);
    for (auto& kv : byStmt_)
        Finalize(kv.second.get());
    byStmt_.clear();
    byKey_.clear();
    lru_.clear();
    sqlite3_finalize(schemaVersion_);
}

bool JetStatementCache::Current(const Entry& e) {
    if (!e.translation.dependsOnSchema)
        return true;
    if (conn_ && conn_->Generation() != e.generation)
        return false;
    if (!schemaVersion_ &&
        sqlite3_prepare_v3(db_, "PRAGMA main.schema_version", -1, SQLITE_PREPARE_PERSISTENT,
                           &schemaVersion_, nullptr) != SQLITE_OK) {
        sqlite3_finalize(schemaVersion_);
        schemaVersion_ = nullptr;
        return false;
    }
    int64_t version = -1;
    if (sqlite3_step(schemaVersion_) == SQLITE_ROW)
        version = sqlite3_column_int64(schemaVersion_, 0);
    sqlite3_reset(schemaVersion_);
    return version == e.schemaVersion && version >= 0;
}

void JetStatementCache::Drop(Entry* e) {
    if (e->cached) {
        lru_.erase(e->lru);
        byKey_.erase(e->key);
        e->cached = false;
    }
    if (!e->inUse) {
        sqlite3_stmt* stmt = e->stmt;
        Finalize(e);
        byStmt_.erase(stmt);  // destroys e
    }
}

void JetStatementCache::Evict() {
    auto it = lru_.end();
    while (lru_.size() > capacity_ && it != lru_.begin()) {
        --it;
        Entry* e = *it;
        if (e->inUse)
            continue;
        it = std::next(it);
        Drop(e);
    }
}

sqlite3_stmt* JetStatementCache::Acquire(const std::wstring& hostSql, TranslationResult* error,
                                         Kept* kept) {
    Lock lock(*this);
    if (kept)
        *kept = Kept();
    bool shared = false;  // the cached statement for this text is in use: make another
    // With no capacity nothing is kept: every statement is translated and prepared anew.
    if (capacity_ == 0)
        shared = true;
    sqlite3_stmt* snapshot = nullptr;
    std::string pivotSql;
    std::unique_ptr<TranslationResult> translated;  // a crosstab's, kept for new columns
    const auto found = byKey_.find(hostSql);
    if (found != byKey_.end()) {
        Entry* e = found->second;
        if (e->inUse) {
            shared = true;
        } else if (Current(*e)) {
            if (e->translation.pivot) {
                // The same columns as last time keep the prepared statement.
                if (!PivotText(e->translation, &e->snapshot, &pivotSql, error))
                    return nullptr;
                if (pivotSql != e->pivotSql) {
                    snapshot = e->snapshot;
                    e->snapshot = nullptr;
                    translated = std::make_unique<TranslationResult>(e->translation);
                    Drop(e);
                    e = nullptr;
                }
            }
            if (e) {
                e->inUse = true;
                lru_.splice(lru_.begin(), lru_, e->lru);
                if (kept)
                    *kept = Kept{&e->translation, &e->description};
                return e->stmt;
            }
        } else {
            Drop(e);
        }
    }
    auto entry = std::make_unique<Entry>();
    entry->key = hostSql;
    entry->generation = conn_ ? conn_->Generation() : 0;
    entry->translation = translated ? std::move(*translated) : TranslateJetSql(db_, hostSql);
    if (!entry->translation.ok) {
        if (error)
            *error = std::move(entry->translation);
        sqlite3_finalize(snapshot);
        return nullptr;
    }
    if (entry->translation.dependsOnSchema)
        entry->schemaVersion = ReadSchemaVersion(db_);
    entry->snapshot = snapshot;
    if (entry->translation.pivot && pivotSql.empty() &&
        !PivotText(entry->translation, &entry->snapshot, &pivotSql, error)) {
        Finalize(entry.get());
        return nullptr;
    }
    entry->pivotSql = pivotSql;
    const std::string& sql = entry->translation.pivot ? pivotSql : entry->translation.sql;
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v3(db_, sql.c_str(), int(sql.size()),
                                      shared ? 0 : SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK || !stmt) {
        if (rc == SQLITE_OK && error) {
            *error = TranslationResult();
            error->ok = false;
            error->sqliteCode = SQLITE_ERROR;
            error->message = L"the statement is empty";
            error->sqlState = L"42000";
        } else {
            ExplainPrepareFailure(db_, rc);
            SqliteError(db_, rc, error);
        }
        sqlite3_finalize(stmt);
        Finalize(entry.get());
        return nullptr;
    }
    entry->stmt = stmt;
    entry->inUse = true;
    Entry* e = entry.get();
    byStmt_.emplace(stmt, std::move(entry));
    if (!shared) {
        lru_.push_front(e);
        e->lru = lru_.begin();
        e->cached = true;
        byKey_[hostSql] = e;
        Evict();
    }
    if (kept)
        *kept = Kept{&e->translation, &e->description};
    return stmt;
}

void JetStatementCache::Finished(Entry* e) {
    const TranslationResult& t = e->translation;
    if (t.changesSchema && conn_)
        conn_->SchemaChanged();
    if (t.identityTable.empty() || !conn_ || sqlite3_changes(db_) <= 0)
        return;
    // @@IDENTITY: the counter of the last row inserted, read with a statement kept for it.
    if (!e->identityReader) {
        const std::string sql = "SELECT " + JetTranslator::QuoteName(t.identityColumn) + " FROM " +
                                JetTranslator::QuoteName(t.identityTable) + " WHERE rowid = ?1";
        if (sqlite3_prepare_v3(db_, sql.c_str(), int(sql.size()), SQLITE_PREPARE_PERSISTENT,
                               &e->identityReader, nullptr) != SQLITE_OK) {
            sqlite3_finalize(e->identityReader);
            e->identityReader = nullptr;
            return;
        }
    }
    sqlite3_bind_int64(e->identityReader, 1, sqlite3_last_insert_rowid(db_));
    if (sqlite3_step(e->identityReader) == SQLITE_ROW &&
        sqlite3_column_type(e->identityReader, 0) == SQLITE_INTEGER)
        conn_->SetLastIdentity(sqlite3_column_int64(e->identityReader, 0));
    sqlite3_reset(e->identityReader);
}

int JetStatementCache::Step(sqlite3_stmt* stmt) {
    Entry* e = nullptr;
    {
        Lock lock(*this);
        const auto it = byStmt_.find(stmt);
        if (it != byStmt_.end())
            e = it->second.get();
    }
    if (!e)
        return sqlite3_step(stmt);
    int rc;
    if (!e->translation.script.empty())
        rc = RunJetScript(db_, e->translation.script, stmt, e->translation.rebuiltTable);
    else
        rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE)
        Finished(e);
    return rc;
}

bool JetStatementCache::Release(sqlite3_stmt* stmt) {
    if (!stmt)
        return false;
    Lock lock(*this);
    const auto it = byStmt_.find(stmt);
    if (it == byStmt_.end())
        return false;
    Entry* e = it->second.get();
    sqlite3_reset(stmt);
    if (e->snapshot)
        sqlite3_reset(e->snapshot);  // the crosstab's read transaction ends with it
    if (sqlite3_bind_parameter_count(stmt) > 0)
        sqlite3_clear_bindings(stmt);
    e->inUse = false;
    if (!e->cached) {
        Finalize(e);
        byStmt_.erase(it);
        return true;
    }
    Evict();
    return true;
}

const TranslationResult* JetStatementCache::TranslationOf(sqlite3_stmt* stmt) const {
    Lock lock(*this);
    const auto it = byStmt_.find(stmt);
    return it == byStmt_.end() ? nullptr : &it->second->translation;
}

JetStatementCache::Kept JetStatementCache::KeptWith(sqlite3_stmt* stmt) {
    Lock lock(*this);
    const auto it = byStmt_.find(stmt);
    if (it == byStmt_.end())
        return Kept();
    return Kept{&it->second->translation, &it->second->description};
}

void JetStatementCache::Clear() {
    Lock lock(*this);
    while (!lru_.empty())
        Drop(lru_.back());
}

size_t JetStatementCache::Size() const {
    Lock lock(*this);
    return lru_.size();
}

}  // namespace vorn::provider::sql
