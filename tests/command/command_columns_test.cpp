// Column count, names, numbers by name, value sizes and bound types.
#include <gtest/gtest.h>

#include "support/fake_connection.h"
#include "vornoledb/command.h"

using namespace vorn::test::fake;

namespace {

class ColumnsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto table = std::make_shared<Table>();
        table->columns = {MakeColumn(L"PartNo", DBTYPE_I4, 4), MakeColumn(L"Name", DBTYPE_WSTR, 20),
                          MakeColumn(L"name", DBTYPE_STR, 20), MakeColumn(L"", DBTYPE_I2, 2)};
        table->columns[3].nullName = true;
        table->rows = {
            {Cell::Of<int32_t>(1), Cell::Wide(L"bolt"), Cell::Narrow("x"), Cell::Of<int16_t>(2)}};
        fake.ReturnRows(table);
        command.SetConnection(&fake.connection);
        command.SetCommandText(L"SELECT * FROM parts");
        ASSERT_EQ(VornOleDbCommand::dbOK, command.Execute());
    }
    FakeConnection fake;
    VornOleDbCommand command;
};

TEST_F(ColumnsTest, IndexByNameIgnoresLetterCaseOnly) {
    EXPECT_EQ(4u, command.GetColumnCount());
    EXPECT_EQ(1u, command.GetColumnIndex(L"partno"));
    EXPECT_EQ(2u, command.GetColumnIndex(L"NAME"));  // the lower number of two equal names
    EXPECT_EQ(0u, command.GetColumnIndex(L" Name"));
    EXPECT_EQ(0u, command.GetColumnIndex(L"Name "));
    EXPECT_EQ(0u, command.GetColumnIndex(L""));
    EXPECT_EQ(0u, command.GetColumnIndex(nullptr));
    EXPECT_EQ(0u, command.GetColumnIndex(L"Nam"));
    command.Close();
    EXPECT_EQ(0u, command.GetColumnIndex(L"PartNo"));
}

TEST_F(ColumnsTest, NamesTypesAndSizes) {
    EXPECT_EQ(L"PartNo", command.GetColumnName(1));
    EXPECT_EQ(L"", command.GetColumnName(4));  // a column without a name
    EXPECT_EQ(L"", command.GetColumnName(0));
    EXPECT_EQ(L"", command.GetColumnName(5));
    EXPECT_EQ(DBTYPE_WSTR, command.GetRawType(2));
    EXPECT_EQ(DBTYPE_EMPTY, command.GetRawType(5));
    EXPECT_EQ(0ul, command.GetColumnSize(2));  // before the first fetch
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(4 * sizeof(wchar_t), command.GetColumnSize(2));
    EXPECT_EQ(1ul, command.GetColumnSize(3));
    EXPECT_EQ(4ul, command.GetColumnSize(1));
    EXPECT_EQ(0ul, command.GetColumnSize(0));
}

}  // namespace
