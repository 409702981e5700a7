// What a text folder reports of itself: TABLES lists its text files as parts#csv (never
// schema.ini), COLUMNS gives each column's Jet type, size and nullability, INDEXES has
// none, and the data-source properties come from the store (read-only with Mode=Read).
#include "provider/stores/text_store_test_util.h"
#include "vornoledb/columns.h"
#include "vornoledb/indexes.h"
#include "vornoledb/tables.h"

namespace vorn::test {
namespace {

using TextCatalogTest = TextFolderTest;

TEST_F(TextCatalogTest, TablesColumnsAndIndexes) {
    Write("parts.csv", "id,name,price\n1,bolt,0.5\n");
    Write("notes.TXT", "a\nx\n");
    Write("data.dat", "a\n1\n");
    Write("schema.ini",
          "[parts.csv]\nCol1=id Long\nCol2=name Text Width 30\nCol3=price Currency\n");
    ASSERT_TRUE(Open());
    VornOleDbTables tables;
    ASSERT_TRUE(tables.Open(&connection, nullptr, nullptr, nullptr, L"TABLE"));
    std::vector<std::wstring> names;
    ASSERT_TRUE(tables.GetTableList(names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::wstring>{L"notes#TXT", L"parts#csv"}), names);

    VornOleDbColumns columns;
    ASSERT_TRUE(columns.Open(&connection, nullptr, nullptr, L"parts#csv", nullptr, false));
    std::vector<std::tuple<std::wstring, unsigned short, unsigned long>> seen;
    while (columns.FetchNext()) {
        std::wstring name;
        columns.GetName(name);
        seen.emplace_back(name, columns.DataType(), columns.MaxLength());
        EXPECT_TRUE(columns.IsNullable());
    }
    EXPECT_EQ((std::vector<std::tuple<std::wstring, unsigned short, unsigned long>>{
                  {L"id", DBTYPE_I4, 0}, {L"name", DBTYPE_WSTR, 30}, {L"price", DBTYPE_CY, 0}}),
              seen);

    VornOleDbIndexes indexes;
    ASSERT_TRUE(indexes.Open(&connection, nullptr, nullptr, L"parts#csv", nullptr));
    EXPECT_FALSE(indexes.FetchNext());
}

TEST_F(TextCatalogTest, DataSourcePropertiesComeFromTheStore) {
    Write("parts.csv", "id\n1\n");
    ASSERT_TRUE(Open());
    EXPECT_FALSE(connection.IsReadOnly());
    std::wstring catalog;
    ASSERT_TRUE(connection.GetCurrentCatalog(catalog));
    EXPECT_EQ(std::wstring(folder.Path().begin(), folder.Path().end()), catalog);
    ASSERT_TRUE(Open(L"text;HDR=Yes"));
    connection.Close();
    ASSERT_EQ(S_OK, connection.OpenFromInitializationString(Connection() + L"Mode=Read;", false));
    command.SetConnection(&connection);
    EXPECT_TRUE(connection.IsReadOnly());
    EXPECT_FALSE(Run(L"INSERT INTO [parts#csv] VALUES (2)"));
    EXPECT_NE(std::wstring::npos, error.find(L"read-only")) << Narrow(error);
    EXPECT_EQ("id\n1\n", ReadFile("parts.csv"));
}

}  // namespace
}  // namespace vorn::test
