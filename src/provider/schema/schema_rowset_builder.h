// Makes a schema rowset out of rows computed by the provider, on the provider's own rowset
// machinery: the rows go into a table of a private temporary SQLite database (kept in
// memory while small, spilled to a temporary file by SQLite when large, deleted when the
// rowset is released), and the rowset is the result of a SELECT over that table with the
// OLE DB types of the schema rowset's columns.
//
// The schema rowset is therefore a snapshot taken when it is made: later changes to the
// database do not show in it, and it never holds a lock on the user's database.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "rowset/rowset_properties.h"
#include "vornoledb/platform/oledb.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vorn::provider::schema {

// One column of a schema rowset: its name and OLE DB type.
struct SchemaColumn {
    const char* name;
    DBTYPE type;
};

class ScratchDatabase;

class SchemaRowsetBuilder {
  public:
    // what names the rowset in error records ("the COLUMNS schema rowset"); iid is the
    // interface whose call builds it.
    SchemaRowsetBuilder(std::vector<SchemaColumn> columns, std::wstring what, REFIID iid);
    ~SchemaRowsetBuilder();
    SchemaRowsetBuilder(const SchemaRowsetBuilder&) = delete;
    SchemaRowsetBuilder& operator=(const SchemaRowsetBuilder&) = delete;

    // Opens the scratch database and its table. Posts an error record on failure.
    HRESULT Begin();

    // The values of the next row, in column order. Booleans are stored as -1 and 0.
    void Null();
    void Integer(long long value);
    void Bool(bool value);
    void Text(const std::wstring& value);
    // Text, or NULL when the text is empty.
    void TextOrNull(const std::wstring& value);
    // Ends the row begun by the values above and stores it.
    HRESULT EndRow();

    // The rowset over the stored rows, sorted by orderBy (a list of the columns' names,
    // SQL ORDER BY syntax), answering riid.
    HRESULT Finish(const std::string& orderBy, const RowsetProperties& properties,
                   IUnknown* creator, REFIID riid, IUnknown** ppRowset);

  private:
    HRESULT Fail(int rc, const std::wstring& doing);

    std::vector<SchemaColumn> columns_;
    std::wstring what_;
    IID iid_;
    std::shared_ptr<ScratchDatabase> db_;
    sqlite3_stmt* insert_ = nullptr;
    int next_ = 1;  // the parameter the next value binds
    bool inTransaction_ = false;
};

}  // namespace vorn::provider::schema
