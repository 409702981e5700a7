// The description of a statement's result columns as a rowset reports them: names, types
// and flags, read from SQLite's metadata of the prepared statement. Describing costs
// more than running a short statement (names converted to wide text, a lookup of each
// column's table definition), so a description is made once per prepared statement and
// shared, read-only, by every rowset over that statement; the statement cache keeps it
// with the statement.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "rowset/rowset_columns.h"
#include "sql/jet_sql.h"
#include "types/column_types.h"

struct sqlite3;
struct sqlite3_stmt;

namespace vorn::provider {

// A statement's result columns as SQLite describes them.
struct ResultDescription : RowsetDescription {
    // Some column has no usable declared type: each result takes it from its first value.
    bool typedByValue = false;
    // SQLite's count of re-preparations of the statement when it was described: a
    // description with another count describes a statement that is gone.
    int preparation = 0;
};

// Describes the result columns of stmt (prepared on db). columnTypes, when given, replaces
// the declared types (one per column). translation, when given, is the Jet statement stmt
// was translated from: its result column types (the Jet types of expressions) stand in
// for SQLite's declared types where it has them.
std::shared_ptr<ResultDescription> DescribeResult(
    sqlite3* db, sqlite3_stmt* stmt, const std::wstring& statementText,
    const std::vector<ColumnType>* columnTypes,
    const sql::TranslationResult* translation = nullptr);

// SQLite's count of re-preparations of stmt (see ResultDescription::preparation).
int PreparationOf(sqlite3_stmt* stmt);

// True when description still describes stmt, prepared from statementText.
bool DescribesCurrently(const ResultDescription& description, sqlite3_stmt* stmt,
                        const std::wstring& statementText);

}  // namespace vorn::provider
