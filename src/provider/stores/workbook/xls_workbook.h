// One version of an .xls workbook (BIFF8, Excel 97 to 2003), read from its records: the
// compound file gives the workbook stream (compound_file.h), and the records are read
// here, not by libfreexl, which drops formula results and booleans. Globals: sheets
// (BOUNDSHEET8), the shared strings (SST with its CONTINUE records), number formats and
// cell styles (FORMAT, XF) for dates, the date system (DATEMODE), defined names (NAME with
// EXTERNSHEET). A sheet's cells: numbers (NUMBER, RK, MULRK), text (LABELSST, LABEL,
// RSTRING), booleans and errors (BOOLERR), formula results (FORMULA, with the STRING
// record of a text result). Encrypted (FILEPASS) and Excel 5.0/95 books are refused.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "stores/workbook/workbook_file.h"

namespace vorn::provider::stores::workbook {

class XlsBook final : public WorkbookFile {
  public:
    // Reads the workbook of the open file fd (the caller keeps fd); shown names it in
    // errors. Null with *error filled.
    static std::shared_ptr<XlsBook> Open(int fd, const std::wstring& shown, std::wstring* error);
    // Reads a workbook stream (the fuzz target's way in).
    static std::shared_ptr<XlsBook> FromStream(std::string stream, const std::wstring& shown,
                                               std::wstring* error);

    bool IsXlsx() const override { return false; }
    std::unique_ptr<SheetSource> OpenSheet(size_t sheet, std::wstring* error) override;
    bool ValueArea(size_t sheet, CellArea* area, std::wstring* error) override;

    struct StoredCell {
        uint32_t row, column;  // from 1
        CellKind kind;
        double number;
        uint32_t textStart, textLength;  // in the sheet's text
    };
    struct SheetCells {
        std::vector<StoredCell> cells;  // in row, then column order
        std::string text;
        CellArea area;
    };

  private:
    XlsBook() = default;
    bool ReadGlobals(std::wstring* error);
    bool ReadSheet(size_t sheet, std::wstring* error);

    std::wstring shown_;
    std::string stream_;
    std::string strings_;                 // the shared strings, one after another
    std::vector<uint32_t> stringStarts_;  // where each starts; one more at the end
    std::vector<bool> dateStyles_;        // by XF index
    std::vector<std::shared_ptr<const SheetCells>> cells_;
};

}  // namespace vorn::provider::stores::workbook
