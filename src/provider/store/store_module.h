// The SQLite virtual-table module "vorn_store" that presents any store's table to the
// engine, so that all of Jet SQL runs on it unchanged, and the bookkeeping of which stores
// and tables each database handle reaches.
//
// A handle reaches stores two ways:
// - its main store: the store a data source opened (a text folder, a workbook ...). Each
//   of its tables is a virtual table of the main database, under the store's own name;
//   CREATE TABLE on such a handle makes a new table of the store (CreateTableSql).
// - external stores: Jet's external-source syntax in a statement names a store and a
//   table; the table becomes a virtual table of the temporary database with a name made
//   from the source (ExternalTableName), created once and used again by later statements.
// Either way the module's transaction calls (xBegin, xSync, xCommit, xRollback and the
// savepoint calls) go to the store's table, which makes its writes whole or not at all.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/store.h"

struct sqlite3;

namespace vorn::provider::store {

// Registers the module on db (once per handle). SQLITE_OK or the failing code.
int RegisterStoreModule(sqlite3* db);

// Makes store db's main store and creates a virtual table for each of its tables. False
// with *error filled when a table cannot be opened.
bool AttachMainStore(sqlite3* db, std::shared_ptr<Store> store, StoreError* error);

// Makes a virtual table for a table of db's main store that has none yet (a file added to
// the folder after the data source opened, or one whose extension TABLES does not list).
// Nothing happens when there is no main store, the table exists, or the store has no such
// table (the statement then reports the missing table as usual).
void ReachMainTable(sqlite3* db, const std::wstring& name);

// db's main store, or null (a SQLite database, or a handle without the module).
std::shared_ptr<Store> MainStoreOf(sqlite3* db);

// The store table behind a virtual table of db (schema "main" or "temp"), or null when
// the table is not a store's. The catalog asks this for the table's type and indexes.
std::shared_ptr<StoreTable> FindStoreTable(sqlite3* db, const std::string& database,
                                           const std::wstring& name);

// The SQLite statement that creates a new table of db's main store.
std::string CreateTableSql(const std::wstring& table, const std::vector<StoreColumn>& columns);

// An external source's table as a name SQLite can use (temp."..."), its virtual table
// created when this handle has none for it yet. connect is the source's connect text
// ("Text;Database=/data/in;HDR=Yes"), database the folder or file when the statement gave
// it apart (IN '...'), table the table's name in the store. False with *error filled when
// the kind is unknown or the store or table cannot be opened.
bool ExternalTableName(sqlite3* db, const std::wstring& connect, const std::wstring& database,
                       const std::wstring& table, std::string* sqlName, std::wstring* error);

// The column declaration SQLite keeps for a store column ("TEXT(255)", "LONG" ...).
std::string DeclaredColumnType(const StoreColumn& column);

}  // namespace vorn::provider::store
