// Wide formatted output with the conventions of the Windows C runtime, which every format
// of this library uses: %s takes a wide string and %S a narrow (UTF-8) one, likewise %c
// and %C; %hs/%hc are narrow and %ls/%lc wide whatever the letter case; %I64d, %I64u,
// %I64x, %I32d and %Id/%Iu (pointer size) set integer sizes; flags, width, precision and
// '*' are kept. %n is never honoured. glibc's own wide printf reads %s as narrow, so wide
// formats go only through these functions.
#pragma once

#include <cstdarg>
#include <string>

#include "vornoledb/platform/types.h"

namespace vornoledb {

// Length in characters of the formatted text (without the NUL); -1 for a bad format.
VORNOLEDB_API int VornFormatLengthV(const wchar_t* format, va_list args);

// Truncating form, as _vsnwprintf: writes at most `capacity` characters into buffer.
// When the text is shorter than capacity it is written with its NUL and its length is
// returned; when it is exactly capacity long it is written without a NUL and its length is
// returned; when it is longer, the first capacity characters are written (no NUL) and -1
// is returned. *truncated (may be null) tells whether characters were cut.
VORNOLEDB_API int VornFormatTruncV(wchar_t* buffer, size_t capacity, const wchar_t* format,
                                   va_list args, bool* truncated = nullptr);
VORNOLEDB_API int VornFormatTrunc(wchar_t* buffer, size_t capacity, const wchar_t* format, ...);

// Appends the formatted text to out. Returns the number of characters appended, -1 for a
// bad format (out is then unchanged).
VORNOLEDB_API int VornAppendFormatV(std::wstring& out, const wchar_t* format, va_list args);
VORNOLEDB_API int VornAppendFormat(std::wstring& out, const wchar_t* format, ...);

VORNOLEDB_API std::wstring VornFormatV(const wchar_t* format, va_list args);
VORNOLEDB_API std::wstring VornFormat(const wchar_t* format, ...);

}  // namespace vornoledb
