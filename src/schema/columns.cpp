// The COLUMNS schema rowset reader, with identity data from the table definition.
#include "vornoledb/columns.h"

#include <cmath>
#include <cwctype>

namespace {

// The bound columns of COLUMNS (all 28, in ordinal order): field n is ordinal n + 1.
enum ColumnField : size_t {
    kCatalog = 0,
    kSchema = 1,
    kTableName = 2,
    kName = 3,
    kOrdinal = 6,
    kHasDefault = 7,
    kDefault = 8,
    kFlags = 9,
    kNullable = 10,
    kDataType = 11,
    kMaxLength = 13,
    kOctetLength = 14,
    kNumericPrecision = 15,
    kNumericScale = 16,
    kDateTimePrecision = 17,
    kDescription = 27,
};

const VornOleDbSchemaReader::ColumnBinding kColumnColumns[] = {
    {1, DBTYPE_WSTR},   // TABLE_CATALOG
    {2, DBTYPE_WSTR},   // TABLE_SCHEMA
    {3, DBTYPE_WSTR},   // TABLE_NAME
    {4, DBTYPE_WSTR},   // COLUMN_NAME
    {5, DBTYPE_GUID},   // COLUMN_GUID
    {6, DBTYPE_UI4},    // COLUMN_PROPID
    {7, DBTYPE_UI4},    // ORDINAL_POSITION
    {8, DBTYPE_BOOL},   // COLUMN_HASDEFAULT
    {9, DBTYPE_WSTR},   // COLUMN_DEFAULT
    {10, DBTYPE_UI4},   // COLUMN_FLAGS
    {11, DBTYPE_BOOL},  // IS_NULLABLE
    {12, DBTYPE_UI2},   // DATA_TYPE
    {13, DBTYPE_GUID},  // TYPE_GUID
    {14, DBTYPE_UI4},   // CHARACTER_MAXIMUM_LENGTH
    {15, DBTYPE_UI4},   // CHARACTER_OCTET_LENGTH
    {16, DBTYPE_UI2},   // NUMERIC_PRECISION
    {17, DBTYPE_I2},    // NUMERIC_SCALE
    {18, DBTYPE_UI4},   // DATETIME_PRECISION
    {19, DBTYPE_WSTR},  // CHARACTER_SET_CATALOG
    {20, DBTYPE_WSTR},  // CHARACTER_SET_SCHEMA
    {21, DBTYPE_WSTR},  // CHARACTER_SET_NAME
    {22, DBTYPE_WSTR},  // COLLATION_CATALOG
    {23, DBTYPE_WSTR},  // COLLATION_SCHEMA
    {24, DBTYPE_WSTR},  // COLLATION_NAME
    {25, DBTYPE_WSTR},  // DOMAIN_CATALOG
    {26, DBTYPE_WSTR},  // DOMAIN_SCHEMA
    {27, DBTYPE_WSTR},  // DOMAIN_NAME
    {28, DBTYPE_WSTR},  // DESCRIPTION
};

constexpr uint32_t kNoOrdinal = 0xFFFFFFFFu;

// A property value read as a 32-bit integer; false (value untouched) for a value that is
// not a number. Wider integers keep their low 32 bits.
bool ReadInt32(const VARIANT& v, int32_t* value) {
    switch (v.vt) {
        case VT_I1:
            *value = v.cVal;
            return true;
        case VT_UI1:
            *value = v.bVal;
            return true;
        case VT_I2:
            *value = v.iVal;
            return true;
        case VT_UI2:
            *value = v.uiVal;
            return true;
        case VT_I4:
        case VT_INT:
            *value = v.lVal;
            return true;
        case VT_UI4:
        case VT_UINT:
        case VT_I8:
        case VT_UI8:
            *value = static_cast<int32_t>(static_cast<uint32_t>(v.ullVal & 0xFFFFFFFFu));
            return true;
        case VT_R4:
        case VT_R8: {
            const double d = v.vt == VT_R4 ? v.fltVal : v.dblVal;
            if (!std::isfinite(d) || d < -2147483648.0 || d > 2147483647.0)
                return false;
            *value = static_cast<int32_t>(d);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace

VornOleDbColumns::VornOleDbColumns() = default;

VornOleDbColumns::~VornOleDbColumns() {
    Close();
}

bool VornOleDbColumns::Open(VornOleDbConnection* connection, const wchar_t* catalog,
                            const wchar_t* schema, const wchar_t* tableName,
                            const wchar_t* columnName, bool readIdentity) {
    if (!connection || !connection->IsConnected() || !tableName)
        return false;
    m_identity.clear();
    // The table name goes upper-cased, by the runtime's rules for the current locale.
    std::wstring upper(tableName);
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    const wchar_t* restrictions[4] = {catalog, schema, upper.c_str(), columnName};
    const bool opened = OpenSchema(connection, DBSCHEMA_COLUMNS, restrictions, 4, kColumnColumns,
                                   sizeof kColumnColumns / sizeof kColumnColumns[0]);
    if (!readIdentity || !opened)
        return opened;
    // Not recorded: the rowset is open and readable whatever happens here.
    return SUCCEEDED(static_cast<HRESULT>(GetExtendedData(connection, tableName)));
}

bool VornOleDbColumns::FetchNext() {
    HRESULT status = S_OK;
    if (!MoveNext(&status))
        return false;
    return CheckResult(status);
}

void VornOleDbColumns::Close() {
    CloseSchema();
}

long VornOleDbColumns::GetExtendedData(VornOleDbConnection* connection, const wchar_t* tableName) {
    if (!connection || !connection->IsConnected() || !tableName)
        return E_FAIL;
    IOpenRowset* session = connection->GetSession().Get();
    if (!session)
        return E_FAIL;
    ComPtr<ITableCreation> creation;
    HRESULT hr = session->QueryInterface(IID_ITableCreation, creation.ReleaseAndGetVoidAddress());
    if (FAILED(hr))
        return hr;
    if (!creation)
        return E_NOINTERFACE;

    std::wstring name(tableName);
    DBID table{};
    table.eKind = DBKIND_NAME;
    table.uName.pwszName = name.data();
    DBORDINAL count = 0;
    DBCOLUMNDESC* descs = nullptr;
    hr = creation->GetTableDefinition(&table, &count, &descs, nullptr, nullptr, nullptr, nullptr,
                                      nullptr);
    creation.Reset();
    if (FAILED(hr)) {
        vorn::FreeColumnDescs(descs, count);
        return hr;
    }
    for (DBORDINAL i = 0; i < count; ++i) {
        IdentityEntry entry;
        const DBCOLUMNDESC& d = descs[i];
        for (ULONG s = 0; d.rgPropertySets && s < d.cPropertySets; ++s) {
            const DBPROPSET& set = d.rgPropertySets[s];
            if (set.guidPropertySet != DBPROPSET_COLUMN || !set.rgProperties)
                continue;
            for (ULONG p = 0; p < set.cProperties; ++p) {
                const DBPROP& prop = set.rgProperties[p];
                switch (prop.dwPropertyID) {
                    case DBPROP_COL_AUTOINCREMENT:
                        entry.identity =
                            prop.vValue.vt == VT_BOOL && prop.vValue.boolVal == VARIANT_TRUE;
                        break;
                    case DBPROP_COL_SEED:
                        ReadInt32(prop.vValue, &entry.seed);
                        break;
                    case DBPROP_COL_INCREMENT:
                        ReadInt32(prop.vValue, &entry.increment);
                        break;
                    default:
                        break;
                }
            }
        }
        m_identity.push_back(entry);
    }
    vorn::FreeColumnDescs(descs, count);
    return hr;
}

bool VornOleDbColumns::GetCatalog(std::wstring& catalog) const {
    return TextField(kCatalog, catalog);
}
bool VornOleDbColumns::GetSchema(std::wstring& schema) const {
    return TextField(kSchema, schema);
}
bool VornOleDbColumns::GetTableName(std::wstring& name) const {
    return TextField(kTableName, name);
}
bool VornOleDbColumns::GetName(std::wstring& name) const {
    return TextField(kName, name);
}
bool VornOleDbColumns::GetDefault(std::wstring& value) const {
    return TextField(kDefault, value);
}
bool VornOleDbColumns::GetDescription(std::wstring& description) const {
    return TextField(kDescription, description);
}

unsigned short VornOleDbColumns::DataType() const {
    return Field<uint16_t>(kDataType);
}

bool VornOleDbColumns::IsDataType(unsigned short type) const {
    return HasState() && DataType() == type;
}

unsigned long VornOleDbColumns::OrdinalPosition() const {
    if (!HasState())
        return kNoOrdinal;
    return Field<uint32_t>(kOrdinal);
}

unsigned long VornOleDbColumns::MaxLength() const {
    return Field<uint32_t>(kMaxLength);
}

unsigned long VornOleDbColumns::NumericPrecision() const {
    return Field<uint16_t>(kNumericPrecision);
}

unsigned long VornOleDbColumns::NumericScale() const {
    return static_cast<uint32_t>(static_cast<int32_t>(Field<int16_t>(kNumericScale)));
}

unsigned long VornOleDbColumns::DateTimePrecision() const {
    return Field<uint32_t>(kDateTimePrecision);
}

unsigned long VornOleDbColumns::Precision() const {
    const uint32_t maxLength = Field<uint32_t>(kMaxLength);
    const uint32_t octets = Field<uint32_t>(kOctetLength);
    const uint32_t numeric = Field<uint16_t>(kNumericPrecision);
    const uint32_t datetime = Field<uint32_t>(kDateTimePrecision);
    switch (DataType()) {
        case DBTYPE_I1:
        case DBTYPE_UI1:
            return 1;
        case DBTYPE_I2:
        case DBTYPE_UI2:
            return 2;
        case DBTYPE_I4:
        case DBTYPE_UI4:
        case DBTYPE_HCHAPTER:
            return 4;
        case DBTYPE_I8:
        case DBTYPE_UI8:
            return 8;
        case DBTYPE_ERROR:
            return 32;
        case DBTYPE_DATE:
        case DBTYPE_DBDATE:
        case DBTYPE_DBTIME:
        case DBTYPE_DBTIMESTAMP:
            return datetime;
        case DBTYPE_BSTR:
        case DBTYPE_BYTES:
        case DBTYPE_STR:
        case DBTYPE_WSTR:
            return maxLength != 0 ? maxLength : octets;
        case DBTYPE_DECIMAL:
        case DBTYPE_NUMERIC:
        case DBTYPE_VARNUMERIC:
            return numeric;
        default:
            if (maxLength)
                return maxLength;
            if (numeric)
                return numeric;
            if (datetime)
                return datetime;
            return octets;
    }
}

unsigned long VornOleDbColumns::Flags() const {
    return Field<uint32_t>(kFlags);
}

bool VornOleDbColumns::HasDefault() const {
    return Field<VARIANT_BOOL>(kHasDefault) == VARIANT_TRUE;
}

bool VornOleDbColumns::IsNullable() const {
    return Field<VARIANT_BOOL>(kNullable) == VARIANT_TRUE;
}

const VornOleDbColumns::IdentityEntry* VornOleDbColumns::CurrentIdentity() const {
    const uint64_t count = m_identity.size();
    const unsigned long position = OrdinalPosition();
    if (count == 0 || position == 0 || position > count)
        return nullptr;
    return &m_identity[position - 1];
}

bool VornOleDbColumns::IsIdentity() const {
    const IdentityEntry* entry = CurrentIdentity();
    return entry ? entry->identity : false;
}

int VornOleDbColumns::Seed() const {
    const IdentityEntry* entry = CurrentIdentity();
    return entry ? entry->seed : -1;
}

int VornOleDbColumns::Increment() const {
    const IdentityEntry* entry = CurrentIdentity();
    return entry ? entry->increment : -1;
}
