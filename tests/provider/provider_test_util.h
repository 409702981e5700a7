// Helpers of the provider tests: data sources through the data-initialisation service,
// the thread's error records, SQL on a data source's database handle, file contents.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "database_access.h"
#include "provider_errors.h"
#include "error_records.h"
#include "vornoledb/platform/oledb.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::testing {

// The first record of the calling thread's error object (which is taken and cleared).
struct PostedError {
    bool present = false;
    ULONG records = 0;
    HRESULT hr = S_OK;
    std::wstring description;
    std::wstring source;
    GUID guid = GUID_NULL;
    bool hasSql = false;
    std::wstring sqlState;
    LONG native = 0;
};

inline std::wstring TakeText(BSTR b) {
    std::wstring s = b ? std::wstring(b, SysStringLen(b)) : L"";
    SysFreeString(b);
    return s;
}

inline PostedError TakeError() {
    PostedError e;
    IErrorInfo* raw = nullptr;
    if (GetErrorInfo(0, &raw) != S_OK || !raw)
        return e;
    ComPtr<IErrorInfo> info = ComPtr<IErrorInfo>::Attach(raw);
    e.present = true;
    ComPtr<IErrorRecords> records;
    if (SUCCEEDED(info.As(&records))) {
        records->GetRecordCount(&e.records);
        ERRORINFO basic{};
        if (SUCCEEDED(records->GetBasicErrorInfo(0, &basic)))
            e.hr = basic.hrError;
        ComPtr<IUnknown> custom;
        if (SUCCEEDED(records->GetCustomErrorObject(0, IID_ISQLErrorInfo,
                                                    custom.ReleaseAndGetUnknownAddress())) &&
            custom) {
            ComPtr<ISQLErrorInfo> sql;
            if (SUCCEEDED(custom.As(&sql))) {
                BSTR state = nullptr;
                sql->GetSQLInfo(&state, &e.native);
                e.sqlState = TakeText(state);
                e.hasSql = true;
            }
        }
    }
    BSTR text = nullptr;
    info->GetDescription(&text);
    e.description = TakeText(text);
    info->GetSource(&text);
    e.source = TakeText(text);
    info->GetGUID(&e.guid);
    return e;
}

inline bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

// A data source object from a connection string (not initialized).
inline HRESULT GetDataSource(const std::wstring& connection, ComPtr<IDBInitialize>* out) {
    ComPtr<IDataInitialize> service;
    HRESULT hr = CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IDataInitialize, service.ReleaseAndGetVoidAddress());
    if (FAILED(hr))
        return hr;
    IUnknown* object = nullptr;
    hr = service->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, connection.c_str(),
                                IID_IDBInitialize, &object);
    *out = ComPtr<IDBInitialize>::Attach(static_cast<IDBInitialize*>(object));
    return hr;
}

// A data source object from a connection string, initialized.
inline HRESULT OpenDataSource(const std::wstring& connection, ComPtr<IDBInitialize>* out) {
    const HRESULT hr = GetDataSource(connection, out);
    if (FAILED(hr))
        return hr;
    return (*out)->Initialize();
}

inline std::wstring ConnectionTo(const std::string& file, const std::wstring& more = L"") {
    return L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Utf8ToWide(file) + L";" + more;
}

inline ComPtr<IUnknown> NewSession(IDBInitialize* dataSource, REFIID riid = IID_IOpenRowset) {
    ComPtr<IDBCreateSession> factory;
    ComPtr<IUnknown> session;
    if (FAILED(
            dataSource->QueryInterface(IID_IDBCreateSession, factory.ReleaseAndGetVoidAddress())))
        return session;
    factory->CreateSession(nullptr, riid, session.ReleaseAndGetUnknownAddress());
    return session;
}

// Runs SQL on the database behind a provider object; returns SQLite's result code.
inline int Exec(IUnknown* object, const std::string& sql) {
    std::shared_ptr<Database> db = DatabaseOf(object);
    if (!db)
        return SQLITE_MISUSE;
    db->BeforeWrite();  // as a command that writes does
    return sqlite3_exec(db->Handle(), sql.c_str(), nullptr, nullptr, nullptr);
}

// The first column of the first row of a query on a provider object's database.
inline std::string Query(IUnknown* object, const std::string& sql) {
    std::shared_ptr<Database> db = DatabaseOf(object);
    if (!db)
        return "<no database>";
    sqlite3_stmt* stmt = nullptr;
    std::string result = "<error>";
    if (sqlite3_prepare_v2(db->Handle(), sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW)
            result = sqlite3_column_text(stmt, 0)
                         ? reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))
                         : "";
        else if (rc == SQLITE_DONE)
            result = "<no row>";
    }
    sqlite3_finalize(stmt);
    return result;
}

inline std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Reads one property of a data source; VT_EMPTY when it is not returned.
inline VARIANT ReadProperty(IUnknown* dataSource, const GUID& set, DBPROPID id,
                            DBPROPSTATUS* status = nullptr, HRESULT* result = nullptr) {
    VARIANT v;
    VariantInit(&v);
    ComPtr<IDBProperties> props;
    if (FAILED(dataSource->QueryInterface(IID_IDBProperties, props.ReleaseAndGetVoidAddress())))
        return v;
    DBPROPIDSET ids{&id, 1, set};
    ULONG count = 0;
    DBPROPSET* sets = nullptr;
    const HRESULT hr = props->GetProperties(1, &ids, &count, &sets);
    if (result)
        *result = hr;
    if (count == 1 && sets[0].cProperties == 1) {
        if (status)
            *status = sets[0].rgProperties[0].dwStatus;
        v = sets[0].rgProperties[0].vValue;  // ownership moves to the caller
    }
    if (sets) {
        for (ULONG i = 0; i < count; ++i)
            CoTaskMemFree(sets[i].rgProperties);
        CoTaskMemFree(sets);
    }
    return v;
}

inline std::wstring TextProperty(IUnknown* dataSource, const GUID& set, DBPROPID id) {
    VARIANT v = ReadProperty(dataSource, set, id);
    std::wstring text = v.vt == VT_BSTR && v.bstrVal ? v.bstrVal : L"";
    VariantClear(&v);
    return text;
}

}  // namespace vorn::provider::testing
