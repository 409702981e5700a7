// Writes a new version of an .xlsx workbook beside the old one: the changed sheets
// spliced (sheet_writer.h), new sheets with their entries in the workbook part, its
// relationships and the content types, a date style when the book has none; every other
// zip entry is copied by libzip as it is (same compressed bytes, CRC and size). The new
// file is synced before it replaces the old one by a rename, so the workbook at the path
// is always one whole version or the other.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "stores/workbook/sheet_edits.h"
#include "stores/workbook/xlsx_book.h"

namespace vorn::provider::stores::workbook {

struct CreatedSheet {
    std::string name;  // UTF-8
    std::string part;  // its zip entry, chosen by PrepareWorkbook
    const SheetEdits* edits = nullptr;
};

struct WorkbookChanges {
    std::map<std::string, const SheetEdits*> sheets;  // by the part of an existing sheet
    std::vector<CreatedSheet> created;
};

// A new version written and synced beside the workbook, not yet in its place.
struct PreparedWorkbook {
    std::string temporary;  // the new file, beside the workbook
    bool created = false;   // no workbook was at the path
};

// Writes the new version of the workbook at path (book is its current version, null when
// there is none yet). False with *error filled; nothing is left behind then.
bool PrepareWorkbook(const std::string& path, const std::wstring& shown, XlsxBook* book,
                     WorkbookChanges& changes, PreparedWorkbook* prepared, std::wstring* error);

// Puts a prepared version in the workbook's place (a rename; for a new workbook a link,
// so that one made meanwhile by someone else is never overwritten) and syncs the folder.
bool InstallWorkbook(const std::string& path, const std::wstring& shown, PreparedWorkbook* prepared,
                     std::wstring* error);

// Removes a prepared version that will not be installed.
void DiscardWorkbook(PreparedWorkbook* prepared);

}  // namespace vorn::provider::stores::workbook
