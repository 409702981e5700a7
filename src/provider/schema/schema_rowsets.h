// IDBSchemaRowset of the embedded provider: the TABLES, COLUMNS, INDEXES and PROCEDURES
// schema rowsets with the columns, ordinals and types OLE DB defines for them, and the list of
// what is supported.
//
// Restrictions: VT_EMPTY is no restriction; text restrictions are VT_BSTR and match the
// column's value without regard to letter case (names and table types alike), so the
// empty text matches only an empty value and never a NULL; the INDEXES TYPE restriction is
// a number (every index is DBPROPVAL_IT_BTREE), and so is the PROCEDURES PROCEDURE_TYPE
// restriction (every procedure is DB_PT_PROCEDURE). Values this provider has no notion of
// are NULL (catalogs, GUIDs, property ids, descriptions, the dates of tables), so a catalog
// restriction matches no row. PROCEDURES lists the procedures made with CREATE PROCEDURE,
// with their Jet SQL as PROCEDURE_DEFINITION and the dates they were made and changed. Rows come
// sorted as OLE DB defines for each rowset; see schema_catalog.h for table types and index names.
#pragma once

#include <memory>

#include "database.h"
#include "vornoledb/platform/oledb.h"

namespace vorn::provider::schema {

// IDBSchemaRowset::GetRowset over db. session is the rowset's creator, which it keeps
// alive.
HRESULT GetSchemaRowset(const std::shared_ptr<Database>& db, IUnknown* session, IUnknown* pUnkOuter,
                        REFGUID rguidSchema, ULONG cRestrictions, const VARIANT rgRestrictions[],
                        REFIID riid, ULONG cPropertySets, DBPROPSET rgPropertySets[],
                        IUnknown** ppRowset);

// IDBSchemaRowset::GetSchemas: TABLES, COLUMNS, INDEXES and PROCEDURES with every
// restriction.
HRESULT GetSupportedSchemas(ULONG* pcSchemas, GUID** prgSchemas, ULONG** prgRestrictionSupport);

}  // namespace vorn::provider::schema
