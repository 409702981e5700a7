// Schema rowset requests shared by the providers.
#include "schema/schema_requests.h"

#include <cstring>

#include "connection_string.h"
#include "schema/column_facts.h"
#include "provider_errors.h"

namespace vorn::provider::schema {

const std::vector<SchemaColumn> kTablesColumns = {
    {"TABLE_CATALOG", DBTYPE_WSTR}, {"TABLE_SCHEMA", DBTYPE_WSTR}, {"TABLE_NAME", DBTYPE_WSTR},
    {"TABLE_TYPE", DBTYPE_WSTR},    {"TABLE_GUID", DBTYPE_GUID},   {"DESCRIPTION", DBTYPE_WSTR},
    {"TABLE_PROPID", DBTYPE_UI4},   {"DATE_CREATED", DBTYPE_DATE}, {"DATE_MODIFIED", DBTYPE_DATE},
};

const std::vector<SchemaColumn> kColumnsColumns = {
    {"TABLE_CATALOG", DBTYPE_WSTR},
    {"TABLE_SCHEMA", DBTYPE_WSTR},
    {"TABLE_NAME", DBTYPE_WSTR},
    {"COLUMN_NAME", DBTYPE_WSTR},
    {"COLUMN_GUID", DBTYPE_GUID},
    {"COLUMN_PROPID", DBTYPE_UI4},
    {"ORDINAL_POSITION", DBTYPE_UI4},
    {"COLUMN_HASDEFAULT", DBTYPE_BOOL},
    {"COLUMN_DEFAULT", DBTYPE_WSTR},
    {"COLUMN_FLAGS", DBTYPE_UI4},
    {"IS_NULLABLE", DBTYPE_BOOL},
    {"DATA_TYPE", DBTYPE_UI2},
    {"TYPE_GUID", DBTYPE_GUID},
    {"CHARACTER_MAXIMUM_LENGTH", DBTYPE_UI4},
    {"CHARACTER_OCTET_LENGTH", DBTYPE_UI4},
    {"NUMERIC_PRECISION", DBTYPE_UI2},
    {"NUMERIC_SCALE", DBTYPE_I2},
    {"DATETIME_PRECISION", DBTYPE_UI4},
    {"CHARACTER_SET_CATALOG", DBTYPE_WSTR},
    {"CHARACTER_SET_SCHEMA", DBTYPE_WSTR},
    {"CHARACTER_SET_NAME", DBTYPE_WSTR},
    {"COLLATION_CATALOG", DBTYPE_WSTR},
    {"COLLATION_SCHEMA", DBTYPE_WSTR},
    {"COLLATION_NAME", DBTYPE_WSTR},
    {"DOMAIN_CATALOG", DBTYPE_WSTR},
    {"DOMAIN_SCHEMA", DBTYPE_WSTR},
    {"DOMAIN_NAME", DBTYPE_WSTR},
    {"DESCRIPTION", DBTYPE_WSTR},
};

const std::vector<SchemaColumn> kIndexesColumns = {
    {"TABLE_CATALOG", DBTYPE_WSTR},
    {"TABLE_SCHEMA", DBTYPE_WSTR},
    {"TABLE_NAME", DBTYPE_WSTR},
    {"INDEX_CATALOG", DBTYPE_WSTR},
    {"INDEX_SCHEMA", DBTYPE_WSTR},
    {"INDEX_NAME", DBTYPE_WSTR},
    {"PRIMARY_KEY", DBTYPE_BOOL},
    {"UNIQUE", DBTYPE_BOOL},
    {"CLUSTERED", DBTYPE_BOOL},
    {"TYPE", DBTYPE_UI2},
    {"FILL_FACTOR", DBTYPE_I4},
    {"INITIAL_SIZE", DBTYPE_I4},
    {"NULLS", DBTYPE_I4},
    {"SORT_BOOKMARKS", DBTYPE_BOOL},
    {"AUTO_UPDATE", DBTYPE_BOOL},
    {"NULL_COLLATION", DBTYPE_I4},
    {"ORDINAL_POSITION", DBTYPE_UI4},
    {"COLUMN_NAME", DBTYPE_WSTR},
    {"COLUMN_GUID", DBTYPE_GUID},
    {"COLUMN_PROPID", DBTYPE_UI4},
    {"COLLATION", DBTYPE_I2},
    {"CARDINALITY", DBTYPE_UI8},
    {"PAGES", DBTYPE_I4},
    {"FILTER_CONDITION", DBTYPE_WSTR},
    {"INTEGRATED", DBTYPE_BOOL},
};

const std::vector<SchemaColumn> kProceduresColumns = {
    {"PROCEDURE_CATALOG", DBTYPE_WSTR},    {"PROCEDURE_SCHEMA", DBTYPE_WSTR},
    {"PROCEDURE_NAME", DBTYPE_WSTR},       {"PROCEDURE_TYPE", DBTYPE_I2},
    {"PROCEDURE_DEFINITION", DBTYPE_WSTR}, {"DESCRIPTION", DBTYPE_WSTR},
    {"DATE_CREATED", DBTYPE_DATE},         {"DATE_MODIFIED", DBTYPE_DATE},
};

const char* const kTablesRestrictions[] = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME",
                                           "TABLE_TYPE"};
const char* const kColumnsRestrictions[] = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME",
                                            "COLUMN_NAME"};
const char* const kIndexesRestrictions[] = {"TABLE_CATALOG", "TABLE_SCHEMA", "INDEX_NAME", "TYPE",
                                            "TABLE_NAME"};
const char* const kProceduresRestrictions[] = {"PROCEDURE_CATALOG", "PROCEDURE_SCHEMA",
                                               "PROCEDURE_NAME", "PROCEDURE_TYPE"};

// PROCEDURES last: a provider without procedures offers the ones before it.
const SchemaKind kSchemas[] = {
    {&DBSCHEMA_TABLES, L"TABLES", 4, kTablesRestrictions, -1},
    {&DBSCHEMA_COLUMNS, L"COLUMNS", 4, kColumnsRestrictions, -1},
    {&DBSCHEMA_INDEXES, L"INDEXES", 5, kIndexesRestrictions, 3},
    {&DBSCHEMA_PROCEDURES, L"PROCEDURES", 4, kProceduresRestrictions, 3},
};

static size_t KindCount(SchemaKinds kinds) {
    const size_t all = sizeof kSchemas / sizeof kSchemas[0];
    return kinds == SchemaKinds::CatalogAndProcedures ? all : all - 1;
}

namespace {

HRESULT ReadRestrictions(const SchemaKind& kind, ULONG count, const VARIANT values[],
                         std::vector<Restriction>* out) {
    out->assign(kind.restrictions, Restriction());
    const std::wstring rowset = std::wstring(L"the ") + kind.name + L" schema rowset";
    if (count > kind.restrictions)
        return PostProviderError(E_INVALIDARG, IID_IDBSchemaRowset,
                                 std::to_wstring(count) + L" restrictions were given for " +
                                     rowset + L", which has " + std::to_wstring(kind.restrictions));
    if (count && !values)
        return PostProviderError(E_INVALIDARG, IID_IDBSchemaRowset,
                                 L"restrictions for " + rowset + L" were counted but not given");
    for (ULONG i = 0; i < count; ++i) {
        const VARIANT& v = values[i];
        Restriction& r = (*out)[i];
        const std::wstring which =
            std::wstring(L"the ") +
            std::wstring(kind.restrictionNames[i],
                         kind.restrictionNames[i] + std::strlen(kind.restrictionNames[i])) +
            L" restriction of " + rowset;
        if (v.vt == VT_EMPTY)
            continue;
        r.present = true;
        if (static_cast<int>(i) == kind.numericRestriction) {
            r.numeric = true;
            switch (v.vt) {
                case VT_I1:
                    r.number = v.cVal;
                    continue;
                case VT_UI1:
                    r.number = v.bVal;
                    continue;
                case VT_I2:
                    r.number = v.iVal;
                    continue;
                case VT_UI2:
                    r.number = v.uiVal;
                    continue;
                case VT_I4:
                case VT_INT:
                    r.number = v.lVal;
                    continue;
                case VT_UI4:
                case VT_UINT:
                    r.number = v.ulVal;
                    continue;
                case VT_I8:
                    r.number = v.llVal;
                    continue;
                default:
                    return PostProviderError(E_INVALIDARG, IID_IDBSchemaRowset,
                                             which + L" must be a number (VT_UI2)");
            }
        }
        if (v.vt != VT_BSTR)
            return PostProviderError(E_INVALIDARG, IID_IDBSchemaRowset,
                                     which + L" must be text (VT_BSTR)");
        r.text = v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : std::wstring();
    }
    return S_OK;
}

}  // namespace

const char kTablesOrder[] =
    "TABLE_TYPE, TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME COLLATE NOCASE, TABLE_NAME";
const char kColumnsOrder[] =
    "TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME COLLATE NOCASE, TABLE_NAME, ORDINAL_POSITION";
// As OLE DB sorts it (unique indexes first), with the table keeping the columns of equally
// named indexes of different tables apart.
const char kIndexesOrder[] =
    "\"UNIQUE\", TYPE, INDEX_CATALOG, INDEX_SCHEMA, INDEX_NAME COLLATE NOCASE, INDEX_NAME, "
    "TABLE_NAME COLLATE NOCASE, TABLE_NAME, ORDINAL_POSITION";
const char kProceduresOrder[] =
    "PROCEDURE_CATALOG, PROCEDURE_SCHEMA, PROCEDURE_NAME COLLATE NOCASE, PROCEDURE_NAME";

// Whether a text value (NULL when isNull) meets a restriction.
bool Meets(const Restriction& r, const std::wstring& value, bool isNull) {
    if (!r.present)
        return true;
    if (isNull)
        return false;
    return SameKey(value, r.text);
}

HRESULT AddColumnsRow(SchemaRowsetBuilder& rows, const ColumnsRow& c) {
    const ColumnFacts f = DescribeColumn(c.type, c.nullable);
    rows.Null();
    rows.TextOrNull(c.schema);
    rows.Text(c.table);
    rows.Text(c.column);
    rows.Null();  // COLUMN_GUID
    rows.Null();  // COLUMN_PROPID
    rows.Integer(c.ordinal);
    rows.Bool(c.hasDefault);
    if (c.hasDefault && !c.defaultIsNull)
        rows.Text(c.defaultText);
    else
        rows.Null();
    rows.Integer(f.flags);
    rows.Bool(c.nullable);
    rows.Integer(c.type.type);
    rows.Null();  // TYPE_GUID
    if (f.hasLength) {
        rows.Integer(f.maxLength);
        rows.Integer(f.octetLength);
    } else {
        rows.Null();
        rows.Null();
    }
    if (f.hasPrecision)
        rows.Integer(f.precision);
    else
        rows.Null();
    if (f.hasScale)
        rows.Integer(f.scale);
    else
        rows.Null();
    if (f.hasDatetimePrecision)
        rows.Integer(f.datetimePrecision);
    else
        rows.Null();
    for (int i = 0; i < 9; ++i)
        rows.Null();  // character set, collation and domain
    rows.Null();      // DESCRIPTION
    return rows.EndRow();
}

HRESULT ReadSchemaRequest(SchemaKinds kinds, IUnknown* pUnkOuter, REFGUID rguidSchema,
                          ULONG cRestrictions, const VARIANT rgRestrictions[], ULONG cPropertySets,
                          DBPROPSET rgPropertySets[], IUnknown** ppRowset, SchemaRequestArgs* out) {
    if (!ppRowset)
        return PostProviderError(E_INVALIDARG, IID_IDBSchemaRowset,
                                 L"no place for the schema rowset was given");
    *ppRowset = nullptr;
    if (pUnkOuter)
        return PostProviderError(CLASS_E_NOAGGREGATION, IID_IDBSchemaRowset,
                                 L"schema rowsets cannot be aggregated");
    if (cPropertySets && !rgPropertySets)
        return PostProviderError(E_INVALIDARG, IID_IDBSchemaRowset,
                                 L"property sets for the schema rowset were counted but not "
                                 L"given");
    const SchemaKind* kind = nullptr;
    const size_t count = KindCount(kinds);
    for (size_t k = 0; k < count; ++k)
        if (*kSchemas[k].guid == rguidSchema)
            kind = &kSchemas[k];
    if (!kind) {
        wchar_t text[40];
        StringFromGUID2(rguidSchema, text, 40);
        std::wstring supported;
        for (size_t k = 0; k < count; ++k)
            supported += std::wstring(k == 0           ? L""
                                      : k + 1 == count ? L" and "
                                                       : L", ") +
                         kSchemas[k].name;
        return PostProviderError(E_INVALIDARG, IID_IDBSchemaRowset,
                                 std::wstring(L"the schema rowset ") + text +
                                     L" is not supported; the supported ones are " + supported);
    }
    out->kind = kind;
    HRESULT hr = ReadRestrictions(*kind, cRestrictions, rgRestrictions, &out->restrictions);
    if (FAILED(hr))
        return hr;
    if (cPropertySets) {
        out->propertiesResult =
            out->properties.Set(cPropertySets, rgPropertySets, IID_IDBSchemaRowset);
        if (FAILED(out->propertiesResult))
            return out->propertiesResult;
    }
    return S_OK;
}

HRESULT AnswerSupportedSchemas(SchemaKinds kinds, ULONG* pcSchemas, GUID** prgSchemas,
                               ULONG** prgRestrictionSupport) {
    if (pcSchemas)
        *pcSchemas = 0;
    if (prgSchemas)
        *prgSchemas = nullptr;
    if (prgRestrictionSupport)
        *prgRestrictionSupport = nullptr;
    if (!pcSchemas || !prgSchemas || !prgRestrictionSupport)
        return PostProviderError(E_INVALIDARG, IID_IDBSchemaRowset,
                                 L"no place for the list of schema rowsets was given");
    const ULONG count = static_cast<ULONG>(KindCount(kinds));
    auto* guids = static_cast<GUID*>(CoTaskMemAlloc(count * sizeof(GUID)));
    auto* masks = static_cast<ULONG*>(CoTaskMemAlloc(count * sizeof(ULONG)));
    if (!guids || !masks) {
        CoTaskMemFree(guids);
        CoTaskMemFree(masks);
        return PostProviderError(E_OUTOFMEMORY, IID_IDBSchemaRowset,
                                 L"out of memory listing the schema rowsets");
    }
    for (ULONG i = 0; i < count; ++i) {
        guids[i] = *kSchemas[i].guid;
        // Bit n stands for restriction n + 1: every restriction is supported.
        masks[i] = (1u << kSchemas[i].restrictions) - 1;
    }
    *pcSchemas = count;
    *prgSchemas = guids;
    *prgRestrictionSupport = masks;
    ClearProviderError();
    return S_OK;
}

}  // namespace vorn::provider::schema
