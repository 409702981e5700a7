// The rowset properties (DBPROPSET_ROWSET) a command accepts and its rowsets report:
// DBPROP_CANFETCHBACKWARDS, DBPROP_CANSCROLLBACKWARDS, DBPROP_ISequentialStream,
// DBPROP_IStream and DBPROP_IRowsetChange are true (rowsets scroll both ways and hand long
// values out as streams), DBPROP_BOOKMARKS is false. Any other property is refused with
// DBPROPSTATUS_NOTSUPPORTED.
#pragma once

#include <cstddef>

#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

class RowsetProperties {
  public:
    RowsetProperties();

    // ICommandProperties::SetProperties. S_OK when every property was set,
    // DB_S_ERRORSOCCURRED when some were, DB_E_ERRORSOCCURRED (with an error record naming
    // the first refused property) when none was; each property's dwStatus says why.
    HRESULT Set(ULONG cPropertySets, DBPROPSET rgPropertySets[], REFIID iid);

    // ICommandProperties::GetProperties and IRowsetInfo::GetProperties. No id sets gives
    // every property; the arrays are CoTaskMemAlloc'd for the caller.
    HRESULT Get(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[], ULONG* pcPropertySets,
                DBPROPSET** prgPropertySets, REFIID iid) const;

  private:
    // The properties known, in ascending id order (the order "all properties" lists them
    // in), and their values. A fixed table: a command and each of its rowsets copy it.
    static constexpr size_t kCount = 6;
    static const DBPROPID kIds[kCount];
    // Index of id in kIds, or kCount when it is not one of ours.
    static size_t IndexOf(DBPROPID id);
    bool values_[kCount];
};

}  // namespace vorn::provider
