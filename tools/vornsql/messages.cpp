// Messages to standard error.
#include "messages.h"

#include <cstdio>

#include <vornoledb/platform/text.h>
#include <vornoledb/windows_names.h>

#include "error_text.h"
#include "password_mask.h"
#include "terminal_text.h"

namespace vornsql {
namespace {

bool verboseErrors = false;

void WriteLines(const std::string& text) {
    std::fflush(stdout);
    std::fputs(Printable(MaskPasswords(text), true).c_str(), stderr);
    std::fflush(stderr);
}

std::string NoDescription(long status) {
    char code[80] = "the provider gave no description";
    if (status != 0)
        std::snprintf(code, sizeof code, "the provider gave no description (status 0x%08X)",
                      static_cast<unsigned>(status));
    return code;
}

}  // namespace

void SetVerboseErrors(bool verbose) {
    verboseErrors = verbose;
}

void ReportError(const std::string& text) {
    WriteLines("vornsql: " + Printable(text) + "\n");
}

void ReportFailure(const std::string& what, VornOleDbErrorInfo& errors, long status,
                   const std::string& statement) {
    const std::string records = WideToUtf8(errors.GetErrorText());
    const std::vector<ErrorRecord> parsed = ParseErrorRecords(records);
    size_t position = 0;
    for (const ErrorRecord& r : parsed)
        if (!position)
            position = ErrorPosition(r.description);

    std::string text;
    if (verboseErrors) {
        text = "vornsql: " + Printable(what) + (statement.empty() ? "" : ": the statement failed") +
               "\n";
        if (records.empty())
            text += NoDescription(status) + "\n";
        else
            text += Printable(records, true);
        if (!text.empty() && text.back() != '\n')
            text += '\n';
    } else {
        std::string line = "vornsql: " + what + ": ";
        if (parsed.empty()) {
            line += NoDescription(status);
        } else {
            const ErrorRecord& first = parsed.front();
            line += WithoutStatement(first.description, statement);
            if (!first.sqlState.empty())
                line += " (" + first.sqlState + ")";
            if (parsed.size() > 1)
                line += " (" + std::to_string(parsed.size() - 1) + " more error record" +
                        (parsed.size() > 2 ? "s" : "") + ": --verbose shows them)";
        }
        text = Printable(line) + "\n";
    }
    if (!statement.empty())
        for (const std::string& l : StatementExcerpt(statement, position, verboseErrors))
            text += l + "\n";
    WriteLines(text);
}

}  // namespace vornsql
