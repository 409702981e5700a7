// PostgreSQL's types in OLE DB's terms and values as the row store keeps them, and which
// texts a cursor carries: no server needed.
#include <gtest/gtest.h>

#include <cmath>

#include "pg_rowset.h"
#include "pg_types.h"

namespace {

using vorn::pgprovider::CursorCanCarry;
using vorn::pgprovider::EncodePgValue;
using vorn::pgprovider::PgValueKind;
using vorn::pgprovider::TypeOfPgColumn;
using vorn::provider::Cell;
using vorn::provider::CellKind;

// A value encoded and decoded again.
Cell RoundTrip(PgValueKind kind, const std::string& text, std::string* keep) {
    vorn::provider::RowEncoder encoder;
    std::string scratch;
    encoder.Begin(1);
    EncodePgValue(kind, text.c_str(), text.size(), &scratch, &encoder);
    keep->assign(encoder.Size(), '\0');
    encoder.Write(&(*keep)[0]);
    Cell cell;
    EXPECT_TRUE(vorn::provider::DecodeRow(keep->data(), keep->size(), &cell, 1));
    return cell;
}

std::string TextOf(const Cell& c) {
    return std::string(c.bytes, c.size);
}

TEST(PgTypesTest, ColumnsTakeTheirTypesSizesAndScales) {
    // Type modifiers as the server reports them: varchar(n) n + 4, numeric (p << 16 | s) + 4.
    const auto varchar20 = TypeOfPgColumn(1043, 24);
    EXPECT_EQ(varchar20.type, DBTYPE_WSTR);
    EXPECT_EQ(varchar20.size, 20u);
    EXPECT_FALSE(varchar20.IsLong());
    EXPECT_TRUE(TypeOfPgColumn(1043, -1).IsLong());  // varchar without a size
    EXPECT_TRUE(TypeOfPgColumn(25, -1).IsLong());    // text
    const auto char5 = TypeOfPgColumn(1042, 9);
    EXPECT_EQ(char5.size, 5u);
    EXPECT_TRUE(char5.flags & DBCOLUMNFLAGS_ISFIXEDLENGTH);
    const auto numeric = TypeOfPgColumn(1700, ((12 << 16) | 2) + 4);
    EXPECT_EQ(numeric.type, DBTYPE_NUMERIC);
    EXPECT_EQ(numeric.precision, 12);
    EXPECT_EQ(numeric.scale, 2);
    EXPECT_EQ(TypeOfPgColumn(1700, -1).type, DBTYPE_R8);  // bare numeric: no scale to cut
    EXPECT_EQ(TypeOfPgColumn(790, -1).type, DBTYPE_CY);
    EXPECT_EQ(TypeOfPgColumn(1184, -1).type, DBTYPE_DATE);
    EXPECT_EQ(TypeOfPgColumn(2950, -1).type, DBTYPE_GUID);
    const auto bytea = TypeOfPgColumn(17, -1);
    EXPECT_EQ(bytea.type, DBTYPE_BYTES);
    EXPECT_TRUE(bytea.IsLong());
    // Types without a DBTYPE of their own (interval) come as unsized text.
    const auto interval = TypeOfPgColumn(1186, -1);
    EXPECT_EQ(interval.type, DBTYPE_WSTR);
    EXPECT_FALSE(interval.IsLong());
}

TEST(PgTypesTest, ValuesAreKeptInTheirKind) {
    std::string keep;
    Cell c = RoundTrip(PgValueKind::Integer, "-9223372036854775808", &keep);
    EXPECT_EQ(c.kind, CellKind::Integer);
    EXPECT_EQ(c.integer, INT64_MIN);
    // Out of 64 bits (an oid never is, but a cast may be): kept as its text.
    c = RoundTrip(PgValueKind::Integer, "99999999999999999999", &keep);
    EXPECT_EQ(c.kind, CellKind::Text);
    c = RoundTrip(PgValueKind::Bool, "t", &keep);
    EXPECT_EQ(c.integer, -1);
    c = RoundTrip(PgValueKind::Real, "NaN", &keep);
    EXPECT_TRUE(std::isnan(c.real));
    c = RoundTrip(PgValueKind::Money, "-$1,234.56", &keep);
    EXPECT_EQ(TextOf(c), "-1234.56");
    c = RoundTrip(PgValueKind::Money, "($7.00)", &keep);
    EXPECT_EQ(TextOf(c), "-7.00");
    c = RoundTrip(PgValueKind::Bytes, "\\x00ff10", &keep);
    EXPECT_EQ(c.kind, CellKind::Blob);
    EXPECT_EQ(TextOf(c), std::string("\x00\xff\x10", 3));
    c = RoundTrip(PgValueKind::Bytes, "\\x0g", &keep);  // not hex: kept as its text
    EXPECT_EQ(c.kind, CellKind::Text);
    c = RoundTrip(PgValueKind::Timestamp, "2024-05-01 10:00:00+02", &keep);
    EXPECT_EQ(TextOf(c), "2024-05-01 10:00:00");
    c = RoundTrip(PgValueKind::Timestamp, "2024-05-01 10:00:00.25-03:30", &keep);
    EXPECT_EQ(TextOf(c), "2024-05-01 10:00:00.25");
    c = RoundTrip(PgValueKind::Timestamp, "2024-05-01", &keep);
    EXPECT_EQ(TextOf(c), "2024-05-01");
}

TEST(PgTypesTest, ACursorCarriesOneQueryThatOnlyReads) {
    EXPECT_TRUE(CursorCanCarry("SELECT 1"));
    EXPECT_TRUE(CursorCanCarry("  select * from t where a = ';' ;  -- done\n"));
    EXPECT_TRUE(CursorCanCarry("VALUES (1), (2)"));
    EXPECT_TRUE(CursorCanCarry("SELECT 'into' AS \"INTO;\" /* ; */ FROM t"));
    EXPECT_FALSE(CursorCanCarry("SELECT 1; SELECT 2"));
    EXPECT_FALSE(CursorCanCarry("SELECT * INTO copy FROM t"));
    EXPECT_FALSE(CursorCanCarry("INSERT INTO t VALUES (1) RETURNING *"));
    EXPECT_FALSE(CursorCanCarry("WITH gone AS (DELETE FROM t RETURNING *) SELECT * FROM gone"));
    EXPECT_FALSE(CursorCanCarry("SELECT $$;$$"));
}

}  // namespace
