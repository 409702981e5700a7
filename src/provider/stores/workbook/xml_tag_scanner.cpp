// A fast forward scanner of XML tags.
#include "stores/workbook/xml_tag_scanner.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vorn::provider::stores::workbook {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The bytes that end the walk through a tag: its end, or a quote that opens a value.
struct TagStops {
    bool of[256];
    constexpr TagStops() : of() {
        of[static_cast<int>('>')] = true;
        of[static_cast<int>('"')] = true;
        of[static_cast<int>('\'')] = true;
    }
};
constexpr TagStops kTagStop;

// Tags and the values in them are short: the searches below look at 16 bytes at a time
// inline, where a call to memchr would cost more than the few bytes it passes over.

// The first byte at or after i that ends the walk through a tag, or size.
size_t FindTagStop(const char* data, size_t i, size_t size) {
#if defined(__SSE2__)
    const __m128i gt = _mm_set1_epi8('>');
    const __m128i dq = _mm_set1_epi8('"');
    const __m128i sq = _mm_set1_epi8('\'');
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, gt), _mm_cmpeq_epi8(v, dq)),
                                         _mm_cmpeq_epi8(v, sq));
        const int mask = _mm_movemask_epi8(hit);
        if (mask != 0)
            return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#endif
    while (i < size && !kTagStop.of[static_cast<unsigned char>(data[i])])
        ++i;
    return i;
}

// The first c at or after i, or size.
size_t FindByte(const char* data, size_t i, size_t size, char c) {
#if defined(__SSE2__)
    if (i + 16 <= size) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c)));
        if (mask != 0)
            return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        i += 16;
    }
#endif
    const void* found = i < size ? std::memchr(data + i, c, size - i) : nullptr;
    return found ? static_cast<size_t>(static_cast<const char*>(found) - data) : size;
}

}  // namespace

bool XmlTag::Attribute(std::string_view name, std::string_view* value) const {
    // Past the element's name.
    size_t i = 1;
    while (i < raw.size() && !IsSpace(raw[i]) && raw[i] != '>' && raw[i] != '/')
        ++i;
    while (i < raw.size()) {
        while (i < raw.size() && IsSpace(raw[i]))
            ++i;
        const size_t nameStart = i;
        while (i < raw.size() && raw[i] != '=' && !IsSpace(raw[i]) && raw[i] != '>' &&
               raw[i] != '/')
            ++i;
        const std::string_view attribute = raw.substr(nameStart, i - nameStart);
        while (i < raw.size() && IsSpace(raw[i]))
            ++i;
        if (i >= raw.size() || raw[i] != '=')
            return false;
        ++i;
        while (i < raw.size() && IsSpace(raw[i]))
            ++i;
        if (i >= raw.size() || (raw[i] != '"' && raw[i] != '\''))
            return false;
        const char quote = raw[i++];
        const size_t valueStart = i;
        while (i < raw.size() && raw[i] != quote)
            ++i;
        if (i >= raw.size())
            return false;
        if (attribute == name) {
            *value = raw.substr(valueStart, i - valueStart);
            return true;
        }
        ++i;
    }
    return false;
}

bool XmlTagScanner::Next(XmlTag* tag, bool* truncated) {
    *truncated = false;
    const char* data = buffer_.data();
    const size_t size = buffer_.size();
    // Tags mostly follow one another directly.
    const size_t start = pos_ < size && data[pos_] == '<' ? pos_ : FindByte(data, pos_, size, '<');
    if (start >= size)
        return false;
    size_t end = 0;  // one past '>'
    tag->kind = XmlTag::Other;
    auto findText = [&](const char* closing, size_t from) {
        const std::string_view rest(data + from, size - from);
        const size_t at = rest.find(closing);
        if (at == std::string_view::npos)
            return false;
        end = from + at + std::strlen(closing);
        return true;
    };
    if (start + 1 >= size) {
        *truncated = true;
        return false;
    }
    const char first = data[start + 1];
    if (first == '!') {
        const size_t held = size - start;
        bool found = false;
        if (held >= 4 && std::memcmp(data + start, "<!--", 4) == 0) {
            found = findText("-->", start + 4);
        } else if (held < 9) {
            *truncated = true;
            return false;
        } else if (std::memcmp(data + start, "<![CDATA[", 9) == 0) {
            found = findText("]]>", start + 9);
        } else {
            // <!DOCTYPE ...> with an internal subset in brackets.
            int depth = 0;
            for (size_t i = start + 2; i < size && !found; ++i) {
                if (data[i] == '[')
                    ++depth;
                else if (data[i] == ']')
                    --depth;
                else if (data[i] == '>' && depth <= 0) {
                    end = i + 1;
                    found = true;
                }
            }
        }
        if (!found) {
            *truncated = true;
            return false;
        }
    } else if (first == '?') {
        if (!findText("?>", start + 2)) {
            *truncated = true;
            return false;
        }
    } else {
        // The '>' that is not inside an attribute value's quotes.
        size_t i = start + 1;
        while (true) {
            i = FindTagStop(data, i, size);
            if (i >= size) {
                *truncated = true;
                return false;
            }
            if (data[i] == '>')
                break;
            const size_t close = FindByte(data, i + 1, size, data[i]);
            if (close >= size) {
                *truncated = true;
                return false;
            }
            i = close + 1;
        }
        end = i + 1;
        size_t nameStart = start + 1;
        if (first == '/') {
            tag->kind = XmlTag::End;
            ++nameStart;
        } else {
            tag->kind = data[end - 2] == '/' ? XmlTag::Empty : XmlTag::Start;
        }
        size_t nameEnd = nameStart;
        size_t localStart = nameStart;
        while (nameEnd < end - 1 && !IsSpace(data[nameEnd]) && data[nameEnd] != '/' &&
               data[nameEnd] != '>') {
            if (data[nameEnd] == ':')
                localStart = nameEnd + 1;
            ++nameEnd;
        }
        tag->local = std::string_view(data + localStart, nameEnd - localStart);
    }
    if (tag->kind == XmlTag::Other)
        tag->local = std::string_view();
    tag->raw = std::string_view(data + start, end - start);
    tag->offset = base_ + start;
    pos_ = end;
    return true;
}

char* XmlTagScanner::Reserve(size_t size) {
    reserved_ = buffer_.size();
    buffer_.resize(reserved_ + size);
    return buffer_.data() + reserved_;
}

void XmlTagScanner::Commit(size_t used) {
    buffer_.resize(reserved_ + used);
}

std::string_view XmlTagScanner::Since(uint64_t offset) const {
    if (offset < base_ || offset > base_ + pos_)
        return std::string_view();
    return std::string_view(buffer_).substr(static_cast<size_t>(offset - base_),
                                            static_cast<size_t>(base_ + pos_ - offset));
}

void XmlTagScanner::Discard(uint64_t offset) {
    if (offset <= base_)
        return;
    size_t n = static_cast<size_t>(offset - base_);
    if (n > pos_)
        n = pos_;
    // Move the bytes only once a good part of the buffer is spent.
    if (n < 65536 && n < buffer_.size() / 2)
        return;
    buffer_.erase(0, n);
    base_ += n;
    pos_ -= n;
}

}  // namespace vorn::provider::stores::workbook
