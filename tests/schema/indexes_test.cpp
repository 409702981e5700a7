// VornOleDbIndexes on a real database made with Jet DDL and on the fake provider.
#include <gtest/gtest.h>

#include <algorithm>

#include "schema_database.h"
#include "schema_fakes.h"
#include "vornoledb/indexes.h"

namespace vorn::test::schema {
namespace {

using Names = std::vector<std::wstring>;

class Indexes : public SchemaDatabase {};

TEST_F(Indexes, ListsWithAndWithoutPrimaryKeys) {
    VornOleDbIndexes indexes;
    ASSERT_TRUE(indexes.Open(&connection_, nullptr, nullptr, L"Orders", nullptr))
        << WideToUtf8(indexes.GetErrorText());
    Names names;
    ASSERT_TRUE(indexes.GetIndexList(names, false));
    EXPECT_EQ(Names{L"ByCode"}, names);
    // Both names, each once though the key has two columns; ByCode is not added again.
    ASSERT_TRUE(indexes.GetIndexList(names, true));
    EXPECT_EQ((Names{L"ByCode", L"PK_Orders"}), names);
    ASSERT_TRUE(indexes.GetIndexList(names, true));
    EXPECT_EQ(2u, names.size());
    // The comparison keeps letter case.
    Names lower = {L"bycode"};
    ASSERT_TRUE(indexes.GetIndexList(lower, false));
    EXPECT_EQ((Names{L"bycode", L"ByCode"}), lower);
}

TEST_F(Indexes, RowsNameIndexTableAndColumn) {
    VornOleDbIndexes indexes;
    ASSERT_TRUE(indexes.Open(&connection_, nullptr, nullptr, nullptr, L"pk_orders"));
    std::wstring index, table, column;
    Names columns;
    while (indexes.FetchNext()) {
        EXPECT_TRUE(indexes.GetName(index));
        EXPECT_EQ(L"PK_Orders", index);
        EXPECT_TRUE(indexes.GetTableName(table));
        EXPECT_EQ(L"Orders", table);
        EXPECT_FALSE(indexes.GetCatalog(index));
        EXPECT_FALSE(indexes.GetTableSchema(table));
        if (indexes.GetColumnName(column))
            columns.push_back(column);
    }
    EXPECT_EQ((Names{L"OrderId", L"Code"}), columns);
}

TEST_F(Indexes, TableWithoutIndexesAndReaderNeverOpened) {
    VornOleDbIndexes indexes;
    Names names = {L"kept"};
    EXPECT_FALSE(indexes.GetIndexList(names, true));
    EXPECT_EQ(Names{L"kept"}, names);
    ASSERT_TRUE(indexes.Open(&connection_, nullptr, nullptr, L"Customers", nullptr));
    EXPECT_TRUE(indexes.GetIndexList(names, true));
    EXPECT_EQ(Names{L"kept"}, names);
    EXPECT_FALSE(indexes.FetchNext());
    indexes.Close();
    indexes.Close();
    EXPECT_FALSE(indexes.GetIndexList(names, true));
}

// ---- the fake provider -----------------------------------------------------------------

class IndexesOnFake : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, fake_.opened);
        fake_.provider->onSchemaRowset =
            [this](const GUID& schema,
                   const std::vector<std::optional<std::wstring>>& restrictions) {
                schema_ = schema;
                restrictions_ = restrictions;
                return fake::Outcome::Rows(IndexesRowset(rows_));
            };
    }

    fake::FakeConnection fake_;
    std::vector<IndexRow> rows_;
    GUID schema_ = GUID_NULL;
    std::vector<std::optional<std::wstring>> restrictions_;
};

TEST_F(IndexesOnFake, TableAndIndexNamesTakeTheirOwnRestrictions) {
    VornOleDbIndexes indexes;
    ASSERT_TRUE(indexes.Open(&fake_.connection, nullptr, nullptr, L"Table", nullptr));
    EXPECT_EQ(DBSCHEMA_INDEXES, schema_);
    ASSERT_EQ(5u, restrictions_.size());
    EXPECT_FALSE(restrictions_[2].has_value());
    EXPECT_FALSE(restrictions_[3].has_value());
    EXPECT_EQ(L"Table", restrictions_[4].value_or(L"<none>"));

    ASSERT_TRUE(indexes.Open(&fake_.connection, L"cat", L"sch", nullptr, L"Index"));
    EXPECT_EQ(L"cat", restrictions_[0].value_or(L"<none>"));
    EXPECT_EQ(L"sch", restrictions_[1].value_or(L"<none>"));
    EXPECT_EQ(L"Index", restrictions_[2].value_or(L"<none>"));
    EXPECT_FALSE(restrictions_[3].has_value());
    EXPECT_FALSE(restrictions_[4].has_value());
}

TEST_F(IndexesOnFake, AnyNonZeroPrimaryKeyCountsAndEmptyNamesAreNames) {
    rows_ = {{L"T", L"Key", 1, L"a"},  // 1, not VARIANT_TRUE
             {L"T", L"", VARIANT_FALSE, L"b"},
             {L"T", L"Other", VARIANT_FALSE, L"c"},
             {L"T", L"", VARIANT_FALSE, L"d"}};
    VornOleDbIndexes indexes;
    ASSERT_TRUE(indexes.Open(&fake_.connection, nullptr, nullptr, nullptr, nullptr));
    Names names;
    ASSERT_TRUE(indexes.GetIndexList(names, false));
    EXPECT_EQ((Names{L"", L"Other"}), names);
    ASSERT_TRUE(indexes.GetIndexList(names, true));
    EXPECT_EQ((Names{L"", L"Other", L"Key"}), names);
}

}  // namespace
}  // namespace vorn::test::schema
