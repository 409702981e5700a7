// The sub-commands of vornsql. Each returns the process's exit status (0 success, 1
// failure) and reports its failures on standard error.
#pragma once

#include <string>
#include <vector>

#include "session.h"

namespace vornsql {

int RunSqlArguments(Session& session);
// Statements from standard input, with a prompt when it is a terminal.
int RunInput(Session& session);

int ListTables(Session& session);
int ListColumns(Session& session, const std::string& table);
int ListIndexes(Session& session, const std::string& table);
// .schema: the CREATE statements of a table or view, or of all of them (name empty).
int ShowSchema(Session& session, const std::string& name);
// Table, view and column names that start with prefix (letter case ignored), for Tab.
std::vector<std::string> CompletionNames(Session& session, const std::string& prefix);
int ExportRows(Session& session);

int CreateDatabase(const Options& options);
int CompactDatabase(const Options& options);
// copy SOURCE TARGET: every table of the source into a PostgreSQL database or a new
// database file.
int CopyDatabase(const Options& options);

}  // namespace vornsql
