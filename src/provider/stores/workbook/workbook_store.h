// The workbook store: an Excel workbook as a data source, .xlsx (read and written) or .xls
// (read only), told apart by the file's content whatever Extended Properties call it.
//
// Tables: each worksheet as [Name$] (TABLES writes a name with spaces or other signs in
// quotes, '.' as '#': ['Wide Sheet$']), a range of one as [Name$A1:C10], and each defined
// name that refers to one area as its name. HDR=Yes (the default) takes the column names
// from the first row of the area that holds values; HDR=No names them F1, F2 ... Column
// types come from the first 8 rows below (workbook_table.h, cell_values.h). IMEX=1 reads
// columns of mixed values as text. ReadOnly=True or Mode=Read refuse every write.
//
// Writes to an .xlsx: INSERT, UPDATE and CREATE TABLE (a new sheet with a header row; a new
// workbook when the data source does not exist yet). Each transaction replaces the file
// with a new version at commit (workbook_session.h); DELETE is refused as the driver
// refuses it.
#pragma once

#include <memory>
#include <string>

#include "store/store_kinds.h"

namespace vorn::provider::stores::workbook {

// "Excel 8.0", "Excel 12.0", "Excel 12.0 Xml", "Excel 12.0 Macro" ... (any letter case).
bool NamesWorkbookKind(const std::wstring& item);
// A zip archive or an OLE2 compound file opened without Extended Properties.
bool IsWorkbookContent(const FileKind& kind);
// Opens the workbook request.database names.
std::shared_ptr<store::Store> OpenWorkbookStore(const store::StoreOpenRequest& request,
                                                store::StoreError* error);

}  // namespace vorn::provider::stores::workbook
