// The library's HRESULT exception. Running out of memory raises std::bad_alloc.
#pragma once

#include <exception>

#include "vornoledb/platform/types.h"

class VORNOLEDB_API VornOleDbException : public std::exception {
  public:
    explicit VornOleDbException(vornoledb::HRESULT hr) noexcept : m_hr(hr) {}
    vornoledb::HRESULT Error() const noexcept { return m_hr; }
    const char* what() const noexcept override;

  private:
    vornoledb::HRESULT m_hr;
};

// Raises the exception that matches hr: std::bad_alloc for E_OUTOFMEMORY, otherwise a
// VornOleDbException carrying hr.
[[noreturn]] VORNOLEDB_API void VornThrowHResult(vornoledb::HRESULT hr);
