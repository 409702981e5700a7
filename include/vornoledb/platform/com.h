// The COM runtime subset: task memory, BSTR, VARIANT, the class registry behind
// CoCreateInstance, the thread's current error object and GUID text.
#pragma once

#include <functional>
#include <string>

#include "vornoledb/platform/unknown.h"

// ---- task memory ----------------------------------------------------------------------
VORNOLEDB_API void* CoTaskMemAlloc(size_t cb);
VORNOLEDB_API void* CoTaskMemRealloc(void* pv, size_t cb);
VORNOLEDB_API void CoTaskMemFree(void* pv);

// ---- BSTR -----------------------------------------------------------------------------
// A BSTR points at its first character; the 32-bit byte length stands just before it and
// a NUL after the last character. A null BSTR is the empty string.
VORNOLEDB_API BSTR SysAllocString(const OLECHAR* psz);
VORNOLEDB_API BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch);
VORNOLEDB_API void SysFreeString(BSTR bstr);
VORNOLEDB_API UINT SysStringLen(BSTR bstr);
VORNOLEDB_API UINT SysStringByteLen(BSTR bstr);

// ---- VARIANT --------------------------------------------------------------------------
enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
};

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        ULONGLONG ullVal;
        LONG lVal;
        ULONG ulVal;
        BYTE bVal;
        SBYTE cVal;
        SHORT iVal;
        USHORT uiVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        CY cyVal;
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        INT intVal;
        UINT uintVal;
        void* byref;
        struct {
            void* pvRecord;
            void* pRecInfo;
        } rec;
    };
};
using VARIANTARG = VARIANT;

VORNOLEDB_API void VariantInit(VARIANT* pvarg);
// Frees what the VARIANT owns (BSTR, interface) and leaves it VT_EMPTY.
VORNOLEDB_API HRESULT VariantClear(VARIANT* pvarg);
// Deep copy: the BSTR is duplicated, the interface AddRef'd.
VORNOLEDB_API HRESULT VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc);

// ---- class registry and CoCreateInstance ----------------------------------------------
// A factory creates an object of its class and answers for riid; outer is the
// aggregating object (classes here refuse aggregation with CLASS_E_NOAGGREGATION).
using ClassFactoryFunction = std::function<HRESULT(IUnknown* outer, REFIID riid, void** ppv)>;

// Registers (or replaces) the factory of a class. Returns the factory it replaced, empty
// when there was none, so that a test can put the original back.
VORNOLEDB_API ClassFactoryFunction RegisterClassFactory(REFCLSID clsid,
                                                        ClassFactoryFunction factory);
// Removes a class; the embedded classes come back only if registered again.
VORNOLEDB_API void RevokeClassFactory(REFCLSID clsid);

VORNOLEDB_API HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext,
                                       REFIID riid, void** ppv);

// Replaces a class's factory for the lifetime of the object (tests register fakes).
class VORNOLEDB_API ScopedClassFactory {
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
VORNOLEDB_API int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
// Parses the registry form (braces optional). Returns false on anything else.
VORNOLEDB_API bool GuidFromString(const wchar_t* text, GUID* out);

// ---- the thread's current error object ------------------------------------------------
struct IErrorInfo;
// Replaces the calling thread's error object (null clears it). dwReserved must be 0.
VORNOLEDB_API HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
// Takes the calling thread's error object: *pperrinfo receives it (with a reference for
// the caller) and the thread's slot is cleared. S_FALSE and null when there is none.
VORNOLEDB_API HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);

VORNOLEDB_API LCID GetSystemDefaultLCID();
VORNOLEDB_API LCID GetUserDefaultLCID();
