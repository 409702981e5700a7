// Makes a schema rowset out of rows computed by a provider, on the shared rowset machinery:
// the rows go into a row store of their own (kept in memory while small, spilled to an
// unlinked temporary file when large), are sorted through an index of row numbers, and the
// rowset reads them in that order with the OLE DB types of the schema rowset's columns.
//
// The schema rowset is therefore a snapshot taken when it is made: later changes to the
// database do not show in it, and it never holds a lock on the user's database.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "rowset/row_codec.h"
#include "rowset/row_store.h"
#include "rowset/rowset_properties.h"
#include "vornoledb/platform/oledb.h"

namespace vorn::provider::schema {

// One column of a schema rowset: its name and OLE DB type.
struct SchemaColumn {
    const char* name;
    DBTYPE type;
};

class SchemaRowsetBuilder {
  public:
    // what names the rowset in error records ("the COLUMNS schema rowset"); iid is the
    // interface whose call builds it.
    SchemaRowsetBuilder(std::vector<SchemaColumn> columns, std::wstring what, REFIID iid);
    ~SchemaRowsetBuilder();
    SchemaRowsetBuilder(const SchemaRowsetBuilder&) = delete;
    SchemaRowsetBuilder& operator=(const SchemaRowsetBuilder&) = delete;

    // Prepares the store of the rows. Posts an error record on failure.
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

    // The rowset over the stored rows, sorted by orderBy (the columns' names separated by
    // commas, a name optionally in double quotes and followed by COLLATE NOCASE for a
    // comparison of text without regard to ASCII letter case; NULL sorts first, numbers
    // before text), answering riid.
    HRESULT Finish(const std::string& orderBy, const RowsetProperties& properties,
                   IUnknown* creator, REFIID riid, IUnknown** ppRowset);

  private:
    void Add();

    std::vector<SchemaColumn> columns_;
    std::wstring what_;
    IID iid_;
    std::unique_ptr<RowStore> store_;
    RowEncoder encoder_;
    std::vector<std::string> texts_;  // the UTF-8 text of the row being built
    size_t added_ = 0;                // values of the row being built
};

}  // namespace vorn::provider::schema
