// The COM runtime subset: task memory, BSTR, VARIANT, the class registry behind
// CoCreateInstance, the thread's current error object and GUID text.
#pragma once

#include <functional>
#include <string>

#include "vornoledb/platform/unknown.h"
#include "vornoledb/platform/variant.h"

namespace vornoledb {

// ---- task memory ----------------------------------------------------------------------
void* CoTaskMemAlloc(size_t cb);
void* CoTaskMemRealloc(void* pv, size_t cb);
void CoTaskMemFree(void* pv);

// ---- BSTR -----------------------------------------------------------------------------
// A BSTR points at its first character; the 32-bit byte length stands just before it and
// a NUL after the last character. A null BSTR is the empty string.
BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch);
void SysFreeString(BSTR bstr);
UINT SysStringLen(BSTR bstr);
UINT SysStringByteLen(BSTR bstr);

void VariantInit(VARIANT* pvarg);
// Frees what the VARIANT owns (BSTR, interface) and leaves it VT_EMPTY.
HRESULT VariantClear(VARIANT* pvarg);
// Deep copy: the BSTR is duplicated, the interface AddRef'd.
HRESULT VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc);

// ---- class registry and CoCreateInstance ----------------------------------------------
// A factory creates an object of its class and answers for riid; outer is the
// aggregating object (classes here refuse aggregation with CLASS_E_NOAGGREGATION).
using ClassFactoryFunction = std::function<HRESULT(IUnknown* outer, REFIID riid, void** ppv)>;

// Registers (or replaces) the factory of a class. Returns the factory it replaced, empty
// when there was none, so that a test can put the original back.
ClassFactoryFunction RegisterClassFactory(REFCLSID clsid, ClassFactoryFunction factory);
// Removes a class; the embedded classes come back only if registered again.
void RevokeClassFactory(REFCLSID clsid);

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         void** ppv);

// Replaces a class's factory for the lifetime of the object (tests register fakes).
class ScopedClassFactory {
  public:
    ScopedClassFactory(REFCLSID clsid, ClassFactoryFunction factory);
    ~ScopedClassFactory();
    ScopedClassFactory(const ScopedClassFactory&) = delete;
    ScopedClassFactory& operator=(const ScopedClassFactory&) = delete;

  private:
    CLSID clsid_;
    ClassFactoryFunction previous_;
};

// ---- GUID text ------------------------------------------------------------------------
// Registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case. Returns the number of
// characters written including the NUL (39), or 0 when cchMax is too small.
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
// Parses the registry form (braces optional). Returns false on anything else.
bool GuidFromString(const wchar_t* text, GUID* out);

// ---- the thread's current error object ------------------------------------------------
struct IErrorInfo;
// Replaces the calling thread's error object (null clears it). dwReserved must be 0.
HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
// Takes the calling thread's error object: *pperrinfo receives it (with a reference for
// the caller) and the thread's slot is cleared. S_FALSE and null when there is none.
HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);

LCID GetSystemDefaultLCID();
LCID GetUserDefaultLCID();

}  // namespace vornoledb
