// The OLE DB connection-string syntax: `key=value` pairs split on ';'. Keys are compared
// without regard to letter case and lose surrounding blanks; a '=' inside a key is written
// "=="; values lose surrounding blanks unless quoted with ' or ", and a doubled quote
// inside a quoted value stands for one. Empty pairs (";;") are skipped. Pure functions over
// the text: nothing here touches files, objects or the thread's error state.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "vornoledb/platform/types.h"

namespace vorn::provider {

struct ConnectionStringItem {
    std::wstring key;      // trimmed; "==" folded to '='
    std::wstring value;    // trimmed or unquoted
    bool hasValue = true;  // false for a bare item ("Excel 8.0" in Extended Properties)
    size_t position = 0;   // offset of the key's first character in the text
};

struct ConnectionStringParse {
    bool ok = true;
    std::vector<ConnectionStringItem> items;  // in text order; on failure, those before it
    size_t errorPosition = 0;                 // offset of the character at fault when !ok
    std::wstring error;                       // what is wrong and where (1-based character number)

    // The last item with this key (letter case ignored), or null. A key given twice
    // counts with its last value.
    const ConnectionStringItem* Find(const std::wstring& key) const;
    // Find(key)'s value, or fallback when the key is absent.
    std::wstring Value(const std::wstring& key, const std::wstring& fallback = L"") const;
};

enum class BareItems {
    Refuse,  // a part without '=' is an error (connection strings)
    Allow,   // a part without '=' is an item without value (Extended Properties lists)
};

ConnectionStringParse ParseConnectionString(const std::wstring& text,
                                            BareItems bare = BareItems::Refuse);

// Case-insensitive key comparison (ASCII and the C library's wide case mapping).
bool SameKey(const std::wstring& a, const std::wstring& b);

// The value as it must be written after "key=" so that ParseConnectionString gives it
// back unchanged: quoted when it holds ';', starts with a quote or '=', or has surrounding
// blanks.
std::wstring QuoteConnectionValue(const std::wstring& value);
// The key as it must be written before '=' ('=' doubled).
std::wstring EscapeConnectionKey(const std::wstring& key);

// Mode values: names joined by '|' (Read, Write, ReadWrite, Share Deny None, Share Deny
// Read, Share Deny Write, Share Exclusive) or a number. False for anything else.
bool ParseModeValue(const std::wstring& text, LONG* mode);
// The names of a mode, joined by '|' ("ReadWrite|Share Deny None").
std::wstring FormatModeValue(LONG mode);

// Prompt values: Prompt, Complete, CompleteRequired, NoPrompt or a number 1..4.
bool ParsePromptValue(const std::wstring& text, SHORT* prompt);

}  // namespace vorn::provider
