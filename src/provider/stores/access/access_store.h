// The Access store: .mdb and .accdb files (Jet 3, Jet 4 and ACE) read through libmdb,
// read-only.
//
// Tables: every user table, and the saved select queries as views (TABLES type VIEW),
// whose SQL, rebuilt from the file's MSysQueries, runs through the Jet translator; the
// engine's own tables (MSys...) with the type SYSTEM TABLE, and tables linked to other
// databases with the type LINK (reading one says where it points). Column types are those
// the engine's provider reports (Yes/No, Byte, Integer, Long, Currency, Single, Double,
// Date/Time, Text(n), Memo, OLE Object, Replication ID, Decimal(p,s), Binary(n)); AutoNumber
// columns are COUNTER columns; the file's indexes, primary keys marked, are its INDEXES.
//
// Values are decoded from their bytes: dates from their automation doubles (years 100 to
// 9999), text from UTF-16 with the engine's compression (characters beyond the Basic
// Multilingual Plane whole) or, in Jet 3 files, from the header's code page, which
// Extended Properties 'CharacterSet=936' (or any code page name the C library knows)
// overrides; memo and OLE values whole, whatever their length.
//
// Nothing writes: the file is opened for reading only and every change is refused with a
// text that names the file. A damaged file gives a clear error, or the rows before the
// damage; a damaged row is passed over.
#pragma once

#include <memory>
#include <string>

#include "store/store_kinds.h"

namespace vorn::provider::stores::access {

// The empty connect text of `[;Database=/data/old.mdb]` and "MS Access" name this kind.
bool NamesAccessKind(const std::wstring& item);

// A file with an Access header.
bool IsAccessContent(const FileKind& kind);

std::shared_ptr<store::Store> OpenAccessStore(const store::StoreOpenRequest& request,
                                              store::StoreError* error);

}  // namespace vorn::provider::stores::access
