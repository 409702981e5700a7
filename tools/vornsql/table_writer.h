// Results for a person at a terminal: the aligned table, and one field a line.
#pragma once

#include <string>

#include "result_writer.h"

namespace vornsql {

// The aligned table. terminalColumns, when not 0, is the width of the terminal: a result
// whose rows do not fit is written one field a line instead (as LineWriter does).
std::unique_ptr<ResultWriter> MakeTableWriter(Output& out, size_t terminalColumns);

// One field a line: a "-[ row N ]-" rule before each row, then each column's name and
// value.
std::unique_ptr<ResultWriter> MakeLineWriter(Output& out);

// The text a cell shows in the table: NULL, abbreviated long values, control characters
// written as escapes.
std::string DisplayText(const Column& column, const Cell& cell);

}  // namespace vornsql
