// Every user of UTF-8 decoding gives the same characters for the same bytes, well-formed or
// not: the public Utf8ToWide, the row store's text read into consumer buffers (cut at any
// capacity), the Jet functions' text, and Len() as the engine runs it. Narrow text is cut
// only between characters.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "sql/jet_values.h"
#include "sql_test_util.h"
#include "utf8.h"
#include "vornoledb/platform/text.h"

namespace vorn::test {
namespace {

// Len() as the engine runs it on a text value holding the bytes as they are.
std::string JetLen(provider::sql::test::JetDatabase& d, const std::string& bytes);

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 15]);
    }
    return out;
}

std::string JetLen(provider::sql::test::JetDatabase& d, const std::string& bytes) {
    d.Raw("CREATE TABLE IF NOT EXISTS Texts (t TEXT)");
    d.Raw("DELETE FROM Texts");
    d.Raw("INSERT INTO Texts VALUES (CAST(X'" + Hex(bytes) + "' AS TEXT))");
    return d.Value("SELECT Len(t) FROM Texts");
}

TEST(Utf8Agreement, ACutSequenceIsOneReplacementEverywhere) {
    // E2 82 is the start of a three-byte sequence that 41 ('A') breaks: one U+FFFD, then A.
    const std::string text = "\xE2\x82\x41";
    const std::wstring expected = {0xFFFD, L'A'};
    EXPECT_EQ(Utf8ToWide(text), expected);
    EXPECT_EQ(CountUtf8Chars(text.data(), text.size()), 2u);
    EXPECT_EQ(provider::sql::DecodeUtf8(text), std::u32string(expected.begin(), expected.end()));
    provider::sql::test::JetDatabase d;
    EXPECT_EQ(JetLen(d, text), "2");
}

TEST(Utf8Agreement, EveryDecoderGivesTheSameCharactersForAnyBytes) {
    std::vector<std::pair<std::string, size_t>> forTheEngine;
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
        // Now and then a few bytes of any value.
        if (round % 4 == 0)
            for (int i = 0; i < 6; ++i)
                text.push_back(static_cast<char>(random() % 256));
        const std::wstring expected = Utf8ToWide(text);
        ASSERT_EQ(provider::sql::DecodeUtf8(text),
                  std::u32string(expected.begin(), expected.end()));
        if (round % 10 == 0 && text.find('\0') == std::string::npos)
            forTheEngine.emplace_back(text, expected.size());
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
    // Len() as the engine runs it, on the same bytes stored as text.
    provider::sql::test::JetDatabase d;
    d.Raw("CREATE TABLE Texts (n INTEGER PRIMARY KEY, t TEXT)");
    d.Raw("BEGIN");
    for (size_t i = 0; i < forTheEngine.size(); ++i)
        d.Raw("INSERT INTO Texts VALUES (" + std::to_string(i) + ", CAST(X'" +
              Hex(forTheEngine[i].first) + "' AS TEXT))");
    d.Raw("COMMIT");
    const std::vector<std::string> lengths = d.Run("SELECT Len(t) FROM Texts ORDER BY n");
    ASSERT_EQ(lengths.size(), forTheEngine.size());
    for (size_t i = 0; i < lengths.size(); ++i)
        EXPECT_EQ(lengths[i], std::to_string(forTheEngine[i].second)) << Hex(forTheEngine[i].first);
}

TEST(Utf8Agreement, NarrowTextIsCutBetweenCharacters) {
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
