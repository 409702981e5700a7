// Tokens of Jet SQL: names (plain, [bracketed], `backquoted`), string literals in ' and "
// (a doubled quote stands for one), numbers, #date# literals, parameters (?, @name,
// :name), @@IDENTITY, and operators. Jet SQL has no comments.
#pragma once

#include <string>
#include <vector>

namespace vorn::provider::sql {

enum class TokenKind {
    End,
    Name,        // plain name or keyword; value is the name
    QuotedName,  // [name] or `name`; never a keyword
    String,      // value is the text without quotes
    Number,      // value is the literal as written
    Date,        // value is the text between the # signs
    Parameter,   // ? (value empty) or @name / :name (value is the whole token)
    Operator,    // ( ) , . ; * / \ + - ^ & = <> < > <= >= ! { }
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::wstring value;
    size_t begin = 0;  // offset of the first character in the statement
    size_t end = 0;    // offset after the last character
};

struct TokenizeError {
    size_t position = 0;  // offset of the offending character or token start
    std::wstring text;    // the offending text as written
    std::wstring detail;
};

// Splits text into tokens ending with one End token. False with *error on a string,
// name or date not closed, or a character that starts no token.
bool TokenizeJetSql(const std::wstring& text, std::vector<Token>* tokens, TokenizeError* error);

}  // namespace vorn::provider::sql
