// GUIDs as registry text, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <cwchar>

#include "com.h"

namespace vornoledb {

int StringFromGUID2(REFGUID g, LPOLESTR lpsz, int cchMax) {
    constexpr int kChars = 39;  // 38 characters and the NUL
    if (!lpsz || cchMax < kChars)
        return 0;
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    wchar_t* p = lpsz;
    auto put = [&p](uint64_t v, int digits) {
        for (int i = digits - 1; i >= 0; --i)
            *p++ = kHex[(v >> (i * 4)) & 0xF];
    };
    *p++ = L'{';
    put(g.Data1, 8);
    *p++ = L'-';
    put(g.Data2, 4);
    *p++ = L'-';
    put(g.Data3, 4);
    *p++ = L'-';
    put(g.Data4[0], 2);
    put(g.Data4[1], 2);
    *p++ = L'-';
    for (int i = 2; i < 8; ++i)
        put(g.Data4[i], 2);
    *p++ = L'}';
    *p = 0;
    return kChars;
}

bool GuidFromString(const wchar_t* text, GUID* out) {
    if (!text || !out)
        return false;
    size_t n = std::wcslen(text);
    bool braces = n == 38 && text[0] == L'{' && text[37] == L'}';
    if (!braces && n != 36)
        return false;
    const wchar_t* s = braces ? text + 1 : text;
    auto hex = [](wchar_t c) -> int {
        if (c >= L'0' && c <= L'9')
            return c - L'0';
        if (c >= L'a' && c <= L'f')
            return c - L'a' + 10;
        if (c >= L'A' && c <= L'F')
            return c - L'A' + 10;
        return -1;
    };
    uint8_t bytes[16];
    int b = 0;
    for (int i = 0; i < 36;) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (s[i] != L'-')
                return false;
            ++i;
            continue;
        }
        int hi = hex(s[i]), lo = hex(s[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes[b++] = static_cast<uint8_t>(hi << 4 | lo);
        i += 2;
    }
    out->Data1 =
        uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
    out->Data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
    out->Data3 = static_cast<uint16_t>(bytes[6] << 8 | bytes[7]);
    std::memcpy(out->Data4, bytes + 8, 8);
    return true;
}

}  // namespace vornoledb
