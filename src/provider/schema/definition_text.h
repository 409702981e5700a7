// Reads what SQLite keeps only in the text of its CREATE statements: the names the DDL gave
// to PRIMARY KEY and UNIQUE constraints (SQLite names their indexes sqlite_autoindex_*),
// the text of CHECK constraints, and the WHERE condition of a partial index.
//
// The text is read with a small tokenizer (quoted names, strings, comments, nested
// parentheses), never by searching the raw text, so a name or string that holds a keyword
// is not mistaken for one.
#pragma once

#include <string>
#include <vector>

namespace vorn::provider::schema {

// A token of SQL as SQLite keeps it in its schema; white space and comments are left out.
enum class DefinitionTokenKind { Word, QuotedName, String, Number, Symbol };

struct DefinitionToken {
    DefinitionTokenKind kind;
    std::string text;   // a name unquoted; a symbol's character; a string as written
    size_t begin, end;  // byte offsets in the statement
};

// Splits SQL text into tokens. An unterminated quote or comment runs to the end of the
// text.
std::vector<DefinitionToken> TokenizeDefinition(const std::string& sql);

enum class ConstraintKind { PrimaryKey, Unique, Check };

struct DeclaredConstraint {
    ConstraintKind kind = ConstraintKind::PrimaryKey;
    std::string name;                  // as the DDL gave it (unquoted); empty when unnamed
    std::vector<std::string> columns;  // key columns in order (PRIMARY KEY, UNIQUE)
    std::string text;                  // the condition of a CHECK, as written
};

// The constraints of a CREATE TABLE statement (UTF-8), column constraints and table
// constraints alike, in the order they are written. Text that is not a CREATE TABLE
// statement with a column list gives none.
std::vector<DeclaredConstraint> ReadDeclaredConstraints(const std::string& createTable);

// The condition after WHERE of a CREATE INDEX statement, as written; empty when the index
// has none.
std::string ReadIndexCondition(const std::string& createIndex);

}  // namespace vorn::provider::schema
