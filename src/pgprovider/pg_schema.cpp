// The catalog of a PostgreSQL database.
#include "pg_schema.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "connection_string.h"
#include "oledb_memory.h"
#include "pg_types.h"
#include "provider_errors.h"
#include "schema/schema_requests.h"
#include "session_requests.h"
#include "vornoledb/platform/text.h"

namespace vorn::pgprovider {

using provider::PostProviderError;
using provider::Quoted;
namespace schema = provider::schema;

namespace {

// The schemas of the server's own catalogs, never listed.
constexpr char kUserRelations[] =
    "n.nspname NOT IN ('pg_catalog', 'information_schema') AND n.nspname NOT LIKE 'pg\\_toast%' "
    "AND n.nspname NOT LIKE 'pg\\_temp\\_%' ";

// A condition on a name column matching text without regard to letter case, or nothing.
std::string NameCondition(const char* column, const schema::Restriction& r) {
    if (!r.present)
        return "";
    return std::string(" AND lower(") + column + ") = lower(" + QuoteLiteral(WideToUtf8(r.text)) +
           ")";
}

bool IsTrue(const PgResult& r, int row, int column) {
    return r.Text(row, column) == "t";
}

long long Number(const PgResult& r, int row, int column) {
    return std::atoll(r.Text(row, column).c_str());
}

class PgSchemaRequest {
  public:
    PgSchemaRequest(std::shared_ptr<PgConnection> conn, IUnknown* session,
                    const schema::SchemaKind& kind, std::vector<schema::Restriction> r)
        : conn_(std::move(conn)), session_(session), kind_(kind), r_(std::move(r)) {}

    HRESULT Run(const provider::RowsetProperties& properties, REFIID riid, IUnknown** ppRowset) {
        if (kind_.guid == &DBSCHEMA_TABLES)
            return Tables(properties, riid, ppRowset);
        if (kind_.guid == &DBSCHEMA_COLUMNS)
            return Columns(properties, riid, ppRowset);
        return Indexes(properties, riid, ppRowset);
    }

  private:
    PgResult Query(const std::string& sql, const wchar_t* doing, HRESULT* hr) {
        return conn_->Run(sql, IID_IDBSchemaRowset,
                          std::wstring(L"could not ") + doing + L" for the " + kind_.name +
                              L" schema rowset of the database at " + conn_->Target().Describe(),
                          hr);
    }
    // Catalogs are not reported (NULL): a catalog restriction matches nothing.
    bool CatalogMet() const { return !r_[0].present; }

    HRESULT Tables(const provider::RowsetProperties& properties, REFIID riid, IUnknown** ppRowset) {
        const std::string sql =
            "SELECT n.nspname, c.relname, CASE WHEN c.relkind IN ('v', 'm') THEN 'VIEW' ELSE "
            "'TABLE' END FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE "
            "c.relkind IN ('r', 'p', 'v', 'm', 'f') AND " +
            std::string(kUserRelations) + NameCondition("n.nspname", r_[1]) +
            NameCondition("c.relname", r_[2]);
        HRESULT hr = S_OK;
        PgResult result = Query(sql, L"list the tables", &hr);
        if (FAILED(hr))
            return hr;
        schema::SchemaRowsetBuilder rows(schema::kTablesColumns, L"the TABLES schema rowset",
                                         IID_IDBSchemaRowset);
        hr = rows.Begin();
        if (FAILED(hr))
            return hr;
        for (int i = 0; CatalogMet() && i < result.Rows(); ++i) {
            const std::wstring type = Utf8ToWide(result.Text(i, 2));
            if (!schema::Meets(r_[3], type))
                continue;
            rows.Null();
            rows.Text(Utf8ToWide(result.Text(i, 0)));
            rows.Text(Utf8ToWide(result.Text(i, 1)));
            rows.Text(type);
            for (int k = 0; k < 5; ++k)
                rows.Null();  // GUID, description, property id, dates
            hr = rows.EndRow();
            if (FAILED(hr))
                return hr;
        }
        return rows.Finish(schema::kTablesOrder, properties, session_, riid, ppRowset);
    }

    HRESULT Columns(const provider::RowsetProperties& properties, REFIID riid,
                    IUnknown** ppRowset) {
        const std::string sql =
            "SELECT n.nspname, c.relname, a.attname, a.atttypid, a.atttypmod, a.attnotnull, "
            "pg_get_expr(d.adbin, d.adrelid), a.attidentity <> '' FROM pg_attribute a JOIN "
            "pg_class c ON c.oid = a.attrelid JOIN pg_namespace n ON n.oid = c.relnamespace LEFT "
            "JOIN pg_attrdef d ON d.adrelid = a.attrelid AND d.adnum = a.attnum WHERE a.attnum > 0 "
            "AND NOT a.attisdropped AND c.relkind IN ('r', 'p', 'v', 'm', 'f') AND " +
            std::string(kUserRelations) + NameCondition("n.nspname", r_[1]) +
            NameCondition("c.relname", r_[2]) + NameCondition("a.attname", r_[3]) +
            " ORDER BY n.nspname, c.relname, a.attnum";
        HRESULT hr = S_OK;
        PgResult result = Query(sql, L"read the columns", &hr);
        if (FAILED(hr))
            return hr;
        schema::SchemaRowsetBuilder rows(schema::kColumnsColumns, L"the COLUMNS schema rowset",
                                         IID_IDBSchemaRowset);
        hr = rows.Begin();
        if (FAILED(hr))
            return hr;
        std::string lastTable;
        long long ordinal = 0;
        for (int i = 0; CatalogMet() && i < result.Rows(); ++i) {
            const std::string table = result.Text(i, 0) + "." + result.Text(i, 1);
            ordinal = table == lastTable ? ordinal + 1 : 1;
            lastTable = table;
            const provider::ColumnType type =
                TypeOfPgColumn(static_cast<uint32_t>(Number(result, i, 3)),
                               static_cast<int>(Number(result, i, 4)));
            const bool nullable = !IsTrue(result, i, 5);
            const bool hasDefault = !result.IsNull(i, 6) || IsTrue(result, i, 7);
            schema::ColumnsRow row;
            row.schema = Utf8ToWide(result.Text(i, 0));
            row.table = Utf8ToWide(result.Text(i, 1));
            row.column = Utf8ToWide(result.Text(i, 2));
            row.ordinal = ordinal;
            row.hasDefault = hasDefault;
            row.defaultText = Utf8ToWide(result.Text(i, 6));
            row.defaultIsNull = result.IsNull(i, 6);
            row.type = type;
            row.nullable = nullable;
            hr = schema::AddColumnsRow(rows, row);
            if (FAILED(hr))
                return hr;
        }
        return rows.Finish(schema::kColumnsOrder, properties, session_, riid, ppRowset);
    }

    HRESULT Indexes(const provider::RowsetProperties& properties, REFIID riid,
                    IUnknown** ppRowset) {
        const std::string sql =
            "SELECT n.nspname, t.relname, i.relname, ix.indisprimary, ix.indisunique, "
            "ix.indisclustered, k.ord, a.attname, pg_index_column_has_property(ix.indexrelid, "
            "k.ord::int, 'desc'), pg_get_expr(ix.indpred, ix.indrelid), a.attnotnull FROM pg_index "
            "ix JOIN pg_class i ON i.oid = ix.indexrelid JOIN pg_class t ON t.oid = ix.indrelid "
            "JOIN pg_namespace n ON n.oid = t.relnamespace CROSS JOIN LATERAL "
            "unnest(ix.indkey::int2[]) WITH ORDINALITY AS k(attnum, ord) LEFT JOIN pg_attribute a "
            "ON a.attrelid = t.oid AND a.attnum = k.attnum AND k.attnum > 0 WHERE k.ord <= "
            "ix.indnkeyatts AND " +
            std::string(kUserRelations) + NameCondition("n.nspname", r_[1]) +
            NameCondition("i.relname", r_[2]) + NameCondition("t.relname", r_[4]) +
            " ORDER BY n.nspname, t.relname, i.relname, k.ord";
        HRESULT hr = S_OK;
        PgResult result = Query(sql, L"read the indexes", &hr);
        if (FAILED(hr))
            return hr;
        schema::SchemaRowsetBuilder rows(schema::kIndexesColumns, L"the INDEXES schema rowset",
                                         IID_IDBSchemaRowset);
        hr = rows.Begin();
        if (FAILED(hr))
            return hr;
        const bool typeMet = !r_[3].present || r_[3].number == schema::kIndexTypeBtree;
        for (int i = 0; typeMet && CatalogMet() && i < result.Rows(); ++i) {
            const std::wstring schemaName = Utf8ToWide(result.Text(i, 0));
            const bool primary = IsTrue(result, i, 3);
            rows.Null();
            rows.Text(schemaName);
            rows.Text(Utf8ToWide(result.Text(i, 1)));
            rows.Null();
            rows.Text(schemaName);
            rows.Text(Utf8ToWide(result.Text(i, 2)));
            rows.Bool(primary);
            rows.Bool(IsTrue(result, i, 4));
            rows.Bool(IsTrue(result, i, 5));
            rows.Integer(schema::kIndexTypeBtree);
            rows.Null();  // FILL_FACTOR
            rows.Null();  // INITIAL_SIZE
            rows.Integer(primary || IsTrue(result, i, 10) ? schema::kNullsRefused
                                                          : schema::kNullsAllowed);
            rows.Bool(false);  // SORT_BOOKMARKS
            rows.Bool(true);   // AUTO_UPDATE
            rows.Integer(schema::kNullsSortHigh);
            rows.Integer(Number(result, i, 6));
            if (result.IsNull(i, 7))
                rows.Null();  // an expression
            else
                rows.Text(Utf8ToWide(result.Text(i, 7)));
            rows.Null();  // COLUMN_GUID
            rows.Null();  // COLUMN_PROPID
            rows.Integer(IsTrue(result, i, 8) ? schema::kCollationDescending
                                              : schema::kCollationAscending);
            rows.Null();  // CARDINALITY
            rows.Null();  // PAGES
            if (result.IsNull(i, 9))
                rows.Null();
            else
                rows.Text(Utf8ToWide(result.Text(i, 9)));
            rows.Bool(IsTrue(result, i, 5));
            hr = rows.EndRow();
            if (FAILED(hr))
                return hr;
        }
        return rows.Finish(schema::kIndexesOrder, properties, session_, riid, ppRowset);
    }

    std::shared_ptr<PgConnection> conn_;
    IUnknown* session_;
    const schema::SchemaKind& kind_;
    std::vector<schema::Restriction> r_;
};

template <class T>
T* AllocArray(size_t n) {
    auto* p = static_cast<T*>(CoTaskMemAlloc(n * sizeof(T)));
    if (p)
        std::memset(static_cast<void*>(p), 0, n * sizeof(T));
    return p;
}

}  // namespace

std::string QuoteLiteral(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += '\'';
        out += c;
    }
    return out + "'";
}

HRESULT FindPgTable(const std::shared_ptr<PgConnection>& conn, const std::wstring& name, REFIID iid,
                    std::string* schemaName, std::string* table, bool* found) {
    *found = false;
    const std::string utf8 = WideToUtf8(name);
    // Exact names first, then tables the search path shows, then by schema name.
    const std::string sql =
        "SELECT n.nspname, c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = "
        "c.relnamespace WHERE c.relkind IN ('r', 'p', 'v', 'm', 'f') AND " +
        std::string(kUserRelations) + " AND lower(c.relname) = lower(" + QuoteLiteral(utf8) +
        ") ORDER BY c.relname <> " + QuoteLiteral(utf8) +
        ", NOT pg_table_is_visible(c.oid), n.nspname, c.relname LIMIT 1";
    HRESULT hr = S_OK;
    PgResult result = conn->Run(sql, iid, L"could not look up the table " + Quoted(name), &hr);
    if (FAILED(hr))
        return hr;
    if (result.Rows() == 0)
        return S_OK;
    *schemaName = result.Text(0, 0);
    *table = result.Text(0, 1);
    *found = true;
    return S_OK;
}

HRESULT GetPgSchemaRowset(const std::shared_ptr<PgConnection>& conn, IUnknown* session,
                          IUnknown* pUnkOuter, REFGUID rguidSchema, ULONG cRestrictions,
                          const VARIANT rgRestrictions[], REFIID riid, ULONG cPropertySets,
                          DBPROPSET rgPropertySets[], IUnknown** ppRowset) {
    schema::SchemaRequestArgs args;
    HRESULT hr = schema::ReadSchemaRequest(schema::SchemaKinds::Catalog, pUnkOuter, rguidSchema,
                                           cRestrictions, rgRestrictions, cPropertySets,
                                           rgPropertySets, ppRowset, &args);
    if (FAILED(hr))
        return hr;
    PgSchemaRequest request(conn, session, *args.kind, std::move(args.restrictions));
    hr = request.Run(args.properties, riid, ppRowset);
    if (FAILED(hr))
        return hr;
    provider::ClearProviderError();
    return args.propertiesResult;
}

HRESULT GetPgTableDefinition(const std::shared_ptr<PgConnection>& conn, DBID* pTableID,
                             DBORDINAL* pcColumnDescs, DBCOLUMNDESC* prgColumnDescs[],
                             ULONG* pcPropertySets, DBPROPSET* prgPropertySets[],
                             ULONG* pcConstraintDescs, DBCONSTRAINTDESC* prgConstraintDescs[],
                             OLECHAR** ppwszStringBuffer) {
    std::wstring name;
    HRESULT hr = provider::ReadTableDefinitionArgs(
        pTableID, pcColumnDescs, prgColumnDescs, pcPropertySets, prgPropertySets, pcConstraintDescs,
        prgConstraintDescs, ppwszStringBuffer, &name);
    if (FAILED(hr))
        return hr;
    std::string schemaName, table;
    bool found = false;
    hr = FindPgTable(conn, name, IID_ITableCreation, &schemaName, &table, &found);
    if (FAILED(hr))
        return hr;
    if (!found) {
        ErrorRecord record = provider::MakeProviderRecord(
            DB_E_NOTABLE, IID_ITableCreation,
            L"the table " + Quoted(name) + L" does not exist in the database at " +
                conn->Target().Describe());
        record.hasSqlInfo = true;
        record.sqlState = L"42P01";
        return PostError(record);
    }
    // Identity columns (GENERATED ... AS IDENTITY) and serial columns alike own a sequence,
    // whose start and increment are the column's seed and increment.
    const std::string qualified =
        QuoteLiteral(QuoteIdentifier(schemaName) + "." + QuoteIdentifier(table));
    const std::string sql =
        "SELECT a.attname, a.atttypid, a.atttypmod, a.attnotnull, s.seqstart, s.seqincrement "
        "FROM pg_attribute a LEFT JOIN pg_sequence s ON s.seqrelid = "
        "pg_get_serial_sequence(" +
        qualified + ", a.attname)::regclass WHERE a.attrelid = " + qualified +
        "::regclass AND a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum";
    PgResult result = conn->Run(sql, IID_ITableCreation,
                                L"could not read the definition of the table " + Quoted(name), &hr);
    if (FAILED(hr))
        return hr;
    const size_t n = prgColumnDescs ? static_cast<size_t>(result.Rows()) : 0;
    DBCOLUMNDESC* descs = n ? AllocArray<DBCOLUMNDESC>(n) : nullptr;
    std::wstring strings;
    std::vector<size_t> nameAt(n);
    bool ok = n == 0 || descs;
    for (size_t i = 0; ok && i < n; ++i) {
        const int row = static_cast<int>(i);
        DBCOLUMNDESC& d = descs[i];
        const provider::ColumnType type =
            TypeOfPgColumn(static_cast<uint32_t>(Number(result, row, 1)),
                           static_cast<int>(Number(result, row, 2)));
        d.wType = type.type;
        d.ulColumnSize = type.size;
        d.bPrecision = type.precision;
        d.bScale = type.scale;
        d.dbcid.eKind = DBKIND_NAME;
        nameAt[i] = strings.size();
        strings += Utf8ToWide(result.Text(row, 0));
        strings.push_back(L'\0');
        const bool identity = !result.IsNull(row, 4);
        const size_t count = identity ? 4 : 1;
        DBPROP* props = AllocArray<DBPROP>(count);
        DBPROPSET* set = AllocArray<DBPROPSET>(1);
        if (!props || !set) {
            CoTaskMemFree(props);
            CoTaskMemFree(set);
            ok = false;
            break;
        }
        for (size_t p = 0; p < count; ++p) {
            props[p].dwOptions = DBPROPOPTIONS_REQUIRED;
            props[p].dwStatus = DBPROPSTATUS_OK;
            props[p].colid = DB_NULLID;
            VariantInit(&props[p].vValue);
        }
        props[0].dwPropertyID = DBPROP_COL_NULLABLE;
        props[0].vValue.vt = VT_BOOL;
        props[0].vValue.boolVal = IsTrue(result, row, 3) ? VARIANT_FALSE : VARIANT_TRUE;
        if (identity) {
            props[1].dwPropertyID = DBPROP_COL_AUTOINCREMENT;
            props[1].vValue.vt = VT_BOOL;
            props[1].vValue.boolVal = VARIANT_TRUE;
            props[2].dwPropertyID = DBPROP_COL_SEED;
            props[2].vValue.vt = VT_I8;
            props[2].vValue.llVal = Number(result, row, 4);
            props[3].dwPropertyID = DBPROP_COL_INCREMENT;
            props[3].vValue.vt = VT_I8;
            props[3].vValue.llVal = Number(result, row, 5);
        }
        set->guidPropertySet = DBPROPSET_COLUMN;
        set->rgProperties = props;
        set->cProperties = static_cast<ULONG>(count);
        d.rgPropertySets = set;
        d.cPropertySets = 1;
    }
    OLECHAR* block = nullptr;
    if (ok && ppwszStringBuffer && n) {
        block = static_cast<OLECHAR*>(CoTaskMemAlloc(strings.size() * sizeof(OLECHAR)));
        ok = block != nullptr;
        if (block) {
            std::memcpy(block, strings.data(), strings.size() * sizeof(OLECHAR));
            for (size_t i = 0; i < n; ++i)
                descs[i].dbcid.uName.pwszName = block + nameAt[i];
        }
    }
    if (!ok) {
        vorn::FreeColumnDescs(descs, n);
        return PostProviderError(E_OUTOFMEMORY, IID_ITableCreation,
                                 L"out of memory describing the table " + Quoted(name));
    }
    if (prgColumnDescs) {
        *pcColumnDescs = static_cast<DBORDINAL>(n);
        *prgColumnDescs = descs;
    }
    if (ppwszStringBuffer)
        *ppwszStringBuffer = block;
    provider::ClearProviderError();
    return S_OK;
}

}  // namespace vorn::pgprovider
