// The data source object of the PostgreSQL provider.
#include "pg_data_source.h"

#include <libpq-fe.h>

#include <cwctype>
#include <vector>

#include "connection_string.h"
#include "pg_session.h"
#include "property_sets.h"
#include "provider_errors.h"
#include "vornoledb/platform/text.h"

namespace vorn::pgprovider {

using provider::ClearProviderError;
using provider::PostProviderError;
using provider::Quoted;

namespace {

constexpr wchar_t kProviderName[] = L"PostgreSQL";
constexpr wchar_t kProviderVersion[] = L"01.00.0000";

const std::vector<provider::PropertySetCatalog>& Catalog(bool initialized) {
    static const std::vector<provider::PropertySetCatalog> before = {
        {DBPROPSET_DBINIT,
         {DBPROP_INIT_DATASOURCE, DBPROP_INIT_MODE, DBPROP_INIT_PROMPT, DBPROP_INIT_PROVIDERSTRING,
          DBPROP_AUTH_USERID, DBPROP_AUTH_PASSWORD, DBPROP_INIT_LOCATION, DBPROP_INIT_CATALOG}},
        {DBPROPSET_DATASOURCEINFO,
         {DBPROP_CONNECTIONSTATUS, DBPROP_PROVIDERNAME, DBPROP_PROVIDERVER}},
    };
    static const std::vector<provider::PropertySetCatalog> after = {
        before[0],
        {DBPROPSET_DATASOURCEINFO,
         {DBPROP_CONNECTIONSTATUS, DBPROP_DATASOURCENAME, DBPROP_DATASOURCEREADONLY,
          DBPROP_DBMSNAME, DBPROP_DBMSVER, DBPROP_PROVIDERNAME, DBPROP_PROVIDERVER}},
        {DBPROPSET_DATASOURCE, {DBPROP_CURRENTCATALOG}},
    };
    return initialized ? after : before;
}

void SetText(VARIANT* value, const std::wstring& text) {
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

DBPROPSTATUS WriteText(const VARIANT& value, std::wstring* field) {
    if (value.vt == VT_EMPTY) {
        field->clear();
        return DBPROPSTATUS_OK;
    }
    if (value.vt != VT_BSTR)
        return DBPROPSTATUS_BADVALUE;
    *field = value.bstrVal ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal)) : L"";
    return DBPROPSTATUS_OK;
}

HRESULT PostPropertyFailures(HRESULT hr, REFIID iid, const wchar_t* what,
                             const std::vector<std::wstring>& failures) {
    if (hr == S_OK) {
        ClearProviderError();
        return hr;
    }
    PostProviderError(hr, iid, std::wstring(what) + L": " + provider::JoinFailures(failures));
    return hr;
}

std::string LowerAscii(const std::wstring& s) {
    std::string out = WideToUtf8(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace

HRESULT PgDataSource::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    ComPtr<PgDataSource> object(new PgDataSource);
    return object->QueryInterface(riid, ppv);
}

DBPROPSTATUS PgDataSource::ReadProperty(const GUID& set, DBPROPID id, VARIANT* value) const {
    if (set == DBPROPSET_DBINIT) {
        const std::wstring* text = nullptr;
        switch (id) {
            case DBPROP_INIT_DATASOURCE:
                text = &init_.dataSource;
                break;
            case DBPROP_INIT_CATALOG:
                text = &init_.catalog;
                break;
            case DBPROP_INIT_PROVIDERSTRING:
                text = &init_.providerString;
                break;
            case DBPROP_AUTH_USERID:
                text = &init_.userId;
                break;
            case DBPROP_AUTH_PASSWORD:
                text = &init_.password;
                break;
            case DBPROP_INIT_LOCATION:
                text = &init_.location;
                break;
            case DBPROP_INIT_MODE:
                value->vt = VT_I4;
                value->lVal = init_.mode;
                return DBPROPSTATUS_OK;
            case DBPROP_INIT_PROMPT:
                value->vt = VT_I2;
                value->iVal = init_.prompt;
                return DBPROPSTATUS_OK;
            default:
                return DBPROPSTATUS_NOTSUPPORTED;
        }
        if (!text->empty())
            SetText(value, *text);
        return DBPROPSTATUS_OK;
    }
    if (set == DBPROPSET_DATASOURCEINFO) {
        switch (id) {
            case DBPROP_CONNECTIONSTATUS:
                value->vt = VT_I4;
                value->lVal = !conn_                ? DBPROPVAL_CS_UNINITIALIZED
                              : conn_->Alive() ? DBPROPVAL_CS_INITIALIZED
                                               : DBPROPVAL_CS_COMMUNICATIONFAILURE;
                return DBPROPSTATUS_OK;
            case DBPROP_PROVIDERNAME:
                SetText(value, kProviderName);
                return DBPROPSTATUS_OK;
            case DBPROP_PROVIDERVER:
                SetText(value, kProviderVersion);
                return DBPROPSTATUS_OK;
            default:
                break;
        }
        if (!conn_)
            return DBPROPSTATUS_NOTSUPPORTED;
        switch (id) {
            case DBPROP_DATASOURCENAME: {
                // The server and database by address, never the credentials.
                std::wstring host = Utf8ToWide(PQhost(conn_->Handle()));
                if (host.find(L':') != std::wstring::npos)
                    host = L"[" + host + L"]";
                SetText(value, L"postgresql://" + host + L":" + Utf8ToWide(PQport(conn_->Handle())) +
                                   L"/" + Utf8ToWide(PQdb(conn_->Handle())));
                return DBPROPSTATUS_OK;
            }
            case DBPROP_DATASOURCEREADONLY:
                value->vt = VT_BOOL;
                value->boolVal =
                    (init_.mode & DB_MODE_READWRITE) == DB_MODE_READ ? VARIANT_TRUE : VARIANT_FALSE;
                return DBPROPSTATUS_OK;
            case DBPROP_DBMSNAME:
                SetText(value, L"PostgreSQL");
                return DBPROPSTATUS_OK;
            case DBPROP_DBMSVER:
                SetText(value, conn_->ServerVersion());
                return DBPROPSTATUS_OK;
            default:
                return DBPROPSTATUS_NOTSUPPORTED;
        }
    }
    if (set == DBPROPSET_DATASOURCE && id == DBPROP_CURRENTCATALOG && conn_) {
        SetText(value, Utf8ToWide(PQdb(conn_->Handle())));
        return DBPROPSTATUS_OK;
    }
    return DBPROPSTATUS_NOTSUPPORTED;
}

DBPROPSTATUS PgDataSource::WriteProperty(const GUID& set, const DBPROP& prop) {
    const VARIANT& v = prop.vValue;
    if (set == DBPROPSET_DBINIT) {
        switch (prop.dwPropertyID) {
            case DBPROP_INIT_DATASOURCE:
            case DBPROP_INIT_CATALOG:
            case DBPROP_INIT_MODE:
            case DBPROP_INIT_PROMPT:
            case DBPROP_INIT_PROVIDERSTRING:
            case DBPROP_AUTH_USERID:
            case DBPROP_AUTH_PASSWORD:
            case DBPROP_INIT_LOCATION:
            case DBPROP_INIT_HWND:
                if (conn_)
                    return DBPROPSTATUS_NOTSETTABLE;
                break;
            default:
                return DBPROPSTATUS_NOTSUPPORTED;
        }
        switch (prop.dwPropertyID) {
            case DBPROP_INIT_DATASOURCE:
                return WriteText(v, &init_.dataSource);
            case DBPROP_INIT_CATALOG:
                return WriteText(v, &init_.catalog);
            case DBPROP_INIT_PROVIDERSTRING:
                return WriteText(v, &init_.providerString);
            case DBPROP_AUTH_USERID:
                return WriteText(v, &init_.userId);
            case DBPROP_AUTH_PASSWORD:
                return WriteText(v, &init_.password);
            case DBPROP_INIT_LOCATION:
                return WriteText(v, &init_.location);
            case DBPROP_INIT_MODE:
                if (v.vt == VT_EMPTY) {
                    init_.mode = DB_MODE_READWRITE | DB_MODE_SHARE_DENY_NONE;
                    return DBPROPSTATUS_OK;
                }
                if (v.vt == VT_I4)
                    init_.mode = v.lVal;
                else if (v.vt == VT_I2)
                    init_.mode = v.iVal;
                else
                    return DBPROPSTATUS_BADVALUE;
                return DBPROPSTATUS_OK;
            case DBPROP_INIT_PROMPT:
                if (v.vt == VT_EMPTY) {
                    init_.prompt = DBPROMPT_NOPROMPT;
                    return DBPROPSTATUS_OK;
                }
                if (v.vt != VT_I2 || v.iVal < DBPROMPT_PROMPT || v.iVal > DBPROMPT_NOPROMPT)
                    return DBPROPSTATUS_BADVALUE;
                init_.prompt = v.iVal;
                return DBPROPSTATUS_OK;
            case DBPROP_INIT_HWND:
                return v.vt == VT_EMPTY || v.vt == VT_I4 || v.vt == VT_I8 ? DBPROPSTATUS_OK
                                                                          : DBPROPSTATUS_BADVALUE;
            default:
                return DBPROPSTATUS_NOTSUPPORTED;
        }
    }
    VARIANT probe;
    VariantInit(&probe);
    const DBPROPSTATUS readable = ReadProperty(set, prop.dwPropertyID, &probe);
    VariantClear(&probe);
    return readable == DBPROPSTATUS_OK ? DBPROPSTATUS_NOTSETTABLE : DBPROPSTATUS_NOTSUPPORTED;
}

HRESULT PgDataSource::GetProperties(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[],
                                    ULONG* pcPropertySets, DBPROPSET** prgPropertySets) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::wstring> failures;
    const HRESULT hr = provider::AnswerGetProperties(
        cPropertyIDSets, rgPropertyIDSets, Catalog(conn_ != nullptr),
        [this](const GUID& set, DBPROPID id, VARIANT* value) {
            return ReadProperty(set, id, value);
        },
        pcPropertySets, prgPropertySets, &failures);
    if (hr == E_INVALIDARG)
        return PostProviderError(hr, IID_IDBProperties,
                                 L"GetProperties was called with a missing array or count");
    if (hr == E_OUTOFMEMORY)
        return PostProviderError(hr, IID_IDBProperties, L"out of memory returning properties");
    return PostPropertyFailures(hr, IID_IDBProperties,
                                L"some data source properties could not be returned", failures);
}

HRESULT PgDataSource::SetProperties(ULONG cPropertySets, DBPROPSET rgPropertySets[]) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::wstring> failures;
    const HRESULT hr = provider::ApplySetProperties(
        cPropertySets, rgPropertySets,
        [this](const GUID& set, const DBPROP& prop) { return WriteProperty(set, prop); },
        &failures);
    if (hr == E_INVALIDARG)
        return PostProviderError(hr, IID_IDBProperties,
                                 L"SetProperties was given a count without its property array");
    return PostPropertyFailures(hr, IID_IDBProperties,
                                L"some data source properties could not be set", failures);
}

HRESULT PgDataSource::Target(REFIID iid, PgTarget* target) const {
    // Data Source: host, host:port, [v6 address]:port, or a folder of the server's socket.
    const std::string source = WideToUtf8(init_.dataSource);
    if (!source.empty() && source[0] == '[') {
        const size_t close = source.find(']');
        if (close == std::string::npos)
            return PostProviderError(E_INVALIDARG, iid,
                                     L"the data source " + Quoted(init_.dataSource) +
                                         L" opens an address with '[' that is never closed");
        target->host = source.substr(1, close - 1);
        if (close + 1 < source.size() && source[close + 1] == ':')
            target->port = source.substr(close + 2);
    } else {
        const size_t colon = source.rfind(':');
        if (colon != std::string::npos && source.find(':') == colon) {
            target->host = source.substr(0, colon);
            target->port = source.substr(colon + 1);
        } else {
            target->host = source;
        }
    }
    for (char c : target->port)
        if (c < '0' || c > '9')
            return PostProviderError(E_INVALIDARG, iid,
                                     L"the port of the data source " + Quoted(init_.dataSource) +
                                         L" is not a number");
    target->database = WideToUtf8(init_.catalog);
    target->user = WideToUtf8(init_.userId);
    target->password = WideToUtf8(init_.password);
    if (init_.providerString.empty())
        return S_OK;
    const provider::ConnectionStringParse parsed =
        provider::ParseConnectionString(init_.providerString, provider::BareItems::Refuse);
    if (!parsed.ok)
        return PostProviderError(E_INVALIDARG, iid,
                                 L"the extended properties cannot be read: " + parsed.error);
    for (const provider::ConnectionStringItem& item : parsed.items) {
        const std::string key = LowerAscii(item.key);
        const std::string value = WideToUtf8(item.value);
        if (key == "password")
            target->password = value;
        else if (key == "host")
            target->host = value;
        else if (key == "port")
            target->port = value;
        else if (key == "dbname")
            target->database = value;
        else if (key == "user")
            target->user = value;
        else
            target->options.emplace_back(key, value);
    }
    return S_OK;
}

HRESULT PgDataSource::InitializeLocked(REFIID iid) {
    if (conn_)
        return PostProviderError(DB_E_ALREADYINITIALIZED, iid,
                                 L"the data source at " + conn_->Target().Describe() +
                                     L" is initialized already");
    PgTarget target;
    HRESULT hr = Target(iid, &target);
    if (FAILED(hr))
        return hr;
    std::shared_ptr<PgConnection> conn;
    hr = PgConnection::Open(target, iid, &conn);
    if (FAILED(hr))
        return hr;
    if ((init_.mode & DB_MODE_READWRITE) == DB_MODE_READ) {
        conn->Run("SET default_transaction_read_only TO on", iid,
                  L"could not make the session read-only", &hr);
        if (FAILED(hr))
            return hr;
    }
    conn_ = std::move(conn);
    ClearProviderError();
    return S_OK;
}

HRESULT PgDataSource::Initialize() {
    provider::ErrorSourceScope scope(kPgErrorSource);
    std::lock_guard<std::mutex> lock(mutex_);
    return InitializeLocked(IID_IDBInitialize);
}

HRESULT PgDataSource::Uninitialize() {
    provider::ErrorSourceScope scope(kPgErrorSource);
    std::lock_guard<std::mutex> lock(mutex_);
    if (liveSessions_ > 0)
        return PostProviderError(DB_E_OBJECTOPEN, IID_IDBInitialize,
                                 L"the data source cannot be uninitialized while it has open "
                                 L"sessions; release them first");
    conn_.reset();
    ClearProviderError();
    return S_OK;
}

HRESULT PgDataSource::CreateSession(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppDBSession) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    if (!ppDBSession)
        return E_INVALIDARG;
    *ppDBSession = nullptr;
    if (pUnkOuter)
        return CLASS_E_NOAGGREGATION;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!conn_)
        return PostProviderError(E_UNEXPECTED, IID_IDBCreateSession,
                                 L"a session needs an initialized data source; call "
                                 L"Initialize first");
    ComPtr<PgSession> session =
        PgSession::Create(static_cast<IDBInitialize*>(this), &liveSessions_, conn_);
    const HRESULT hr = session->QueryInterface(riid, reinterpret_cast<void**>(ppDBSession));
    if (FAILED(hr))
        return PostProviderError(hr, IID_IDBCreateSession,
                                 L"the session does not offer the interface asked for");
    ClearProviderError();
    return S_OK;
}

HRESULT PgDataSource::CreateDataSource(ULONG, DBPROPSET[], IUnknown*, REFIID, IUnknown** ppDBSession) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    if (ppDBSession)
        *ppDBSession = nullptr;
    return PostProviderError(DB_E_NOTSUPPORTED, IID_IDBDataSourceAdmin,
                             L"the PostgreSQL provider makes no database files: a database on "
                             L"a server is created there (CREATE DATABASE), and database files "
                             L"are made with Provider=Microsoft.ACE.OLEDB.12.0");
}

HRESULT PgDataSource::DestroyDataSource() {
    provider::ErrorSourceScope scope(kPgErrorSource);
    return PostProviderError(DB_E_NOTSUPPORTED, IID_IDBDataSourceAdmin,
                             L"the PostgreSQL provider drops no databases: a database on a "
                             L"server is dropped there (DROP DATABASE)");
}

}  // namespace vorn::pgprovider
