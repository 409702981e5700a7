// What a run of vornsql works with: its options, the open connection and the output.
#pragma once

#include <string>

#include <vornoledb/command.h>
#include <vornoledb/connection.h>

#include "options.h"
#include "output.h"

namespace vornsql {

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
};

// The format the options ask for; Auto becomes table on a terminal, csv elsewhere.
Format ResolveFormat(Format requested, const Output& out);

// Runs one SQL text. Rows go to the session's writer; for a statement without rows the
// number of rows affected is reported (to the output in table format, else to standard
// error). On failure the error information is written to standard error, introduced by
// "where" ("line 12 of standard input"), and false is returned.
bool RunSql(Session& session, const std::string& sql, const std::string& where);

// Writes the result of an executed command with the session's format; progressLabel, when
// not empty, names the rows on the progress line ("exported"). False when reading the rows
// or writing them failed (reported).
bool WriteResult(Session& session, VornOleDbCommand& command, const std::string& progressLabel,
                 const std::string& where);

}  // namespace vornsql
