// The OLE DB connection-string parser and the value syntax of the keys the provider reads.
#include "connection_string.h"

#include <cwctype>

#include "vornoledb/platform/format.h"
#include "vornoledb/platform/oledb.h"
#include "text_helpers.h"

namespace vorn::provider {
namespace {

// Shows at most 40 characters of a piece of the text in a message.
std::wstring Excerpt(const std::wstring& s) {
    return s.size() <= 40 ? s : s.substr(0, 40) + L"...";
}

ConnectionStringParse Fail(ConnectionStringParse result, size_t position, std::wstring what) {
    result.ok = false;
    result.errorPosition = position;
    result.error = VornFormat(L"%s at character %u of the connection string", what.c_str(),
                              static_cast<unsigned>(position + 1));
    return result;
}

}  // namespace

bool SameKey(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (WideLower(a[i]) != WideLower(b[i]))
            return false;
    return true;
}

const ConnectionStringItem* ConnectionStringParse::Find(const std::wstring& key) const {
    for (auto it = items.rbegin(); it != items.rend(); ++it)
        if (SameKey(it->key, key))
            return &*it;
    return nullptr;
}

std::wstring ConnectionStringParse::Value(const std::wstring& key,
                                          const std::wstring& fallback) const {
    const ConnectionStringItem* item = Find(key);
    return item ? item->value : fallback;
}

ConnectionStringParse ParseConnectionString(const std::wstring& text, BareItems bare) {
    ConnectionStringParse result;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        // Blanks and empty pairs between items.
        if (IsAsciiSpace(text[i]) || text[i] == L';') {
            ++i;
            continue;
        }
        ConnectionStringItem item;
        item.position = i;
        // The key runs to the first single '='; "==" stands for a '=' inside it.
        std::wstring key;
        bool sawEquals = false;
        while (i < n && text[i] != L';') {
            if (text[i] == L'=') {
                if (i + 1 < n && text[i + 1] == L'=') {
                    key += L'=';
                    i += 2;
                    continue;
                }
                sawEquals = true;
                ++i;
                break;
            }
            key += text[i++];
        }
        item.key = TrimSpaces(key);
        if (!sawEquals) {
            if (bare == BareItems::Refuse) {
                return Fail(std::move(result), item.position,
                            L"'" + Excerpt(item.key) + L"' has no '=' and value");
            }
            item.hasValue = false;
            result.items.push_back(std::move(item));
            continue;
        }
        if (item.key.empty())
            return Fail(std::move(result), item.position, L"a value is given without a key");
        while (i < n && IsAsciiSpace(text[i]))
            ++i;
        if (i < n && (text[i] == L'"' || text[i] == L'\'')) {
            const wchar_t quote = text[i];
            const size_t open = i++;
            bool closed = false;
            while (i < n) {
                if (text[i] == quote) {
                    if (i + 1 < n && text[i + 1] == quote) {
                        item.value += quote;
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                item.value += text[i++];
            }
            if (!closed) {
                return Fail(std::move(result), open,
                            L"the value of '" + Excerpt(item.key) + L"' opens a quote (" +
                                std::wstring(1, quote) + L") that is never closed");
            }
            while (i < n && IsAsciiSpace(text[i]))
                ++i;
            if (i < n && text[i] != L';') {
                return Fail(
                    std::move(result), i,
                    L"unexpected text after the quoted value of '" + Excerpt(item.key) + L"'");
            }
        } else {
            const size_t start = i;
            while (i < n && text[i] != L';')
                ++i;
            item.value = TrimSpaces(text.substr(start, i - start));
        }
        result.items.push_back(std::move(item));
    }
    return result;
}

std::wstring EscapeConnectionKey(const std::wstring& key) {
    std::wstring out;
    for (wchar_t c : key) {
        out += c;
        if (c == L'=')
            out += L'=';
    }
    return out;
}

std::wstring QuoteConnectionValue(const std::wstring& value) {
    // A leading '=' would join the "key=" before it as an escaped "==" of the key.
    const bool needsQuotes =
        !value.empty() &&
        (value.find(L';') != std::wstring::npos || value[0] == L'"' || value[0] == L'\'' ||
         value[0] == L'=' || IsAsciiSpace(value.front()) || IsAsciiSpace(value.back()));
    if (!needsQuotes)
        return value;
    const wchar_t quote = value.find(L'"') == std::wstring::npos    ? L'"'
                          : value.find(L'\'') == std::wstring::npos ? L'\''
                                                                    : L'"';
    std::wstring out(1, quote);
    for (wchar_t c : value) {
        out += c;
        if (c == quote)
            out += quote;
    }
    out += quote;
    return out;
}

namespace {

struct NamedValue {
    const wchar_t* name;
    LONG value;
};

const NamedValue kModes[] = {
    {L"Read", DB_MODE_READ},
    {L"Write", DB_MODE_WRITE},
    {L"ReadWrite", DB_MODE_READWRITE},
    {L"Share Deny None", DB_MODE_SHARE_DENY_NONE},
    {L"Share Deny Read", DB_MODE_SHARE_DENY_READ},
    {L"Share Deny Write", DB_MODE_SHARE_DENY_WRITE},
    {L"Share Exclusive", DB_MODE_SHARE_EXCLUSIVE},
};

bool ParseNumber(const std::wstring& text, LONG* out) {
    if (text.empty() || text.size() > 10)
        return false;
    long long v = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        v = v * 10 + (c - L'0');
    }
    if (v > 0x7fffffff)
        return false;
    *out = static_cast<LONG>(v);
    return true;
}

}  // namespace

bool ParseModeValue(const std::wstring& text, LONG* mode) {
    const std::wstring trimmed = TrimSpaces(text);
    LONG number = 0;
    if (ParseNumber(trimmed, &number)) {
        *mode = number;
        return true;
    }
    LONG result = 0;
    size_t start = 0;
    for (;;) {
        const size_t bar = trimmed.find(L'|', start);
        const std::wstring part = TrimSpaces(
            trimmed.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start));
        // Words may be separated by any run of blanks ("Share  Deny None").
        std::wstring normalized;
        for (wchar_t c : part) {
            if (IsAsciiSpace(c)) {
                if (!normalized.empty() && normalized.back() != L' ')
                    normalized += L' ';
            } else {
                normalized += c;
            }
        }
        bool found = false;
        for (const NamedValue& m : kModes) {
            if (SameKey(normalized, m.name)) {
                result |= m.value;
                found = true;
                break;
            }
        }
        if (!found)
            return false;
        if (bar == std::wstring::npos)
            break;
        start = bar + 1;
    }
    *mode = result;
    return true;
}

std::wstring FormatModeValue(LONG mode) {
    std::wstring out;
    auto add = [&out](const wchar_t* name) {
        if (!out.empty())
            out += L'|';
        out += name;
    };
    switch (mode & DB_MODE_READWRITE) {
        case DB_MODE_READ:
            add(L"Read");
            break;
        case DB_MODE_WRITE:
            add(L"Write");
            break;
        case DB_MODE_READWRITE:
            add(L"ReadWrite");
            break;
        default:
            break;
    }
    if ((mode & DB_MODE_SHARE_EXCLUSIVE) == DB_MODE_SHARE_EXCLUSIVE)
        add(L"Share Exclusive");
    else if (mode & DB_MODE_SHARE_DENY_READ)
        add(L"Share Deny Read");
    else if (mode & DB_MODE_SHARE_DENY_WRITE)
        add(L"Share Deny Write");
    if (mode & DB_MODE_SHARE_DENY_NONE)
        add(L"Share Deny None");
    const LONG known = DB_MODE_READWRITE | DB_MODE_SHARE_EXCLUSIVE | DB_MODE_SHARE_DENY_NONE;
    if (out.empty() || (mode & ~known))
        return VornFormat(L"%d", static_cast<int>(mode));
    return out;
}

bool ParsePromptValue(const std::wstring& text, SHORT* prompt) {
    static const NamedValue kPrompts[] = {
        {L"Prompt", DBPROMPT_PROMPT},
        {L"Complete", DBPROMPT_COMPLETE},
        {L"CompleteRequired", DBPROMPT_COMPLETEREQUIRED},
        {L"NoPrompt", DBPROMPT_NOPROMPT},
    };
    const std::wstring trimmed = TrimSpaces(text);
    LONG number = 0;
    if (ParseNumber(trimmed, &number)) {
        if (number < DBPROMPT_PROMPT || number > DBPROMPT_NOPROMPT)
            return false;
        *prompt = static_cast<SHORT>(number);
        return true;
    }
    for (const NamedValue& p : kPrompts) {
        if (SameKey(trimmed, p.name)) {
            *prompt = static_cast<SHORT>(p.value);
            return true;
        }
    }
    return false;
}

}  // namespace vorn::provider
