// Commands, cursors, field values, long data, the statement builder and recordsets on a
// PostgreSQL server, with the same expectations as on the embedded provider.
#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include "rowset/row_store.h"
#include "support/pg_server.h"
#include "vornoledb/command.h"
#include "vornoledb/connection.h"
#include "vornoledb/connection_cache.h"
#include "vornoledb/ddl_command.h"
#include "vornoledb/platform/text.h"
#include "vornoledb/recordset.h"

using vorn::test::PgConnectionString;
using vorn::test::PgName;
using vorn::test::PgQuery;
using vorn::test::PgRun;

namespace {

// The size in bytes of a long value read whole.
unsigned long Blob(VornOleDbCommand& c, unsigned long column) {
    vornoledb::CHeapPtr<unsigned char, vornoledb::CCRTAllocator> block;
    return c.GetBlobData(column, block);
}

class PgCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        VORN_REQUIRE_PG_SERVER();
        ASSERT_EQ(connection.OpenFromInitializationString(PgConnectionString(), false), S_OK)
            << WideToUtf8(connection.GetErrorText());
        table = PgName(L"typed");
        PgRun(connection, L"DROP TABLE IF EXISTS " + table);
        PgRun(connection,
              L"CREATE TABLE " + table +
                  L"(id int4 PRIMARY KEY, small int2, big int8, amount numeric(10,2), "
                  L"price money, ratio float4, exact float8, flag bool, memo text, "
                  L"name varchar(20), code char(5), data bytea, day date, stamp timestamp, "
                  L"tag uuid, other interval)");
        PgRun(connection,
              L"INSERT INTO " + table +
                  L" VALUES (1, -7, 9007199254740993, 12345678.25, 1234.5, 0.5, 0.1, true, "
                  L"'long text', 'Zoë', 'ab', '\\x00ff10', '2024-02-29', "
                  L"'2024-02-29 13:45:10', '6b2f1c1e-3f4d-4a5b-9c8d-0123456789ab', '1 day'), "
                  L"(2, NULL, NULL, NULL, NULL, NULL, NULL, false, NULL, NULL, NULL, NULL, "
                  L"NULL, NULL, NULL, NULL)");
    }
    void TearDown() override {
        if (connection.IsConnected())
            PgRun(connection, L"DROP TABLE IF EXISTS " + table);
    }

    VornOleDbConnection connection;
    std::wstring table;
};

TEST_F(PgCommandTest, TypesMapToTheirDbTypesAndValuesReadBack) {
    VornOleDbCommand c;
    c.SetConnection(&connection);
    c.SetCommandText((L"SELECT * FROM " + table + L" ORDER BY id").c_str());
    ASSERT_EQ(c.Execute(), VornOleDbCommand::dbOK) << WideToUtf8(c.GetErrorText());
    ASSERT_EQ(c.GetColumnCount(), 16u);
    const unsigned short expected[] = {DBTYPE_I4,   DBTYPE_I2,   DBTYPE_I8,   DBTYPE_NUMERIC,
                                       DBTYPE_CY,   DBTYPE_R4,   DBTYPE_R8,   DBTYPE_BOOL,
                                       DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_BYTES,
                                       DBTYPE_DATE, DBTYPE_DATE, DBTYPE_GUID, DBTYPE_WSTR};
    for (unsigned long i = 1; i <= 16; ++i)
        EXPECT_EQ(c.GetRawType(i) & ~DBTYPE_BYREF, expected[i - 1]) << "column " << i;
    EXPECT_EQ(c.IsBlob(9), VornOleDbCommand::dbOK);   // text is a long value
    EXPECT_EQ(c.IsBlob(12), VornOleDbCommand::dbOK);  // bytea too
    EXPECT_EQ(c.IsBlob(10), VornOleDbCommand::dbFalse);

    ASSERT_EQ(c.FetchNext(), VornOleDbCommand::dbOK);
    EXPECT_EQ(c.FieldAsLong(1), 1);
    EXPECT_EQ(c.FieldAsString(2), L"-7");
    EXPECT_EQ(c.FieldAsString(3), L"9007199254740993");
    EXPECT_EQ(c.FieldAsString(4), L"12345678.25");
    EXPECT_EQ(c.FieldAsString(5), L"1234.5000");
    EXPECT_EQ(c.FieldAsString(6), L"0.500000");
    EXPECT_EQ(c.FieldAsString(7), L"0.100000");
    EXPECT_EQ(c.FieldAsString(8), L"-1");
    EXPECT_EQ(c.FieldAsString(10), L"Zoë");
    EXPECT_EQ(c.FieldAsString(11), L"ab   ");
    EXPECT_EQ(c.FieldAsString(13), L"2024-02-29");
    EXPECT_EQ(c.FieldAsString(14), L"2024-02-29 13:45:10");
    std::wstring guid = c.FieldAsString(15);
    for (wchar_t& ch : guid)
        ch = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch)));
    EXPECT_NE(guid.find(L"6b2f1c1e-3f4d-4a5b-9c8d-0123456789ab"), std::wstring::npos)
        << WideToUtf8(guid);
    EXPECT_EQ(c.FieldAsString(16), L"1 day");
    EXPECT_EQ(c.FieldAsString(9), L"");  // long: read with GetBlobData
    EXPECT_EQ(Blob(c, 9), std::string("long text").size() * sizeof(wchar_t));
    vornoledb::CHeapPtr<unsigned char, vornoledb::CCRTAllocator> block;
    ASSERT_EQ(c.GetBlobData(12, block), 3u);
    EXPECT_EQ(std::vector<unsigned char>(block.m_pData, block.m_pData + 3),
              (std::vector<unsigned char>{0x00, 0xff, 0x10}));

    ASSERT_EQ(c.FetchNext(), VornOleDbCommand::dbOK);
    for (unsigned long i = 2; i <= 16; ++i)
        if (i != 8) {
            EXPECT_EQ(c.IsNull(i), VornOleDbCommand::dbOK) << "column " << i;
        }
    EXPECT_EQ(c.FieldAsString(8), L"0");
    EXPECT_EQ(c.FetchNext(), VornOleDbCommand::dbFalse);
}

TEST_F(PgCommandTest, CursorScrollsBothWaysAndCountsChangedRows) {
    const std::wstring t = PgName(L"rows");
    PgRun(connection, L"DROP TABLE IF EXISTS " + t);
    PgRun(connection, L"CREATE TABLE " + t + L"(n int)");
    VornOleDbCommand fill;
    fill.SetConnection(&connection);
    fill.SetCommandText((L"INSERT INTO " + t + L" SELECT generate_series(1, 100)").c_str());
    ASSERT_EQ(fill.Execute(), VornOleDbCommand::dbOK);
    EXPECT_EQ(fill.GetRowsAffected(), 100);

    VornOleDbCommand c;
    c.SetConnection(&connection);
    c.SetCommandText((L"SELECT n FROM " + t + L" ORDER BY n").c_str());
    ASSERT_EQ(c.Execute(), VornOleDbCommand::dbOK);
    ASSERT_EQ(c.FetchLast(), VornOleDbCommand::dbOK);
    EXPECT_EQ(c.FieldAsLong(1), 100);
    ASSERT_EQ(c.FetchPrev(), VornOleDbCommand::dbOK);
    EXPECT_EQ(c.FieldAsLong(1), 99);
    ASSERT_EQ(c.FetchFirst(), VornOleDbCommand::dbOK);
    EXPECT_EQ(c.FieldAsLong(1), 1);
    ASSERT_EQ(c.FetchNext(9), VornOleDbCommand::dbOK);
    EXPECT_EQ(c.FieldAsLong(1), 11);

    // A write on the same connection while the result is open: the result is a snapshot.
    VornOleDbCommand del;
    del.SetConnection(&connection);
    del.SetCommandText((L"DELETE FROM " + t + L" WHERE n > 50").c_str());
    ASSERT_EQ(del.Execute(), VornOleDbCommand::dbOK) << WideToUtf8(del.GetErrorText());
    EXPECT_EQ(del.GetRowsAffected(), 50);
    ASSERT_EQ(c.FetchLast(), VornOleDbCommand::dbOK);
    EXPECT_EQ(c.FieldAsLong(1), 100);
    PgRun(connection, L"DROP TABLE " + t);
}

TEST_F(PgCommandTest, ServerErrorsCarryMessageStateAndPosition) {
    VornOleDbCommand c;
    c.SetConnection(&connection);
    c.SetCommandText(L"SELECT * FROM no_such_table_here");
    EXPECT_EQ(c.Execute(), VornOleDbCommand::dbError);
    const std::wstring text = c.GetErrorInfo(true);
    EXPECT_NE(text.find(L"relation \"no_such_table_here\" does not exist"), std::wstring::npos)
        << WideToUtf8(text);
    EXPECT_NE(text.find(L"42P01"), std::wstring::npos) << WideToUtf8(text);
    EXPECT_NE(text.find(L"character 15"), std::wstring::npos) << WideToUtf8(text);

    // A failure part way through the rows surfaces on the move that reaches it: the move
    // ends the rows, and the error text says why. A query is read through a cursor a
    // thousand rows at a time, so the failure shows with the batch that holds it.
    {
        VornOleDbCommand d;
        d.SetConnection(&connection);
        d.SetCommandText(L"SELECT 10 / (1500 - n) FROM generate_series(1, 2000) AS n");
        ASSERT_EQ(d.Execute(), VornOleDbCommand::dbOK) << WideToUtf8(d.GetErrorText());
        int rows = 0;
        while (d.FetchNext() == VornOleDbCommand::dbOK)
            ++rows;
        EXPECT_EQ(rows, 1000);
        EXPECT_NE(d.GetErrorText().find(L"division by zero"), std::wstring::npos)
            << WideToUtf8(d.GetErrorText());
        EXPECT_NE(d.GetErrorText().find(L"22012"), std::wstring::npos);
    }
    // Several statements in one text are read in single-row mode, a row at a time.
    {
        VornOleDbCommand d;
        d.SetConnection(&connection);
        d.SetCommandText(
            L"SET LOCAL work_mem = '4MB'; SELECT 10 / (3 - n) FROM generate_series(1, 3) AS n");
        ASSERT_EQ(d.Execute(), VornOleDbCommand::dbOK) << WideToUtf8(d.GetErrorText());
        EXPECT_EQ(d.FetchNext(), VornOleDbCommand::dbOK);
        EXPECT_EQ(d.FieldAsLong(1), 5);
        EXPECT_EQ(d.FetchNext(), VornOleDbCommand::dbOK);
        EXPECT_EQ(d.FetchNext(), VornOleDbCommand::dbFalse);
        EXPECT_NE(d.GetErrorText().find(L"division by zero"), std::wstring::npos)
            << WideToUtf8(d.GetErrorText());
    }
    // A syntax error is placed in the host's statement, whatever the provider wraps it in.
    c.SetCommandText(L"SELECT 1 FROM generate_series(1, 3) AS n WHERE n >");
    EXPECT_EQ(c.Execute(), VornOleDbCommand::dbError);
    EXPECT_NE(c.GetErrorText().find(L"at character 51"), std::wstring::npos)
        << WideToUtf8(c.GetErrorText());
    // The connection is free for the next statement.
    EXPECT_EQ(PgQuery(connection, L"SELECT 'still here'"), L"still here");
}

TEST_F(PgCommandTest, LongValuesReadWholeAndInPieces) {
    const std::wstring t = PgName(L"blobs");
    PgRun(connection, L"DROP TABLE IF EXISTS " + t);
    PgRun(connection, L"CREATE TABLE " + t + L"(id int, memo text, data bytea)");
    PgRun(connection,
          L"INSERT INTO " + t +
              L" SELECT 1, repeat('abcdé', 40000), decode(repeat('00ff7f', 70000), 'hex')");
    for (DBBLOBHANDLINGENUM mode : {DBBLOBHANDLING_DEFAULT, DBBLOBHANDLING_NOSTREAMS}) {
        VornOleDbCommand c;
        c.SetConnection(&connection);
        ASSERT_TRUE(c.SetBlobHandling(mode));
        c.SetCommandText((L"SELECT memo, data FROM " + t).c_str());
        ASSERT_EQ(c.Execute(), VornOleDbCommand::dbOK) << WideToUtf8(c.GetErrorText());
        ASSERT_EQ(c.FetchNext(), VornOleDbCommand::dbOK);
        EXPECT_EQ(c.IsBlob(1), VornOleDbCommand::dbOK);
        vornoledb::CHeapPtr<unsigned char, vornoledb::CCRTAllocator> text;
        const unsigned long textBytes = c.GetBlobData(1, text);
        ASSERT_EQ(textBytes, 200000u * sizeof(wchar_t));
        const std::wstring memo(reinterpret_cast<const wchar_t*>(text.m_pData), 200000);
        EXPECT_EQ(memo.substr(0, 5), L"abcdé");
        EXPECT_EQ(memo.substr(199995), L"abcdé");
        vornoledb::CHeapPtr<unsigned char, vornoledb::CCRTAllocator> data;
        ASSERT_EQ(c.GetBlobData(2, data), 210000u);
        EXPECT_EQ(data.m_pData[1], 0xff);
        EXPECT_EQ(data.m_pData[209999], 0x7f);
    }
    PgRun(connection, L"DROP TABLE " + t);
}

TEST_F(PgCommandTest, TheStatementBuilderRoundTripsAwkwardText) {
    const std::wstring t = PgName(L"builder");
    PgRun(connection, L"DROP TABLE IF EXISTS " + t);
    PgRun(connection, L"CREATE TABLE " + t + L"(id int PRIMARY KEY, note varchar(200))");
    const std::wstring awkward[] = {L"O'Brien",        L"back\\slash\\", L"\\x41 and \\' too",
                                    L"naïve 日本語 😀", L"two\nlines",    L"100% _wild_"};
    int id = 0;
    for (const std::wstring& value : awkward) {
        VornOleDbDDLCommand b;
        b.SetConnection(&connection);
        b.SetTable(t.c_str());
        b.AddColumn(L"id", L"%d", ++id);
        b.AddColumn(L"note", L"'%s'", value.c_str());
        ASSERT_TRUE(b.Insert()) << WideToUtf8(b.GetErrorText());
    }
    VornOleDbCommand c;
    c.SetConnection(&connection);
    c.SetCommandText((L"SELECT note FROM " + t + L" ORDER BY id").c_str());
    ASSERT_EQ(c.Execute(), VornOleDbCommand::dbOK);
    for (const std::wstring& value : awkward) {
        ASSERT_EQ(c.FetchNext(), VornOleDbCommand::dbOK);
        EXPECT_EQ(c.FieldAsString(1), value);
    }
    c.Close();

    // Update and update-or-insert through the same quoting.
    VornOleDbDDLCommand u;
    u.SetConnection(&connection);
    u.SetTable(t.c_str());
    u.AddColumn(L"note", L"'%s'", L"it's 'changed'");
    u.AddSearchCol(L"id", L"%d", 1);
    ASSERT_TRUE(u.UpdateInsert()) << WideToUtf8(u.GetErrorText());
    EXPECT_EQ(PgQuery(connection, L"SELECT note FROM " + t + L" WHERE id = 1"), L"it's 'changed'");
    PgRun(connection, L"DROP TABLE " + t);
}

TEST_F(PgCommandTest, RecordsetsOfEveryConnectTypeRunOnTheServer) {
    VornOleDbConnectionCache::GetCacheManager()->ClearCache(PgConnectionString());
    VornOleDbRecordset cached(VornOleDbRecordset::ctCached);
    ASSERT_TRUE(cached.Open(PgConnectionString(), false)) << WideToUtf8(cached.GetErrorText());
    ASSERT_TRUE(cached.GetRecords(table.c_str(), L"id, name", L"flag", L"id"))
        << WideToUtf8(cached.GetErrorText());
    ASSERT_EQ(cached.FetchNext(), VornOleDbCommand::dbOK);
    EXPECT_EQ(cached.FieldAsString(cached.GetColumnIndex(L"name")), L"Zoë");
    EXPECT_EQ(cached.FetchNext(), VornOleDbCommand::dbFalse);
    ASSERT_TRUE(cached.GetRecNum(table.c_str(), nullptr)) << WideToUtf8(cached.GetErrorText());
    ASSERT_EQ(cached.FetchNext(), VornOleDbCommand::dbOK);
    EXPECT_EQ(cached.FieldAsLong(1), 2);
    cached.Close();

    VornOleDbRecordset external(VornOleDbRecordset::ctExternal);
    external.SetConnection(&connection);
    ASSERT_TRUE(external.GetRecords(table.c_str(), L"*", nullptr, L"id DESC"));
    ASSERT_EQ(external.FetchNext(), VornOleDbCommand::dbOK);
    EXPECT_EQ(external.FieldAsLong(1), 2);
    VornOleDbConnectionCache::GetCacheManager()->ClearCache(PgConnectionString());
}

TEST_F(PgCommandTest, FetchLastOnALargeResultKeepsMemoryInTheStoresBound) {
    // A small memory bound makes the store spill after a few thousand rows: reaching the
    // end and coming back reads blocks back from the file.
    const size_t saved = vorn::provider::RowStoreMemoryLimit();
    vorn::provider::SetRowStoreMemoryLimit(256 * 1024);
    VornOleDbCommand c;
    c.SetConnection(&connection);
    c.SetCommandText(L"SELECT n, 'row ' || n FROM generate_series(1, 300000) AS n");
    ASSERT_EQ(c.Execute(), VornOleDbCommand::dbOK);
    ASSERT_EQ(c.FetchLast(), VornOleDbCommand::dbOK);
    EXPECT_EQ(c.FieldAsLong(1), 300000);
    ASSERT_EQ(c.FetchFirst(), VornOleDbCommand::dbOK);
    EXPECT_EQ(c.FieldAsString(2), L"row 1");
    ASSERT_EQ(c.FetchNext(149999), VornOleDbCommand::dbOK);
    EXPECT_EQ(c.FieldAsString(2), L"row 150001");
    vorn::provider::SetRowStoreMemoryLimit(saved);

    // A result left part way is given up without reading it to its end.
    c.SetCommandText(L"SELECT n FROM generate_series(1, 50000000) AS n");
    ASSERT_EQ(c.Execute(), VornOleDbCommand::dbOK);
    ASSERT_EQ(c.FetchNext(), VornOleDbCommand::dbOK);
    c.Close();
    EXPECT_EQ(PgQuery(connection, L"SELECT 'free'"), L"free");
}

}  // namespace
