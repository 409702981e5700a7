// The cells a write transaction has changed in one sheet: new values of existing rows
// (UPDATE) and new rows after the last (INSERT), kept until the transaction commits and
// read by the handle's own cursors over the file's rows in the meantime.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "stores/workbook/sheet_cells.h"

namespace vorn::provider::stores::workbook {

// A value written into a cell; Empty clears the cell.
struct CellValue {
    uint32_t column = 0;
    CellKind kind = CellKind::Empty;
    double number = 0;  // Number, Bool (0 or 1), Date (an automation date)
    std::string text;   // Text
};

struct SheetEdits {
    // The row each edited row holds now: its written cells by column (Empty ones clear).
    std::map<uint32_t, std::vector<CellValue>> rows;
    // The last row that holds values, rows appended included.
    uint32_t lastRow = 0;

    // The written cell of a row and column, or null.
    const CellValue* Find(uint32_t row, uint32_t column) const;
    // Writes a cell (replacing what the transaction wrote there before).
    void Set(uint32_t row, CellValue value);
};

}  // namespace vorn::provider::stores::workbook
