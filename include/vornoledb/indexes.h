// The indexes of a data source's tables, read from the provider's INDEXES schema rowset:
// one row per column of each index.
#pragma once

#include <string>
#include <vector>

#include "vornoledb/schema_reader.h"

class VORNOLEDB_API VornOleDbIndexes : public VornOleDbSchemaReader {
  public:
    VornOleDbIndexes();
    ~VornOleDbIndexes();

    // Opens the INDEXES rowset. The table name restricts TABLE_NAME and the index name
    // INDEX_NAME; null restrictions are no restriction.
    bool Open(VornOleDbConnection* connection, const wchar_t* catalog, const wchar_t* schema,
              const wchar_t* tableName, const wchar_t* indexName);
    bool FetchNext();
    void Close();

    // The index of the current row.
    bool GetCatalog(std::wstring& catalog) const;
    bool GetSchema(std::wstring& schema) const;
    bool GetName(std::wstring& name) const;
    // The table the index belongs to.
    bool GetTableCatalog(std::wstring& catalog) const;
    bool GetTableSchema(std::wstring& schema) const;
    bool GetTableName(std::wstring& name) const;
    // The indexed column of the current row.
    bool GetColumnName(std::wstring& name) const;

    // Appends each index name not yet in the list (compared with letter case), primary keys
    // only when asked for; true whenever the reader is open.
    bool GetIndexList(std::vector<std::wstring>& names, bool includePrimaryKeys);

  private:
    VornOleDbIndexes(const VornOleDbIndexes&);
    VornOleDbIndexes& operator=(const VornOleDbIndexes&);
};
