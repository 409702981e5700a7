// Execute on the fake provider: what the provider is asked, failures and their error
// information, the binding of the columns into the row buffer, release of a result, and
// the calls the class makes to its own operations through the virtual table.
#include <gtest/gtest.h>

#include "support/fake_connection.h"
#include "vornoledb/command.h"

using namespace vorn::test::fake;

namespace {

class ExecuteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        command.SetConnection(&fake.connection);
        command.SetCommandText(L"SELECT * FROM parts");
    }
    FakeConnection fake;
    VornOleDbCommand command;
};

TEST(CommandTest, NewCommandHasNothingToGive) {
    VornOleDbCommand command;
    EXPECT_EQ(0u, command.GetColumnCount());
    EXPECT_FALSE(command.HasResults());
    EXPECT_FALSE(command.IsConnected());
    EXPECT_EQ(nullptr, command.GetConnection());
    EXPECT_EQ(VornOleDbCommand::dbError, command.FetchNext());
    EXPECT_EQ(VornOleDbCommand::dbError, command.FetchPrev());
    EXPECT_EQ(VornOleDbCommand::dbError, command.FetchFirst());
    EXPECT_EQ(VornOleDbCommand::dbError, command.FetchLast());
    EXPECT_EQ(0u, command.GetColumnIndex(L"id"));
    EXPECT_EQ(0, command.GetRowsAffected());
    EXPECT_EQ(L"", command.FieldAsString(1));
}

TEST_F(ExecuteTest, RefusedWithoutConnectionTextOrOpenSessionLeavingErrorsAlone) {
    command.SetErrorInfo(L"earlier failure", L"earlier statement");
    command.SetCommandText(nullptr);
    EXPECT_EQ(VornOleDbCommand::dbError, command.Execute());
    command.SetCommandText(L"SELECT 1");
    command.SetConnection(nullptr);
    EXPECT_EQ(VornOleDbCommand::dbError, command.Execute());
    VornOleDbConnection closed;
    command.SetConnection(&closed);
    EXPECT_EQ(VornOleDbCommand::dbError, command.Execute());
    EXPECT_EQ(L"earlier failure", command.GetErrorText());
    EXPECT_EQ(L"earlier statement", command.GetErrorStatement());
    EXPECT_TRUE(fake.provider->executed.empty());
}

TEST_F(ExecuteTest, AsksForScrollingAndStreamsAsOptionalRowsetProperties) {
    fake.ReturnRows(NumberTable(L"id", 1));
    ASSERT_EQ(VornOleDbCommand::dbOK, command.Execute());
    EXPECT_EQ(std::vector<std::wstring>{L"SELECT * FROM parts"}, fake.provider->executed);
    const auto& props = fake.provider->commandProperties;
    ASSERT_EQ(4u, props.size());
    const DBPROPID ids[4] = {DBPROP_CANSCROLLBACKWARDS, DBPROP_CANFETCHBACKWARDS,
                             DBPROP_ISequentialStream, DBPROP_IStream};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(ids[i], props[i].id);
        EXPECT_TRUE(props[i].set == DBPROPSET_ROWSET);
        EXPECT_EQ(DBPROPOPTIONS_OPTIONAL, props[i].options);
        EXPECT_EQ(VT_BOOL, props[i].vt);
        EXPECT_EQ(VARIANT_TRUE, props[i].boolValue);
    }
    EXPECT_TRUE(command.HasResults());
    EXPECT_TRUE(command.IsConnected());
}

TEST_F(ExecuteTest, RefusedOptionalPropertiesDoNotStopTheCommand) {
    fake.provider->setCommandPropertiesResult = DB_S_ERRORSOCCURRED;
    fake.ReturnRows(NumberTable(L"id", 1));
    EXPECT_EQ(VornOleDbCommand::dbOK, command.Execute());
    fake.provider->setCommandPropertiesResult = DB_E_ERRORSOCCURRED;
    EXPECT_EQ(VornOleDbCommand::dbError, command.Execute());
    EXPECT_EQ(1u, fake.provider->executed.size());
}

TEST_F(ExecuteTest, FailureRecordsTheProviderTextAndTheStatement) {
    fake.provider->onExecute = [](const std::wstring&) {
        return Outcome::Failure(DB_E_NOTABLE, L"no such table: parts", L"42S02");
    };
    EXPECT_EQ(VornOleDbCommand::dbError, command.Execute());
    EXPECT_NE(std::wstring::npos, command.GetErrorText().find(L"no such table: parts"));
    EXPECT_NE(std::wstring::npos, command.GetErrorText().find(L"SQLState: 42S02"));
    EXPECT_EQ(L"SELECT * FROM parts", command.GetErrorStatement());
    const std::wstring full = command.GetErrorInfo(true);
    EXPECT_EQ(command.GetErrorText() + L"\nSELECT * FROM parts", full);
    EXPECT_FALSE(command.HasResults());
    EXPECT_EQ(VornOleDbCommand::dbError, command.FetchNext());

    // A later success clears it.
    fake.ReturnRows(NumberTable(L"id", 1));
    EXPECT_EQ(VornOleDbCommand::dbOK, command.Execute());
    EXPECT_FALSE(command.HasErrorInfo());
    EXPECT_EQ(L"", command.GetErrorStatement());
}

TEST_F(ExecuteTest, SuccessCodeWithoutRowsetIsAFailure) {
    fake.provider->onExecute = [](const std::wstring&) {
        Outcome o = Outcome::Affected(2);
        o.hr = DB_S_ERRORSOCCURRED;
        return o;
    };
    EXPECT_EQ(VornOleDbCommand::dbError, command.Execute());
    EXPECT_EQ(L"SELECT * FROM parts", command.GetErrorStatement());
}

TEST_F(ExecuteTest, StatementWithoutRows) {
    fake.provider->onExecute = [](const std::wstring&) { return Outcome::Affected(3); };
    command.SetCommandText(L"UPDATE parts SET qty = 0");
    ASSERT_EQ(VornOleDbCommand::dbOK, command.Execute());
    EXPECT_FALSE(command.HasResults());
    EXPECT_EQ(3, command.GetRowsAffected());
    EXPECT_EQ(0u, command.GetColumnCount());
    EXPECT_EQ(VornOleDbCommand::dbError, command.FetchNext());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchPrev());
    EXPECT_EQ(VornOleDbCommand::dbError, command.FetchFirst());
    EXPECT_EQ(VornOleDbCommand::dbError, command.FetchLast());
    EXPECT_EQ(L"", command.FieldAsString(1));
}

TEST_F(ExecuteTest, BindFailureKeepsTheRowsetUntilTheNextExecuteOrClose) {
    auto broken = NumberTable(L"id", 2);
    broken->createAccessorResult = E_OUTOFMEMORY;
    fake.ReturnRows(broken);
    EXPECT_EQ(VornOleDbCommand::dbError, command.Execute());
    EXPECT_NE(std::wstring::npos, command.GetErrorText().find(L"accessor was refused"));
    EXPECT_TRUE(command.HasResults());
    EXPECT_EQ(VornOleDbCommand::dbError, command.FetchNext());
    EXPECT_EQ(L"", command.FieldAsString(1));

    auto noInfo = NumberTable(L"id", 2);
    noInfo->getColumnInfoResult = E_FAIL;
    fake.ReturnRows(noInfo);
    EXPECT_EQ(VornOleDbCommand::dbError, command.Execute());
    EXPECT_EQ(1, fake.provider->stats.liveRowsets);
    command.Close();
    EXPECT_EQ(0, fake.provider->stats.liveRowsets);
}

TEST_F(ExecuteTest, NextExecuteAndDestructionReleaseEverything) {
    fake.ReturnRows(NumberTable(L"id", 3));
    {
        VornOleDbCommand local;
        local.SetConnection(&fake.connection);
        local.SetCommandText(L"SELECT id FROM t");
        ASSERT_EQ(VornOleDbCommand::dbOK, local.Execute());
        ASSERT_EQ(VornOleDbCommand::dbOK, local.FetchNext());
        ASSERT_EQ(VornOleDbCommand::dbOK, local.Execute());
        ASSERT_EQ(VornOleDbCommand::dbOK, local.FetchNext());
        EXPECT_EQ(1, fake.provider->stats.liveRowsets);
        EXPECT_EQ(1, fake.provider->stats.outstandingRows);
        EXPECT_EQ(1, fake.provider->stats.accessorsReleased);
    }
    const Stats& s = fake.provider->stats;
    EXPECT_EQ(0, s.liveRowsets);
    EXPECT_EQ(0, s.liveCommands);
    EXPECT_EQ(0, s.outstandingRows);
    EXPECT_EQ(s.accessorsCreated, s.accessorsReleased);
}

TEST_F(ExecuteTest, CloseKeepsTextConnectionCountsAndAllowsNewBlobHandling) {
    fake.ReturnRows(NumberTable(L"id", 3));
    ASSERT_EQ(VornOleDbCommand::dbOK, command.Execute());
    EXPECT_FALSE(command.SetBlobHandling(DBBLOBHANDLING_SKIP));
    EXPECT_EQ(1u, command.GetColumnCount());
    command.Close();
    command.Close();
    EXPECT_FALSE(command.HasResults());
    EXPECT_EQ(1u, command.GetColumnCount());
    EXPECT_EQ(&fake.connection, command.GetConnection());
    EXPECT_EQ(VornOleDbCommand::dbError, command.FetchNext());
    EXPECT_TRUE(command.SetBlobHandling(DBBLOBHANDLING_SKIP));
    EXPECT_EQ(VornOleDbCommand::dbOK, command.Execute());
    EXPECT_EQ(L"SELECT * FROM parts", fake.provider->executed.back());
}

// Offsets and sizes of every part the provider was given, per column.
TEST_F(ExecuteTest, BindsEachColumnBySizeAndLongColumnsByMode) {
    auto table = std::make_shared<Table>();
    table->columns = {
        MakeColumn(L"i2", DBTYPE_I2, 2),           MakeColumn(L"w", DBTYPE_WSTR, 10),
        MakeColumn(L"s", DBTYPE_STR, 5),           MakeColumn(L"r", DBTYPE_R8, 8),
        MakeColumn(L"zero", DBTYPE_I4, 0),         MakeColumn(L"memo", DBTYPE_WSTR, 8001),
        MakeColumn(L"ole", DBTYPE_BYTES, 1 << 30), MakeColumn(L"obj", DBTYPE_IUNKNOWN, 99999)};
    table->rows = {{Cell::Of<int16_t>(1), Cell::Wide(L"w"), Cell::Narrow("s"), Cell::Of(2.0),
                    Cell::Of<int32_t>(-42), Cell::Wide(L"memo"), Cell::Binary(3, 1), Cell::Null()}};
    table->answersSequentialStream = false;
    table->answersIStream = true;
    table->streamsOfferIStream = true;
    fake.ReturnRows(table);
    const Stats& s = fake.provider->stats;
    struct Mode {
        DBBLOBHANDLINGENUM mode;
        DBTYPE memo;
        DBTYPE ole;
        bool value;
    };
    for (Mode m : {Mode{DBBLOBHANDLING_NOSTREAMS, DBTYPE_WSTR | DBTYPE_BYREF,
                        DBTYPE_BYTES | DBTYPE_BYREF, true},
                   Mode{DBBLOBHANDLING_DEFAULT, DBTYPE_IUNKNOWN, DBTYPE_IUNKNOWN, true},
                   Mode{DBBLOBHANDLING_SKIP, DBTYPE_WSTR, DBTYPE_BYTES, false}}) {
        SCOPED_TRACE(m.mode);
        command.Close();
        ASSERT_TRUE(command.SetBlobHandling(m.mode));
        ASSERT_EQ(VornOleDbCommand::dbOK, command.Execute());
        ASSERT_EQ(8u, s.lastBindings.size());
        EXPECT_EQ(10u * sizeof(wchar_t) + sizeof(wchar_t), s.lastBindings[1].cbMaxLen);
        EXPECT_EQ(6u, s.lastBindings[2].cbMaxLen);
        EXPECT_GE(s.lastBindings[4].cbMaxLen, 4u);
        EXPECT_EQ(m.memo, s.lastBindings[5].wType);
        EXPECT_EQ(m.ole, s.lastBindings[6].wType);
        EXPECT_EQ(m.memo, command.GetRawType(6));
        EXPECT_EQ(m.value, (s.lastBindings[5].dwPart & DBPART_VALUE) != 0);
        // A short or long object column is always an object of IUnknown.
        EXPECT_EQ(DBTYPE_IUNKNOWN, s.lastBindings[7].wType);
        ASSERT_TRUE(s.lastBindingObjects[7].has_value());
        EXPECT_TRUE(*s.lastBindingObjects[7] == IID_IUnknown);
        if (m.mode == DBBLOBHANDLING_DEFAULT) {
            ASSERT_TRUE(s.lastBindingObjects[5].has_value());
            EXPECT_TRUE(*s.lastBindingObjects[5] == IID_IStream);
        }
        ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
        EXPECT_EQ(-42, command.FieldAsLong(5));
        EXPECT_EQ(L"2.000000", command.FieldAsString(4));
        EXPECT_EQ(L"w", command.FieldAsString(2));
    }
}

// Replaces some operations to see that the class reaches them through the virtual table.
// Derived as a host would derive: the command's destructor is not virtual.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class CountingCommand : public VornOleDbCommand {
  public:
    using VornOleDbCommand::FetchNext;
    unsigned long GetColumnCount() override {
        ++countCalls;
        return VornOleDbCommand::GetColumnCount() + extraColumns;
    }
    dbStatus FetchNext(int skip) override {
        lastSkip = skip;
        return VornOleDbCommand::FetchNext(skip);
    }
    std::wstring FieldAsString(unsigned long) override { return L"replaced \t "; }
    dbStatus Execute() override {
        ++executeCalls;
        return VornOleDbCommand::Execute();
    }
    int countCalls = 0;
    int executeCalls = 0;
    int lastSkip = -1;
    unsigned long extraColumns = 0;
};
#pragma GCC diagnostic pop

TEST_F(ExecuteTest, OwnOperationsAreCalledThroughTheVirtualTable) {
    CountingCommand derived;
    auto table = std::make_shared<Table>();
    table->columns = {MakeColumn(L"id", DBTYPE_I4, 4), MakeColumn(L"memo", DBTYPE_WSTR, 9000)};
    table->columns[1].refuseStream = true;
    table->rows = {{Cell::Of<int32_t>(1), Cell::Wide(L"memo")}};
    fake.ReturnRows(table);
    derived.SetConnection(&fake.connection);
    derived.SetCommandText(L"SELECT * FROM t");
    derived.SetBlobHandling(DBBLOBHANDLING_DEFAULT);
    ASSERT_EQ(VornOleDbCommand::dbOK, derived.Execute());
    ASSERT_EQ(VornOleDbCommand::dbOK, derived.FetchNext());
    EXPECT_EQ(0, derived.lastSkip);
    EXPECT_EQ(2, derived.executeCalls);  // the retry re-executed through the table
    EXPECT_EQ(L"replaced", derived.FieldAsStringEx(1));

    derived.countCalls = 0;
    EXPECT_EQ(0u, derived.GetColumnIndex(L"nothing"));
    EXPECT_GE(derived.countCalls, 3);  // asked again for every column

    // A count larger than the columns the provider described reads nothing outside them.
    derived.extraColumns = 5;
    EXPECT_EQ(L"", derived.GetColumnName(6));
    EXPECT_EQ(0, derived.FieldAsLong(6));
    EXPECT_EQ(VornOleDbCommand::dbError, derived.IsNull(6));
    EXPECT_EQ(VornOleDbCommand::dbFalse, derived.IsBlob(6));
    EXPECT_EQ(VornOleDbCommand::dbError, derived.IsNumeric(6));
    EXPECT_EQ(0u, derived.GetColumnSize(6));
    EXPECT_EQ(VornOleDbCommand::dbError, derived.GetBlobData(6, nullptr, 0));
}

}  // namespace
