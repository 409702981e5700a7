// The accessors of a rowset: bindings checked once at creation and kept for GetData.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

struct Accessor {
    DBACCESSORFLAGS flags = 0;
    std::vector<DBBINDING> bindings;  // pObject points into objects; pTypeInfo/pBindExt null
    std::vector<DBOBJECT> objects;    // one per binding (used by DBTYPE_IUNKNOWN ones)
    ULONG refs = 1;
};

class AccessorSet {
  public:
    // columnTypes[i] is the described type of the column of ordinal i + 1.
    explicit AccessorSet(std::vector<DBTYPE> columnTypes) : columnTypes_(std::move(columnTypes)) {}

    // IAccessor::CreateAccessor for row data: each binding is checked (ordinal, parts,
    // memory owner, conversion, stream interface) and its DBBINDSTATUS written to
    // rgStatus when given. DB_E_ERRORSOCCURRED with an error record naming the first bad
    // binding when any fails.
    HRESULT Create(DBACCESSORFLAGS flags, DBCOUNTITEM cBindings, const DBBINDING rgBindings[],
                   DBLENGTH cbRowSize, HACCESSOR* phAccessor, DBBINDSTATUS rgStatus[],
                   const std::vector<std::wstring>& columnNames);
    const Accessor* Find(HACCESSOR h) const;
    HRESULT AddRef(HACCESSOR h, DBREFCOUNT* pcRefCount);
    HRESULT Release(HACCESSOR h, DBREFCOUNT* pcRefCount);
    HRESULT GetBindings(HACCESSOR h, DBACCESSORFLAGS* pdwFlags, DBCOUNTITEM* pcBindings,
                        DBBINDING** prgBindings) const;

  private:
    std::vector<DBTYPE> columnTypes_;
    std::vector<std::unique_ptr<Accessor>> accessors_;  // handle = index + 1
};

}  // namespace vorn::provider
