// ITableCreation::GetTableDefinition of the embedded provider: the definition of a table
// or view as column descriptions in ordinal order, each with its DBPROPSET_COLUMN
// properties, and the table's constraints.
//
// Column properties: DBPROP_COL_AUTOINCREMENT (VT_BOOL) for every column, with
// DBPROP_COL_SEED and DBPROP_COL_INCREMENT (VT_I4, or VT_I8 beyond 32 bits) for identity
// columns (COUNTER, and SQLite's INTEGER PRIMARY KEY rowid); DBPROP_COL_NULLABLE,
// DBPROP_COL_FIXEDLENGTH, DBPROP_COL_PRIMARYKEY (the column alone is the primary key) and
// DBPROP_COL_UNIQUE (the column alone has a unique index) as VT_BOOL; DBPROP_COL_DEFAULT
// (VT_BSTR, the default's SQL expression) when the column has a default.
//
// Constraints: the primary key and the UNIQUE constraints under the names the INDEXES
// schema rowset gives their indexes, CHECK constraints with their text, and foreign keys
// (whose names SQLite does not keep: their constraint id is null).
//
// Memory: every array, the DBID of each constraint and the referenced table, and the
// string buffer are CoTaskMemAlloc'd for the caller; property values are VARIANTs the
// caller clears. Names (of columns, types, constraints and referenced tables) and CHECK
// texts point into *ppwszStringBuffer; when no string buffer is asked for they are null.
#pragma once

#include <memory>

#include "database.h"
#include "vornoledb/platform/oledb.h"

namespace vorn::provider::schema {

HRESULT GetTableDefinition(const std::shared_ptr<Database>& db, DBID* pTableID,
                           DBORDINAL* pcColumnDescs, DBCOLUMNDESC* prgColumnDescs[],
                           ULONG* pcPropertySets, DBPROPSET* prgPropertySets[],
                           ULONG* pcConstraintDescs, DBCONSTRAINTDESC* prgConstraintDescs[],
                           OLECHAR** ppwszStringBuffer);

}  // namespace vorn::provider::schema
