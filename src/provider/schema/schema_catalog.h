// The catalog of a SQLite database as the schema rowsets and table definitions describe
// it: its tables and views, their columns with the OLE DB type of each, and their indexes,
// primary keys included.
//
// Table types:
// - "TABLE" and "VIEW" for the user's tables and views of the main database;
// - "SYSTEM TABLE" / "SYSTEM VIEW" for the engine's own tables (sqlite_schema,
//   sqlite_sequence, sqlite_stat1 ...: every name starting with "sqlite_"), the shadow
//   tables of virtual tables, and the provider's own tables, whose names start with
//   "__vorn" (the identity table of COUNTER columns, for instance);
// - "LOCAL TEMPORARY" for the connection's temporary tables and views.
// Tables of attached databases carry the database's name as their schema; tables of the
// main and temporary databases have no catalog and no schema (NULL).
//
// Index names: an index made with CREATE INDEX has its own name. SQLite names the indexes
// of PRIMARY KEY and UNIQUE constraints sqlite_autoindex_<table>_<n>; they are reported
// under the name the DDL gave the constraint (CONSTRAINT pk_Orders PRIMARY KEY ...), and
// without one as "PrimaryKey" for the primary key (the name the engine gives it) and
// "Unique_<column>[_<column>...]" for a UNIQUE constraint. An INTEGER PRIMARY KEY column
// (the rowid) has no index of its own in SQLite; it is reported as a primary-key index all
// the same, named like any other primary key. A name already used by another index of the
// table gets "_2", "_3" ... appended.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "schema/definition_cache.h"
#include "types/column_types.h"

struct sqlite3;

namespace vorn::provider::schema {

struct CatalogTable {
    std::string database;  // SQLite's schema name: "main", "temp" or an attached name
    std::wstring name;
    std::wstring type;    // TABLE, VIEW, SYSTEM TABLE, SYSTEM VIEW, LOCAL TEMPORARY
    std::wstring schema;  // empty for main and temp (reported as NULL)
    bool isView = false;
    bool withoutRowid = false;
};

struct CatalogColumn {
    std::wstring name;
    uint32_t ordinal = 0;  // from 1, over the columns SELECT * gives
    std::string declared;  // declared type as written (UTF-8)
    ColumnType type;       // from the declared-type table, as rowsets report it
    bool nullable = true;
    bool hasDefault = false;
    std::wstring defaultText;  // the default's SQL expression as SQLite keeps it
    int keyPosition = 0;       // position in the primary key from 1, 0 when not in it
    bool rowid = false;        // INTEGER PRIMARY KEY: an alias of the rowid
    // The column numbers the rows itself: a COUNTER column made by Jet DDL (seed and step
    // as the dialect records them), or the rowid, which SQLite numbers from 1 in steps of
    // 1 when a row comes without a value. Such a column is never NULL.
    bool identity = false;
    long long seed = 0;
    long long step = 1;
};

struct CatalogIndexColumn {
    bool named = true;  // false for an expression
    std::wstring name;
    bool descending = false;
};

struct CatalogIndex {
    std::wstring name;
    bool primaryKey = false;
    bool unique = false;
    bool clustered = false;  // the table's rows are ordered by it (rowid, WITHOUT ROWID key)
    bool refusesNull = false;
    bool partial = false;
    bool constraint = false;  // made for a PRIMARY KEY or UNIQUE constraint
    std::wstring condition;   // WHERE of a partial index
    std::vector<CatalogIndexColumn> columns;
};

// Every table and view, in no particular order; with a name, at least those of that name
// (letter case ignored), looked up directly when SQLite can. Returns SQLITE_OK or the
// failing code.
int ListTables(sqlite3* db, std::vector<CatalogTable>* tables, const std::wstring* name = nullptr);

// The table or view of that name, letter case ignored (main database first, then the
// temporary one, then attached ones). *found tells whether there is one.
int FindTable(sqlite3* db, const std::wstring& name, CatalogTable* table, bool* found);

// The columns of a table in ordinal order. A column declared without a usable type takes
// the type of its value in the first row of SELECT *, as rowsets do.
int ReadColumns(sqlite3* db, const CatalogTable& table, std::vector<CatalogColumn>* columns);

// The indexes of a table (a view has none), each with its key columns in order.
int ReadIndexes(sqlite3* db, const DefinitionTexts& texts, const CatalogTable& table,
                const std::vector<CatalogColumn>& columns, std::vector<CatalogIndex>* indexes);

struct CatalogCheck {
    std::wstring name;  // empty when the DDL gave none
    std::wstring text;  // the condition as written
};

// The CHECK constraints of a table, in the order they are written.
int ReadChecks(const DefinitionTexts& texts, const CatalogTable& table,
               std::vector<CatalogCheck>* checks);

struct CatalogForeignKey {
    std::wstring referencedTable;
    std::vector<std::wstring> columns;            // of this table, in key order
    std::vector<std::wstring> referencedColumns;  // of the referenced table
    std::string onUpdate, onDelete, match;        // as SQLite reports them ("NO ACTION" ...)
};

// The foreign keys of a table. A key that names no referenced columns refers to the
// referenced table's primary key, whose columns it is given.
int ReadForeignKeys(sqlite3* db, const CatalogTable& table, std::vector<CatalogForeignKey>* keys);

// Reads of the catalog made while one of these lives see one state of the database, even
// while other connections change it: it holds a savepoint (nested in the session's own
// transaction when there is one), released when it goes.
class CatalogSnapshot {
  public:
    explicit CatalogSnapshot(sqlite3* db);
    ~CatalogSnapshot();
    CatalogSnapshot(const CatalogSnapshot&) = delete;
    CatalogSnapshot& operator=(const CatalogSnapshot&) = delete;

  private:
    sqlite3* db_;
    bool held_;
};

// Whether two names are the same without regard to letter case (the runtime's case rules,
// which cover at least the ASCII letters as SQLite's own name lookup does).
bool SameName(const std::wstring& a, const std::wstring& b);

}  // namespace vorn::provider::schema
