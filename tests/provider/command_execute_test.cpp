// Command objects over a real SQLite file: text and dialects, rowset properties, statements
// with and without results, several statements in one text, and the error records of
// failing statements.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "execution/result_codes.h"
#include "support/provider_command_harness.h"

namespace vorn::test {
namespace {

using provider::DB_E_DIALECTNOTSUPPORTED;
using provider::DB_E_PARAMNOTOPTIONAL;

DBPROP BoolProperty(DBPROPID id, DBPROPOPTIONS options = DBPROPOPTIONS_OPTIONAL) {
    DBPROP p{};
    p.dwPropertyID = id;
    p.dwOptions = options;
    p.colid = DB_NULLID;
    p.vValue.vt = VT_BOOL;
    p.vValue.boolVal = VARIANT_TRUE;
    return p;
}

TEST(CommandText, DialectsAndRoundTrip) {
    CommandHarness h;
    ComPtr<ICommandText> command = h.NewCommand();
    GUID dialect = GUID_NULL;
    wchar_t* text = nullptr;
    EXPECT_EQ(command->GetCommandText(&dialect, &text), DB_E_NOCOMMAND);
    EXPECT_TRUE(TakePostedError().present);
    EXPECT_EQ(command->Execute(nullptr, IID_IRowset, nullptr, nullptr, nullptr), DB_E_NOCOMMAND);
    EXPECT_NE(TakePostedError().description.find(L"no command text"), std::wstring::npos);

    const GUID other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(command->SetCommandText(other, L"SELECT 1"), DB_E_DIALECTNOTSUPPORTED);
    EXPECT_NE(TakePostedError().description.find(L"dialect"), std::wstring::npos);
    EXPECT_EQ(command->SetCommandText(DBGUID_SQL, L"SELECT 1"), S_OK);
    ASSERT_EQ(command->GetCommandText(&dialect, &text), S_OK);
    EXPECT_STREQ(text, L"SELECT 1");
    EXPECT_EQ(dialect, DBGUID_SQL);
    CoTaskMemFree(text);

    // The command answers ICommand and ICommandProperties, and refuses aggregation.
    ComPtr<ICommand> plain;
    EXPECT_EQ(command.As(&plain), S_OK);
    ComPtr<ICommandProperties> properties;
    EXPECT_EQ(command.As(&properties), S_OK);
    IUnknown* rowset = nullptr;
    EXPECT_EQ(command->Execute(plain.Get(), IID_IRowset, nullptr, nullptr, &rowset),
              provider::DB_E_NOAGGREGATION);
    EXPECT_EQ(rowset, nullptr);
    EXPECT_TRUE(TakePostedError().present);

    // Blank text holds no statement.
    ASSERT_EQ(command->SetCommandText(DBGUID_DEFAULT, L"  -- nothing\n ; "), S_OK);
    EXPECT_EQ(command->Execute(nullptr, IID_IRowset, nullptr, nullptr, &rowset), DB_E_NOCOMMAND);
    EXPECT_TRUE(TakePostedError().present);
}

TEST(CommandProperties, TheConsumersFourAreTakenOthersRefused) {
    CommandHarness h;
    ComPtr<ICommandText> command = h.NewCommand();
    ComPtr<ICommandProperties> properties;
    ASSERT_EQ(command.As(&properties), S_OK);
    DBPROP four[4] = {BoolProperty(DBPROP_CANSCROLLBACKWARDS),
                      BoolProperty(DBPROP_CANFETCHBACKWARDS),
                      BoolProperty(DBPROP_ISequentialStream), BoolProperty(DBPROP_IStream)};
    DBPROPSET set{four, 4, DBPROPSET_ROWSET};
    EXPECT_EQ(properties->SetProperties(1, &set), S_OK);
    for (const DBPROP& p : four)
        EXPECT_EQ(p.dwStatus, DBPROPSTATUS_OK);

    DBPROP mixed[2] = {BoolProperty(DBPROP_IStream), BoolProperty(0x7777)};
    DBPROPSET mixedSet{mixed, 2, DBPROPSET_ROWSET};
    EXPECT_EQ(properties->SetProperties(1, &mixedSet), DB_S_ERRORSOCCURRED);
    EXPECT_EQ(mixed[0].dwStatus, DBPROPSTATUS_OK);
    EXPECT_EQ(mixed[1].dwStatus, DBPROPSTATUS_NOTSUPPORTED);

    DBPROP unknown[2] = {BoolProperty(0x7777, DBPROPOPTIONS_REQUIRED),
                         BoolProperty(DBPROP_BOOKMARKS, DBPROPOPTIONS_REQUIRED)};
    DBPROPSET unknownSet{unknown, 2, DBPROPSET_ROWSET};
    EXPECT_EQ(properties->SetProperties(1, &unknownSet), DB_E_ERRORSOCCURRED);
    EXPECT_EQ(unknown[1].dwStatus, DBPROPSTATUS_NOTSUPPORTED);
    EXPECT_NE(TakePostedError().description.find(L"0x7777"), std::wstring::npos);
    DBPROP wrongType = BoolProperty(DBPROP_IStream);
    wrongType.vValue.vt = VT_I4;
    DBPROPSET wrongSet{&wrongType, 1, DBPROPSET_ROWSET};
    EXPECT_EQ(properties->SetProperties(1, &wrongSet), DB_E_ERRORSOCCURRED);
    EXPECT_EQ(wrongType.dwStatus, DBPROPSTATUS_BADVALUE);
    TakePostedError();

    // The rowset reports the stream properties the consumer asks about.
    ASSERT_EQ(command->SetCommandText(DBGUID_DEFAULT, L"SELECT 1"), S_OK);
    IUnknown* result = nullptr;
    ASSERT_EQ(command->Execute(nullptr, IID_IRowset, nullptr, nullptr, &result), S_OK);
    ComPtr<IRowset> rowset = ComPtr<IRowset>::Attach(static_cast<IRowset*>(result));
    ComPtr<IRowsetInfo> info;
    ASSERT_EQ(rowset.As(&info), S_OK);
    DBPROPID ids[3] = {DBPROP_ISequentialStream, DBPROP_IStream, 0x7777};
    DBPROPIDSET idSet{ids, 3, DBPROPSET_ROWSET};
    ULONG count = 0;
    DBPROPSET* sets = nullptr;
    ASSERT_EQ(info->GetProperties(1, &idSet, &count, &sets), DB_S_ERRORSOCCURRED);
    ASSERT_EQ(count, 1u);
    ASSERT_EQ(sets[0].cProperties, 3u);
    EXPECT_EQ(sets[0].rgProperties[0].vValue.vt, VT_BOOL);
    EXPECT_EQ(sets[0].rgProperties[0].vValue.boolVal, VARIANT_TRUE);
    EXPECT_EQ(sets[0].rgProperties[1].vValue.boolVal, VARIANT_TRUE);
    EXPECT_EQ(sets[0].rgProperties[2].dwStatus, DBPROPSTATUS_NOTSUPPORTED);
    CoTaskMemFree(sets[0].rgProperties);
    CoTaskMemFree(sets);
}

TEST(CommandExecute, StatementsWithoutResultsReportRowsAffected) {
    CommandHarness h;
    ComPtr<IRowset> rowset;
    DBROWCOUNT affected = 0;
    ASSERT_EQ(h.Execute(L"CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT)", &rowset, &affected),
              S_OK);
    EXPECT_FALSE(rowset);
    EXPECT_EQ(affected, -1) << "DDL changes no rows";
    ASSERT_EQ(h.Execute(L"INSERT INTO t(name) VALUES ('a'), ('b'), ('c')", &rowset, &affected),
              S_OK);
    EXPECT_FALSE(rowset);
    EXPECT_EQ(affected, 3);
    ASSERT_EQ(h.Execute(L"UPDATE t SET name = 'x' WHERE id > 1", &rowset, &affected), S_OK);
    EXPECT_EQ(affected, 2);
    ASSERT_EQ(h.Execute(L"UPDATE t SET name = 'y' WHERE id > 100", &rowset, &affected), S_OK);
    EXPECT_EQ(affected, 0);
    ASSERT_EQ(h.Execute(L"DELETE FROM t WHERE id = 1", &rowset, &affected), S_OK);
    EXPECT_EQ(affected, 1);
    ASSERT_EQ(h.Execute(L"DROP TABLE t", &rowset, &affected), S_OK);
    EXPECT_EQ(affected, -1);
}

TEST(CommandExecute, SeveralStatementsRunInOrderAndTheLastGivesTheResult) {
    CommandHarness h;
    ComPtr<IRowset> rowset;
    ASSERT_EQ(h.Execute(L"CREATE TABLE a(x INTEGER); INSERT INTO a VALUES (1); "
                        L"SELECT 'ignored'; INSERT INTO a VALUES (2);\n"
                        L"SELECT x FROM a ORDER BY x; -- done\n",
                        &rowset),
              S_OK);
    ASSERT_TRUE(rowset);
    const auto rows = ReadRemaining(rowset.Get());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], L"2");

    // A failing statement stops the text; the ones before it have run.
    DBROWCOUNT affected = 0;
    EXPECT_EQ(h.Execute(L"INSERT INTO a VALUES (3); INSERT INTO nowhere VALUES (4); "
                        L"INSERT INTO a VALUES (5)",
                        nullptr, &affected),
              DB_E_NOTABLE);
    const PostedError e = TakePostedError();
    EXPECT_NE(e.description.find(L"INSERT INTO nowhere VALUES (4)"), std::wstring::npos)
        << e.description;
    EXPECT_EQ(e.sqlState, L"42S02");
    ASSERT_EQ(h.Execute(L"SELECT count(*), max(x) FROM a", &rowset), S_OK);
    const auto count = ReadRemaining(rowset.Get());
    EXPECT_EQ(count[0][0], L"3");
    EXPECT_EQ(count[0][1], L"3");

    // A query whose rows nobody asked for runs without error and gives nothing.
    ComPtr<ICommandText> command = h.NewCommand();
    ASSERT_EQ(command->SetCommandText(DBGUID_DEFAULT, L"SELECT x FROM a"), S_OK);
    EXPECT_EQ(command->Execute(nullptr, IID_IRowset, nullptr, nullptr, nullptr), S_OK);
    IUnknown* none = nullptr;
    EXPECT_EQ(command->Execute(nullptr, GUID_NULL, nullptr, nullptr, &none), S_OK);
    EXPECT_EQ(none, nullptr);
}

TEST(CommandErrors, RecordsCarryTheStatementSqlStateAndSqliteCode) {
    CommandHarness h;
    h.Sql(
        "CREATE TABLE parts(id INTEGER PRIMARY KEY, code TEXT UNIQUE NOT NULL);"
        "INSERT INTO parts VALUES (1, 'A');");
    struct Case {
        const wchar_t* sql;
        HRESULT hr;
        const wchar_t* state;
        int native;
        const wchar_t* words;
    } cases[] = {
        {L"SELEKT * FROM parts", DB_E_ERRORSINCOMMAND, L"42000", SQLITE_ERROR, L"syntax error"},
        {L"SELECT * FROM missing_table", DB_E_NOTABLE, L"42S02", SQLITE_ERROR,
         L"no such table: missing_table"},
        {L"SELECT nope FROM parts", DB_E_ERRORSINCOMMAND, L"42S22", SQLITE_ERROR,
         L"no such column: nope"},
        {L"INSERT INTO parts VALUES (2, 'A')", DB_E_INTEGRITYVIOLATION, L"23000",
         SQLITE_CONSTRAINT_UNIQUE, L"UNIQUE constraint failed: parts.code"},
        {L"INSERT INTO parts VALUES (3, NULL)", DB_E_INTEGRITYVIOLATION, L"23000",
         SQLITE_CONSTRAINT_NOTNULL, L"parts.code"},
    };
    for (const Case& c : cases) {
        ComPtr<IRowset> rowset;
        EXPECT_EQ(h.Execute(c.sql, &rowset), c.hr) << c.sql;
        EXPECT_FALSE(rowset);
        const PostedError e = TakePostedError();
        ASSERT_TRUE(e.present) << c.sql;
        EXPECT_EQ(e.hr, c.hr);
        EXPECT_EQ(e.sqlState, c.state) << c.sql;
        EXPECT_EQ(e.nativeError, c.native) << c.sql;
        EXPECT_NE(e.description.find(c.words), std::wstring::npos) << e.description;
        EXPECT_NE(e.description.find(c.sql), std::wstring::npos)
            << "the statement is named: " << e.description;
    }
    // Parameters have no values here.
    EXPECT_EQ(h.Execute(L"SELECT * FROM parts WHERE id = ?", nullptr), DB_E_PARAMNOTOPTIONAL);
    EXPECT_NE(TakePostedError().description.find(L"parameter"), std::wstring::npos);
}

TEST(CommandRowset, AnswersItsInterfacesAndRefusesChanges) {
    CommandHarness h;
    h.Sql("CREATE TABLE t(n INTEGER); INSERT INTO t VALUES (1);");
    ComPtr<IRowset> rowset;
    ASSERT_EQ(h.Execute(L"SELECT n FROM t", &rowset), S_OK);
    ComPtr<IAccessor> accessor;
    ComPtr<IColumnsInfo> columns;
    ComPtr<IRowsetInfo> info;
    ComPtr<IRowsetChange> change;
    EXPECT_EQ(rowset.As(&accessor), S_OK);
    EXPECT_EQ(rowset.As(&columns), S_OK);
    EXPECT_EQ(rowset.As(&info), S_OK);
    ASSERT_EQ(rowset.As(&change), S_OK);
    HROW row = 0;
    EXPECT_EQ(change->InsertRow(DB_NULL_HCHAPTER, 0, nullptr, &row), DB_E_NOTSUPPORTED);
    const PostedError e = TakePostedError();
    EXPECT_NE(e.description.find(L"SELECT n FROM t"), std::wstring::npos) << e.description;
    EXPECT_NE(e.description.find(L"UPDATE"), std::wstring::npos) << e.description;
}

}  // namespace
}  // namespace vorn::test
