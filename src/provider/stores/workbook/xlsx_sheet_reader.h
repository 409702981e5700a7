// The rows of one .xlsx worksheet, streamed: the sheet's XML is read from its zip entry in
// pieces through expat, which stops after each row, so memory holds one row whatever the
// size of the sheet. Cell types come from the file: numbers (dates when their style's
// number format is a date format), shared strings, inline strings (rich-text runs joined,
// phonetic runs left out), formula results as cached (t="str", "b", "e"), ISO dates
// (t="d"), errors.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "stores/workbook/sheet_cells.h"
#include "stores/workbook/zip_archive.h"

namespace vorn::provider::stores::workbook {

// The shared-strings part: every string in one buffer.
struct SharedStrings {
    std::string text;
    std::vector<uint32_t> starts;  // where string i starts; one more entry at the end
    size_t Count() const { return starts.empty() ? 0 : starts.size() - 1; }
    std::string_view At(size_t i) const {
        return std::string_view(text).substr(starts[i], starts[i + 1] - starts[i]);
    }
};

// Reads the shared-strings part from source. False with *error filled.
bool ReadSharedStrings(ByteSource& source, const std::wstring& what, SharedStrings* out,
                       std::wstring* error);

// What a sheet's cells are read with.
struct SheetContext {
    const SharedStrings* strings = nullptr;  // may be null: the book has none
    const std::vector<bool>* dateStyles = nullptr;
    bool date1904 = false;
    std::wstring what;  // "the sheet 'Sheet1' of 'book.xlsx'", for errors
};

std::unique_ptr<SheetSource> NewXlsxSheetReader(std::unique_ptr<ByteSource> source,
                                                SheetContext context);

// The area of a sheet's cells that hold a value, from a fast scan of its tags.
bool ScanValueArea(ByteSource& source, const std::wstring& what, CellArea* area,
                   std::wstring* error);

}  // namespace vorn::provider::stores::workbook
