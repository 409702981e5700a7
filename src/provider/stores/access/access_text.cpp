// Text of Access files as UTF-8.
#include "stores/access/access_text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>

#include "utf8.h"

namespace vorn::provider::stores::access {
namespace {

void Append(char32_t c, std::string* out) {
    char bytes[4];
    out->append(bytes, EncodeUtf8Char(c, bytes));
}

// iconv's name of a code page given by number ("CP1252") or by name.
std::string IconvName(const std::string& name) {
    if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos)
        return "CP" + name;
    return name;
}

}  // namespace

void Utf16ToUtf8(const unsigned char* data, size_t n, std::string* out) {
    out->reserve(out->size() + n);
    size_t i = 0;
    for (; i + 1 < n; i += 2) {
        const char32_t unit = char32_t(data[i]) | (char32_t(data[i + 1]) << 8);
        if (unit < 0x80) {
            out->push_back(static_cast<char>(unit));
            continue;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < n) {
            const char32_t low = char32_t(data[i + 2]) | (char32_t(data[i + 3]) << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                Append(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), out);
                i += 2;
                continue;
            }
        }
        Append(unit >= 0xD800 && unit <= 0xDFFF ? kReplacementCharacter : unit, out);
    }
    if (i < n)
        Append(kReplacementCharacter, out);
}

void JetUnicodeToUtf8(const unsigned char* data, size_t n, std::string* out) {
    if (n < 2 || data[0] != 0xFF || data[1] != 0xFE) {
        Utf16ToUtf8(data, n, out);
        return;
    }
    // Compressed: segments of one byte per character and of UTF-16LE take turns, each 00
    // byte ending one; the text starts compressed.
    bool compressed = true;
    size_t start = 2;
    for (size_t i = 2; i <= n; ++i) {
        if (i < n && data[i] != 0)
            continue;
        if (compressed) {
            for (size_t k = start; k < i; ++k)
                Append(data[k], out);
        } else {
            Utf16ToUtf8(data + start, i - start, out);
        }
        compressed = !compressed;
        start = i + 1;
    }
}

std::unique_ptr<CodePage> CodePage::Open(const std::string& name, std::string* error) {
    const std::string iconvName = IconvName(name);
    iconv_t cd = iconv_open("UTF-8", iconvName.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        *error = "the code page '" + name + "' is not known to this system";
        return nullptr;
    }
    std::unique_ptr<CodePage> page(new CodePage);
    page->name_ = name;
    // A code page is single-byte when every byte alone converts (or is undefined); a lead
    // byte of a double-byte set leaves its conversion incomplete.
    for (int b = 0; b < 256 && page->singleByte_; ++b) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char in = static_cast<char>(b);
        char buffer[8];
        char* inPtr = &in;
        size_t inLeft = 1;
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        if (rc == static_cast<size_t>(-1) && errno == EINVAL) {
            page->singleByte_ = false;
        } else if (rc == static_cast<size_t>(-1)) {
            // A byte the code page leaves undefined stands for the character of its number,
            // as the engine reads it (Windows-1252's 0x81 is U+0081).
            Append(static_cast<char32_t>(b), &page->table_[b]);
        } else {
            page->table_[b].assign(buffer, sizeof buffer - outLeft);
        }
    }
    if (page->singleByte_)
        iconv_close(cd);
    else
        page->converter_ = cd;
    return page;
}

CodePage::~CodePage() {
    if (converter_)
        iconv_close(static_cast<iconv_t>(converter_));
}

void CodePage::ToUtf8(const unsigned char* data, size_t n, std::string* out) const {
    if (singleByte_) {
        for (size_t i = 0; i < n; ++i) {
            if (data[i] < 0x80)
                out->push_back(static_cast<char>(data[i]));
            else
                out->append(table_[data[i]]);
        }
        return;
    }
    iconv_t cd = static_cast<iconv_t>(converter_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = reinterpret_cast<char*>(const_cast<unsigned char*>(data));
    size_t inLeft = n;
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out->append(buffer, sizeof buffer - outLeft);
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            // A byte the code page does not define (or a lead byte at the very end).
            Append(kReplacementCharacter, out);
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
}

}  // namespace vorn::provider::stores::access
