// Connections to PostgreSQL servers.
#include "pg_connection.h"

#include <libpq-fe.h>

#include <cstdlib>

#include "provider_errors.h"
#include "vornoledb/platform/text.h"

namespace vorn::pgprovider {
namespace {

// DB_E_CANNOTCONNECT isn't named by the platform header: a connection failure is reported
// as OLE DB providers do, with E_FAIL and the server's words.
constexpr HRESULT kConnectionFailed = E_FAIL;

// Notices (NOTICE, WARNING) are the server's remarks, not failures: they are not printed.
void DropNotice(void*, const char*) {}

std::wstring Trimmed(std::wstring s) {
    while (!s.empty() && (s.back() == L'\n' || s.back() == L' ' || s.back() == L'\r'))
        s.pop_back();
    return s;
}

}  // namespace

std::wstring PgTarget::Describe() const {
    std::wstring text = L"host '" + Utf8ToWide(host.empty() ? "localhost" : host) + L"'";
    text += L", port " + Utf8ToWide(port.empty() ? "5432" : port);
    text += L", database '" +
            Utf8ToWide(database.empty() ? (user.empty() ? "(default)" : user) : database) + L"'";
    return text;
}

PgResult::~PgResult() {
    if (r_)
        PQclear(r_);
}

PgResult& PgResult::operator=(PgResult&& o) noexcept {
    if (this != &o) {
        if (r_)
            PQclear(r_);
        r_ = o.r_;
        o.r_ = nullptr;
    }
    return *this;
}

bool PgResult::Ok() const {
    if (!r_)
        return false;
    const ExecStatusType s = PQresultStatus(r_);
    return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
}

int PgResult::Rows() const {
    return r_ ? PQntuples(r_) : 0;
}

std::string PgResult::Text(int row, int column) const {
    if (!r_ || PQgetisnull(r_, row, column))
        return std::string();
    return std::string(PQgetvalue(r_, row, column),
                       static_cast<size_t>(PQgetlength(r_, row, column)));
}

bool PgResult::IsNull(int row, int column) const {
    return !r_ || PQgetisnull(r_, row, column);
}

HRESULT PgConnection::Open(const PgTarget& target, REFIID iid, std::shared_ptr<PgConnection>* out) {
    provider::ErrorSourceScope scope(kPgErrorSource);
    std::vector<const char*> keys;
    std::vector<const char*> values;
    const auto add = [&](const char* k, const std::string& v) {
        if (!v.empty()) {
            keys.push_back(k);
            values.push_back(v.c_str());
        }
    };
    add("host", target.host);
    add("port", target.port);
    add("dbname", target.database);
    add("user", target.user);
    add("password", target.password);
    for (const auto& option : target.options)
        add(option.first.c_str(), option.second);
    // Text comes and goes as UTF-8, whatever the server's or the environment's encoding.
    keys.push_back("client_encoding");
    values.push_back("UTF8");
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PGconn* conn = PQconnectdbParams(keys.data(), values.data(), 0);
    if (!conn)
        return provider::PostProviderError(E_OUTOFMEMORY, iid,
                                           L"out of memory connecting to the PostgreSQL server");
    std::shared_ptr<PgConnection> c(new PgConnection(conn, target));
    if (PQstatus(conn) != CONNECTION_OK) {
        const std::wstring why = Trimmed(c->Scrub(PQerrorMessage(conn)));
        ErrorRecord record = provider::MakeProviderRecord(
            kConnectionFailed, iid,
            L"could not connect to the PostgreSQL server at " + target.Describe() + L": " + why);
        record.hasSqlInfo = true;
        // 28P01 (invalid password) and 28000 are the server's; a connection that never
        // reached a server is 08001.
        record.sqlState =
            why.find(L"password authentication failed") != std::wstring::npos ? L"28P01" : L"08001";
        return PostError(record);
    }
    PQsetNoticeProcessor(conn, &DropNotice, nullptr);
    // Dates in the ISO form the value conversions read; numbers with every digit.
    PgResult setup(PQexec(conn, "SET DateStyle TO ISO, YMD; SET extra_float_digits TO 3"));
    if (!setup.Ok())
        return c->Post(
            setup.Get(), iid,
            L"could not prepare the session on the PostgreSQL server at " + target.Describe());
    *out = std::move(c);
    return S_OK;
}

PgConnection::~PgConnection() {
    PQfinish(conn_);
}

std::wstring PgConnection::Scrub(const std::string& text) const {
    std::wstring out = Utf8ToWide(text);
    if (target_.password.empty())
        return out;
    const std::wstring secret = Utf8ToWide(target_.password);
    for (size_t at = out.find(secret); at != std::wstring::npos; at = out.find(secret, at))
        out.replace(at, secret.size(), L"********");
    return out;
}

bool PgConnection::Alive() const {
    return !broken_ && PQstatus(conn_) == CONNECTION_OK;
}

ErrorRecord PgConnection::RecordOf(const PGresult* result, REFIID iid, const std::wstring& context,
                                   long positionShift) const {
    provider::ErrorSourceScope scope(kPgErrorSource);
    std::wstring message;
    std::wstring state;
    std::wstring position;
    if (result) {
        if (const char* m = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY))
            message = Scrub(m);
        if (const char* d = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL))
            message += L" (" + Scrub(d) + L")";
        if (const char* s = PQresultErrorField(result, PG_DIAG_SQLSTATE))
            state = Utf8ToWide(s);
        if (const char* p = PQresultErrorField(result, PG_DIAG_STATEMENT_POSITION)) {
            const long at = std::strtol(p, nullptr, 10) - positionShift;
            if (at > 0)
                position = std::to_wstring(at);
        }
        if (message.empty())
            message = Trimmed(Scrub(PQresultErrorMessage(result)));
    }
    // The server ends a session it is told to end (stopping, or by an administrator) with
    // a last message of class 57P0 before it closes the connection.
    const bool lost = PQstatus(conn_) != CONNECTION_OK || state.compare(0, 4, L"57P0") == 0;
    if (message.empty())
        message = Trimmed(Scrub(PQerrorMessage(conn_)));
    if (lost) {
        message = L"the connection to the PostgreSQL server at " + target_.Describe() +
                  L" was lost" + (message.empty() ? L"" : L": " + message);
        if (state.empty())
            state = L"08006";
        // The connection is of no further use, even before libpq has seen it close.
        broken_ = true;
    }
    std::wstring text = context.empty() ? message : context + L": " + message;
    if (!position.empty())
        text += L" (at character " + position + L" of the statement)";
    HRESULT hr = DB_E_ERRORSINCOMMAND;
    if (lost)
        hr = E_FAIL;
    else if (state == L"42P01")
        hr = DB_E_NOTABLE;
    ErrorRecord record = provider::MakeProviderRecord(hr, iid, text);
    record.hasSqlInfo = !state.empty();
    record.sqlState = state;
    if (!position.empty())
        record.nativeError = static_cast<LONG>(std::wcstol(position.c_str(), nullptr, 10));
    return record;
}

HRESULT PgConnection::Post(const PGresult* result, REFIID iid, const std::wstring& context) const {
    return PostError(RecordOf(result, iid, context));
}

PgResult PgConnection::Run(const std::string& sql, REFIID iid, const std::wstring& context,
                           HRESULT* hr) {
    DrainResults();
    PgResult result(PQexec(conn_, sql.c_str()));
    if (!result.Ok()) {
        *hr = Post(result.Get(), iid, context);
        return PgResult();
    }
    *hr = S_OK;
    return result;
}

bool PgConnection::InTransaction() const {
    const PGTransactionStatusType s = PQtransactionStatus(conn_);
    return s == PQTRANS_INTRANS || s == PQTRANS_INERROR;
}

std::wstring PgConnection::ServerVersion() const {
    const int v = PQserverVersion(conn_);
    if (v >= 100000)
        return std::to_wstring(v / 10000) + L"." + std::to_wstring(v % 10000);
    return std::to_wstring(v / 10000) + L"." + std::to_wstring(v / 100 % 100) + L"." +
           std::to_wstring(v % 100);
}

}  // namespace vorn::pgprovider
