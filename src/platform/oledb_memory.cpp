// Freeing property sets and column descriptions.
#include "oledb_memory.h"

#include "com.h"

namespace vorn {

void FreePropertySets(vornoledb::ULONG count, vornoledb::DBPROPSET* sets) {
    if (!sets)
        return;
    for (vornoledb::ULONG i = 0; i < count; ++i) {
        for (vornoledb::ULONG k = 0; sets[i].rgProperties && k < sets[i].cProperties; ++k)
            vornoledb::VariantClear(&sets[i].rgProperties[k].vValue);
        vornoledb::CoTaskMemFree(sets[i].rgProperties);
    }
    vornoledb::CoTaskMemFree(sets);
}

void FreeColumnDescs(vornoledb::DBCOLUMNDESC* descs, size_t count) {
    if (!descs)
        return;
    for (size_t i = 0; i < count; ++i) {
        vornoledb::DBCOLUMNDESC& d = descs[i];
        // Values such as a default's text are owned by the property.
        FreePropertySets(d.cPropertySets, d.rgPropertySets);
        vornoledb::CoTaskMemFree(d.pclsid);
    }
    vornoledb::CoTaskMemFree(descs);
}

}  // namespace vorn
