// Row sources of PostgreSQL results: a cursor FETCHed in batches, or a result in
// single-row mode.
#include "pg_rowset.h"

#include <libpq-fe.h>

#include <cctype>
#include <cstring>
#include <vector>

#include "execution/statement_text.h"
#include "pg_types.h"
#include "provider_errors.h"
#include "rowset/row_codec.h"
#include "rowset/rowset.h"
#include "vornoledb/platform/text.h"

namespace vorn::pgprovider {
namespace {

// Rows a cursor FETCH asks for.
constexpr int kCursorBatch = 1000;

std::string FetchText(const std::string& cursor) {
    return "FETCH FORWARD " + std::to_string(kCursorBatch) + " FROM " + cursor;
}

// What both sources share: the columns described from the first result, and rows of
// results encoded into the store.
class PgResultSource : public provider::RowSource {
  public:
    PgResultSource(std::shared_ptr<PgConnection> conn, PGresult* first,
                   const std::wstring& statement)
        : conn_(std::move(conn)), pending_(first) {
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
    }

    std::shared_ptr<const provider::RowsetDescription> Description() const override {
        return description_;
    }
    void Pending(provider::LazyResult* rowset) override {
        registered_ = rowset;
        conn_->RegisterResult(rowset);
    }
    const wchar_t* ErrorSource() const override { return kPgErrorSource; }

  protected:
    std::wstring Context() const {
        return L"Reading the result of " + provider::QuotedStatement(description_->statement);
    }
    std::unique_ptr<ErrorRecord> Failure(const PGresult* r, long positionShift = 0) const {
        return std::make_unique<ErrorRecord>(
            conn_->RecordOf(r, IID_IRowset, Context(), positionShift));
    }
    // Encodes the rows of pending_ into the store and drops it.
    bool StoreRows(provider::RowStore& store, std::unique_ptr<ErrorRecord>* failure);
    void Unregister() {
        if (registered_) {
            conn_->UnregisterResult(registered_);
            registered_ = nullptr;
        }
    }

    std::shared_ptr<PgConnection> conn_;
    PgResult pending_;  // a result whose rows are still to be stored

  private:
    std::shared_ptr<const provider::RowsetDescription> description_;
    std::vector<PgValueKind> kinds_;
    std::vector<std::string> scratch_;
    provider::RowEncoder encoder_;
    provider::LazyResult* registered_ = nullptr;
};

bool PgResultSource::StoreRows(provider::RowStore& store, std::unique_ptr<ErrorRecord>* failure) {
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
            // libpq gives NULL as empty text: only an empty value needs asking which it is.
            const char* value = PQgetvalue(r, row, i);
            if (*value == '\0' && PQgetisnull(r, row, i)) {
                encoder_.Null();
                continue;
            }
            EncodePgValue(kinds_[static_cast<size_t>(i)], value,
                          static_cast<size_t>(PQgetlength(r, row, i)),
                          &scratch_[static_cast<size_t>(i)], &encoder_);
        }
        if (!provider::StoreEncodedRow(
                store, encoder_, [this] { return Context(); }, failure))
            return false;
    }
    pending_ = PgResult();
    return true;
}

// A result in single-row mode: the connection carries it until its last row is read.
class PgSingleRowSource final : public PgResultSource {
  public:
    PgSingleRowSource(std::shared_ptr<PgConnection> conn, PGresult* first,
                      const std::wstring& statement, bool cancellable)
        : PgResultSource(std::move(conn), first, statement), cancellable_(cancellable) {}
    ~PgSingleRowSource() override { Close(); }

    Fetched Fetch(provider::RowStore& store, uint64_t wanted,
                  std::unique_ptr<ErrorRecord>* failure) override;
    void Close() override;

  private:
    // Reads the results that remain of the query (later statements' results, the end);
    // the first failure among them is kept in *failure.
    bool Finish(std::unique_ptr<ErrorRecord>* failure);

    const bool cancellable_;
    bool ended_ = false;
};

bool PgSingleRowSource::Finish(std::unique_ptr<ErrorRecord>* failure) {
    bool ok = true;
    while (PGresult* next = PQgetResult(conn_->Handle())) {
        PgResult r(next);
        const ExecStatusType s = PQresultStatus(next);
        if (ok && s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK && s != PGRES_SINGLE_TUPLE) {
            *failure = Failure(next);
            ok = false;
        }
    }
    if (ok && PQstatus(conn_->Handle()) != CONNECTION_OK) {
        *failure = Failure(nullptr);
        ok = false;
    }
    ended_ = true;
    return ok;
}

provider::RowSource::Fetched PgSingleRowSource::Fetch(provider::RowStore& store, uint64_t wanted,
                                                      std::unique_ptr<ErrorRecord>* failure) {
    if (ended_)
        return Fetched::End;
    for (;;) {
        if (pending_) {
            const bool last = PQresultStatus(pending_.Get()) == PGRES_TUPLES_OK;
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
            if (PQstatus(conn_->Handle()) != CONNECTION_OK) {
                *failure = Failure(nullptr);
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
        *failure = Failure(next);
        std::unique_ptr<ErrorRecord> ignored;
        Finish(&ignored);
        return Fetched::Failed;
    }
}

void PgSingleRowSource::Close() {
    if (!ended_) {
        // The rest of the result is not wanted: ask the server to stop sending it, then
        // read what is on its way so that the connection is free again.
        PGcancel* cancel = cancellable_ ? PQgetCancel(conn_->Handle()) : nullptr;
        if (cancel) {
            char error[256];
            PQcancel(cancel, error, sizeof error);
            PQfreeCancel(cancel);
        }
        pending_ = PgResult();
        while (PGresult* next = PQgetResult(conn_->Handle()))
            PQclear(next);
        ended_ = true;
    }
    Unregister();
}

// A cursor of the server, FETCHed a batch at a time; the connection is free between
// batches. In a transaction of its own when the host had none.
class PgCursorSource final : public PgResultSource {
  public:
    PgCursorSource(std::shared_ptr<PgConnection> conn, PGresult* first,
                   const std::wstring& statement, std::string cursor, bool ownTransaction)
        : PgResultSource(std::move(conn), first, statement),
          cursor_(std::move(cursor)),
          fetch_(FetchText(cursor_)),
          ownTransaction_(ownTransaction) {}
    ~PgCursorSource() override { Close(); }

    Fetched Fetch(provider::RowStore& store, uint64_t wanted,
                  std::unique_ptr<ErrorRecord>* failure) override;
    void Close() override { End(true); }

  private:
    // Closes the cursor and ends the transaction it made (committed when the rows were
    // read, rolled back after a failure); once.
    void End(bool ok);
    // Sends the FETCH of the next batch without waiting for it; false when it could not be
    // sent.
    bool Request();
    // The answer to the FETCH sent last, once the server has sent it whole.
    PgResult Receive();
    // Reads and drops the answer still on its way, so that the connection is free.
    void DropRequested();

    std::string cursor_;
    const std::string fetch_;
    const bool ownTransaction_;
    bool ended_ = false;
    bool requested_ = false;  // a FETCH is on its way
};

bool PgCursorSource::Request() {
    requested_ = PQsendQuery(conn_->Handle(), fetch_.c_str()) != 0;
    return requested_;
}

PgResult PgCursorSource::Receive() {
    PGconn* h = conn_->Handle();
    PgResult result(PQgetResult(h));
    // The query's end follows its one result.
    while (PGresult* more = PQgetResult(h))
        PQclear(more);
    requested_ = false;
    return result;
}

void PgCursorSource::DropRequested() {
    if (requested_)
        Receive();
}

void PgCursorSource::End(bool ok) {
    if (!ended_) {
        ended_ = true;
        pending_ = PgResult();
        DropRequested();
        PGconn* h = conn_->Handle();
        if (PQstatus(h) == CONNECTION_OK) {
            // A transaction that failed keeps nothing to close: its end takes the cursor.
            const bool failed = PQtransactionStatus(h) == PQTRANS_INERROR;
            if (!failed)
                PgResult(PQexec(h, ("CLOSE " + cursor_).c_str()));
            if (ownTransaction_)
                PgResult(PQexec(h, ok && !failed ? "COMMIT" : "ROLLBACK"));
        }
    }
    Unregister();
}

provider::RowSource::Fetched PgCursorSource::Fetch(provider::RowStore& store, uint64_t wanted,
                                                   std::unique_ptr<ErrorRecord>* failure) {
    if (ended_)
        return Fetched::End;
    for (;;) {
        if (pending_) {
            const bool last = PQntuples(pending_.Get()) < kCursorBatch;
            // In a transaction of its own the cursor asks for the next batch before this one
            // is stored and read, so that the server makes it meanwhile. In the host's
            // transaction it asks only when the rows are wanted: a batch failing early would
            // abort the host's transaction over rows nobody read.
            if (!last && ownTransaction_ && !requested_)
                Request();
            if (!StoreRows(store, failure)) {
                End(false);
                return Fetched::Failed;
            }
            if (last) {
                End(true);
                return Fetched::End;
            }
        }
        if (store.RowCount() >= wanted)
            return Fetched::More;
        PgResult next = requested_ || Request() ? Receive() : PgResult();
        if (PQresultStatus(next.Get()) != PGRES_TUPLES_OK) {
            *failure = Failure(next.Get());
            End(false);
            return Fetched::Failed;
        }
        pending_ = std::move(next);
    }
}

// Skips a quoted part ('...', "...") from its opening quote; the position after it.
size_t SkipQuoted(const std::string& sql, size_t at) {
    const char quote = sql[at];
    for (size_t i = at + 1; i < sql.size(); ++i) {
        if (sql[i] != quote)
            continue;
        if (i + 1 < sql.size() && sql[i + 1] == quote) {
            ++i;
            continue;
        }
        return i + 1;
    }
    return sql.size();
}

}  // namespace

bool CursorCanCarry(const std::string& sql) {
    const char* begin = sql.data();
    const char* end = begin + sql.size();
    const char* p = provider::SkipBlankSql(begin, end);
    if (!provider::StartsWithKeyword(p, end, "SELECT") &&
        !provider::StartsWithKeyword(p, end, "VALUES") &&
        !provider::StartsWithKeyword(p, end, "TABLE"))
        return false;
    for (size_t i = static_cast<size_t>(p - begin); i < sql.size();) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            i = SkipQuoted(sql, i);
        } else if (c == '$') {
            return false;  // dollar quoting: left to single-row mode
        } else if (c == ';') {
            // Only blanks, comments and semicolons may follow.
            return provider::SkipBlankSql(begin + i, end) == end;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const size_t eol = sql.find('\n', i);
            i = eol == std::string::npos ? sql.size() : eol;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const size_t close = sql.find("*/", i + 2);
            i = close == std::string::npos ? sql.size() : close + 2;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t j = i;
            while (j < sql.size() &&
                   (std::isalnum(static_cast<unsigned char>(sql[j])) || sql[j] == '_'))
                ++j;
            // SELECT ... INTO makes a table: no cursor can carry it.
            if (j - i == 4 && strncasecmp(sql.c_str() + i, "into", 4) == 0)
                return false;
            i = j;
        } else {
            ++i;
        }
    }
    return true;
}

HRESULT CreatePgRowset(const std::shared_ptr<PgConnection>& conn, PGresult* first,
                       const std::wstring& statement, const provider::RowsetProperties& properties,
                       IUnknown* creator, bool cancellable, REFIID riid, IUnknown** ppRowset) {
    std::unique_ptr<PgSingleRowSource> source(
        new (std::nothrow) PgSingleRowSource(conn, first, statement, cancellable));
    if (!source) {
        PQclear(first);
        return provider::PostProviderError(E_OUTOFMEMORY, IID_ICommand,
                                           L"Out of memory making a rowset");
    }
    return provider::CreateRowset(std::move(source), properties, creator, riid, ppRowset);
}

HRESULT CreatePgCursorRowset(const std::shared_ptr<PgConnection>& conn, const std::string& sql,
                             const std::wstring& statement,
                             const provider::RowsetProperties& properties, IUnknown* creator,
                             REFIID riid, IUnknown** ppRowset) {
    const std::wstring context = L"Running " + provider::QuotedStatement(statement);
    PGconn* h = conn->Handle();
    const bool ownTransaction = !conn->InTransaction();
    if (ownTransaction) {
        PgResult begun(PQexec(h, "BEGIN"));
        if (!begun.Ok())
            return conn->Post(begun.Get(), IID_ICommand, context);
    }
    const auto undo = [&] {
        if (ownTransaction && PQstatus(h) == CONNECTION_OK)
            PgResult(PQexec(h, "ROLLBACK"));
    };
    const std::string cursor = conn->NextCursorName();
    const std::string declare = "DECLARE " + cursor + " NO SCROLL CURSOR FOR ";
    PgResult declared(PQexec(h, (declare + sql).c_str()));
    if (!declared.Ok()) {
        // Positions in the host's statement, not in the DECLARE around it.
        ErrorRecord record = conn->RecordOf(declared.Get(), IID_ICommand, context,
                                            static_cast<long>(declare.size()));
        undo();
        return PostError(record);
    }
    PGresult* first = PQexec(h, FetchText(cursor).c_str());
    if (PQresultStatus(first) != PGRES_TUPLES_OK) {
        ErrorRecord record = conn->RecordOf(first, IID_ICommand, context);
        PQclear(first);
        undo();
        return PostError(record);
    }
    std::unique_ptr<PgCursorSource> source(
        new (std::nothrow) PgCursorSource(conn, first, statement, cursor, ownTransaction));
    if (!source) {
        PQclear(first);
        undo();
        return provider::PostProviderError(E_OUTOFMEMORY, IID_ICommand,
                                           L"Out of memory making a rowset");
    }
    return provider::CreateRowset(std::move(source), properties, creator, riid, ppRowset);
}

}  // namespace vorn::pgprovider
