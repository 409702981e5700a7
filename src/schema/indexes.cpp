// The INDEXES schema rowset reader.
#include "vornoledb/indexes.h"

#include <algorithm>

namespace {

// The bound columns of INDEXES; the field numbers are positions in this list.
enum IndexField : size_t {
    kTableCatalog,
    kTableSchema,
    kTableName,
    kIndexCatalog,
    kIndexSchema,
    kIndexName,
    kPrimaryKey,
    kColumnName = 17,
};

const VornOleDbSchemaReader::ColumnBinding kIndexColumns[] = {
    {1, DBTYPE_WSTR},   // TABLE_CATALOG
    {2, DBTYPE_WSTR},   // TABLE_SCHEMA
    {3, DBTYPE_WSTR},   // TABLE_NAME
    {4, DBTYPE_WSTR},   // INDEX_CATALOG
    {5, DBTYPE_WSTR},   // INDEX_SCHEMA
    {6, DBTYPE_WSTR},   // INDEX_NAME
    {7, DBTYPE_BOOL},   // PRIMARY_KEY
    {8, DBTYPE_BOOL},   // UNIQUE
    {9, DBTYPE_BOOL},   // CLUSTERED
    {10, DBTYPE_UI2},   // TYPE
    {11, DBTYPE_I4},    // FILL_FACTOR
    {12, DBTYPE_I4},    // INITIAL_SIZE
    {13, DBTYPE_I4},    // NULLS
    {14, DBTYPE_BOOL},  // SORT_BOOKMARKS
    {15, DBTYPE_BOOL},  // AUTO_UPDATE
    {16, DBTYPE_I4},    // NULL_COLLATION
    {17, DBTYPE_UI4},   // ORDINAL_POSITION
    {18, DBTYPE_WSTR},  // COLUMN_NAME
    {19, DBTYPE_GUID},  // COLUMN_GUID
    {20, DBTYPE_UI4},   // COLUMN_PROPID
    {21, DBTYPE_I2},    // COLLATION
    {22, DBTYPE_I4},    // CARDINALITY
    {23, DBTYPE_I4},    // PAGES
    {25, DBTYPE_WSTR},  // INTEGRATED, as text
};

}  // namespace

VornOleDbIndexes::VornOleDbIndexes() = default;

VornOleDbIndexes::~VornOleDbIndexes() {
    Close();
}

bool VornOleDbIndexes::Open(VornOleDbConnection* connection, const wchar_t* catalog,
                            const wchar_t* schema, const wchar_t* tableName,
                            const wchar_t* indexName) {
    if (!connection || !connection->IsConnected())
        return false;
    // TABLE_CATALOG, TABLE_SCHEMA, INDEX_NAME, TYPE (never set), TABLE_NAME.
    const wchar_t* restrictions[5] = {catalog, schema, indexName, nullptr, tableName};
    return OpenSchema(connection, DBSCHEMA_INDEXES, restrictions, 5, kIndexColumns,
                      sizeof kIndexColumns / sizeof kIndexColumns[0]);
}

bool VornOleDbIndexes::FetchNext() {
    return MoveNextUnrecorded();
}

void VornOleDbIndexes::Close() {
    CloseSchema();
}

bool VornOleDbIndexes::GetCatalog(std::wstring& catalog) const {
    return TextField(kIndexCatalog, catalog);
}
bool VornOleDbIndexes::GetSchema(std::wstring& schema) const {
    return TextField(kIndexSchema, schema);
}
bool VornOleDbIndexes::GetName(std::wstring& name) const {
    return TextField(kIndexName, name);
}
bool VornOleDbIndexes::GetTableCatalog(std::wstring& catalog) const {
    return TextField(kTableCatalog, catalog);
}
bool VornOleDbIndexes::GetTableSchema(std::wstring& schema) const {
    return TextField(kTableSchema, schema);
}
bool VornOleDbIndexes::GetTableName(std::wstring& name) const {
    return TextField(kTableName, name);
}
bool VornOleDbIndexes::GetColumnName(std::wstring& name) const {
    return TextField(kColumnName, name);
}

bool VornOleDbIndexes::GetIndexList(std::vector<std::wstring>& names, bool includePrimaryKeys) {
    if (!HasState())
        return false;
    RequestRestart();
    std::wstring name;
    while (FetchNext()) {
        // Any non-zero value marks a primary key.
        if (Field<VARIANT_BOOL>(kPrimaryKey) != 0 && !includePrimaryKeys)
            continue;
        TextField(kIndexName, name);
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    return true;
}
