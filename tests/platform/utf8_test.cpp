#include <gtest/gtest.h>

#include <string>

#include "vornoledb/platform/text.h"

TEST(Utf8, ConvertsEveryLengthBothWays) {
    // The leading ASCII run is long enough for the eight-bytes-at-a-time path.
    const char utf8[] =
        "plain ascii text \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF end\0tail";
    const wchar_t wide[] = L"plain ascii text \u00E9 \u20AC \U0001F600 \U0010FFFF end\0tail";
    const std::string bytes(utf8, sizeof utf8 - 1);  // keeps the embedded NUL
    const std::wstring chars(wide, sizeof wide / sizeof wide[0] - 1);
    EXPECT_EQ(Utf8ToWide(bytes), chars);
    EXPECT_EQ(WideToUtf8(chars), bytes);

    std::wstring all;
    for (uint32_t c = 1; c <= 0x10FFFF; ++c)
        if (c < 0xD800 || c > 0xDFFF)
            all.push_back(wchar_t(c));
    const std::string encoded = WideToUtf8(all);
    EXPECT_EQ(encoded.size(), 0x7Fu + 0x780u * 2 + (0x10000u - 0x1000) * 3 + 0x100000u * 4);
    EXPECT_TRUE(Utf8ToWide(encoded) == all) << "not every scalar value survives a round trip";
}

TEST(Utf8, IllFormedTextBecomesReplacementCharacters) {
    constexpr wchar_t R = 0xFFFD;
    const struct {
        std::string in;
        std::wstring out;
    } cases[] = {
        {"\x80", {R}},
        {"a\xC3", {L'a', R}},  // cut short at the end
        {"\xE2\x82"
         "A",
         {R, L'A'}},  // one U+FFFD for the maximal prefix
        {"\xF0\x9F\x98"
         "x\xF0\x9F\x98\x80",
         {R, L'x', 0x1F600}},
        {"\xC0\xAF", {R, R}},                // overlong '/'
        {"\xE0\x80\xAF", {R, R, R}},         // overlong, three bytes
        {"\xED\xA0\x80", {R, R, R}},         // surrogate D800
        {"\xF4\x90\x80\x80", {R, R, R, R}},  // above U+10FFFF
        {"\xF5\xFF", {R, R}},
        {"abcdefg\xFFhijklmnopq", L"abcdefg\uFFFDhijklmnopq"},  // inside an ASCII run
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8ToWide(c.in), c.out) << ::testing::PrintToString(c.in);

    const wchar_t bad[] = {0xD800, 0xDFFF, 0x110000, wchar_t(-1), L'z'};
    EXPECT_EQ(WideToUtf8(bad, 5), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDz");
}
