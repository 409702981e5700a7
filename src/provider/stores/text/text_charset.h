// The character sets of delimited text files: UTF-8 (with or without a byte-order mark),
// Windows-1252 ("ANSI") and the PC's code page 437 ("OEM"). Fields are read as bytes and
// turned into UTF-8 only when a value is read; rows are written in the file's own set.
#pragma once

#include <string>
#include <string_view>

namespace vorn::provider::stores::text {

enum class Charset { Utf8, Windows1252, Oem437 };

// Reads a CharacterSet value: 65001 / UTF-8 / UTF8; ANSI / 1252 / Windows-1252;
// OEM / 437. False for anything else.
bool ParseCharset(const std::string& value, Charset* charset);

// The name of a set for schema.ini and messages ("65001", "ANSI", "OEM").
const char* CharsetName(Charset charset);

// True when bytes are valid UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool ValidUtf8(std::string_view bytes);

// Appends bytes of a single-byte set to out as UTF-8.
void SingleByteToUtf8(Charset charset, std::string_view bytes, std::string* out);

// Appends UTF-8 text to out in charset. False when a character has no byte in that set
// (out then holds what came before it); *bad receives the character's code point.
bool Utf8ToCharset(Charset charset, std::string_view utf8, std::string* out, char32_t* bad);

}  // namespace vorn::provider::stores::text
