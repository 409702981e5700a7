// UTF-8 and wide (UTF-32) text. Both directions size the result once and write into it
// directly; runs of ASCII are handled eight bytes at a time.
#include "utf8.h"

#include <string>

#include "vornoledb/platform/text.h"

namespace vorn {
namespace {

// Eight ASCII bytes as eight characters, written out in full so that no loop is kept.
inline void WidenEight(const unsigned char* in, wchar_t* out) {
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
    out[3] = in[3];
    out[4] = in[4];
    out[5] = in[5];
    out[6] = in[6];
    out[7] = in[7];
}

}  // namespace

char32_t DecodeUtf8Char(const unsigned char* s, size_t n, size_t* i, bool* wellFormed) {
    bool ignored;
    bool& ok = wellFormed ? *wellFormed : ignored;
    ok = false;
    const unsigned lead = s[(*i)++];
    if (lead < 0x80) {
        ok = true;
        return lead;
    }
    unsigned trailing;
    char32_t cp;
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
        return kReplacementCharacter;  // continuation byte or C0, C1, F5..FF
    }
    for (unsigned k = 0; k < trailing; ++k) {
        if (*i >= n || s[*i] < low || s[*i] > high)
            return kReplacementCharacter;
        cp = (cp << 6) | (s[(*i)++] & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    ok = true;
    return cp;
}

bool IsValidUtf8(const char* text, size_t n) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < n) {
        if (i + 8 <= n && EightAsciiBytes(s + i)) {
            i += 8;
            continue;
        }
        bool wellFormed = false;
        DecodeUtf8Char(s, n, &i, &wellFormed);
        if (!wellFormed)
            return false;
    }
    return true;
}

WideDecodeResult DecodeUtf8(const char* text, size_t n, wchar_t* out, size_t capacity) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    // The ASCII text before the first other byte widens byte for byte (one character a
    // byte, so that the positions in and out are the same).
    const size_t prefixLimit = n < capacity ? n : capacity;
    size_t i = 0;
    while (i + 8 <= prefixLimit && EightAsciiBytes(s + i)) {
        WidenEight(s + i, out + i);
        i += 8;
    }
    while (i < prefixLimit && s[i] < 0x80) {
        out[i] = static_cast<wchar_t>(s[i]);
        ++i;
    }
    size_t w = i;
    while (i < n && w < capacity) {
        if (i + 8 <= n && w + 8 <= capacity && EightAsciiBytes(s + i)) {
            WidenEight(s + i, out + w);
            i += 8;
            w += 8;
            continue;
        }
        if (s[i] < 0x80) {
            out[w++] = static_cast<wchar_t>(s[i++]);
            continue;
        }
        out[w++] = static_cast<wchar_t>(DecodeUtf8Char(s, n, &i));
    }
    return {w, w + (i < n ? CountUtf8Chars(text + i, n - i) : 0)};
}

size_t CountUtf8Chars(const char* text, size_t n) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    size_t count = 0;
    while (i < n) {
        if (i + 8 <= n && EightAsciiBytes(s + i)) {
            i += 8;
            count += 8;
            continue;
        }
        if (s[i] < 0x80)
            ++i;
        else
            DecodeUtf8Char(s, n, &i);
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

namespace {
bool IsScalarValue(char32_t c) {
    return c < 0xD800 || (c > 0xDFFF && c <= 0x10FFFF);
}
}  // namespace

size_t Utf8EncodedLength(char32_t c) {
    if (c < 0x80)
        return 1;
    if (c < 0x800)
        return 2;
    if (c < 0x10000 || !IsScalarValue(c))
        return 3;  // the replacement takes three bytes
    return 4;
}

size_t EncodeUtf8Char(char32_t c, char* out) {
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (!IsScalarValue(c))
        c = kReplacementCharacter;
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

}  // namespace vorn

namespace vornoledb {

std::wstring Utf8ToWide(const char* s, size_t n) {
    std::wstring out;
    if (!s || n == 0)
        return out;
    // ASCII, the common case, widens byte for byte into a string of the final length.
    const auto* bytes = reinterpret_cast<const unsigned char*>(s);
    size_t ascii = 0;
    while (ascii + 8 <= n && vorn::EightAsciiBytes(bytes + ascii))
        ascii += 8;
    while (ascii < n && bytes[ascii] < 0x80)
        ++ascii;
    if (ascii == n)
        return std::wstring(bytes, bytes + n);
    out.resize(n);  // no byte yields more than one character
    const size_t length = vorn::DecodeUtf8(s, n, &out[0], n).written;
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
        length += vorn::Utf8EncodedLength(static_cast<char32_t>(s[i]));
    out.resize(length);
    char* o = &out[0];
    for (size_t i = 0; i < n; ++i)
        o += vorn::EncodeUtf8Char(static_cast<char32_t>(s[i]), o);
    return out;
}

std::string WideToUtf8(const std::wstring& s) {
    return WideToUtf8(s.data(), s.size());
}

}  // namespace vornoledb
