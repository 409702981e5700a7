// Output formats of results: an aligned table, CSV, TSV and JSON.
#pragma once

#include <memory>
#include <vector>

#include "options.h"
#include "output.h"
#include "result_values.h"

namespace vornsql {

class ResultWriter {
  public:
    virtual ~ResultWriter() = default;
    // False when long binary values need only be measured, not read (the table shows sizes).
    virtual bool WantsWholeValues() const { return true; }
    virtual void Begin(const std::vector<Column>& columns) = 0;
    virtual void Row(const std::vector<Cell>& cells) = 0;
    // After the last row of a result.
    virtual void End(unsigned long long rows) = 0;
};

// format is Table, Line, Csv, Tsv or Json (not Auto). A table on a terminal switches to
// one field a line for rows wider than the terminal.
std::unique_ptr<ResultWriter> MakeResultWriter(Format format, Output& out, bool header);

// Makes column names unique for JSON objects: a repeated name gets "_2", "_3" ...
std::vector<std::string> UniqueNames(const std::vector<Column>& columns);

}  // namespace vornsql
