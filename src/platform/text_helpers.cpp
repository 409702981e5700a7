// ASCII and wide letter case, trimming and name quoting.
#include "text_helpers.h"

#include <cwctype>

namespace vorn {
namespace {

template <class Char>
std::basic_string<Char> Trim(std::basic_string_view<Char> s) {
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && IsAsciiSpace(s[begin]))
        ++begin;
    while (end > begin && IsAsciiSpace(s[end - 1]))
        --end;
    return std::basic_string<Char>(s.substr(begin, end - begin));
}

}  // namespace

std::string AsciiUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = AsciiUpper(c);
    return out;
}

std::string AsciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = AsciiLower(c);
    return out;
}

bool SameAsciiText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

wchar_t WideLower(wchar_t c) {
    if (c < 0x80)
        return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

std::wstring WideUpper(std::wstring_view s) {
    std::wstring out(s);
    for (wchar_t& c : out)
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return out;
}

std::wstring WideLower(std::wstring_view s) {
    std::wstring out(s);
    for (wchar_t& c : out)
        c = WideLower(c);
    return out;
}

std::string TrimSpaces(std::string_view s) {
    return Trim(s);
}

std::wstring TrimSpaces(std::wstring_view s) {
    return Trim(s);
}

std::string QuotedSqlName(std::string_view name) {
    std::string quoted = "\"";
    for (char c : name) {
        quoted.push_back(c);
        if (c == '"')
            quoted.push_back('"');
    }
    quoted.push_back('"');
    return quoted;
}

}  // namespace vorn
