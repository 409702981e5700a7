// The Access store through the consumer library: types and schema as the engine's provider
// reports them, saved queries as views, system and linked tables, the values mdbtools gets
// wrong (checked against what the files are documented to hold), long values whole, joins
// within a file and with a SQLite table, and the file never changed.
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "provider/stores/access_store_test_util.h"
#include "support/temp_database.h"
#include "vornoledb/columns.h"
#include "vornoledb/indexes.h"
#include "vornoledb/tables.h"

namespace vorn::test {
namespace {

constexpr unsigned short kWstr = 130, kBool = 11, kUi1 = 17, kI2 = 2, kI4 = 3, kR8 = 5, kDate = 7,
                         kCy = 6, kGuid = 72, kNumeric = 131, kBytes = 128;
constexpr unsigned long kIsLong = 0x80;  // DBCOLUMNFLAGS_ISLONG

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class AccessStoreTest : public AccessFileTest {
  protected:
    struct Column {
        unsigned short type = 0;
        unsigned long maxLength = 0, precision = 0, scale = 0, flags = 0;
        bool nullable = true, identity = false, hasDefault = false;
        std::wstring defaultText;
    };
    Column Describe(const wchar_t* table, const wchar_t* name) {
        VornOleDbColumns columns;
        Column c;
        EXPECT_TRUE(columns.Open(&connection, nullptr, nullptr, table, name, false));
        if (!columns.FetchNext()) {
            ADD_FAILURE() << "no column " << WideToUtf8(name);
            return c;
        }
        c.type = columns.DataType();
        c.maxLength = columns.MaxLength();
        c.precision = columns.NumericPrecision();
        c.scale = columns.NumericScale();
        c.flags = columns.Flags();
        c.nullable = columns.IsNullable();
        c.hasDefault = columns.HasDefault();
        columns.GetDefault(c.defaultText);
        return c;
    }
    std::vector<std::wstring> Tables(const wchar_t* type) {
        VornOleDbTables tables;
        std::vector<std::wstring> names;
        EXPECT_TRUE(tables.Open(&connection, nullptr, nullptr, nullptr, type));
        tables.GetTableList(names);
        return names;
    }
};

bool Has(const std::vector<std::wstring>& names, const std::wstring& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST_F(AccessStoreTest, ColumnsHaveTheTypesOfTheEnginesProvider) {
    for (const char* file : {"jackcess/testV1997.mdb", "jackcess/testV2007.accdb"}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(Open(file)) << WideToUtf8(error);
        const struct {
            const wchar_t* name;
            unsigned short type;
        } expected[] = {{L"A", kWstr}, {L"C", kUi1},  {L"D", kI2}, {L"E", kI4},
                        {L"F", kR8},   {L"G", kDate}, {L"H", kCy}, {L"I", kBool}};
        for (const auto& e : expected)
            EXPECT_EQ(Describe(L"Table1", e.name).type, e.type) << WideToUtf8(e.name);
        EXPECT_EQ(Describe(L"Table1", L"A").maxLength, 50u);
        EXPECT_EQ(Describe(L"Table1", L"B").maxLength, 100u);
        const Column c = Describe(L"Table1", L"C");
        EXPECT_TRUE(c.hasDefault);
        EXPECT_EQ(c.defaultText, L"0");
        EXPECT_EQ(Describe(L"Table4", L"data").type, kGuid);
        // AutoNumber: an identity column, never NULL.
        VornOleDbColumns columns;
        ASSERT_TRUE(columns.Open(&connection, nullptr, nullptr, L"Table3", L"a", true));
        ASSERT_TRUE(columns.FetchNext());
        EXPECT_TRUE(columns.IsIdentity());
        EXPECT_FALSE(columns.IsNullable());
        // The values, with currency exact and yes as -1.
        EXPECT_EQ(Query(L"SELECT A, C, D, E, F, H, I FROM Table1 ORDER BY E DESC")[0],
                  (std::vector<std::wstring>{L"abcdefg", L"2", L"222", L"333333333", L"444.555000",
                                             L"3.5000", L"-1"}));
        EXPECT_EQ(Value(L"SELECT Year(G) FROM Table1 WHERE A = 'a'"), L"1981");
    }
    ASSERT_TRUE(Open("jackcess/fixedNumericTestV2003.mdb"));
    const Column numeric = Describe(L"test", L"col2");
    EXPECT_EQ(numeric.type, kNumeric);
    EXPECT_EQ(numeric.precision, 18u);
    EXPECT_EQ(numeric.scale, 0u);
    const Column memo = Describe(L"test", L"col1");
    EXPECT_EQ(memo.type, kWstr);
    EXPECT_TRUE(memo.flags & kIsLong);
    ASSERT_TRUE(Run(L"SELECT col1 FROM test"));
    ASSERT_EQ(command.FetchNext(), VornOleDbCommand::dbOK);
    EXPECT_EQ(command.GetRawType(1), 0x4082);  // a memo binds as a long text by reference
    EXPECT_EQ(Field(1), L"some data");
    ASSERT_TRUE(Open("ucanaccess/blobOleLazyLoading.accdb"));
    EXPECT_EQ(Describe(L"OleTable", L"Ole").type, kBytes);
    ASSERT_TRUE(Run(L"SELECT Ole FROM OleTable"));
    ASSERT_EQ(command.FetchNext(), VornOleDbCommand::dbOK);
    EXPECT_EQ(command.GetRawType(1), 0x4080);
}

TEST_F(AccessStoreTest, LongValuesComeWhole) {
    // 33245 bytes of an OLE object in a chain of pages, past libmdb's 16 KB bind size.
    ASSERT_TRUE(Open("ucanaccess/blobOleLazyLoading.accdb"));
    ASSERT_TRUE(Run(L"SELECT Ole FROM OleTable"));
    ASSERT_EQ(command.FetchNext(), VornOleDbCommand::dbOK);
    vornoledb::CHeapPtr<unsigned char, vornoledb::CCRTAllocator> block;
    ASSERT_EQ(command.GetBlobData(1, block), 33245u);
    EXPECT_EQ(block.m_pData[0], 0x15);
    EXPECT_EQ(block.m_pData[33244], 0xFE);
    EXPECT_EQ(Value(L"SELECT Len(Ole) FROM OleTable"), L"33245");
    // A Jet 3 memo of one wide row among 74 columns.
    ASSERT_TRUE(Open("jackcess/test2V1997.mdb"));
    EXPECT_EQ(Value(L"SELECT Len(RESERVED_BINARY_DATA) FROM MSP_PROJECTS"), L"22970");
}

TEST_F(AccessStoreTest, ValuesMdbtoolsGetsWrongComeAsTheFilesHoldThem) {
    // Dates before 1900 (mdbtools prints 1900-01-00).
    ASSERT_TRUE(Open("jackcess/oldDatesV2007.accdb"));
    EXPECT_EQ(Query(L"SELECT DateField FROM Table1 ORDER BY ID"),
              (AccessRows{{L"1582-10-15"}, {L"1582-10-14"}, {L"1492-01-10"}, {L"1392-01-10"}}));
    // Characters beyond the Basic Multilingual Plane: each row's key is its code point.
    ASSERT_TRUE(Open("jackcess/testEmoticonsV2010.accdb"));
    const AccessRows rows = Query(L"SELECT [key], data FROM data");
    ASSERT_EQ(rows.size(), 80u);
    for (const auto& row : rows)
        EXPECT_EQ(row[1], std::wstring(L"a") + wchar_t(std::stol(row[0])) + L"a");
    // Access 2019's extended dates, against the text copies the file keeps of them.
    ASSERT_TRUE(Open("jackcess/extDateTestV2019.accdb"));
    EXPECT_EQ(Query(L"SELECT DateExt, DateNormalCalc FROM Table1 WHERE ID IN (3, 7, 8)"),
              (AccessRows{{L"2021-06-14 12:45:00", L"2021-06-14 12:45:00"},
                          {L"1765-06-14 12:45:00", L"1765-06-14 12:45:00"},
                          {L"0100-06-14 12:45:00", L"0100-06-14 12:45:00"}}));
    EXPECT_EQ(Value(L"SELECT COUNT(*) FROM Table1 WHERE DateExt IS NULL"), L"1");
    // Calculated columns, by the type of their result.
    ASSERT_TRUE(Open("jackcess/calcFieldTestV2010.accdb"));
    EXPECT_EQ(Query(L"SELECT LastFirst, LastFirstLen, MonthlySalary, IsRich, DecimalTest "
                    L"FROM Table1 WHERE ID = 1"),
              (AccessRows{{L"Wayne, Bruce", L"12", L"83333.3333", L"-1", L"50.325000"}}));
    // Jet 3 text in another code page than its header's, when told which.
    ASSERT_TRUE(Open("ucanaccess/charsetGBK.mdb", L"CharacterSet=936"));
    EXPECT_EQ(Value(L"SELECT field1 FROM table1"), L"GBK编码");
    EXPECT_FALSE(Open("ucanaccess/charsetGBK.mdb", L"CharacterSet=no-such-code-page"));
    EXPECT_NE(error.find(L"no-such-code-page"), std::wstring::npos) << WideToUtf8(error);
}

TEST_F(AccessStoreTest, TablesViewsSystemAndLinkedTables) {
    ASSERT_TRUE(Open("ucanaccess/githubIssue16.accdb"));
    const std::vector<std::wstring> tables = Tables(L"TABLE");
    EXPECT_TRUE(Has(tables, L"Donation Detail"));
    EXPECT_FALSE(Has(tables, L"MSysObjects"));
    EXPECT_TRUE(Has(Tables(L"SYSTEM TABLE"), L"MSysObjects"));
    EXPECT_GE(std::stoi(WideToUtf8(Value(L"SELECT COUNT(*) FROM MSysObjects"))), 20);
    // Saved select queries are views; their SQL runs through the translator.
    ASSERT_TRUE(Open("jackcess/queryTestV1997.mdb"));
    const std::vector<std::wstring> views = Tables(L"VIEW");
    EXPECT_TRUE(Has(views, L"SelectQuery"));
    EXPECT_FALSE(Has(views, L"UpdateQuery"));
    EXPECT_TRUE(Run(L"SELECT * FROM SelectQuery")) << WideToUtf8(error);
    // A linked table is listed as LINK and says where it points when read.
    ASSERT_TRUE(Open("ucanaccess/linked.mdb"));
    EXPECT_TRUE(Has(Tables(L"LINK"), L"Table1"));
    EXPECT_FALSE(Run(L"SELECT * FROM Table1"));
    EXPECT_NE(error.find(L"C:\\db\\linkee1.mdb"), std::wstring::npos) << WideToUtf8(error);
    EXPECT_NE(error.find(L"linked"), std::wstring::npos) << WideToUtf8(error);
    // Indexes with the primary key marked.
    ASSERT_TRUE(Open("jackcess/indexTestV2003.mdb"));
    VornOleDbIndexes indexes;
    ASSERT_TRUE(indexes.Open(&connection, nullptr, nullptr, L"Table1", nullptr));
    std::vector<std::wstring> all, withoutKeys;
    indexes.GetIndexList(all, true);
    ASSERT_TRUE(indexes.Open(&connection, nullptr, nullptr, L"Table1", nullptr));
    indexes.GetIndexList(withoutKeys, false);
    EXPECT_TRUE(Has(all, L"PrimaryKey"));
    EXPECT_FALSE(Has(withoutKeys, L"PrimaryKey"));
    EXPECT_TRUE(Has(withoutKeys, L"id"));
}

TEST_F(AccessStoreTest, JoinsWithinTheFileAndWithASqliteTable) {
    ASSERT_TRUE(Open("jackcess/indexTestV2003.mdb"));
    EXPECT_EQ(Query(L"SELECT t1.id, t2.data FROM Table1 AS t1 INNER JOIN Table2 AS t2 "
                    L"ON t1.otherfk1 = t2.id ORDER BY t1.id"),
              (AccessRows{{L"0", L"foo0"}, {L"1", L"foo1"}, {L"2", L"foo1"}, {L"3", L"foo2"}}));
    EXPECT_EQ(Value(L"SELECT COUNT(*) FROM Table1 LEFT JOIN Table2 ON Table1.otherfk3 = Table2.id "
                    L"WHERE Table2.data = 'foo0'"),
              L"4");
    // A SQLite database joined with a table of the Access file through Jet's external source.
    RunSql(folder.File("local.db"), "CREATE TABLE Labels (id LONG, label TEXT(20))");
    VornOleDbConnection sqlite;
    ASSERT_EQ(
        sqlite.OpenFromInitializationString(L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" +
                                                Utf8ToWide(folder.File("local.db")) + L";",
                                            false),
        S_OK);
    command.SetConnection(&sqlite);
    ASSERT_TRUE(Run(L"INSERT INTO Labels VALUES (1, 'one')"));
    ASSERT_TRUE(Run(L"INSERT INTO Labels VALUES (2, 'two')"));
    const std::wstring mdb = Utf8ToWide(AccessFile("jackcess/indexTestV2003.mdb"));
    EXPECT_EQ(Query(L"SELECT l.label, t.data FROM Labels AS l INNER JOIN [;Database=" + mdb +
                    L"].[Table2] AS t ON l.id = t.id ORDER BY l.id"),
              (AccessRows{{L"one", L"foo1"}, {L"two", L"foo2"}}));
    EXPECT_EQ(Value(L"SELECT COUNT(*) FROM Table1 IN '" + mdb + L"'"), L"4");
    command.Close();
}

TEST_F(AccessStoreTest, EveryChangeIsRefusedAndTheFileStaysAsItWas) {
    const std::string copy = folder.File("copy.mdb");
    const std::string original = Bytes(AccessFile("jackcess/indexTestV2003.mdb"));
    std::ofstream(copy, std::ios::binary) << original;
    struct stat before;
    ASSERT_EQ(::stat(copy.c_str(), &before), 0);
    ASSERT_EQ(
        connection.OpenFromInitializationString(
            L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Utf8ToWide(copy) + L";", false),
        S_OK);
    command.SetConnection(&connection);
    EXPECT_TRUE(connection.IsReadOnly());
    for (const wchar_t* sql :
         {L"INSERT INTO Table2 (id, data) VALUES (9, 'x')", L"UPDATE Table2 SET data = 'x'",
          L"DELETE FROM Table2", L"CREATE TABLE T9 (a LONG)", L"DROP TABLE Table2",
          L"ALTER TABLE Table2 ADD COLUMN b TEXT(5)", L"CREATE INDEX i ON Table2 (data)",
          L"SELECT * INTO T10 FROM Table2"}) {
        EXPECT_FALSE(Run(sql)) << WideToUtf8(sql);
        EXPECT_NE(error.find(Utf8ToWide(copy)), std::wstring::npos) << WideToUtf8(error);
        EXPECT_NE(error.find(L"read-only"), std::wstring::npos) << WideToUtf8(error);
    }
    EXPECT_EQ(Value(L"SELECT COUNT(*) FROM Table2"), L"3");
    // A read of a table that is not there is not taken for a change, and says so by name.
    EXPECT_FALSE(Run(L"SELECT * FROM NoSuchTable"));
    EXPECT_NE(error.find(L"no such table: NoSuchTable"), std::wstring::npos) << WideToUtf8(error);
    command.Close();
    connection.Close();
    EXPECT_EQ(
        connection.OpenFromInitializationString(
            L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Utf8ToWide(copy) + L";", false),
        S_OK);
    EXPECT_NE(connection.CompactMdb(), S_OK);
    EXPECT_NE(connection.GetErrorText().find(Utf8ToWide(copy)), std::wstring::npos)
        << WideToUtf8(connection.GetErrorText());
    connection.Close();
    struct stat after;
    ASSERT_EQ(::stat(copy.c_str(), &after), 0);
    EXPECT_EQ(Bytes(copy), original);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

}  // namespace
}  // namespace vorn::test
