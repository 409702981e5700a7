// VornOleDbTables and the schema reader frame, on a real database and on the fake
// provider.
#include <gtest/gtest.h>

#include "schema_database.h"
#include "schema_fakes.h"
#include "vornoledb/platform/text.h"
#include "vornoledb/tables.h"

namespace vorn::test::schema {
namespace {

using Names = std::vector<std::wstring>;

class Tables : public SchemaDatabase {};

TEST_F(Tables, ListCarriesEachTablesType) {
    VornOleDbTables tables;
    ASSERT_TRUE(tables.Open(&connection_, nullptr, nullptr, nullptr, nullptr))
        << WideToUtf8(tables.GetErrorText());
    VornOleDbTables::TypeInfoList list;
    ASSERT_TRUE(tables.GetList(list));
    auto typeOf = [&](const std::wstring& name) {
        for (const auto& e : list)
            if (e.m_name == name)
                return e.m_type;
        return L"<" + name + L" missing>";
    };
    EXPECT_EQ(L"TABLE", typeOf(L"Orders"));
    EXPECT_EQ(L"TABLE", typeOf(L"Customers"));
    EXPECT_EQ(L"VIEW", typeOf(L"BigOrders"));
    EXPECT_EQ(L"SYSTEM TABLE", typeOf(L"sqlite_schema"));
    EXPECT_EQ(L"SYSTEM TABLE", typeOf(L"__vorn_identity"));
    // NULL catalog, schema and description give empty strings.
    for (const auto& e : list) {
        EXPECT_TRUE(e.m_catalog.empty());
        EXPECT_TRUE(e.m_schema.empty());
        EXPECT_TRUE(e.m_description.empty());
    }
    // Each call restarts the rowset, so a second call gives the same list.
    VornOleDbTables::TypeInfoList again = {{L"stale", L"", L"", L"", L""}};
    ASSERT_TRUE(tables.GetList(again));
    ASSERT_EQ(list.size(), again.size());
    for (size_t i = 0; i < list.size(); ++i)
        EXPECT_EQ(list[i].m_name, again[i].m_name);
}

TEST_F(Tables, TableListAppendsAndLongNamesAreCut) {
    VornOleDbTables tables;
    ASSERT_TRUE(tables.Open(&connection_, nullptr, nullptr, nullptr, L"TABLE"));
    Names names = {L"kept", L"Orders"};
    ASSERT_TRUE(tables.GetTableList(names));
    // The provider's order: TABLE rows by name, letter case ignored.
    const Names expected = {L"kept", L"Orders", L"Customers", std::wstring(128, L'n'), L"Orders"};
    EXPECT_EQ(expected, names);
}

TEST_F(Tables, NameRestrictionIgnoresLetterCase) {
    VornOleDbTables tables;
    ASSERT_TRUE(tables.Open(&connection_, nullptr, nullptr, L"oRDERS", L"TABLE"));
    ASSERT_TRUE(tables.FetchNext());
    std::wstring name;
    EXPECT_TRUE(tables.GetName(name));
    EXPECT_EQ(L"Orders", name);
    EXPECT_FALSE(tables.FetchNext());

    ASSERT_TRUE(tables.Open(&connection_, nullptr, nullptr, L"bigorders", L"VIEW"));
    ASSERT_TRUE(tables.FetchNext());
    std::wstring type;
    EXPECT_TRUE(tables.GetType(type));
    EXPECT_EQ(L"VIEW", type);
}

TEST_F(Tables, EmptyTypeRestrictsNullTypeDoesNot) {
    VornOleDbTables tables;
    // An empty type is a restriction that no table meets.
    ASSERT_TRUE(tables.Open(&connection_, nullptr, nullptr, nullptr, L""));
    Names names = {L"kept"};
    EXPECT_TRUE(tables.GetTableList(names));
    EXPECT_EQ(Names{L"kept"}, names);
    VornOleDbTables::TypeInfoList list = {{L"old", L"", L"", L"", L""}};
    EXPECT_FALSE(tables.GetList(list));
    EXPECT_TRUE(list.empty());

    // A null type is no restriction; a type of any length is sent whole.
    ASSERT_TRUE(tables.Open(&connection_, nullptr, nullptr, L"Orders", nullptr));
    EXPECT_TRUE(tables.FetchNext());
    ASSERT_TRUE(
        tables.Open(&connection_, nullptr, nullptr, nullptr, std::wstring(300, L'T').c_str()));
    EXPECT_FALSE(tables.FetchNext());
}

TEST_F(Tables, WalkingPastTheEnd) {
    VornOleDbTables tables;
    ASSERT_TRUE(tables.Open(&connection_, nullptr, nullptr, L"Customers", nullptr));
    std::wstring name = L"unchanged";
    EXPECT_FALSE(tables.GetName(name));  // before the first row: empty field
    EXPECT_EQ(L"", name);
    ASSERT_TRUE(tables.FetchNext());
    EXPECT_TRUE(tables.GetName(name));
    EXPECT_FALSE(tables.FetchNext());
    name = L"unchanged";
    EXPECT_FALSE(tables.GetName(name));
    EXPECT_EQ(L"", name);
    EXPECT_FALSE(tables.FetchNext());  // stays at the end
    Names names;
    EXPECT_TRUE(tables.GetTableList(names));  // a list operation restarts
    EXPECT_EQ(Names{L"Customers"}, names);
    EXPECT_FALSE(tables.FetchNext());
    tables.Close();
    tables.Close();
    name = L"unchanged";
    EXPECT_FALSE(tables.GetName(name));
    EXPECT_EQ(L"unchanged", name);
}

TEST_F(Tables, RefusedOpenLeavesTheReaderAsItWas) {
    VornOleDbTables tables;
    ASSERT_TRUE(tables.Open(&connection_, nullptr, nullptr, L"Customers", nullptr));
    EXPECT_FALSE(tables.Open(nullptr, nullptr, nullptr, nullptr, nullptr));
    VornOleDbConnection closed;
    EXPECT_FALSE(tables.Open(&closed, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(tables.HasErrorInfo());
    ASSERT_TRUE(tables.FetchNext());
    std::wstring name;
    tables.GetName(name);
    EXPECT_EQ(L"Customers", name);
}

TEST(TablesNeverOpened, AnswersFalseAndLeavesEverything) {
    VornOleDbTables tables;
    EXPECT_FALSE(tables.FetchNext());
    std::wstring text = L"as it was";
    EXPECT_FALSE(tables.GetName(text));
    EXPECT_FALSE(tables.GetCatalog(text));
    EXPECT_EQ(L"as it was", text);
    VornOleDbTables::TypeInfoList list = {{L"a", L"b", L"c", L"d", L"e"}};
    EXPECT_FALSE(tables.GetList(list));
    EXPECT_EQ(1u, list.size());
    Names names = {L"x"};
    EXPECT_FALSE(tables.GetTableList(names));
    EXPECT_EQ(Names{L"x"}, names);
    tables.Close();
}

// ---- the frame on the fake provider ----------------------------------------------------

class TablesOnFake : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(S_OK, fake_.opened); }

    // Every TABLES request answers with table; the restrictions are kept.
    void Answer(std::shared_ptr<Table> table) {
        fake_.provider->onSchemaRowset =
            [this, table](const GUID& schema,
                          const std::vector<std::optional<std::wstring>>& restrictions) {
                schema_ = schema;
                restrictions_ = restrictions;
                return fake::Outcome::Rows(table);
            };
    }

    fake::FakeConnection fake_;
    GUID schema_ = GUID_NULL;
    std::vector<std::optional<std::wstring>> restrictions_;
};

TEST_F(TablesOnFake, RestrictionsGoInTheirPlaces) {
    Answer(TablesRowset({}));
    VornOleDbTables tables;
    ASSERT_TRUE(tables.Open(&fake_.connection, L"cat", nullptr, L"name", L""));
    EXPECT_EQ(DBSCHEMA_TABLES, schema_);
    ASSERT_EQ(4u, restrictions_.size());
    EXPECT_EQ(L"cat", restrictions_[0].value_or(L"<none>"));
    EXPECT_FALSE(restrictions_[1].has_value());
    EXPECT_EQ(L"name", restrictions_[2].value_or(L"<none>"));
    ASSERT_TRUE(restrictions_[3].has_value());  // the empty type is sent
    EXPECT_EQ(L"", *restrictions_[3]);
    // An open rowset without rows.
    Names names = {L"kept"};
    EXPECT_TRUE(tables.GetTableList(names));
    EXPECT_EQ(Names{L"kept"}, names);
    VornOleDbTables::TypeInfoList list = {{L"old", L"", L"", L"", L""}};
    EXPECT_FALSE(tables.GetList(list));
    EXPECT_TRUE(list.empty());
}

TEST_F(TablesOnFake, FieldsAndNullsAsTheProviderGivesThem) {
    Answer(TablesRowset({
        {Text(L"C"), Text(L"S"), Text(L"T1"), Text(L"LINK"), Cell::Null(), Text(L"about T1")},
        {Cell::Null(), Cell::Null(), Cell::Null(), Cell::Null(), Cell::Null(), Cell::Null()},
        {Cell::Null(), Cell::Null(), Text(std::wstring(129, L'x')), Text(L"TABLE"), Cell::Null(),
         Cell::Null()},
    }));
    VornOleDbTables tables;
    ASSERT_TRUE(tables.Open(&fake_.connection, nullptr, nullptr, nullptr, nullptr));
    VornOleDbTables::TypeInfoList list;
    ASSERT_TRUE(tables.GetList(list));
    ASSERT_EQ(3u, list.size());
    EXPECT_EQ(L"C", list[0].m_catalog);
    EXPECT_EQ(L"S", list[0].m_schema);
    EXPECT_EQ(L"LINK", list[0].m_type);  // the provider's text, unchanged
    EXPECT_EQ(L"about T1", list[0].m_description);
    EXPECT_EQ(L"", list[1].m_name);
    EXPECT_EQ(L"", list[1].m_type);
    EXPECT_EQ(std::wstring(128, L'x'), list[2].m_name);
    // Rows with an empty name are left out of the name list.
    Names names;
    EXPECT_TRUE(tables.GetTableList(names));
    EXPECT_EQ((Names{L"T1", std::wstring(128, L'x')}), names);
}

// A row that GetData delivers only in part (DB_S_ERRORSOCCURRED) is not counted, and the
// provider's records for it do not stay behind on the thread.
TEST_F(TablesOnFake, RowReadWithErrorsEndsTheListAndLeavesNoRecords) {
    auto table = TablesRowset({
        {Cell::Null(), Cell::Null(), Text(L"T1"), Text(L"TABLE"), Cell::Null(), Cell::Null()},
        {Cell::Null(), Cell::Null(), Text(L"T2"), Text(L"TABLE"), Cell::Null(), Cell::Null()},
    });
    table->getDataResults[1] = DB_S_ERRORSOCCURRED;
    Answer(table);
    VornOleDbTables tables;
    ASSERT_TRUE(tables.Open(&fake_.connection, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(tables.FetchNext());
    EXPECT_FALSE(tables.FetchNext());
    std::wstring name = L"x";
    EXPECT_FALSE(tables.GetName(name));
    ComPtr<IErrorInfo> pending;
    EXPECT_EQ(S_FALSE, GetErrorInfo(0, pending.ReleaseAndGetAddressOf()));
    Names names;
    EXPECT_TRUE(tables.GetTableList(names));
    EXPECT_EQ(Names{L"T1"}, names);
}

TEST_F(TablesOnFake, ProviderFailuresBecomeTheErrorText) {
    fake_.provider->onSchemaRowset = [](const GUID&,
                                        const std::vector<std::optional<std::wstring>>&) {
        return fake::Outcome::Failure(DB_E_NOTSUPPORTED, L"No tables to be had.");
    };
    VornOleDbTables tables;
    EXPECT_FALSE(tables.Open(&fake_.connection, nullptr, nullptr, nullptr, nullptr));
    EXPECT_NE(std::wstring::npos, tables.GetErrorText().find(L"No tables to be had."));
    // The failed state: no rows, empty fields, lists as the frame says.
    EXPECT_FALSE(tables.FetchNext());
    std::wstring name = L"x";
    EXPECT_FALSE(tables.GetName(name));
    EXPECT_EQ(L"", name);
    Names names = {L"kept"};
    EXPECT_TRUE(tables.GetTableList(names));
    EXPECT_EQ(Names{L"kept"}, names);
    VornOleDbTables::TypeInfoList list = {{L"old", L"", L"", L"", L""}};
    EXPECT_FALSE(tables.GetList(list));
    EXPECT_TRUE(list.empty());

    // A success without a rowset is a failure with a text of its own.
    fake_.provider->onSchemaRowset = [](const GUID&,
                                        const std::vector<std::optional<std::wstring>>&) {
        return fake::Outcome{};
    };
    EXPECT_FALSE(tables.Open(&fake_.connection, nullptr, nullptr, nullptr, nullptr));
    EXPECT_NE(std::wstring::npos, tables.GetErrorText().find(L"no schema rowset"));
}

TEST_F(TablesOnFake, UnboundRowsetAndFailedMoves) {
    auto table = TablesRowset(
        {{Cell::Null(), Cell::Null(), Text(L"T"), Text(L"TABLE"), Cell::Null(), Cell::Null()}});
    table->createAccessorResult = DB_E_BADBINDINFO;
    Answer(table);
    VornOleDbTables tables;
    EXPECT_FALSE(tables.Open(&fake_.connection, nullptr, nullptr, nullptr, nullptr));
    EXPECT_NE(std::wstring::npos, tables.GetErrorText().find(L"accessor was refused"));
    EXPECT_FALSE(tables.FetchNext());
    EXPECT_EQ(0, fake_.provider->stats.liveRowsets);  // nothing kept that cannot be read

    // A row that cannot be read ends the walk; the tables reader records nothing.
    table->createAccessorResult = S_OK;
    table->getDataResults[0] = E_FAIL;
    ASSERT_TRUE(tables.Open(&fake_.connection, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(tables.FetchNext());
    EXPECT_FALSE(tables.HasErrorInfo());
    EXPECT_EQ(0, fake_.provider->stats.outstandingRows);

    // Close releases the accessor and the rowset.
    table->getDataResults.clear();
    ASSERT_TRUE(tables.Open(&fake_.connection, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(tables.FetchNext());
    tables.Close();
    EXPECT_EQ(0, fake_.provider->stats.outstandingRows);
    EXPECT_EQ(0, fake_.provider->stats.liveRowsets);
    EXPECT_EQ(fake_.provider->stats.accessorsCreated, fake_.provider->stats.accessorsReleased);
}

}  // namespace
}  // namespace vorn::test::schema
