// Cells and rows as the workbook readers hand them out, whatever the file format: a row is
// its sheet row number with its non-empty cells in column order. Readers of .xlsx sheets
// (xlsx_sheet_reader.h) and of .xls sheets (xls_workbook.h) are both SheetSources, so the
// tables above them (header, column types, ranges, sparse rows) are the same code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::provider::stores::workbook {

// Excel's limits: 1,048,576 rows and 16,384 columns (XFD).
constexpr uint32_t kMaxRows = 1048576;
constexpr uint32_t kMaxColumns = 16384;

enum class CellKind : uint8_t {
    Empty,   // no value (a styled cell, an empty formula result)
    Number,  // number: a double
    Date,    // a number with a date or time format: number is an automation date
    Text,    // text: UTF-8
    Bool,    // number is 0 or 1
    Error,   // #DIV/0!, #N/A ...: text holds its name when the file gives it
};

struct Cell {
    uint32_t column = 0;  // from 1
    CellKind kind = CellKind::Empty;
    double number = 0;
    std::string_view text;  // valid until the reader moves to another row
};

struct SheetRow {
    uint32_t number = 0;  // from 1
    std::vector<Cell> cells;
};

// The rows of one sheet in ascending order; rows without cells may be left out.
class SheetSource {
  public:
    virtual ~SheetSource() = default;
    // The next row; false at the end, or on failure with *error filled.
    virtual bool Next(SheetRow* row, std::wstring* error) = 0;
};

// The area of a sheet that holds values: rows and columns from 1, inclusive. Empty when no
// cell has a value.
struct CellArea {
    uint32_t firstRow = 0, lastRow = 0;
    uint32_t firstColumn = 0, lastColumn = 0;
    bool Empty() const { return firstRow == 0; }
    void Add(uint32_t row, uint32_t column) {
        if (firstRow == 0) {
            firstRow = lastRow = row;
            firstColumn = lastColumn = column;
            return;
        }
        if (row < firstRow)
            firstRow = row;
        if (row > lastRow)
            lastRow = row;
        if (column < firstColumn)
            firstColumn = column;
        if (column > lastColumn)
            lastColumn = column;
    }
};

}  // namespace vorn::provider::stores::workbook
