// The cells a write transaction has changed in one sheet.
#include "stores/workbook/sheet_edits.h"

#include <algorithm>

namespace vorn::provider::stores::workbook {

const CellValue* SheetEdits::Find(uint32_t row, uint32_t column) const {
    auto it = rows.find(row);
    if (it == rows.end())
        return nullptr;
    for (const CellValue& v : it->second)
        if (v.column == column)
            return &v;
    return nullptr;
}

void SheetEdits::Set(uint32_t row, CellValue value) {
    std::vector<CellValue>& cells = rows[row];
    auto at =
        std::lower_bound(cells.begin(), cells.end(), value.column,
                         [](const CellValue& c, uint32_t column) { return c.column < column; });
    if (at != cells.end() && at->column == value.column)
        *at = std::move(value);
    else
        cells.insert(at, std::move(value));
    if (row > lastRow)
        lastRow = row;
}

}  // namespace vorn::provider::stores::workbook
