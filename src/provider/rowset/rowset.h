// The rowset of a statement's result: a static (snapshot) cursor over the rows SQLite
// gives, stepped as the consumer asks for them (a small batch at a time, never the whole
// result unless a move needs it) and kept in a row store, so that moves backwards,
// restarts and jumps to the end read the store.
//
// Movement: the cursor stands on the last row handed out. GetNextRows(offset, count)
// starts at the row after it (count > 0) or before it (count < 0), moved by offset:
// GetNextRows(0, 1) gives the next row, GetNextRows(0, -1) the previous one and
// GetNextRows(-2, 1) the previous one as well. After RestartPosition (and at the start)
// forward fetches begin with the first row and backward fetches with the last. A fetch
// that runs past either end gives the rows it found and DB_S_ENDOFROWSET, and leaves the
// cursor past that end: GetNextRows(-2, 1) after running off the end gives the last row.
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
// given, is the Jet statement stmt comes from, whose result column types it reports.
HRESULT CreateRowset(const std::shared_ptr<Database>& db, sqlite3_stmt* stmt,
                     const std::wstring& statementText, const RowsetProperties& properties,
                     IUnknown* creator, const std::vector<ColumnType>* columnTypes, REFIID riid,
                     IUnknown** ppRowset,
                     std::shared_ptr<const ResultDescription>* keptDescription = nullptr,
                     const sql::TranslationResult* translation = nullptr);

}  // namespace vorn::provider
