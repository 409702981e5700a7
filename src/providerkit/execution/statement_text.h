// Small lexical helpers over SQL text: what lies between statements, a statement's
// leading keyword, and statements quoted for messages.
#pragma once

#include <string>

namespace vorn::provider {

// Skips white space, comments (-- to the end of the line, /* ... */) and semicolons.
const char* SkipBlankSql(const char* p, const char* end);

// Whether the statement text starts (after blanks) with the keyword, in any letter case.
bool StartsWithKeyword(const char* p, const char* end, const char* keyword);

// Whether a statement without result columns changes rows and so reports how many:
// INSERT, UPDATE, DELETE, REPLACE, and WITH ... followed by one of them.
bool IsRowChangingStatement(const char* p, const char* end);

// The statement between single quotes for messages, cut after 500 characters.
std::wstring QuotedStatement(const std::wstring& sql);

}  // namespace vorn::provider
