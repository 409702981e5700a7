// The compaction component (CLSID_DBEngine, _DBEngine): writes a compacted copy of a closed
// SQLite database to a new file, or compacts the file where it lies.
#pragma once

#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

class CompactionEngine final : public ComObject<_DBEngine> {
  public:
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);

    // Writes a compacted copy of SrcName to DstName (VACUUM INTO), a new file: the source
    // is never changed, and on failure no destination file is left behind. A DstName that
    // names the source itself compacts the file where it lies (VACUUM), through SQLite's
    // own locking and journal: a program that has the file open through SQLite (the sqlite3
    // shell, say) reads and writes it correctly afterwards, a compaction killed half-way is
    // rolled back by the next open, and no file but SQLite's own unnamed scratch file is
    // made. Refuses, with a record: a missing source, a destination that exists, a source
    // that is no SQLite database (Access files are read-only here), a source that any other
    // connection of this library in this or another process has open, and one whose SQLite
    // lock another program holds beyond the busy timeout. The locale and option arguments
    // are accepted and unused.
    HRESULT CompactDatabase(BSTR SrcName, BSTR DstName, VARIANT DstLocale, VARIANT Options,
                            VARIANT SrcLocale) override;

  private:
    CompactionEngine() = default;
    // The two ways, once the source is held exclusively and known to be a SQLite file.
    static HRESULT CompactInPlace(const std::wstring& source, const std::string& absolute);
    static HRESULT CompactIntoCopy(const std::wstring& source, const std::wstring& destination,
                                   int sourceFd, const std::string& absolute);
    ~CompactionEngine() override = default;
};

}  // namespace vorn::provider
