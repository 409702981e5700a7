// Messages to standard error.
#pragma once

#include <string>

#include <vornoledb/error_info.h>

namespace vornsql {

// "vornsql: TEXT" on its own line.
void ReportError(const std::string& text);
// "vornsql: WHAT" followed by the object's error information (the provider's records and
// the failing statement); when the provider left no records, the status code instead.
void ReportFailure(const std::string& what, VornOleDbErrorInfo& errors, long status);

}  // namespace vornsql
