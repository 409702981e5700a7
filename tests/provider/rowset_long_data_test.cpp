// Long values read as the consumer reads them: stream objects in pieces, by reference in
// task memory, and length and status only.
#include <gtest/gtest.h>

#include <cstring>

#include "support/provider_command_harness.h"

namespace vorn::test {
namespace {

struct Slot {
    DBSTATUS status;
    DBLENGTH length;
    void* value;  // a stream object or a task-memory block
};

class LongData : public ::testing::Test {
  protected:
    void SetUp() override {
        h.Sql("CREATE TABLE docs(id INTEGER, body MEMO, picture OLEOBJECT);");
        blob.resize(25000);
        for (size_t i = 0; i < blob.size(); ++i)
            blob[i] = static_cast<char>(i * 7 % 251);
        text.assign(25000, 'm');
        text[0] = 'A';
        text.back() = 'Z';
        Insert(1, text, blob);
        h.Sql("INSERT INTO docs VALUES (2, NULL, NULL);");
        ASSERT_EQ(h.Execute(L"SELECT body, picture FROM docs ORDER BY id", &rowset), S_OK);
        ASSERT_EQ(rowset.As(&accessor), S_OK);
    }
    void TearDown() override {
        if (row)
            rowset->ReleaseRows(1, &row, nullptr, nullptr, nullptr);
    }

    void Insert(int id, const std::string& body, const std::string& picture);

    // Fetches the next row and reads the text column as textType, the binary one as
    // binaryType.
    HRESULT ReadNext(DBTYPE textType, DBTYPE binaryType, const IID& iid, Slot out[2],
                     DBPART parts = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS) {
        if (row)
            rowset->ReleaseRows(1, &row, nullptr, nullptr, nullptr);
        row = 0;
        DBCOUNTITEM obtained = 0;
        HROW* handles = &row;
        HRESULT hr = rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &handles);
        if (hr != S_OK)
            return hr;
        DBOBJECT object{0, iid};
        DBBINDING b[2] = {};
        for (int i = 0; i < 2; ++i) {
            b[i].iOrdinal = static_cast<DBORDINAL>(i + 1);
            b[i].obStatus = static_cast<DBBYTEOFFSET>(i * sizeof(Slot) + offsetof(Slot, status));
            b[i].obLength = static_cast<DBBYTEOFFSET>(i * sizeof(Slot) + offsetof(Slot, length));
            b[i].obValue = static_cast<DBBYTEOFFSET>(i * sizeof(Slot) + offsetof(Slot, value));
            b[i].dwPart = parts;
            b[i].wType = i == 0 ? textType : binaryType;
            b[i].pObject = b[i].wType == DBTYPE_IUNKNOWN ? &object : nullptr;
        }
        HACCESSOR handle = 0;
        hr = accessor->CreateAccessor(DBACCESSOR_ROWDATA, 2, b, 0, &handle, nullptr);
        if (FAILED(hr))
            return hr;
        std::memset(out, 0, 2 * sizeof(Slot));
        hr = rowset->GetData(row, handle, out);
        accessor->ReleaseAccessor(handle, nullptr);
        return hr;
    }

    CommandHarness h;
    std::string blob;
    std::string text;
    ComPtr<IRowset> rowset;
    ComPtr<IAccessor> accessor;
    HROW row = 0;
};

void LongData::Insert(int id, const std::string& body, const std::string& picture) {
    const std::string hex = [&] {
        static const char digits[] = "0123456789ABCDEF";
        std::string out;
        for (unsigned char c : picture) {
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        }
        return out;
    }();
    h.Sql("INSERT INTO docs VALUES (" + std::to_string(id) + ", '" + body + "', x'" + hex + "');");
}

TEST_F(LongData, ColumnsAreLongAndDescribedSo) {
    const auto columns = Describe(rowset.Get());
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(columns[0].type, DBTYPE_WSTR);
    EXPECT_GT(columns[0].size, 8000u);
    EXPECT_TRUE(columns[0].flags & DBCOLUMNFLAGS_ISLONG);
    EXPECT_EQ(columns[1].type, DBTYPE_BYTES);
    EXPECT_GT(columns[1].size, 8000u);
    EXPECT_TRUE(columns[1].flags & DBCOLUMNFLAGS_ISLONG);
}

TEST_F(LongData, StreamsReadInPieces) {
    Slot slots[2];
    ASSERT_EQ(ReadNext(DBTYPE_IUNKNOWN, DBTYPE_IUNKNOWN, IID_ISequentialStream, slots), S_OK);
    ASSERT_EQ(slots[1].status, DBSTATUS_S_OK);
    EXPECT_EQ(slots[1].length, 25000u);
    auto* stream = static_cast<ISequentialStream*>(slots[1].value);
    ASSERT_NE(stream, nullptr);
    std::string read;
    std::vector<ULONG> pieces;
    char chunk[10000];
    for (;;) {
        ULONG n = 99;
        ASSERT_EQ(stream->Read(chunk, sizeof chunk, &n), S_OK);
        pieces.push_back(n);
        if (n == 0)
            break;
        read.append(chunk, n);
    }
    EXPECT_EQ(pieces, (std::vector<ULONG>{10000, 10000, 5000, 0}));
    EXPECT_EQ(read, blob);
    stream->Release();

    // Long text comes as wide characters; IStream can be asked for and seeks.
    ASSERT_EQ(slots[0].status, DBSTATUS_S_OK);
    EXPECT_EQ(slots[0].length, 25000 * sizeof(wchar_t));
    auto* body = static_cast<ISequentialStream*>(slots[0].value);
    ComPtr<IStream> seekable;
    ASSERT_EQ(body->QueryInterface(IID_IStream, seekable.ReleaseAndGetVoidAddress()), S_OK);
    ULONGLONG at = 0;
    ASSERT_EQ(seekable->Seek(-static_cast<LONGLONG>(sizeof(wchar_t)), STREAM_SEEK_END, &at), S_OK);
    wchar_t last = 0;
    ULONG n = 0;
    ASSERT_EQ(seekable->Read(&last, sizeof last, &n), S_OK);
    EXPECT_EQ(last, L'Z');
    EXPECT_EQ(seekable->Write(&last, sizeof last, &n), STG_E_ACCESSDENIED);
    body->Release();

    // NULLs give no object.
    ASSERT_EQ(ReadNext(DBTYPE_IUNKNOWN, DBTYPE_IUNKNOWN, IID_IStream, slots), S_OK);
    EXPECT_EQ(slots[0].status, DBSTATUS_S_ISNULL);
    EXPECT_EQ(slots[0].value, nullptr);
}

TEST_F(LongData, ByReferenceInTaskMemory) {
    Slot slots[2];
    ASSERT_EQ(
        ReadNext(DBTYPE_WSTR | DBTYPE_BYREF, DBTYPE_BYTES | DBTYPE_BYREF, IID_IUnknown, slots),
        S_OK);
    ASSERT_EQ(slots[0].status, DBSTATUS_S_OK);
    EXPECT_EQ(slots[0].length, 25000 * sizeof(wchar_t)) << "a length in bytes, no terminator";
    const auto* wide = static_cast<const wchar_t*>(slots[0].value);
    EXPECT_EQ(wide[0], L'A');
    EXPECT_EQ(wide[24999], L'Z');
    EXPECT_EQ(wide[1000], L'm');
    ASSERT_EQ(slots[1].status, DBSTATUS_S_OK);
    EXPECT_EQ(slots[1].length, 25000u);
    EXPECT_EQ(std::memcmp(slots[1].value, blob.data(), blob.size()), 0);
    CoTaskMemFree(slots[0].value);
    CoTaskMemFree(slots[1].value);
    // Narrow text by reference is the UTF-8 bytes.
    ASSERT_EQ(rowset->RestartPosition(DB_NULL_HCHAPTER), S_OK);
    ASSERT_EQ(ReadNext(DBTYPE_STR | DBTYPE_BYREF, DBTYPE_BYTES | DBTYPE_BYREF, IID_IUnknown, slots),
              S_OK);
    EXPECT_EQ(slots[0].length, 25000u);
    EXPECT_EQ(std::string(static_cast<const char*>(slots[0].value), 25000), text);
    CoTaskMemFree(slots[0].value);
    CoTaskMemFree(slots[1].value);
    ASSERT_EQ(
        ReadNext(DBTYPE_WSTR | DBTYPE_BYREF, DBTYPE_BYTES | DBTYPE_BYREF, IID_IUnknown, slots),
        S_OK);
    EXPECT_EQ(slots[0].status, DBSTATUS_S_ISNULL);
    EXPECT_EQ(slots[1].value, nullptr);
}

TEST_F(LongData, LengthAndStatusOnly) {
    Slot slots[2];
    ASSERT_EQ(
        ReadNext(DBTYPE_WSTR, DBTYPE_BYTES, IID_IUnknown, slots, DBPART_LENGTH | DBPART_STATUS),
        S_OK);
    EXPECT_EQ(slots[0].status, DBSTATUS_S_OK);
    EXPECT_EQ(slots[0].length, 25000 * sizeof(wchar_t));
    EXPECT_EQ(slots[0].value, nullptr);
    EXPECT_EQ(slots[1].length, 25000u);
    ASSERT_EQ(
        ReadNext(DBTYPE_WSTR, DBTYPE_BYTES, IID_IUnknown, slots, DBPART_LENGTH | DBPART_STATUS),
        S_OK);
    EXPECT_EQ(slots[1].status, DBSTATUS_S_ISNULL);
}

}  // namespace
}  // namespace vorn::test
