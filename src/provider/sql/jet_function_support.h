// Shared pieces of the Jet functions registered on SQLite handles: reading arguments the
// way the Jet expression service converts them, returning results in the dialect's
// representations (True is -1, dates are 'YYYY-MM-DD HH:MM:SS' text) and raising the
// engine's errors with the function and argument named.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

#include "sql/jet_dates.h"
#include "sql/jet_values.h"

namespace vorn::provider::sql {

using ScalarFunction = void (*)(sqlite3_context*, int, sqlite3_value**);

struct FunctionDef {
    const char* name;  // SQLite name, e.g. "jet_left"
    int minArgs;
    int maxArgs;
    bool deterministic;
    ScalarFunction fn;
};

struct AggregateDef {
    const char* name;
    int nArgs;
    ScalarFunction step;
    void (*final)(sqlite3_context*);
};

std::vector<FunctionDef> TextFunctions();
std::vector<FunctionDef> NumberFunctions();
std::vector<FunctionDef> DateFunctions();
std::vector<FunctionDef> OperatorFunctions();
std::vector<FunctionDef> StoreFunctions();
std::vector<AggregateDef> AggregateFunctions();

// The Jet name of a function for messages ("Left"), taken from the registered name.
std::string JetFunctionName(sqlite3_context* ctx);

// Errors with the engine's wording, naming the function: "Left: invalid use of Null in
// argument 2". code is the SQLite result code reported (SQLITE_ERROR, SQLITE_MISMATCH,
// SQLITE_RANGE ...).
void RaiseError(sqlite3_context* ctx, const std::string& what, int code = SQLITE_ERROR);
void InvalidNull(sqlite3_context* ctx, int argument);
void InvalidArgument(sqlite3_context* ctx, int argument);
void TypeMismatch(sqlite3_context* ctx, int argument);
void Overflow(sqlite3_context* ctx);

inline bool IsNull(sqlite3_value* v) {
    return sqlite3_value_type(v) == SQLITE_NULL;
}

// The stored date text 'YYYY-MM-DD HH:MM:SS' or 'YYYY-MM-DD' read quickly; false for
// anything else.
bool ParseStoredDate(const char* text, int n, JetStamp* out);

// A number from an integer, a real, numeric text or date text (its serial number).
bool ValueNumber(sqlite3_value* v, JetNumber* out);
// A number from text: numeric text, or stored date text (its serial number).
bool TextNumber(const char* text, int bytes, JetNumber* out);
// The engine's words for Yes and No (True, Yes, On / False, No, Off; any case, blanks
// ignored) as -1 and 0; false for other text.
bool YesNoWord(const std::string& text, JetNumber* out);

// A date from a number (a serial number) or date text.
bool ValueStamp(sqlite3_value* v, JetStamp* out);
// The text form: integers in decimal, reals as the engine shows them, text as is.
std::string ValueText(sqlite3_value* v);
std::u32string ValueChars(sqlite3_value* v);

// Whole numbers of arguments that count or position (rounded half to even, as the engine
// rounds them). False with the error raised when Null, not a number or out of range.
bool ArgInteger(sqlite3_context* ctx, sqlite3_value** argv, int index, int64_t* out);

void ResultNumber(sqlite3_context* ctx, const JetNumber& n);
void ResultDouble(sqlite3_context* ctx, double d);
void ResultText(sqlite3_context* ctx, const std::string& s);
void ResultChars(sqlite3_context* ctx, const std::u32string& s);
void ResultBool(sqlite3_context* ctx, bool b);  // -1 or 0
void ResultStamp(sqlite3_context* ctx, JetStamp s);

}  // namespace vorn::provider::sql
