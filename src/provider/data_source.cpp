// The data source object of the embedded provider.
#include "data_source.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "connection_string.h"
#include "data_source_file.h"
#include "property_sets.h"
#include "provider_errors.h"
#include "provider_names.h"
#include "session.h"
#include "session_requests.h"
#include "sqlite_errors.h"
#include "store/store_database.h"
#include "store/store_kinds.h"
#include "store/store_module.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider {
namespace {

constexpr wchar_t kProviderVersion[] = L"01.00.0000";

}  // namespace

HRESULT DataSource::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    ComPtr<DataSource> object(new DataSource);
    return object->QueryInterface(riid, ppv);
}

bool DataSource::ExclusiveMode() const {
    return (init_.mode & DB_MODE_SHARE_DENY_READ) != 0;
}

std::shared_ptr<Database> DataSource::GetDatabase() {
    std::lock_guard<std::mutex> lock(mutex_);
    return db_;
}

// ---- properties ---------------------------------------------------------------------------

DBPROPSTATUS DataSource::ReadProperty(const GUID& set, DBPROPID id, VARIANT* value) const {
    if (set == DBPROPSET_DBINIT)
        return ReadInitProperty(init_, CatalogProperty::Refused, id, value);
    if (set == DBPROPSET_DATASOURCEINFO) {
        switch (id) {
            case DBPROP_CONNECTIONSTATUS:
                value->vt = VT_I4;
                value->lVal = db_ ? DBPROPVAL_CS_INITIALIZED : DBPROPVAL_CS_UNINITIALIZED;
                return DBPROPSTATUS_OK;
            case DBPROP_PROVIDERNAME:
                SetPropertyText(value, kEmbeddedProviderName);
                return DBPROPSTATUS_OK;
            case DBPROP_PROVIDERVER:
                SetPropertyText(value, kProviderVersion);
                return DBPROPSTATUS_OK;
            default:
                break;
        }
        // The rest describes an open data source.
        if (!db_)
            return DBPROPSTATUS_NOTSUPPORTED;
        switch (id) {
            case DBPROP_DATASOURCENAME:
                SetPropertyText(value, db_->Path());
                return DBPROPSTATUS_OK;
            case DBPROP_DATASOURCEREADONLY:
                value->vt = VT_BOOL;
                value->boolVal = db_->ReadOnly() ? VARIANT_TRUE : VARIANT_FALSE;
                return DBPROPSTATUS_OK;
            case DBPROP_DBMSNAME:
                SetPropertyText(value, db_->DbmsName());
                return DBPROPSTATUS_OK;
            case DBPROP_DBMSVER:
                SetPropertyText(value, db_->DbmsVersion());
                return DBPROPSTATUS_OK;
            default:
                return DBPROPSTATUS_NOTSUPPORTED;
        }
    }
    if (set == DBPROPSET_DATASOURCE && id == DBPROP_CURRENTCATALOG && db_) {
        SetPropertyText(value, db_->CurrentCatalog());
        return DBPROPSTATUS_OK;
    }
    return DBPROPSTATUS_NOTSUPPORTED;
}

DBPROPSTATUS DataSource::WriteProperty(const GUID& set, const DBPROP& prop) {
    if (set == DBPROPSET_DBINIT)
        return WriteInitProperty(&init_, CatalogProperty::Refused, db_ != nullptr, prop);
    return RefuseDataSourceProperty(
        [this](const GUID& s, DBPROPID id, VARIANT* v) { return ReadProperty(s, id, v); }, set,
        prop.dwPropertyID);
}

HRESULT DataSource::GetProperties(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[],
                                  ULONG* pcPropertySets, DBPROPSET** prgPropertySets) {
    std::lock_guard<std::mutex> lock(mutex_);
    return GetDataSourceProperties(
        cPropertyIDSets, rgPropertyIDSets,
        DataSourceCatalog(db_ != nullptr, CatalogProperty::Refused),
        [this](const GUID& set, DBPROPID id, VARIANT* value) {
            return ReadProperty(set, id, value);
        },
        pcPropertySets, prgPropertySets);
}

HRESULT DataSource::SetPropertiesLocked(ULONG cPropertySets, DBPROPSET rgPropertySets[],
                                        REFIID iid) {
    return SetDataSourceProperties(
        cPropertySets, rgPropertySets,
        [this](const GUID& set, const DBPROP& prop) { return WriteProperty(set, prop); }, iid);
}

HRESULT DataSource::SetProperties(ULONG cPropertySets, DBPROPSET rgPropertySets[]) {
    std::lock_guard<std::mutex> lock(mutex_);
    return SetPropertiesLocked(cPropertySets, rgPropertySets, IID_IDBProperties);
}

// ---- initialisation ----------------------------------------------------------------------

HRESULT DataSource::CheckProviderString(REFIID iid) const {
    if (init_.providerString.empty())
        return S_OK;
    const ConnectionStringParse parsed =
        ParseConnectionString(init_.providerString, BareItems::Allow);
    if (!parsed.ok)
        return PostProviderError(E_INVALIDARG, iid,
                                 L"the extended properties " + Quoted(init_.providerString) +
                                     L" cannot be read: " + parsed.error);
    return S_OK;
}

HRESULT DataSource::OpenStore(const void* entry, REFIID iid) {
    const auto* kind = static_cast<const store::StoreKindEntry*>(entry);
    store::StoreOpenRequest request;
    request.database = init_.dataSource;
    request.options = ParseConnectionString(init_.providerString, BareItems::Allow);
    request.readOnly = init_.ReadOnlyMode();
    store::StoreError error;
    std::shared_ptr<store::Store> opened = kind->open(request, &error);
    if (!opened)
        return PostProviderError(E_FAIL, iid,
                                 L"could not open the data source " + Quoted(init_.dataSource) +
                                     L" as " + kind->name + L": " + error.message);
    std::shared_ptr<store::StoreDatabase> db;
    const HRESULT hr = store::StoreDatabase::Open(init_.dataSource, std::move(opened), iid, &db);
    if (FAILED(hr))
        return hr;
    db_ = std::move(db);
    ClearProviderError();
    return S_OK;
}

HRESULT DataSource::InitializeLocked(REFIID iid) {
    if (db_)
        return PostProviderError(
            DB_E_ALREADYINITIALIZED, iid,
            L"the data source " + Quoted(db_->Path()) + L" is initialized already");
    if (init_.dataSource.empty()) {
        return PostProviderError(
            E_FAIL, iid,
            init_.prompt == DBPROMPT_NOPROMPT
                ? std::wstring(L"no data source given: the connection string needs "
                               L"Data Source=<database file>")
                : std::wstring(L"no data source given, and this library cannot prompt for "
                               L"one: the connection string needs Data Source=<database "
                               L"file>"));
    }
    HRESULT hr = CheckProviderString(iid);
    if (FAILED(hr))
        return hr;
    if (!init_.providerString.empty()) {
        const ConnectionStringParse options =
            ParseConnectionString(init_.providerString, BareItems::Allow);
        if (const store::StoreKindEntry* named = store::KindOfOptions(options, nullptr)) {
            hr = CheckPathText(init_.dataSource, iid);
            return FAILED(hr) ? hr : OpenStore(named, iid);
        }
    }

    std::shared_ptr<SqliteDatabase> db;
    if (init_.dataSource == kMemoryDatabaseName) {
        hr = SqliteDatabase::OpenMemory(iid, &db);
        if (FAILED(hr))
            return hr;
        db_ = std::move(db);
        ClearProviderError();
        return S_OK;
    }
    std::unique_ptr<FileHold> hold;
    FileKind kind;
    hr = HoldDataSourceFile(init_.dataSource, ExclusiveMode(), iid, &hold, &kind);
    if (FAILED(hr))
        return hr;
    const std::wstring file = Quoted(init_.dataSource);
    if (kind.kind != StoreKind::SQLite) {
        if (const store::StoreKindEntry* byContent = store::FindStoreKindByContent(kind)) {
            hold.reset();
            return OpenStore(byContent, iid);
        }
    }
    switch (kind.kind) {
        case StoreKind::SQLite:
            hr = SqliteDatabase::OpenHeld(init_.dataSource, std::move(hold), init_.ReadOnlyMode(),
                                          iid, &db);
            if (FAILED(hr))
                return hr;
            db_ = std::move(db);
            ClearProviderError();
            return S_OK;
        case StoreKind::Zip:
        case StoreKind::Ole2:
        case StoreKind::Access:  // opened by its store above
        case StoreKind::Empty:
        case StoreKind::Text:
        case StoreKind::Unknown:
            break;
    }
    return PostProviderError(
        STG_E_INVALIDHEADER, iid,
        L"the file " + file + L" is " + DescribeFileKind(kind) + L", not a database");
}

HRESULT DataSource::Initialize() {
    std::lock_guard<std::mutex> lock(mutex_);
    return InitializeLocked(IID_IDBInitialize);
}

HRESULT DataSource::Uninitialize() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (liveSessions_ > 0)
        return PostProviderError(DB_E_OBJECTOPEN, IID_IDBInitialize,
                                 L"the data source cannot be uninitialized while it has open "
                                 L"sessions; release them first");
    db_.reset();
    ClearProviderError();
    return S_OK;
}

// ---- sessions ------------------------------------------------------------------------------

HRESULT DataSource::CreateSessionLocked(REFIID riid, IUnknown** ppDBSession) {
    ComPtr<Session> session;
    if (db_)
        session = Session::Create(static_cast<IDBInitialize*>(this), &liveSessions_, db_);
    return HandOutSession(session ? static_cast<IOpenRowset*>(session.Get()) : nullptr, riid,
                          ppDBSession);
}

HRESULT DataSource::CreateSession(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppDBSession) {
    if (!ppDBSession)
        return E_INVALIDARG;
    *ppDBSession = nullptr;
    if (pUnkOuter)
        return CLASS_E_NOAGGREGATION;
    std::lock_guard<std::mutex> lock(mutex_);
    return CreateSessionLocked(riid, ppDBSession);
}

// ---- creation and destruction ------------------------------------------------------------

HRESULT DataSource::CreateDatabaseFile(REFIID iid) {
    const std::wstring& path = init_.dataSource;
    HoldResult held = CreateAndHoldFile(WideToUtf8(path));
    if (held.status == HoldStatus::Exists)
        return PostProviderError(DB_E_DUPLICATEDATASOURCE, iid,
                                 L"database already exists: " + Quoted(path));
    if (held.status != HoldStatus::Ok) {
        std::wstring why = ErrnoText(held.error);
        if (held.error == ENOENT)
            why += L" (the folder does not exist)";
        return PostProviderError(
            held.error == EACCES || held.error == EPERM ? STG_E_ACCESSDENIED : E_FAIL, iid,
            L"could not create the database file " + Quoted(path) + L": " + why);
    }
    std::unique_ptr<FileHold> hold = std::move(held.hold);
    // Writing the user version writes the database header, so that the new file is a
    // SQLite database from now on, whoever opens it.
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(hold->AbsolutePath().c_str(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        rc = sqlite3_exec(db, "PRAGMA user_version=0", nullptr, nullptr, nullptr);
    }
    HRESULT hr = S_OK;
    if (rc != SQLITE_OK)
        hr = PostSqliteError(db, rc, iid, L"could not write the new database file " + Quoted(path));
    FileKind kind;
    if (SUCCEEDED(hr) && (!ProbeFileKind(hold->Fd(), &kind) || kind.kind != StoreKind::SQLite))
        hr = PostProviderError(
            E_FAIL, iid, L"the new database file " + Quoted(path) + L" did not receive its header");
    const std::string absolute = hold->AbsolutePath();
    const int fd = hold->Fd();
    hold->Release([&](bool) {
        sqlite3_close(db);
        if (FAILED(hr)) {
            // Remove what this call created, and only that: the name must still lead to the
            // file made here.
            struct stat byName;
            struct stat byFd;
            if (::stat(absolute.c_str(), &byName) == 0 && ::fstat(fd, &byFd) == 0 &&
                byName.st_dev == byFd.st_dev && byName.st_ino == byFd.st_ino)
                ::unlink(absolute.c_str());
        }
    });
    return hr;
}

HRESULT DataSource::CreateDataSource(ULONG cPropertySets, DBPROPSET rgPropertySets[],
                                     IUnknown* pUnkOuter, REFIID riid, IUnknown** ppDBSession) {
    if (ppDBSession)
        *ppDBSession = nullptr;
    if (pUnkOuter)
        return CLASS_E_NOAGGREGATION;
    std::lock_guard<std::mutex> lock(mutex_);
    REFIID iid = IID_IDBDataSourceAdmin;
    if (db_)
        return PostProviderError(DB_E_ALREADYINITIALIZED, iid,
                                 L"the data source is initialized already (on " +
                                     Quoted(db_->Path()) +
                                     L"); a new database needs a new "
                                     L"data source object");
    const bool wantSession = ppDBSession && riid != GUID_NULL;
    if (wantSession && !Session::Offers(riid))
        return PostProviderError(E_NOINTERFACE, iid,
                                 L"the session asked for with the new database does not "
                                 L"offer that interface; nothing was created");
    HRESULT hr = SetPropertiesLocked(cPropertySets, rgPropertySets, iid);
    if (FAILED(hr))
        return hr;
    if (init_.dataSource.empty())
        return PostProviderError(E_INVALIDARG, iid,
                                 L"no data source given: DBPROP_INIT_DATASOURCE must name the "
                                 L"database file to create");
    hr = CheckProviderString(iid);
    if (FAILED(hr))
        return hr;
    if (store::KindOfOptions(ParseConnectionString(init_.providerString, BareItems::Allow),
                             nullptr))
        return PostProviderError(DB_E_NOTSUPPORTED, iid,
                                 L"a new data source is always a database file; " +
                                     Quoted(init_.dataSource) +
                                     L" names a foreign store in its extended properties (make "
                                     L"the folder or file, then open it)");
    hr = CheckPathText(init_.dataSource, iid);
    if (FAILED(hr))
        return hr;
    if (init_.dataSource != kMemoryDatabaseName) {
        hr = CreateDatabaseFile(iid);
        if (FAILED(hr))
            return hr;
    }
    hr = InitializeLocked(iid);
    if (FAILED(hr))
        return hr;
    if (wantSession) {
        hr = CreateSessionLocked(riid, ppDBSession);
        if (FAILED(hr))
            return hr;
    }
    ClearProviderError();
    return S_OK;
}

HRESULT DataSource::DestroyDataSource() {
    std::lock_guard<std::mutex> lock(mutex_);
    REFIID iid = IID_IDBDataSourceAdmin;
    if (!db_)
        return PostProviderError(E_UNEXPECTED, iid,
                                 L"DestroyDataSource needs an initialized data source");
    if (liveSessions_ > 0)
        return PostProviderError(DB_E_OBJECTOPEN, iid,
                                 L"the database " + Quoted(db_->Path()) +
                                     L" cannot be deleted while it has open sessions");
    if (store::MainStoreOf(db_->Handle()))
        return PostProviderError(DB_E_NOTSUPPORTED, iid,
                                 L"the data source " + Quoted(db_->Path()) +
                                     L" is a foreign store, not a database file; it cannot be "
                                     L"destroyed");
    const bool inMemory = db_->InMemory();
    const std::wstring path = db_->Path();
    const std::string absolute = db_->AbsolutePathUtf8();
    if (db_.use_count() > 1)
        return PostProviderError(DB_E_OBJECTOPEN, iid,
                                 L"the database " + Quoted(path) +
                                     L" cannot be deleted while commands or rowsets use it");
    db_.reset();
    if (inMemory) {
        ClearProviderError();
        return S_OK;
    }
    // Deleting needs the file to itself: no other connection of any process.
    HoldResult held = HoldFileExclusive(absolute);
    if (held.status != HoldStatus::Ok)
        return PostHoldError(held.status, held.error, path, iid, L"delete");
    const int fd = held.hold->Fd();
    int error = 0;
    held.hold->Release([&](bool) {
        struct stat byName;
        struct stat byFd;
        if (::stat(absolute.c_str(), &byName) == 0 && ::fstat(fd, &byFd) == 0 &&
            byName.st_dev == byFd.st_dev && byName.st_ino == byFd.st_ino) {
            if (::unlink(absolute.c_str()) != 0)
                error = errno;
            ::unlink((absolute + "-wal").c_str());
            ::unlink((absolute + "-shm").c_str());
            ::unlink((absolute + "-journal").c_str());
        }
    });
    if (error)
        return PostProviderError(
            E_FAIL, iid,
            L"could not delete the database file " + Quoted(path) + L": " + ErrnoText(error));
    ClearProviderError();
    return S_OK;
}

}  // namespace vorn::provider
