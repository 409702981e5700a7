// Sizes and alignments of OLE DB values in row buffers.
#include "vornoledb/platform/oledb.h"

namespace vornoledb {

DBLENGTH DbTypeFixedSize(DBTYPE type) {
    if (type & DBTYPE_BYREF)
        return sizeof(void*);
    switch (type) {
        case DBTYPE_I1:
        case DBTYPE_UI1:
            return 1;
        case DBTYPE_I2:
        case DBTYPE_UI2:
        case DBTYPE_BOOL:
            return 2;
        case DBTYPE_I4:
        case DBTYPE_UI4:
        case DBTYPE_R4:
        case DBTYPE_ERROR:
            return 4;
        case DBTYPE_I8:
        case DBTYPE_UI8:
        case DBTYPE_R8:
        case DBTYPE_CY:
        case DBTYPE_DATE:
            return 8;
        case DBTYPE_BSTR:
        case DBTYPE_IDISPATCH:
        case DBTYPE_IUNKNOWN:
            return sizeof(void*);
        case DBTYPE_HCHAPTER:
            return sizeof(HCHAPTER);
        case DBTYPE_VARIANT:
            return sizeof(VARIANT);
        case DBTYPE_DECIMAL:
            return sizeof(DECIMAL);
        case DBTYPE_FILETIME:
            return sizeof(FILETIME);
        case DBTYPE_GUID:
            return sizeof(GUID);
        case DBTYPE_NUMERIC:
            return sizeof(DB_NUMERIC);
        case DBTYPE_DBDATE:
            return sizeof(DBDATE);
        case DBTYPE_DBTIME:
            return sizeof(DBTIME);
        case DBTYPE_DBTIMESTAMP:
            return sizeof(DBTIMESTAMP);
        default:
            return 0;
    }
}

DBLENGTH DbTypeAlignment(DBTYPE type) {
    if (type & DBTYPE_BYREF)
        return alignof(void*);
    switch (type) {
        case DBTYPE_I1:
        case DBTYPE_UI1:
        case DBTYPE_STR:
        case DBTYPE_BYTES:
        case DBTYPE_NUMERIC:
        case DBTYPE_VARNUMERIC:
            return 1;
        case DBTYPE_I2:
        case DBTYPE_UI2:
        case DBTYPE_BOOL:
        case DBTYPE_DBDATE:
        case DBTYPE_DBTIME:
            return 2;
        case DBTYPE_I4:
        case DBTYPE_UI4:
        case DBTYPE_R4:
        case DBTYPE_ERROR:
        case DBTYPE_GUID:
        case DBTYPE_FILETIME:
        case DBTYPE_DBTIMESTAMP:
        case DBTYPE_WSTR:
            return 4;
        default:
            return 8;
    }
}

}  // namespace vornoledb
