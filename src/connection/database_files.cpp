// Creating new database files and compacting the file of a connection.
#include <string>

#include "vornoledb/connection.h"
#include "vornoledb/exception.h"
#include "files.h"

namespace {

constexpr const wchar_t* kReadOnlyMode = L"Mode=Read;";
constexpr DWORD kEngineContext =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// A DAO "missing" argument.
VARIANT Missing() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

}  // namespace

HRESULT VornOleDbConnection::CreateMdbFile(const std::wstring& init, const std::wstring& file,
                                           VornOleDbErrorInfo& errors) {
    ComPtr<IDataInitialize> service;
    HRESULT hr = CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IDataInitialize, service.ReleaseAndGetVoidAddress());
    if (!errors.CheckResult(hr))
        return hr;

    ComPtr<IDBInitialize> dataSource;
    hr = service->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, init.c_str(), IID_IDBInitialize,
                                dataSource.ReleaseAndGetUnknownAddress());
    service.Reset();
    if (!errors.CheckResult(hr))
        return hr;

    ComPtr<IDBDataSourceAdmin> admin;
    hr = dataSource.As(&admin);
    dataSource.Reset();
    if (!errors.CheckResult(hr))
        return hr;

    DBPROP prop{};
    prop.dwPropertyID = DBPROP_INIT_DATASOURCE;
    prop.dwOptions = DBPROPOPTIONS_OPTIONAL;
    prop.colid = DB_NULLID;
    VariantInit(&prop.vValue);
    prop.vValue.vt = VT_BSTR;
    prop.vValue.bstrVal = SysAllocStringLen(file.data(), static_cast<UINT>(file.size()));
    if (!prop.vValue.bstrVal)
        return E_FAIL;
    DBPROPSET set{&prop, 1, DBPROPSET_DBINIT};

    hr = admin->CreateDataSource(1, &set, nullptr, IID_IDBDataSourceAdmin, nullptr);
    if (!errors.CheckResult(hr) && hr == E_UNEXPECTED && PathFileExistsW(file.c_str()))
        hr = S_OK;

    VariantClear(&prop.vValue);
    admin.Reset();
    return hr;
}

HRESULT VornOleDbConnection::CreateMdbFile(const std::wstring& init, const std::wstring& file) {
    VornOleDbErrorInfo errors;
    return CreateMdbFile(init, file, errors);
}

HRESULT VornOleDbConnection::CompactMdb() {
    if (!IsConnected()) {
        m_spDataSource.Reset();
        m_session.Close();
        if (m_init.empty())
            throw VornOleDbException(E_INVALIDARG);
        std::wstring readOnly = m_init;
        if (readOnly.back() != L';')
            readOnly += L';';
        readOnly += kReadOnlyMode;
        HRESULT hr = OpenDataSource(readOnly, false);
        if (!CheckResult(hr))
            return hr;
        if (!m_spDataSource)
            return E_FAIL;
    }

    std::wstring source;
    if (!GetDatasource(source))
        return E_FAIL;

    Close();

    // The file is compacted where it lies: the engine, given the database as its own
    // destination, rewrites it under the database engine's lock and journal. Nothing is
    // written beside it and no file is renamed over it, so a commit of another program is
    // never lost, a program that has the file open goes on reading and writing it
    // correctly, and a compaction killed half-way leaves the file as it was.
    ComPtr<_DBEngine> engine;
    HRESULT hr = CoCreateInstance(CLSID_DBEngine, nullptr, kEngineContext, IID__DBEngine,
                                  engine.ReleaseAndGetVoidAddress());
    if (SUCCEEDED(hr) && engine) {
        BSTR file = SysAllocStringLen(source.data(), static_cast<UINT>(source.size()));
        if (file)
            hr = engine->CompactDatabase(file, file, Missing(), Missing(), Missing());
        else
            hr = E_OUTOFMEMORY;
        SysFreeString(file);
    }
    CheckResult(hr);

    engine.Reset();
    return hr;
}
