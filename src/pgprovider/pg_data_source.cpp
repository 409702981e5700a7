// The data source object of the PostgreSQL provider.
#include "pg_data_source.h"

#include <libpq-fe.h>

#include <cwctype>
#include <vector>

#include "connection_string.h"
#include "pg_session.h"
#include "property_sets.h"
#include "provider_errors.h"
#include "session_requests.h"
#include "vornoledb/platform/text.h"

namespace vorn::pgprovider {

using provider::ClearProviderError;
using provider::PostProviderError;
using provider::Quoted;

namespace {

constexpr wchar_t kProviderName[] = L"PostgreSQL";
constexpr wchar_t kProviderVersion[] = L"01.00.0000";

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
    if (set == DBPROPSET_DBINIT)
        return provider::ReadInitProperty(init_, provider::CatalogProperty::Kept, id, value);
    if (set == DBPROPSET_DATASOURCEINFO) {
        switch (id) {
            case DBPROP_CONNECTIONSTATUS:
                value->vt = VT_I4;
                value->lVal = !conn_           ? DBPROPVAL_CS_UNINITIALIZED
                              : conn_->Alive() ? DBPROPVAL_CS_INITIALIZED
                                               : DBPROPVAL_CS_COMMUNICATIONFAILURE;
                return DBPROPSTATUS_OK;
            case DBPROP_PROVIDERNAME:
                provider::SetPropertyText(value, kProviderName);
                return DBPROPSTATUS_OK;
            case DBPROP_PROVIDERVER:
                provider::SetPropertyText(value, kProviderVersion);
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
                provider::SetPropertyText(value, L"postgresql://" + host + L":" +
                                                     Utf8ToWide(PQport(conn_->Handle())) + L"/" +
                                                     Utf8ToWide(PQdb(conn_->Handle())));
                return DBPROPSTATUS_OK;
            }
            case DBPROP_DATASOURCEREADONLY:
                value->vt = VT_BOOL;
                value->boolVal = init_.ReadOnlyMode() ? VARIANT_TRUE : VARIANT_FALSE;
                return DBPROPSTATUS_OK;
            case DBPROP_DBMSNAME:
                provider::SetPropertyText(value, L"PostgreSQL");
                return DBPROPSTATUS_OK;
            case DBPROP_DBMSVER:
                provider::SetPropertyText(value, conn_->ServerVersion());
                return DBPROPSTATUS_OK;
            default:
                return DBPROPSTATUS_NOTSUPPORTED;
        }
    }
    if (set == DBPROPSET_DATASOURCE && id == DBPROP_CURRENTCATALOG && conn_) {
        provider::SetPropertyText(value, Utf8ToWide(PQdb(conn_->Handle())));
        return DBPROPSTATUS_OK;
    }
    return DBPROPSTATUS_NOTSUPPORTED;
}

DBPROPSTATUS PgDataSource::WriteProperty(const GUID& set, const DBPROP& prop) {
    if (set == DBPROPSET_DBINIT)
        return provider::WriteInitProperty(&init_, provider::CatalogProperty::Kept,
                                           conn_ != nullptr, prop);
    return provider::RefuseDataSourceProperty(
        [this](const GUID& s, DBPROPID id, VARIANT* v) { return ReadProperty(s, id, v); }, set,
        prop.dwPropertyID);
}

HRESULT PgDataSource::GetProperties(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[],
                                    ULONG* pcPropertySets, DBPROPSET** prgPropertySets) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    std::lock_guard<std::mutex> lock(mutex_);
    return provider::GetDataSourceProperties(
        cPropertyIDSets, rgPropertyIDSets,
        provider::DataSourceCatalog(conn_ != nullptr, provider::CatalogProperty::Kept),
        [this](const GUID& set, DBPROPID id, VARIANT* value) {
            return ReadProperty(set, id, value);
        },
        pcPropertySets, prgPropertySets);
}

HRESULT PgDataSource::SetProperties(ULONG cPropertySets, DBPROPSET rgPropertySets[]) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    std::lock_guard<std::mutex> lock(mutex_);
    return provider::SetDataSourceProperties(
        cPropertySets, rgPropertySets,
        [this](const GUID& set, const DBPROP& prop) { return WriteProperty(set, prop); },
        IID_IDBProperties);
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
            return PostProviderError(
                E_INVALIDARG, iid,
                L"the port of the data source " + Quoted(init_.dataSource) + L" is not a number");
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
        return PostProviderError(
            DB_E_ALREADYINITIALIZED, iid,
            L"the data source at " + conn_->Target().Describe() + L" is initialized already");
    PgTarget target;
    HRESULT hr = Target(iid, &target);
    if (FAILED(hr))
        return hr;
    std::shared_ptr<PgConnection> conn;
    hr = PgConnection::Open(target, iid, &conn);
    if (FAILED(hr))
        return hr;
    if (init_.ReadOnlyMode()) {
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
    ComPtr<PgSession> session;
    if (conn_)
        session = PgSession::Create(static_cast<IDBInitialize*>(this), &liveSessions_, conn_);
    return provider::HandOutSession(session ? static_cast<IOpenRowset*>(session.Get()) : nullptr,
                                    riid, ppDBSession);
}

HRESULT PgDataSource::CreateDataSource(ULONG, DBPROPSET[], IUnknown*, REFIID,
                                       IUnknown** ppDBSession) {
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
