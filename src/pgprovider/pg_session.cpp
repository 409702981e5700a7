// The session object of the PostgreSQL provider.
#include "pg_session.h"

#include <libpq-fe.h>

#include <string>

#include "pg_command.h"
#include "pg_schema.h"
#include "pg_types.h"
#include "provider_errors.h"
#include "schema/schema_requests.h"
#include "session_requests.h"
#include "vornoledb/platform/text.h"

namespace vorn::pgprovider {

namespace {
// Results of ITransaction the platform header does not name (values of the OLE DB headers).
constexpr HRESULT kCommitFailed = MakeHResult(0x8004D001u);  // XACT_E_COMMITFAILED
constexpr HRESULT kNotSupported = MakeHResult(0x8004D00Fu);  // XACT_E_NOTSUPPORTED
}  // namespace

using provider::ClearProviderError;
using provider::PostProviderError;
using provider::Quoted;

PgSession::PgSession(IUnknown* dataSource, std::atomic<int>* liveSessions,
                     std::shared_ptr<PgConnection> conn)
    : dataSource_(dataSource), liveSessions_(liveSessions), conn_(std::move(conn)) {
    if (liveSessions_)
        ++*liveSessions_;
}

PgSession::~PgSession() {
    // A transaction left open when the session goes is rolled back, as OLE DB does.
    if (conn_ && conn_->InTransaction()) {
        HRESULT hr = S_OK;
        conn_->Run("ROLLBACK", IID_ITransaction, L"rolling back", &hr);
    }
    conn_.reset();
    if (liveSessions_)
        --*liveSessions_;
}

ComPtr<PgSession> PgSession::Create(IUnknown* dataSource, std::atomic<int>* liveSessions,
                                    std::shared_ptr<PgConnection> conn) {
    return ComPtr<PgSession>(new PgSession(dataSource, liveSessions, std::move(conn)));
}

void* PgSession::QueryExtra(REFIID riid) {
    // ITransaction is the base of ITransactionLocal.
    if (riid == IID_ITransaction)
        return static_cast<ITransaction*>(static_cast<ITransactionLocal*>(this));
    return nullptr;
}

HRESULT PgSession::OpenRowset(IUnknown* pUnkOuter, DBID* pTableID, DBID* pIndexID, REFIID riid,
                              ULONG cPropertySets, DBPROPSET rgPropertySets[],
                              IUnknown** ppRowset) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    std::wstring name;
    HRESULT hr = provider::ReadOpenRowsetArgs(pTableID, pIndexID, cPropertySets, rgPropertySets,
                                              ppRowset, &name);
    if (FAILED(hr))
        return hr;
    std::string schema, table;
    bool found = false;
    hr = FindPgTable(conn_, name, IID_IOpenRowset, &schema, &table, &found);
    if (FAILED(hr))
        return hr;
    if (!found) {
        ErrorRecord record = provider::MakeProviderRecord(
            DB_E_NOTABLE, IID_IOpenRowset,
            L"the table " + Quoted(name) + L" does not exist in the database at " +
                conn_->Target().Describe());
        record.hasSqlInfo = true;
        record.sqlState = L"42P01";
        return PostError(record);
    }
    if (!ppRowset) {
        ClearProviderError();
        return S_OK;
    }
    provider::RowsetProperties properties;
    HRESULT propertiesResult = S_OK;
    if (cPropertySets) {
        propertiesResult = properties.Set(cPropertySets, rgPropertySets, IID_IOpenRowset);
        if (FAILED(propertiesResult))
            return propertiesResult;
    }
    if (pUnkOuter)
        return PostProviderError(CLASS_E_NOAGGREGATION, IID_IOpenRowset,
                                 L"rowsets cannot be aggregated");
    const std::string sql =
        "SELECT * FROM " + QuoteIdentifier(schema) + "." + QuoteIdentifier(table);
    hr = ExecutePgText(conn_, Utf8ToWide(sql), properties, static_cast<IOpenRowset*>(this), riid,
                       nullptr, ppRowset);
    if (FAILED(hr))
        return hr;
    return hr == S_OK ? propertiesResult : hr;
}

HRESULT PgSession::CreateCommand(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppCommand) {
    if (!ppCommand)
        return E_INVALIDARG;
    *ppCommand = nullptr;
    if (pUnkOuter && riid != IID_IUnknown)
        return CLASS_E_NOAGGREGATION;
    return CreatePgCommand(conn_, static_cast<IOpenRowset*>(this), riid, ppCommand);
}

HRESULT PgSession::StartTransaction(ISOLEVEL isoLevel, ULONG isoFlags, ITransactionOptions*,
                                    ULONG* pulTransactionLevel) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    if (pulTransactionLevel)
        *pulTransactionLevel = 0;
    const char* level = nullptr;
    switch (isoLevel) {
        case ISOLATIONLEVEL_UNSPECIFIED:
        case ISOLATIONLEVEL_READUNCOMMITTED:
        case ISOLATIONLEVEL_READCOMMITTED:
            // The server reads no uncommitted rows: read committed is the least it offers.
            level = "READ COMMITTED";
            break;
        case ISOLATIONLEVEL_REPEATABLEREAD:
            level = "REPEATABLE READ";
            break;
        case ISOLATIONLEVEL_SERIALIZABLE:
            level = "SERIALIZABLE";
            break;
        default:
            return PostProviderError(
                XACT_E_ISOLATIONLEVEL, IID_ITransactionLocal,
                L"isolation level " + std::to_wstring(isoLevel) + L" is not supported");
    }
    if (isoFlags != 0)
        return PostProviderError(E_INVALIDARG, IID_ITransactionLocal, L"isolation flags must be 0");
    conn_->DrainResults();
    if (conn_->InTransaction())
        return PostProviderError(XACT_E_XTIONEXISTS, IID_ITransactionLocal,
                                 L"a transaction is already running on the database at " +
                                     conn_->Target().Describe() +
                                     L"; commit or abort it before starting another");
    HRESULT hr = S_OK;
    conn_->Run(std::string("BEGIN ISOLATION LEVEL ") + level, IID_ITransactionLocal,
               L"could not start a transaction", &hr);
    if (FAILED(hr))
        return hr;
    level_ = isoLevel;
    if (pulTransactionLevel)
        *pulTransactionLevel = 1;
    ClearProviderError();
    return S_OK;
}

HRESULT PgSession::EndTransaction(const char* sql, BOOL fRetaining, REFIID iid,
                                  const wchar_t* what) {
    conn_->DrainResults();
    if (!conn_->InTransaction())
        return PostProviderError(XACT_E_NOTRANSACTION, iid,
                                 std::wstring(L"there is no transaction to ") + what +
                                     L" on the database at " + conn_->Target().Describe());
    HRESULT hr = S_OK;
    PgResult result =
        conn_->Run(sql, iid, std::wstring(L"could not ") + what + L" the transaction", &hr);
    if (FAILED(hr))
        return hr;
    // COMMIT of a transaction that failed part way rolls it back, and says so.
    if (std::string(PQcmdStatus(result.Get())) == "ROLLBACK" && std::string(sql) == "COMMIT")
        return PostProviderError(kCommitFailed, iid,
                                 L"the transaction could not be committed: a statement in it "
                                 L"failed, so the server rolled it back");
    if (fRetaining) {
        ULONG level = 0;
        return StartTransaction(level_, 0, nullptr, &level);
    }
    ClearProviderError();
    return S_OK;
}

HRESULT PgSession::Commit(BOOL fRetaining, DWORD grfTC, DWORD) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    if (grfTC != 0 && grfTC != XACTTC_SYNC && grfTC != XACTTC_SYNC_PHASEONE)
        return PostProviderError(E_INVALIDARG, IID_ITransaction,
                                 L"only synchronous commits are supported");
    return EndTransaction("COMMIT", fRetaining, IID_ITransaction, L"commit");
}

HRESULT PgSession::Abort(BOID*, BOOL fRetaining, BOOL fAsync) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    if (fAsync)
        return PostProviderError(kNotSupported, IID_ITransaction,
                                 L"asynchronous aborts are not supported");
    return EndTransaction("ROLLBACK", fRetaining, IID_ITransaction, L"roll back");
}

HRESULT PgSession::GetRowset(IUnknown* pUnkOuter, REFGUID rguidSchema, ULONG cRestrictions,
                             const VARIANT rgRestrictions[], REFIID riid, ULONG cPropertySets,
                             DBPROPSET rgPropertySets[], IUnknown** ppRowset) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    return GetPgSchemaRowset(conn_, static_cast<IOpenRowset*>(this), pUnkOuter, rguidSchema,
                             cRestrictions, rgRestrictions, riid, cPropertySets, rgPropertySets,
                             ppRowset);
}

HRESULT PgSession::GetSchemas(ULONG* pcSchemas, GUID** prgSchemas, ULONG** prgRestrictionSupport) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    return provider::schema::AnswerSupportedSchemas(provider::schema::SchemaKinds::Catalog,
                                                    pcSchemas, prgSchemas, prgRestrictionSupport);
}

HRESULT PgSession::GetTableDefinition(DBID* pTableID, DBORDINAL* pcColumnDescs,
                                      DBCOLUMNDESC* prgColumnDescs[], ULONG* pcPropertySets,
                                      DBPROPSET* prgPropertySets[], ULONG* pcConstraintDescs,
                                      DBCONSTRAINTDESC* prgConstraintDescs[],
                                      OLECHAR** ppwszStringBuffer) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    return GetPgTableDefinition(conn_, pTableID, pcColumnDescs, prgColumnDescs, pcPropertySets,
                                prgPropertySets, pcConstraintDescs, prgConstraintDescs,
                                ppwszStringBuffer);
}

}  // namespace vorn::pgprovider
