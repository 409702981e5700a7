// Ending statements of a database, whichever way they were prepared.
#include "database.h"

#include <sqlite3.h>

#include "sql/jet_statement_cache.h"

namespace vorn::provider {

void Database::FinishStatement(sqlite3_stmt* stmt) {
    if (!stmt)
        return;
    sql::JetStatementCache* cache = Statements();
    if (!cache || !cache->Release(stmt))
        sqlite3_finalize(stmt);
}

}  // namespace vorn::provider
