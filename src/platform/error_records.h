// Error objects that providers fill and post on the calling thread: an object answering
// IErrorInfo (for its first record) and IErrorRecords, whose records answer IErrorInfo and,
// when they carry SQL information, ISQLErrorInfo as their custom error object.
#pragma once

#include <string>
#include <vector>

#include "vornoledb/platform/oledb.h"

namespace vornoledb {

struct ErrorRecord {
    HRESULT hr = E_FAIL;
    std::wstring description;
    std::wstring source;
    std::wstring helpFile;
    DWORD helpContext = 0;
    GUID guid = GUID_NULL;    // the interface that failed
    CLSID clsid = GUID_NULL;  // the class of the object that failed
    bool hasSqlInfo = false;
    std::wstring sqlState;
    LONG nativeError = 0;
};

// Makes an error object holding the records in order (record 0 first).
ComPtr<IErrorInfo> CreateErrorObject(const std::vector<ErrorRecord>& records);

// Makes an error object with one record and makes it the calling thread's error object.
// Returns record.hr so that a provider can write `return PostError({...});`.
HRESULT PostError(const ErrorRecord& record);

// Appends a record to the calling thread's pending error object when it is one made by
// CreateErrorObject, or posts a new one. Returns record.hr.
HRESULT AppendError(const ErrorRecord& record);

}  // namespace vornoledb
