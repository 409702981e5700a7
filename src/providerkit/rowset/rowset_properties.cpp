// Rowset properties of commands and rowsets.
#include "rowset/rowset_properties.h"

#include <cstdio>
#include <string>

#include "provider_errors.h"

namespace vorn::provider {
namespace {

std::wstring PropertyName(DBPROPID id) {
    switch (id) {
        case DBPROP_CANFETCHBACKWARDS:
            return L"DBPROP_CANFETCHBACKWARDS";
        case DBPROP_CANSCROLLBACKWARDS:
            return L"DBPROP_CANSCROLLBACKWARDS";
        case DBPROP_ISequentialStream:
            return L"DBPROP_ISequentialStream";
        case DBPROP_IStream:
            return L"DBPROP_IStream";
        case DBPROP_IRowsetChange:
            return L"DBPROP_IRowsetChange";
        case DBPROP_BOOKMARKS:
            return L"DBPROP_BOOKMARKS";
        default: {
            wchar_t text[32];
            swprintf(text, 32, L"0x%X", static_cast<unsigned>(id));
            return std::wstring(L"property ") + text;
        }
    }
}

}  // namespace

const DBPROPID RowsetProperties::kIds[RowsetProperties::kCount] = {
    DBPROP_BOOKMARKS,           // 0x0E
    DBPROP_CANFETCHBACKWARDS,   // 0x12
    DBPROP_CANSCROLLBACKWARDS,  // 0x15
    DBPROP_IRowsetChange,       // 0x7B
    DBPROP_ISequentialStream,   // 0x89
    DBPROP_IStream,             // 0x8B
};

RowsetProperties::RowsetProperties() : values_{false, true, true, true, true, true} {}

size_t RowsetProperties::IndexOf(DBPROPID id) {
    for (size_t i = 0; i < kCount; ++i)
        if (kIds[i] == id)
            return i;
    return kCount;
}

HRESULT RowsetProperties::Set(ULONG cPropertySets, DBPROPSET rgPropertySets[], REFIID iid) {
    if (cPropertySets && !rgPropertySets)
        return PostProviderError(E_INVALIDARG, iid,
                                 L"Setting properties: no property sets were given");
    for (ULONG s = 0; s < cPropertySets; ++s)
        if (rgPropertySets[s].cProperties && !rgPropertySets[s].rgProperties)
            return PostProviderError(E_INVALIDARG, iid,
                                     L"Setting properties: a property set has no properties");
    ULONG total = 0;
    ULONG failed = 0;
    std::wstring firstFailure;
    for (ULONG s = 0; s < cPropertySets; ++s) {
        DBPROPSET& set = rgPropertySets[s];
        const bool rowsetSet = set.guidPropertySet == DBPROPSET_ROWSET;
        for (ULONG i = 0; i < set.cProperties; ++i) {
            DBPROP& p = set.rgProperties[i];
            ++total;
            const size_t known = rowsetSet ? IndexOf(p.dwPropertyID) : kCount;
            DBPROPSTATUS status = DBPROPSTATUS_OK;
            if (p.dwOptions != DBPROPOPTIONS_REQUIRED && p.dwOptions != DBPROPOPTIONS_OPTIONAL) {
                status = DBPROPSTATUS_BADOPTION;
            } else if (known == kCount) {
                status = DBPROPSTATUS_NOTSUPPORTED;
            } else if (p.vValue.vt == VT_EMPTY) {
                // VT_EMPTY asks for the default, which is the value already in force.
            } else if (p.vValue.vt != VT_BOOL) {
                status = DBPROPSTATUS_BADVALUE;
            } else if (p.dwPropertyID == DBPROP_BOOKMARKS && p.vValue.boolVal != VARIANT_FALSE) {
                // Rowsets here have no bookmark column.
                status = p.dwOptions == DBPROPOPTIONS_REQUIRED ? DBPROPSTATUS_NOTSUPPORTED
                                                               : DBPROPSTATUS_NOTSET;
            } else {
                values_[known] = p.vValue.boolVal != VARIANT_FALSE;
            }
            p.dwStatus = status;
            if (status != DBPROPSTATUS_OK) {
                ++failed;
                if (firstFailure.empty())
                    firstFailure = PropertyName(p.dwPropertyID);
            }
        }
    }
    if (failed == 0)
        return S_OK;
    if (failed < total)
        return DB_S_ERRORSOCCURRED;
    return PostProviderError(DB_E_ERRORSOCCURRED, iid,
                             L"Setting rowset properties: no property could be set (" +
                                 firstFailure + L" is not supported with that value)");
}

HRESULT RowsetProperties::Get(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[],
                              ULONG* pcPropertySets, DBPROPSET** prgPropertySets,
                              REFIID iid) const {
    if (!pcPropertySets || !prgPropertySets)
        return PostProviderError(E_INVALIDARG, iid, L"Reading properties: no place for the result");
    *pcPropertySets = 0;
    *prgPropertySets = nullptr;
    if (cPropertyIDSets && !rgPropertyIDSets)
        return PostProviderError(E_INVALIDARG, iid,
                                 L"Reading properties: no property ids were given");

    // What to answer: for each set, the ids asked (all of ours when none are named). The
    // ids are read where the caller keeps them; nothing is copied.
    for (ULONG s = 0; s < cPropertyIDSets; ++s)
        if (rgPropertyIDSets[s].cPropertyIDs && !rgPropertyIDSets[s].rgPropertyIDs)
            return PostProviderError(E_INVALIDARG, iid,
                                     L"Reading properties: a property id set has no ids");
    struct Wanted {
        GUID set;
        const DBPROPID* ids;  // null: all of ours
        ULONG count;
    };
    const Wanted everything{DBPROPSET_ROWSET, nullptr, static_cast<ULONG>(kCount)};
    auto wantedAt = [&](ULONG s) -> Wanted {
        if (cPropertyIDSets == 0)
            return everything;
        const DBPROPIDSET& set = rgPropertyIDSets[s];
        if (set.cPropertyIDs != 0)
            return {set.guidPropertySet, set.rgPropertyIDs, set.cPropertyIDs};
        if (set.guidPropertySet == DBPROPSET_ROWSET)
            return everything;
        return {set.guidPropertySet, nullptr, 0};
    };
    const ULONG setCount = cPropertyIDSets == 0 ? 1 : cPropertyIDSets;

    auto* sets = static_cast<DBPROPSET*>(CoTaskMemAlloc(setCount * sizeof(DBPROPSET)));
    if (!sets)
        return PostProviderError(E_OUTOFMEMORY, iid, L"Reading properties: out of memory");
    ULONG total = 0;
    ULONG found = 0;
    for (ULONG s = 0; s < setCount; ++s) {
        const Wanted w = wantedAt(s);
        DBPROPSET& out = sets[s];
        out.guidPropertySet = w.set;
        out.cProperties = w.count;
        out.rgProperties = nullptr;
        if (out.cProperties) {
            out.rgProperties =
                static_cast<DBPROP*>(CoTaskMemAlloc(out.cProperties * sizeof(DBPROP)));
            if (!out.rgProperties) {
                for (ULONG k = 0; k < s; ++k)
                    CoTaskMemFree(sets[k].rgProperties);
                CoTaskMemFree(sets);
                return PostProviderError(E_OUTOFMEMORY, iid, L"Reading properties: out of memory");
            }
        }
        const bool rowsetSet = w.set == DBPROPSET_ROWSET;
        for (ULONG i = 0; i < out.cProperties; ++i) {
            DBPROP& p = out.rgProperties[i];
            p.dwPropertyID = w.ids ? w.ids[i] : kIds[i];
            p.dwOptions = DBPROPOPTIONS_REQUIRED;
            p.colid = DB_NULLID;
            VariantInit(&p.vValue);
            ++total;
            const size_t known = rowsetSet ? IndexOf(p.dwPropertyID) : kCount;
            if (known == kCount) {
                p.dwStatus = DBPROPSTATUS_NOTSUPPORTED;
                continue;
            }
            p.dwStatus = DBPROPSTATUS_OK;
            p.vValue.vt = VT_BOOL;
            p.vValue.boolVal = values_[known] ? VARIANT_TRUE : VARIANT_FALSE;
            ++found;
        }
    }
    *pcPropertySets = setCount;
    *prgPropertySets = sets;
    if (found == total)
        return S_OK;
    return found ? DB_S_ERRORSOCCURRED : DB_E_ERRORSOCCURRED;
}

}  // namespace vorn::provider
