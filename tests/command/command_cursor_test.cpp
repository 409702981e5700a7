// The row cursor on the fake provider: moves both ways, the state machine around the start
// and the end of the rowset, rows and values given back, and the retry that switches long
// columns from streams to by-reference values.
#include <gtest/gtest.h>

#include "support/fake_connection.h"
#include "vornoledb/command.h"

using namespace vorn::test::fake;

namespace {

class CursorTest : public ::testing::Test {
  protected:
    // Runs a command over table on the fake connection.
    void Run(std::shared_ptr<Table> table) {
        fake.ReturnRows(std::move(table));
        command.SetConnection(&fake.connection);
        command.SetCommandText(L"SELECT id FROM t");
        ASSERT_EQ(VornOleDbCommand::dbOK, command.Execute());
    }
    size_t Fetches() const { return fake.provider->stats.fetches.size(); }
    long Id() { return command.FieldAsLong(1); }

    FakeConnection fake;
    VornOleDbCommand command;
};

TEST_F(CursorTest, OneRowThenEndWithoutAskingTheProviderAgain) {
    Run(NumberTable(L"id", 1));
    EXPECT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(1, Id());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchNext());
    EXPECT_FALSE(command.HasErrorInfo());  // end of rowset carries no error record
    const size_t before = Fetches();
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchNext());
    EXPECT_EQ(before, Fetches());
    EXPECT_EQ(VornOleDbCommand::dbOK, command.FetchFirst());
    EXPECT_EQ(1, Id());
}

TEST_F(CursorTest, SkipIsIgnoredOnTheFirstFetchAndUsedAfterwards) {
    Run(NumberTable(L"id", 10));
    EXPECT_EQ(VornOleDbCommand::dbOK, command.FetchNext(5));
    EXPECT_EQ(1, Id());
    EXPECT_EQ(VornOleDbCommand::dbOK, command.FetchNext(5));
    EXPECT_EQ(7, Id());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchNext(5));
}

TEST_F(CursorTest, FetchPrevOnTheFirstRowPutsTheCursorBeforeIt) {
    Run(NumberTable(L"id", 3));
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchPrev());
    const size_t before = Fetches();
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchPrev());  // at once
    EXPECT_EQ(before, Fetches());
    EXPECT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(1, Id());
    EXPECT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(2, Id());
}

TEST_F(CursorTest, WalksForwardToTheEndAndBackToTheStart) {
    Run(NumberTable(L"id", 5));
    std::vector<long> seen;
    while (command.FetchNext() == VornOleDbCommand::dbOK)
        seen.push_back(Id());
    while (command.FetchPrev() == VornOleDbCommand::dbOK)
        seen.push_back(Id());
    EXPECT_EQ((std::vector<long>{1, 2, 3, 4, 5, 5, 4, 3, 2, 1}), seen);
    // Before the first row again: the next FetchNext gives row 1.
    EXPECT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(1, Id());
}

TEST_F(CursorTest, FetchLastThenBackwardAndForward) {
    Run(NumberTable(L"id", 5));
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchLast());
    EXPECT_EQ(5, Id());
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchPrev());
    EXPECT_EQ(4, Id());
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(5, Id());

    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchLast());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchNext());  // never the last row twice
    EXPECT_EQ(VornOleDbCommand::dbOK, command.FetchPrev());
    EXPECT_EQ(5, Id());
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchFirst());
    EXPECT_EQ(1, Id());
}

TEST_F(CursorTest, EmptyRowsetAnswersFalseEverywhere) {
    Run(NumberTable(L"id", 0));
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchNext());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchPrev());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchFirst());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchLast());
    EXPECT_EQ(1u, command.GetColumnCount());
}

TEST_F(CursorTest, BookmarkColumnIsNeitherCountedNorAddressable) {
    auto table = std::make_shared<Table>();
    table->columns = {BookmarkColumn(), MakeColumn(L"id", DBTYPE_I4, 4),
                      MakeColumn(L"name", DBTYPE_WSTR, 10)};
    table->rows = {{Cell::Of<int32_t>(900), Cell::Of<int32_t>(7), Cell::Wide(L"seven")}};
    Run(table);
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(2u, command.GetColumnCount());
    EXPECT_EQ(L"id", command.GetColumnName(1));
    EXPECT_EQ(7, command.FieldAsLong(1));
    EXPECT_EQ(L"seven", command.FieldAsString(2));
    EXPECT_EQ(L"", command.FieldAsString(3));
    EXPECT_EQ(VornOleDbCommand::dbError, command.IsNull(0));
    EXPECT_EQ(2u, command.GetColumnIndex(L"NAME"));
}

TEST_F(CursorTest, ProviderFailureReadingARowEndsTheWalkWithItsErrorText) {
    auto table = NumberTable(L"id", 3);
    table->getDataResults[1] = E_FAIL;
    Run(table);
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchNext());
    EXPECT_NE(std::wstring::npos, command.GetErrorText().find(L"Reading row 2 failed."));
    EXPECT_EQ(0, fake.provider->stats.outstandingRows);  // the failed row was given back
    EXPECT_EQ(VornOleDbCommand::dbOK, command.FetchPrev());
    EXPECT_EQ(1, Id());
    EXPECT_FALSE(command.HasErrorInfo());
}

TEST_F(CursorTest, RestartFailureIsRecorded) {
    auto table = NumberTable(L"id", 3);
    table->restartPositionResult = E_UNEXPECTED;
    Run(table);
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchFirst());
    EXPECT_NE(std::wstring::npos, command.GetErrorText().find(L"cannot restart"));
}

TEST_F(CursorTest, ValuesHandedOverWithARowAreGivenBack) {
    auto table = std::make_shared<Table>();
    table->columns = {MakeColumn(L"chapter", DBTYPE_HCHAPTER, sizeof(HCHAPTER)),
                      MakeColumn(L"object", DBTYPE_IUNKNOWN, sizeof(void*)),
                      MakeColumn(L"text", DBTYPE_BSTR, sizeof(BSTR)),
                      MakeColumn(L"variant", DBTYPE_VARIANT, sizeof(VARIANT)),
                      MakeColumn(L"memo", DBTYPE_WSTR, 100000)};
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(L"inside a variant");
    for (HCHAPTER h : {HCHAPTER(7), HCHAPTER(8)})
        table->rows.push_back({Cell::Of<HCHAPTER>(h),
                               Cell::Object(fake.provider->MakeObject().Get()), Cell::Wide(L"bstr"),
                               Cell::Variant(v), Cell::Wide(L"long text")});
    VariantClear(&v);
    Run(table);
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(L"bstr", command.FieldAsString(3));
    EXPECT_EQ(L"inside a variant", command.FieldAsString(4));
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(std::vector<HCHAPTER>{7}, fake.provider->stats.releasedChapters);
    command.Close();
    EXPECT_EQ((std::vector<HCHAPTER>{7, 8}), fake.provider->stats.releasedChapters);
    EXPECT_EQ(0, fake.provider->stats.outstandingRows);
    EXPECT_EQ(0, fake.provider->stats.liveRowsets);
    table.reset();
    fake.provider->onExecute = nullptr;
    // Only the table's own references remain: none once it is gone.
    EXPECT_EQ(0, fake.provider->stats.liveObjects);
}

// A table whose long text column cannot be delivered as a stream.
std::shared_ptr<Table> RefusedStreamTable() {
    auto table = std::make_shared<Table>();
    table->columns = {MakeColumn(L"id", DBTYPE_I4, 4), MakeColumn(L"memo", DBTYPE_WSTR, 100000)};
    table->columns[1].refuseStream = true;
    table->rows = {{Cell::Of<int32_t>(1), Cell::Wide(L"first memo")},
                   {Cell::Of<int32_t>(2), Cell::Wide(L"second memo")}};
    return table;
}

std::wstring BlobText(VornOleDbCommand& command, unsigned long column) {
    CHeapPtr<unsigned char, CCRTAllocator> block;
    unsigned long n = command.GetBlobData(column, block);
    return std::wstring(reinterpret_cast<const wchar_t*>(block.m_pData), n / sizeof(wchar_t));
}

TEST_F(CursorTest, RefusedStreamOnTheFirstRowReExecutesByReference) {
    command.SetBlobHandling(DBBLOBHANDLING_DEFAULT);
    Run(RefusedStreamTable());
    EXPECT_EQ(DBTYPE_IUNKNOWN, command.GetRawType(2));
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(2u, fake.provider->executed.size());
    EXPECT_EQ(DBTYPE_WSTR | DBTYPE_BYREF, command.GetRawType(2));
    EXPECT_EQ(1, command.FieldAsLong(1));
    EXPECT_EQ(L"first memo", BlobText(command, 2));
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(2, command.FieldAsLong(1));
    EXPECT_EQ(L"second memo", BlobText(command, 2));
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchNext());
    EXPECT_EQ(1, fake.provider->stats.liveRowsets);

    // The switch lasts: the next execution binds by reference at once.
    command.Close();
    ASSERT_EQ(VornOleDbCommand::dbOK, command.Execute());
    EXPECT_EQ(DBTYPE_WSTR | DBTYPE_BYREF, command.GetRawType(2));
}

TEST_F(CursorTest, RefusedStreamRetriedByFetchFirstToo) {
    command.SetBlobHandling(DBBLOBHANDLING_DEFAULT);
    Run(RefusedStreamTable());
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchFirst());
    EXPECT_EQ(L"first memo", BlobText(command, 2));
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(2, command.FieldAsLong(1));
}

TEST_F(CursorTest, FailedReExecutionKeepsItsErrorText) {
    command.SetBlobHandling(DBBLOBHANDLING_DEFAULT);
    auto table = RefusedStreamTable();
    int calls = 0;
    fake.provider->onExecute = [&](const std::wstring&) {
        return ++calls == 1 ? Outcome::Rows(table)
                            : Outcome::Failure(E_FAIL, L"The table t was dropped.", L"42S02");
    };
    command.SetConnection(&fake.connection);
    command.SetCommandText(L"SELECT * FROM t");
    ASSERT_EQ(VornOleDbCommand::dbOK, command.Execute());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchNext());
    EXPECT_NE(std::wstring::npos, command.GetErrorText().find(L"The table t was dropped."));
    EXPECT_EQ(L"SELECT * FROM t", command.GetErrorStatement());
    EXPECT_FALSE(command.HasResults());
}

TEST_F(CursorTest, NoRetryWhenAlreadyByReference) {
    auto table = NumberTable(L"id", 2);
    table->rows[0][0] = Cell::Status(DBSTATUS_E_UNAVAILABLE);
    Run(table);
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchNext());
    EXPECT_EQ(1u, fake.provider->executed.size());
    EXPECT_EQ(VornOleDbCommand::dbFalse, command.FetchNext());  // at end
}

}  // namespace
