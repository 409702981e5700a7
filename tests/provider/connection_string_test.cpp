// The connection-string parser: pairs, quoting, blanks, letter case, errors with positions.
#include "connection_string.h"

#include <gtest/gtest.h>

#include "vornoledb/platform/oledb.h"

namespace vorn::provider {
namespace {

TEST(ConnectionStringTest, SplitsPairsTrimsBlanksAndIgnoresKeyCase) {
    const auto p = ParseConnectionString(
        L"  Provider = Microsoft.ACE.OLEDB.12.0 ;DATA SOURCE=/tmp/a b.db;;  ; mode=Read;");
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.items.size(), 3u);
    EXPECT_EQ(p.items[0].key, L"Provider");
    EXPECT_EQ(p.items[0].value, L"Microsoft.ACE.OLEDB.12.0");
    EXPECT_EQ(p.Value(L"data source"), L"/tmp/a b.db");
    EXPECT_EQ(p.Value(L"Mode"), L"Read");
    EXPECT_EQ(p.Value(L"Password", L"none"), L"none");
    EXPECT_EQ(p.Find(L"Data  Source"), nullptr);  // inner blanks of a key count
}

TEST(ConnectionStringTest, QuotedValuesKeepSemicolonsBlanksAndDoubledQuotes) {
    const auto p = ParseConnectionString(
        LR"(Data Source=" /x;y/it""s.db ";Extended Properties='Excel 8.0;HDR=Yes;IMEX=1';)"
        LR"(Password='a''b"c'  ;User ID="")");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.Value(L"Data Source"), LR"( /x;y/it"s.db )");
    EXPECT_EQ(p.Value(L"Extended Properties"), L"Excel 8.0;HDR=Yes;IMEX=1");
    EXPECT_EQ(p.Value(L"Password"), LR"(a'b"c)");
    ASSERT_NE(p.Find(L"User ID"), nullptr);
    EXPECT_EQ(p.Value(L"User ID", L"x"), L"");
}

TEST(ConnectionStringTest, UnquotedValuesKeepInnerQuotesAndLastKeyWins) {
    const auto p = ParseConnectionString(L"Data Source=O'Brien's.db;data source=second.db;A==B=c");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.items[0].value, L"O'Brien's.db");
    EXPECT_EQ(p.Value(L"Data Source"), L"second.db");
    EXPECT_EQ(p.Value(L"A=B"), L"c");  // "==" is a '=' inside a key
}

TEST(ConnectionStringTest, EmptyTextAndOnlySeparatorsGiveNoItems) {
    for (const wchar_t* text : {L"", L";;;", L"   ", L" ; ; "}) {
        const auto p = ParseConnectionString(text);
        EXPECT_TRUE(p.ok) << p.error;
        EXPECT_TRUE(p.items.empty());
    }
}

TEST(ConnectionStringTest, UnterminatedQuoteIsReportedAtTheOpeningQuote) {
    const std::wstring text = L"Provider=X;Data Source=\"/tmp/a.db;Mode=Read";
    const auto p = ParseConnectionString(text);
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.errorPosition, text.find(L'"'));
    EXPECT_NE(p.error.find(L"Data Source"), std::wstring::npos) << p.error;
    EXPECT_NE(p.error.find(L"character 24"), std::wstring::npos) << p.error;
    ASSERT_EQ(p.items.size(), 1u);  // what came before the fault
}

TEST(ConnectionStringTest, TextAfterAClosingQuoteAndMissingPartsAreErrors) {
    auto p = ParseConnectionString(L"Data Source='a.db' x;Mode=Read");
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.errorPosition, 19u);
    EXPECT_NE(p.error.find(L"after the quoted value"), std::wstring::npos) << p.error;

    p = ParseConnectionString(L"Provider=X;JustAWord;");
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.errorPosition, 11u);
    EXPECT_NE(p.error.find(L"JustAWord"), std::wstring::npos) << p.error;

    p = ParseConnectionString(L"Provider=X; =value");
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.errorPosition, 12u);
}

TEST(ConnectionStringTest, ExtendedPropertiesListsAllowBareItems) {
    const auto p = ParseConnectionString(L"Excel 12.0 Xml;HDR=YES;IMEX=1;", BareItems::Allow);
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.items.size(), 3u);
    EXPECT_EQ(p.items[0].key, L"Excel 12.0 Xml");
    EXPECT_FALSE(p.items[0].hasValue);
    EXPECT_TRUE(p.items[1].hasValue);
    EXPECT_EQ(p.Value(L"hdr"), L"YES");
}

TEST(ConnectionStringTest, QuotedValuesRoundTripThroughTheParser) {
    // (a value starting with '=' found by the connection-string fuzz target)
    const std::wstring values[] = {
        L"plain",     L"a;b", L" padded ", L"'start",     L"\"start",
        L"both ' \"", L"",    L"it's",     L"x\"\";'';y", L"=starts with an equals sign",
        L"==",        L"a=b"};
    for (const std::wstring& value : values) {
        const std::wstring text =
            L"K" + EscapeConnectionKey(L"=k") + L"=" + QuoteConnectionValue(value) + L";Next=1";
        const auto p = ParseConnectionString(text);
        ASSERT_TRUE(p.ok) << p.error;
        EXPECT_EQ(p.Value(L"K=k"), value) << text;
        EXPECT_EQ(p.Value(L"Next"), L"1") << text;
    }
}

TEST(ConnectionStringTest, ModeAndPromptValues) {
    LONG mode = 0;
    EXPECT_TRUE(ParseModeValue(L"Read", &mode));
    EXPECT_EQ(mode, DB_MODE_READ);
    EXPECT_TRUE(ParseModeValue(L" readwrite | share  deny NONE ", &mode));
    EXPECT_EQ(mode, DB_MODE_READWRITE | DB_MODE_SHARE_DENY_NONE);
    EXPECT_TRUE(ParseModeValue(L"16", &mode));
    EXPECT_EQ(mode, DB_MODE_SHARE_DENY_NONE);
    EXPECT_TRUE(ParseModeValue(L"Share Exclusive|Write", &mode));
    EXPECT_EQ(mode, DB_MODE_SHARE_EXCLUSIVE | DB_MODE_WRITE);
    EXPECT_FALSE(ParseModeValue(L"Readonly", &mode));
    EXPECT_FALSE(ParseModeValue(L"Read|", &mode));
    EXPECT_FALSE(ParseModeValue(L"99999999999", &mode));
    EXPECT_EQ(FormatModeValue(DB_MODE_READWRITE | DB_MODE_SHARE_DENY_NONE),
              L"ReadWrite|Share Deny None");
    LONG back = 0;
    ASSERT_TRUE(ParseModeValue(FormatModeValue(DB_MODE_READ | DB_MODE_SHARE_EXCLUSIVE), &back));
    EXPECT_EQ(back, DB_MODE_READ | DB_MODE_SHARE_EXCLUSIVE);

    SHORT prompt = 0;
    EXPECT_TRUE(ParsePromptValue(L"CompleteRequired", &prompt));
    EXPECT_EQ(prompt, DBPROMPT_COMPLETEREQUIRED);
    EXPECT_TRUE(ParsePromptValue(L"4", &prompt));
    EXPECT_EQ(prompt, DBPROMPT_NOPROMPT);
    EXPECT_FALSE(ParsePromptValue(L"5", &prompt));
    EXPECT_FALSE(ParsePromptValue(L"Ask", &prompt));
}

}  // namespace
}  // namespace vorn::provider
