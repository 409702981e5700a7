// What vornsql makes of a failure's error information: one line by default
// ("no such table: Partz (42S02)"), the provider's whole records with --verbose, and a
// failing statement shown by its start and the part around the error position, never
// whole (a statement may be megabytes long).
#pragma once

#include <string>
#include <vector>

namespace vornsql {

struct ErrorRecord {
    std::string description;
    std::string sqlState;
};

// The records of an error text as the library formats them (Row #, Description, ...,
// SQLState lines).
std::vector<ErrorRecord> ParseErrorRecords(const std::string& errorText);

// A record's description without the copy of the statement the provider puts in it
// ("Preparing 'SELECT ...': no such table: Partz" -> "no such table: Partz").
std::string WithoutStatement(const std::string& description, const std::string& statement);

// The error position a description names ("at position 26", "(position 26)"), counted in
// characters from 1; 0 when it names none.
size_t ErrorPosition(const std::string& description);

// Lines that show a statement: when position is not 0, the line around that character
// with a caret under it, after the statement's length and start when it is long; with
// verbose, its length and start always. Each line is printable (control characters
// escaped) and at most about 80 columns wide.
std::vector<std::string> StatementExcerpt(const std::string& statement, size_t position,
                                          bool verbose);

}  // namespace vornsql
