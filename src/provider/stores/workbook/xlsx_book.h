// One version of an .xlsx workbook: the parts the store reads (the workbook part with its
// sheets, defined names and date system; its relationships; the styles, for which cells
// are dates; the shared strings, read when a sheet first needs them) over a zip archive
// kept open on the file, so the version stays readable after a writer replaces the file.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "stores/workbook/workbook_file.h"
#include "stores/workbook/xlsx_sheet_reader.h"
#include "stores/workbook/zip_archive.h"

namespace vorn::provider::stores::workbook {

// The relationship types of the parts the store reads and writes.
inline constexpr char kWorksheetRelation[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
inline constexpr char kStylesRelation[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
inline constexpr char kCalcChainRelation[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain";

class XlsxBook final : public WorkbookFile {
  public:
    // Reads the workbook of the open file fd (the caller keeps fd). Null with *error filled
    // (naming the file) when it is no workbook or cannot be read.
    static std::shared_ptr<XlsxBook> Open(int fd, const std::wstring& shown, std::wstring* error);

    bool IsXlsx() const override { return true; }
    std::unique_ptr<SheetSource> OpenSheet(size_t sheet, std::wstring* error) override;
    bool ValueArea(size_t sheet, CellArea* area, std::wstring* error) override;

    const ZipArchive& Archive() const { return *archive_; }
    const std::string& WorkbookPart() const { return workbookPart_; }
    const std::string& StylesPart() const { return stylesPart_; }
    // Whether a cell style (an index of cellXfs) shows its number as a date.
    const std::vector<bool>& DateStyles() const { return dateStyles_; }
    // The first cell style that shows dates, or -1.
    int DateStyle() const;

  private:
    XlsxBook() = default;
    bool Load(std::wstring* error);
    bool LoadStrings(std::wstring* error);
    std::wstring What(const std::string& part) const;

    std::unique_ptr<ZipArchive> archive_;
    std::wstring shown_;
    std::string workbookPart_;
    std::string stylesPart_;
    std::string stringsPart_;
    std::vector<bool> dateStyles_;
    std::shared_ptr<SharedStrings> strings_;
    std::map<size_t, CellArea> areas_;
};

}  // namespace vorn::provider::stores::workbook
