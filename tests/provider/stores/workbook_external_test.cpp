// A sheet reached from a database connection through Jet's external-source syntax, joined
// with a table of the database.
#include "provider/stores/workbook_test_util.h"

namespace vorn::test {
namespace {

class WorkbookExternalTest : public WorkbookTest {};

TEST_F(WorkbookExternalTest, SheetJoinsADatabaseTable) {
    const std::string db = folder.File("plant.db");
    RunSql(db, "CREATE TABLE Prices(a INTEGER, price REAL); INSERT INTO Prices VALUES (1, 9.5);");
    connection.Close();
    ASSERT_EQ(connection.OpenFromInitializationString(
                  L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Utf8ToWide(db) + L";", false),
              S_OK);
    command.SetConnection(&connection);
    const std::wstring book = Utf8ToWide(kExcelData + "/csvkit/dummy.xlsx");
    EXPECT_EQ(Query(L"SELECT s.b, p.price FROM [Excel 12.0 Xml;Database=" + book +
                    L";HDR=Yes].[Sheet1$] AS s INNER JOIN Prices AS p ON p.a = s.a"),
              (Grid{{L"2.000000", L"9.500000"}}));
    EXPECT_EQ(Query(L"SELECT c FROM [Sheet1$] IN '" + book + L"' [Excel 8.0;HDR=Yes]"),
              (Grid{{L"3.000000"}}));
}

}  // namespace
}  // namespace vorn::test
