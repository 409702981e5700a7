// Long values read as raw bytes: by reference, through stream objects, and as wide text
// behind a pointer, into the caller's buffer or into a heap block.
#include <gtest/gtest.h>

#include "support/fake_connection.h"
#include "vornoledb/command.h"

using namespace vorn::test::fake;

namespace {

class LongDataTest : public ::testing::Test {
  protected:
    void Load(DBBLOBHANDLINGENUM mode, Column column, Cell cell, bool iStreamOnly = false) {
        table = std::make_shared<Table>();
        table->columns = {MakeColumn(L"id", DBTYPE_I4, 4), column};
        table->rows = {{Cell::Of<int32_t>(1), cell}, {Cell::Of<int32_t>(2), Cell::Null()}};
        if (iStreamOnly) {
            table->answersSequentialStream = false;
            table->answersIStream = true;
            table->streamsOfferSequential = false;
            table->streamsOfferIStream = true;
        }
        fake.ReturnRows(table);
        command.Close();
        ASSERT_TRUE(command.SetBlobHandling(mode));
        command.SetConnection(&fake.connection);
        command.SetCommandText(L"SELECT id, data FROM t");
        ASSERT_EQ(VornOleDbCommand::dbOK, command.Execute());
        ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    }

    FakeConnection fake;
    VornOleDbCommand command;
    std::shared_ptr<Table> table;
};

std::vector<BYTE> Pattern(size_t n) {
    std::vector<BYTE> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<BYTE>(i * 7 + 3);
    return bytes;
}

TEST_F(LongDataTest, ByReferenceIntoTheCallersBuffer) {
    Load(DBBLOBHANDLING_NOSTREAMS, MakeColumn(L"data", DBTYPE_BYTES, 1 << 20),
         Cell::Binary(Pattern(10)));
    unsigned char buffer[12];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(VornOleDbCommand::dbTruncated, command.GetBlobData(2, buffer, 8));
    EXPECT_EQ(0, std::memcmp(buffer, Pattern(10).data(), 8));
    EXPECT_EQ(0xEE, buffer[8]);  // no terminator
    EXPECT_EQ(VornOleDbCommand::dbOK, command.GetBlobData(2, buffer, 10));
    EXPECT_EQ(0, std::memcmp(buffer, Pattern(10).data(), 10));
    EXPECT_EQ(0xEE, buffer[10]);

    CHeapPtr<unsigned char, CCRTAllocator> block;
    block.Attach(static_cast<unsigned char*>(std::malloc(3)));  // replaced, not leaked
    EXPECT_EQ(10ul, command.GetBlobData(2, block));
    EXPECT_EQ(0, std::memcmp(block.m_pData, Pattern(10).data(), 10));

    // The next row's value is NULL.
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(VornOleDbCommand::dbNull, command.GetBlobData(2, buffer, 10));
    CHeapPtr<unsigned char, CCRTAllocator> empty;
    EXPECT_EQ(0ul, command.GetBlobData(2, empty));
    EXPECT_EQ(nullptr, empty.m_pData);
}

TEST_F(LongDataTest, StreamIntoAHeapBlockInChunks) {
    Load(DBBLOBHANDLING_DEFAULT, MakeColumn(L"data", DBTYPE_BYTES, 1 << 20),
         Cell::Binary(Pattern(25000)));
    CHeapPtr<unsigned char, CCRTAllocator> block;
    EXPECT_EQ(25000ul, command.GetBlobData(2, block));
    EXPECT_EQ((std::vector<ULONG>{10000, 10000, 5000, 0}), fake.provider->stats.streamReads);
    EXPECT_EQ(0, std::memcmp(block.m_pData, Pattern(25000).data(), 25000));
    EXPECT_EQ(1, fake.provider->stats.liveStreams);
    ASSERT_EQ(VornOleDbCommand::dbOK, command.FetchNext());
    EXPECT_EQ(0, fake.provider->stats.liveStreams);  // released with the row
}

TEST_F(LongDataTest, StreamReadsGoOnWhereTheLastStopped) {
    Load(DBBLOBHANDLING_DEFAULT, MakeColumn(L"data", DBTYPE_STR, 9000), Cell::Narrow("abcdefghij"),
         /*iStreamOnly=*/true);
    unsigned char buffer[4];
    EXPECT_EQ(VornOleDbCommand::dbOK, command.GetBlobData(2, buffer, 4));
    EXPECT_EQ(0, std::memcmp(buffer, "abcd", 4));
    CHeapPtr<unsigned char, CCRTAllocator> rest;
    EXPECT_EQ(6ul, command.GetBlobData(2, rest));
    EXPECT_EQ(0, std::memcmp(rest.m_pData, "efghij", 6));
    // Nothing left: the heap form leaves the pointer empty.
    CHeapPtr<unsigned char, CCRTAllocator> none;
    EXPECT_EQ(0ul, command.GetBlobData(2, none));
    EXPECT_EQ(nullptr, none.m_pData);
    command.Close();
    EXPECT_EQ(0, fake.provider->stats.liveStreams);
}

TEST_F(LongDataTest, StreamOfAnObjectColumnIsRefused) {
    // A long column described as a structured type becomes a stream binding that is
    // never read.
    Load(DBBLOBHANDLING_DEFAULT, MakeColumn(L"data", DBTYPE_VARIANT, 100000),
         Cell::Binary(Pattern(30)));
    unsigned char buffer[30];
    EXPECT_EQ(VornOleDbCommand::dbError, command.GetBlobData(2, buffer, 30));
    CHeapPtr<unsigned char, CCRTAllocator> block;
    EXPECT_EQ(0ul, command.GetBlobData(2, block));
    EXPECT_TRUE(fake.provider->stats.streamReads.empty());
}

TEST_F(LongDataTest, ShortAndSkippedColumnsHaveNoLongData) {
    Load(DBBLOBHANDLING_NOSTREAMS, MakeColumn(L"data", DBTYPE_BYTES, 16),
         Cell::Binary(Pattern(16)));
    unsigned char buffer[16];
    CHeapPtr<unsigned char, CCRTAllocator> block;
    EXPECT_EQ(VornOleDbCommand::dbOK, command.IsBlob(2));
    EXPECT_EQ(VornOleDbCommand::dbError, command.GetBlobData(2, buffer, 16));
    EXPECT_EQ(0ul, command.GetBlobData(2, block));
    EXPECT_EQ(VornOleDbCommand::dbError, command.GetBlobData(1, buffer, 16));
    EXPECT_EQ(VornOleDbCommand::dbError, command.GetBlobData(3, buffer, 16));

    Load(DBBLOBHANDLING_SKIP, MakeColumn(L"data", DBTYPE_BYTES, 100000), Cell::Binary(Pattern(50)));
    EXPECT_EQ(50ul, command.GetColumnSize(2));
    EXPECT_EQ(VornOleDbCommand::dbError, command.GetBlobData(2, buffer, 16));
    EXPECT_EQ(0ul, command.GetBlobData(2, block));
}

TEST_F(LongDataTest, WideTextBehindAPointerFitsTheBufferInBytes) {
    static const wchar_t kText[] = L"pointer";
    const wchar_t* pointer = kText;
    Load(DBBLOBHANDLING_NOSTREAMS, MakeColumn(L"data", DBTYPE_EMPTY, sizeof(void*)),
         Cell::Of(pointer));
    unsigned char buffer[3 * sizeof(wchar_t) + 2];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(VornOleDbCommand::dbTruncated, command.GetBlobData(2, buffer, sizeof buffer));
    EXPECT_EQ(0, std::memcmp(buffer, kText, 3 * sizeof(wchar_t)));
    EXPECT_EQ(0xEE, buffer[3 * sizeof(wchar_t)]);  // nothing written past whole characters
    unsigned char whole[7 * sizeof(wchar_t)];
    EXPECT_EQ(VornOleDbCommand::dbOK, command.GetBlobData(2, whole, sizeof whole));

    CHeapPtr<unsigned char, CCRTAllocator> block;
    EXPECT_EQ(7 * sizeof(wchar_t), command.GetBlobData(2, block));
    EXPECT_EQ(0, std::memcmp(block.m_pData, kText, 7 * sizeof(wchar_t)));
}

TEST_F(LongDataTest, LongTextByReferenceAndAsStreamGiveTheSameBytes) {
    const std::wstring text(12000, L'\u00e9');
    std::vector<std::vector<BYTE>> results;
    for (DBBLOBHANDLINGENUM mode : {DBBLOBHANDLING_NOSTREAMS, DBBLOBHANDLING_DEFAULT}) {
        Load(mode, MakeColumn(L"data", DBTYPE_WSTR, 536870911), Cell::Wide(text));
        CHeapPtr<unsigned char, CCRTAllocator> block;
        const unsigned long n = command.GetBlobData(2, block);
        ASSERT_EQ(text.size() * sizeof(wchar_t), n);
        results.emplace_back(block.m_pData, block.m_pData + n);
    }
    EXPECT_EQ(results[0], results[1]);
}

}  // namespace
