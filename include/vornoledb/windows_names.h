// For programs ported from Windows that want the Windows names unqualified: brings the
// platform vocabulary of namespace vornoledb (HRESULT, S_OK, BOOL, TRUE, ULONG, WCHAR, GUID,
// the OLE DB types, CHeapPtr, WideToUtf8 ...) into the global namespace.
//
// Not for programs that also include glib (which defines TRUE and FALSE as macros) or
// unixODBC's <sql.h> and <sqltypes.h> (which declare their own WCHAR, ULONG, DWORD ...):
// those name the vocabulary as vornoledb::HRESULT, vornoledb::S_OK and so on.
#pragma once

#include "vornoledb/vornoledb.h"

namespace vornoledb {
#ifndef TRUE
constexpr BOOL TRUE = 1;
#endif
#ifndef FALSE
constexpr BOOL FALSE = 0;
#endif
}  // namespace vornoledb

using namespace vornoledb;
