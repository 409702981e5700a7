// The row source of a PostgreSQL result in single-row mode.
#include "pg_rowset.h"

#include <libpq-fe.h>

#include <vector>

#include "execution/statement_text.h"
#include "pg_types.h"
#include "provider_errors.h"
#include "rowset/row_codec.h"
#include "rowset/rowset.h"
#include "vornoledb/platform/text.h"

namespace vorn::pgprovider {
namespace {

class PgRowSource final : public provider::RowSource {
  public:
    PgRowSource(std::shared_ptr<PgConnection> conn, PGresult* first, const std::wstring& statement,
                bool cancellable)
        : conn_(std::move(conn)), pending_(first), cancellable_(cancellable) {
        auto description = std::make_shared<provider::RowsetDescription>();
        description->statement = statement;
        const int n = PQnfields(first);
        for (int i = 0; i < n; ++i) {
            provider::ResultColumn c;
            c.name = Utf8ToWide(PQfname(first, i));
            const Oid oid = PQftype(first, i);
            c.type = TypeOfPgColumn(oid, PQfmod(first, i));
            // Text that no table column holds (an expression, a literal) is unsized text as
            // the embedded provider gives it for expressions: bound in the row, cut with
            // DBSTATUS_S_TRUNCATED past kUnsizedTextChars. Text columns of tables are long.
            if (PQftable(first, i) == InvalidOid && c.type.IsLong() && c.type.type == DBTYPE_WSTR) {
                c.type.size = provider::kUnsizedTextChars;
                c.type.flags = 0;
            }
            c.flags = DBCOLUMNFLAGS_MAYBENULL | c.type.flags;
            if (PQftable(first, i) != InvalidOid)
                c.flags |= DBCOLUMNFLAGS_ISNULLABLE | DBCOLUMNFLAGS_WRITEUNKNOWN;
            kinds_.push_back(ValueKindOf(oid));
            description->columns.push_back(std::move(c));
        }
        scratch_.resize(static_cast<size_t>(n));
        description_ = std::move(description);
        conn_->streaming = true;
    }
    ~PgRowSource() override { Close(); }

    Fetched Fetch(provider::RowStore& store, uint64_t wanted,
                  std::unique_ptr<ErrorRecord>* failure) override;
    std::shared_ptr<const provider::RowsetDescription> Description() const override {
        return description_;
    }
    void Pending(provider::LazyResult* rowset) override {
        registered_ = rowset;
        conn_->RegisterResult(rowset);
    }
    void Close() override;
    const wchar_t* ErrorSource() const override { return kPgErrorSource; }

  private:
    std::wstring Context() const {
        return L"Reading the result of " + provider::QuotedStatement(description_->statement);
    }
    bool StoreRows(provider::RowStore& store, std::unique_ptr<ErrorRecord>* failure);
    // Reads the results that remain of the query (later statements' results, the end);
    // the first failure among them is kept in *failure.
    bool Finish(std::unique_ptr<ErrorRecord>* failure);

    std::shared_ptr<PgConnection> conn_;
    PgResult pending_;  // a result whose rows are still to be stored
    const bool cancellable_;
    bool ended_ = false;
    std::shared_ptr<const provider::RowsetDescription> description_;
    std::vector<PgValueKind> kinds_;
    std::vector<std::string> scratch_;
    provider::RowEncoder encoder_;
    provider::LazyResult* registered_ = nullptr;
};

bool PgRowSource::StoreRows(provider::RowStore& store, std::unique_ptr<ErrorRecord>* failure) {
    PGresult* r = pending_.Get();
    const int rows = PQntuples(r);
    const int columns = static_cast<int>(kinds_.size());
    if (PQnfields(r) != columns) {
        *failure = std::make_unique<ErrorRecord>(provider::MakeProviderRecord(
            E_FAIL, IID_IRowset, Context() + L": the server sent rows of another shape"));
        return false;
    }
    for (int row = 0; row < rows; ++row) {
        encoder_.Begin(kinds_.size());
        for (int i = 0; i < columns; ++i) {
            if (PQgetisnull(r, row, i)) {
                encoder_.Null();
                continue;
            }
            EncodePgValue(kinds_[static_cast<size_t>(i)], PQgetvalue(r, row, i),
                          static_cast<size_t>(PQgetlength(r, row, i)),
                          &scratch_[static_cast<size_t>(i)], &encoder_);
        }
        if (!provider::StoreEncodedRow(store, encoder_, Context(), failure))
            return false;
    }
    pending_ = PgResult();
    return true;
}

bool PgRowSource::Finish(std::unique_ptr<ErrorRecord>* failure) {
    bool ok = true;
    while (PGresult* next = PQgetResult(conn_->Handle())) {
        PgResult r(next);
        const ExecStatusType s = PQresultStatus(next);
        if (ok && s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK && s != PGRES_SINGLE_TUPLE) {
            *failure = std::make_unique<ErrorRecord>(conn_->RecordOf(next, IID_IRowset, Context()));
            ok = false;
        }
    }
    if (ok && PQstatus(conn_->Handle()) != CONNECTION_OK) {
        *failure = std::make_unique<ErrorRecord>(conn_->RecordOf(nullptr, IID_IRowset, Context()));
        ok = false;
    }
    ended_ = true;
    conn_->streaming = false;
    return ok;
}

provider::RowSource::Fetched PgRowSource::Fetch(provider::RowStore& store, uint64_t wanted,
                                                std::unique_ptr<ErrorRecord>* failure) {
    if (ended_)
        return Fetched::End;
    for (;;) {
        if (pending_) {
            const ExecStatusType s = PQresultStatus(pending_.Get());
            const bool last = s == PGRES_TUPLES_OK;
            if (!StoreRows(store, failure)) {
                Close();
                return Fetched::Failed;
            }
            if (last)
                return Finish(failure) ? Fetched::End : Fetched::Failed;
        }
        if (store.RowCount() >= wanted)
            return Fetched::More;
        PGresult* next = PQgetResult(conn_->Handle());
        if (!next) {
            ended_ = true;
            conn_->streaming = false;
            if (PQstatus(conn_->Handle()) != CONNECTION_OK) {
                *failure =
                    std::make_unique<ErrorRecord>(conn_->RecordOf(nullptr, IID_IRowset, Context()));
                return Fetched::Failed;
            }
            return Fetched::End;
        }
        const ExecStatusType s = PQresultStatus(next);
        if (s == PGRES_SINGLE_TUPLE || s == PGRES_TUPLES_OK) {
            pending_ = PgResult(next);
            continue;
        }
        // An error part way (a division by zero in row 1000, a lost connection).
        PgResult failed(next);
        *failure = std::make_unique<ErrorRecord>(conn_->RecordOf(next, IID_IRowset, Context()));
        std::unique_ptr<ErrorRecord> ignored;
        Finish(&ignored);
        return Fetched::Failed;
    }
}

void PgRowSource::Close() {
    if (!ended_) {
        // The rest of the result is not wanted: ask the server to stop sending it, then
        // read what is on its way so that the connection is free again.
        PGcancel* cancel =
            cancellable_ ? PQgetCancel(conn_->Handle()) : nullptr;
        if (cancel) {
            char error[256];
            PQcancel(cancel, error, sizeof error);
            PQfreeCancel(cancel);
        }
        pending_ = PgResult();
        while (PGresult* next = PQgetResult(conn_->Handle()))
            PQclear(next);
        ended_ = true;
        conn_->streaming = false;
    }
    if (registered_) {
        conn_->UnregisterResult(registered_);
        registered_ = nullptr;
    }
}

}  // namespace

HRESULT CreatePgRowset(const std::shared_ptr<PgConnection>& conn, PGresult* first,
                       const std::wstring& statement, const provider::RowsetProperties& properties,
                       IUnknown* creator, bool cancellable, REFIID riid, IUnknown** ppRowset) {
    std::unique_ptr<PgRowSource> source(
        new (std::nothrow) PgRowSource(conn, first, statement, cancellable));
    if (!source) {
        PQclear(first);
        return provider::PostProviderError(E_OUTOFMEMORY, IID_ICommand,
                                           L"Out of memory making a rowset");
    }
    return provider::CreateRowset(std::move(source), properties, creator, riid, ppRowset);
}

}  // namespace vorn::pgprovider
