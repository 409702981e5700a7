// Commands and rowsets of the embedded provider over a test's own SQLite file.
#include "support/provider_command_harness.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "execution/command_factory.h"
#include "vornoledb/platform/text.h"

namespace vorn::test {

TestSqliteDatabase::TestSqliteDatabase(const std::string& file) : file_(file) {
    path_ = Utf8ToWide(file);
    if (sqlite3_open_v2(file.c_str(), &handle_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK)
        ADD_FAILURE() << "could not open " << file << ": " << sqlite3_errmsg(handle_);
    sqlite3_extended_result_codes(handle_, 1);
    sqlite3_busy_timeout(handle_, 5000);
}

TestSqliteDatabase::~TestSqliteDatabase() {
    sqlite3_close_v2(handle_);
}

PostedError TakePostedError() {
    PostedError e;
    IErrorInfo* raw = nullptr;
    if (GetErrorInfo(0, &raw) != S_OK || !raw)
        return e;
    ComPtr<IErrorInfo> info = ComPtr<IErrorInfo>::Attach(raw);
    ComPtr<IErrorRecords> records;
    if (FAILED(info.As(&records)))
        return e;
    records->GetRecordCount(&e.records);
    if (e.records == 0)
        return e;
    e.present = true;
    ERRORINFO basic{};
    records->GetBasicErrorInfo(0, &basic);
    e.hr = basic.hrError;
    ComPtr<IErrorInfo> first;
    if (SUCCEEDED(records->GetErrorInfo(0, 0, first.ReleaseAndGetAddressOf()))) {
        BSTR text = nullptr;
        first->GetDescription(&text);
        e.description = text ? text : L"";
        SysFreeString(text);
    }
    ComPtr<IUnknown> custom;
    if (SUCCEEDED(
            records->GetCustomErrorObject(0, IID_ISQLErrorInfo, custom.ReleaseAndGetAddressOf())) &&
        custom) {
        ComPtr<ISQLErrorInfo> sql;
        if (SUCCEEDED(custom.As(&sql))) {
            BSTR state = nullptr;
            sql->GetSQLInfo(&state, &e.nativeError);
            e.sqlState = state ? state : L"";
            SysFreeString(state);
        }
    }
    return e;
}

CommandHarness::CommandHarness() {
    db_ = std::make_shared<TestSqliteDatabase>(folder_.File("test.db"));
}

void CommandHarness::Sql(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_->Handle(), sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK)
        ADD_FAILURE() << "SQL failed: " << (message ? message : "") << "\n" << sql;
    sqlite3_free(message);
}

ComPtr<ICommandText> CommandHarness::NewCommand() {
    ComPtr<ICommandText> command;
    EXPECT_EQ(provider::CreateCommandObject(db_, nullptr, IID_ICommandText,
                                            command.ReleaseAndGetUnknownAddress()),
              S_OK);
    return command;
}

HRESULT CommandHarness::Execute(const std::wstring& text, ComPtr<IRowset>* rowset,
                                DBROWCOUNT* rowsAffected) {
    ComPtr<ICommandText> command = NewCommand();
    if (!command)
        return E_FAIL;
    HRESULT hr = command->SetCommandText(DBGUID_DEFAULT, text.c_str());
    if (FAILED(hr))
        return hr;
    DBROWCOUNT affected = 0;
    IUnknown* result = nullptr;
    hr = command->Execute(nullptr, IID_IRowset, nullptr, &affected, rowset ? &result : nullptr);
    if (rowset)
        *rowset = ComPtr<IRowset>::Attach(static_cast<IRowset*>(result));
    if (rowsAffected)
        *rowsAffected = affected;
    return hr;
}

namespace {

constexpr DBLENGTH kTextChars = 4000;

struct Slot {
    DBSTATUS status;
    DBLENGTH length;
    wchar_t text[kTextChars + 1];
};

}  // namespace

std::vector<ColumnDescription> Describe(IRowset* rowset) {
    std::vector<ColumnDescription> out;
    ComPtr<IColumnsInfo> info;
    if (FAILED(rowset->QueryInterface(IID_IColumnsInfo, info.ReleaseAndGetVoidAddress())))
        return out;
    DBORDINAL count = 0;
    DBCOLUMNINFO* columns = nullptr;
    OLECHAR* strings = nullptr;
    if (FAILED(info->GetColumnInfo(&count, &columns, &strings)))
        return out;
    for (DBORDINAL i = 0; i < count; ++i) {
        const DBCOLUMNINFO& c = columns[i];
        out.push_back({c.pwszName ? c.pwszName : L"", c.iOrdinal, c.dwFlags, c.ulColumnSize,
                       c.wType, c.bPrecision, c.bScale});
    }
    CoTaskMemFree(columns);
    CoTaskMemFree(strings);
    return out;
}

HRESULT Fetch(IRowset* rowset, DBROWOFFSET offset, DBROWCOUNT count,
              std::vector<std::vector<std::wstring>>* rows) {
    if (rows)
        rows->clear();
    DBCOUNTITEM obtained = 0;
    HROW* handles = nullptr;
    const HRESULT hr = rowset->GetNextRows(DB_NULL_HCHAPTER, offset, count, &obtained, &handles);
    if (FAILED(hr))
        return hr;
    if (rows && obtained) {
        const size_t columns = Describe(rowset).size();
        ComPtr<IAccessor> accessor;
        rowset->QueryInterface(IID_IAccessor, accessor.ReleaseAndGetVoidAddress());
        std::vector<DBBINDING> bindings(columns);
        for (size_t i = 0; i < columns; ++i) {
            DBBINDING& b = bindings[i];
            b = DBBINDING{};
            b.iOrdinal = static_cast<DBORDINAL>(i + 1);
            b.obStatus = static_cast<DBBYTEOFFSET>(i * sizeof(Slot) + offsetof(Slot, status));
            b.obLength = static_cast<DBBYTEOFFSET>(i * sizeof(Slot) + offsetof(Slot, length));
            b.obValue = static_cast<DBBYTEOFFSET>(i * sizeof(Slot) + offsetof(Slot, text));
            b.dwPart = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS;
            b.cbMaxLen = sizeof(Slot::text);
            b.wType = DBTYPE_WSTR;
        }
        HACCESSOR handle = 0;
        EXPECT_EQ(accessor->CreateAccessor(DBACCESSOR_ROWDATA, bindings.size(), bindings.data(), 0,
                                           &handle, nullptr),
                  S_OK);
        std::vector<Slot> buffer(columns);
        for (DBCOUNTITEM r = 0; r < obtained; ++r) {
            EXPECT_EQ(rowset->GetData(handles[r], handle, buffer.data()), S_OK);
            std::vector<std::wstring> row;
            for (const Slot& s : buffer)
                row.push_back(s.status == DBSTATUS_S_ISNULL ? L"<null>" : std::wstring(s.text));
            rows->push_back(row);
        }
        accessor->ReleaseAccessor(handle, nullptr);
    }
    if (obtained) {
        EXPECT_EQ(rowset->ReleaseRows(obtained, handles, nullptr, nullptr, nullptr), S_OK);
        CoTaskMemFree(handles);
    }
    return hr;
}

std::vector<std::vector<std::wstring>> ReadRemaining(IRowset* rowset) {
    std::vector<std::vector<std::wstring>> all;
    std::vector<std::vector<std::wstring>> rows;
    while (Fetch(rowset, 0, 1, &rows) == S_OK)
        for (auto& r : rows)
            all.push_back(r);
    return all;
}

}  // namespace vorn::test
