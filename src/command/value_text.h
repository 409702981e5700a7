// Text and integer forms of single values, shared by the field conversions of the command.
#pragma once

#include <string>

#include "vornoledb/platform/oledb.h"

namespace vorn::command {

// Date and time text of an automation date; "Invalid DateTime" when it cannot be written.
std::wstring DateText(DATE value, ULONG flags);
// Date and time text of calendar parts. The parts must survive the trip to an automation
// date and back unchanged, else the text is "Invalid DateTime".
std::wstring CalendarText(int year, int month, int day, int hour, int minute, int second,
                          ULONG flags);
// Digits of the 96-bit mantissa with the point before the last `scale` digits and a
// leading "-" when the sign byte is set.
std::wstring DecimalText(const DECIMAL& value);
// Whole units, ".", four digits of the remainder; "-" in front of a negative value.
std::wstring CurrencyText(int64_t tenThousandths);
// Decimal digits of an integer, "-" in front of a negative one (what %d and %u write).
std::wstring IntegerText(int64_t value);
std::wstring UnsignedText(uint64_t value);
// Six decimals, as %f writes a double in the C locale.
std::wstring FixedText(double value);

// The leading decimal number of a text as the C runtime's atol reads it: white space,
// an optional sign, digits; 0 when there are none; saturated to the signed 32-bit range.
// Reads at most `count` characters and stops at the first NUL.
int32_t LeadingLong(const wchar_t* text, size_t count);
int32_t LeadingLong(const char* text, size_t count);

// Removes the white space (as iswspace classifies it) at the end of text.
void TrimTrailingSpace(std::wstring& text);

}  // namespace vorn::command
