// The text store: a folder of delimited (or fixed-length) text files, each file a table.
//
// A table is named as its file ("parts.csv") or with '#' for the extension's dot
// ("parts#csv", as TABLES lists it). TABLES lists the .csv, .txt, .tab and .asc files of
// the folder (never schema.ini), and the file the data source named when it has another
// extension. Columns come from the folder's schema.ini section for the file, else from
// the header line (HDR=Yes) or as F1, F2 ... with types guessed from the first rows
// (MaxScanRows, 25 unless changed; 0 reads every row). A later value that does not fit its
// column's type reads as NULL. With IMEX=1 (import mode) every guessed column is text, so
// every value reads as its text. An empty field is NULL.
//
// Writes: INSERT appends rows (quoted where needed), CREATE TABLE makes a new file with its
// header line and a schema.ini section; UPDATE and DELETE are refused with the text
// driver's own words. Each statement and transaction reaches the file whole or not at all
// (text_journal.h).
#pragma once

#include <memory>
#include <string>

#include "store/store_kinds.h"

namespace vorn::provider::stores::text {

// "text" (any letter case) names the text store in Extended Properties and in an external
// source's connect text.
bool NamesTextKind(const std::wstring& item);

// Opens the folder request.database names, or the folder of the file it names (that file
// being one of the tables). Journals left by writers that died are played back first.
std::shared_ptr<store::Store> OpenTextStore(const store::StoreOpenRequest& request,
                                            store::StoreError* error);

// The refusals of the text driver, word for word.
inline constexpr wchar_t kUpdateRefused[] =
    L"Updating data in a linked table is not supported by this ISAM.";
inline constexpr wchar_t kDeleteRefused[] =
    L"Deleting data in a linked table is not supported by this ISAM.";

}  // namespace vorn::provider::stores::text
