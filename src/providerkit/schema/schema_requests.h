// What every provider's IDBSchemaRowset shares: the TABLES, COLUMNS, INDEXES and PROCEDURES
// schema rowsets with the columns, ordinals and types OLE DB defines for them, their
// restrictions read and checked, and the list of what is supported.
//
// Restrictions: VT_EMPTY is no restriction; text restrictions are VT_BSTR and match the
// column's value without regard to letter case (names and table types alike), so the
// empty text matches only an empty value and never a NULL; the INDEXES TYPE restriction is
// a number, and so is the PROCEDURES PROCEDURE_TYPE restriction.
#pragma once

#include <string>
#include <vector>

#include "rowset/column_type.h"
#include "rowset/rowset_properties.h"
#include "schema/schema_rowset_builder.h"
#include "vornoledb/platform/oledb.h"

namespace vorn::provider::schema {

// Index types, null orderings and collations of the INDEXES rowset.
constexpr long long kIndexTypeBtree = 1;       // DBPROPVAL_IT_BTREE
constexpr long long kNullsAllowed = 0;         // DBPROPVAL_IN_ALLOWNULL
constexpr long long kNullsRefused = 1;         // DBPROPVAL_IN_DISALLOWNULL
constexpr long long kNullsSortLow = 4;         // DBPROPVAL_NC_LOW: NULLs sort first
constexpr long long kNullsSortHigh = 2;        // DBPROPVAL_NC_HIGH: NULLs sort last
constexpr long long kCollationAscending = 1;   // DB_COLLATION_ASC
constexpr long long kCollationDescending = 2;  // DB_COLLATION_DESC

extern const std::vector<SchemaColumn> kTablesColumns;
extern const std::vector<SchemaColumn> kColumnsColumns;
extern const std::vector<SchemaColumn> kIndexesColumns;
extern const std::vector<SchemaColumn> kProceduresColumns;

// The sort orders of the rowsets, as SchemaRowsetBuilder::Finish reads them.
extern const char kTablesOrder[];
extern const char kColumnsOrder[];
extern const char kIndexesOrder[];
extern const char kProceduresOrder[];

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

// The schema rowsets a provider offers: TABLES, COLUMNS and INDEXES, and PROCEDURES with a
// provider that keeps procedures.
enum class SchemaKinds { Catalog, CatalogAndProcedures };

// The arguments of one GetRowset call, checked.
struct SchemaRequestArgs {
    const SchemaKind* kind = nullptr;
    std::vector<Restriction> restrictions;  // one per restriction of the kind
    RowsetProperties properties;
    HRESULT propertiesResult = S_OK;  // DB_S_ERRORSOCCURRED when optional ones were refused
};

// Checks the arguments of IDBSchemaRowset::GetRowset (posting a record on failure): no
// aggregation, a supported schema, restrictions of the right kinds, rowset properties.
HRESULT ReadSchemaRequest(SchemaKinds kinds, IUnknown* pUnkOuter, REFGUID rguidSchema,
                          ULONG cRestrictions, const VARIANT rgRestrictions[], ULONG cPropertySets,
                          DBPROPSET rgPropertySets[], IUnknown** ppRowset, SchemaRequestArgs* out);

// Whether a text value (NULL when isNull) meets a restriction.
bool Meets(const Restriction& r, const std::wstring& value, bool isNull = false);

// One column of a table as a row of the COLUMNS rowset.
struct ColumnsRow {
    std::wstring schema;  // empty: NULL
    std::wstring table;
    std::wstring column;
    long long ordinal = 0;
    bool hasDefault = false;
    std::wstring defaultText;    // when hasDefault; empty with hasDefault is the empty text
    bool defaultIsNull = false;  // a default that is there but has no text (an identity's)
    ColumnType type;
    bool nullable = true;
};

// Adds the row to a builder of kColumnsColumns: flags, lengths, precision and scale worked
// out from the column's type (column_facts.h).
HRESULT AddColumnsRow(SchemaRowsetBuilder& rows, const ColumnsRow& column);

// IDBSchemaRowset::GetSchemas: the rowsets of kinds, each with every restriction.
HRESULT AnswerSupportedSchemas(SchemaKinds kinds, ULONG* pcSchemas, GUID** prgSchemas,
                               ULONG** prgRestrictionSupport);

}  // namespace vorn::provider::schema
