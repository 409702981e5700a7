// Small text helpers for every layer: ASCII classes and letter case, whole-text upper and
// lower case, trimming, and quoting a name for SQLite.
#pragma once

#include <string>
#include <string_view>

namespace vorn {

// Space, tab, line feed, carriage return, form feed and vertical tab.
constexpr bool IsAsciiSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
constexpr bool IsAsciiDigit(int c) {
    return c >= '0' && c <= '9';
}
// The value of a hexadecimal digit, -1 for any other character.
constexpr int AsciiHexValue(int c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}
constexpr char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// ASCII letters changed, every other byte (UTF-8 sequences included) kept.
std::string AsciiUpper(std::string_view s);
std::string AsciiLower(std::string_view s);
// Whether two texts are the same but for the letter case of ASCII letters.
bool SameAsciiText(std::string_view a, std::string_view b);

// Letter case of any character, as the C library's wide functions change it.
wchar_t WideLower(wchar_t c);
std::wstring WideUpper(std::wstring_view s);
std::wstring WideLower(std::wstring_view s);

// Without the ASCII white space (IsAsciiSpace) at either end.
std::string TrimSpaces(std::string_view s);
std::wstring TrimSpaces(std::wstring_view s);

// A name quoted for SQLite: "name", with a '"' inside doubled.
std::string QuotedSqlName(std::string_view name);

}  // namespace vorn
