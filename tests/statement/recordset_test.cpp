// Recordsets of each connect type over a real database, and the builder on a real table.
#include <gtest/gtest.h>

#include "support/temp_database.h"
#include "vornoledb/connection_cache.h"
#include "vornoledb/ddl_command.h"
#include "vornoledb/platform/text.h"
#include "vornoledb/recordset.h"

using vorn::test::ConnectionString;
using vorn::test::QueryText;
using vorn::test::RunSql;
using vorn::test::TempFolder;

namespace {

class RecordsetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        file = dir.File("parts.db");
        RunSql(file,
               "CREATE TABLE Parts(ID INTEGER PRIMARY KEY, Name TEXT(50), Qty INTEGER);"
               "INSERT INTO Parts VALUES (1, 'Bolt', 12), (2, 'Nut', 40), (3, 'Washer', 5),"
               " (4, 'Axle', 11);");
        init = ConnectionString(file);
        VornOleDbConnectionCache::GetCacheManager()->ClearCache();
    }
    void TearDown() override { VornOleDbConnectionCache::GetCacheManager()->ClearCache(); }

    static std::vector<std::wstring> Names(VornOleDbRecordset& rs) {
        std::vector<std::wstring> out;
        while (rs.FetchNext() == VornOleDbCommand::dbOK)
            out.push_back(rs.FieldAsString(rs.GetColumnIndex(L"Name")));
        return out;
    }

    TempFolder dir;
    std::string file;
    std::wstring init;
};

}  // namespace

TEST_F(RecordsetTest, CachedRecordsetRunsTheExampleStatementAndReturnsItsConnection) {
    VornOleDbRecordset rs(VornOleDbRecordset::ctCached);
    ASSERT_TRUE(rs.Open(init, false)) << WideToUtf8(rs.GetErrorText());
    VornOleDbConnection* first = rs.GetConnection();
    ASSERT_TRUE(rs.GetRecords(L"Parts", L"*", L"Qty > 10", L"Name"));
    EXPECT_EQ((std::vector<std::wstring>{L"Axle", L"Bolt", L"Nut"}), Names(rs));

    ASSERT_TRUE(rs.GetRecNum(L"Parts", L"Qty > 10"));
    ASSERT_EQ(VornOleDbCommand::dbOK, rs.FetchNext());
    EXPECT_EQ(3, rs.FieldAsLong(1));

    // A second Open hands the first connection back before asking for one: it is reused.
    ASSERT_TRUE(rs.Open(init, false));
    EXPECT_EQ(first, rs.GetConnection());
    rs.Close();
    EXPECT_EQ(nullptr, rs.GetConnection());
    EXPECT_EQ(first, VornOleDbConnectionCache::GetCacheManager()->ConnectFromCache(init));
    delete first;
}

TEST_F(RecordsetTest, BlankClausesAreLeftOutAndBlankRequiredTextsRefused) {
    VornOleDbRecordset rs(VornOleDbRecordset::ctPrivate);
    ASSERT_TRUE(rs.Open(init, false));
    ASSERT_TRUE(rs.GetRecords(L"Parts", L"Name", L" \t\r\n", L"\n"));
    EXPECT_EQ(4u, Names(rs).size());
    EXPECT_FALSE(rs.GetRecords(L"  ", L"*", nullptr, nullptr));
    EXPECT_FALSE(rs.GetRecords(L"Parts", L"", nullptr, nullptr));
    EXPECT_FALSE(rs.GetRecNum(nullptr, nullptr));
    ASSERT_TRUE(rs.GetRecNum(L"Parts", L"Qty > 1000"));
    ASSERT_EQ(VornOleDbCommand::dbOK, rs.FetchNext());
    EXPECT_EQ(0, rs.FieldAsLong(1));
}

TEST_F(RecordsetTest, FailuresGiveFalseWithTextNamingTheCause) {
    VornOleDbRecordset priv(VornOleDbRecordset::ctPrivate);
    EXPECT_FALSE(priv.Open(ConnectionString(dir.File("absent.db")), false));
    EXPECT_NE(std::wstring::npos, priv.GetErrorText().find(L"absent.db"))
        << WideToUtf8(priv.GetErrorText());
    EXPECT_EQ(nullptr, priv.GetConnection());

    VornOleDbRecordset cached(VornOleDbRecordset::ctCached);
    EXPECT_FALSE(cached.Open(ConnectionString(dir.File("absent.db")), false));
    EXPECT_NE(std::wstring::npos, cached.GetErrorText().find(L"absent.db"));

    ASSERT_TRUE(priv.Open(init, false));
    EXPECT_FALSE(priv.GetRecords(L"NoSuchTable", L"*", nullptr, nullptr));
    EXPECT_NE(std::wstring::npos, priv.GetErrorText().find(L"NoSuchTable"))
        << WideToUtf8(priv.GetErrorText());
    EXPECT_EQ(L"SELECT * FROM NoSuchTable", priv.GetErrorStatement());
}

TEST_F(RecordsetTest, ExternalRecordsetUsesButNeverOwnsTheHostsConnection) {
    VornOleDbConnection host;
    ASSERT_EQ(S_OK, host.OpenFromInitializationString(init, false));
    {
        VornOleDbRecordset rs(VornOleDbRecordset::ctExternal);
        rs.SetConnection(&host);
        EXPECT_EQ(&host, rs.GetConnection());
        rs.SetConnection(nullptr);
        EXPECT_EQ(&host, rs.GetConnection());
        ASSERT_TRUE(rs.GetRecords(L"Parts", L"Name", L"ID = 2", nullptr));
        EXPECT_EQ(std::vector<std::wstring>{L"Nut"}, Names(rs));
        EXPECT_FALSE(rs.Open(init, false));
        EXPECT_EQ(nullptr, rs.GetConnection());
        rs.SetConnection(&host);
    }
    EXPECT_TRUE(host.IsConnected());

    VornOleDbRecordset priv(VornOleDbRecordset::ctPrivate);
    priv.SetConnection(&host);
    EXPECT_EQ(nullptr, priv.GetConnection());
}

TEST_F(RecordsetTest, BuilderWritesRowsAndUpdateInsertChooses) {
    VornOleDbConnection c;
    ASSERT_EQ(S_OK, c.OpenFromInitializationString(init, false));
    VornOleDbDDLCommand b;
    b.SetConnection(&c);
    b.SetTable(L"Parts");
    b.AddSearchCol(L"ID", L"%d", 7);
    b.AddColumn(L"Name", L"'%s'", L"O'Brien's bolt");
    b.AddColumn(L"Qty", L"%d", 3);
    ASSERT_TRUE(b.UpdateInsert()) << WideToUtf8(b.GetErrorInfo(true));
    EXPECT_EQ("O'Brien's bolt", QueryText(file, "SELECT Name FROM Parts WHERE ID = 7"));
    b.AddColumn(L"QTY", L"%d", 99);
    ASSERT_TRUE(b.UpdateInsert());
    EXPECT_EQ("99", QueryText(file, "SELECT Qty FROM Parts WHERE ID = 7"));
    EXPECT_EQ(1, b.GetRowsAffected());
    EXPECT_EQ("5", QueryText(file, "SELECT COUNT(*) FROM Parts"));
    ASSERT_TRUE(b.Delete());
    EXPECT_EQ("4", QueryText(file, "SELECT COUNT(*) FROM Parts"));

    b.SetTable(L"Missing");
    EXPECT_FALSE(b.Insert());
    EXPECT_NE(std::wstring::npos, b.GetErrorInfo(true).find(L"INSERT INTO Missing"));
}
