// The SQL vornsql copy writes into its target: CREATE TABLE and CREATE INDEX with the
// columns' types mapped, and INSERT values as literals, in PostgreSQL's dialect or in the
// Access (Jet) dialect of a database file.
#pragma once

#include <string>
#include <vector>

#include "copy_schema.h"
#include "result_values.h"

namespace vornsql {

enum class Dialect { PostgreSQL, Jet };

// A table or column name as the target writes it: PostgreSQL names are lower-cased (so that
// SQL written without quotes finds them) and double-quoted; Jet names are bracketed.
std::wstring TargetName(Dialect dialect, const std::wstring& name);

// The CREATE TABLE statement of the table, with its primary key; COUNTER (identity)
// columns keep their seed and increment. Defaults that are plain values (a number, a
// quoted text, a yes/no) come along; expressions of one dialect are left out.
std::wstring CreateTableSql(Dialect dialect, const CopyTable& table);

// CREATE [UNIQUE] INDEX statements of the table's other indexes. Index names are made
// from the table's and the index's, since both targets want them unique in the database.
std::vector<std::wstring> CreateIndexSql(Dialect dialect, const CopyTable& table);

// What makes identity columns continue after their highest value once the rows are in
// (PostgreSQL: the sequence is set; a database file's COUNTER continues by itself).
std::vector<std::wstring> ContinueIdentitySql(Dialect dialect, const CopyTable& table);

// A value read by ReadRow (whole values: binary ones as hexadecimal digits, numbers with
// every digit) as a literal of the target column's type. False with *error when the
// target cannot hold the value.
bool ValueLiteral(Dialect dialect, const CopyColumn& column, const Cell& cell,
                  std::wstring* literal, std::string* error);

// A source table's name as the source's dialect quotes it (kept as it is).
std::wstring SourceName(Dialect source, const std::wstring& table);

// The query that reads every row of a source table in the source's dialect.
std::wstring SelectAllSql(Dialect source, const std::wstring& table);

}  // namespace vornsql
