// Wide text and UTF-8: paths, SQLite text and narrow output cross this boundary.
#pragma once

#include <string>

#include "vornoledb/platform/types.h"

namespace vornoledb {

// UTF-8 to wide text; invalid bytes become U+FFFD.
VORNOLEDB_API std::wstring Utf8ToWide(const char* s, size_t n);
VORNOLEDB_API std::wstring Utf8ToWide(const std::string& s);
// Wide text to UTF-8; values that are not Unicode scalar values become U+FFFD.
VORNOLEDB_API std::string WideToUtf8(const wchar_t* s, size_t n);
VORNOLEDB_API std::string WideToUtf8(const std::wstring& s);

}  // namespace vornoledb
