// Constraint names and index conditions out of CREATE statements.
#include "schema/definition_text.h"

#include <cstring>

namespace vorn::provider::schema {
namespace {

using TokenKind = DefinitionTokenKind;
using Token = DefinitionToken;

bool WordStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
bool WordPart(unsigned char c) {
    return WordStart(c) || (c >= '0' && c <= '9') || c == '$';
}

}  // namespace

std::vector<Token> TokenizeDefinition(const std::string& sql) {
    std::vector<Token> tokens;
    const size_t n = sql.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(sql[i]);
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n')
                ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const size_t close = sql.find("*/", i + 2);
            i = close == std::string::npos ? n : close + 2;
            continue;
        }
        const size_t begin = i;
        if (c == '"' || c == '`' || c == '\'' || c == '[') {
            const char closer = c == '[' ? ']' : static_cast<char>(c);
            std::string text;
            ++i;
            while (i < n) {
                if (sql[i] == closer) {
                    // A doubled quote stands for one; brackets have no escape.
                    if (closer != ']' && i + 1 < n && sql[i + 1] == closer) {
                        text.push_back(closer);
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text.push_back(sql[i++]);
            }
            if (c == '\'')
                tokens.push_back({TokenKind::String, sql.substr(begin, i - begin), begin, i});
            else
                tokens.push_back({TokenKind::QuotedName, text, begin, i});
            continue;
        }
        if (WordStart(c)) {
            while (i < n && WordPart(static_cast<unsigned char>(sql[i])))
                ++i;
            tokens.push_back({TokenKind::Word, sql.substr(begin, i - begin), begin, i});
            continue;
        }
        if (c >= '0' && c <= '9') {
            while (i < n && (WordPart(static_cast<unsigned char>(sql[i])) || sql[i] == '.'))
                ++i;
            tokens.push_back({TokenKind::Number, sql.substr(begin, i - begin), begin, i});
            continue;
        }
        ++i;
        tokens.push_back({TokenKind::Symbol, std::string(1, static_cast<char>(c)), begin, i});
    }
    return tokens;
}

namespace {

bool IsKeyword(const Token& t, const char* keyword) {
    if (t.kind != TokenKind::Word || t.text.size() != std::strlen(keyword))
        return false;
    for (size_t i = 0; i < t.text.size(); ++i) {
        char c = t.text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != keyword[i])
            return false;
    }
    return true;
}

bool IsSymbol(const Token& t, char c) {
    return t.kind == TokenKind::Symbol && t.text[0] == c;
}

bool IsName(const Token& t) {
    return t.kind == TokenKind::Word || t.kind == TokenKind::QuotedName ||
           t.kind == TokenKind::String;
}

// A name token's text; a string used as a name ('name') loses its quotes.
std::string NameText(const Token& t) {
    if (t.kind != TokenKind::String)
        return t.text;
    std::string text;
    for (size_t i = 1; i + 1 < t.text.size(); ++i) {
        text.push_back(t.text[i]);
        if (t.text[i] == '\'' && t.text[i + 1] == '\'')
            ++i;
    }
    return text;
}

// The index after the parenthesis that closes the one at open (or the end).
size_t SkipParens(const std::vector<Token>& t, size_t open) {
    int depth = 0;
    for (size_t i = open; i < t.size(); ++i) {
        if (IsSymbol(t[i], '('))
            ++depth;
        else if (IsSymbol(t[i], ')') && --depth == 0)
            return i + 1;
    }
    return t.size();
}

// The column names of "( a [COLLATE x] [ASC|DESC], b ... )" starting at open; *after is
// the index after the closing parenthesis.
std::vector<std::string> KeyColumns(const std::vector<Token>& t, size_t open, size_t* after) {
    std::vector<std::string> columns;
    bool expectName = true;
    int depth = 0;
    size_t i = open + 1;
    for (; i < t.size(); ++i) {
        if (IsSymbol(t[i], '(')) {
            ++depth;
            expectName = false;
            continue;
        }
        if (IsSymbol(t[i], ')')) {
            if (depth-- == 0) {
                ++i;
                break;
            }
            continue;
        }
        if (depth == 0 && IsSymbol(t[i], ',')) {
            expectName = true;
            continue;
        }
        if (expectName && depth == 0 && IsName(t[i]))
            columns.push_back(NameText(t[i]));
        expectName = false;
    }
    *after = i;
    return columns;
}

// The text of a parenthesised condition starting at open, without the parentheses.
std::string ParenText(const std::string& sql, const std::vector<Token>& t, size_t open,
                      size_t* after) {
    const size_t close = SkipParens(t, open);
    *after = close;
    if (close <= open + 1 || close > t.size())
        return std::string();
    const size_t begin = t[open].end;
    const size_t end =
        close <= t.size() && IsSymbol(t[close - 1], ')') ? t[close - 1].begin : sql.size();
    size_t b = begin, e = end;
    while (b < e && (sql[b] == ' ' || sql[b] == '\n' || sql[b] == '\t' || sql[b] == '\r'))
        ++b;
    while (e > b &&
           (sql[e - 1] == ' ' || sql[e - 1] == '\n' || sql[e - 1] == '\t' || sql[e - 1] == '\r'))
        --e;
    return sql.substr(b, e - b);
}

// Reads the constraints of one item of the column list: a table constraint or a column
// definition with its column constraints. [first, last) are the item's tokens.
void ReadItem(const std::string& sql, const std::vector<Token>& t, size_t first, size_t last,
              std::vector<DeclaredConstraint>* out) {
    if (first >= last)
        return;
    const bool tableConstraint = IsKeyword(t[first], "CONSTRAINT") ||
                                 IsKeyword(t[first], "PRIMARY") || IsKeyword(t[first], "UNIQUE") ||
                                 IsKeyword(t[first], "CHECK") || IsKeyword(t[first], "FOREIGN");
    std::string column;
    size_t i = first;
    if (!tableConstraint) {
        column = NameText(t[first]);
        i = first + 1;
    }
    std::string pendingName;
    while (i < last) {
        const Token& tok = t[i];
        if (IsKeyword(tok, "CONSTRAINT") && i + 1 < last && IsName(t[i + 1])) {
            pendingName = NameText(t[i + 1]);
            i += 2;
            continue;
        }
        if (IsKeyword(tok, "PRIMARY") && i + 1 < last && IsKeyword(t[i + 1], "KEY")) {
            DeclaredConstraint c;
            c.kind = ConstraintKind::PrimaryKey;
            c.name = pendingName;
            i += 2;
            if (tableConstraint && i < last && IsSymbol(t[i], '('))
                c.columns = KeyColumns(t, i, &i);
            else
                c.columns.push_back(column);
            out->push_back(c);
            pendingName.clear();
            continue;
        }
        if (IsKeyword(tok, "UNIQUE")) {
            DeclaredConstraint c;
            c.kind = ConstraintKind::Unique;
            c.name = pendingName;
            ++i;
            if (tableConstraint && i < last && IsSymbol(t[i], '('))
                c.columns = KeyColumns(t, i, &i);
            else
                c.columns.push_back(column);
            out->push_back(c);
            pendingName.clear();
            continue;
        }
        if (IsKeyword(tok, "CHECK") && i + 1 < last && IsSymbol(t[i + 1], '(')) {
            DeclaredConstraint c;
            c.kind = ConstraintKind::Check;
            c.name = pendingName;
            c.text = ParenText(sql, t, i + 1, &i);
            out->push_back(c);
            pendingName.clear();
            continue;
        }
        if (IsSymbol(tok, '(')) {
            i = SkipParens(t, i);
            continue;
        }
        // Any other constraint keyword takes the pending name.
        if (IsKeyword(tok, "NOT") || IsKeyword(tok, "NULL") || IsKeyword(tok, "DEFAULT") ||
            IsKeyword(tok, "COLLATE") || IsKeyword(tok, "REFERENCES") ||
            IsKeyword(tok, "FOREIGN") || IsKeyword(tok, "GENERATED") || IsKeyword(tok, "AS"))
            pendingName.clear();
        ++i;
    }
}

}  // namespace

std::vector<DeclaredConstraint> ReadDeclaredConstraints(const std::string& createTable) {
    std::vector<DeclaredConstraint> constraints;
    const std::vector<Token> t = TokenizeDefinition(createTable);
    if (t.size() < 4 || !IsKeyword(t[0], "CREATE"))
        return constraints;
    // The column list: the first parenthesis, unless AS SELECT comes before it.
    size_t open = 0;
    for (size_t i = 1; i < t.size(); ++i) {
        if (IsKeyword(t[i], "AS"))
            return constraints;
        if (IsSymbol(t[i], '(')) {
            open = i;
            break;
        }
    }
    if (open == 0)
        return constraints;
    const size_t close = SkipParens(t, open);
    const size_t bodyEnd =
        close > 0 && close <= t.size() && IsSymbol(t[close - 1], ')') ? close - 1 : t.size();
    size_t itemStart = open + 1;
    int depth = 0;
    for (size_t i = open + 1; i <= bodyEnd; ++i) {
        if (i == bodyEnd || (depth == 0 && IsSymbol(t[i], ','))) {
            ReadItem(createTable, t, itemStart, i, &constraints);
            itemStart = i + 1;
            continue;
        }
        if (IsSymbol(t[i], '('))
            ++depth;
        else if (IsSymbol(t[i], ')'))
            --depth;
    }
    return constraints;
}

std::string ReadIndexCondition(const std::string& createIndex) {
    const std::vector<Token> t = TokenizeDefinition(createIndex);
    // CREATE [UNIQUE] INDEX ... ON table ( columns ) WHERE condition
    size_t i = 0;
    while (i < t.size() && !IsKeyword(t[i], "ON"))
        ++i;
    while (i < t.size() && !IsSymbol(t[i], '('))
        ++i;
    if (i >= t.size())
        return std::string();
    i = SkipParens(t, i);
    if (i >= t.size() || !IsKeyword(t[i], "WHERE") || i + 1 >= t.size())
        return std::string();
    size_t end = t.back().end;
    if (IsSymbol(t.back(), ';'))
        end = t.back().begin;
    const size_t begin = t[i + 1].begin;
    std::string text = end > begin ? createIndex.substr(begin, end - begin) : std::string();
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r' ||
                             text.back() == '\t'))
        text.pop_back();
    return text;
}

}  // namespace vorn::provider::schema
