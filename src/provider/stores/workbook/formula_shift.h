// Moves the relative references of a formula written in A1 style, as copying the formula
// from one cell to another does: cells ("B3", "$B3", "B$3"), areas ("B3:C4"), whole
// columns and rows ("A:A", "$3:5") and sheet-qualified references ("Sheet2!B3",
// "'My Sheet'!B3") move by the offset on their parts without a dollar sign; text in string
// literals, function names and defined names stay as they are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorn::provider::stores::workbook {

// The formula (as its cell holds it, no leading '=') with its relative references moved
// by rows and columns, into *out. False with *why filled when it holds something whose
// move cannot be told for sure (an R1C1 reference, a structured reference, a reference
// to another workbook) or a reference that would move off the sheet.
bool ShiftFormula(std::string_view formula, int64_t rows, int64_t columns, std::string* out,
                  std::wstring* why);

}  // namespace vorn::provider::stores::workbook
