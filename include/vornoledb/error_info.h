// The last failure of an object as text, built from the provider's error records.
#pragma once

#include <string>

#include "vornoledb/platform/types.h"

class VORNOLEDB_API VornOleDbErrorInfo {
  public:
    VornOleDbErrorInfo();
    ~VornOleDbErrorInfo();
    VornOleDbErrorInfo(const VornOleDbErrorInfo& other);
    VornOleDbErrorInfo& operator=(const VornOleDbErrorInfo& other);

    // True only for S_OK. Any other value takes the thread's error object and turns its
    // records into the error text; the statement and the full information are emptied.
    bool CheckResult(vornoledb::HRESULT hr);
    // The error text, followed by a line feed and the statement when asked and present.
    const std::wstring& GetErrorInfo(bool appendStatement);
    const std::wstring& GetErrorText() const;
    const std::wstring& GetErrorStatement() const;
    bool HasErrorInfo() const;
    void SetErrorInfo(const std::wstring& text, const std::wstring& statement);

  private:
    std::wstring m_errorText;
    std::wstring m_errorStatement;
    std::wstring m_fullInfo;
};
