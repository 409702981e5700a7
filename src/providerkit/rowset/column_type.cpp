// Names of DBTYPEs for messages.
#include "rowset/column_type.h"

namespace vorn::provider {

const wchar_t* DbTypeName(DBTYPE type) {
    switch (type & ~DBTYPE_BYREF) {
        case DBTYPE_EMPTY:
            return L"DBTYPE_EMPTY";
        case DBTYPE_I1:
            return L"DBTYPE_I1";
        case DBTYPE_UI1:
            return L"DBTYPE_UI1";
        case DBTYPE_I2:
            return L"DBTYPE_I2";
        case DBTYPE_UI2:
            return L"DBTYPE_UI2";
        case DBTYPE_I4:
            return L"DBTYPE_I4";
        case DBTYPE_UI4:
            return L"DBTYPE_UI4";
        case DBTYPE_I8:
            return L"DBTYPE_I8";
        case DBTYPE_UI8:
            return L"DBTYPE_UI8";
        case DBTYPE_R4:
            return L"DBTYPE_R4";
        case DBTYPE_R8:
            return L"DBTYPE_R8";
        case DBTYPE_CY:
            return L"DBTYPE_CY";
        case DBTYPE_DATE:
            return L"DBTYPE_DATE";
        case DBTYPE_BSTR:
            return L"DBTYPE_BSTR";
        case DBTYPE_BOOL:
            return L"DBTYPE_BOOL";
        case DBTYPE_VARIANT:
            return L"DBTYPE_VARIANT";
        case DBTYPE_IUNKNOWN:
            return L"DBTYPE_IUNKNOWN";
        case DBTYPE_DECIMAL:
            return L"DBTYPE_DECIMAL";
        case DBTYPE_GUID:
            return L"DBTYPE_GUID";
        case DBTYPE_BYTES:
            return L"DBTYPE_BYTES";
        case DBTYPE_STR:
            return L"DBTYPE_STR";
        case DBTYPE_WSTR:
            return L"DBTYPE_WSTR";
        case DBTYPE_NUMERIC:
            return L"DBTYPE_NUMERIC";
        case DBTYPE_VARNUMERIC:
            return L"DBTYPE_VARNUMERIC";
        case DBTYPE_DBDATE:
            return L"DBTYPE_DBDATE";
        case DBTYPE_DBTIME:
            return L"DBTYPE_DBTIME";
        case DBTYPE_DBTIMESTAMP:
            return L"DBTYPE_DBTIMESTAMP";
        case DBTYPE_FILETIME:
            return L"DBTYPE_FILETIME";
        default:
            return L"an unsupported DBTYPE";
    }
}

}  // namespace vorn::provider
