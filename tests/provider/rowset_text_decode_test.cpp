// Text of the row store decoded into consumer buffers: the same characters as the
// platform's UTF-8 conversion for any bytes, cut at any capacity, and narrow text cut only
// between characters.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "values/utf8_decode.h"
#include "vornoledb/platform/text.h"

namespace vorn::test {
namespace {

using provider::CountUtf8Chars;
using provider::DecodeUtf8;
using provider::Utf8PrefixLength;

TEST(RowsetTextDecode, AgreesWithThePlatformOnAnyBytes) {
    std::mt19937 random(3);
    const std::string pieces[] = {"a",
                                  "plain ascii run ",
                                  "\xC3\xA9",
                                  "\xE2\x82\xAC",
                                  "\xF0\x9F\x98\x80",
                                  "\xED\xA0\x80",
                                  "\xC0\xAF",
                                  "\xF4\x90\x80\x80",
                                  "\xE2\x82",
                                  "\x80",
                                  "\xFF",
                                  "\xF0\x9F\x98"};
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int parts = static_cast<int>(random() % 12);
        for (int i = 0; i < parts; ++i)
            text += pieces[random() % std::size(pieces)];
        const std::wstring expected = Utf8ToWide(text);
        ASSERT_EQ(CountUtf8Chars(text.data(), text.size()), expected.size());
        std::wstring out(expected.size() + 1, L'#');
        const auto whole = DecodeUtf8(text.data(), text.size(), &out[0], out.size());
        ASSERT_EQ(whole.written, expected.size());
        ASSERT_EQ(out.substr(0, whole.written), expected);
        // Cut short: the first characters, and the full count all the same.
        const size_t capacity = expected.empty() ? 0 : random() % expected.size();
        std::wstring cut(capacity + 1, L'#');
        const auto part = DecodeUtf8(text.data(), text.size(), &cut[0], capacity);
        ASSERT_EQ(part.written, capacity);
        ASSERT_EQ(part.total, expected.size());
        ASSERT_EQ(cut.substr(0, capacity), expected.substr(0, capacity));
        ASSERT_EQ(cut[capacity], L'#') << "nothing written beyond the capacity";
    }
}

TEST(RowsetTextDecode, NarrowTextIsCutBetweenCharacters) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
    EXPECT_EQ(Utf8PrefixLength(text.data(), text.size(), 1), 1u);
    EXPECT_EQ(Utf8PrefixLength(text.data(), text.size(), 2), 1u);
    EXPECT_EQ(Utf8PrefixLength(text.data(), text.size(), 3), 3u);
    EXPECT_EQ(Utf8PrefixLength(text.data(), text.size(), 5), 3u);
    EXPECT_EQ(Utf8PrefixLength(text.data(), text.size(), 6), 6u);
    EXPECT_EQ(Utf8PrefixLength(text.data(), text.size(), 9), 6u);
    EXPECT_EQ(Utf8PrefixLength(text.data(), text.size(), 10), 10u);
    EXPECT_EQ(Utf8PrefixLength(text.data(), text.size(), 100), text.size());
}

}  // namespace
}  // namespace vorn::test
