// Error text from error objects posted on the thread: no records, one plain error object,
// several records with and without SQL information, failing reads.
#include <gtest/gtest.h>

#include "vornoledb/error_info.h"
#include "error_records.h"

namespace {

ErrorRecord Record(const wchar_t* description, bool sql = false) {
    ErrorRecord r;
    r.hr = E_FAIL;
    r.description = description;
    r.source = L"Test Source";
    r.helpFile = L"help.chm";
    r.helpContext = 7;
    r.guid = IID_ICommand;
    if (sql) {
        r.hasSqlInfo = true;
        r.sqlState = L"42S02";
        r.nativeError = -1305;
    }
    return r;
}

// A bare error object without IErrorRecords whose reads can be made to fail.
class PlainErrorObject : public ComObject<IErrorInfo> {
  public:
    bool failDescription = false;
    HRESULT GetGUID(GUID* g) override {
        *g = IID_IRowset;
        return S_OK;
    }
    HRESULT GetSource(BSTR* s) override {
        *s = SysAllocString(L"Plain");
        return S_OK;
    }
    HRESULT GetDescription(BSTR* s) override {
        if (failDescription)
            return E_FAIL;
        *s = SysAllocString(L"plain failure");
        return S_OK;
    }
    HRESULT GetHelpFile(BSTR*) override { return E_FAIL; }
    HRESULT GetHelpContext(DWORD*) override { return E_FAIL; }
};

// Error records whose count or second record cannot be read.
class BrokenRecords : public ComObject<IErrorInfo, IErrorRecords> {
  public:
    bool failCount = false;
    ComPtr<IErrorInfo> first = CreateErrorObject({Record(L"first")});
    HRESULT GetGUID(GUID*) override { return E_FAIL; }
    HRESULT GetSource(BSTR*) override { return E_FAIL; }
    HRESULT GetDescription(BSTR*) override { return E_FAIL; }
    HRESULT GetHelpFile(BSTR*) override { return E_FAIL; }
    HRESULT GetHelpContext(DWORD*) override { return E_FAIL; }
    HRESULT AddErrorRecord(ERRORINFO*, DWORD, DISPPARAMS*, IUnknown*, DWORD) override {
        return E_FAIL;
    }
    HRESULT GetBasicErrorInfo(ULONG, ERRORINFO*) override { return E_FAIL; }
    HRESULT GetCustomErrorObject(ULONG, REFIID, IUnknown** o) override {
        *o = nullptr;
        return S_OK;
    }
    HRESULT GetErrorInfo(ULONG n, LCID, IErrorInfo** out) override {
        if (n > 0)
            return E_FAIL;
        *out = ComPtr<IErrorInfo>(first).Detach();
        return S_OK;
    }
    HRESULT GetErrorParameters(ULONG, DISPPARAMS*) override { return E_FAIL; }
    HRESULT GetRecordCount(ULONG* c) override {
        if (failCount)
            return E_FAIL;
        *c = 2;
        return S_OK;
    }
};

const wchar_t* kCommandGuid = L"{0C733A63-2A1C-11CE-ADE5-00AA0044773D}";

}  // namespace

TEST(ErrorInfo, SuccessEmptiesEarlierFailureAndOnlySokIsSuccess) {
    VornOleDbErrorInfo info;
    PostError(Record(L"boom"));
    EXPECT_FALSE(info.CheckResult(E_FAIL));
    EXPECT_TRUE(info.HasErrorInfo());
    info.SetErrorInfo(info.GetErrorText(), L"SELECT 1");
    EXPECT_TRUE(info.CheckResult(S_OK));
    EXPECT_FALSE(info.HasErrorInfo());
    EXPECT_TRUE(info.GetErrorStatement().empty());

    EXPECT_FALSE(info.CheckResult(S_FALSE));
    EXPECT_FALSE(info.CheckResult(DB_S_ENDOFROWSET));
}

TEST(ErrorInfo, FailureWithoutErrorObjectLeavesTextEmpty) {
    VornOleDbErrorInfo info;
    SetErrorInfo(0, nullptr);
    EXPECT_FALSE(info.CheckResult(E_FAIL));
    EXPECT_FALSE(info.HasErrorInfo());
}

TEST(ErrorInfo, ErrorObjectIsTakenFromTheThread) {
    VornOleDbErrorInfo info;
    PostError(Record(L"once"));
    EXPECT_FALSE(info.CheckResult(E_FAIL));
    EXPECT_TRUE(info.HasErrorInfo());
    EXPECT_FALSE(info.CheckResult(E_FAIL));
    EXPECT_FALSE(info.HasErrorInfo());
}

TEST(ErrorInfo, TwoRecordsGiveTwoBlocksEachWithItsSqlLine) {
    VornOleDbErrorInfo info;
    SetErrorInfo(0, CreateErrorObject({Record(L"no such table", true), Record(L"second")}).Get());
    EXPECT_FALSE(info.CheckResult(DB_E_ERRORSINCOMMAND));
    std::wstring expected =
        std::wstring(
            L"Row #:    0 Source: \"Test Source\"\nDescription: \"no such table\"\n"
            L"Help File: \"help.chm\" Help Context:    7\nGUID: ") +
        kCommandGuid + L"\nSQLState: 42S02, NativeError: -1305\n" +
        L"Row #:    1 Source: \"Test Source\"\nDescription: \"second\"\n"
        L"Help File: \"help.chm\" Help Context:    7\nGUID: " +
        kCommandGuid + L"\n";
    EXPECT_EQ(expected, info.GetErrorText());
}

TEST(ErrorInfo, PlainErrorObjectIsOneRecordWithoutSqlLine) {
    VornOleDbErrorInfo info;
    auto plain = MakeCom<PlainErrorObject>();
    plain->failDescription = true;
    SetErrorInfo(0, plain.Get());
    EXPECT_FALSE(info.CheckResult(E_FAIL));
    EXPECT_EQ(
        L"Row #:    0 Source: \"Plain\"\nDescription: \"\"\nHelp File: \"\" Help Context:    0\n"
        L"GUID: {0C733A7C-2A1C-11CE-ADE5-00AA0044773D}\n",
        info.GetErrorText());
}

TEST(ErrorInfo, FailingRecordReadsKeepWhatWasGathered) {
    VornOleDbErrorInfo info;
    auto broken = MakeCom<BrokenRecords>();
    SetErrorInfo(0, broken.Get());
    EXPECT_FALSE(info.CheckResult(E_FAIL));
    EXPECT_NE(std::wstring::npos, info.GetErrorText().find(L"Description: \"first\""));
    EXPECT_EQ(std::wstring::npos, info.GetErrorText().find(L"Row #:    1"));

    broken->failCount = true;
    SetErrorInfo(0, broken.Get());
    EXPECT_FALSE(info.CheckResult(E_FAIL));
    EXPECT_FALSE(info.HasErrorInfo());
}

TEST(ErrorInfo, FullInformationAppendsTheStatement) {
    VornOleDbErrorInfo info;
    info.SetErrorInfo(L"text", L"");
    EXPECT_EQ(L"text", info.GetErrorInfo(true));
    info.SetErrorInfo(std::wstring(L"text\0hidden", 11), L"SELECT *");
    EXPECT_EQ(L"text", info.GetErrorText());
    EXPECT_EQ(L"text", info.GetErrorInfo(false));
    EXPECT_EQ(L"text\nSELECT *", info.GetErrorInfo(true));

    VornOleDbErrorInfo copy(info);
    EXPECT_EQ(L"SELECT *", copy.GetErrorStatement());
    EXPECT_EQ(L"text\nSELECT *", copy.GetErrorInfo(true));
}
