// Rowsets over prepared SQLite statements: the row source that steps a statement, on the
// shared rowset.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "rowset/result_description.h"
#include "rowset/rowset_properties.h"
#include "database.h"
#include "types/column_types.h"

struct sqlite3_stmt;

namespace vorn::provider {

// Makes a rowset over stmt, a prepared statement with result columns, and answers riid
// from it. The rowset takes stmt over (it is finalized on every path, failures included).
// The first row is stepped here, so that run-time errors of the statement surface now and
// columns without a declared type take their first value's type; a statement that writes
// is stepped to its end here. statementText names the statement in error records.
// columnTypes, when given, replaces the declared types (one per column).
// creator is the object IRowsetInfo answers for the rowset's creator (the command; may be null).
// keptDescription, when given (and columnTypes is not), is where the statement's owner
// keeps the description of its result columns between runs: a current one there is used
// instead of describing the columns again, and a new one is put there. translation, when
// given, is the Jet statement stmt comes from, whose result column types it reports. translation,
// when given, is the Jet statement stmt comes from, whose result column types it reports.
HRESULT CreateRowset(const std::shared_ptr<Database>& db, sqlite3_stmt* stmt,
                     const std::wstring& statementText, const RowsetProperties& properties,
                     IUnknown* creator, const std::vector<ColumnType>* columnTypes, REFIID riid,
                     IUnknown** ppRowset,
                     std::shared_ptr<const ResultDescription>* keptDescription = nullptr,
                     const sql::TranslationResult* translation = nullptr);

}  // namespace vorn::provider
