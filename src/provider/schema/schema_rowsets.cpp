// The TABLES, COLUMNS, INDEXES and PROCEDURES schema rowsets.
#include "schema/schema_rowsets.h"

#include <sqlite3.h>

#include <cstring>
#include <string>
#include <vector>

#include "rowset/rowset_properties.h"
#include "provider_errors.h"
#include "schema/column_facts.h"
#include "schema/schema_catalog.h"
#include "schema/schema_rowset_builder.h"
#include "sql/jet_sql.h"
#include "sqlite_errors.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::schema {
namespace {

// Index types, null orderings and collations of the INDEXES rowset.
constexpr long long kIndexTypeBtree = 1;       // DBPROPVAL_IT_BTREE
constexpr long long kNullsAllowed = 0;         // DBPROPVAL_IN_ALLOWNULL
constexpr long long kNullsRefused = 1;         // DBPROPVAL_IN_DISALLOWNULL
constexpr long long kNullsSortLow = 4;         // DBPROPVAL_NC_LOW: NULLs sort first
constexpr long long kCollationAscending = 1;   // DB_COLLATION_ASC
constexpr long long kCollationDescending = 2;  // DB_COLLATION_DESC

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

// PROCEDURE_TYPE of a saved procedure (DB_PT_PROCEDURE).
constexpr long long kProcedureType = 2;

// A restriction as given: none (VT_EMPTY), a text or a number.
struct Restriction {
    bool present = false;
    bool numeric = false;
    std::wstring text;
    long long number = 0;
};

struct SchemaKind {
    const GUID* guid;
    const wchar_t* name;
    ULONG restrictions;
    const char* const* restrictionNames;
    int numericRestriction;  // index of the restriction that is a number, -1 for none
};

const char* const kTablesRestrictions[] = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME",
                                           "TABLE_TYPE"};
const char* const kColumnsRestrictions[] = {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME",
                                            "COLUMN_NAME"};
const char* const kIndexesRestrictions[] = {"TABLE_CATALOG", "TABLE_SCHEMA", "INDEX_NAME", "TYPE",
                                            "TABLE_NAME"};
const char* const kProceduresRestrictions[] = {"PROCEDURE_CATALOG", "PROCEDURE_SCHEMA",
                                               "PROCEDURE_NAME", "PROCEDURE_TYPE"};

const SchemaKind kSchemas[] = {
    {&DBSCHEMA_TABLES, L"TABLES", 4, kTablesRestrictions, -1},
    {&DBSCHEMA_COLUMNS, L"COLUMNS", 4, kColumnsRestrictions, -1},
    {&DBSCHEMA_INDEXES, L"INDEXES", 5, kIndexesRestrictions, 3},
    {&DBSCHEMA_PROCEDURES, L"PROCEDURES", 4, kProceduresRestrictions, 3},
};

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

// Whether a text value (NULL when isNull) meets a restriction.
bool Meets(const Restriction& r, const std::wstring& value, bool isNull = false) {
    if (!r.present)
        return true;
    if (isNull)
        return false;
    return SameName(value, r.text);
}

// Catalog (always NULL here) and schema of a table against restrictions 1 and 2.
bool MeetsCatalogAndSchema(const std::vector<Restriction>& r, const CatalogTable& t) {
    return Meets(r[0], L"", true) && Meets(r[1], t.schema, t.schema.empty());
}

class SchemaRequest {
  public:
    SchemaRequest(const std::shared_ptr<Database>& db, IUnknown* session, const SchemaKind& kind,
                  std::vector<Restriction> restrictions)
        : db_(db), h_(db->Handle()), session_(session), kind_(kind), r_(std::move(restrictions)) {}

    HRESULT Run(const RowsetProperties& properties, REFIID riid, IUnknown** ppRowset) {
        ownTransaction_ = sqlite3_get_autocommit(h_) == 0;
        const CatalogSnapshot snapshot(h_);
        if (kind_.guid == &DBSCHEMA_TABLES)
            return Tables(properties, riid, ppRowset);
        if (kind_.guid == &DBSCHEMA_COLUMNS)
            return Columns(properties, riid, ppRowset);
        if (kind_.guid == &DBSCHEMA_PROCEDURES)
            return Procedures(properties, riid, ppRowset);
        return Indexes(properties, riid, ppRowset);
    }

  private:
    HRESULT CatalogFailure(int rc, const std::wstring& doing) {
        return PostSqliteError(h_, rc, IID_IDBSchemaRowset,
                               L"could not " + doing + L" for the " + kind_.name +
                                   L" schema rowset of the database " + Quoted(db_->Path()));
    }

    // The tables that meet the catalog, schema and table-name restrictions.
    HRESULT SelectTables(const Restriction& name, std::vector<CatalogTable>* tables) {
        std::vector<CatalogTable> all;
        const int rc = ListTables(h_, &all, name.present ? &name.text : nullptr);
        if (rc != SQLITE_OK)
            return CatalogFailure(rc, L"list the tables");
        for (CatalogTable& t : all)
            if (MeetsCatalogAndSchema(r_, t) && Meets(name, t.name))
                tables->push_back(std::move(t));
        return S_OK;
    }

    HRESULT Tables(const RowsetProperties& properties, REFIID riid, IUnknown** ppRowset) {
        std::vector<CatalogTable> tables;
        HRESULT hr = SelectTables(r_[2], &tables);
        if (FAILED(hr))
            return hr;
        SchemaRowsetBuilder rows(kTablesColumns, L"the TABLES schema rowset", IID_IDBSchemaRowset);
        hr = rows.Begin();
        if (FAILED(hr))
            return hr;
        for (const CatalogTable& t : tables) {
            if (!Meets(r_[3], t.type))
                continue;
            rows.Null();
            rows.TextOrNull(t.schema);
            rows.Text(t.name);
            rows.Text(t.type);
            rows.Null();  // TABLE_GUID
            rows.Null();  // DESCRIPTION
            rows.Null();  // TABLE_PROPID
            rows.Null();  // DATE_CREATED
            rows.Null();  // DATE_MODIFIED
            hr = rows.EndRow();
            if (FAILED(hr))
                return hr;
        }
        return rows.Finish(
            "TABLE_TYPE, TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME COLLATE NOCASE, TABLE_NAME",
            properties, session_, riid, ppRowset);
    }

    HRESULT Columns(const RowsetProperties& properties, REFIID riid, IUnknown** ppRowset) {
        std::vector<CatalogTable> tables;
        HRESULT hr = SelectTables(r_[2], &tables);
        if (FAILED(hr))
            return hr;
        SchemaRowsetBuilder rows(kColumnsColumns, L"the COLUMNS schema rowset",
                                 IID_IDBSchemaRowset);
        hr = rows.Begin();
        if (FAILED(hr))
            return hr;
        std::vector<CatalogColumn> columns;
        for (const CatalogTable& t : tables) {
            const int rc = ReadColumns(h_, t, &columns);
            if (rc != SQLITE_OK)
                return CatalogFailure(rc, L"read the columns of " + Quoted(t.name));
            for (const CatalogColumn& c : columns) {
                if (!Meets(r_[3], c.name))
                    continue;
                const ColumnFacts f = DescribeColumn(c);
                rows.Null();
                rows.TextOrNull(t.schema);
                rows.Text(t.name);
                rows.Text(c.name);
                rows.Null();  // COLUMN_GUID
                rows.Null();  // COLUMN_PROPID
                rows.Integer(c.ordinal);
                rows.Bool(c.hasDefault);
                if (c.hasDefault)
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
                hr = rows.EndRow();
                if (FAILED(hr))
                    return hr;
            }
        }
        return rows.Finish(
            "TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME COLLATE NOCASE, TABLE_NAME, ORDINAL_POSITION",
            properties, session_, riid, ppRowset);
    }

    HRESULT Indexes(const RowsetProperties& properties, REFIID riid, IUnknown** ppRowset) {
        std::vector<CatalogTable> tables;
        HRESULT hr = SelectTables(r_[4], &tables);
        if (FAILED(hr))
            return hr;
        SchemaRowsetBuilder rows(kIndexesColumns, L"the INDEXES schema rowset",
                                 IID_IDBSchemaRowset);
        hr = rows.Begin();
        if (FAILED(hr))
            return hr;
        const bool typeMet = !r_[3].present || r_[3].number == kIndexTypeBtree;
        std::shared_ptr<const DefinitionTexts> texts;
        const int textsRc = DefinitionTexts::Current(db_, !ownTransaction_, &texts);
        if (textsRc != SQLITE_OK)
            return CatalogFailure(textsRc, L"read the definitions of the tables");
        std::vector<CatalogColumn> columns;
        std::vector<CatalogIndex> indexes;
        for (const CatalogTable& t : tables) {
            if (t.isView || !typeMet)
                continue;
            int rc = ReadColumns(h_, t, &columns);
            if (rc == SQLITE_OK)
                rc = ReadIndexes(h_, *texts, t, columns, &indexes);
            if (rc != SQLITE_OK)
                return CatalogFailure(rc, L"read the indexes of " + Quoted(t.name));
            for (const CatalogIndex& index : indexes) {
                if (!Meets(r_[2], index.name))
                    continue;
                uint32_t position = 0;
                for (const CatalogIndexColumn& c : index.columns) {
                    rows.Null();
                    rows.TextOrNull(t.schema);
                    rows.Text(t.name);
                    rows.Null();
                    rows.TextOrNull(t.schema);
                    rows.Text(index.name);
                    rows.Bool(index.primaryKey);
                    rows.Bool(index.unique);
                    rows.Bool(index.clustered);
                    rows.Integer(kIndexTypeBtree);
                    rows.Null();  // FILL_FACTOR
                    rows.Null();  // INITIAL_SIZE
                    rows.Integer(index.refusesNull ? kNullsRefused : kNullsAllowed);
                    rows.Bool(false);  // SORT_BOOKMARKS
                    rows.Bool(true);   // AUTO_UPDATE
                    rows.Integer(kNullsSortLow);
                    rows.Integer(++position);
                    if (c.named)
                        rows.Text(c.name);
                    else
                        rows.Null();  // an expression
                    rows.Null();      // COLUMN_GUID
                    rows.Null();      // COLUMN_PROPID
                    rows.Integer(c.descending ? kCollationDescending : kCollationAscending);
                    rows.Null();  // CARDINALITY
                    rows.Null();  // PAGES
                    rows.TextOrNull(index.condition);
                    rows.Bool(index.clustered);
                    hr = rows.EndRow();
                    if (FAILED(hr))
                        return hr;
                }
            }
        }
        // As OLE DB sorts it (unique indexes first), with the table keeping the columns of
        // equally named indexes of different tables apart.
        return rows.Finish(
            "\"UNIQUE\", TYPE, INDEX_CATALOG, INDEX_SCHEMA, INDEX_NAME COLLATE NOCASE, "
            "INDEX_NAME, TABLE_NAME COLLATE NOCASE, TABLE_NAME, ORDINAL_POSITION",
            properties, session_, riid, ppRowset);
    }

    // The saved procedures (CREATE PROCEDURE), from the provider's table of them.
    HRESULT Procedures(const RowsetProperties& properties, REFIID riid, IUnknown** ppRowset) {
        SchemaRowsetBuilder rows(kProceduresColumns, L"the PROCEDURES schema rowset",
                                 IID_IDBSchemaRowset);
        HRESULT hr = rows.Begin();
        if (FAILED(hr))
            return hr;
        const bool typeMet = !r_[3].present || r_[3].number == kProcedureType;
        // No table of procedures: the database has none.
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(h_,
                                    "SELECT 1 FROM main.sqlite_schema WHERE type = 'table' AND "
                                    "name = ?1",
                                    -1, &stmt, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_text(stmt, 1, sql::kProceduresTableName, -1, SQLITE_STATIC);
            rc = sqlite3_step(stmt);
        }
        sqlite3_finalize(stmt);
        stmt = nullptr;
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return CatalogFailure(rc, L"look for the procedures");
        if (rc == SQLITE_ROW) {
            const std::string sql =
                std::string("SELECT name, definition, created, modified FROM main.`") +
                sql::kProceduresTableName + "`";
            rc = sqlite3_prepare_v2(h_, sql.c_str(), -1, &stmt, nullptr);
            if (rc != SQLITE_OK) {
                sqlite3_finalize(stmt);
                return CatalogFailure(rc, L"read the procedures");
            }
        }
        rc = SQLITE_DONE;
        auto text = [&](int i) {
            const unsigned char* t = sqlite3_column_text(stmt, i);
            return t ? Utf8ToWide(reinterpret_cast<const char*>(t)) : std::wstring();
        };
        while (stmt && typeMet && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            const std::wstring name = text(0);
            if (!Meets(r_[0], L"", true) || !Meets(r_[1], L"", true) || !Meets(r_[2], name))
                continue;
            rows.Null();
            rows.Null();
            rows.Text(name);
            rows.Integer(kProcedureType);
            rows.Text(text(1));
            rows.Null();  // DESCRIPTION
            rows.TextOrNull(text(2));
            rows.TextOrNull(text(3));
            hr = rows.EndRow();
            if (FAILED(hr)) {
                sqlite3_finalize(stmt);
                return hr;
            }
        }
        sqlite3_finalize(stmt);
        if (stmt && typeMet && rc != SQLITE_DONE)
            return CatalogFailure(rc, L"read the procedures");
        return rows.Finish(
            "PROCEDURE_CATALOG, PROCEDURE_SCHEMA, PROCEDURE_NAME COLLATE NOCASE, "
            "PROCEDURE_NAME",
            properties, session_, riid, ppRowset);
    }

    std::shared_ptr<Database> db_;
    sqlite3* h_;
    IUnknown* session_;
    const SchemaKind& kind_;
    std::vector<Restriction> r_;
    bool ownTransaction_ = false;  // the session had a transaction open when asked
};

}  // namespace

HRESULT GetSchemaRowset(const std::shared_ptr<Database>& db, IUnknown* session, IUnknown* pUnkOuter,
                        REFGUID rguidSchema, ULONG cRestrictions, const VARIANT rgRestrictions[],
                        REFIID riid, ULONG cPropertySets, DBPROPSET rgPropertySets[],
                        IUnknown** ppRowset) {
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
    for (const SchemaKind& k : kSchemas)
        if (*k.guid == rguidSchema)
            kind = &k;
    if (!kind) {
        wchar_t text[40];
        StringFromGUID2(rguidSchema, text, 40);
        return PostProviderError(E_INVALIDARG, IID_IDBSchemaRowset,
                                 std::wstring(L"the schema rowset ") + text +
                                     L" is not supported; the supported ones are TABLES, "
                                     L"COLUMNS, INDEXES and PROCEDURES");
    }
    std::vector<Restriction> restrictions;
    HRESULT hr = ReadRestrictions(*kind, cRestrictions, rgRestrictions, &restrictions);
    if (FAILED(hr))
        return hr;
    RowsetProperties properties;
    HRESULT propertiesResult = S_OK;
    if (cPropertySets) {
        propertiesResult = properties.Set(cPropertySets, rgPropertySets, IID_IDBSchemaRowset);
        if (FAILED(propertiesResult))
            return propertiesResult;
    }
    SchemaRequest request(db, session, *kind, std::move(restrictions));
    hr = request.Run(properties, riid, ppRowset);
    if (FAILED(hr))
        return hr;
    ClearProviderError();
    // Optional properties that could not be set are reported as OLE DB does.
    return propertiesResult;
}

HRESULT GetSupportedSchemas(ULONG* pcSchemas, GUID** prgSchemas, ULONG** prgRestrictionSupport) {
    if (pcSchemas)
        *pcSchemas = 0;
    if (prgSchemas)
        *prgSchemas = nullptr;
    if (prgRestrictionSupport)
        *prgRestrictionSupport = nullptr;
    if (!pcSchemas || !prgSchemas || !prgRestrictionSupport)
        return PostProviderError(E_INVALIDARG, IID_IDBSchemaRowset,
                                 L"no place for the list of schema rowsets was given");
    const ULONG count = sizeof kSchemas / sizeof kSchemas[0];
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
