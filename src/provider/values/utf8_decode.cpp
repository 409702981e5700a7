// UTF-8 decoding into caller buffers.
#include "values/utf8_decode.h"

#include <cstdint>
#include <cstring>

namespace vorn::provider {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool EightAscii(const unsigned char* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ull) == 0;
}

// Decodes one character starting at s[*i] (not ASCII), advancing *i past the bytes used.
wchar_t DecodeOne(const unsigned char* s, size_t n, size_t* i) {
    const unsigned lead = s[(*i)++];
    unsigned trailing;
    uint32_t cp;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;  // overlong forms
        if (lead == 0xED)
            high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        cp = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;  // overlong forms
        if (lead == 0xF4)
            high = 0x8F;  // beyond U+10FFFF
    } else {
        return kReplacement;
    }
    for (unsigned k = 0; k < trailing; ++k) {
        if (*i >= n || s[*i] < low || s[*i] > high)
            return kReplacement;
        cp = (cp << 6) | (s[(*i)++] & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return static_cast<wchar_t>(cp);
}

}  // namespace

WideDecodeResult DecodeUtf8(const char* text, size_t n, wchar_t* out, size_t capacity) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    size_t w = 0;
    while (i < n && w < capacity) {
        if (i + 8 <= n && w + 8 <= capacity && EightAscii(s + i)) {
            for (int k = 0; k < 8; ++k)
                out[w + k] = static_cast<wchar_t>(s[i + k]);
            i += 8;
            w += 8;
            continue;
        }
        if (s[i] < 0x80) {
            out[w++] = static_cast<wchar_t>(s[i++]);
            continue;
        }
        out[w++] = DecodeOne(s, n, &i);
    }
    return {w, w + (i < n ? CountUtf8Chars(text + i, n - i) : 0)};
}

size_t CountUtf8Chars(const char* text, size_t n) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    size_t count = 0;
    while (i < n) {
        if (i + 8 <= n && EightAscii(s + i)) {
            i += 8;
            count += 8;
            continue;
        }
        if (s[i] < 0x80)
            ++i;
        else
            DecodeOne(s, n, &i);
        ++count;
    }
    return count;
}

size_t Utf8PrefixLength(const char* text, size_t n, size_t maxBytes) {
    if (maxBytes >= n)
        return n;
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    size_t cut = maxBytes;
    // Back up over continuation bytes to the lead byte of the sequence that is cut, unless
    // that sequence ends exactly at the cut.
    size_t lead = cut;
    while (lead > 0 && (s[lead] & 0xC0) == 0x80 && cut - lead < 4)
        --lead;
    if (lead < cut && (s[cut] & 0xC0) == 0x80)
        cut = lead;
    return cut;
}

}  // namespace vorn::provider
