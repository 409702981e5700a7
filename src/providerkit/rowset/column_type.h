// What OLE DB reports of a result column's type: DBTYPE, column size, precision, scale and
// the type's flags. Every provider describes its columns in these terms; the accessors,
// the value conversions and the column information of rowsets read them.
#pragma once

#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

// Columns whose size is above this many bytes (characters for text) are long columns:
// DBCOLUMNFLAGS_ISLONG, never sized into a row buffer, read by reference or as streams.
constexpr DBLENGTH kLongColumnThreshold = 8000;
// The size of text columns declared without one.
constexpr DBLENGTH kUnsizedTextChars = 8000;
// The sizes long columns report: characters of long text, bytes of long binary values.
constexpr DBLENGTH kLongTextChars = 536870910;
constexpr DBLENGTH kLongBinaryBytes = 1073741823;
// bPrecision / bScale of a type they do not apply to.
constexpr BYTE kNoPrecision = 255;

struct ColumnType {
    DBTYPE type = DBTYPE_WSTR;
    DBLENGTH size = kUnsizedTextChars;
    BYTE precision = kNoPrecision;
    BYTE scale = kNoPrecision;
    DBCOLUMNFLAGS flags = 0;  // DBCOLUMNFLAGS_ISLONG and DBCOLUMNFLAGS_ISFIXEDLENGTH only
    // True when the declaration says nothing usable (no declared type, or a name with
    // SQLite's plain numeric affinity): the first value decides.
    bool fromValue = false;

    bool IsLong() const { return (flags & DBCOLUMNFLAGS_ISLONG) != 0; }
};

// A name for the type in messages ("DBTYPE_WSTR").
const wchar_t* DbTypeName(DBTYPE type);

}  // namespace vorn::provider
