// The aligned table shown on a terminal.
#pragma once

#include <string>

#include "result_writer.h"

namespace vornsql {

std::unique_ptr<ResultWriter> MakeTableWriter(Output& out);

// Columns a text takes on a terminal (wide East Asian characters take two).
size_t DisplayWidth(const std::string& utf8);

// The text a cell shows in the table: NULL, abbreviated long values, control characters
// written as escapes.
std::string DisplayText(const Column& column, const Cell& cell);

}  // namespace vornsql
