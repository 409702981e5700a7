// Jet's external-source syntax: a table of a text folder inside a statement of any
// connection, so that one statement joins a database table with a CSV file.
#include "provider/stores/text_store_test_util.h"
#include "vornoledb/platform/text.h"

namespace vorn::test {
namespace {

class ExternalSourceTest : public TextFolderTest {
  protected:
    void SetUp() override {
        Write("parts.csv", "id,name\n1,bolt\n2,nut\n3,washer\n");
        database = folder.File("plant.db");
        RunSql(database,
               "CREATE TABLE orders (part INTEGER, qty INTEGER);"
               "INSERT INTO orders VALUES (1, 10), (2, 5), (1, 3);");
        ASSERT_EQ(S_OK, connection.OpenFromInitializationString(ConnectionString(database), false));
        command.SetConnection(&connection);
        path = Utf8ToWide(folder.Path());
    }
    std::string database;
    std::wstring path;
};

TEST_F(ExternalSourceTest, JoinsADatabaseTableWithACsvFile) {
    EXPECT_EQ(
        (Rows{{L"bolt", L"13"}, {L"nut", L"5"}}),
        Query(L"SELECT p.name, SUM(o.qty) FROM orders AS o INNER JOIN [Text;Database=" + path +
              L";HDR=Yes].[parts#csv] AS p ON o.part = p.id GROUP BY p.name ORDER BY p.name"));
    EXPECT_EQ((Rows{{L"washer"}}),
              Query(L"SELECT name FROM [parts#csv] IN '" + path +
                    L"' [Text;HDR=Yes] WHERE id NOT IN (SELECT part FROM orders)"));
    // Columns are qualified by the table's own name.
    EXPECT_EQ((Rows{{L"3"}}),
              Query(L"SELECT COUNT([parts.csv].id) FROM [parts.csv] IN '" + path + L"' [Text;]"));
}

TEST_F(ExternalSourceTest, UnknownKindsAndMissingTablesAreNamed) {
    EXPECT_FALSE(Run(L"SELECT * FROM [Paradox 5.x;Database=" + path + L"].[t]"));
    EXPECT_NE(std::wstring::npos, error.find(L"'Paradox 5.x', a kind of file")) << Narrow(error);
    EXPECT_FALSE(Run(L"SELECT * FROM [Text;Database=" + path + L"].[missing#csv]"));
    EXPECT_NE(std::wstring::npos, error.find(L"has no file 'missing.csv'")) << Narrow(error);
    EXPECT_FALSE(Run(L"SELECT * FROM [Text;HDR=Yes].[parts#csv]"));
    EXPECT_NE(std::wstring::npos, error.find(L"names no file or folder")) << Narrow(error);
}

}  // namespace
}  // namespace vorn::test
