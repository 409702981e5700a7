// The CREATE statements of a database, which the catalog reads for constraint names,
// CHECK texts and partial-index conditions. SQLite keeps them only in sqlite_schema, which
// has no index: finding one statement reads the whole schema. So the statements of the
// main and temporary schemas are read once for each version of the two (SQLite's schema
// cookie, which every change of the schema moves, by any connection) and kept while the
// database is open; those of attached databases are read when asked for. Inside a
// transaction of the connection's own the statements are read afresh and not kept: a
// rolled-back change would leave a version number that a later change can take again.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "database.h"

struct sqlite3;

namespace vorn::provider::schema {

class DefinitionTexts {
  public:
    // The statements of db's schema as it is now; kept is false while the connection has
    // a transaction of its own open. Returns SQLITE_OK or the failing code.
    static int Current(const std::shared_ptr<Database>& db, bool kept,
                       std::shared_ptr<const DefinitionTexts>* out);

    // The statement of an object of a type ("table", "index") in a database ("main",
    // "temp" or an attached one); empty when it has none. SQLITE_OK or the failing code.
    int Find(const std::string& database, const char* type, const std::string& name,
             std::string* sql) const;

  private:
    sqlite3* db_ = nullptr;
    int64_t mainVersion_ = -1;
    int64_t tempVersion_ = -1;
    std::map<std::string, std::string> texts_;  // key: database, type and name
};

}  // namespace vorn::provider::schema
