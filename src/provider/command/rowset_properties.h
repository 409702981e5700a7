// The rowset properties (DBPROPSET_ROWSET) a command accepts and its rowsets report:
// DBPROP_CANFETCHBACKWARDS, DBPROP_CANSCROLLBACKWARDS, DBPROP_ISequentialStream,
// DBPROP_IStream and DBPROP_IRowsetChange are true (rowsets scroll both ways and hand long
// values out as streams), DBPROP_BOOKMARKS is false. Any other property is refused with
// DBPROPSTATUS_NOTSUPPORTED.
#pragma once

#include <map>

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
    std::map<DBPROPID, bool> values_;
};

}  // namespace vorn::provider
