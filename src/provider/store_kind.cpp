// What kind of file a data source names, told from its first bytes.
#include "store_kind.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "vornoledb/platform/format.h"

namespace vorn::provider {
namespace {

bool HasPrefix(const unsigned char* data, size_t size, const char* prefix, size_t n) {
    return size >= n && std::memcmp(data, prefix, n) == 0;
}

// True for UTF-8 text without NUL bytes; a sequence cut off at the end of the probe counts
// as valid.
bool LooksLikeText(const unsigned char* data, size_t size) {
    size_t i = 0;
    while (i < size) {
        const unsigned char c = data[i];
        if (c == 0)
            return false;
        size_t extra = 0;
        if (c < 0x80) {
            extra = 0;
        } else if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
        } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
            extra = 3;
        } else {
            return false;
        }
        for (size_t k = 1; k <= extra; ++k) {
            if (i + k >= size)
                return true;
            if ((data[i + k] & 0xC0) != 0x80)
                return false;
        }
        i += extra + 1;
    }
    return true;
}

}  // namespace

FileKind DetectFileKind(const unsigned char* data, size_t size) {
    FileKind result;
    if (size == 0) {
        result.kind = StoreKind::Empty;
    } else if (HasPrefix(data, size, "SQLite format 3", 16)) {
        result.kind = StoreKind::SQLite;
    } else if (size > 0x14 && HasPrefix(data, size, "\x00\x01\x00\x00", 4) &&
               (std::memcmp(data + 4, "Standard Jet DB", 15) == 0 ||
                std::memcmp(data + 4, "Standard ACE DB", 15) == 0)) {
        result.kind = StoreKind::Access;
        result.accessVersion = data[0x14];
    } else if (HasPrefix(data, size, "PK\x03\x04", 4) || HasPrefix(data, size, "PK\x05\x06", 4)) {
        result.kind = StoreKind::Zip;
    } else if (HasPrefix(data, size, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
        result.kind = StoreKind::Ole2;
    } else if (LooksLikeText(data, size)) {
        result.kind = StoreKind::Text;
    }
    return result;
}

std::wstring DescribeFileKind(const FileKind& kind) {
    switch (kind.kind) {
        case StoreKind::Empty:
            return L"an empty file (0 bytes)";
        case StoreKind::SQLite:
            return L"a SQLite 3 database";
        case StoreKind::Access:
            switch (kind.accessVersion) {
                case 0:
                    return L"an Access database (Jet 3)";
                case 1:
                    return L"an Access database (Jet 4)";
                case 2:
                    return L"an Access database (ACE 12)";
                case 3:
                    return L"an Access database (ACE 14)";
                case 4:
                    return L"an Access database (ACE 15)";
                case 5:
                    return L"an Access database (ACE 16)";
                case 6:
                    return L"an Access database (ACE 17)";
                default:
                    return VornFormat(L"an Access database (unknown version %d)",
                                      kind.accessVersion);
            }
        case StoreKind::Zip:
            return L"a zip archive (such as an .xlsx workbook)";
        case StoreKind::Ole2:
            return L"an OLE2 compound file (such as an .xls workbook)";
        case StoreKind::Text:
            return L"a text file";
        case StoreKind::Unknown:
            break;
    }
    return L"a file of unknown format";
}

bool ProbeFileKind(int fd, FileKind* kind) {
    unsigned char buffer[kFileKindProbeSize];
    size_t got = 0;
    while (got < sizeof buffer) {
        const ssize_t n = ::pread(fd, buffer + got, sizeof buffer - got, static_cast<off_t>(got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    *kind = DetectFileKind(buffer, got);
    return true;
}

}  // namespace vorn::provider
