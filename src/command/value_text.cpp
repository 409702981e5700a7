// Text and integer forms of single values: dates, decimals, currency, leading numbers.
#include "value_text.h"

#include <cctype>
#include <cmath>
#include <charconv>
#include <cstdint>
#include <cwchar>
#include <cwctype>

#include "automation.h"
#include "calendar.h"
#include "vornoledb/platform/format.h"

namespace vorn::command {

namespace {

const wchar_t kInvalidDateTime[] = L"Invalid DateTime";

// Reads sign and digits after the leading white space; saturates like atol.
template <class Char, class IsSpace>
int32_t ParseLeading(const Char* text, size_t count, IsSpace isSpace) {
    if (!text)
        return 0;
    size_t i = 0;
    while (i < count && text[i] != 0 && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < count && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Magnitude limit: 2^31 for a negative value, 2^31 - 1 for a positive one.
    const uint64_t limit = negative ? 2147483648ull : 2147483647ull;
    uint64_t magnitude = 0;
    bool saturated = false;
    for (; i < count && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (saturated)
            continue;
        magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
        if (magnitude > limit) {
            magnitude = limit;
            saturated = true;
        }
    }
    if (negative)
        return static_cast<int32_t>(-static_cast<int64_t>(magnitude));
    return static_cast<int32_t>(magnitude);
}

}  // namespace

std::wstring DateText(DATE value, ULONG flags) {
    // VarBstrFromDate's text, written straight into the result without a BSTR between.
    const bool dateOnly = (flags & VAR_DATEVALUEONLY) != 0;
    const bool timeOnly = (flags & VAR_TIMEVALUEONLY) != 0;
    char text[32];
    const size_t length =
        dateOnly && timeOnly ? 0 : vorn::AutomationDateText(value, dateOnly, timeOnly, text);
    if (length == 0)
        return kInvalidDateTime;
    return std::wstring(text, text + length);
}

std::wstring CalendarText(int year, int month, int day, int hour, int minute, int second,
                          ULONG flags) {
    SYSTEMTIME parts{};
    parts.wYear = static_cast<WORD>(year);
    parts.wMonth = static_cast<WORD>(month);
    parts.wDay = static_cast<WORD>(day);
    parts.wHour = static_cast<WORD>(hour);
    parts.wMinute = static_cast<WORD>(minute);
    parts.wSecond = static_cast<WORD>(second);
    double value = 0;
    if (!SystemTimeToVariantTime(&parts, &value))
        return kInvalidDateTime;
    SYSTEMTIME back{};
    if (!VariantTimeToSystemTime(value, &back))
        return kInvalidDateTime;
    if (back.wYear != parts.wYear || back.wMonth != parts.wMonth || back.wDay != parts.wDay ||
        back.wHour != parts.wHour || back.wMinute != parts.wMinute || back.wSecond != parts.wSecond)
        return kInvalidDateTime;
    return DateText(value, flags);
}

std::wstring DecimalText(const DECIMAL& value) {
    unsigned __int128 mantissa = (static_cast<unsigned __int128>(value.Hi32) << 64) |
                                 static_cast<unsigned __int128>(value.Lo64);
    // Digits from the last one backwards.
    wchar_t reversed[40];
    size_t n = 0;
    do {
        reversed[n++] = static_cast<wchar_t>(L'0' + static_cast<int>(mantissa % 10));
        mantissa /= 10;
    } while (mantissa != 0);
    std::wstring digits(reversed, n);
    std::wstring text(digits.rbegin(), digits.rend());

    const size_t scale = value.scale;
    if (n > scale) {
        text.insert(text.size() - scale, 1, L'.');
    } else {
        text.insert(0, scale - n, L'0');
        text.insert(0, L"0.");
    }
    if (value.sign != 0)
        text.insert(0, 1, L'-');
    return text;
}

std::wstring CurrencyText(int64_t tenThousandths) {
    const bool negative = tenThousandths < 0;
    // The magnitude in unsigned arithmetic, so that the smallest value has one too.
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(tenThousandths)
                                  : static_cast<uint64_t>(tenThousandths);
    // Written backwards from the end: four digits of the remainder, the point, the units.
    wchar_t text[32];
    wchar_t* p = text + sizeof text / sizeof text[0];
    for (int i = 0; i < 4; ++i) {
        *--p = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    }
    *--p = L'.';
    do {
        *--p = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        *--p = L'-';
    return std::wstring(p, text + sizeof text / sizeof text[0]);
}

std::wstring IntegerText(int64_t value) {
    const bool negative = value < 0;
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    wchar_t text[24];
    wchar_t* const end = text + sizeof text / sizeof text[0];
    wchar_t* p = end;
    do {
        *--p = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        *--p = L'-';
    return std::wstring(p, end);
}

std::wstring UnsignedText(uint64_t value) {
    wchar_t text[24];
    wchar_t* const end = text + sizeof text / sizeof text[0];
    wchar_t* p = end;
    do {
        *--p = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::wstring(p, end);
}

std::wstring FixedText(double value) {
    // What printf's %f writes (six decimals, "inf", "nan", "-nan"), in the C locale.
    // Whole numbers below 2^53 (counts, keys, most stored numbers) are exact as a uint64_t:
    // their digits are written directly, several times faster than the general conversion.
    const double magnitude = value < 0 ? -value : value;
    if (magnitude < 9007199254740992.0 &&
        magnitude == static_cast<double>(static_cast<uint64_t>(magnitude))) {
        wchar_t digits[32];
        wchar_t* const end = digits + sizeof digits / sizeof digits[0];
        wchar_t* p = end - 7;
        std::wmemcpy(p, L".000000", 7);
        uint64_t whole = static_cast<uint64_t>(magnitude);
        do {
            *--p = static_cast<wchar_t>(L'0' + whole % 10);
            whole /= 10;
        } while (whole != 0);
        if (std::signbit(value))
            *--p = L'-';
        return std::wstring(p, end);
    }
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    if (result.ec != std::errc())
        return VornFormat(L"%f", value);
    return std::wstring(text, result.ptr);
}

int32_t LeadingLong(const wchar_t* text, size_t count) {
    return ParseLeading(text, count,
                        [](wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; });
}

int32_t LeadingLong(const char* text, size_t count) {
    return ParseLeading(text, count,
                        [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; });
}

void TrimTrailingSpace(std::wstring& text) {
    size_t end = text.size();
    while (end > 0 && std::iswspace(static_cast<wint_t>(text[end - 1])))
        --end;
    text.erase(end);
}

}  // namespace vorn::command
