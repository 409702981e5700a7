// The TABLES schema rowset reader.
#include "vornoledb/tables.h"

namespace {

// The bound columns of TABLES, by ordinal.
enum TableField : size_t { kCatalog, kSchema, kName, kType, kGuid, kDescription };

const VornOleDbSchemaReader::ColumnBinding kTableColumns[] = {
    {1, DBTYPE_WSTR},  // TABLE_CATALOG
    {2, DBTYPE_WSTR},  // TABLE_SCHEMA
    {3, DBTYPE_WSTR},  // TABLE_NAME
    {4, DBTYPE_WSTR},  // TABLE_TYPE
    {5, DBTYPE_GUID},  // TABLE_GUID
    {6, DBTYPE_WSTR},  // DESCRIPTION
};

}  // namespace

VornOleDbTables::VornOleDbTables() = default;

VornOleDbTables::~VornOleDbTables() {
    Close();
}

bool VornOleDbTables::Open(VornOleDbConnection* connection, const wchar_t* catalog,
                           const wchar_t* schema, const wchar_t* tableName,
                           const wchar_t* tableType) {
    if (!connection || !connection->IsConnected())
        return false;
    // The table type goes to the provider as given, whatever its length; a null type is
    // no restriction, like the other arguments.
    const wchar_t* restrictions[4] = {catalog, schema, tableName, tableType};
    return OpenSchema(connection, DBSCHEMA_TABLES, restrictions, 4, kTableColumns,
                      sizeof kTableColumns / sizeof kTableColumns[0]);
}

bool VornOleDbTables::FetchNext() {
    return MoveNextUnrecorded();
}

void VornOleDbTables::Close() {
    CloseSchema();
}

bool VornOleDbTables::GetCatalog(std::wstring& catalog) const {
    return TextField(kCatalog, catalog);
}
bool VornOleDbTables::GetSchema(std::wstring& schema) const {
    return TextField(kSchema, schema);
}
bool VornOleDbTables::GetName(std::wstring& name) const {
    return TextField(kName, name);
}
bool VornOleDbTables::GetType(std::wstring& type) const {
    return TextField(kType, type);
}
bool VornOleDbTables::GetDescription(std::wstring& description) const {
    return TextField(kDescription, description);
}

bool VornOleDbTables::GetList(TypeInfoList& list) {
    if (!HasState())
        return false;
    list.clear();
    RequestRestart();
    while (FetchNext()) {
        _TypeInfo entry;
        GetName(entry.m_name);
        GetType(entry.m_type);
        GetSchema(entry.m_schema);
        GetCatalog(entry.m_catalog);
        GetDescription(entry.m_description);
        list.push_back(std::move(entry));
    }
    return !list.empty();
}

bool VornOleDbTables::GetTableList(std::vector<std::wstring>& names) {
    if (!HasState())
        return false;
    RequestRestart();
    std::wstring name;
    while (FetchNext())
        if (GetName(name))
            names.push_back(name);
    return true;
}
