// Identity columns: COUNTER columns as the Jet dialect records them, and the rowid.
#include "provider/schema/identity_columns.h"

#include "provider/sql/jet_sql.h"

namespace vorn::provider::schema {

IdentityFacts ReadIdentity(sqlite3* db, const CatalogTable& table, const CatalogColumn& column) {
    IdentityFacts facts;
    long long seed = 0;
    long long step = 1;
    if (!table.isView && sql::GetIdentityInfo(db, table.name, column.name, &seed, &step)) {
        facts.identity = true;
        facts.seed = seed;
        facts.step = step;
    } else if (column.rowid) {
        facts.identity = true;
        facts.seed = 1;
        facts.step = 1;
    }
    return facts;
}

}  // namespace vorn::provider::schema
