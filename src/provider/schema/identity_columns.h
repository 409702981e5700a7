// Which columns number their rows by themselves, with their seed and step: COUNTER
// (AUTOINCREMENT) columns made by Jet DDL, and the rowid column of a SQLite table
// (INTEGER PRIMARY KEY), which SQLite numbers from 1 in steps of 1 when a row comes
// without a value.
#pragma once

#include "provider/schema/schema_catalog.h"

namespace vorn::provider::schema {

struct IdentityFacts {
    bool identity = false;
    long long seed = 0;
    long long step = 1;
};

IdentityFacts ReadIdentity(sqlite3* db, const CatalogTable& table, const CatalogColumn& column);

}  // namespace vorn::provider::schema
