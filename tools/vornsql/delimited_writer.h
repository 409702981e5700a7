// CSV and TSV writers.
#pragma once

#include "result_writer.h"

namespace vornsql {

std::unique_ptr<ResultWriter> MakeCsvWriter(Output& out, bool header);
std::unique_ptr<ResultWriter> MakeTsvWriter(Output& out, bool header);

}  // namespace vornsql
