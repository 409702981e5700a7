// The contract a foreign store implements (delimited text folders, workbooks, Access files),
// so that the engine reads and writes it through one virtual-table module (store_module.h)
// and the schema rowsets, column information and data-source properties describe it.
//
// A Store is one opened source: a folder of text files, a workbook, an Access file. It
// names its tables and opens each as a StoreTable. A StoreTable describes its columns (Jet
// type, size, nullability), hands out forward cursors over its rows, and takes the writes
// the store allows; every write it refuses is refused with a text of its own. Writes run
// inside the transaction calls the module passes on (Begin ... Sync, Commit or Rollback,
// with numbered savepoints for statements inside a transaction), so a store can make a
// statement or a transaction reach its file whole or not at all.
//
// Threads: a store and its tables are used by one database handle, which SQLite
// serializes; nothing here needs locks of its own unless it shares state across handles.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sql/jet_types.h"

namespace vorn::provider::store {

// A failure a person can act on: what failed, on which file, table, column or line.
struct StoreError {
    std::wstring message;
    bool refused = false;  // a write the store does not allow (not an input/output fault)
};

// One column as the engine sees it.
struct StoreColumn {
    std::wstring name;
    sql::JetTypeSpec type;  // TEXT(n), MEMO, LONG, DOUBLE, DATETIME ...
    bool nullable = true;
    // The default as the store's file writes it (COLUMNS' COLUMN_DEFAULT), if it has one.
    bool hasDefault = false;
    std::wstring defaultText{};
};

// An index for the INDEXES schema rowset (a store without indexes reports none).
struct StoreIndex {
    std::wstring name;
    bool primaryKey = false;
    bool unique = false;
    std::vector<std::wstring> columns;
};

// A field as a cursor reads it or a write receives it. Text is UTF-8; a text or blob view
// stays valid until the cursor moves (or, for a write, until the call returns).
struct StoreValue {
    enum Kind { Null, Integer, Real, Text, Blob } kind = Null;
    int64_t integer = 0;
    double real = 0;
    std::string_view bytes;
    // For Update: the statement does not set this column, so the store keeps the field as
    // it is (a value the table reads as NULL, such as a cell of another type, survives).
    bool unchanged = false;
};

// Forward-only rows of one table.
class StoreCursor {
  public:
    virtual ~StoreCursor() = default;
    // Moves to the next row; false at the end or on failure (error filled then).
    virtual bool Next(StoreError* error) = 0;
    // The field of the current row at column (from 0). False on failure (error filled).
    virtual bool Read(int column, StoreValue* value, StoreError* error) = 0;
    // A number that tells the current row from the others of this scan.
    virtual int64_t RowId() const = 0;
};

class StoreTable {
  public:
    virtual ~StoreTable() = default;

    virtual const std::wstring& Name() const = 0;
    // The type TABLES reports: "TABLE", "VIEW", "SYSTEM TABLE", "LINK" ...
    virtual std::wstring Type() const { return L"TABLE"; }
    virtual const std::vector<StoreColumn>& Columns() const = 0;
    virtual std::vector<StoreIndex> Indexes() const { return {}; }

    // A cursor over the rows as the table holds them now (this handle's own uncommitted
    // writes included).
    virtual std::unique_ptr<StoreCursor> Open(StoreError* error) = 0;

    // Writes. Each refuses by default with its own text; a store overrides those it allows.
    virtual bool Insert(const std::vector<StoreValue>& row, StoreError* error);
    virtual bool Update(int64_t rowId, const std::vector<StoreValue>& row, StoreError* error);
    virtual bool Delete(int64_t rowId, StoreError* error);

    // The transaction of this table's writes on this handle. Begin comes before the first
    // write of a transaction; Sync makes the writes durable, then Commit ends it (Commit
    // and Rollback also come without a Begin for a table created in the transaction).
    // Savepoint n is taken before a statement inside a transaction; RollbackTo(n) undoes
    // what followed it, Release(n) keeps it. A store without writes leaves these as they
    // are.
    virtual bool Begin(StoreError*) { return true; }
    virtual bool Sync(StoreError*) { return true; }
    virtual bool Commit(StoreError*) { return true; }
    virtual bool Rollback(StoreError*) { return true; }
    virtual bool Savepoint(int, StoreError*) { return true; }
    virtual bool Release(int, StoreError*) { return true; }
    virtual bool RollbackTo(int, StoreError*) { return true; }
};

// What the data source reports of a store (DBPROPSET_DATASOURCEINFO, DBPROPSET_DATASOURCE).
struct StoreProperties {
    bool readOnly = false;     // DBPROP_DATASOURCEREADONLY
    std::wstring dbmsName;     // DBPROP_DBMSNAME ("Text", "Excel", "MS Jet")
    std::wstring dbmsVersion;  // DBPROP_DBMSVER
    std::wstring catalog;      // DBPROP_CURRENTCATALOG: the folder or file opened
    // When not empty, every statement that would change the data source (INSERT, UPDATE,
    // DELETE, SELECT ... INTO, DDL) is refused with this text before it runs.
    std::wstring changesRefused{};
};

// A saved query that the data source presents as a view: its SELECT in Jet SQL, or why it
// cannot be read (the view is listed all the same, and reading it says why).
struct StoreView {
    std::wstring name;
    std::wstring jetSql;
    std::wstring unreadable;
};

class Store {
  public:
    virtual ~Store() = default;

    virtual StoreProperties Properties() const = 0;
    // The names of the tables, as TABLES lists them.
    virtual std::vector<std::wstring> TableNames(StoreError* error) = 0;
    // Opens a table by name (letter case ignored; each store may accept other spellings of
    // a name, as the text store takes "parts.csv" for "parts#csv"). Null on failure.
    virtual std::shared_ptr<StoreTable> OpenTable(const std::wstring& name, StoreError* error) = 0;
    // The views of a data source opened on the store (none by default); each SELECT runs
    // through the Jet translator as the host's own statements do.
    virtual std::vector<StoreView> Views(StoreError*) { return {}; }
    // CREATE TABLE: makes a new table with these columns and opens it; the new table takes
    // part in the running transaction (its Commit or Rollback follows). Refused by default.
    virtual std::shared_ptr<StoreTable> CreateTable(const std::wstring& name,
                                                    const std::vector<StoreColumn>& columns,
                                                    StoreError* error);
};

// The texts of refused writes a store gives when it has no words of its own.
std::wstring DefaultRefusal(const wchar_t* operation, const std::wstring& table);

}  // namespace vorn::provider::store
