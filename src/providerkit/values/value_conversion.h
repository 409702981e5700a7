// Conversion of a stored value (a cell of the row store) into one binding of the consumer:
// every DBTYPE GetData can be asked for, with the length and status OLE DB defines.
// IDataConvert goes through the same code, so both agree on every conversion.
#pragma once

#include "rowset/row_codec.h"
#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

// The column a value comes from, as far as conversions care.
struct SourceColumn {
    DBTYPE type = DBTYPE_WSTR;  // the column's described type
    BYTE precision = 0;         // of DBTYPE_NUMERIC columns
    BYTE scale = 0;
};

// Where a value goes.
struct ConversionTarget {
    DBTYPE type = DBTYPE_EMPTY;  // destination type, with DBTYPE_BYREF where asked
    void* value = nullptr;       // the value slot; null for length and status only
    DBLENGTH maxLength = 0;      // bytes available for variable-length types
    BYTE precision = 0;          // DBTYPE_NUMERIC: 0 takes the column's (or the value's)
    BYTE scale = 0;
    const IID* streamIid = nullptr;  // DBTYPE_IUNKNOWN: interface handed out
};

struct ConversionOutcome {
    DBSTATUS status;
    DBLENGTH length;
};

// Converts cell into target. A NULL gives DBSTATUS_S_ISNULL. Pointer-holding slots (by
// reference, BSTR, objects, VARIANT) are set to null (VT_EMPTY / VT_NULL) on every status
// but success, so that a consumer freeing them never frees what it does not own.
// Variable-length values are cut at maxLength (a NUL still written for text) with
// DBSTATUS_S_TRUNCATED and their full length; a value out of the target's range gives
// DBSTATUS_E_DATAOVERFLOW (DBSTATUS_E_SIGNMISMATCH for a negative unsigned), one that
// cannot be read as the target DBSTATUS_E_CANTCONVERTVALUE.
ConversionOutcome ConvertCell(const Cell& cell, const SourceColumn& column,
                              const ConversionTarget& target);

// Whether values of a column of columnType can be bound as type (DBTYPE_BYREF included).
bool IsSupportedConversion(DBTYPE columnType, DBTYPE type);

// Interfaces a DBTYPE_IUNKNOWN binding may ask for: IUnknown, ISequentialStream, IStream.
bool IsSupportedStreamInterface(const IID& iid);

}  // namespace vorn::provider
