// Error records of the providers: the source name of every record, and helpers that post a
// record describing a failure on the calling thread.
#pragma once

#include <string>

#include "error_records.h"

namespace vorn::provider {

// The source named by the error records of the embedded provider.
inline constexpr wchar_t kProviderErrorSource[] = L"Microsoft.ACE.OLEDB.12.0";

// The source named by records made on this thread: the embedded provider's unless a scope
// of another provider is open. Shared parts (rowsets, accessors, property sets) post their
// records under the name of the provider whose object was called.
const wchar_t* CurrentErrorSource();

class ErrorSourceScope {
  public:
    explicit ErrorSourceScope(const wchar_t* source);
    ~ErrorSourceScope();
    ErrorSourceScope(const ErrorSourceScope&) = delete;
    ErrorSourceScope& operator=(const ErrorSourceScope&) = delete;

  private:
    const wchar_t* previous_;
};

// A record of the provider with the given result, failing interface and description.
ErrorRecord MakeProviderRecord(HRESULT hr, REFIID iid, const std::wstring& description);

// Makes the record the calling thread's error object (replacing any pending one).
// Returns hr so that a method can write `return PostProviderError(...)`.
HRESULT PostProviderError(HRESULT hr, REFIID iid, const std::wstring& description);

// Adds the record to the calling thread's pending error object (or posts a new one).
HRESULT AppendProviderError(HRESULT hr, REFIID iid, const std::wstring& description);

// Clears the calling thread's error object, as a successful call of an interface does.
void ClearProviderError();

// A path or name between single quotes, as error texts show them.
std::wstring Quoted(const std::wstring& text);

// Text of a POSIX error number ("No such file or directory").
std::wstring ErrnoText(int error);

}  // namespace vorn::provider
