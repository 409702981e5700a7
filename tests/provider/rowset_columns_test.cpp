// Column descriptions: declared types of real tables through GetColumnInfo, types of
// expressions from their first value, nullability, names and ordinals.
#include <gtest/gtest.h>

#include "types/column_types.h"
#include "support/provider_command_harness.h"

namespace vorn::test {
namespace {

using provider::kLongBinaryBytes;
using provider::kLongTextChars;
using provider::kUnsizedTextChars;

struct Expected {
    const wchar_t* name;
    DBTYPE type;
    DBLENGTH size;
    DBCOLUMNFLAGS flags;  // the type's flags: ISLONG, ISFIXEDLENGTH
    BYTE precision;
    BYTE scale;
};

TEST(RowsetColumns, DeclaredTypesComeBackAsTheirDbTypes) {
    CommandHarness h;
    h.Sql(
        "CREATE TABLE everything("
        " t50 TEXT(50), v VARCHAR(20), c CHAR(8), plain TEXT, vc varchar, memo MEMO,"
        " lt LONGTEXT, b BYTE, s SHORT, si SMALLINT, l LONG, i INTEGER NOT NULL, bi BIGINT,"
        " counter COUNTER, single SINGLE, dbl DOUBLE, fl FLOAT, r REAL, cur CURRENCY,"
        " dt DATETIME, d DATE, yn YESNO, bit BIT, bool BOOLEAN, ole OLEOBJECT,"
        " lb LONGBINARY, blob BLOB, bin BINARY(16), vb VARBINARY(100), g GUID,"
        " dec DECIMAL(10, 2), num NUMERIC, huge VARCHAR(100000), odd WIDGET_CHARS(12))");
    ComPtr<IRowset> rowset;
    ASSERT_EQ(h.Execute(L"SELECT * FROM everything", &rowset), S_OK);
    const auto columns = Describe(rowset.Get());
    constexpr DBCOLUMNFLAGS F = DBCOLUMNFLAGS_ISFIXEDLENGTH;
    constexpr DBCOLUMNFLAGS L = DBCOLUMNFLAGS_ISLONG;
    const Expected expected[] = {
        {L"t50", DBTYPE_WSTR, 50, 0, 255, 255},
        {L"v", DBTYPE_WSTR, 20, 0, 255, 255},
        {L"c", DBTYPE_WSTR, 8, F, 255, 255},
        {L"plain", DBTYPE_WSTR, kUnsizedTextChars, 0, 255, 255},
        {L"vc", DBTYPE_WSTR, kUnsizedTextChars, 0, 255, 255},
        {L"memo", DBTYPE_WSTR, kLongTextChars, L, 255, 255},
        {L"lt", DBTYPE_WSTR, kLongTextChars, L, 255, 255},
        {L"b", DBTYPE_UI1, 1, F, 3, 255},
        {L"s", DBTYPE_I2, 2, F, 5, 255},
        {L"si", DBTYPE_I2, 2, F, 5, 255},
        {L"l", DBTYPE_I4, 4, F, 10, 255},
        {L"i", DBTYPE_I8, 8, F, 19, 255},
        {L"bi", DBTYPE_I8, 8, F, 19, 255},
        {L"counter", DBTYPE_I4, 4, F, 10, 255},
        {L"single", DBTYPE_R4, 4, F, 7, 255},
        {L"dbl", DBTYPE_R8, 8, F, 15, 255},
        {L"fl", DBTYPE_R8, 8, F, 15, 255},
        {L"r", DBTYPE_R8, 8, F, 15, 255},
        {L"cur", DBTYPE_CY, 8, F, 19, 4},
        {L"dt", DBTYPE_DATE, 8, F, 19, 255},
        {L"d", DBTYPE_DATE, 8, F, 19, 255},
        {L"yn", DBTYPE_BOOL, 2, F, 255, 255},
        {L"bit", DBTYPE_BOOL, 2, F, 255, 255},
        {L"bool", DBTYPE_BOOL, 2, F, 255, 255},
        {L"ole", DBTYPE_BYTES, kLongBinaryBytes, L, 255, 255},
        {L"lb", DBTYPE_BYTES, kLongBinaryBytes, L, 255, 255},
        {L"blob", DBTYPE_BYTES, kLongBinaryBytes, L, 255, 255},
        {L"bin", DBTYPE_BYTES, 16, F, 255, 255},
        {L"vb", DBTYPE_BYTES, 100, 0, 255, 255},
        {L"g", DBTYPE_GUID, 16, F, 255, 255},
        {L"dec", DBTYPE_NUMERIC, 19, F, 10, 2},
        {L"num", DBTYPE_R8, 8, F, 15, 255},
        {L"huge", DBTYPE_WSTR, 100000, L, 255, 255},
        {L"odd", DBTYPE_WSTR, 12, 0, 255, 255},  // SQLite's text affinity
    };
    ASSERT_EQ(columns.size(), std::size(expected));
    for (size_t i = 0; i < columns.size(); ++i) {
        const ColumnDescription& c = columns[i];
        const Expected& e = expected[i];
        SCOPED_TRACE(testing::Message() << "column " << i + 1);
        EXPECT_EQ(c.name, e.name);
        EXPECT_EQ(c.ordinal, i + 1);
        EXPECT_EQ(c.type, e.type);
        EXPECT_EQ(c.size, e.size);
        EXPECT_EQ(c.flags & (DBCOLUMNFLAGS_ISLONG | DBCOLUMNFLAGS_ISFIXEDLENGTH), e.flags);
        EXPECT_EQ(c.precision, e.precision);
        EXPECT_EQ(c.scale, e.scale);
        EXPECT_TRUE(c.flags & DBCOLUMNFLAGS_MAYBENULL);
        EXPECT_FALSE(c.flags & DBCOLUMNFLAGS_ISBOOKMARK);
        // Only the NOT NULL column refuses NULL.
        EXPECT_EQ((c.flags & DBCOLUMNFLAGS_ISNULLABLE) != 0, std::wstring(e.name) != L"i");
    }
}

TEST(RowsetColumns, ExpressionsTakeTheirFirstValuesType) {
    CommandHarness h;
    h.Sql("CREATE TABLE loose(a, b); INSERT INTO loose VALUES (1, 'x'), ('y', 2);");
    ComPtr<IRowset> rowset;
    ASSERT_EQ(h.Execute(L"SELECT 1 + 1 AS two, 'text', 2.5, x'00', NULL, a, b, "
                        L"printf('%.9000d', 1) AS wide FROM loose",
                        &rowset),
              S_OK);
    const auto columns = Describe(rowset.Get());
    ASSERT_EQ(columns.size(), 8u);
    EXPECT_EQ(columns[0].name, L"two");
    EXPECT_EQ(columns[0].type, DBTYPE_I8);
    EXPECT_EQ(columns[1].name, L"'text'");
    EXPECT_EQ(columns[1].type, DBTYPE_WSTR);
    EXPECT_EQ(columns[1].size, kUnsizedTextChars);
    EXPECT_EQ(columns[2].type, DBTYPE_R8);
    EXPECT_EQ(columns[3].type, DBTYPE_BYTES);
    EXPECT_TRUE(columns[3].flags & DBCOLUMNFLAGS_ISLONG);
    EXPECT_EQ(columns[4].type, DBTYPE_WSTR);
    EXPECT_EQ(columns[5].type, DBTYPE_I8) << "an untyped column's first value is an integer";
    EXPECT_EQ(columns[6].type, DBTYPE_WSTR);
    EXPECT_EQ(columns[7].type, DBTYPE_WSTR);
    EXPECT_TRUE(columns[7].flags & DBCOLUMNFLAGS_ISLONG) << "a first value of 9000 characters";
    EXPECT_FALSE(columns[0].flags & DBCOLUMNFLAGS_ISNULLABLE) << "an expression is not settable";
    // The second row's text in the integer column cannot be read as DBTYPE_I8, but as text
    // it can.
    const auto rows = ReadRemaining(rowset.Get());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][5], L"y");
}

TEST(RowsetColumns, EmptyResultsStillDescribeTheirColumns) {
    CommandHarness h;
    h.Sql("CREATE TABLE t(name TEXT(30), n LONG);");
    ComPtr<IRowset> rowset;
    ASSERT_EQ(h.Execute(L"SELECT name, n, n * 2 AS twice FROM t", &rowset), S_OK);
    const auto columns = Describe(rowset.Get());
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].size, 30u);
    EXPECT_EQ(columns[1].type, DBTYPE_I4);
    EXPECT_EQ(columns[2].type, DBTYPE_WSTR) << "no first value: text";
    ComPtr<IColumnsInfo> info;
    ASSERT_EQ(rowset.As(&info), S_OK);
    DBID ids[2] = {};
    ids[0].eKind = DBKIND_NAME;
    ids[0].uName.pwszName = const_cast<wchar_t*>(L"TWICE");
    ids[1].eKind = DBKIND_NAME;
    ids[1].uName.pwszName = const_cast<wchar_t*>(L"missing");
    DBORDINAL ordinals[2] = {};
    EXPECT_EQ(info->MapColumnIDs(2, ids, ordinals), DB_S_ERRORSOCCURRED);
    EXPECT_EQ(ordinals[0], 3u);
    EXPECT_EQ(ordinals[1], ~DBORDINAL(0));
}

TEST(ColumnTypeTable, DeclarationsAreReadLeniently) {
    using provider::TypeFromDeclaration;
    EXPECT_EQ(TypeFromDeclaration("  decimal ( 12 ,  4 ) ").precision, 12);
    EXPECT_EQ(TypeFromDeclaration("  decimal ( 12 ,  4 ) ").scale, 4);
    EXPECT_EQ(TypeFromDeclaration("DECIMAL(50,60)").precision, 38) << "capped";
    EXPECT_EQ(TypeFromDeclaration("DECIMAL(50,60)").scale, 38);
    EXPECT_EQ(TypeFromDeclaration("double   precision").type, DBTYPE_R8);
    EXPECT_EQ(TypeFromDeclaration("unsigned big int").type, DBTYPE_I8);
    EXPECT_EQ(TypeFromDeclaration("Text(255)").size, 255u);
    EXPECT_EQ(TypeFromDeclaration("TEXT(").size, kUnsizedTextChars);
    EXPECT_EQ(TypeFromDeclaration("VARCHAR(99999999999)").size, kLongTextChars);
    EXPECT_TRUE(TypeFromDeclaration("").fromValue);
    EXPECT_TRUE(TypeFromDeclaration(nullptr).fromValue);
    EXPECT_TRUE(TypeFromDeclaration("JSONISH").fromValue) << "numeric affinity";
    EXPECT_EQ(TypeFromDeclaration("MEDIUMBLOB").type, DBTYPE_BYTES);
    EXPECT_EQ(TypeFromDeclaration("NVARCHAR2(10)").size, 10u);
}

}  // namespace
}  // namespace vorn::test
