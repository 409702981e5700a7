// One Access file opened read-only through libmdb, with its catalog. Included only by the
// Access store's own sources: it brings in glib's and libmdb's headers.
#pragma once

#include <glib.h>
#include <mdbtools.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stores/access/access_text.h"

namespace vorn::provider::stores::access {

// What a catalog entry is, as TABLES reports it.
enum class ObjectKind { Table, SystemTable, Query, LinkedTable, Other };

// The catalog's own table, read before there is a catalog.
constexpr unsigned kNotInCatalog = ~0u;

struct CatalogObject {
    std::wstring name;
    ObjectKind kind = ObjectKind::Other;
    unsigned catalogIndex = 0;  // position in the handle's catalog (also in its clones)
    uint32_t tablePage = 0;     // the page of its definition
    int32_t id = 0;             // the low 24 bits of the object's Id in MSysObjects
};

class AccessFile {
  public:
    // Opens the file at path (shown in messages as shown) read-only: libmdb reads it
    // through a stream opened for reading, so not a byte of it, lock bytes included, is
    // ever written. codePage names the code page of a Jet 3 file's text (empty: the one
    // its header gives). Null with *error filled on failure.
    static std::shared_ptr<AccessFile> Open(const std::string& path, const std::wstring& shown,
                                            const std::string& codePage, std::wstring* error);
    ~AccessFile();
    AccessFile(const AccessFile&) = delete;
    AccessFile& operator=(const AccessFile&) = delete;

    const std::wstring& Shown() const { return shown_; }
    // The header's version byte: 0 Jet 3, 1 Jet 4, 2 and above ACE.
    unsigned Version() const { return version_; }
    bool IsJet3() const { return version_ == MDB_VER_JET3; }
    const CodePage* Jet3CodePage() const { return codePage_.get(); }
    const std::vector<CatalogObject>& Objects() const { return objects_; }
    const CatalogObject* FindObject(const std::wstring& name) const;

    // The handle that reads definitions. Cursors read rows through handles of their own
    // (Clone), which share the file but not the page buffers.
    MdbHandle* Handle() const { return mdb_; }
    MdbHandle* Clone() const;
    // The number of pages of the file (to bound walks along page chains).
    uint64_t PageCount() const { return pageCount_; }

    // Text of the file as UTF-8: Jet 3 bytes through its code page, else UTF-16LE.
    void TextToUtf8(const unsigned char* data, size_t n, std::string* out) const;

  private:
    AccessFile() = default;
    bool ReadCatalog(const std::shared_ptr<AccessFile>& self, std::wstring* error);

    MdbHandle* mdb_ = nullptr;
    std::wstring shown_;
    unsigned version_ = 0;
    uint64_t pageCount_ = 0;
    std::unique_ptr<CodePage> codePage_;
    std::vector<CatalogObject> objects_;
};

// The file's name as messages quote it: 'path'.
std::wstring QuotedFile(const AccessFile& file);

}  // namespace vorn::provider::stores::access
