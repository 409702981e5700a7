// CREATE statements kept per version of the schema.
#include "schema/definition_cache.h"

#include <sqlite3.h>

#include <mutex>
#include <vector>

#include "library_end.h"
#include "text_helpers.h"

namespace vorn::provider::schema {
namespace {

std::string Key(const std::string& database, const std::string& type, const std::string& name) {
    return database + '\0' + type + '\0' + name;
}

int ReadVersion(sqlite3* db, const char* database, int64_t* version) {
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v2(db, (std::string("PRAGMA ") + database + ".schema_version").c_str(),
                                -1, &s, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(s);
        *version = rc == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
        rc = rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    sqlite3_finalize(s);
    return rc;
}

struct Slot {
    std::weak_ptr<Database> owner;
    std::shared_ptr<const DefinitionTexts> texts;
};

struct Cache {
    std::mutex mutex;
    std::map<const Database*, Slot> slots;
};

// Made on first use, released at library end (see platform/library_end.h).
Cache& TheCache() {
    return vorn::platform::LibraryObject<Cache>::Get();
}

}  // namespace

int DefinitionTexts::Current(const std::shared_ptr<Database>& db, bool kept,
                             std::shared_ptr<const DefinitionTexts>* out) {
    sqlite3* h = db->Handle();
    int64_t mainVersion = -1, tempVersion = -1;
    int rc = ReadVersion(h, "main", &mainVersion);
    if (rc == SQLITE_OK)
        rc = ReadVersion(h, "temp", &tempVersion);
    if (rc != SQLITE_OK)
        return rc;
    if (kept) {
        Cache& cache = TheCache();
        std::lock_guard<std::mutex> lock(cache.mutex);
        auto& slots = cache.slots;
        auto it = slots.find(db.get());
        // The owner check tells a database apart from a later one at the same address.
        if (it != slots.end() && it->second.owner.lock() == db &&
            it->second.texts->mainVersion_ == mainVersion &&
            it->second.texts->tempVersion_ == tempVersion) {
            *out = it->second.texts;
            return SQLITE_OK;
        }
    }
    auto texts = std::make_shared<DefinitionTexts>();
    texts->db_ = h;
    texts->mainVersion_ = mainVersion;
    texts->tempVersion_ = tempVersion;
    sqlite3_stmt* s = nullptr;
    rc = sqlite3_prepare_v2(h,
                            "SELECT 'main', type, name, sql FROM main.sqlite_schema "
                            "WHERE sql IS NOT NULL UNION ALL "
                            "SELECT 'temp', type, name, sql FROM temp.sqlite_schema "
                            "WHERE sql IS NOT NULL",
                            -1, &s, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(s)) == SQLITE_ROW) {
        auto text = [&](int column) {
            const unsigned char* p = sqlite3_column_text(s, column);
            return p ? std::string(reinterpret_cast<const char*>(p),
                                   static_cast<size_t>(sqlite3_column_bytes(s, column)))
                     : std::string();
        };
        texts->texts_[Key(text(0), text(1), text(2))] = text(3);
        rc = SQLITE_OK;
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE)
        return rc;
    *out = texts;
    if (!kept)
        return SQLITE_OK;
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> lock(cache.mutex);
    auto& slots = cache.slots;
    // Databases that have closed leave their slots behind; they go now.
    for (auto it = slots.begin(); it != slots.end();)
        it = it->second.owner.expired() ? slots.erase(it) : std::next(it);
    slots[db.get()] = Slot{db, texts};
    return SQLITE_OK;
}

int DefinitionTexts::Find(const std::string& database, const char* type, const std::string& name,
                          std::string* sql) const {
    sql->clear();
    if (database == "main" || database == "temp") {
        auto it = texts_.find(Key(database, type, name));
        if (it != texts_.end())
            *sql = it->second;
        return SQLITE_OK;
    }
    sqlite3_stmt* s = nullptr;
    int rc = sqlite3_prepare_v2(db_,
                                ("SELECT sql FROM " + QuotedSqlName(database) +
                                 ".sqlite_schema WHERE type = ?1 AND name = ?2")
                                    .c_str(),
                                -1, &s, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_text(s, 1, type, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(s);
        if (rc == SQLITE_ROW && sqlite3_column_text(s, 0))
            *sql = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        rc = rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    sqlite3_finalize(s);
    return rc;
}

}  // namespace vorn::provider::schema
