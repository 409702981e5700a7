// Widths, escapes and sizes of text on a terminal.
#include "terminal_text.h"

#include <sys/ioctl.h>
#include <unistd.h>
#include <wchar.h>

#include <cstdlib>

#include <vornoledb/platform/text.h>
#include <vornoledb/windows_names.h>

namespace vornsql {
namespace {

const char kDigits[] = "0123456789abcdef";

size_t EnvironmentNumber(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value)
        return 0;
    char* end = nullptr;
    const unsigned long n = std::strtoul(value, &end, 10);
    return end && *end == '\0' && n < 100000 ? n : 0;
}

}  // namespace

size_t DisplayWidth(const std::string& utf8) {
    size_t ascii = 0;
    bool plain = true;
    for (unsigned char c : utf8) {
        if (c >= 0x80) {
            plain = false;
            break;
        }
        ++ascii;
    }
    if (plain)
        return ascii;
    size_t width = 0;
    for (wchar_t c : Utf8ToWide(utf8)) {
        const int w = ::wcwidth(c);
        width += w < 0 ? 1 : static_cast<size_t>(w);
    }
    return width;
}

std::string Printable(const std::string& utf8, bool keepLineFeeds) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        switch (c) {
            case '\n':
                out += keepLineFeeds ? "\n" : "\\n";
                continue;
            case '\r':
                out += "\\r";
                continue;
            case '\t':
                out += "\\t";
                continue;
            default:
                break;
        }
        if (c < 0x20 || c == 0x7f) {
            out += "\\x";
            out += kDigits[c >> 4];
            out += kDigits[c & 15];
        } else if (c == 0xc2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9f) {
            // U+0080 to U+009F, the C1 controls (CSI among them).
            const unsigned char code = static_cast<unsigned char>(utf8[++i]);
            out += "\\u00";
            out += kDigits[code >> 4];
            out += kDigits[code & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

TerminalSize SizeOfTerminal(int fd) {
    TerminalSize size;
    winsize w{};
    if (::isatty(fd) && ::ioctl(fd, TIOCGWINSZ, &w) == 0) {
        size.rows = w.ws_row;
        size.columns = w.ws_col;
    }
    if (size.rows == 0)
        size.rows = EnvironmentNumber("LINES");
    if (size.columns == 0)
        size.columns = EnvironmentNumber("COLUMNS");
    return size;
}

}  // namespace vornsql
