// The wide formatter with the Windows C runtime's conventions (see format.h).
//
// Strings and characters are copied here; numbers are formatted by the narrow snprintf
// with the conversion rebuilt for it (C locale for floating point) and widened.
// Every entry point copies the caller's va_list before reading it, so a caller may hand
// the same list to several calls.
#include "vornoledb/platform/format.h"

#include <clocale>
#include <cstdio>
#include <cwchar>
#include <locale.h>
#include <charconv>
#include <string>

#include "vornoledb/platform/text.h"

namespace vornoledb {

namespace {

enum class Size { Default, Char, Short, Long32, Long64, LongDouble, Pointer };

struct Spec {
    bool left = false;
    std::string flags;  // flags other than '-', in order
    int width = -1;
    int precision = -1;
    Size size = Size::Default;
    bool wideHint = false;    // 'l' or 'w' before s/c
    bool narrowHint = false;  // 'h' before s/c
    wchar_t conv = 0;
};

// The C locale for floating-point output, whatever the host set with setlocale.
locale_t CLocale() {
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

void Pad(std::wstring& out, const Spec& s, size_t len, const wchar_t* text) {
    size_t width = s.width > 0 ? static_cast<size_t>(s.width) : 0;
    size_t pad = width > len ? width - len : 0;
    wchar_t fill = (!s.left && s.flags.find('0') != std::string::npos) ? L'0' : L' ';
    if (!s.left)
        out.append(pad, fill);
    out.append(text, len);
    if (s.left)
        out.append(pad, L' ');
}

void AppendNarrowNumber(std::wstring& out, const char* buf, int n) {
    for (int i = 0; i < n; ++i)
        out.push_back(static_cast<unsigned char>(buf[i]));
}

// The conversion rebuilt for the narrow snprintf: "%", flags, width, precision, length,
// conversion. Fits easily: flags are at most five, numbers at most ten digits each.
struct NarrowSpec {
    char text[48];
    NarrowSpec(const Spec& s, const char* length, char conv) {
        char* p = text;
        *p++ = '%';
        if (s.left)
            *p++ = '-';
        for (char f : s.flags)
            if (p < text + 8)
                *p++ = f;
        if (s.width >= 0)
            p += std::snprintf(p, 12, "%d", s.width);
        if (s.precision >= 0)
            p += std::snprintf(p, 13, ".%d", s.precision);
        while (*length)
            *p++ = *length++;
        *p++ = conv;
        *p = 0;
    }
};

// Plain %d, %u and their sized forms: written directly, without snprintf.
bool IsPlainInteger(const Spec& s) {
    return !s.left && s.flags.empty() && s.width < 0 && s.precision < 0 &&
           (s.conv == L'd' || s.conv == L'i' || s.conv == L'u');
}

template <class T>
void AppendInteger(std::wstring& out, T value) {
    char buf[24];
    auto result = std::to_chars(buf, buf + sizeof buf, value);
    for (char* p = buf; p < result.ptr; ++p)
        out.push_back(static_cast<wchar_t>(*p));
}

template <class T>
bool FormatNumber(std::wstring& out, const NarrowSpec& spec, T value, bool cLocale) {
    char small[128];
    locale_t old = cLocale ? uselocale(CLocale()) : static_cast<locale_t>(0);
    int n = std::snprintf(small, sizeof small, spec.text, value);
    if (n >= 0 && static_cast<size_t>(n) < sizeof small) {
        AppendNarrowNumber(out, small, n);
    } else if (n >= 0) {
        std::string big(static_cast<size_t>(n) + 1, '\0');
        std::snprintf(&big[0], big.size(), spec.text, value);
        AppendNarrowNumber(out, big.data(), n);
    }
    if (cLocale)
        uselocale(old);
    return n >= 0;
}

// Formats into out; false for a format it cannot read.
bool FormatImpl(std::wstring& out, const wchar_t* format, va_list args) {
    if (!format)
        return false;
    const wchar_t* p = format;
    while (*p) {
        if (*p != L'%') {
            const wchar_t* start = p;
            while (*p && *p != L'%')
                ++p;
            out.append(start, static_cast<size_t>(p - start));
            continue;
        }
        ++p;
        if (*p == L'%') {
            out.push_back(L'%');
            ++p;
            continue;
        }
        Spec s;
        for (;; ++p) {
            if (*p == L'-')
                s.left = true;
            else if (*p == L'+' || *p == L' ' || *p == L'#' || *p == L'0')
                s.flags.push_back(static_cast<char>(*p));
            else
                break;
        }
        if (*p == L'*') {
            int w = va_arg(args, int);
            if (w < 0) {
                s.left = true;
                w = -w;
            }
            s.width = w;
            ++p;
        } else if (*p >= L'0' && *p <= L'9') {
            s.width = 0;
            while (*p >= L'0' && *p <= L'9')
                s.width = s.width * 10 + (*p++ - L'0');
        }
        if (*p == L'.') {
            ++p;
            if (*p == L'*') {
                int prec = va_arg(args, int);
                s.precision = prec < 0 ? -1 : prec;
                ++p;
            } else {
                s.precision = 0;
                while (*p >= L'0' && *p <= L'9')
                    s.precision = s.precision * 10 + (*p++ - L'0');
            }
        }
        // Size prefixes: Windows sizes (l is 32 bits, I64, I32, I) and the C99 ones.
        if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
            s.size = Size::Long64;
            p += 3;
        } else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
            s.size = Size::Long32;
            p += 3;
        } else if (p[0] == L'I') {
            s.size = Size::Pointer;
            p += 1;
        } else if (p[0] == L'h' && p[1] == L'h') {
            s.size = Size::Char;
            s.narrowHint = true;
            p += 2;
        } else if (p[0] == L'h') {
            s.size = Size::Short;
            s.narrowHint = true;
            p += 1;
        } else if (p[0] == L'l' && p[1] == L'l') {
            s.size = Size::Long64;
            p += 2;
        } else if (p[0] == L'l' || p[0] == L'w') {
            s.size = Size::Long32;
            s.wideHint = true;
            p += 1;
        } else if (p[0] == L'L') {
            s.size = Size::LongDouble;
            p += 1;
        } else if (p[0] == L'q' || p[0] == L'j') {
            s.size = Size::Long64;
            p += 1;
        } else if (p[0] == L'z' || p[0] == L't') {
            s.size = Size::Pointer;
            p += 1;
        }
        s.conv = *p;
        if (!s.conv)
            return false;
        ++p;
        switch (s.conv) {
            case L'd':
            case L'i':
            case L'u':
            case L'o':
            case L'x':
            case L'X': {
                bool isSigned = s.conv == L'd' || s.conv == L'i';
                char conv = static_cast<char>(s.conv);
                if (s.size == Size::Long64 || s.size == Size::Pointer) {
                    long long v = va_arg(args, long long);
                    if (IsPlainInteger(s)) {
                        if (isSigned)
                            AppendInteger(out, v);
                        else
                            AppendInteger(out, static_cast<unsigned long long>(v));
                        break;
                    }
                    if (!FormatNumber(out, NarrowSpec(s, "ll", conv), v, false))
                        return false;
                } else {
                    // Default, l and I32 read 32 bits; h and hh narrow the promoted int.
                    int v = va_arg(args, int);
                    if (s.size == Size::Short)
                        v = isSigned ? static_cast<short>(v) : static_cast<unsigned short>(v);
                    else if (s.size == Size::Char)
                        v = isSigned ? static_cast<signed char>(v) : static_cast<unsigned char>(v);
                    if (IsPlainInteger(s)) {
                        if (isSigned)
                            AppendInteger(out, v);
                        else
                            AppendInteger(out, static_cast<unsigned int>(v));
                        break;
                    }
                    if (!FormatNumber(out, NarrowSpec(s, "", conv), v, false))
                        return false;
                }
                break;
            }
            case L'e':
            case L'E':
            case L'f':
            case L'F':
            case L'g':
            case L'G':
            case L'a':
            case L'A': {
                char conv = static_cast<char>(s.conv);
                if (s.size == Size::LongDouble) {
                    long double v = va_arg(args, long double);
                    if (!FormatNumber(out, NarrowSpec(s, "L", conv), v, true))
                        return false;
                } else {
                    double v = va_arg(args, double);
                    if (!FormatNumber(out, NarrowSpec(s, "", conv), v, true))
                        return false;
                }
                break;
            }
            case L'c':
            case L'C': {
                // %c is wide unless 'h' says narrow; %C is narrow unless 'l'/'w' says wide.
                bool wide = s.conv == L'c' ? !s.narrowHint : s.wideHint;
                wchar_t ch;
                if (wide)
                    ch = static_cast<wchar_t>(va_arg(args, wint_t));
                else
                    ch = static_cast<unsigned char>(va_arg(args, int));
                Pad(out, s, 1, &ch);
                break;
            }
            case L's':
            case L'S': {
                bool wide = s.conv == L's' ? !s.narrowHint : s.wideHint;
                if (wide) {
                    const wchar_t* str = va_arg(args, const wchar_t*);
                    if (!str)
                        str = L"(null)";
                    size_t len = s.precision >= 0 ? wcsnlen(str, static_cast<size_t>(s.precision))
                                                  : std::wcslen(str);
                    Pad(out, s, len, str);
                } else {
                    const char* str = va_arg(args, const char*);
                    if (!str)
                        str = "(null)";
                    size_t bytes = s.precision >= 0 ? strnlen(str, static_cast<size_t>(s.precision))
                                                    : std::strlen(str);
                    std::wstring w = Utf8ToWide(str, bytes);
                    Pad(out, s, w.size(), w.data());
                }
                break;
            }
            case L'p': {
                // Windows layout: the address in upper-case hexadecimal, all digits shown.
                void* v = va_arg(args, void*);
                char buf[2 * sizeof(void*) + 1];
                std::snprintf(buf, sizeof buf, "%0*llX", int(2 * sizeof(void*)),
                              static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(v)));
                std::wstring w(buf, buf + 2 * sizeof(void*));
                Pad(out, s, w.size(), w.data());
                break;
            }
            case L'n':
                // Writing through a pointer from a format is never done; the argument is
                // consumed so that the following ones stay in place.
                (void)va_arg(args, void*);
                break;
            default:
                return false;
        }
    }
    return true;
}

}  // namespace

int VornAppendFormatV(std::wstring& out, const wchar_t* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    size_t before = out.size();
    bool ok = FormatImpl(out, format, copy);
    va_end(copy);
    if (!ok) {
        out.resize(before);
        return -1;
    }
    return static_cast<int>(out.size() - before);
}

int VornAppendFormat(std::wstring& out, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int n = VornAppendFormatV(out, format, args);
    va_end(args);
    return n;
}

std::wstring VornFormatV(const wchar_t* format, va_list args) {
    std::wstring out;
    VornAppendFormatV(out, format, args);
    return out;
}

std::wstring VornFormat(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring out = VornFormatV(format, args);
    va_end(args);
    return out;
}

int VornFormatLengthV(const wchar_t* format, va_list args) {
    std::wstring out;
    return VornAppendFormatV(out, format, args);
}

int VornFormatTruncV(wchar_t* buffer, size_t capacity, const wchar_t* format, va_list args,
                     bool* truncated) {
    if (truncated)
        *truncated = false;
    std::wstring out;
    if (VornAppendFormatV(out, format, args) < 0) {
        if (buffer && capacity > 0)
            buffer[0] = 0;
        return -1;
    }
    if (!buffer)
        capacity = 0;
    if (out.size() < capacity) {
        std::wmemcpy(buffer, out.data(), out.size());
        buffer[out.size()] = 0;
        return static_cast<int>(out.size());
    }
    if (capacity > 0)
        std::wmemcpy(buffer, out.data(), capacity);
    if (out.size() == capacity)
        return static_cast<int>(capacity);
    if (truncated)
        *truncated = true;
    return -1;
}

int VornFormatTrunc(wchar_t* buffer, size_t capacity, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int n = VornFormatTruncV(buffer, capacity, format, args, nullptr);
    va_end(args);
    return n;
}

}  // namespace vornoledb
