// Wide-string file operations over POSIX (paths are converted to UTF-8). Failures set
// errno, as the POSIX calls do, and return FALSE.
#pragma once

#include "vornoledb/platform/types.h"

namespace vornoledb {

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;

BOOL DeleteFileW(LPCWSTR lpFileName);
// Renames a file. Without MOVEFILE_REPLACE_EXISTING an existing destination is kept and
// the call fails. With MOVEFILE_COPY_ALLOWED a move across file systems copies.
BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags);
BOOL PathFileExistsW(LPCWSTR pszPath);

// A predicate the provider installs so that MoveFileExW never replaces a file that an
// open data source holds. Returns true when the path may be replaced.
using FileReplaceGuard = bool (*)(const char* utf8Path);
void SetFileReplaceGuard(FileReplaceGuard guard);

}  // namespace vornoledb
