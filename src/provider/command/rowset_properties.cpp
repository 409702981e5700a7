// Rowset properties of commands and rowsets.
#include "provider/command/rowset_properties.h"

#include <cstdio>
#include <string>
#include <vector>

#include "provider/provider_errors.h"

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

RowsetProperties::RowsetProperties() {
    values_[DBPROP_CANFETCHBACKWARDS] = true;
    values_[DBPROP_CANSCROLLBACKWARDS] = true;
    values_[DBPROP_ISequentialStream] = true;
    values_[DBPROP_IStream] = true;
    values_[DBPROP_IRowsetChange] = true;
    values_[DBPROP_BOOKMARKS] = false;
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
            auto known = rowsetSet ? values_.find(p.dwPropertyID) : values_.end();
            DBPROPSTATUS status = DBPROPSTATUS_OK;
            if (p.dwOptions != DBPROPOPTIONS_REQUIRED && p.dwOptions != DBPROPOPTIONS_OPTIONAL) {
                status = DBPROPSTATUS_BADOPTION;
            } else if (known == values_.end()) {
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
                known->second = p.vValue.boolVal != VARIANT_FALSE;
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

    // What to answer: for each set, the ids asked (all of ours when none are named).
    struct Wanted {
        GUID set;
        std::vector<DBPROPID> ids;
    };
    std::vector<Wanted> wanted;
    auto all = [&]() {
        std::vector<DBPROPID> ids;
        for (const auto& v : values_)
            ids.push_back(v.first);
        return ids;
    };
    if (cPropertyIDSets == 0) {
        wanted.push_back({DBPROPSET_ROWSET, all()});
    } else {
        for (ULONG s = 0; s < cPropertyIDSets; ++s) {
            const DBPROPIDSET& set = rgPropertyIDSets[s];
            if (set.cPropertyIDs && !set.rgPropertyIDs)
                return PostProviderError(E_INVALIDARG, iid,
                                         L"Reading properties: a property id set has no ids");
            Wanted w{set.guidPropertySet, {}};
            if (set.cPropertyIDs == 0) {
                if (set.guidPropertySet == DBPROPSET_ROWSET)
                    w.ids = all();
            } else {
                w.ids.assign(set.rgPropertyIDs, set.rgPropertyIDs + set.cPropertyIDs);
            }
            wanted.push_back(std::move(w));
        }
    }

    auto* sets = static_cast<DBPROPSET*>(CoTaskMemAlloc(wanted.size() * sizeof(DBPROPSET)));
    if (!sets)
        return PostProviderError(E_OUTOFMEMORY, iid, L"Reading properties: out of memory");
    ULONG total = 0;
    ULONG found = 0;
    for (size_t s = 0; s < wanted.size(); ++s) {
        DBPROPSET& out = sets[s];
        out.guidPropertySet = wanted[s].set;
        out.cProperties = static_cast<ULONG>(wanted[s].ids.size());
        out.rgProperties = nullptr;
        if (out.cProperties) {
            out.rgProperties =
                static_cast<DBPROP*>(CoTaskMemAlloc(out.cProperties * sizeof(DBPROP)));
            if (!out.rgProperties) {
                for (size_t k = 0; k < s; ++k)
                    CoTaskMemFree(sets[k].rgProperties);
                CoTaskMemFree(sets);
                return PostProviderError(E_OUTOFMEMORY, iid, L"Reading properties: out of memory");
            }
        }
        const bool rowsetSet = wanted[s].set == DBPROPSET_ROWSET;
        for (ULONG i = 0; i < out.cProperties; ++i) {
            DBPROP& p = out.rgProperties[i];
            p.dwPropertyID = wanted[s].ids[i];
            p.dwOptions = DBPROPOPTIONS_REQUIRED;
            p.colid = DB_NULLID;
            VariantInit(&p.vValue);
            ++total;
            auto it = rowsetSet ? values_.find(p.dwPropertyID) : values_.end();
            if (it == values_.end()) {
                p.dwStatus = DBPROPSTATUS_NOTSUPPORTED;
                continue;
            }
            p.dwStatus = DBPROPSTATUS_OK;
            p.vValue.vt = VT_BOOL;
            p.vValue.boolVal = it->second ? VARIANT_TRUE : VARIANT_FALSE;
            ++found;
        }
    }
    *pcPropertySets = static_cast<ULONG>(wanted.size());
    *prgPropertySets = sets;
    if (found == total)
        return S_OK;
    return found ? DB_S_ERRORSOCCURRED : DB_E_ERRORSOCCURRED;
}

}  // namespace vorn::provider
