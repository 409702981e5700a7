// Schema rowsets on the fake provider for the readers' edge cases: tables shaped as the
// TABLES, COLUMNS and INDEXES rowsets, and a session that adds a scripted ITableCreation
// to the fake session (which has none).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/fake_connection.h"
#include "support/fake_provider.h"

namespace vorn::test::schema {

using fake::Cell;
using fake::MakeColumn;
using fake::Table;

inline Cell Text(const std::wstring& text) {
    return Cell::Wide(text);
}
inline Cell Bool(bool b) {
    return Cell::Of<VARIANT_BOOL>(b ? VARIANT_TRUE : VARIANT_FALSE);
}

// A TABLES rowset: catalog, schema, name, type, GUID, description (six columns, NULL
// GUIDs). Each row gives name and type; other fields come as set in the cells.
inline std::shared_ptr<Table> TablesRowset(const std::vector<std::vector<Cell>>& rows) {
    auto t = std::make_shared<Table>();
    for (const wchar_t* name : {L"TABLE_CATALOG", L"TABLE_SCHEMA", L"TABLE_NAME", L"TABLE_TYPE"})
        t->columns.push_back(MakeColumn(name, DBTYPE_WSTR, 128));
    t->columns.push_back(MakeColumn(L"TABLE_GUID", DBTYPE_GUID, 16));
    t->columns.push_back(MakeColumn(L"DESCRIPTION", DBTYPE_WSTR, 128));
    t->rows = rows;
    return t;
}

// One COLUMNS row; unset optionals are NULL.
struct ColumnRow {
    std::wstring table = L"T";
    std::wstring name;
    uint32_t ordinal = 1;
    DBTYPE type = DBTYPE_I4;
    std::optional<uint32_t> maxLength, octetLength, datetimePrecision, flags;
    std::optional<uint16_t> precision;
    std::optional<int16_t> scale;
    std::optional<std::wstring> defaultText;
    bool nullable = true;
    VARIANT_BOOL nullableValue = 0;  // when not 0, IS_NULLABLE holds this raw value
};

inline ColumnRow Row(const std::wstring& table, const std::wstring& name, uint32_t ordinal,
                     DBTYPE type = DBTYPE_I4) {
    ColumnRow r;
    r.table = table;
    r.name = name;
    r.ordinal = ordinal;
    r.type = type;
    return r;
}

inline std::shared_ptr<Table> ColumnsRowset(const std::vector<ColumnRow>& rows) {
    auto t = std::make_shared<Table>();
    const std::vector<std::pair<const wchar_t*, DBTYPE>> columns = {
        {L"TABLE_CATALOG", DBTYPE_WSTR},
        {L"TABLE_SCHEMA", DBTYPE_WSTR},
        {L"TABLE_NAME", DBTYPE_WSTR},
        {L"COLUMN_NAME", DBTYPE_WSTR},
        {L"COLUMN_GUID", DBTYPE_GUID},
        {L"COLUMN_PROPID", DBTYPE_UI4},
        {L"ORDINAL_POSITION", DBTYPE_UI4},
        {L"COLUMN_HASDEFAULT", DBTYPE_BOOL},
        {L"COLUMN_DEFAULT", DBTYPE_WSTR},
        {L"COLUMN_FLAGS", DBTYPE_UI4},
        {L"IS_NULLABLE", DBTYPE_BOOL},
        {L"DATA_TYPE", DBTYPE_UI2},
        {L"TYPE_GUID", DBTYPE_GUID},
        {L"CHARACTER_MAXIMUM_LENGTH", DBTYPE_UI4},
        {L"CHARACTER_OCTET_LENGTH", DBTYPE_UI4},
        {L"NUMERIC_PRECISION", DBTYPE_UI2},
        {L"NUMERIC_SCALE", DBTYPE_I2},
        {L"DATETIME_PRECISION", DBTYPE_UI4},
    };
    for (const auto& c : columns)
        t->columns.push_back(MakeColumn(c.first, c.second, c.second == DBTYPE_WSTR ? 128 : 4));
    for (const wchar_t* name :
         {L"CHARACTER_SET_CATALOG", L"CHARACTER_SET_SCHEMA", L"CHARACTER_SET_NAME",
          L"COLLATION_CATALOG", L"COLLATION_SCHEMA", L"COLLATION_NAME", L"DOMAIN_CATALOG",
          L"DOMAIN_SCHEMA", L"DOMAIN_NAME", L"DESCRIPTION"})
        t->columns.push_back(MakeColumn(name, DBTYPE_WSTR, 128));
    for (const ColumnRow& r : rows) {
        auto orNull = [](const auto& value) { return value ? Cell::Of(*value) : Cell::Null(); };
        std::vector<Cell> row = {
            Cell::Null(),
            Cell::Null(),
            Text(r.table),
            Text(r.name),
            Cell::Null(),
            Cell::Null(),
            Cell::Of<uint32_t>(r.ordinal),
            Bool(r.defaultText.has_value()),
            r.defaultText ? Text(*r.defaultText) : Cell::Null(),
            orNull(r.flags),
            r.nullableValue ? Cell::Of<VARIANT_BOOL>(r.nullableValue) : Bool(r.nullable),
            Cell::Of<uint16_t>(r.type),
            Cell::Null(),
            orNull(r.maxLength),
            orNull(r.octetLength),
            orNull(r.precision),
            orNull(r.scale),
            orNull(r.datetimePrecision),
        };
        for (int i = 0; i < 10; ++i)
            row.push_back(Cell::Null());
        t->rows.push_back(std::move(row));
    }
    return t;
}

// One INDEXES row.
struct IndexRow {
    std::wstring table;
    std::wstring index;
    VARIANT_BOOL primaryKey = VARIANT_FALSE;
    std::wstring column;
};

inline std::shared_ptr<Table> IndexesRowset(const std::vector<IndexRow>& rows) {
    auto t = std::make_shared<Table>();
    const std::vector<std::pair<const wchar_t*, DBTYPE>> columns = {
        {L"TABLE_CATALOG", DBTYPE_WSTR},
        {L"TABLE_SCHEMA", DBTYPE_WSTR},
        {L"TABLE_NAME", DBTYPE_WSTR},
        {L"INDEX_CATALOG", DBTYPE_WSTR},
        {L"INDEX_SCHEMA", DBTYPE_WSTR},
        {L"INDEX_NAME", DBTYPE_WSTR},
        {L"PRIMARY_KEY", DBTYPE_BOOL},
        {L"UNIQUE", DBTYPE_BOOL},
        {L"CLUSTERED", DBTYPE_BOOL},
        {L"TYPE", DBTYPE_UI2},
        {L"FILL_FACTOR", DBTYPE_I4},
        {L"INITIAL_SIZE", DBTYPE_I4},
        {L"NULLS", DBTYPE_I4},
        {L"SORT_BOOKMARKS", DBTYPE_BOOL},
        {L"AUTO_UPDATE", DBTYPE_BOOL},
        {L"NULL_COLLATION", DBTYPE_I4},
        {L"ORDINAL_POSITION", DBTYPE_UI4},
        {L"COLUMN_NAME", DBTYPE_WSTR},
        {L"COLUMN_GUID", DBTYPE_GUID},
        {L"COLUMN_PROPID", DBTYPE_UI4},
        {L"COLLATION", DBTYPE_I2},
        {L"CARDINALITY", DBTYPE_I4},
        {L"PAGES", DBTYPE_I4},
        {L"FILTER_CONDITION", DBTYPE_WSTR},
        {L"INTEGRATED", DBTYPE_WSTR},
    };
    for (const auto& c : columns)
        t->columns.push_back(MakeColumn(c.first, c.second, c.second == DBTYPE_WSTR ? 128 : 4));
    for (const IndexRow& r : rows) {
        std::vector<Cell> row(columns.size(), Cell::Null());
        row[2] = Text(r.table);
        // An empty name comes as NULL, which the readers see as empty text too.
        row[5] = r.index.empty() ? Cell::Null() : Text(r.index);
        row[6] = Cell::Of<VARIANT_BOOL>(r.primaryKey);
        row[16] = Cell::Of<uint32_t>(1);
        row[17] = Text(r.column);
        t->rows.push_back(std::move(row));
    }
    return t;
}

// Column properties of a table definition: per column, (property id, value) pairs.
using DefinitionProperties = std::vector<std::vector<std::pair<DBPROPID, VARIANT>>>;

inline VARIANT BoolValue(bool b) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}
inline VARIANT I4Value(LONG n) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}

// A session answering the fake session's interfaces and a scripted ITableCreation.
class DefinitionSession : public ComObject<IOpenRowset, IDBSchemaRowset, ITableCreation> {
  public:
    explicit DefinitionSession(IOpenRowset* inner) : inner_(inner) {
        inner->QueryInterface(IID_IDBSchemaRowset, schemas_.ReleaseAndGetVoidAddress());
    }

    // The table names GetTableDefinition was asked for.
    std::vector<std::wstring> asked;
    // What it answers: a failure, or these column properties.
    HRESULT result = S_OK;
    DefinitionProperties properties;
    GUID propertySet = DBPROPSET_COLUMN;

    HRESULT OpenRowset(IUnknown* outer, DBID* table, DBID* index, REFIID riid, ULONG cSets,
                       DBPROPSET sets[], IUnknown** rowset) override {
        return inner_->OpenRowset(outer, table, index, riid, cSets, sets, rowset);
    }
    HRESULT GetRowset(IUnknown* outer, REFGUID schema, ULONG cRestrictions,
                      const VARIANT restrictions[], REFIID riid, ULONG cSets, DBPROPSET sets[],
                      IUnknown** rowset) override {
        return schemas_->GetRowset(outer, schema, cRestrictions, restrictions, riid, cSets, sets,
                                   rowset);
    }
    HRESULT GetSchemas(ULONG* count, GUID** schemas, ULONG** support) override {
        return schemas_->GetSchemas(count, schemas, support);
    }
    HRESULT GetTableDefinition(DBID* table, DBORDINAL* pcColumns, DBCOLUMNDESC** prgColumns,
                               ULONG* pcSets, DBPROPSET** prgSets, ULONG* pcConstraints,
                               DBCONSTRAINTDESC** prgConstraints, OLECHAR** strings) override {
        asked.push_back(table && table->uName.pwszName ? table->uName.pwszName : L"");
        if (pcSets || prgSets || pcConstraints || prgConstraints || strings)
            ADD_FAILURE() << "only column descriptions are to be asked for";
        *pcColumns = 0;
        *prgColumns = nullptr;
        if (FAILED(result))
            return result;
        auto* descs = static_cast<DBCOLUMNDESC*>(
            CoTaskMemAlloc(std::max<size_t>(1, properties.size()) * sizeof(DBCOLUMNDESC)));
        for (size_t i = 0; i < properties.size(); ++i) {
            DBCOLUMNDESC& d = descs[i];
            std::memset(&d, 0, sizeof d);
            d.cPropertySets = 1;
            d.rgPropertySets = static_cast<DBPROPSET*>(CoTaskMemAlloc(sizeof(DBPROPSET)));
            DBPROPSET& set = d.rgPropertySets[0];
            set.guidPropertySet = propertySet;
            set.cProperties = static_cast<ULONG>(properties[i].size());
            set.rgProperties = static_cast<DBPROP*>(
                CoTaskMemAlloc(std::max<size_t>(1, properties[i].size()) * sizeof(DBPROP)));
            for (size_t p = 0; p < properties[i].size(); ++p) {
                DBPROP& prop = set.rgProperties[p];
                std::memset(&prop, 0, sizeof prop);
                prop.dwPropertyID = properties[i][p].first;
                VariantCopy(&prop.vValue, &properties[i][p].second);
            }
        }
        *pcColumns = static_cast<DBORDINAL>(properties.size());
        *prgColumns = descs;
        return result;
    }

  private:
    ComPtr<IOpenRowset> inner_;
    ComPtr<IDBSchemaRowset> schemas_;
};

// Puts a DefinitionSession in place of the connection's session.
inline ComPtr<DefinitionSession> WithDefinitions(VornOleDbConnection& connection) {
    ComPtr<DefinitionSession> session = MakeCom<DefinitionSession>(connection.GetSession().Get());
    connection.GetSession().m_spOpenRowset = ComPtr<IOpenRowset>(session.Get());
    return session;
}

}  // namespace vorn::test::schema
