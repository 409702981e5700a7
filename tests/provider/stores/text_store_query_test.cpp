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
