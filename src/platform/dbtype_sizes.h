// Sizes and alignments of OLE DB values in row buffers.
#pragma once

#include "vornoledb/platform/oledb.h"

namespace vornoledb {

// Bytes of a value of a fixed-length type (a pointer for types carrying DBTYPE_BYREF and for
// the interface, string-pointer and chapter types); 0 for the variable-length types (STR,
// WSTR, BYTES, VARNUMERIC), whose size comes from the column.
DBLENGTH DbTypeFixedSize(DBTYPE type);
// Alignment a value of the type needs in a row buffer.
DBLENGTH DbTypeAlignment(DBTYPE type);

}  // namespace vornoledb
