// Finding LIKE patterns written with Access's wildcards.
#include "like_hint.h"

#include <cctype>

namespace vornsql {
namespace {

bool IsWordCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The end of a quoted piece that starts at i (a doubled quote stays inside).
size_t QuotedEnd(const std::string& sql, size_t i, char close) {
    for (size_t k = i + 1; k < sql.size(); ++k) {
        if (sql[k] != close)
            continue;
        if (close != ']' && k + 1 < sql.size() && sql[k + 1] == close) {
            ++k;
            continue;
        }
        return k + 1;
    }
    return sql.size();
}

}  // namespace

std::string AccessWildcardPattern(const std::string& sql) {
    bool afterLike = false;
    size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const size_t end = sql.find('\n', i);
            i = end == std::string::npos ? sql.size() : end;
            continue;
        }
        if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const size_t end = sql.find("*/", i + 2);
            i = end == std::string::npos ? sql.size() : end + 2;
            continue;
        }
        if (c == '\'' || c == '"') {
            const size_t end = QuotedEnd(sql, i, c);
            const std::string literal = sql.substr(i, end - i);
            if (afterLike && literal.find_first_of("*?") != std::string::npos)
                return literal;
            afterLike = false;
            i = end;
            continue;
        }
        if (c == '[' || c == '`') {
            i = QuotedEnd(sql, i, c == '[' ? ']' : '`');
            afterLike = false;
            continue;
        }
        if (IsWordCharacter(c)) {
            size_t end = i;
            while (end < sql.size() && IsWordCharacter(sql[end]))
                ++end;
            std::string word = sql.substr(i, end - i);
            for (char& w : word)
                w = static_cast<char>(std::toupper(static_cast<unsigned char>(w)));
            afterLike = word == "LIKE";
            i = end;
            continue;
        }
        afterLike = false;
        ++i;
    }
    return std::string();
}

}  // namespace vornsql
