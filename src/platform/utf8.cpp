// UTF-8 and wide (UTF-32) text. Both directions size the result once and write into it
// directly; runs of ASCII are widened eight bytes at a time.
//
// Ill-formed UTF-8 follows the Unicode "maximal subpart" practice: each maximal prefix of
// a well-formed sequence that is cut short, and each byte that cannot start a sequence,
// becomes one U+FFFD. Overlong forms, surrogates and values above U+10FFFF are ill-formed
// because their second byte falls outside the range the lead byte allows.
#include <cstdint>
#include <cstring>

#include "vornoledb/platform/text.h"

namespace vornoledb {

namespace {

constexpr uint32_t kReplacement = 0xFFFD;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

bool EightAscii(const unsigned char* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return (word & kHighBits) == 0;
}

// Decodes n bytes into out, which has room for n characters (no byte yields more than one).
// Returns the number of characters written.
size_t DecodeUtf8(const unsigned char* s, size_t n, wchar_t* out) {
    wchar_t* o = out;
    size_t i = 0;
    while (i < n) {
        if (i + 8 <= n && EightAscii(s + i)) {
            for (int k = 0; k < 8; ++k)
                o[k] = static_cast<wchar_t>(s[i + k]);
            o += 8;
            i += 8;
            continue;
        }
        const unsigned lead = s[i++];
        if (lead < 0x80) {
            *o++ = static_cast<wchar_t>(lead);
            continue;
        }
        unsigned trailing;
        uint32_t cp;
        unsigned low = 0x80;  // allowed range of the byte after the lead
        unsigned high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trailing = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trailing = 2;
            cp = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0;  // overlong
            if (lead == 0xED)
                high = 0x9F;  // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trailing = 3;
            cp = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;  // overlong
            if (lead == 0xF4)
                high = 0x8F;  // above U+10FFFF
        } else {
            *o++ = static_cast<wchar_t>(kReplacement);  // continuation byte or C0, C1, F5..FF
            continue;
        }
        bool complete = true;
        for (unsigned k = 0; k < trailing; ++k) {
            if (i >= n || s[i] < low || s[i] > high) {
                complete = false;
                break;
            }
            cp = (cp << 6) | (s[i++] & 0x3F);
            low = 0x80;
            high = 0xBF;
        }
        // An incomplete sequence leaves i at the byte that broke it, to be decoded afresh.
        *o++ = static_cast<wchar_t>(complete ? cp : kReplacement);
    }
    return static_cast<size_t>(o - out);
}

bool IsScalarValue(uint32_t c) {
    return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF);
}

size_t EncodedLength(uint32_t c) {
    if (c < 0x80)
        return 1;
    if (c < 0x800)
        return 2;
    if (c < 0x10000 || !IsScalarValue(c))
        return 3;  // the replacement takes three bytes
    return 4;
}

}  // namespace

std::wstring Utf8ToWide(const char* s, size_t n) {
    std::wstring out;
    if (!s || n == 0)
        return out;
    out.resize(n);
    const size_t length = DecodeUtf8(reinterpret_cast<const unsigned char*>(s), n, &out[0]);
    out.resize(length);
    // Multi-byte text leaves spare room; give it back when it is both large and most of it.
    if (n - length > 256 && n - length > length)
        out.shrink_to_fit();
    return out;
}

std::wstring Utf8ToWide(const std::string& s) {
    return Utf8ToWide(s.data(), s.size());
}

std::string WideToUtf8(const wchar_t* s, size_t n) {
    std::string out;
    if (!s || n == 0)
        return out;
    size_t length = 0;
    for (size_t i = 0; i < n; ++i)
        length += EncodedLength(static_cast<uint32_t>(s[i]));
    out.resize(length);
    char* o = &out[0];
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = static_cast<uint32_t>(s[i]);
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
            continue;
        }
        if (c < 0x800) {
            *o++ = static_cast<char>(0xC0 | (c >> 6));
            *o++ = static_cast<char>(0x80 | (c & 0x3F));
            continue;
        }
        if (!IsScalarValue(c))
            c = kReplacement;
        if (c < 0x10000) {
            *o++ = static_cast<char>(0xE0 | (c >> 12));
        } else {
            *o++ = static_cast<char>(0xF0 | (c >> 18));
            *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        }
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

std::string WideToUtf8(const std::wstring& s) {
    return WideToUtf8(s.data(), s.size());
}

}  // namespace vornoledb
