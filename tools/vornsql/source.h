// From the SOURCE of the command line to an open connection.
#pragma once

#include <string>

#include <vornoledb/connection.h>

#include "options.h"

namespace vornsql {

// The connection string for a file or folder: a database file as it is; a workbook
// (.xlsx/.xlsm/.xls) with the Excel extended properties; a delimited text file
// (.csv/.txt/.tsv/.tab) or a folder as a text data source (the file's folder).
std::wstring ConnectionStringForPath(const std::string& path, bool readOnly);

// A value for a connection string, quoted when it holds characters that would end or
// change it (';', quotes, '=' or blanks at either end): "a;b" -> "\"a;b\"".
std::wstring ConnectionStringValue(const std::wstring& value);

// The connection string the options name (--connect as given, else built from SOURCE).
std::wstring ConnectionStringFor(const Options& options);

// Opens the connection; on failure writes what failed, and why, to standard error.
bool OpenConnection(const Options& options, VornOleDbConnection* connection);

// "the file x.db" or "the connection string ..." for messages.
std::string DescribeSource(const Options& options);

}  // namespace vornsql
