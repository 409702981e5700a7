// SQLite failures as error records: one mapping from SQLite result codes and messages to
// HRESULTs, SQLSTATEs and descriptions, used by the data source, sessions, commands and
// rowsets alike.
#pragma once

#include <string>

#include "error_records.h"

struct sqlite3;

namespace vorn::provider {

struct SqliteErrorClass {
    HRESULT hr;
    const wchar_t* sqlState;  // 23000, 42000, 42S02 ... or HY000
};

// Classifies a SQLite result code (primary or extended) with its message text (UTF-8, may
// be null): constraint violations are 23000, a missing table 42S02, a missing column 42S22,
// syntax and other statement errors 42000, a lock that did not clear HYT00, others HY000.
SqliteErrorClass ClassifySqliteError(int rc, const char* message);

// A record for the failure rc of db (db may be null, e.g. when sqlite3_open failed to
// allocate). The description is "<context>: <what went wrong>", where what went wrong
// names the database file for failures of the file (locked, read-only, damaged, not a
// database, disk full, I/O error) and is SQLite's message otherwise ("no such table: T",
// "UNIQUE constraint failed: T.C"). The record carries SQL information: the SQLSTATE and
// the extended result code as native error. guid is iid.
ErrorRecord MakeSqliteErrorRecord(sqlite3* db, int rc, REFIID iid, const std::wstring& context);

// Posts the record as the thread's error object (replacing any pending one); returns its
// HRESULT, never a success code.
HRESULT PostSqliteError(sqlite3* db, int rc, REFIID iid, const std::wstring& context);

// Adds the record to the thread's pending error object; returns its HRESULT.
HRESULT AppendSqliteError(sqlite3* db, int rc, REFIID iid, const std::wstring& context);

// The file name of db's main database for messages, or "(in-memory database)".
std::wstring SqliteDatabaseName(sqlite3* db);

}  // namespace vorn::provider
