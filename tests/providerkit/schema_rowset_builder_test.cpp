// Schema rowsets built from computed rows: the sort order OLE DB gives them (NULL first,
// numbers by value, text by bytes or without regard to ASCII case), the columns' types, and
// rows beyond the store's memory bound.
#include <gtest/gtest.h>

#include "provider/schema_test_util.h"
#include "rowset/row_store.h"
#include "schema/schema_rowset_builder.h"

namespace {

using vorn::provider::RowsetProperties;
using vorn::provider::schema::SchemaColumn;
using vorn::provider::schema::SchemaRowsetBuilder;
using vorn::provider::testing::SchemaResult;

const std::vector<SchemaColumn> kColumns = {
    {"NAME", DBTYPE_WSTR}, {"KEY", DBTYPE_BOOL}, {"POSITION", DBTYPE_UI4}};

SchemaResult Build(const std::vector<std::tuple<const wchar_t*, bool, long long>>& rows,
                   const std::string& order) {
    SchemaRowsetBuilder builder(kColumns, L"the TEST rowset", IID_IDBSchemaRowset);
    SchemaResult result;
    EXPECT_EQ(S_OK, builder.Begin());
    for (const auto& row : rows) {
        if (std::get<0>(row))
            builder.Text(std::get<0>(row));
        else
            builder.Null();
        builder.Bool(std::get<1>(row));
        builder.Integer(std::get<2>(row));
        EXPECT_EQ(S_OK, builder.EndRow());
    }
    ComPtr<IUnknown> rowset;
    result.hr = builder.Finish(order, RowsetProperties(), nullptr, IID_IRowset,
                               rowset.ReleaseAndGetUnknownAddress());
    if (SUCCEEDED(result.hr))
        vorn::provider::testing::ReadRowset(rowset.Get(), &result);
    return result;
}

std::vector<std::wstring> Names(const SchemaResult& r) {
    std::vector<std::wstring> names;
    for (size_t i = 0; i < r.rows.size(); ++i)
        names.push_back(r.IsNull(i, L"NAME") ? L"(null)" : r.Text(i, L"NAME"));
    return names;
}

TEST(SchemaRowsetBuilderTest, SortsAsOrderByWould) {
    const SchemaResult r = Build({{L"b", false, 3},
                                  {L"A", false, 2},
                                  {nullptr, false, 9},
                                  {L"a", true, 10},
                                  {L"a", true, 2}},
                                 "\"KEY\", NAME COLLATE NOCASE, NAME, POSITION");
    ASSERT_EQ(S_OK, r.hr);
    // Yes (-1) sorts before no (0); NULL first; "A" and "a" tie without case, then by bytes;
    // positions by value (2 before 10, not as text).
    EXPECT_EQ(Names(r), (std::vector<std::wstring>{L"a", L"a", L"(null)", L"A", L"b"}));
    EXPECT_EQ(r.Number(0, L"POSITION"), 2);
    EXPECT_EQ(r.Number(1, L"POSITION"), 10);
    EXPECT_EQ(r.types, (std::vector<DBTYPE>{DBTYPE_WSTR, DBTYPE_BOOL, DBTYPE_UI4}));

    // Without an order the rows come as they were added; a name that is no column is
    // passed over.
    const SchemaResult plain = Build({{L"z", false, 1}, {L"y", false, 2}}, "NO_SUCH_COLUMN");
    EXPECT_EQ(Names(plain), (std::vector<std::wstring>{L"z", L"y"}));
}

TEST(SchemaRowsetBuilderTest, RowsBeyondTheMemoryBoundComeBackSorted) {
    const size_t saved = vorn::provider::RowStoreMemoryLimit();
    vorn::provider::SetRowStoreMemoryLimit(64 * 1024);
    std::vector<std::wstring> texts;
    std::vector<std::tuple<const wchar_t*, bool, long long>> rows;
    constexpr int kRows = 20000;
    texts.reserve(kRows);
    for (int i = 0; i < kRows; ++i)
        texts.push_back(L"name " + std::to_wstring((i * 7919) % kRows));
    for (int i = 0; i < kRows; ++i)
        rows.emplace_back(texts[static_cast<size_t>(i)].c_str(), false, (i * 7919) % kRows);
    const SchemaResult r = Build(rows, "POSITION");
    vorn::provider::SetRowStoreMemoryLimit(saved);
    ASSERT_EQ(S_OK, r.hr);
    ASSERT_EQ(r.rows.size(), static_cast<size_t>(kRows));
    for (size_t i = 0; i < r.rows.size(); i += 997) {
        EXPECT_EQ(r.Number(i, L"POSITION"), static_cast<long long>(i));
        EXPECT_EQ(r.Text(i, L"NAME"), L"name " + std::to_wstring(i));
    }
}

}  // namespace
