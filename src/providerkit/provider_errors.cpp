// Error records of the providers.
#include "provider_errors.h"

#include <cstring>

#include "vornoledb/platform/text.h"

namespace vorn::provider {
namespace {
thread_local const wchar_t* tCurrentSource = nullptr;
}  // namespace

const wchar_t* CurrentErrorSource() {
    return tCurrentSource ? tCurrentSource : kProviderErrorSource;
}

ErrorSourceScope::ErrorSourceScope(const wchar_t* source) : previous_(tCurrentSource) {
    tCurrentSource = source;
}

ErrorSourceScope::~ErrorSourceScope() {
    tCurrentSource = previous_;
}

ErrorRecord MakeProviderRecord(HRESULT hr, REFIID iid, const std::wstring& description) {
    ErrorRecord record;
    record.hr = hr;
    record.description = description;
    record.source = CurrentErrorSource();
    record.guid = iid;
    return record;
}

HRESULT PostProviderError(HRESULT hr, REFIID iid, const std::wstring& description) {
    return PostError(MakeProviderRecord(hr, iid, description));
}

HRESULT AppendProviderError(HRESULT hr, REFIID iid, const std::wstring& description) {
    return AppendError(MakeProviderRecord(hr, iid, description));
}

void ClearProviderError() {
    SetErrorInfo(0, nullptr);
}

std::wstring Quoted(const std::wstring& text) {
    return L"'" + text + L"'";
}

std::wstring ErrnoText(int error) {
    char buffer[256];
    // The GNU strerror_r returns the text (which may or may not be in buffer).
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return Utf8ToWide(text ? text : "unknown error");
}

}  // namespace vorn::provider
