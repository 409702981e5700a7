// Values as the Jet expression service sees them, over SQLite's storage classes: how text
// becomes a number, how a number becomes text, banker's rounding, and the case-insensitive
// text comparison that Jet uses by default.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorn::provider::sql {

// A number read from a value: integral when it came from an integer or from text without
// a fraction or exponent that fits in 64 bits.
struct JetNumber {
    bool integral = true;
    int64_t i = 0;
    double d = 0;
    double AsDouble() const { return integral ? double(i) : d; }
};

// Reads text as the engine converts it to a number: blanks around it, a sign, a currency
// sign, thousands separators, a decimal point, an exponent, a trailing sign, a negative
// number in parentheses, and &H / &O literals. False when the text is not a number.
bool ParseJetNumber(std::string_view text, JetNumber* out);

// The engine's text form of a double: up to 15 significant digits, exponent form ("1E+20",
// "1E-05") outside the range that plain digits show.
std::string FormatJetDouble(double value);
std::string FormatJetNumber(const JetNumber& n);

// Round half to even at the given number of decimals (Round, CLng, CInt, CCur). Values
// within a few units in the last place of a half count as the half, as a decimal reading
// of the number would see them (Round(2.675, 2) is 2.68).
double RoundHalfEven(double value, int decimals);
// Round half away from zero (Format's digit placeholders).
double RoundHalfAway(double value, int decimals);

// Text as UTF-32 code points and back.
std::u32string DecodeUtf8(std::string_view text);
std::string EncodeUtf8(std::u32string_view text);

// Upper and lower case of one code point (ASCII, Latin-1, Latin Extended-A, Greek and
// Cyrillic through the C library's UTF-8 tables).
char32_t UpperChar(char32_t c);
char32_t LowerChar(char32_t c);
std::u32string UpperText(std::u32string_view text);
std::u32string LowerText(std::u32string_view text);

// Jet's default text comparison: case-insensitive. Returns <0, 0, >0.
int CompareText(std::u32string_view a, std::u32string_view b, bool ignoreCase);

}  // namespace vorn::provider::sql
