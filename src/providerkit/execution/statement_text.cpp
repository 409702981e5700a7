// Lexical helpers over SQL text.
#include "execution/statement_text.h"
#include "text_helpers.h"

#include <cstring>

namespace vorn::provider {
namespace {

bool IdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

}  // namespace

const char* SkipBlankSql(const char* p, const char* end) {
    while (p < end) {
        const char c = *p;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == ';') {
            ++p;
        } else if (c == '-' && p + 1 < end && p[1] == '-') {
            while (p < end && *p != '\n')
                ++p;
        } else if (c == '/' && p + 1 < end && p[1] == '*') {
            p += 2;
            while (p + 1 < end && !(p[0] == '*' && p[1] == '/'))
                ++p;
            p = p + 1 < end ? p + 2 : end;
        } else {
            break;
        }
    }
    return p;
}

bool StartsWithKeyword(const char* p, const char* end, const char* keyword) {
    p = SkipBlankSql(p, end);
    const size_t n = std::strlen(keyword);
    if (static_cast<size_t>(end - p) < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (AsciiUpper(p[i]) != keyword[i])
            return false;
    return p + n == end || !IdentifierChar(p[n]);
}

bool IsRowChangingStatement(const char* p, const char* end) {
    // A statement without result columns that starts with WITH is a common table
    // expression in front of INSERT, UPDATE or DELETE.
    return StartsWithKeyword(p, end, "INSERT") || StartsWithKeyword(p, end, "UPDATE") ||
           StartsWithKeyword(p, end, "DELETE") || StartsWithKeyword(p, end, "REPLACE") ||
           StartsWithKeyword(p, end, "WITH");
}

std::wstring QuotedStatement(const std::wstring& sql) {
    constexpr size_t kShown = 500;
    if (sql.size() <= kShown)
        return L"'" + sql + L"'";
    return L"'" + sql.substr(0, kShown) + L"...'";
}

}  // namespace vorn::provider
