// Choosing a writer, and what the writers share.
#include "result_writer.h"

#include <set>

#include "delimited_writer.h"
#include "json_writer.h"
#include "table_writer.h"
#include "terminal_text.h"

namespace vornsql {

std::unique_ptr<ResultWriter> MakeResultWriter(Format format, Output& out, bool header) {
    switch (format) {
        case Format::Csv:
            return MakeCsvWriter(out, header);
        case Format::Tsv:
            return MakeTsvWriter(out, header);
        case Format::Json:
            return MakeJsonWriter(out);
        case Format::Line:
            return MakeLineWriter(out);
        case Format::Table:
        case Format::Auto:
            break;
    }
    return MakeTableWriter(out, out.IsTerminal() ? SizeOfTerminal(out.Descriptor()).columns : 0);
}

std::vector<std::string> UniqueNames(const std::vector<Column>& columns) {
    std::set<std::string> taken;
    for (const Column& c : columns)
        taken.insert(c.name);
    std::set<std::string> used;
    std::vector<std::string> names;
    for (const Column& c : columns) {
        std::string name = c.name;
        if (!used.insert(name).second) {
            for (int k = 2;; ++k) {
                name = c.name + "_" + std::to_string(k);
                if (!taken.count(name) && used.insert(name).second)
                    break;
            }
        }
        names.push_back(name);
    }
    return names;
}

}  // namespace vornsql
