// A1-style cell references: column letters, cells ("B7", "$B$7"), areas ("A1:C10", whole
// columns "A:C", whole rows "2:5") and the sheet-qualified areas of defined names
// ("'Wide Sheet'!$A$1:$C$10").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "stores/workbook/sheet_cells.h"

namespace vorn::provider::stores::workbook {

// Column letters of a column from 1: 1 "A", 26 "Z", 27 "AA", 16384 "XFD".
std::string ColumnLetters(uint32_t column);

// Reads the leading letters of text as a column; *used is how many characters they took.
// 0 when there are none or the column is beyond XFD.
uint32_t ParseColumnLetters(std::string_view text, size_t* used);

// A cell reference "B7" (dollar signs allowed): false when text is anything else.
bool ParseCellReference(std::string_view text, uint32_t* row, uint32_t* column);

// An area: "A1:C10", a single cell "B2", whole columns "A:C" or whole rows "2:5"; dollar
// signs allowed. A whole column spans every row, a whole row every column.
bool ParseArea(std::string_view text, CellArea* area);

// A defined name's reference "Sheet1!$A$1:$C$10" or "'My Sheet'!A:C": its sheet name (quotes
// undone) and area. False for anything else (formulas, several areas, #REF!, other books).
bool ParseSheetArea(std::string_view text, std::string* sheet, CellArea* area);

// "A1:C10" for an area ("A1" for one cell).
std::string AreaText(const CellArea& area);

}  // namespace vorn::provider::stores::workbook
