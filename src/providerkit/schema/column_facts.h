// What the COLUMNS schema rowset says about a column beyond its name and type: its flags,
// lengths, precision and scale, worked out from the column's type so that they agree with
// what a rowset over the table reports.
#pragma once

#include <cstdint>

#include "rowset/column_type.h"

namespace vorn::provider::schema {

struct ColumnFacts {
    DBCOLUMNFLAGS flags = 0;
    // Each value below is reported only when its flag is set (NULL otherwise).
    bool hasLength = false;     // text and binary columns
    uint32_t maxLength = 0;     // characters of text, bytes of binary values
    uint32_t octetLength = 0;   // bytes: a wide character takes sizeof(wchar_t)
    bool hasPrecision = false;  // numeric columns
    uint16_t precision = 0;
    bool hasScale = false;  // DBTYPE_NUMERIC and DBTYPE_DECIMAL columns
    int16_t scale = 0;
    bool hasDatetimePrecision = false;  // date and time columns
    uint32_t datetimePrecision = 0;     // digits of fractions of a second (none are kept)
};

ColumnFacts DescribeColumn(const ColumnType& type, bool nullable);

}  // namespace vorn::provider::schema
