// The data conversion library (CLSID_OLEDB_CONVERSIONLIBRARY): IDataConvert between OLE DB
// types, through the same conversions rowsets use for GetData.
#pragma once

#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

// Class factory of the conversion library.
HRESULT CreateDataConvertObject(IUnknown* outer, REFIID riid, void** ppv);

}  // namespace vorn::provider
