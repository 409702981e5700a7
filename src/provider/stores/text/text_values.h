// Field text read as the values of a column's Jet type, and the type guessed for a column
// from its first rows, as the engine's text driver guesses it: every value a 32-bit
// integer gives Long, every value a number Double, every value a date DateTime, anything
// else Text (Memo when a value is longer than 255 characters); empty fields say nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sql/jet_types.h"
#include "stores/text/text_format.h"

namespace vorn::provider::stores::text {

// An integer from -2^31 to 2^31-1, blanks around it allowed.
bool ParseInt32(std::string_view text, int64_t* value);
// A decimal number with an optional exponent; decimal is the decimal symbol.
bool ParseNumber(std::string_view text, char decimal, double* value);
// A date: ISO yyyy-mm-dd with an optional time (hh:mm[:ss], after a blank or 'T'), or as
// format says (yyyy yy m mm d dd h hh n nn s ss and literal characters). *iso receives
// "YYYY-MM-DD HH:MM:SS".
bool ParseDate(std::string_view text, const std::string& format, std::string* iso);
// True/False, Yes/No, On/Off, 1/0/-1 as -1 or 0.
bool ParseBit(std::string_view text, int64_t* value);

// Characters of UTF-8 text (bytes of single-byte sets).
size_t CharacterCount(std::string_view text, Charset charset);

// The guess for one column over the rows scanned.
class TypeGuess {
  public:
    void Add(std::string_view field, const TextFormat& format);
    // The column's type; with imex (import mode) every column is text.
    sql::JetTypeSpec Result(bool imex = false) const;

  private:
    bool any_ = false;
    bool isLong_ = true;
    bool isNumber_ = true;
    bool isDate_ = true;
    size_t longest_ = 0;
};

}  // namespace vorn::provider::stores::text
