// Text as a terminal shows it: the columns it takes, control characters made visible, and
// the size of the terminal.
#pragma once

#include <string>

namespace vornsql {

// Columns a text takes on a terminal (wide East Asian characters take two).
size_t DisplayWidth(const std::string& utf8);

// The text with its control characters written as escapes (\n, \r, \t, \xNN; \u0080 to
// \u009f for the C1 controls, which some terminals obey as commands too), so that what a
// value or a message holds can never move the cursor, change colours or retitle the
// window. keepLineFeeds leaves line feeds as they are (text of several lines).
std::string Printable(const std::string& utf8, bool keepLineFeeds = false);

// Rows and columns of the terminal on fd; 0 for either when fd is not a terminal or does
// not say (then $LINES and $COLUMNS are asked).
struct TerminalSize {
    size_t rows = 0;
    size_t columns = 0;
};
TerminalSize SizeOfTerminal(int fd);

}  // namespace vornsql
