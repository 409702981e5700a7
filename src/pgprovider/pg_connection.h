// One connection to a PostgreSQL server, shared by the data source, its session, commands
// and rowsets (each holds a shared_ptr, so the connection outlives the last user).
//
// libpq carries one query at a time on a connection. A rowset reads its rows as the
// consumer asks for them (single-row mode), so while one is open the connection is busy
// with it: before anything else is sent, every open result reads the rest of its rows into
// its own store (OpenResults::DrainResults), which also makes each result a snapshot.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "error_records.h"
#include "rowset/open_results.h"

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace vorn::pgprovider {

// The error source of every record the PostgreSQL provider posts.
inline constexpr wchar_t kPgErrorSource[] = L"PostgreSQL";

// Where to connect: from Data Source (host[:port]), Initial Catalog, User ID, Password and
// Extended Properties (further libpq keywords).
struct PgTarget {
    std::string host;
    std::string port;
    std::string database;
    std::string user;
    std::string password;
    std::vector<std::pair<std::string, std::string>> options;  // libpq keyword and value

    // "host 'db1', port 5432, database 'sales'" for messages: never the password.
    std::wstring Describe() const;
};

// A PGresult freed when it goes.
class PgResult {
  public:
    PgResult() = default;
    explicit PgResult(PGresult* r) : r_(r) {}
    ~PgResult();
    PgResult(PgResult&& o) noexcept : r_(o.r_) { o.r_ = nullptr; }
    PgResult& operator=(PgResult&& o) noexcept;
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;

    PGresult* Get() const { return r_; }
    PGresult* Release() {
        PGresult* r = r_;
        r_ = nullptr;
        return r;
    }
    explicit operator bool() const { return r_ != nullptr; }
    // PGRES_COMMAND_OK or PGRES_TUPLES_OK.
    bool Ok() const;
    int Rows() const;
    // The text of a field; "" for NULL.
    std::string Text(int row, int column) const;
    bool IsNull(int row, int column) const;

  private:
    PGresult* r_ = nullptr;
};

class PgConnection : public provider::OpenResults {
  public:
    // Connects; on failure posts a record that names host, port and database (never the
    // password) and returns the failure.
    static HRESULT Open(const PgTarget& target, REFIID iid, std::shared_ptr<PgConnection>* out);
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    PGconn* Handle() const { return conn_; }
    const PgTarget& Target() const { return target_; }

    // Runs SQL (open results drained first) and gives its last result; a failure posts a
    // record ("context: server message") and gives a null result.
    PgResult Run(const std::string& sql, REFIID iid, const std::wstring& context, HRESULT* hr);

    // Whether the connection still stands: false once a call found it broken (the server
    // stopped or closed it). The call that finds it fails with a record saying so; the
    // socket is not probed between calls, so that the first call after a loss fails with
    // that clear record rather than an unexplained refusal.
    bool Alive() const;

    // The record of a failed result (or of the connection when result is null): the
    // server's message, SQLSTATE and position, with context before it. A broken
    // connection says so and names the server.
    // positionShift is taken off the server's position: the length of text the provider
    // put before the host's statement (a DECLARE ... CURSOR FOR).
    ErrorRecord RecordOf(const PGresult* result, REFIID iid, const std::wstring& context,
                         long positionShift = 0) const;
    HRESULT Post(const PGresult* result, REFIID iid, const std::wstring& context) const;

    // Text from libpq or the server with the password taken out, should it ever appear.
    std::wstring Scrub(const std::string& text) const;

    // The server's version ("15.4"), database and user.
    std::wstring ServerVersion() const;

    // Whether a transaction is open on the server (begun by the session or by SQL).
    bool InTransaction() const;

    // A name for a new cursor of this connection.
    std::string NextCursorName() { return "vornoledb_cursor_" + std::to_string(++cursors_); }

  private:
    PgConnection(PGconn* conn, PgTarget target) : conn_(conn), target_(std::move(target)) {}

    PGconn* conn_;
    PgTarget target_;
    mutable bool broken_ = false;  // a call found the connection lost
    unsigned long cursors_ = 0;
};

}  // namespace vorn::pgprovider
