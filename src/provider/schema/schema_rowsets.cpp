// The TABLES, COLUMNS, INDEXES and PROCEDURES schema rowsets.
#include "schema/schema_rowsets.h"

#include <sqlite3.h>

#include <cstring>
#include <string>
#include <vector>

#include "rowset/rowset_properties.h"
#include "provider_errors.h"
#include "schema/schema_catalog.h"
#include "schema/schema_requests.h"
#include "schema/schema_rowset_builder.h"
#include "sql/jet_sql.h"
#include "sqlite_errors.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::schema {
namespace {

// PROCEDURE_TYPE of a saved procedure (DB_PT_PROCEDURE).
constexpr long long kProcedureType = 2;

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
        return rows.Finish(kTablesOrder, properties, session_, riid, ppRowset);
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
                ColumnsRow row;
                row.schema = t.schema;
                row.table = t.name;
                row.column = c.name;
                row.ordinal = c.ordinal;
                row.hasDefault = c.hasDefault;
                row.defaultText = c.defaultText;
                row.type = c.type;
                row.nullable = c.nullable;
                hr = AddColumnsRow(rows, row);
                if (FAILED(hr))
                    return hr;
            }
        }
        return rows.Finish(kColumnsOrder, properties, session_, riid, ppRowset);
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
        return rows.Finish(kIndexesOrder, properties, session_, riid, ppRowset);
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
        return rows.Finish(kProceduresOrder, properties, session_, riid, ppRowset);
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
    SchemaRequestArgs args;
    HRESULT hr =
        ReadSchemaRequest(SchemaKinds::CatalogAndProcedures, pUnkOuter, rguidSchema, cRestrictions,
                          rgRestrictions, cPropertySets, rgPropertySets, ppRowset, &args);
    if (FAILED(hr))
        return hr;
    const RowsetProperties& properties = args.properties;
    const HRESULT propertiesResult = args.propertiesResult;
    SchemaRequest request(db, session, *args.kind, std::move(args.restrictions));
    hr = request.Run(properties, riid, ppRowset);
    if (FAILED(hr))
        return hr;
    ClearProviderError();
    // Optional properties that could not be set are reported as OLE DB does.
    return propertiesResult;
}

HRESULT GetSupportedSchemas(ULONG* pcSchemas, GUID** prgSchemas, ULONG** prgRestrictionSupport) {
    return AnswerSupportedSchemas(SchemaKinds::CatalogAndProcedures, pcSchemas, prgSchemas,
                                  prgRestrictionSupport);
}

}  // namespace vorn::provider::schema
