// The calling thread's current error object.
#include "vornoledb/platform/oledb.h"

namespace {
thread_local ComPtr<IErrorInfo> t_errorInfo;
}

HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
    if (dwReserved != 0) return E_INVALIDARG;
    t_errorInfo = ComPtr<IErrorInfo>(perrinfo);
    return S_OK;
}

HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
    if (!pperrinfo) return E_INVALIDARG;
    *pperrinfo = nullptr;
    if (dwReserved != 0) return E_INVALIDARG;
    if (!t_errorInfo) return S_FALSE;
    *pperrinfo = t_errorInfo.Detach();
    return S_OK;
}

LCID GetSystemDefaultLCID() { return 0x0409; }

LCID GetUserDefaultLCID() { return 0x0409; }
