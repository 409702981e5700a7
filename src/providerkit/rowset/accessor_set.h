// The accessors of a rowset: bindings checked once at creation and kept for GetData.
#pragma once

#include <memory>
#include <vector>

#include "rowset/rowset_columns.h"
#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

// One binding of an accessor with its own copy of the object description (the consumer's
// may not outlive CreateAccessor); binding.pObject points at object.
struct AccessorBinding {
    DBBINDING binding;
    DBOBJECT object;
};

struct Accessor {
    DBACCESSORFLAGS flags = 0;
    ULONG refs = 0;  // 0: the handle is free
    DBCOUNTITEM count = 0;
    std::unique_ptr<AccessorBinding[]> bindings;  // pTypeInfo/pBindExt null

    const DBBINDING& Binding(DBCOUNTITEM i) const { return bindings[i].binding; }
};

class AccessorSet {
  public:
    // The rowset's columns (ordinal i + 1 is columns[i]); they must outlive the set. Until
    // this is called the rowset has no columns.
    void SetColumns(const std::vector<ResultColumn>* columns) { columns_ = columns; }

    // IAccessor::CreateAccessor for row data: each binding is checked (ordinal, parts,
    // memory owner, conversion, stream interface) and its DBBINDSTATUS written to
    // rgStatus when given. DB_E_ERRORSOCCURRED with an error record naming the first bad
    // binding when any fails.
    HRESULT Create(DBACCESSORFLAGS flags, DBCOUNTITEM cBindings, const DBBINDING rgBindings[],
                   DBLENGTH cbRowSize, HACCESSOR* phAccessor, DBBINDSTATUS rgStatus[]);
    const Accessor* Find(HACCESSOR h) const;
    HRESULT AddRef(HACCESSOR h, DBREFCOUNT* pcRefCount);
    HRESULT Release(HACCESSOR h, DBREFCOUNT* pcRefCount);
    HRESULT GetBindings(HACCESSOR h, DBACCESSORFLAGS* pdwFlags, DBCOUNTITEM* pcBindings,
                        DBBINDING** prgBindings) const;

  private:
    Accessor* Slot(HACCESSOR h);
    size_t ColumnCount() const { return columns_ ? columns_->size() : 0; }

    const std::vector<ResultColumn>* columns_ = nullptr;
    // Handle 1 is first_ (most rowsets get one accessor), handle k > 1 is more_[k - 2].
    Accessor first_;
    std::vector<Accessor> more_;
};

}  // namespace vorn::provider
