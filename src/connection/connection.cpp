// A data source and its session, opened from an OLE DB connection string.
#include "vornoledb/connection.h"

#include <cwchar>

#include "error_records.h"

namespace {
// Refuses a transaction call on a connection without a session, with a record that says so.
HRESULT NotOpen(const wchar_t* operation) {
    ErrorRecord record;
    record.hr = XACT_E_CONNECTION_DOWN;
    record.description = std::wstring(L"Cannot ") + operation + L": the connection is not open.";
    record.source = L"VornOleDb";
    record.guid = IID_ITransactionLocal;
    return PostError(record);
}
}  // namespace

VornOleDbConnection::VornOleDbConnection() = default;

VornOleDbConnection::~VornOleDbConnection() {
    m_spConvert.Reset();
    Close();
}

HRESULT VornOleDbConnection::OpenDataSource(const std::wstring& init, bool prompt) {
    ComPtr<IDataInitialize> service;
    HRESULT hr = CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IDataInitialize, service.ReleaseAndGetVoidAddress());
    if (FAILED(hr))
        return hr;
    hr = service->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, init.c_str(), IID_IDBInitialize,
                                m_spDataSource.ReleaseAndGetUnknownAddress());
    if (FAILED(hr))
        return hr;
    if (!m_spDataSource)
        return E_FAIL;
    if (prompt) {
        ComPtr<IDBProperties> properties;
        hr = m_spDataSource.As(&properties);
        if (FAILED(hr))
            return hr;
        DBPROP prop{};
        prop.dwPropertyID = DBPROP_INIT_PROMPT;
        prop.dwOptions = DBPROPOPTIONS_REQUIRED;
        prop.colid = DB_NULLID;
        VariantInit(&prop.vValue);
        prop.vValue.vt = VT_I2;
        prop.vValue.iVal = DBPROMPT_COMPLETEREQUIRED;
        DBPROPSET set{&prop, 1, DBPROPSET_DBINIT};
        hr = properties->SetProperties(1, &set);
        if (FAILED(hr))
            return hr;
    }
    return m_spDataSource->Initialize();
}

HRESULT VornOleDbConnection::OpenFromInitializationString(const std::wstring& init, bool prompt) {
    m_spDataSource.Reset();
    m_session.Close();
    if (!CheckResult(OpenDataSource(init, prompt)))
        return E_FAIL;

    m_init = init;

    ComPtr<IDBCreateSession> createSession;
    HRESULT hr = m_spDataSource.As(&createSession);
    if (!CheckResult(hr))
        return hr;
    hr = createSession->CreateSession(nullptr, IID_IOpenRowset,
                                      m_session.m_spOpenRowset.ReleaseAndGetUnknownAddress());
    createSession.Reset();
    CheckResult(hr);
    return hr;
}

void VornOleDbConnection::Close() {
    m_spDataSource.Reset();
    m_session.Close();
}

bool VornOleDbConnection::SameInit(const std::wstring& init) const {
    if (m_init.empty())
        return false;
    return wcscasecmp(init.c_str(), m_init.c_str()) == 0;
}

HRESULT VornOleDbConnection::ReadProperty(const GUID& propertySet, DBPROPID id,
                                          VARIANT* value) const {
    ComPtr<IDBProperties> properties;
    HRESULT hr = m_spDataSource.As(&properties);
    if (FAILED(hr))
        return hr;
    DBPROPID ids[1] = {id};
    DBPROPIDSET idSet{ids, 1, propertySet};
    ULONG setCount = 0;
    DBPROPSET* sets = nullptr;
    hr = properties->GetProperties(1, &idSet, &setCount, &sets);
    if (FAILED(hr))
        return hr;
    if (!sets || setCount == 0 || !sets[0].rgProperties || sets[0].cProperties == 0) {
        CoTaskMemFree(sets);
        return E_FAIL;
    }
    HRESULT copied = VariantCopy(value, &sets[0].rgProperties[0].vValue);
    vorn::FreePropertySets(setCount, sets);
    return copied;
}

bool VornOleDbConnection::IsConnected() const {
    if (!m_spDataSource || !m_session.Get())
        return false;
    VARIANT value;
    VariantInit(&value);
    if (FAILED(ReadProperty(DBPROPSET_DATASOURCEINFO, DBPROP_CONNECTIONSTATUS, &value)))
        return true;
    bool connected = value.vt == VT_I4 && value.lVal == DBPROPVAL_CS_INITIALIZED;
    VariantClear(&value);
    return connected;
}

bool VornOleDbConnection::IsReadOnly() {
    if (!m_spDataSource)
        return true;
    VARIANT value;
    VariantInit(&value);
    if (!CheckResult(ReadProperty(DBPROPSET_DATASOURCEINFO, DBPROP_DATASOURCEREADONLY, &value))) {
        VariantClear(&value);
        return true;
    }
    bool readOnly = static_cast<uint16_t>(value.boolVal) == 0xFFFF;
    VariantClear(&value);
    return readOnly;
}

namespace {
// Takes a string property's text; other value types give nothing.
void TakeString(const VARIANT& value, std::wstring& name) {
    if (value.vt == VT_BSTR && value.bstrVal)
        name.assign(value.bstrVal, SysStringLen(value.bstrVal));
}
}  // namespace

bool VornOleDbConnection::GetDatasource(std::wstring& name) {
    name.clear();
    if (!m_spDataSource)
        return false;
    VARIANT value;
    VariantInit(&value);
    if (CheckResult(ReadProperty(DBPROPSET_DATASOURCEINFO, DBPROP_DATASOURCENAME, &value)) &&
        value.vt != VT_EMPTY)
        TakeString(value, name);
    VariantClear(&value);
    return !name.empty();
}

bool VornOleDbConnection::GetCurrentCatalog(std::wstring& name) {
    name.clear();
    if (!m_spDataSource)
        return false;
    VARIANT value;
    VariantInit(&value);
    if (CheckResult(ReadProperty(DBPROPSET_DATASOURCE, DBPROP_CURRENTCATALOG, &value)) &&
        value.vt != VT_EMPTY)
        TakeString(value, name);
    VariantClear(&value);
    return !name.empty();
}

const std::wstring& VornOleDbConnection::GetInit() const {
    return m_init;
}

VornOleDbSession& VornOleDbConnection::GetSession() {
    return m_session;
}

IDataConvert* VornOleDbConnection::GetIDataConvert() {
    if (!m_spConvert)
        CoCreateInstance(CLSID_OLEDB_CONVERSIONLIBRARY, nullptr, CLSCTX_INPROC_SERVER,
                         IID_IDataConvert, m_spConvert.ReleaseAndGetVoidAddress());
    return m_spConvert.Get();
}

bool VornOleDbConnection::StartTransaction() {
    if (!m_session.Get())
        return CheckResult(NotOpen(L"start a transaction"));
    ComPtr<ITransactionLocal> transaction;
    HRESULT hr = m_session.m_spOpenRowset.As(&transaction);
    if (SUCCEEDED(hr))
        hr = transaction->StartTransaction(ISOLATIONLEVEL_READCOMMITTED, 0, nullptr, nullptr);
    transaction.Reset();
    return CheckResult(hr);
}

bool VornOleDbConnection::Commit() {
    if (!m_session.Get())
        return CheckResult(NotOpen(L"commit"));
    ComPtr<ITransaction> transaction;
    HRESULT hr = m_session.m_spOpenRowset.As(&transaction);
    if (SUCCEEDED(hr))
        hr = transaction->Commit(FALSE, XACTTC_SYNC, 0);
    transaction.Reset();
    return CheckResult(hr);
}

bool VornOleDbConnection::Rollback() {
    if (!m_session.Get())
        return CheckResult(NotOpen(L"roll back"));
    ComPtr<ITransaction> transaction;
    HRESULT hr = m_session.m_spOpenRowset.As(&transaction);
    if (SUCCEEDED(hr))
        hr = transaction->Abort(nullptr, FALSE, FALSE);
    transaction.Reset();
    return CheckResult(hr);
}
