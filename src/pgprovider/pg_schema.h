// The catalog of a PostgreSQL database in OLE DB's terms: the TABLES, COLUMNS and INDEXES
// schema rowsets and table definitions (with identity columns' seed and increment), read
// from the server's catalogs. Tables of every schema but the server's own (pg_catalog,
// information_schema) are listed; names are matched without regard to letter case, since
// hosts write them as they like and the server folds unquoted names to lower case.
#pragma once

#include <memory>
#include <string>

#include "pg_connection.h"
#include "vornoledb/platform/oledb.h"

namespace vorn::pgprovider {

HRESULT GetPgSchemaRowset(const std::shared_ptr<PgConnection>& conn, IUnknown* session,
                          IUnknown* pUnkOuter, REFGUID rguidSchema, ULONG cRestrictions,
                          const VARIANT rgRestrictions[], REFIID riid, ULONG cPropertySets,
                          DBPROPSET rgPropertySets[], IUnknown** ppRowset);

HRESULT GetPgTableDefinition(const std::shared_ptr<PgConnection>& conn, DBID* pTableID,
                             DBORDINAL* pcColumnDescs, DBCOLUMNDESC* prgColumnDescs[],
                             ULONG* pcPropertySets, DBPROPSET* prgPropertySets[],
                             ULONG* pcConstraintDescs, DBCONSTRAINTDESC* prgConstraintDescs[],
                             OLECHAR** ppwszStringBuffer);

// The table a host's name stands for: the exact name when a table has it, else the one
// table whose name matches without regard to letter case. Gives the schema and name as the
// server keeps them; found is false when there is none. Posts a record on failure.
HRESULT FindPgTable(const std::shared_ptr<PgConnection>& conn, const std::wstring& name, REFIID iid,
                    std::string* schema, std::string* table, bool* found);

// A literal of the server: text between single quotes, inner quotes doubled (the server's
// standard_conforming_strings keep backslashes as they are).
std::string QuoteLiteral(const std::string& text);

}  // namespace vorn::pgprovider
