// The compaction component (CLSID_DBEngine, _DBEngine): writes a compacted copy of a closed
// SQLite database to a new file.
#pragma once

#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

class CompactionEngine final : public ComObject<_DBEngine> {
  public:
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);

    // Writes a compacted copy of SrcName to DstName (VACUUM INTO). Refuses, with a record:
    // a missing source, a destination that exists, a source that is no SQLite database
    // (Access files are read-only here), and a source that any other connection of this or
    // another process has open. The locale and option arguments are accepted and unused.
    // The source is never changed; on failure no destination file is left behind.
    HRESULT CompactDatabase(BSTR SrcName, BSTR DstName, VARIANT DstLocale, VARIANT Options,
                            VARIANT SrcLocale) override;

  private:
    CompactionEngine() = default;
    ~CompactionEngine() override = default;
};

}  // namespace vorn::provider
