// BSTR: a length-prefixed, NUL-terminated wide string. The 32-bit byte length sits in the
// four bytes before the first character; the block starts eight bytes earlier so that the
// characters stay aligned for any wchar_t access.
#include <cstdlib>
#include <cwchar>
#include <limits>

#include "com.h"

namespace vornoledb {

namespace {
constexpr size_t kHeader = 8;

char* BlockOf(BSTR s) {
    return reinterpret_cast<char*>(s) - kHeader;
}
}  // namespace

BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch) {
    const size_t maxChars = (std::numeric_limits<uint32_t>::max() - kHeader) / sizeof(OLECHAR) - 1;
    if (cch > maxChars)
        return nullptr;
    char* block = static_cast<char*>(std::malloc(kHeader + (size_t(cch) + 1) * sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    uint32_t bytes = static_cast<uint32_t>(cch * sizeof(OLECHAR));
    std::memcpy(block + kHeader - sizeof(uint32_t), &bytes, sizeof bytes);
    BSTR s = reinterpret_cast<BSTR>(block + kHeader);
    if (pch)
        std::wmemcpy(s, pch, cch);
    else
        std::wmemset(s, 0, cch);
    s[cch] = 0;
    return s;
}

BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz)
        return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(std::wcslen(psz)));
}

void SysFreeString(BSTR bstr) {
    if (bstr)
        std::free(BlockOf(bstr));
}

UINT SysStringByteLen(BSTR bstr) {
    if (!bstr)
        return 0;
    uint32_t bytes;
    std::memcpy(&bytes, BlockOf(bstr) + kHeader - sizeof(uint32_t), sizeof bytes);
    return bytes;
}

UINT SysStringLen(BSTR bstr) {
    return SysStringByteLen(bstr) / sizeof(OLECHAR);
}

}  // namespace vornoledb
