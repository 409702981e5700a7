// The library's HRESULT exception.
#include "vornoledb/exception.h"

#include <new>

const char* VornOleDbException::what() const noexcept {
    switch (m_hr) {
        case E_INVALIDARG:
            return "VornOleDb: invalid argument (E_INVALIDARG)";
        case E_FAIL:
            return "VornOleDb: no string storage could be obtained (E_FAIL)";
        default:
            return "VornOleDb: operation failed with an HRESULT error";
    }
}

void VornThrowHResult(HRESULT hr) {
    if (hr == E_OUTOFMEMORY)
        throw std::bad_alloc();
    throw VornOleDbException(hr);
}
