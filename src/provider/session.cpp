// The session object of the embedded provider.
#include "session.h"

#include <sqlite3.h>

#include "execution/command_factory.h"
#include "provider_errors.h"
#include "session_requests.h"
#include "schema/schema_rowsets.h"
#include "schema/table_definition.h"
#include "sqlite_errors.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider {
namespace {

// Whether a table or view of that name (letter case ignored, as Jet names are) exists.
int TableExists(sqlite3* db, const std::wstring& name, bool* exists) {
    static const char kSql[] =
        "SELECT 1 FROM sqlite_schema WHERE type IN ('table','view') AND name = ?1 "
        "COLLATE NOCASE UNION ALL SELECT 1 FROM sqlite_temp_schema WHERE type IN "
        "('table','view') AND name = ?1 COLLATE NOCASE";
    *exists = false;
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, kSql, -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        const std::string utf8 = WideToUtf8(name);
        sqlite3_bind_text(stmt, 1, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(stmt);
        *exists = rc == SQLITE_ROW;
        if (rc == SQLITE_ROW || rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    sqlite3_finalize(stmt);
    return rc;
}

}  // namespace

Session::Session(IUnknown* dataSource, std::atomic<int>* liveSessions, std::shared_ptr<Database> db)
    : dataSource_(dataSource), liveSessions_(liveSessions), db_(std::move(db)) {
    if (liveSessions_)
        ++*liveSessions_;
}

Session::~Session() {
    // A transaction left open when the session goes away is rolled back, as OLE DB does.
    if (db_ && InTransaction()) {
        db_->DrainResults();
        sqlite3_exec(db_->Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    db_.reset();
    if (liveSessions_)
        --*liveSessions_;
}

ComPtr<Session> Session::Create(IUnknown* dataSource, std::atomic<int>* liveSessions,
                                std::shared_ptr<Database> db) {
    return ComPtr<Session>(new Session(dataSource, liveSessions, std::move(db)));
}

bool Session::Offers(REFIID riid) {
    return riid == IID_IUnknown || riid == IID_IOpenRowset || riid == IID_IDBCreateCommand ||
           riid == IID_ITransactionLocal || riid == IID_ITransaction ||
           riid == IID_IProviderDatabase || riid == IID_IDBSchemaRowset ||
           riid == IID_ITableCreation;
}

void* Session::QueryExtra(REFIID riid) {
    // ITransaction is the base of ITransactionLocal.
    if (riid == IID_ITransaction)
        return static_cast<ITransaction*>(static_cast<ITransactionLocal*>(this));
    return nullptr;
}

HRESULT Session::OpenRowset(IUnknown* pUnkOuter, DBID* pTableID, DBID* pIndexID, REFIID riid,
                            ULONG cPropertySets, DBPROPSET rgPropertySets[], IUnknown** ppRowset) {
    std::wstring name;
    const HRESULT checked =
        ReadOpenRowsetArgs(pTableID, pIndexID, cPropertySets, rgPropertySets, ppRowset, &name);
    if (FAILED(checked))
        return checked;
    bool exists = false;
    const int rc = TableExists(db_->Handle(), name, &exists);
    if (rc != SQLITE_OK)
        return PostSqliteError(db_->Handle(), rc, IID_IOpenRowset,
                               L"could not look up the table " + Quoted(name));
    if (!exists) {
        ErrorRecord record =
            MakeProviderRecord(DB_E_NOTABLE, IID_IOpenRowset,
                               L"the table " + Quoted(name) + L" does not exist in the database " +
                                   Quoted(db_->Path()));
        record.hasSqlInfo = true;
        record.sqlState = L"42S02";
        record.nativeError = SQLITE_ERROR;
        return PostError(record);
    }
    if (name.find(L']') != std::wstring::npos)
        return PostProviderError(DB_E_NOTSUPPORTED, IID_IOpenRowset,
                                 L"the table " + Quoted(name) +
                                     L" has ']' in its name and cannot be opened by name; "
                                     L"open it with a command");
    // Existence alone was asked for.
    if (!ppRowset) {
        ClearProviderError();
        return S_OK;
    }

    ComPtr<ICommandText> command;
    HRESULT hr = CreateCommandObject(db_, static_cast<IOpenRowset*>(this), IID_ICommandText,
                                     command.ReleaseAndGetUnknownAddress());
    if (FAILED(hr))
        return hr;
    const std::wstring sql = L"SELECT * FROM [" + name + L"]";
    hr = command->SetCommandText(DBGUID_DEFAULT, sql.c_str());
    if (FAILED(hr))
        return hr;
    HRESULT propertiesResult = S_OK;
    if (cPropertySets) {
        ComPtr<ICommandProperties> properties;
        hr = command.As(&properties);
        if (FAILED(hr))
            return PostProviderError(
                hr, IID_IOpenRowset,
                L"the command for table " + Quoted(name) + L" takes no rowset properties");
        propertiesResult = properties->SetProperties(cPropertySets, rgPropertySets);
        if (FAILED(propertiesResult))
            return propertiesResult;
    }
    hr = command->Execute(pUnkOuter, riid, nullptr, nullptr, ppRowset);
    if (FAILED(hr))
        return hr;
    // Optional properties that could not be set are reported as OLE DB does.
    return hr == S_OK ? propertiesResult : hr;
}

HRESULT Session::CreateCommand(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppCommand) {
    if (!ppCommand)
        return E_INVALIDARG;
    *ppCommand = nullptr;
    if (pUnkOuter && riid != IID_IUnknown)
        return CLASS_E_NOAGGREGATION;
    return CreateCommandObject(db_, static_cast<IOpenRowset*>(this), riid, ppCommand);
}

bool Session::InTransaction() const {
    return sqlite3_get_autocommit(db_->Handle()) == 0;
}

HRESULT Session::Begin(REFIID iid, const wchar_t* what) {
    // A database open for writing takes the write lock at the start, so that two
    // transactions that read first and write later cannot block each other for good.
    const char* sql = db_->ReadOnly() ? "BEGIN" : "BEGIN IMMEDIATE";
    const int rc = sqlite3_exec(db_->Handle(), sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return PostSqliteError(db_->Handle(), rc, iid,
                               std::wstring(what) + L" on the database " + Quoted(db_->Path()));
    return S_OK;
}

HRESULT Session::StartTransaction(ISOLEVEL isoLevel, ULONG isoFlags, ITransactionOptions*,
                                  ULONG* pulTransactionLevel) {
    if (pulTransactionLevel)
        *pulTransactionLevel = 0;
    switch (isoLevel) {
        case ISOLATIONLEVEL_UNSPECIFIED:
        case ISOLATIONLEVEL_READUNCOMMITTED:
        case ISOLATIONLEVEL_READCOMMITTED:
        case ISOLATIONLEVEL_REPEATABLEREAD:
        case ISOLATIONLEVEL_SERIALIZABLE:
            // Every level is met: SQLite transactions are serializable.
            break;
        default:
            return PostProviderError(
                XACT_E_ISOLATIONLEVEL, IID_ITransactionLocal,
                L"isolation level " + std::to_wstring(isoLevel) + L" is not supported");
    }
    if (isoFlags != 0)
        return PostProviderError(E_INVALIDARG, IID_ITransactionLocal, L"isolation flags must be 0");
    if (InTransaction())
        return PostProviderError(XACT_E_XTIONEXISTS, IID_ITransactionLocal,
                                 L"a transaction is already running on the database " +
                                     Quoted(db_->Path()) +
                                     L"; commit or abort it before starting another");
    const HRESULT hr = Begin(IID_ITransactionLocal, L"could not start a transaction");
    if (FAILED(hr))
        return hr;
    if (pulTransactionLevel)
        *pulTransactionLevel = 1;
    ClearProviderError();
    return S_OK;
}

HRESULT Session::Commit(BOOL fRetaining, DWORD grfTC, DWORD) {
    if (grfTC != 0 && grfTC != XACTTC_SYNC && grfTC != XACTTC_SYNC_PHASEONE)
        return PostProviderError(E_INVALIDARG, IID_ITransaction,
                                 L"only synchronous commits are supported");
    if (!InTransaction())
        return PostProviderError(
            XACT_E_NOTRANSACTION, IID_ITransaction,
            L"there is no transaction to commit on the database " + Quoted(db_->Path()));
    const int rc = sqlite3_exec(db_->Handle(), "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return PostSqliteError(
            db_->Handle(), rc, IID_ITransaction,
            L"could not commit the transaction on the database " + Quoted(db_->Path()));
    db_->AfterCommit();
    if (fRetaining) {
        const HRESULT hr =
            Begin(IID_ITransaction, L"committed, but could not start the next transaction");
        if (FAILED(hr))
            return hr;
    }
    ClearProviderError();
    return S_OK;
}

HRESULT Session::Abort(BOID*, BOOL fRetaining, BOOL fAsync) {
    if (fAsync)
        return PostProviderError(E_INVALIDARG, IID_ITransaction,
                                 L"asynchronous aborts are not supported");
    if (!InTransaction())
        return PostProviderError(
            XACT_E_NOTRANSACTION, IID_ITransaction,
            L"there is no transaction to abort on the database " + Quoted(db_->Path()));
    // Open results keep the rows they showed so far and the rest as of before the rollback.
    db_->DrainResults();
    const int rc = sqlite3_exec(db_->Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return PostSqliteError(
            db_->Handle(), rc, IID_ITransaction,
            L"could not roll back the transaction on the database " + Quoted(db_->Path()));
    if (fRetaining) {
        const HRESULT hr =
            Begin(IID_ITransaction, L"rolled back, but could not start the next transaction");
        if (FAILED(hr))
            return hr;
    }
    ClearProviderError();
    return S_OK;
}

HRESULT Session::GetRowset(IUnknown* pUnkOuter, REFGUID rguidSchema, ULONG cRestrictions,
                           const VARIANT rgRestrictions[], REFIID riid, ULONG cPropertySets,
                           DBPROPSET rgPropertySets[], IUnknown** ppRowset) {
    return schema::GetSchemaRowset(db_, static_cast<IOpenRowset*>(this), pUnkOuter, rguidSchema,
                                   cRestrictions, rgRestrictions, riid, cPropertySets,
                                   rgPropertySets, ppRowset);
}

HRESULT Session::GetSchemas(ULONG* pcSchemas, GUID** prgSchemas, ULONG** prgRestrictionSupport) {
    return schema::GetSupportedSchemas(pcSchemas, prgSchemas, prgRestrictionSupport);
}

HRESULT Session::GetTableDefinition(DBID* pTableID, DBORDINAL* pcColumnDescs,
                                    DBCOLUMNDESC* prgColumnDescs[], ULONG* pcPropertySets,
                                    DBPROPSET* prgPropertySets[], ULONG* pcConstraintDescs,
                                    DBCONSTRAINTDESC* prgConstraintDescs[],
                                    OLECHAR** ppwszStringBuffer) {
    return schema::GetTableDefinition(db_, pTableID, pcColumnDescs, prgColumnDescs, pcPropertySets,
                                      prgPropertySets, pcConstraintDescs, prgConstraintDescs,
                                      ppwszStringBuffer);
}

}  // namespace vorn::provider
