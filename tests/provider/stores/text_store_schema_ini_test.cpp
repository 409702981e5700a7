// schema.ini sections: formats, column names and types that win over the header line,
// character sets, date, decimal and currency symbols, fixed-length files, and entries
// that cannot be read.
#include "provider/stores/text_store_test_util.h"

namespace vorn::test {
namespace {

using SchemaIniTest = TextFolderTest;

TEST_F(SchemaIniTest, ColumnsFormatAndSymbols) {
    Write("schema.ini",
          "; prices from the shop\r\n[prices.txt]\r\nFormat=Delimited(;)\r\nColNameHeader=True\r\n"
          "DateTimeFormat=dd.mm.yyyy hh:nn\r\nDecimalSymbol=,\r\nCurrencySymbol=EUR\r\n"
          "Col1=Part Short\r\nCol2=\"Sold on\" DateTime\r\nCol3=Price Currency\r\n"
          "Col4=Weight Double\r\nCol5=Code Text Width 4\r\n");
    Write("prices.txt",
          "a;b;c;d;e\r\n7;05.03.2024 14:30;EUR12,50;1,25;0042\r\n8;31.12.2023 00:00;3 EUR;2;x\r\n");
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Run(L"SELECT * FROM [prices#txt]"));
    EXPECT_EQ(L"Sold on", command.GetColumnName(2));
    EXPECT_EQ(DBTYPE_I2, command.GetRawType(1));
    EXPECT_EQ(DBTYPE_CY, command.GetRawType(3));
    EXPECT_EQ((Rows{{L"7", L"2024-03-05 14:30:00", L"12.5000", L"1.250000", L"0042"},
                    {L"8", L"2023-12-31", L"3.0000", L"2.000000", L"x"}}),
              Query(L"SELECT * FROM [prices#txt] ORDER BY Part"));
}

TEST_F(SchemaIniTest, CharacterSets) {
    Write("schema.ini",
          "[ansi.csv]\nCharacterSet=ANSI\n[oem.csv]\nCharacterSet=OEM\n[utf.csv]\nCharacterSet="
          "65001\n");
    Write("ansi.csv", "w\ncaf\xE9 \x80\n");
    Write("oem.csv", "w\n\x82t\x82\n");
    Write("utf.csv", "w\ncaf\xC3\xA9\n");
    ASSERT_TRUE(Open());
    EXPECT_EQ((Rows{{L"caf\u00e9 \u20ac"}}), Query(L"SELECT w FROM [ansi#csv]"));
    EXPECT_EQ((Rows{{L"\u00e9t\u00e9"}}), Query(L"SELECT w FROM [oem#csv]"));
    EXPECT_EQ((Rows{{L"caf\u00e9"}}), Query(L"SELECT w FROM [utf#csv]"));
    // Rows written go in the file's own set; a character it lacks is refused.
    ASSERT_TRUE(Run(L"INSERT INTO [ansi#csv] VALUES ('\u00fcber \u20ac')")) << Narrow(error);
    EXPECT_EQ(
        "w\ncaf\xE9 \x80\n\xFC"
        "ber \x80\n",
        ReadFile("ansi.csv"));
    EXPECT_FALSE(Run(L"INSERT INTO [ansi#csv] VALUES ('\u0416')"));
    EXPECT_NE(std::wstring::npos, error.find(L"U+0416")) << Narrow(error);
}

TEST_F(SchemaIniTest, FixedLengthFiles) {
    Write("schema.ini",
          "[fixed.txt]\nFormat=FixedLength\nColNameHeader=False\nCol1=Id Long Width 3\n"
          "Col2=Name Text Width 6\nCol3=Qty Long Width 4\n");
    Write("fixed.txt", "  1bolt    10\n 22nut   1234\n");
    ASSERT_TRUE(Open());
    EXPECT_EQ((Rows{{L"1", L"bolt", L"10"}, {L"22", L"nut", L"1234"}}),
              Query(L"SELECT Id, Name, Qty FROM [fixed#txt]"));
    ASSERT_TRUE(Run(L"INSERT INTO [fixed#txt] VALUES (5, 'pin', 7)")) << Narrow(error);
    EXPECT_EQ("  1bolt    10\n 22nut   1234\n5  pin   7   \n", ReadFile("fixed.txt"));
}

TEST_F(SchemaIniTest, EntriesThatCannotBeReadAreNamed) {
    Write("schema.ini", "[a.csv]\nCol1=x Strange\n[b.csv]\nCol2=y Long\n[c.csv]\nFormat=Spaces\n");
    Write("a.csv", "x\n1\n");
    Write("b.csv", "y\n1\n");
    Write("c.csv", "z\n1\n");
    ASSERT_TRUE(Open());
    EXPECT_FALSE(Run(L"SELECT * FROM [a#csv]"));
    EXPECT_NE(std::wstring::npos, error.find(L"[a.csv]: Col1=x Strange is not understood"))
        << Narrow(error);
    EXPECT_FALSE(Run(L"SELECT * FROM [b#csv]"));
    EXPECT_NE(std::wstring::npos, error.find(L"Col1 is missing")) << Narrow(error);
    EXPECT_FALSE(Run(L"SELECT * FROM [c#csv]"));
    EXPECT_NE(std::wstring::npos, error.find(L"Format=Spaces")) << Narrow(error);
}

}  // namespace
}  // namespace vorn::test
