// What a run of vornsql works with: its options, the open connection and the output.
#pragma once

#include <string>

#include <vornoledb/command.h>
#include <vornoledb/connection.h>

#include "options.h"
#include "output.h"

namespace vornsql {

class InterruptWatch;

struct Session {
    Options options;
    Format format = Format::Table;  // never Auto here
    VornOleDbConnection* connection = nullptr;
    Output* out = nullptr;
    // Statements come from a script on standard input (not typed, not arguments): counts of
    // rows affected are left out unless they go to the table on the terminal.
    bool scriptInput = false;
    // Writing the results failed (reported): nothing more is run.
    bool outputBroken = false;
    // Ctrl-C during a statement, in an interactive session; null elsewhere.
    InterruptWatch* interrupts = nullptr;
    // .timer on: the time each statement took is shown after it.
    bool timer = false;
    // The pager for results taller than the terminal; empty for none.
    std::string pager;
    // The schema may have changed since names were read for completion.
    bool schemaChanged = true;
};

// The format the options ask for; Auto becomes table on a terminal, csv elsewhere.
Format ResolveFormat(Format requested, const Output& out);

// Runs one SQL statement. Rows go to the session's writer; for a statement without rows
// the number of rows affected is reported (to the output in table format, else to
// standard error). On failure the error is written to standard error, introduced by
// "where" ("line 12"), and false is returned; also when Ctrl-C stopped it ("interrupted").
bool RunSql(Session& session, const std::string& sql, const std::string& where);

// Writes the result of an executed command with the session's format; progressLabel, when
// not empty, names the rows on the progress line ("exported"). False when reading the rows
// or writing them failed (reported). rowsWritten, when given, receives the row count.
bool WriteResult(Session& session, VornOleDbCommand& command, const std::string& progressLabel,
                 const std::string& where, unsigned long long* rowsWritten = nullptr);

// A line for the person running vornsql (row counts, times): on the output when it is
// the table on a terminal, else on standard error (left out for scripts from a pipe when
// forScript is false).
void Note(Session& session, const std::string& line, bool forScript);

// Pages one result when the output is a terminal and a pager is set, for the life of the
// object.
class PagedResult {
  public:
    explicit PagedResult(Session& session);
    ~PagedResult();
    PagedResult(const PagedResult&) = delete;
    PagedResult& operator=(const PagedResult&) = delete;

  private:
    Output* out_;
};

}  // namespace vornsql
