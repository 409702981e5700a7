// The command class of the library over the embedded provider's rowsets on a real SQLite
// file: the moves it makes (first, next, previous, last) land where the host expects, its
// field conversions read the provider's values, and long values come in each binding mode.
#include <gtest/gtest.h>

#include <string>

#include "support/temp_database.h"
#include "vornoledb/vornoledb.h"

namespace vorn::test {
namespace {

class ConsumerOverProvider : public ::testing::Test {
  protected:
    void SetUp() override {
        file = folder.File("consumer.db");
        RunSql(file,
               "CREATE TABLE items(id INTEGER PRIMARY KEY, name TEXT(40), price CURRENCY, "
               "added DATETIME, ok YESNO, note MEMO, qty LONG, ratio DOUBLE);"
               "INSERT INTO items VALUES (1, 'bolt', 1.25, '2024-02-03 04:05:06', -1, "
               "'short note', 10, 0.5);"
               "INSERT INTO items VALUES (2, 'nut', 0.1, '2024-02-03', 0, NULL, 20, 1.5);"
               "INSERT INTO items VALUES (3, 'gear', 12, '2024-02-03 00:00:00', 0, "
               "printf('%.20000c', 'x'), 30, 2.5);");
        ASSERT_EQ(connection.OpenFromInitializationString(ConnectionString(file), false), S_OK)
            << WideToUtf8(connection.GetErrorText());
        command.SetConnection(&connection);
    }

    TempFolder folder;
    std::string file;
    VornOleDbConnection connection;
    VornOleDbCommand command;
};

TEST_F(ConsumerOverProvider, MovesLandOnTheRowsTheHostExpects) {
    command.SetCommandText(L"SELECT id FROM items ORDER BY id");
    ASSERT_EQ(command.Execute(), VornOleDbCommand::dbOK) << WideToUtf8(command.GetErrorText());
    EXPECT_EQ(command.FetchPrev(), VornOleDbCommand::dbFalse);
    EXPECT_EQ(command.FetchNext(), VornOleDbCommand::dbOK);
    EXPECT_EQ(command.FieldAsLong(1), 1);
    EXPECT_EQ(command.FetchNext(), VornOleDbCommand::dbOK);
    EXPECT_EQ(command.FieldAsLong(1), 2);
    EXPECT_EQ(command.FetchPrev(), VornOleDbCommand::dbOK);
    EXPECT_EQ(command.FieldAsLong(1), 1);
    EXPECT_EQ(command.FetchLast(), VornOleDbCommand::dbOK);
    EXPECT_EQ(command.FieldAsLong(1), 3);
    EXPECT_EQ(command.FetchPrev(), VornOleDbCommand::dbOK);
    EXPECT_EQ(command.FieldAsLong(1), 2) << "the row before the last";
    EXPECT_EQ(command.FetchNext(), VornOleDbCommand::dbOK);
    EXPECT_EQ(command.FieldAsLong(1), 3);
    EXPECT_EQ(command.FetchNext(), VornOleDbCommand::dbFalse);
    EXPECT_EQ(command.FetchPrev(), VornOleDbCommand::dbOK);
    EXPECT_EQ(command.FieldAsLong(1), 3) << "back from the end gives the last row";
    EXPECT_EQ(command.FetchFirst(), VornOleDbCommand::dbOK);
    EXPECT_EQ(command.FieldAsLong(1), 1);
    EXPECT_EQ(command.FetchPrev(), VornOleDbCommand::dbFalse);
    EXPECT_EQ(command.FetchNext(), VornOleDbCommand::dbOK);
    EXPECT_EQ(command.FieldAsLong(1), 1);
    EXPECT_EQ(command.FetchNext(1), VornOleDbCommand::dbOK) << "one row skipped";
    EXPECT_EQ(command.FieldAsLong(1), 3);
    EXPECT_EQ(command.FetchFirst(), VornOleDbCommand::dbOK);
    EXPECT_EQ(command.FetchNext(2), VornOleDbCommand::dbFalse) << "two skipped: past the end";
}

TEST_F(ConsumerOverProvider, FieldsReadAsTheHostSeesThem) {
    command.SetCommandText(
        L"SELECT id, name, price, added, ok, qty, ratio, note FROM items "
        L"ORDER BY id");
    ASSERT_EQ(command.Execute(), VornOleDbCommand::dbOK) << WideToUtf8(command.GetErrorText());
    ASSERT_EQ(command.FetchNext(), VornOleDbCommand::dbOK) << WideToUtf8(command.GetErrorText());
    EXPECT_EQ(command.FieldAsString(1), L"1");
    EXPECT_EQ(command.FieldAsString(2), L"bolt");
    EXPECT_EQ(command.FieldAsString(3), L"1.2500");
    EXPECT_EQ(command.FieldAsString(4), L"2024-02-03 04:05:06");
    EXPECT_EQ(command.FieldAsLong(5), -1);
    EXPECT_EQ(command.FieldAsLong(6), 10);
    EXPECT_EQ(command.FieldAsString(7), L"0.500000");
    EXPECT_EQ(command.IsIntegral(1), VornOleDbCommand::dbOK);
    EXPECT_EQ(command.GetRawType(8), DBTYPE_WSTR | DBTYPE_BYREF) << "long text by reference";
    EXPECT_EQ(command.FieldAsString(8), L"") << "long values are read with GetBlobData";
    EXPECT_EQ(command.GetColumnSize(2), 4 * sizeof(wchar_t));
    unsigned char buffer[64] = {};
    EXPECT_EQ(command.GetBlobData(8, buffer, sizeof buffer), VornOleDbCommand::dbOK);
    EXPECT_EQ(std::wmemcmp(reinterpret_cast<wchar_t*>(buffer), L"short note", 10), 0);
    ASSERT_EQ(command.FetchNext(), VornOleDbCommand::dbOK);
    EXPECT_EQ(command.FieldAsString(4), L"2024-02-03");
    EXPECT_EQ(command.IsNull(8), VornOleDbCommand::dbOK);
    EXPECT_EQ(command.GetBlobData(8, buffer, sizeof buffer), VornOleDbCommand::dbNull);
    ASSERT_EQ(command.FetchNext(), VornOleDbCommand::dbOK);
    CHeapPtr<unsigned char, CCRTAllocator> block;
    EXPECT_EQ(command.GetBlobData(8, block), 20000 * sizeof(wchar_t));
}

TEST_F(ConsumerOverProvider, LongValuesAsStreams) {
    ASSERT_TRUE(command.SetBlobHandling(DBBLOBHANDLING_DEFAULT));
    command.SetCommandText(L"SELECT note FROM items WHERE id = 3");
    ASSERT_EQ(command.Execute(), VornOleDbCommand::dbOK) << WideToUtf8(command.GetErrorText());
    ASSERT_EQ(command.FetchNext(), VornOleDbCommand::dbOK) << WideToUtf8(command.GetErrorText());
    EXPECT_EQ(command.GetRawType(1), DBTYPE_IUNKNOWN);
    CHeapPtr<unsigned char, CCRTAllocator> block;
    ASSERT_EQ(command.GetBlobData(1, block), 20000 * sizeof(wchar_t));
    EXPECT_EQ(reinterpret_cast<const wchar_t*>(block.m_pData)[19999], L'x');
}

}  // namespace
}  // namespace vorn::test
