// File recordsets: the connection string each kind of file gives, the folder of a .csv
// file as its data source (either separator), and real connections to a text folder and a
// database file.
#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_database.h"
#include "vornoledb/connection_cache.h"
#include "vornoledb/file_recordset.h"
#include "vornoledb/platform/text.h"

using vorn::test::RunSql;
using vorn::test::TempFolder;

namespace {

class FileRecordsetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VornOleDbConnectionCache::GetCacheManager()->ClearCache();
        path = Utf8ToWide(dir.Path());
        std::ofstream(dir.File("parts.csv")) << "id,name\n1,bolt\n2,nut\n";
        std::ofstream(dir.File("parts.txt")) << "id,name\n7,pin\n";
    }
    void TearDown() override { VornOleDbConnectionCache::GetCacheManager()->ClearCache(); }

    static std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

    TempFolder dir;
    std::wstring path;
};

TEST_F(FileRecordsetTest, ModuleConstantsAreTheKindsProperties) {
    EXPECT_STREQ(L"Microsoft.ACE.OLEDB.12.0", VornOleDbFileProvider);
    EXPECT_STREQ(L"Jet OLEDB:Engine Type=5", VornOleDbMdbProperties);
    EXPECT_STREQ(L"Extended Properties='Excel 8.0;HDR=YES;IMEX=0'", VornOleDbExcelProperties);
    EXPECT_STREQ(L"Extended Properties='text;HDR=YES;FMT=Delimited'", VornOleDbTextProperties);
    EXPECT_STREQ(L"Extended Properties='Excel 8.0;HDR=YES;IMEX=0;ReadOnly=True'",
                 VornOleDbExcelReadOnlyProperties);
}

TEST_F(FileRecordsetTest, CsvFileIsReachedThroughItsFolder) {
    for (const wchar_t* name : {L"/parts.csv", L"/PARTS.CSV", L"\\parts.Csv"}) {
        VornOleDbFileRecordset rs(VornOleDbRecordset::ctPrivate, VornOleDbFileRecordset::ftText);
        ASSERT_TRUE(rs.Open((path + name).c_str(), nullptr, nullptr, nullptr, false))
            << Narrow(name) << ": " << Narrow(rs.GetErrorText());
        EXPECT_EQ(L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + path +
                      L";Extended Properties='text;HDR=YES;FMT=Delimited';",
                  rs.GetConnection()->GetInit());
        ASSERT_TRUE(rs.GetRecords(L"[parts#csv]", L"name", L"id > 1", L"id"));
        ASSERT_EQ(VornOleDbCommand::dbOK, rs.FetchNext());
        EXPECT_EQ(L"nut", rs.FieldAsString(1));
        ASSERT_TRUE(rs.GetRecNum(L"[parts.csv]", nullptr));
        ASSERT_EQ(VornOleDbCommand::dbOK, rs.FetchNext());
        EXPECT_EQ(2, rs.FieldAsLong(1));
    }
}

TEST_F(FileRecordsetTest, OtherTextPathsAreTheDataSourceAsTheyAre) {
    // A .txt file opens its folder with the file among the tables.
    VornOleDbFileRecordset rs(VornOleDbRecordset::ctPrivate, VornOleDbFileRecordset::ftText);
    ASSERT_TRUE(rs.Open((path + L"/parts.txt").c_str(), nullptr, nullptr, nullptr, false))
        << Narrow(rs.GetErrorText());
    EXPECT_NE(std::wstring::npos,
              rs.GetConnection()->GetInit().find(L"Data Source=" + path + L"/parts.txt;"));
    ASSERT_TRUE(rs.GetRecords(L"[parts#txt]", L"name", nullptr, nullptr));
    ASSERT_EQ(VornOleDbCommand::dbOK, rs.FetchNext());
    EXPECT_EQ(L"pin", rs.FieldAsString(1));
    rs.Close();
    // An extension of another length, and a .csv path without a separator, stay whole.
    EXPECT_FALSE(rs.Open((path + L"/parts.tsv2").c_str(), nullptr, nullptr, nullptr, false));
    EXPECT_NE(std::wstring::npos, rs.GetErrorText().find(path + L"/parts.tsv2"))
        << Narrow(rs.GetErrorText());
    EXPECT_FALSE(rs.Open(L"nowhere.csv", nullptr, nullptr, nullptr, false));
    EXPECT_NE(std::wstring::npos, rs.GetErrorText().find(L"'nowhere.csv'"))
        << Narrow(rs.GetErrorText());
}

TEST_F(FileRecordsetTest, DatabaseFileWithEngineTypeAndFurtherProperties) {
    const std::string db = dir.File("plant.mdb");
    RunSql(db, "CREATE TABLE t(a INTEGER); INSERT INTO t VALUES (5);");
    VornOleDbFileRecordset rs(VornOleDbRecordset::ctPrivate, VornOleDbFileRecordset::ftMdb);
    ASSERT_TRUE(rs.Open(Utf8ToWide(db).c_str(), nullptr, nullptr, L";Mode=Read", false))
        << Narrow(rs.GetErrorText());
    const std::wstring& init = rs.GetConnection()->GetInit();
    EXPECT_EQ(L"Jet OLEDB:Engine Type=5;Mode=Read;", init.substr(init.size() - 34));
    EXPECT_TRUE(rs.GetConnection()->IsReadOnly());
    ASSERT_TRUE(rs.GetRecords(L"t", L"a", nullptr, nullptr));
    ASSERT_EQ(VornOleDbCommand::dbOK, rs.FetchNext());
    EXPECT_EQ(5, rs.FieldAsLong(1));
}

TEST_F(FileRecordsetTest, AccessFileAsMdb) {
    const std::wstring mdb =
        Utf8ToWide(std::string(VORN_TESTDATA_DIR) + "/access/jackcess/indexTestV2003.mdb");
    VornOleDbFileRecordset rs(VornOleDbRecordset::ctPrivate, VornOleDbFileRecordset::ftMdb);
    ASSERT_TRUE(rs.Open(mdb.c_str(), nullptr, nullptr, nullptr, false))
        << Narrow(rs.GetErrorText());
    EXPECT_TRUE(rs.GetConnection()->IsReadOnly());
    ASSERT_TRUE(rs.GetRecords(L"Table2", L"id, data", L"id > 0", L"id DESC"))
        << Narrow(rs.GetErrorText());
    ASSERT_EQ(VornOleDbCommand::dbOK, rs.FetchNext());
    EXPECT_EQ(2, rs.FieldAsLong(1));
    EXPECT_EQ(L"foo2", rs.FieldAsString(2));
    ASSERT_EQ(VornOleDbCommand::dbOK, rs.FetchNext());
    EXPECT_EQ(VornOleDbCommand::dbFalse, rs.FetchNext());
}

TEST_F(FileRecordsetTest, WorkbooksReadAndWriteOrReadOnly) {
    const std::string book = dir.File("book.xlsx");
    {
        std::ifstream in(std::string(VORN_TESTDATA_DIR) + "/excel/csvkit/dummy.xlsx",
                         std::ios::binary);
        std::ofstream(book, std::ios::binary) << in.rdbuf();
    }
    VornOleDbFileRecordset rs(VornOleDbRecordset::ctPrivate, VornOleDbFileRecordset::ftExcel);
    ASSERT_TRUE(rs.Open(Utf8ToWide(book).c_str(), nullptr, nullptr, nullptr, false))
        << Narrow(rs.GetErrorText());
    ASSERT_TRUE(rs.GetRecords(L"[Sheet1$]", L"b", L"a = 1", nullptr));
    ASSERT_EQ(VornOleDbCommand::dbOK, rs.FetchNext());
    EXPECT_EQ(2, rs.FieldAsLong(1));
    rs.SetCommandText(L"INSERT INTO [Sheet1$] VALUES (4, 5, 6)");
    EXPECT_EQ(VornOleDbCommand::dbOK, rs.Execute()) << Narrow(rs.GetErrorText());
    rs.Close();

    VornOleDbFileRecordset ro(VornOleDbRecordset::ctPrivate,
                              VornOleDbFileRecordset::ftExcelReadOnly);
    ASSERT_TRUE(ro.Open(Utf8ToWide(book).c_str(), nullptr, nullptr, nullptr, false))
        << Narrow(ro.GetErrorText());
    ASSERT_TRUE(ro.GetRecNum(L"[Sheet1$]", nullptr));
    ASSERT_EQ(VornOleDbCommand::dbOK, ro.FetchNext());
    EXPECT_EQ(2, ro.FieldAsLong(1));
    ro.SetCommandText(L"INSERT INTO [Sheet1$] VALUES (7, 8, 9)");
    EXPECT_NE(VornOleDbCommand::dbOK, ro.Execute());
    EXPECT_NE(std::wstring::npos, ro.GetErrorText().find(L"read-only"))
        << Narrow(ro.GetErrorText());
}

TEST_F(FileRecordsetTest, FileTypeOutsideTheKindsAndSetFileType) {
    VornOleDbFileRecordset rs(VornOleDbFileRecordset::ftText);  // cached connection
    ASSERT_TRUE(rs.Open((path + L"/parts.csv").c_str(), nullptr, nullptr, nullptr, false));
    EXPECT_TRUE(rs.IsConnected());
    rs.SetFileType(VornOleDbFileRecordset::ftMdb);
    EXPECT_FALSE(rs.IsConnected());
    // The connection went back to the cache, as a cached recordset's does.
    VornOleDbConnection* idle = VornOleDbConnectionCache::GetCacheManager()->ConnectFromCache(
        L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + path +
        L";Extended Properties='text;HDR=YES;FMT=Delimited';");
    EXPECT_NE(nullptr, idle);
    VornOleDbConnectionCache::GetCacheManager()->Cache(idle);

    rs.SetFileType(static_cast<VornOleDbFileRecordset::FileType>(7));
    EXPECT_FALSE(rs.Open((path + L"/parts.csv").c_str(), nullptr, nullptr, nullptr, false));
    EXPECT_FALSE(rs.IsConnected());
    EXPECT_FALSE(rs.HasErrorInfo());
}

}  // namespace
