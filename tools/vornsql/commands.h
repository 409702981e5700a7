// The sub-commands of vornsql. Each returns the process's exit status (0 success, 1
// failure) and reports its failures on standard error.
#pragma once

#include <string>

#include "session.h"

namespace vornsql {

int RunSqlArguments(Session& session);
// Statements from standard input, with a prompt when it is a terminal.
int RunInput(Session& session);

int ListTables(Session& session);
int ListColumns(Session& session, const std::string& table);
int ListIndexes(Session& session, const std::string& table);
int ExportRows(Session& session);

int CreateDatabase(const Options& options);
int CompactDatabase(const Options& options);

}  // namespace vornsql
