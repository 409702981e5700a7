// Queries on a folder of text files: every table a file, Jet SQL over them (joins,
// GROUP BY, sub-queries, Jet functions, TOP, ORDER BY), types guessed from the first rows,
// and misfits with and without IMEX.
#include "provider/stores/text_store_test_util.h"

namespace vorn::test {
namespace {

using TextQueryTest = TextFolderTest;

TEST_F(TextQueryTest, ReadsTypedColumnsAndRunsJetSql) {
    Write("parts.csv",
          "id,name,price,added\r\n1,bolt,0.25,2024-01-05\r\n2,nut,0.1,2024-02-01 10:30:00\r\n"
          "3,\"washer, flat\",0.05,2024-03-01\r\n");
    Write("stock.csv", "part,qty\n1,100\n2,250\n2,50\n3,7\n");
    ASSERT_TRUE(Open()) << Narrow(connection.GetErrorText());
    EXPECT_EQ((Rows{{L"1", L"bolt", L"0.250000", L"2024-01-05"},
                    {L"2", L"nut", L"0.100000", L"2024-02-01 10:30:00"},
                    {L"3", L"washer, flat", L"0.050000", L"2024-03-01"}}),
              Query(L"SELECT * FROM [parts#csv] ORDER BY id"));
    EXPECT_EQ((Rows{{L"nut", L"300"}, {L"bolt", L"100"}}),
              Query(L"SELECT TOP 2 p.name, SUM(s.qty) AS total FROM [parts.csv] AS p INNER JOIN "
                    L"stock#csv AS s ON p.id = s.part GROUP BY p.name ORDER BY SUM(s.qty) DESC"));
    EXPECT_EQ((Rows{{L"WASHER, FLAT", L"2024"}}),
              Query(L"SELECT UCase(name), Year(added) FROM [parts#csv] WHERE id IN (SELECT part "
                    L"FROM [stock#csv] WHERE qty < 10)"));
}

}  // namespace
}  // namespace vorn::test

namespace vorn::test {
namespace {

std::string Rows26(const std::string& last) {
    std::string text = "id,amount\n";
    for (int i = 1; i <= 25; ++i)
        text += std::to_string(i) + "," + std::to_string(i * 10) + "\n";
    return text + "26," + last + "\n";
}

TEST_F(TextQueryTest, MisfitPastTheScannedRowsIsNullOrTextWithImex) {
    Write("m.csv", Rows26("n/a"));
    ASSERT_TRUE(Open());
    EXPECT_EQ((Rows{{L"250"}, {L"<null>"}}),
              Query(L"SELECT amount FROM [m#csv] WHERE id >= 25 ORDER BY id"));
    // Import mode reads every guessed column as its text.
    ASSERT_TRUE(Open(L"text;HDR=Yes;FMT=Delimited;IMEX=1"));
    EXPECT_EQ((Rows{{L"250"}, {L"n/a"}}),
              Query(L"SELECT amount FROM [m#csv] WHERE Val(id) >= 25 ORDER BY Val(id)"));
    // Scanning every row makes the column text from the start.
    ASSERT_TRUE(Open(L"text;HDR=Yes;MaxScanRows=0"));
    EXPECT_EQ((Rows{{L"n/a"}}), Query(L"SELECT amount FROM [m#csv] WHERE id = 26"));
}

TEST_F(TextQueryTest, NamesColumnsWithoutAHeaderAndSkipsBlankLines) {
    Write("plain.txt", "1,a,\n\n2,b,x\r\n\r\n");
    Write("half.csv", "a,,c\n1,2,3\n");
    ASSERT_TRUE(Open(L"text;HDR=No"));
    EXPECT_EQ((Rows{{L"1", L"a", L"<null>"}, {L"2", L"b", L"x"}}),
              Query(L"SELECT F1, F2, F3 FROM [plain#txt]"));
    ASSERT_TRUE(Open());
    EXPECT_EQ((Rows{{L"1", L"2", L"3"}}), Query(L"SELECT a, F2, c FROM [half#csv]"));
    EXPECT_EQ(L"F2", command.GetColumnName(2));
}

TEST_F(TextQueryTest, ReadsOtherDelimitersLineEndsAndMarks) {
    Write("t.tab", "x\ty\n1\tone\n");
    Write("s.txt", "x|y\r1|\"a|b\"\r2|c\r");
    Write("bom.csv", "\xEF\xBB\xBFname,n\n\xC3\xA9t\xC3\xA9,1\n");
    ASSERT_TRUE(Open(L"text;HDR=Yes;FMT=TabDelimited"));
    EXPECT_EQ((Rows{{L"1", L"one"}}), Query(L"SELECT x, y FROM [t#tab]"));
    ASSERT_TRUE(Open(L"text;HDR=Yes;FMT=Delimited(|)"));
    EXPECT_EQ((Rows{{L"1", L"a|b"}, {L"2", L"c"}}), Query(L"SELECT x, y FROM [s#txt]"));
    ASSERT_TRUE(Open());
    EXPECT_EQ((Rows{{L"\u00e9t\u00e9", L"1"}}), Query(L"SELECT name, n FROM [bom#csv]"));
}

TEST_F(TextQueryTest, GuessesLongDoubleDateTimeTextAndMemo) {
    std::string memo(300, 'm');
    Write("g.csv",
          "i,d,t,s,m\n1,1.5,2024-05-06,x,short\n-7,2,2024-05-07 08:09:10,7," + memo + "\n");
    ASSERT_TRUE(Open());
    ASSERT_TRUE(Run(L"SELECT * FROM [g#csv]"));
    EXPECT_EQ(DBTYPE_I4, command.GetRawType(1));
    EXPECT_EQ(DBTYPE_R8, command.GetRawType(2));
    EXPECT_EQ(DBTYPE_DATE, command.GetRawType(3));
    EXPECT_EQ(DBTYPE_WSTR, command.GetRawType(4));
    EXPECT_EQ(VornOleDbCommand::dbOK, command.IsBlob(5));
    EXPECT_EQ((Rows{{L"-6", L"3.500000", L"2"}}),
              Query(L"SELECT SUM(i), SUM(d), COUNT(*) FROM [g#csv] WHERE Len(m) > 0"));
}

TEST_F(TextQueryTest, BadInputNamesTheFileAndTheLine) {
    Write("open.csv", "a,b\n1,\"never closed\n2,3\n");
    Write("wide.csv", "a,b\n1,2\n3,4,5\n");
    Write("latin.csv", "a\ncaf\xE9\n");
    Write("wide16.csv", std::string("\xFF\xFE"
                                    "a\0\n\0",
                                    6));
    ASSERT_TRUE(Open());
    EXPECT_FALSE(Run(L"SELECT COUNT(*) FROM [open#csv]"));
    EXPECT_NE(std::wstring::npos, error.find(L"line 2 of 'open.csv'")) << Narrow(error);
    EXPECT_FALSE(Run(L"SELECT * FROM [wide#csv]"));
    EXPECT_NE(std::wstring::npos, error.find(L"line 3 of 'wide.csv' has 3 fields"))
        << Narrow(error);
    EXPECT_FALSE(Run(L"SELECT a FROM [latin#csv]"));
    EXPECT_NE(std::wstring::npos, error.find(L"line 2 of 'latin.csv', column 'a'"))
        << Narrow(error);
    EXPECT_FALSE(Run(L"SELECT * FROM [wide16#csv]"));
    EXPECT_NE(std::wstring::npos, error.find(L"'wide16.csv' is UTF-16 text")) << Narrow(error);
    // The good tables of the folder still answer.
    Write("good.csv", "a\n1\n");
    ASSERT_TRUE(Open());
    EXPECT_EQ((Rows{{L"1"}}), Query(L"SELECT a FROM [good#csv]"));
}

TEST_F(TextQueryTest, OpensTheFolderOfAFileAndMissingFoldersFail) {
    Write("one.csv", "a\n1\n");
    Write("notes.dat", "a\n2\n");
    const std::wstring path(folder.Path().begin(), folder.Path().end());
    ASSERT_EQ(S_OK, connection.OpenFromInitializationString(
                        (L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + path +
                         L"/notes.dat;Extended Properties='text;HDR=Yes';")
                            .c_str(),
                        false));
    command.SetConnection(&connection);
    EXPECT_EQ((Rows{{L"2"}, {L"1"}}),
              Query(L"SELECT a FROM [notes#dat] UNION ALL SELECT a FROM [one.csv]"));
    // A file added after the data source opened is a table all the same.
    Write("later.csv", "b\n3\n");
    EXPECT_EQ((Rows{{L"3"}}), Query(L"SELECT b FROM [later.csv]"));
    ASSERT_TRUE(Run(L"INSERT INTO [later#csv] VALUES (4)")) << Narrow(error);
    EXPECT_EQ((Rows{{L"2"}}), Query(L"SELECT COUNT(*) FROM later#csv"));
    command.Close();
    connection.Close();
    EXPECT_NE(S_OK, connection.OpenFromInitializationString(
                        (L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + path +
                         L"/missing;Extended Properties='text';")
                            .c_str(),
                        false));
    EXPECT_NE(std::wstring::npos, connection.GetErrorText().find(L"could not find the folder"))
        << Narrow(connection.GetErrorText());
}

}  // namespace
}  // namespace vorn::test
