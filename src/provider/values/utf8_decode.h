// UTF-8 text of the row store decoded straight into a consumer's buffer, without a
// temporary string: the hot path of every text column read as DBTYPE_WSTR.
#pragma once

#include <cstddef>

namespace vorn::provider {

struct WideDecodeResult {
    size_t written;  // characters written to the buffer
    size_t total;    // characters of the whole text
};

// Decodes n bytes of UTF-8, writing at most capacity characters to out (out may be null
// when capacity is 0), and counts the characters of the whole text. Ill-formed sequences
// become U+FFFD, one for each maximal part of a sequence, as Utf8ToWide does.
WideDecodeResult DecodeUtf8(const char* s, size_t n, wchar_t* out, size_t capacity);

// Characters of n bytes of UTF-8 (as DecodeUtf8 would write them).
size_t CountUtf8Chars(const char* s, size_t n);

// The largest prefix length of s, at most maxBytes, that does not end inside a sequence.
size_t Utf8PrefixLength(const char* s, size_t n, size_t maxBytes);

}  // namespace vorn::provider
