// RPC's GUID text: lower case, 8-4-4-4-12, no braces, in a string the caller frees with
// RpcStringFreeW.
#include <new>

#include "automation.h"

namespace vornoledb {

namespace {

constexpr size_t kUuidTextLength = 36;
// RPC_S_INVALID_ARG: the out pointer is missing.
constexpr RPC_STATUS kInvalidArgument = 87;

wchar_t* PutHex(wchar_t* out, uint64_t value, int digits) {
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = kHex[value & 0xf];
        value >>= 4;
    }
    return out + digits;
}

}  // namespace

RPC_STATUS UuidToStringW(const UUID* Uuid, RPC_WSTR* StringUuid) {
    if (!StringUuid)
        return kInvalidArgument;
    *StringUuid = nullptr;
    // A null UUID stands for the nil UUID, as RPC has it.
    const UUID& u = Uuid ? *Uuid : GUID_NULL;
    wchar_t* text = new (std::nothrow) wchar_t[kUuidTextLength + 1];
    if (!text)
        return RPC_S_OUT_OF_MEMORY;
    wchar_t* p = PutHex(text, u.Data1, 8);
    *p++ = L'-';
    p = PutHex(p, u.Data2, 4);
    *p++ = L'-';
    p = PutHex(p, u.Data3, 4);
    *p++ = L'-';
    p = PutHex(p, (uint64_t{u.Data4[0]} << 8) | u.Data4[1], 4);
    *p++ = L'-';
    uint64_t node = 0;
    for (int i = 2; i < 8; ++i)
        node = (node << 8) | u.Data4[i];
    p = PutHex(p, node, 12);
    *p = L'\0';
    *StringUuid = text;
    return RPC_S_OK;
}

RPC_STATUS RpcStringFreeW(RPC_WSTR* String) {
    if (!String)
        return kInvalidArgument;
    delete[] * String;
    *String = nullptr;
    return RPC_S_OK;
}

}  // namespace vornoledb
