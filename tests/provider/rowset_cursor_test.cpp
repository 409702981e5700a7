// Movement of the rowset's static cursor over real SQLite results: forwards, backwards,
// restarts, the end, row handles, and results far larger than the store's memory bound.
#include <gtest/gtest.h>

#include <random>

#include "rowset/row_store.h"
#include "support/provider_command_harness.h"

namespace vorn::test {
namespace {

using Rows = std::vector<std::vector<std::wstring>>;

std::wstring One(IRowset* rowset, DBROWOFFSET offset, DBROWCOUNT count, HRESULT expected = S_OK) {
    Rows rows;
    EXPECT_EQ(Fetch(rowset, offset, count, &rows), expected);
    if (rows.size() != 1)
        return L"(" + std::to_wstring(rows.size()) + L" rows)";
    return rows[0][0];
}

class RowsetCursor : public ::testing::Test {
  protected:
    void SetUp() override {
        h.Sql("CREATE TABLE t(n INTEGER); INSERT INTO t VALUES (1),(2),(3),(4),(5);");
        ASSERT_EQ(h.Execute(L"SELECT n FROM t ORDER BY n", &rowset), S_OK);
        ASSERT_TRUE(rowset);
    }
    CommandHarness h;
    ComPtr<IRowset> rowset;
};

TEST_F(RowsetCursor, NextPreviousAndSkips) {
    EXPECT_EQ(One(rowset.Get(), 0, 1), L"1");
    EXPECT_EQ(One(rowset.Get(), 0, 1), L"2");
    EXPECT_EQ(One(rowset.Get(), 0, -1), L"1");  // the previous row
    EXPECT_EQ(One(rowset.Get(), 0, 1), L"2");
    EXPECT_EQ(One(rowset.Get(), -2, 1), L"1");  // the consumer's step back
    EXPECT_EQ(One(rowset.Get(), 2, 1), L"4");   // skips 2 and 3
    EXPECT_EQ(One(rowset.Get(), -2, 1), L"3");
    Rows rows;
    EXPECT_EQ(Fetch(rowset.Get(), 0, 3, &rows), DB_S_ENDOFROWSET);  // 4, 5 and the end
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], L"4");
    EXPECT_EQ(rows[1][0], L"5");
    EXPECT_EQ(Fetch(rowset.Get(), 0, -3, &rows), S_OK);  // backwards from past the end
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], L"5");
    EXPECT_EQ(rows[2][0], L"3");
    EXPECT_EQ(Fetch(rowset.Get(), 0, -5, &rows), DB_S_ENDOFROWSET);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], L"1");
    EXPECT_EQ(One(rowset.Get(), 0, 1), L"1");  // from before the first row
}

TEST_F(RowsetCursor, LastRowThenBackAndPastTheEnd) {
    EXPECT_EQ(One(rowset.Get(), 0, 1), L"1");
    // FetchLast: restart, then one row backwards from the end.
    EXPECT_EQ(rowset->RestartPosition(DB_NULL_HCHAPTER), S_OK);
    EXPECT_EQ(One(rowset.Get(), 0, -1), L"5");
    EXPECT_EQ(One(rowset.Get(), -2, 1), L"4");  // FetchPrev lands on the row before the last
    EXPECT_EQ(One(rowset.Get(), 0, 1), L"5");
    Rows rows;
    EXPECT_EQ(Fetch(rowset.Get(), 0, 1, &rows), DB_S_ENDOFROWSET);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(Fetch(rowset.Get(), 0, 1, &rows), DB_S_ENDOFROWSET);
    EXPECT_EQ(One(rowset.Get(), -2, 1), L"5");  // back from past the end gives the last row
    // Running off the start leaves the cursor before the first row.
    EXPECT_EQ(rowset->RestartPosition(DB_NULL_HCHAPTER), S_OK);
    EXPECT_EQ(One(rowset.Get(), 0, 1), L"1");
    EXPECT_EQ(Fetch(rowset.Get(), -2, 1, &rows), DB_S_ENDOFROWSET);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(One(rowset.Get(), 0, 1), L"1");
    // A backward fetch that starts beyond the end leaves the cursor past the last row.
    EXPECT_EQ(rowset->RestartPosition(DB_NULL_HCHAPTER), S_OK);
    EXPECT_EQ(Fetch(rowset.Get(), 3, -1, &rows), DB_S_ENDOFROWSET);
    EXPECT_EQ(One(rowset.Get(), -2, 1), L"5");
    // A skip beyond the end finds nothing; a restart starts over.
    EXPECT_EQ(Fetch(rowset.Get(), 10, 1, &rows), DB_S_ENDOFROWSET);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(rowset->RestartPosition(DB_NULL_HCHAPTER), S_OK);
    EXPECT_EQ(ReadRemaining(rowset.Get()).size(), 5u);
}

TEST_F(RowsetCursor, RowHandlesAreCounted) {
    DBCOUNTITEM obtained = 0;
    HROW row = 0;
    HROW* handles = &row;
    ASSERT_EQ(rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &handles), S_OK);
    ASSERT_EQ(obtained, 1u);
    EXPECT_EQ(handles, &row) << "the caller's array is used when one is given";
    DBREFCOUNT counts[2] = {};
    DBROWSTATUS statuses[2] = {};
    EXPECT_EQ(rowset->AddRefRows(1, &row, counts, statuses), S_OK);
    EXPECT_EQ(counts[0], 2u);
    EXPECT_EQ(rowset->ReleaseRows(1, &row, nullptr, counts, statuses), S_OK);
    EXPECT_EQ(counts[0], 1u);
    const HROW both[2] = {row, row + 100};
    EXPECT_EQ(rowset->ReleaseRows(2, both, nullptr, counts, statuses), DB_S_ERRORSOCCURRED);
    EXPECT_EQ(counts[0], 0u);
    EXPECT_EQ(statuses[0], DBROWSTATUS_S_OK);
    EXPECT_EQ(statuses[1], DBROWSTATUS_E_INVALID);
    // Released: reading it or releasing it again fails.
    ComPtr<IAccessor> accessor;
    ASSERT_EQ(rowset.As(&accessor), S_OK);
    DBBINDING b{};
    b.iOrdinal = 1;
    b.dwPart = DBPART_VALUE;
    b.wType = DBTYPE_I4;
    HACCESSOR handle = 0;
    ASSERT_EQ(accessor->CreateAccessor(DBACCESSOR_ROWDATA, 1, &b, 0, &handle, nullptr), S_OK);
    int32_t value = 0;
    EXPECT_EQ(rowset->GetData(row, handle, &value), DB_E_BADROWHANDLE);
    EXPECT_TRUE(TakePostedError().present);
    EXPECT_EQ(rowset->ReleaseRows(1, &row, nullptr, nullptr, nullptr), DB_E_ERRORSOCCURRED);
    // Handles of several rows held at once stay readable.
    HROW* many = nullptr;
    ASSERT_EQ(rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 3, &obtained, &many), S_OK);
    ASSERT_EQ(obtained, 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rowset->GetData(many[i], handle, &value), S_OK);
        EXPECT_EQ(value, i + 2);
    }
    const HROW released = many[0];
    EXPECT_EQ(rowset->ReleaseRows(3, many, nullptr, nullptr, nullptr), S_OK);
    CoTaskMemFree(many);
    EXPECT_EQ(accessor->ReleaseAccessor(handle, nullptr), S_OK);
    EXPECT_EQ(rowset->GetData(released, handle, &value), DB_E_BADACCESSORHANDLE);
}

TEST(RowsetHandles, ManyRowsAndAccessorsHeldAtOnce) {
    CommandHarness h;
    h.Sql("CREATE TABLE t(n INTEGER);");
    for (int i = 1; i <= 12; ++i)
        h.Sql("INSERT INTO t VALUES (" + std::to_string(i * 10) + ");");
    ComPtr<IRowset> rowset;
    ASSERT_EQ(h.Execute(L"SELECT n FROM t ORDER BY n", &rowset), S_OK);
    ComPtr<IAccessor> accessor;
    ASSERT_EQ(rowset.As(&accessor), S_OK);

    // Three accessors at once, each reading the value its own way; a released handle is
    // refused and its number serves the next accessor made.
    DBBINDING asI4{};
    asI4.iOrdinal = 1;
    asI4.dwPart = DBPART_VALUE;
    asI4.wType = DBTYPE_I4;
    DBBINDING asI8 = asI4;
    asI8.wType = DBTYPE_I8;
    DBBINDING asR8 = asI4;
    asR8.wType = DBTYPE_R8;
    HACCESSOR i4 = 0, i8 = 0, r8 = 0;
    ASSERT_EQ(accessor->CreateAccessor(DBACCESSOR_ROWDATA, 1, &asI4, 0, &i4, nullptr), S_OK);
    ASSERT_EQ(accessor->CreateAccessor(DBACCESSOR_ROWDATA, 1, &asI8, 0, &i8, nullptr), S_OK);
    ASSERT_EQ(accessor->CreateAccessor(DBACCESSOR_ROWDATA, 1, &asR8, 0, &r8, nullptr), S_OK);
    EXPECT_NE(i4, i8);
    EXPECT_NE(i8, r8);
    EXPECT_NE(i4, r8);
    EXPECT_EQ(accessor->ReleaseAccessor(i8, nullptr), S_OK);
    int64_t wide = 0;

    // Every row of the result held at once, far more than a consumer usually holds.
    DBCOUNTITEM obtained = 0;
    HROW* rows = nullptr;
    ASSERT_EQ(rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 12, &obtained, &rows), S_OK);
    ASSERT_EQ(obtained, 12u);
    EXPECT_EQ(rowset->GetData(rows[0], i8, &wide), DB_E_BADACCESSORHANDLE);
    TakePostedError();
    HACCESSOR again = 0;
    ASSERT_EQ(accessor->CreateAccessor(DBACCESSOR_ROWDATA, 1, &asI8, 0, &again, nullptr), S_OK);
    EXPECT_EQ(again, i8);
    // A second reference on every other row; the first release leaves those held.
    for (DBCOUNTITEM k = 0; k < obtained; k += 2)
        EXPECT_EQ(rowset->AddRefRows(1, &rows[k], nullptr, nullptr), S_OK);
    EXPECT_EQ(rowset->ReleaseRows(obtained, rows, nullptr, nullptr, nullptr), S_OK);
    for (DBCOUNTITEM k = 0; k < obtained; ++k) {
        SCOPED_TRACE(k);
        int32_t narrow = 0;
        double real = 0;
        if (k % 2) {
            EXPECT_EQ(rowset->GetData(rows[k], i4, &narrow), DB_E_BADROWHANDLE);
            TakePostedError();
            continue;
        }
        ASSERT_EQ(rowset->GetData(rows[k], i4, &narrow), S_OK);
        ASSERT_EQ(rowset->GetData(rows[k], again, &wide), S_OK);
        ASSERT_EQ(rowset->GetData(rows[k], r8, &real), S_OK);
        EXPECT_EQ(narrow, static_cast<int32_t>(k + 1) * 10);
        EXPECT_EQ(wide, narrow);
        EXPECT_EQ(real, narrow);
    }
    for (DBCOUNTITEM k = 0; k < obtained; k += 2)
        EXPECT_EQ(rowset->ReleaseRows(1, &rows[k], nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(rowset->ReleaseRows(1, &rows[0], nullptr, nullptr, nullptr), DB_E_ERRORSOCCURRED);
    TakePostedError();
    CoTaskMemFree(rows);
    for (HACCESSOR a : {i4, again, r8})
        EXPECT_EQ(accessor->ReleaseAccessor(a, nullptr), S_OK);
}

TEST(RowsetCursorEmpty, EveryMoveEndsAtOnce) {
    CommandHarness h;
    h.Sql("CREATE TABLE t(n INTEGER);");
    ComPtr<IRowset> rowset;
    ASSERT_EQ(h.Execute(L"SELECT n FROM t", &rowset), S_OK);
    Rows rows;
    EXPECT_EQ(Fetch(rowset.Get(), 0, 1, &rows), DB_S_ENDOFROWSET);
    EXPECT_EQ(rowset->RestartPosition(DB_NULL_HCHAPTER), S_OK);
    EXPECT_EQ(Fetch(rowset.Get(), 0, -1, &rows), DB_S_ENDOFROWSET);
    EXPECT_EQ(Fetch(rowset.Get(), -2, 1, &rows), DB_S_ENDOFROWSET);
    EXPECT_TRUE(rows.empty());
}

class RowStoreBound : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = provider::RowStoreMemoryLimit();
        provider::SetRowStoreMemoryLimit(64 * 1024);
    }
    void TearDown() override { provider::SetRowStoreMemoryLimit(previous_); }

  private:
    size_t previous_ = 0;
};

TEST_F(RowStoreBound, LargeResultReadsTheSameEveryWay) {
    CommandHarness h;
    // About 3 MB of rows against a 64 KiB bound.
    h.Sql(
        "CREATE TABLE big(id INTEGER, label TEXT, payload BLOB);"
        "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 20000) "
        "INSERT INTO big SELECT i, 'row ' || i || ' ' || hex(randomblob(30)), randomblob(i % 200) "
        "FROM c;");
    ComPtr<IRowset> rowset;
    ASSERT_EQ(h.Execute(L"SELECT id, label, length(payload) FROM big ORDER BY id", &rowset), S_OK);
    const Rows forward = ReadRemaining(rowset.Get());
    ASSERT_EQ(forward.size(), 20000u);
    for (size_t i = 0; i < forward.size(); i += 997)
        EXPECT_EQ(forward[i][0], std::to_wstring(i + 1));

    // Backwards from the end, one row at a time, as FetchLast then FetchPrev move.
    ASSERT_EQ(rowset->RestartPosition(DB_NULL_HCHAPTER), S_OK);
    Rows rows;
    ASSERT_EQ(Fetch(rowset.Get(), 0, -1, &rows), S_OK);
    Rows backward = rows;
    while (Fetch(rowset.Get(), -2, 1, &rows) == S_OK)
        backward.push_back(rows[0]);
    ASSERT_EQ(backward.size(), forward.size());
    for (size_t i = 0; i < forward.size(); ++i)
        ASSERT_EQ(backward[forward.size() - 1 - i], forward[i]) << "row " << i + 1;

    // Jumps to random rows from the start.
    std::mt19937 random(7);
    for (int k = 0; k < 200; ++k) {
        const int target = static_cast<int>(random() % 20000);
        ASSERT_EQ(rowset->RestartPosition(DB_NULL_HCHAPTER), S_OK);
        ASSERT_EQ(Fetch(rowset.Get(), target, 1, &rows), S_OK);
        ASSERT_EQ(rows[0], forward[static_cast<size_t>(target)]);
    }
}

TEST_F(RowStoreBound, LastRowOfAFreshResultReadsEverythingOnce) {
    CommandHarness h;
    h.Sql(
        "CREATE TABLE big(id INTEGER, label TEXT);"
        "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 30000) "
        "INSERT INTO big SELECT i, printf('%040d', i) FROM c;");
    ComPtr<IRowset> rowset;
    ASSERT_EQ(h.Execute(L"SELECT id, label FROM big ORDER BY id", &rowset), S_OK);
    ASSERT_EQ(rowset->RestartPosition(DB_NULL_HCHAPTER), S_OK);
    EXPECT_EQ(One(rowset.Get(), 0, -1), L"30000");
    EXPECT_EQ(One(rowset.Get(), -2, 1), L"29999");
    ASSERT_EQ(rowset->RestartPosition(DB_NULL_HCHAPTER), S_OK);
    EXPECT_EQ(One(rowset.Get(), 0, 1), L"1");
    EXPECT_EQ(One(rowset.Get(), 14999, 1), L"15001");
}

TEST(RowStore, SpillsPastItsBoundAndReadsBackInAnyOrder) {
    provider::RowStore store(100 * 1024);
    std::vector<std::string> rows;
    std::mt19937 random(11);
    for (int i = 0; i < 50000; ++i) {
        // Mostly small rows, now and then one larger than a block.
        const size_t size = (i % 5000 == 4999) ? 200000 : random() % 64;
        std::string row(size, '\0');
        for (size_t k = 0; k < size; ++k)
            row[k] = static_cast<char>('a' + (i + k) % 26);
        char* out = store.Append(row.size());
        ASSERT_NE(out, nullptr) << i;
        std::memcpy(out, row.data(), row.size());
        rows.push_back(std::move(row));
        ASSERT_LE(store.MemoryInUse(), 100 * 1024 + 400000u) << "memory grows past the bound";
    }
    EXPECT_TRUE(store.Spilled());
    ASSERT_EQ(store.RowCount(), rows.size());
    for (int k = 0; k < 20000; ++k) {
        const size_t i = random() % rows.size();
        const char* data = nullptr;
        size_t size = 0;
        ASSERT_TRUE(store.Row(i, &data, &size));
        ASSERT_EQ(std::string(data, size), rows[i]) << "row " << i;
    }
    for (size_t i = rows.size(); i-- > 0;) {
        const char* data = nullptr;
        size_t size = 0;
        ASSERT_TRUE(store.Row(i, &data, &size));
        ASSERT_EQ(size, rows[i].size());
    }
}

TEST(RowsetSnapshot, WritesOnTheConnectionAreNotSeenByAnOpenResult) {
    CommandHarness h;
    h.Sql(
        "CREATE TABLE parts(id INTEGER, qty INTEGER);"
        "INSERT INTO parts VALUES (1, 10), (2, 20), (3, 30);");
    ComPtr<IRowset> rowset;
    ASSERT_EQ(h.Execute(L"SELECT id, qty FROM parts ORDER BY id", &rowset), S_OK);
    Rows rows;
    ASSERT_EQ(Fetch(rowset.Get(), 0, 1, &rows), S_OK);
    EXPECT_EQ(rows[0][1], L"10");
    // The host updates rows while it walks the result.
    DBROWCOUNT affected = 0;
    ASSERT_EQ(h.Execute(L"UPDATE parts SET qty = qty + 1000", nullptr, &affected), S_OK);
    EXPECT_EQ(affected, 3);
    ASSERT_EQ(h.Execute(L"INSERT INTO parts VALUES (4, 40)", nullptr, &affected), S_OK);
    const Rows rest = ReadRemaining(rowset.Get());
    ASSERT_EQ(rest.size(), 2u) << "the inserted row must not appear";
    EXPECT_EQ(rest[0][1], L"20");
    EXPECT_EQ(rest[1][1], L"30");
    // A new result sees the writes.
    ComPtr<IRowset> fresh;
    ASSERT_EQ(h.Execute(L"SELECT qty FROM parts ORDER BY id", &fresh), S_OK);
    const Rows now = ReadRemaining(fresh.Get());
    ASSERT_EQ(now.size(), 4u);
    EXPECT_EQ(now[0][0], L"1010");
}

TEST(RowsetErrors, AFailureWhileSteppingIsReportedAtTheRowThatNeedsIt) {
    CommandHarness h;
    h.Sql("CREATE TABLE t(n INTEGER); INSERT INTO t VALUES (1),(2),(3),(4);");
    ComPtr<IRowset> rowset;
    // abs() of the smallest integer overflows: SQLite fails on the third row (rows come in
    // table order, each computed as it is stepped).
    ASSERT_EQ(h.Execute(L"SELECT CASE WHEN n = 3 THEN abs(-9223372036854775807 - 1) ELSE n END "
                        L"FROM t",
                        &rowset),
              S_OK);
    Rows rows;
    EXPECT_EQ(Fetch(rowset.Get(), 0, 1, &rows), S_OK);
    EXPECT_EQ(Fetch(rowset.Get(), 0, 1, &rows), S_OK);
    EXPECT_TRUE(FAILED(Fetch(rowset.Get(), 0, 1, &rows)));
    const PostedError e = TakePostedError();
    ASSERT_TRUE(e.present);
    EXPECT_NE(e.description.find(L"integer overflow"), std::wstring::npos) << e.description;
    EXPECT_NE(e.description.find(L"SELECT CASE"), std::wstring::npos) << e.description;
    // The rows read before the failure stay readable.
    EXPECT_EQ(One(rowset.Get(), -2, 1), L"1");
}

}  // namespace
}  // namespace vorn::test
