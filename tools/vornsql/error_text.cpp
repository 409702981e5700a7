// Error records made short, and statements shown in part.
#include "error_text.h"

#include <algorithm>
#include <cctype>

#include <vornoledb/platform/text.h>
#include <vornoledb/windows_names.h>

#include "terminal_text.h"

namespace vornsql {
namespace {

constexpr size_t kShownColumns = 72;    // of a statement line in an excerpt
constexpr size_t kBeforePosition = 40;  // characters shown before the error position
constexpr size_t kQuotedByProvider = 500;

// One line of a statement for display: tabs as blanks (so that the caret lines up),
// other control characters escaped.
std::string Shown(const std::wstring& line) {
    std::wstring plain = line;
    for (wchar_t& c : plain)
        if (c == L'\t')
            c = L' ';
    return Printable(WideToUtf8(plain));
}

}  // namespace

std::vector<ErrorRecord> ParseErrorRecords(const std::string& errorText) {
    std::vector<ErrorRecord> records;
    const std::string descriptionTag = "\nDescription: \"";
    const std::string descriptionEnd = "\"\nHelp File: ";
    const std::string stateTag = "SQLState: ";
    size_t at = 0;
    for (;;) {
        const size_t d = errorText.find(descriptionTag, at);
        if (d == std::string::npos)
            break;
        const size_t start = d + descriptionTag.size();
        size_t end = errorText.find(descriptionEnd, start);
        if (end == std::string::npos)
            end = errorText.size();
        ErrorRecord record;
        record.description = errorText.substr(start, end - start);
        // The SQL state belongs to this record when it comes before the next record.
        const size_t next = errorText.find(descriptionTag, end);
        const size_t s = errorText.find(stateTag, end);
        if (s != std::string::npos && (next == std::string::npos || s < next)) {
            const size_t stateStart = s + stateTag.size();
            const size_t stateEnd = errorText.find_first_of(",\n", stateStart);
            record.sqlState =
                errorText.substr(stateStart, stateEnd == std::string::npos ? std::string::npos
                                                                           : stateEnd - stateStart);
        }
        records.push_back(std::move(record));
        at = end;
    }
    return records;
}

std::string WithoutStatement(const std::string& description, const std::string& statement) {
    if (statement.empty())
        return description;
    const std::wstring wide = Utf8ToWide(statement);
    std::vector<std::string> quoted = {"'" + statement + "'"};
    if (wide.size() > kQuotedByProvider)
        quoted.insert(quoted.begin(), "'" + WideToUtf8(wide.substr(0, kQuotedByProvider)) + "...'");
    for (const std::string& q : quoted) {
        const size_t at = description.find(q);
        if (at == std::string::npos)
            continue;
        // "Preparing 'SQL': text" -> "text"
        if (description.compare(at + q.size(), 2, ": ") == 0)
            return description.substr(at + q.size() + 2);
        // "text (in 'SQL')" -> "text"
        if (at >= 5 && description.compare(at - 5, 5, " (in ") == 0 &&
            description.compare(at + q.size(), 1, ")") == 0)
            return description.substr(0, at - 5) + description.substr(at + q.size() + 1);
        return description.substr(0, at) + "the statement" + description.substr(at + q.size());
    }
    return description;
}

size_t ErrorPosition(const std::string& description) {
    const std::string tag = "position ";
    for (size_t at = description.find(tag); at != std::string::npos;
         at = description.find(tag, at + 1)) {
        size_t i = at + tag.size();
        size_t n = 0;
        bool digits = false;
        while (i < description.size() && std::isdigit(static_cast<unsigned char>(description[i]))) {
            n = n * 10 + static_cast<size_t>(description[i] - '0');
            digits = true;
            if (n > 1000000000000ull)
                return 0;
            ++i;
        }
        if (digits && n > 0)
            return n;
    }
    return 0;
}

std::vector<std::string> StatementExcerpt(const std::string& statement, size_t position,
                                          bool verbose) {
    std::vector<std::string> lines;
    const std::wstring text = Utf8ToWide(statement);
    size_t lineCount = 1;
    for (wchar_t c : text)
        if (c == L'\n')
            ++lineCount;
    const bool whole = lineCount == 1 && text.size() <= kShownColumns;
    if (position > text.size() + 1)
        position = 0;
    // A long statement is named by its length and start (and never shown whole).
    if (verbose || (!whole && position != 0)) {
        std::string head = "statement (" + std::to_string(text.size()) + " characters";
        if (lineCount > 1)
            head += ", " + std::to_string(lineCount) + " lines";
        lines.push_back(head + (whole ? "):" : "), starting:"));
        if (!whole || position == 0) {
            const size_t firstEnd = text.find(L'\n');
            const std::wstring first = text.substr(0, firstEnd);
            lines.push_back("  " + Shown(first.substr(0, kShownColumns)) + (whole ? "" : " ..."));
        }
    }
    if (position == 0)
        return lines;
    // The line that holds the position, and the column in it.
    const size_t index = position - 1;
    size_t from = index == 0 ? 0 : text.rfind(L'\n', index - 1);
    from = from == std::wstring::npos || index == 0 ? 0 : from + 1;
    size_t to = text.find(L'\n', index);
    if (to == std::wstring::npos)
        to = text.size();
    const std::wstring line = text.substr(from, to - from);
    const size_t column = index - from;
    size_t lineNumber = 1;
    for (size_t i = 0; i < from; ++i)
        if (text[i] == L'\n')
            ++lineNumber;
    size_t start = column > kBeforePosition ? column - kBeforePosition : 0;
    if (line.size() > kShownColumns && line.size() - start < kShownColumns)
        start = line.size() - kShownColumns;
    const size_t end = std::min(line.size(), start + kShownColumns);
    const std::string lead = start > 0 ? "..." : "";
    const std::string before = lead + Shown(line.substr(start, column - start));
    const std::string shown =
        lead + Shown(line.substr(start, end - start)) + (end < line.size() ? "..." : "");
    if (!whole)
        lines.push_back("at position " + std::to_string(position) +
                        (lineCount > 1 ? " (line " + std::to_string(lineNumber) + ")" : "") + ":");
    lines.push_back("  " + shown);
    lines.push_back("  " + std::string(DisplayWidth(before), ' ') + "^");
    return lines;
}

}  // namespace vornsql
