// UTF-8 decoding and encoding, one implementation for every layer: the public Utf8ToWide and
// WideToUtf8, the provider's text cells read into consumer buffers, and the Jet functions.
//
// Ill-formed UTF-8 follows the Unicode "maximal subpart" practice: each maximal prefix of a
// well-formed sequence that is cut short, and each byte that cannot start a sequence, becomes
// one U+FFFD. Overlong forms, surrogates and values above U+10FFFF are ill-formed because
// their second byte falls outside the range the lead byte allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vorn {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// Whether the eight bytes at p are all ASCII.
inline bool EightAsciiBytes(const unsigned char* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ull) == 0;
}

// The character that starts at s[*i], advancing *i past the bytes it takes (a byte that
// breaks a sequence is left to start the next one). *wellFormed, when given, tells whether
// the bytes were a well-formed sequence (U+FFFD comes from both kinds).
char32_t DecodeUtf8Char(const unsigned char* s, size_t n, size_t* i, bool* wellFormed = nullptr);

// Whether all n bytes are well-formed UTF-8.
bool IsValidUtf8(const char* s, size_t n);

struct WideDecodeResult {
    size_t written;  // characters written to the buffer
    size_t total;    // characters of the whole text
};

// Decodes n bytes, writing at most capacity characters to out (out may be null when
// capacity is 0), and counts the characters of the whole text.
WideDecodeResult DecodeUtf8(const char* s, size_t n, wchar_t* out, size_t capacity);

// Characters of n bytes of UTF-8, as DecodeUtf8 writes them.
size_t CountUtf8Chars(const char* s, size_t n);

// The largest prefix length of s, at most maxBytes, that does not end inside a sequence.
size_t Utf8PrefixLength(const char* s, size_t n, size_t maxBytes);

// Bytes the character takes in UTF-8; a value that is no Unicode scalar value takes the
// three bytes of U+FFFD, which EncodeUtf8Char writes for it.
size_t Utf8EncodedLength(char32_t c);
// Writes the character's UTF-8 bytes at out; returns their number (1 to 4).
size_t EncodeUtf8Char(char32_t c, char* out);

}  // namespace vorn
