// Connection strings from their parts.
#include "vornoledb/helper.h"

#include <cwchar>
#include <new>
#include <stdexcept>

#include "vornoledb/platform/format.h"

namespace {
constexpr const wchar_t* kProviderTemplate = L"Provider=%s;Data Source=%s;";
constexpr const wchar_t* kUserTemplate = L"User ID=%s;";
constexpr const wchar_t* kPasswordTemplate = L"Password=%s;";

size_t Length(const wchar_t* s) {
    return s ? std::wcslen(s) : 0;
}
}  // namespace

bool VornOleDbHelper::FormatConnectString(std::wstring& result, const wchar_t* dataSource,
                                          const wchar_t* userId, const wchar_t* password,
                                          const wchar_t* provider, const wchar_t* properties,
                                          const wchar_t* moreProperties) {
    if (!dataSource || !provider)
        return false;

    size_t capacity = Length(provider) + Length(dataSource) + Length(kProviderTemplate);
    if (userId)
        capacity += Length(userId) + Length(kUserTemplate);
    if (password)
        capacity += Length(password) + Length(kPasswordTemplate);
    capacity += Length(properties) + Length(moreProperties) + 2;

    std::wstring buffer;
    try {
        buffer.reserve(capacity);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    VornAppendFormat(buffer, kProviderTemplate, provider, dataSource);
    if (userId)
        VornAppendFormat(buffer, kUserTemplate, userId);
    if (password)
        VornAppendFormat(buffer, kPasswordTemplate, password);
    if (properties)
        buffer += properties;
    if (moreProperties)
        buffer += moreProperties;
    if (buffer.empty() || buffer.back() != L';')
        buffer += L';';

    result = std::move(buffer);
    return true;
}
