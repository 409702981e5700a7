// JSON writer.
#pragma once

#include <string>

#include "result_writer.h"

namespace vornsql {

std::unique_ptr<ResultWriter> MakeJsonWriter(Output& out);
// text as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

}  // namespace vornsql
