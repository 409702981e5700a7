// Freeing what OLE DB calls hand out in task memory, with everything it owns: property sets
// (the values of their properties included) and column descriptions. Both the provider
// (which frees what it built when a call fails half way) and the consumer library (which
// frees what the provider gave it) use these.
#pragma once

#include <cstddef>

#include "vornoledb/platform/oledb.h"

namespace vorn {

// Clears each property's value, frees each set's properties, then the array of sets.
void FreePropertySets(vornoledb::ULONG count, vornoledb::DBPROPSET* sets);

// Frees each description's property sets and class id, then the array of descriptions.
void FreeColumnDescs(vornoledb::DBCOLUMNDESC* descs, size_t count);

}  // namespace vorn
