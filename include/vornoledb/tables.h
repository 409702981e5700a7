// The tables of a data source, read from the provider's TABLES schema rowset: walked row by
// row, or listed whole.
#pragma once

#include <string>
#include <vector>

#include "vornoledb/schema_reader.h"

class VORNOLEDB_API VornOleDbTables : public VornOleDbSchemaReader {
  public:
    // One table's entry.
    struct _TypeInfo {
        std::wstring m_name;
        std::wstring m_type;
        std::wstring m_schema;
        std::wstring m_catalog;
        std::wstring m_description;
    };
    using TypeInfoList = std::vector<_TypeInfo>;

    VornOleDbTables();
    ~VornOleDbTables();

    // Opens the TABLES rowset of the connection's session. Null restrictions are no
    // restriction; the table type is given in the provider's own texts ("TABLE", "VIEW",
    // "SYSTEM TABLE" ...), and an empty type is a restriction that matches only an empty
    // type. False, with nothing recorded and an open rowset left open, for a null or
    // unconnected connection.
    bool Open(VornOleDbConnection* connection, const wchar_t* catalog, const wchar_t* schema,
              const wchar_t* tableName, const wchar_t* tableType);
    // Moves to the next table (the first after Open or a list operation).
    bool FetchNext();
    void Close();

    // Fields of the current row; true when the text is not empty.
    bool GetCatalog(std::wstring& catalog) const;
    bool GetSchema(std::wstring& schema) const;
    bool GetName(std::wstring& name) const;
    bool GetType(std::wstring& type) const;
    bool GetDescription(std::wstring& description) const;

    // Replaces the list with every row's entry; true when the list is not empty.
    bool GetList(TypeInfoList& list);
    // Appends every row's non-empty table name to the list; true whenever the reader is
    // open.
    bool GetTableList(std::vector<std::wstring>& names);

  private:
    VornOleDbTables(const VornOleDbTables&);
    VornOleDbTables& operator=(const VornOleDbTables&);
};
