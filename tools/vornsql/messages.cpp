// Messages to standard error.
#include "messages.h"

#include <cstdio>

#include <vornoledb/platform/text.h>
#include <vornoledb/windows_names.h>

namespace vornsql {

void ReportError(const std::string& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "vornsql: %s\n", text.c_str());
}

void ReportFailure(const std::string& what, VornOleDbErrorInfo& errors, long status) {
    std::fflush(stdout);
    std::string details = WideToUtf8(errors.GetErrorInfo(true));
    while (!details.empty() && details.back() == '\n')
        details.pop_back();
    if (errors.GetErrorText().empty()) {
        char code[80] = "the provider gave no description";
        if (status != 0)
            std::snprintf(code, sizeof code, "the provider gave no description (status 0x%08X)",
                          static_cast<unsigned>(status));
        details = details.empty() ? code : std::string(code) + "\n" + details;
    }
    std::fprintf(stderr, "vornsql: %s\n%s\n", what.c_str(), details.c_str());
}

}  // namespace vornsql
