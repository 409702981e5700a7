// Command objects: SQL text, rowset properties and execution over a SQLite database.
//
// A text may hold several statements separated by semicolons: every statement but the last
// runs to its end (rows it returns are discarded), and the last one gives the result (a
// rowset, or the rows it changed). A failing statement stops the text; the statements
// before it have run.
#include <sqlite3.h>

#include <cstring>

#include "execution/command_text.h"
#include "execution/prepare_sql_text.h"
#include "execution/result_codes.h"
#include "rowset/sqlite_rowset.h"
#include "rowset/rowset_properties.h"
#include "execution/statement_text.h"
#include "execution/command_factory.h"
#include "provider_errors.h"
#include "session_requests.h"
#include "sql/jet_statement_cache.h"
#include "store/store_database.h"
#include "sqlite_errors.h"
#include "error_records.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider {
namespace {

class Command final : public ComObject<ICommandText, ICommandProperties> {
  public:
    Command(std::shared_ptr<Database> db, IUnknown* session)
        : db_(std::move(db)), session_(session) {}

    // ICommand
    // May come from another thread while this command's statement, or a rowset it made,
    // runs: SQLite stops what runs on the handle at its next step, with SQLITE_INTERRUPT.
    HRESULT Cancel() override {
        if (sqlite3* h = db_->Handle())
            sqlite3_interrupt(h);
        return S_OK;
    }
    HRESULT Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams, DBROWCOUNT* pcRowsAffected,
                    IUnknown** ppRowset) override;
    HRESULT GetDBSession(REFIID riid, IUnknown** ppSession) override {
        return AnswerCommandSession(session_.Get(), riid, ppSession);
    }

    // ICommandText
    HRESULT GetCommandText(GUID* pguidDialect, LPOLESTR* ppwszCommand) override;
    HRESULT SetCommandText(REFGUID rguidDialect, LPCOLESTR pwszCommand) override;

    // ICommandProperties
    HRESULT GetProperties(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[],
                          ULONG* pcPropertySets, DBPROPSET** prgPropertySets) override {
        return properties_.Get(cPropertyIDSets, rgPropertyIDSets, pcPropertySets, prgPropertySets,
                               IID_ICommandProperties);
    }
    HRESULT SetProperties(ULONG cPropertySets, DBPROPSET rgPropertySets[]) override {
        return properties_.Set(cPropertySets, rgPropertySets, IID_ICommandProperties);
    }

  protected:
    void* QueryExtra(REFIID riid) override {
        if (riid == IID_ICommand)
            return static_cast<ICommand*>(static_cast<ICommandText*>(this));
        return nullptr;
    }

  private:
    // Execute for a database whose SQL is the Jet dialect: translated and prepared through
    // the handle's statement cache, one statement per command text.
    HRESULT ExecuteJet(REFIID riid, DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset);
    // Why this command's data source refuses changes (empty when it takes them).
    std::wstring ChangesRefused() const;

    // Runs stmt to its end; SQLITE_DONE or the failing result code.
    static int RunToEnd(sqlite3_stmt* stmt) {
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        return rc;
    }

    std::shared_ptr<Database> db_;
    ComPtr<IUnknown> session_;
    bool hasText_ = false;
    std::wstring text_;
    GUID dialect_ = DBGUID_DEFAULT;
    RowsetProperties properties_;
};

HRESULT Command::SetCommandText(REFGUID rguidDialect, LPCOLESTR pwszCommand) {
    CommandTextState state{hasText_, text_, dialect_};
    const HRESULT hr = vorn::provider::SetCommandText(&state, rguidDialect, pwszCommand);
    hasText_ = state.hasText;
    text_ = std::move(state.text);
    dialect_ = state.dialect;
    return hr;
}

HRESULT Command::GetCommandText(GUID* pguidDialect, LPOLESTR* ppwszCommand) {
    return vorn::provider::GetCommandText(CommandTextState{hasText_, text_, dialect_}, pguidDialect,
                                          ppwszCommand);
}

HRESULT Command::Execute(IUnknown* pUnkOuter, REFIID riid, DBPARAMS* pParams,
                         DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset) {
    if (ppRowset)
        *ppRowset = nullptr;
    if (pcRowsAffected)
        *pcRowsAffected = -1;
    ClearProviderError();
    if (pUnkOuter)
        return PostProviderError(DB_E_NOAGGREGATION, IID_ICommand,
                                 L"Running a command: its rowset cannot be aggregated");
    if (!hasText_)
        return PostProviderError(DB_E_NOCOMMAND, IID_ICommand,
                                 L"Running a command: no command text has been set");
    if (pParams && pParams->cParamSets > 0 && pParams->hAccessor != DB_NULL_HACCESSOR)
        return PostProviderError(DB_E_BADACCESSORHANDLE, IID_ICommand,
                                 L"Running " + QuotedStatement(text_) +
                                     L": the command has no parameter accessors (parameters "
                                     L"are written into the SQL text)");
    sqlite3* h = db_->Handle();
    if (!h)
        return PostProviderError(
            E_UNEXPECTED, IID_ICommand,
            L"Running " + QuotedStatement(text_) + L": the database is closed");

    if (db_->Statements())
        return ExecuteJet(riid, pcRowsAffected, ppRowset);

    const std::string sql = PrepareSqlText(text_);
    const char* p = SkipBlankSql(sql.data(), sql.data() + sql.size());
    const char* const end = sql.data() + sql.size();
    if (p == end)
        return PostProviderError(
            DB_E_NOCOMMAND, IID_ICommand,
            L"Running a command: the text " + QuotedStatement(text_) + L" holds no statement");
    const bool wantRowset = ppRowset && riid != GUID_NULL;
    bool several = false;

    for (;;) {
        sqlite3_stmt* stmt = nullptr;
        const char* tail = end;
        const int prepared = sqlite3_prepare_v3(h, p, static_cast<int>(end - p), 0, &stmt, &tail);
        if (prepared != SQLITE_OK) {
            // SQLite does not say where a statement it cannot read ends: name the host's text,
            // or everything from the failing statement on when earlier ones have run.
            const std::wstring failing =
                several ? Utf8ToWide(p, static_cast<size_t>(end - p)) : text_;
            return PostSqliteError(h, prepared, IID_ICommand,
                                   L"Preparing " + QuotedStatement(failing));
        }
        // The statement named in messages: the host's text, or the one at fault of several.
        several = several || SkipBlankSql(tail, end) != end;
        const std::wstring statement =
            several ? Utf8ToWide(p, static_cast<size_t>(tail - p)) : text_;
        if (!stmt)
            return S_OK;  // only blanks were left
        const char* next = SkipBlankSql(tail, end);
        const bool last = next == end;

        if (sqlite3_bind_parameter_count(stmt) > 0) {
            const char* name = sqlite3_bind_parameter_name(stmt, 1);
            sqlite3_finalize(stmt);
            return PostProviderError(DB_E_PARAMNOTOPTIONAL, IID_ICommand,
                                     L"Running " + QuotedStatement(statement) +
                                         L": no value given for the parameter " +
                                         (name ? Utf8ToWide(name) : std::wstring(L"?")) +
                                         L" (values are written into the SQL text)");
        }
        const bool readOnly = sqlite3_stmt_readonly(stmt) != 0;
        const bool hasColumns = sqlite3_column_count(stmt) > 0;
        // Open results read to their end before anything changes under them; a rollback
        // would otherwise abort them.
        if (!readOnly || StartsWithKeyword(p, tail, "ROLLBACK"))
            db_->DrainResults();
        if (!readOnly)
            db_->BeforeWrite();

        if (last && hasColumns && wantRowset)
            return CreateRowset(db_, stmt, statement, properties_, static_cast<ICommandText*>(this),
                                nullptr, riid, ppRowset);
        if (last && hasColumns && readOnly) {
            sqlite3_finalize(stmt);  // a query whose rows nobody wants
            return S_OK;
        }
        const int rc = RunToEnd(stmt);
        if (rc != SQLITE_DONE) {
            const HRESULT hr =
                PostSqliteError(h, rc, IID_ICommand, L"Running " + QuotedStatement(statement));
            sqlite3_finalize(stmt);
            return hr;
        }
        if (last) {
            if (pcRowsAffected && !hasColumns && IsRowChangingStatement(p, tail))
                *pcRowsAffected = static_cast<DBROWCOUNT>(sqlite3_changes(h));
            sqlite3_finalize(stmt);
            return S_OK;
        }
        sqlite3_finalize(stmt);
        p = next;
    }
}

bool ChangesData(sql::JetStatementKind kind) {
    return kind != sql::JetStatementKind::Select && kind != sql::JetStatementKind::Transaction;
}

std::wstring Command::ChangesRefused() const {
    const auto* store = dynamic_cast<const store::StoreDatabase*>(db_.get());
    return store ? store->ChangesRefused() : std::wstring();
}

HRESULT Command::ExecuteJet(REFIID riid, DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset) {
    sqlite3* h = db_->Handle();
    sql::JetStatementCache& cache = *db_->Statements();
    sql::TranslationResult error;
    sql::JetStatementCache::Kept kept;
    sqlite3_stmt* stmt = cache.Acquire(text_, &error, &kept);
    if (!stmt) {
        if (error.sqliteCode != 0) {
            // SQLite's account of the failure, taken before anything else runs on the handle.
            const ErrorRecord failure = MakeSqliteErrorRecord(
                h, error.sqliteCode, IID_ICommand, L"Preparing " + QuotedStatement(text_));
            // A change the data source refuses is refused as such, also where SQLite finds
            // no way to make it (an index on a table of a foreign store).
            if (!ChangesRefused().empty() && ChangesData(sql::TranslateJetSql(h, text_).kind))
                return PostProviderError(
                    DB_E_ERRORSINCOMMAND, IID_ICommand,
                    ChangesRefused() + L" (in " + QuotedStatement(text_) + L")");
            return PostError(failure);
        }
        if (error.message.empty())
            return PostProviderError(
                DB_E_NOCOMMAND, IID_ICommand,
                L"Running a command: the text " + QuotedStatement(text_) + L" holds no statement");
        // A syntax or name error found by the translator, in the host's terms.
        ErrorRecord record =
            MakeProviderRecord(DB_E_ERRORSINCOMMAND, IID_ICommand,
                               error.message + L" (in " + QuotedStatement(text_) + L")");
        record.hasSqlInfo = true;
        record.sqlState = error.sqlState.empty() ? L"42000" : error.sqlState;
        return PostError(record);
    }
    if (sqlite3_bind_parameter_count(stmt) > 0) {
        const char* name = sqlite3_bind_parameter_name(stmt, 1);
        cache.Release(stmt);
        return PostProviderError(DB_E_PARAMNOTOPTIONAL, IID_ICommand,
                                 L"Running " + QuotedStatement(text_) +
                                     L": no value given for the parameter " +
                                     (name ? Utf8ToWide(name) : std::wstring(L"?")) +
                                     L" (values are written into the SQL text)");
    }
    const sql::TranslationResult* translation = kept.translation;
    const sql::JetStatementKind kind =
        translation ? translation->kind : sql::JetStatementKind::Select;
    // A data source that takes no changes refuses them before anything runs.
    if (ChangesData(kind) && !ChangesRefused().empty()) {
        cache.Release(stmt);
        return PostProviderError(DB_E_ERRORSINCOMMAND, IID_ICommand,
                                 ChangesRefused() + L" (in " + QuotedStatement(text_) + L")");
    }
    const bool isQuery = kind == sql::JetStatementKind::Select && sqlite3_column_count(stmt) > 0;
    // Open results read to their end before anything changes under them (a rollback would
    // otherwise abort them).
    if (!isQuery || !sqlite3_stmt_readonly(stmt)) {
        db_->DrainResults();
        db_->BeforeWrite();
    }

    const bool wantRowset = ppRowset && riid != GUID_NULL;
    if (isQuery && wantRowset)
        return CreateRowset(db_, stmt, text_, properties_, static_cast<ICommandText*>(this),
                            nullptr, riid, ppRowset, kept.description, translation);
    if (isQuery && sqlite3_stmt_readonly(stmt)) {
        cache.Release(stmt);  // a query whose rows nobody wants
        return S_OK;
    }
    int rc;
    while ((rc = cache.Step(stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        const HRESULT hr =
            PostSqliteError(h, rc, IID_ICommand, L"Running " + QuotedStatement(text_));
        cache.Release(stmt);
        return hr;
    }
    if (pcRowsAffected &&
        (kind == sql::JetStatementKind::Insert || kind == sql::JetStatementKind::Update ||
         kind == sql::JetStatementKind::Delete || kind == sql::JetStatementKind::SelectInto))
        *pcRowsAffected = static_cast<DBROWCOUNT>(sqlite3_changes(h));
    cache.Release(stmt);
    return S_OK;
}

}  // namespace

HRESULT CreateCommandObject(const std::shared_ptr<Database>& db, IUnknown* session, REFIID riid,
                            IUnknown** ppCommand) {
    if (!ppCommand)
        return PostProviderError(E_INVALIDARG, IID_IDBCreateCommand,
                                 L"No place for the new command was given");
    *ppCommand = nullptr;
    if (!db)
        return PostProviderError(E_UNEXPECTED, IID_IDBCreateCommand,
                                 L"Creating a command: the session has no open database");
    ComPtr<Command> command(new (std::nothrow) Command(db, session));
    return HandOutCommand(command ? static_cast<ICommandText*>(command.Get()) : nullptr, riid,
                          ppCommand);
}

}  // namespace vorn::provider
