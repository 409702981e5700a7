// The statement and the columns a rowset reports: names, types and flags. A row source
// describes its result in these terms; the description is read-only once made and may be
// shared by every rowset over the same statement.
#pragma once

#include <string>
#include <vector>

#include "rowset/column_type.h"

namespace vorn::provider {

struct ResultColumn {
    std::wstring name;
    ColumnType type;
    // DBCOLUMNFLAGS_MAYBENULL, ISNULLABLE and WRITEUNKNOWN as the table says, and the
    // type's own flags unless the type is still to be taken from the first value.
    DBCOLUMNFLAGS flags = 0;
};

struct RowsetDescription {
    // The statement as the host wrote it (named in messages about the result).
    std::wstring statement;
    std::vector<ResultColumn> columns;
};

}  // namespace vorn::provider
