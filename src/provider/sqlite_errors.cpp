// SQLite failures as error records.
#include "sqlite_errors.h"

#include <sqlite3.h>

#include <cstring>

#include "provider_errors.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider {
namespace {

bool StartsWith(const char* text, const char* prefix) {
    return text && std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool Contains(const char* text, const char* part) {
    return text && std::strstr(text, part);
}

// Messages of SQLite's parser and name resolution: the statement itself is at fault.
bool IsStatementError(const char* m) {
    return Contains(m, "syntax error") || StartsWith(m, "incomplete input") ||
           StartsWith(m, "unrecognized token") || StartsWith(m, "no such function") ||
           StartsWith(m, "wrong number of arguments") || StartsWith(m, "misuse of") ||
           StartsWith(m, "ambiguous column name") || StartsWith(m, "no such collation") ||
           StartsWith(m, "near ") || Contains(m, "columns but") ||
           StartsWith(m, "too many terms") || StartsWith(m, "no tables specified") ||
           StartsWith(m, "sub-select returns") || StartsWith(m, "row value misused") ||
           StartsWith(m, "cannot ") || Contains(m, "may not be") ||
           StartsWith(m, "duplicate column name") || Contains(m, "has no column named") ||
           StartsWith(m, "unknown database") || StartsWith(m, "no such module") ||
           StartsWith(m, "default value of column");
}

// Result code and message of db's last failure when it is rc's, else SQLite's generic text.
void LastError(sqlite3* db, int rc, int* extended, const char** message) {
    *extended = rc;
    *message = sqlite3_errstr(rc);
    if (db && (sqlite3_errcode(db) & 0xff) == (rc & 0xff)) {
        *message = sqlite3_errmsg(db);
        const int ext = sqlite3_extended_errcode(db);
        if ((ext & 0xff) == (rc & 0xff))
            *extended = ext;
    }
}

std::wstring SystemErrorSuffix(sqlite3* db) {
    if (!db)
        return L"";
    const int error = sqlite3_system_errno(db);
    return error ? L" (" + ErrnoText(error) + L")" : L"";
}

// What went wrong, in words, naming the file where the file is at fault.
std::wstring Explain(sqlite3* db, int extended, const char* message) {
    const std::wstring file = Quoted(SqliteDatabaseName(db));
    const std::wstring sqliteText = Utf8ToWide(message ? message : "unknown error");
    switch (extended & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return L"the database " + file + L" is locked by another connection or process";
        case SQLITE_READONLY:
            return L"the database " + file + L" is open read-only or its file cannot be written (" +
                   sqliteText + L")";
        case SQLITE_CORRUPT:
            return L"the database file " + file + L" is damaged (" + sqliteText + L")";
        case SQLITE_NOTADB:
            return L"the file " + file + L" is not a SQLite database (" + sqliteText + L")";
        case SQLITE_FULL:
            return L"the disk holding " + file + L" is full (" + sqliteText + L")";
        case SQLITE_IOERR:
            return L"reading or writing the database file " + file + L" failed (" + sqliteText +
                   L")" + SystemErrorSuffix(db);
        case SQLITE_CANTOPEN:
            return L"the database file " + file + L" could not be opened" + SystemErrorSuffix(db);
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return L"access to the database " + file + L" was denied (" + sqliteText + L")";
        case SQLITE_NOMEM:
            return L"out of memory (" + sqliteText + L")";
        default:
            return sqliteText;
    }
}

}  // namespace

SqliteErrorClass ClassifySqliteError(int rc, const char* m) {
    switch (rc & 0xff) {
        case SQLITE_CONSTRAINT:
            return {DB_E_INTEGRITYVIOLATION, L"23000"};
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return {STG_E_LOCKVIOLATION, L"HYT00"};
        case SQLITE_READONLY:
            return {DB_E_READONLY, L"HY000"};
        case SQLITE_NOMEM:
            return {E_OUTOFMEMORY, L"HY001"};
        case SQLITE_INTERRUPT:
            return {DB_E_CANCELED, L"HY008"};
        case SQLITE_MISMATCH:
            return {DB_E_CANTCONVERTVALUE, L"22018"};
        case SQLITE_TOOBIG:
            return {DB_E_DATAOVERFLOW, L"22001"};
        case SQLITE_RANGE:
            return {E_INVALIDARG, L"07009"};
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return {E_ACCESSDENIED, L"42000"};
        case SQLITE_NOTADB:
            return {STG_E_INVALIDHEADER, L"HY000"};
        case SQLITE_ERROR:
            if (StartsWith(m, "no such table") || StartsWith(m, "no such view"))
                return {DB_E_NOTABLE, L"42S02"};
            if (StartsWith(m, "no such column"))
                return {DB_E_ERRORSINCOMMAND, L"42S22"};
            if (StartsWith(m, "table ") && Contains(m, "already exists"))
                return {DB_E_ERRORSINCOMMAND, L"42S01"};
            if (StartsWith(m, "index ") && Contains(m, "already exists"))
                return {DB_E_ERRORSINCOMMAND, L"42S11"};
            if (StartsWith(m, "no such index"))
                return {DB_E_ERRORSINCOMMAND, L"42S12"};
            if (IsStatementError(m))
                return {DB_E_ERRORSINCOMMAND, L"42000"};
            return {E_FAIL, L"HY000"};
        default:
            return {E_FAIL, L"HY000"};
    }
}

std::wstring SqliteDatabaseName(sqlite3* db) {
    const char* name = db ? sqlite3_db_filename(db, "main") : nullptr;
    if (!name || !*name)
        return L"(in-memory database)";
    return Utf8ToWide(name);
}

ErrorRecord MakeSqliteErrorRecord(sqlite3* db, int rc, REFIID iid, const std::wstring& context) {
    int extended = rc;
    const char* message = nullptr;
    LastError(db, rc, &extended, &message);
    const SqliteErrorClass cls = ClassifySqliteError(extended, message);
    const std::wstring what = Explain(db, extended, message);
    ErrorRecord record =
        MakeProviderRecord(cls.hr, iid, context.empty() ? what : context + L": " + what);
    record.hasSqlInfo = true;
    record.sqlState = cls.sqlState;
    record.nativeError = extended;
    return record;
}

HRESULT PostSqliteError(sqlite3* db, int rc, REFIID iid, const std::wstring& context) {
    return PostError(MakeSqliteErrorRecord(db, rc, iid, context));
}

HRESULT AppendSqliteError(sqlite3* db, int rc, REFIID iid, const std::wstring& context) {
    return AppendError(MakeSqliteErrorRecord(db, rc, iid, context));
}

}  // namespace vorn::provider
