// Commands on a PostgreSQL server.
#include "pg_command.h"

#include <libpq-fe.h>

#include <cstring>

#include "execution/command_text.h"
#include "execution/result_codes.h"
#include "execution/statement_text.h"
#include "pg_rowset.h"
#include "provider_errors.h"
#include "session_requests.h"
#include "vornoledb/platform/text.h"

namespace vorn::pgprovider {
namespace {

using provider::PostProviderError;

class PgCommand final : public ComObject<ICommandText, ICommandProperties> {
  public:
    PgCommand(std::shared_ptr<PgConnection> conn, IUnknown* session)
        : conn_(std::move(conn)), session_(session) {}

    // ICommand. Cancel may come from another thread while a statement runs: the server
    // stops it.
    HRESULT Cancel() override {
        if (PGcancel* cancel = PQgetCancel(conn_->Handle())) {
            char error[256];
            PQcancel(cancel, error, sizeof error);
            PQfreeCancel(cancel);
        }
        return S_OK;
    }
    HRESULT Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams, DBROWCOUNT* pcRowsAffected,
                    IUnknown** ppRowset) override;
    HRESULT GetDBSession(REFIID riid, IUnknown** ppSession) override {
        provider::ErrorSourceScope scope(kPgErrorSource);
        return provider::AnswerCommandSession(session_.Get(), riid, ppSession);
    }

    // ICommandText
    HRESULT GetCommandText(GUID* pguidDialect, LPOLESTR* ppwszCommand) override;
    HRESULT SetCommandText(REFGUID rguidDialect, LPCOLESTR pwszCommand) override;

    // ICommandProperties
    HRESULT GetProperties(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[],
                          ULONG* pcPropertySets, DBPROPSET** prgPropertySets) override {
        provider::ErrorSourceScope scope(kPgErrorSource);
        return properties_.Get(cPropertyIDSets, rgPropertyIDSets, pcPropertySets, prgPropertySets,
                               IID_ICommandProperties);
    }
    HRESULT SetProperties(ULONG cPropertySets, DBPROPSET rgPropertySets[]) override {
        provider::ErrorSourceScope scope(kPgErrorSource);
        return properties_.Set(cPropertySets, rgPropertySets, IID_ICommandProperties);
    }

  protected:
    void* QueryExtra(REFIID riid) override {
        if (riid == IID_ICommand)
            return static_cast<ICommand*>(static_cast<ICommandText*>(this));
        return nullptr;
    }

  private:
    std::shared_ptr<PgConnection> conn_;
    ComPtr<IUnknown> session_;
    provider::CommandTextState text_;
    provider::RowsetProperties properties_;
};

HRESULT PgCommand::SetCommandText(REFGUID rguidDialect, LPCOLESTR pwszCommand) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    return provider::SetCommandText(&text_, rguidDialect, pwszCommand);
}

HRESULT PgCommand::GetCommandText(GUID* pguidDialect, LPOLESTR* ppwszCommand) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    return provider::GetCommandText(text_, pguidDialect, ppwszCommand);
}

HRESULT PgCommand::Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams,
                           DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    if (ppRowset)
        *ppRowset = nullptr;
    if (pcRowsAffected)
        *pcRowsAffected = -1;
    if (pUnkOuter)
        return PostProviderError(provider::DB_E_NOAGGREGATION, IID_ICommand,
                                 L"Rowsets of this provider cannot be aggregated");
    if (pParams && pParams->cParamSets > 0)
        return PostProviderError(provider::DB_E_PARAMNOTOPTIONAL, IID_ICommand,
                                 L"Running " + provider::QuotedStatement(text_.text) +
                                     L": parameters are not supported (values are written into "
                                     L"the SQL text)");
    if (!text_.hasText)
        return PostProviderError(DB_E_NOCOMMAND, IID_ICommand,
                                 L"No command text has been set on the command");
    return ExecutePgText(conn_, text_.text, properties_, static_cast<ICommandText*>(this), riid,
                         pcRowsAffected, ppRowset);
}

// Whether a statement only reads (so that stopping it part way changes nothing).
bool OnlyReads(const std::string& sql) {
    const char* p = provider::SkipBlankSql(sql.data(), sql.data() + sql.size());
    const char* end = sql.data() + sql.size();
    return provider::StartsWithKeyword(p, end, "SELECT") ||
           provider::StartsWithKeyword(p, end, "VALUES") ||
           provider::StartsWithKeyword(p, end, "TABLE") ||
           provider::StartsWithKeyword(p, end, "SHOW");
}

}  // namespace

HRESULT ExecutePgText(const std::shared_ptr<PgConnection>& conn, const std::wstring& text,
                      const provider::RowsetProperties& properties, IUnknown* creator, REFIID riid,
                      DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    const std::string sql = WideToUtf8(text);
    {
        const char* p = provider::SkipBlankSql(sql.data(), sql.data() + sql.size());
        if (p == sql.data() + sql.size())
            return PostProviderError(DB_E_NOCOMMAND, IID_ICommand,
                                     L"Running a command: the text " +
                                         provider::QuotedStatement(text) + L" holds no statement");
    }
    if (sql.find('\0') != std::string::npos)
        return PostProviderError(DB_E_ERRORSINCOMMAND, IID_ICommand,
                                 L"Running " + provider::QuotedStatement(text) +
                                     L": the text holds a NUL character, which the server "
                                     L"cannot take");
    // Whatever another rowset still has to read comes first: the connection carries one
    // query at a time.
    conn->DrainResults();
    const bool wantRowset = ppRowset && riid != GUID_NULL;
    if (wantRowset && CursorCanCarry(sql))
        return CreatePgCursorRowset(conn, sql, text, properties, creator, riid, ppRowset);
    const std::wstring context = L"Running " + provider::QuotedStatement(text);
    PGconn* h = conn->Handle();
    const bool cancellable = OnlyReads(sql) && !conn->InTransaction();
    if (!PQsendQuery(h, sql.c_str()))
        return conn->Post(nullptr, IID_ICommand, context);
    PQsetSingleRowMode(h);
    DBROWCOUNT affected = -1;
    std::unique_ptr<ErrorRecord> failure;
    PgResult failed;  // the failing result, described once the query has ended
    while (PGresult* r = PQgetResult(h)) {
        const ExecStatusType s = PQresultStatus(r);
        if (failure || failed) {
            PQclear(r);
            continue;
        }
        if (s == PGRES_SINGLE_TUPLE || s == PGRES_TUPLES_OK) {
            if (wantRowset)
                return CreatePgRowset(conn, r, text, properties, creator, cancellable, riid,
                                      ppRowset);
            PQclear(r);  // rows nobody wants
            continue;
        }
        if (s == PGRES_COMMAND_OK) {
            const char* count = PQcmdTuples(r);
            affected = count && *count ? static_cast<DBROWCOUNT>(std::atoll(count)) : -1;
            PQclear(r);
            continue;
        }
        if (s == PGRES_COPY_IN || s == PGRES_COPY_OUT) {
            failure = std::make_unique<ErrorRecord>(provider::MakeProviderRecord(
                DB_E_NOTSUPPORTED, IID_ICommand,
                context + L": COPY to or from the client is not supported through a command"));
            PQclear(r);
            if (s == PGRES_COPY_IN)
                PQputCopyEnd(h, "COPY through a command is not supported");
            continue;
        }
        failed = PgResult(r);
    }
    if (failed)
        failure =
            std::make_unique<ErrorRecord>(conn->RecordOf(failed.Get(), IID_ICommand, context));
    if (!failure && PQstatus(h) != CONNECTION_OK)
        failure = std::make_unique<ErrorRecord>(conn->RecordOf(nullptr, IID_ICommand, context));
    if (failure)
        return PostError(*failure);
    if (pcRowsAffected)
        *pcRowsAffected = affected;
    provider::ClearProviderError();
    return S_OK;
}

HRESULT CreatePgCommand(const std::shared_ptr<PgConnection>& conn, IUnknown* session, REFIID riid,
                        IUnknown** ppCommand) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    if (!ppCommand)
        return PostProviderError(E_INVALIDARG, IID_IDBCreateCommand,
                                 L"No place for the new command was given");
    *ppCommand = nullptr;
    ComPtr<PgCommand> command(new (std::nothrow) PgCommand(conn, session));
    return provider::HandOutCommand(command ? static_cast<ICommandText*>(command.Get()) : nullptr,
                                    riid, ppCommand);
}

}  // namespace vorn::pgprovider
