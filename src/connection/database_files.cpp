// Creating new database files and compacting the file of a connection.
#include <string>

#include "vornoledb/connection.h"
#include "vornoledb/exception.h"
#include "files.h"

namespace {

constexpr const wchar_t* kReadOnlyMode = L"Mode=Read;";
constexpr const wchar_t* kTempEnding = L"_TMP_.mdb";
constexpr DWORD kEngineContext =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// The compaction's temporary file: the name up to the dot of its extension, then the
// temporary ending. Only a dot in the file name counts (never one in a folder name), and
// a name without a dot keeps all of it, so the result is never the database file itself.
std::wstring TemporaryName(const std::wstring& source) {
    size_t slash = source.find_last_of(L"/\\");
    size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    size_t dot = source.find_last_of(L'.');
    std::wstring stem = (dot != std::wstring::npos && dot >= nameStart) ? source.substr(0, dot) : source;
    return stem + kTempEnding;
}

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
    if (!errors.CheckResult(hr)) return hr;

    ComPtr<IDBInitialize> dataSource;
    hr = service->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, init.c_str(), IID_IDBInitialize,
                                dataSource.ReleaseAndGetUnknownAddress());
    service.Reset();
    if (!errors.CheckResult(hr)) return hr;

    ComPtr<IDBDataSourceAdmin> admin;
    hr = dataSource.As(&admin);
    dataSource.Reset();
    if (!errors.CheckResult(hr)) return hr;

    DBPROP prop{};
    prop.dwPropertyID = DBPROP_INIT_DATASOURCE;
    prop.dwOptions = DBPROPOPTIONS_OPTIONAL;
    prop.colid = DB_NULLID;
    VariantInit(&prop.vValue);
    prop.vValue.vt = VT_BSTR;
    prop.vValue.bstrVal = SysAllocStringLen(file.data(), static_cast<UINT>(file.size()));
    if (!prop.vValue.bstrVal) return E_FAIL;
    DBPROPSET set{&prop, 1, DBPROPSET_DBINIT};

    hr = admin->CreateDataSource(1, &set, nullptr, IID_IDBDataSourceAdmin, nullptr);
    if (!errors.CheckResult(hr) && hr == E_UNEXPECTED && PathFileExistsW(file.c_str())) hr = S_OK;

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
        if (m_init.empty()) throw VornOleDbException(E_INVALIDARG);
        std::wstring readOnly = m_init;
        if (readOnly.back() != L';') readOnly += L';';
        readOnly += kReadOnlyMode;
        HRESULT hr = OpenDataSource(readOnly, false);
        if (!CheckResult(hr)) return hr;
        if (!m_spDataSource) return E_FAIL;
    }

    std::wstring source;
    if (!GetDatasource(source)) return E_FAIL;

    Close();

    const std::wstring temporary = TemporaryName(source);
    DeleteFileW(temporary.c_str());

    ComPtr<_DBEngine> engine;
    HRESULT hr = CoCreateInstance(CLSID_DBEngine, nullptr, kEngineContext, IID__DBEngine,
                                  engine.ReleaseAndGetVoidAddress());
    if (SUCCEEDED(hr) && engine) {
        BSTR src = SysAllocStringLen(source.data(), static_cast<UINT>(source.size()));
        BSTR dst = SysAllocStringLen(temporary.data(), static_cast<UINT>(temporary.size()));
        if (src && dst)
            hr = engine->CompactDatabase(src, dst, Missing(), Missing(), Missing());
        else
            hr = E_OUTOFMEMORY;
        SysFreeString(src);
        SysFreeString(dst);
    }

    if (CheckResult(hr) && !MoveFileExW(temporary.c_str(), source.c_str(), MOVEFILE_REPLACE_EXISTING))
        hr = E_FAIL;

    engine.Reset();
    return hr;
}
