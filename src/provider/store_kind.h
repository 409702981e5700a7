// What kind of file a data source names, told from its first bytes (never its extension).
#pragma once

#include <cstddef>
#include <string>

namespace vorn::provider {

enum class StoreKind {
    Empty,    // 0 bytes
    SQLite,   // "SQLite format 3\0"
    Access,   // Jet 3, Jet 4 or ACE header ("Standard Jet DB" / "Standard ACE DB")
    Zip,      // a zip archive (an .xlsx workbook, for instance)
    Ole2,     // an OLE2 compound file (an .xls workbook, for instance)
    Text,     // no NUL bytes and valid UTF-8 in the first bytes
    Unknown,  // anything else
};

struct FileKind {
    StoreKind kind = StoreKind::Unknown;
    int accessVersion = -1;  // the Access header's version byte (0 Jet 3, 1 Jet 4, 2.. ACE)
};

// Number of leading bytes DetectFileKind looks at (fewer when the file is shorter).
constexpr size_t kFileKindProbeSize = 4096;

// Tells the kind from the first bytes of a file; size is how many were read.
FileKind DetectFileKind(const unsigned char* data, size_t size);

// The kind in words with its article, for error texts: "an Access database (Jet 4)",
// "a zip archive (such as an .xlsx workbook)", "an empty file (0 bytes)" ...
std::wstring DescribeFileKind(const FileKind& kind);

// Reads the first bytes of the open file fd and tells its kind. False (errno set) when the
// file cannot be read.
bool ProbeFileKind(int fd, FileKind* kind);

}  // namespace vorn::provider
