// Saved queries of an Access file: the engine keeps no SQL text for a query, only the rows
// of MSysQueries that describe it (its columns, tables, joins, conditions ...); the SQL is
// built from them as Access shows it in its SQL view.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vorn::provider::stores::access {

// One row of MSysQueries; text is UTF-8.
struct QueryRow {
    int attribute = 0;
    std::optional<int> flag;
    std::string name1;
    std::string name2;
    std::string expression;
};

// The kinds of saved query (the flag of the row of attribute 1; a query without that row is
// a select query).
enum class QueryKind {
    Select,
    MakeTable,
    Append,
    Update,
    Delete,
    Crosstab,
    DataDefinition,
    PassThrough,
    Union,
    Unknown
};

QueryKind KindOfQuery(const std::vector<QueryRow>& rows);

// The SQL of a select or union query. False with *why filled for the other kinds and for
// rows that describe no query.
bool BuildQuerySql(const std::vector<QueryRow>& rows, std::string* sql, std::string* why);

}  // namespace vorn::provider::stores::access
