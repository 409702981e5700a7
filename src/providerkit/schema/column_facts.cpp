// Column flags, lengths, precision and scale for the COLUMNS schema rowset.
#include "schema/column_facts.h"

namespace vorn::provider::schema {

ColumnFacts DescribeColumn(const ColumnType& t, bool nullable) {
    ColumnFacts f;
    f.flags = t.flags | DBCOLUMNFLAGS_WRITEUNKNOWN;
    if (nullable)
        f.flags |= DBCOLUMNFLAGS_ISNULLABLE | DBCOLUMNFLAGS_MAYBENULL;
    switch (t.type) {
        case DBTYPE_WSTR: {
            f.hasLength = true;
            f.maxLength = t.size;
            const uint64_t bytes = static_cast<uint64_t>(t.size) * sizeof(wchar_t);
            f.octetLength = bytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bytes);
            break;
        }
        case DBTYPE_STR:
        case DBTYPE_BYTES:
            f.hasLength = true;
            f.maxLength = t.size;
            f.octetLength = t.size;
            break;
        case DBTYPE_I1:
        case DBTYPE_UI1:
        case DBTYPE_I2:
        case DBTYPE_UI2:
        case DBTYPE_I4:
        case DBTYPE_UI4:
        case DBTYPE_I8:
        case DBTYPE_UI8:
        case DBTYPE_R4:
        case DBTYPE_R8:
        case DBTYPE_CY:
            f.hasPrecision = t.precision != kNoPrecision;
            f.precision = t.precision;
            break;
        case DBTYPE_NUMERIC:
        case DBTYPE_DECIMAL:
            f.hasPrecision = true;
            f.precision = t.precision;
            f.hasScale = true;
            f.scale = t.scale == kNoPrecision ? 0 : t.scale;
            break;
        case DBTYPE_DATE:
        case DBTYPE_DBTIMESTAMP:
        case DBTYPE_DBTIME:
            f.hasDatetimePrecision = true;
            f.datetimePrecision = 0;
            break;
        default:
            break;
    }
    return f;
}

}  // namespace vorn::provider::schema
