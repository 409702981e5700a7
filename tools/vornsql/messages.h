// Messages to standard error. Everything written there passes through Printable (no
// control characters reach the terminal) and MaskPasswords.
#pragma once

#include <string>

#include <vornoledb/error_info.h>

namespace vornsql {

// With verbose set, failures show the provider's whole error records and the statement's
// start; without, one line.
void SetVerboseErrors(bool verbose);

// "vornsql: TEXT" on its own line.
void ReportError(const std::string& text);
// A failure: "vornsql: WHAT: DESCRIPTION (SQLSTATE)" from the object's error records (a
// copy of the statement in them left out); when the provider left no records, the status
// code instead. A syntax error that names a position is followed by the statement's line
// around it, with a caret under it. Verbose: "vornsql: WHAT", then the records whole and
// the statement's length and start.
void ReportFailure(const std::string& what, VornOleDbErrorInfo& errors, long status,
                   const std::string& statement = std::string());

}  // namespace vornsql
