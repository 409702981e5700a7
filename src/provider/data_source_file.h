// The file a data source names: held open under its advisory lock and told by kind, with
// the error records a person can act on when that fails.
#pragma once

#include <memory>
#include <string>

#include "open_file_registry.h"
#include "store_kind.h"
#include "vornoledb/platform/types.h"

namespace vorn::provider {

// Holds the file at path (shared, or exclusive when the data source asked for exclusive
// use) and reads its kind. On failure posts a record (guid iid) naming the file: "could not
// find file", "is a folder", "is in use", "cannot be read" ... and returns its HRESULT.
HRESULT HoldDataSourceFile(const std::wstring& path, bool exclusive, REFIID iid,
                           std::unique_ptr<FileHold>* hold, FileKind* kind);

// Refuses (with a record) a path holding a NUL character, which the file system would cut
// short and so open a file other than the one named.
HRESULT CheckPathText(const std::wstring& path, REFIID iid);

// The record for a hold that failed with status/error on path. what is the operation
// ("open", "compact") for the in-use texts.
HRESULT PostHoldError(HoldStatus status, int error, const std::wstring& path, REFIID iid,
                      const std::wstring& what);

}  // namespace vorn::provider
