// Tokens of Jet SQL.
#include "sql/jet_tokenizer.h"
#include "text_helpers.h"

#include <cwctype>

namespace vorn::provider::sql {
namespace {

bool IsNameStart(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_' ||
           (c > 0x7F && std::iswalpha(wint_t(c))) || (c > 0xFF && c != 0xFEFF && c < 0xFFFE);
}

bool IsNamePart(wchar_t c) {
    return IsNameStart(c) || (c >= L'0' && c <= L'9');
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f' || c == L'\v' ||
           c == 0xA0 || c == 0xFEFF;
}

}  // namespace

bool TokenizeJetSql(const std::wstring& s, std::vector<Token>* tokens, TokenizeError* error) {
    tokens->clear();
    const size_t n = s.size();
    size_t i = 0;
    auto fail = [&](size_t at, size_t len, const wchar_t* detail) {
        error->position = at;
        error->text = s.substr(at, len > 30 ? 30 : len);
        error->detail = detail;
        return false;
    };
    while (true) {
        while (i < n && IsBlank(s[i]))
            ++i;
        Token t;
        t.begin = i;
        if (i >= n) {
            t.kind = TokenKind::End;
            t.end = i;
            tokens->push_back(t);
            return true;
        }
        const wchar_t c = s[i];
        if (c == L'\'' || c == L'"') {
            std::wstring v;
            size_t j = i + 1;
            bool closed = false;
            while (j < n) {
                if (s[j] == c) {
                    if (j + 1 < n && s[j + 1] == c) {
                        v.push_back(c);
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                v.push_back(s[j++]);
            }
            if (!closed)
                return fail(i, n - i, L"the string literal is not closed");
            t.kind = TokenKind::String;
            t.value = std::move(v);
            i = j;
        } else if (c == L'[' || c == L'`') {
            const wchar_t close = c == L'[' ? L']' : L'`';
            size_t j = i + 1;
            std::wstring v;
            bool closed = false;
            while (j < n) {
                if (s[j] == close) {
                    if (close == L'`' && j + 1 < n && s[j + 1] == L'`') {
                        v.push_back(L'`');
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                v.push_back(s[j++]);
            }
            if (!closed)
                return fail(i, n - i, L"the bracketed name is not closed");
            if (v.empty())
                return fail(i, j - i, L"a name in brackets may not be empty");
            t.kind = TokenKind::QuotedName;
            t.value = std::move(v);
            i = j;
        } else if (c == L'#') {
            const size_t close = s.find(L'#', i + 1);
            if (close == std::wstring::npos)
                return fail(i, n - i, L"the date literal is not closed with #");
            t.kind = TokenKind::Date;
            t.value = s.substr(i + 1, close - i - 1);
            i = close + 1;
        } else if (IsAsciiDigit(c) || (c == L'.' && i + 1 < n && IsAsciiDigit(s[i + 1]))) {
            size_t j = i;
            while (j < n && IsAsciiDigit(s[j]))
                ++j;
            if (j < n && s[j] == L'.') {
                ++j;
                while (j < n && IsAsciiDigit(s[j]))
                    ++j;
            }
            if (j < n && (s[j] == L'e' || s[j] == L'E')) {
                size_t k = j + 1;
                if (k < n && (s[k] == L'+' || s[k] == L'-'))
                    ++k;
                if (k < n && IsAsciiDigit(s[k])) {
                    while (k < n && IsAsciiDigit(s[k]))
                        ++k;
                    j = k;
                }
            }
            if (j < n && IsNamePart(s[j]))
                return fail(i, j + 1 - i, L"a number runs into a name");
            t.kind = TokenKind::Number;
            t.value = s.substr(i, j - i);
            i = j;
        } else if (IsNameStart(c)) {
            size_t j = i;
            while (j < n && IsNamePart(s[j]))
                ++j;
            // Text files are tables named with # for the dot: parts#csv.
            while (j + 1 < n && s[j] == L'#' && IsNameStart(s[j + 1])) {
                j += 2;
                while (j < n && IsNamePart(s[j]))
                    ++j;
            }
            if (j < n && s[j] == L'$')  // Left$, Format$ ...
                ++j;
            t.kind = TokenKind::Name;
            t.value = s.substr(i, j - i);
            i = j;
        } else if (c == L'@' && i + 1 < n && s[i + 1] == L'@') {
            size_t j = i + 2;
            while (j < n && IsNamePart(s[j]))
                ++j;
            if (j == i + 2)
                return fail(i, 2, L"@@ must be followed by a name such as IDENTITY");
            t.kind = TokenKind::Name;
            t.value = s.substr(i, j - i);
            i = j;
        } else if ((c == L'@' || c == L':') && i + 1 < n && IsNameStart(s[i + 1])) {
            size_t j = i + 1;
            while (j < n && IsNamePart(s[j]))
                ++j;
            t.kind = TokenKind::Parameter;
            t.value = s.substr(i, j - i);
            i = j;
        } else if (c == L'?') {
            t.kind = TokenKind::Parameter;
            ++i;
        } else {
            static const wchar_t* const kTwo[] = {L"<>", L"<=", L">="};
            bool two = false;
            for (const wchar_t* op : kTwo)
                if (i + 1 < n && s[i] == op[0] && s[i + 1] == op[1]) {
                    t.kind = TokenKind::Operator;
                    t.value = op;
                    i += 2;
                    two = true;
                    break;
                }
            if (!two) {
                static const std::wstring kOne = L"(),.;*/\\+-^&=<>!{}";
                if (kOne.find(c) == std::wstring::npos)
                    return fail(i, 1, L"this character starts no part of a statement");
                t.kind = TokenKind::Operator;
                t.value = std::wstring(1, c);
                ++i;
            }
        }
        t.end = i;
        tokens->push_back(std::move(t));
    }
}

}  // namespace vorn::provider::sql
