// Writes a sheet's XML with a transaction's edits: the bytes of the old sheet are copied as
// they are, except the rows that the edits change (rewritten cell by cell: untouched cells
// keep their bytes, formulas and styles; written cells get new ones), the rows the edits
// add (inserted in row order, new text as inline strings) and the dimension. Nothing of
// the sheet is held in memory beyond one row.
#pragma once

#include <cstdio>
#include <string>

#include "stores/workbook/shared_formulas.h"
#include "stores/workbook/sheet_edits.h"
#include "stores/workbook/zip_archive.h"

namespace vorn::provider::stores::workbook {

struct SheetWriteStyle {
    int dateStyle = -1;  // the cell style (cellXfs index) of written dates; -1: none
    bool date1904 = false;
};

// Copies the sheet from source to out with edits applied and the <f> elements of formulas
// (null: none) replaced; *replacedFormula tells whether a written cell took the place of a
// cell that held a formula. False with *error filled.
bool WriteEditedSheet(ByteSource& source, const SheetEdits& edits,
                      const SharedFormulaPlan* formulas, const SheetWriteStyle& style,
                      const std::wstring& what, std::FILE* out, bool* replacedFormula,
                      std::wstring* error);

// The XML of a cell holding value at the reference ref, with prefix before each element
// name ("" or "x:") and keptStyle the s attribute to keep ("" for none).
std::string CellXml(const CellValue& value, const std::string& ref, const std::string& prefix,
                    const std::string& keptStyle, const SheetWriteStyle& style);

// Text escaped for XML character data, with the _xHHHH_ escapes of SpreadsheetML for
// characters XML cannot hold.
std::string EscapeCellText(std::string_view text);

// Text escaped for an XML attribute value in double quotes.
std::string EscapeAttribute(std::string_view text);

}  // namespace vorn::provider::stores::workbook
