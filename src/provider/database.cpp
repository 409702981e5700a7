// Ending statements of a database, whichever way they were prepared.
#include "database.h"

#include <sqlite3.h>

#include "sql/jet_statement_cache.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider {

void Database::FinishStatement(sqlite3_stmt* stmt) {
    if (!stmt)
        return;
    sql::JetStatementCache* cache = Statements();
    if (!cache || !cache->Release(stmt))
        sqlite3_finalize(stmt);
}

std::wstring Database::DbmsName() const {
    return L"SQLite";
}

std::wstring Database::DbmsVersion() const {
    return Utf8ToWide(sqlite3_libversion());
}

std::wstring Database::CurrentCatalog() const {
    return InMemory() ? Path() : Utf8ToWide(AbsolutePathUtf8());
}

}  // namespace vorn::provider
