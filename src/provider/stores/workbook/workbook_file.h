// One version of a workbook file as the store reads it: its sheets, defined names and date
// system, and a SheetSource for each sheet. XlsxBook (.xlsx, xlsx_book.h) and XlsBook
// (.xls, xls_workbook.h) are the two kinds. A version stays readable while it lives even
// when a writer replaces the file, as it keeps the file it opened.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stores/workbook/sheet_cells.h"

namespace vorn::provider::stores::workbook {

struct SheetInfo {
    std::string name;     // UTF-8
    std::string part;     // .xlsx: the zip entry of the sheet
    uint32_t offset = 0;  // .xls: where the sheet's records start in the workbook stream
    bool visible = true;
};

// A defined name that refers to one area of one sheet.
struct NameInfo {
    std::string name;
    std::string sheet;
    CellArea area;
    int localSheet = -1;  // the sheet (index) a sheet-level name belongs to, -1 for the book
};

// Tells two versions of a file apart.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t modified = 0;  // nanoseconds
    bool operator==(const FileIdentity& o) const {
        return device == o.device && inode == o.inode && size == o.size && modified == o.modified;
    }
};

// The identity of an open file; false when it cannot be read (errno set).
bool IdentityOf(int fd, FileIdentity* identity);

class WorkbookFile {
  public:
    virtual ~WorkbookFile() = default;

    virtual bool IsXlsx() const = 0;
    const std::vector<SheetInfo>& Sheets() const { return sheets_; }
    const std::vector<NameInfo>& Names() const { return names_; }
    bool Date1904() const { return date1904_; }
    const FileIdentity& Identity() const { return identity_; }

    // The rows of a sheet; null with *error filled.
    virtual std::unique_ptr<SheetSource> OpenSheet(size_t sheet, std::wstring* error) = 0;
    // The area of a sheet's cells that hold values (computed once).
    virtual bool ValueArea(size_t sheet, CellArea* area, std::wstring* error) = 0;

  protected:
    std::vector<SheetInfo> sheets_;
    std::vector<NameInfo> names_;
    bool date1904_ = false;
    FileIdentity identity_;
};

}  // namespace vorn::provider::stores::workbook
