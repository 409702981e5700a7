// The bookkeeping of IDBProperties-style calls.
#include "property_sets.h"

#include <memory>

#include "vornoledb/platform/format.h"

namespace vorn::provider {
namespace {

struct NamedProperty {
    const GUID* set;
    DBPROPID id;
    const wchar_t* name;
};

const NamedProperty kNames[] = {
    {&DBPROPSET_DBINIT, DBPROP_INIT_DATASOURCE, L"DBPROP_INIT_DATASOURCE"},
    {&DBPROPSET_DBINIT, DBPROP_INIT_LOCATION, L"DBPROP_INIT_LOCATION"},
    {&DBPROPSET_DBINIT, DBPROP_INIT_CATALOG, L"DBPROP_INIT_CATALOG"},
    {&DBPROPSET_DBINIT, DBPROP_INIT_MODE, L"DBPROP_INIT_MODE"},
    {&DBPROPSET_DBINIT, DBPROP_INIT_PROMPT, L"DBPROP_INIT_PROMPT"},
    {&DBPROPSET_DBINIT, DBPROP_INIT_HWND, L"DBPROP_INIT_HWND"},
    {&DBPROPSET_DBINIT, DBPROP_INIT_PROVIDERSTRING, L"DBPROP_INIT_PROVIDERSTRING"},
    {&DBPROPSET_DBINIT, DBPROP_AUTH_PASSWORD, L"DBPROP_AUTH_PASSWORD"},
    {&DBPROPSET_DBINIT, DBPROP_AUTH_USERID, L"DBPROP_AUTH_USERID"},
    {&DBPROPSET_DATASOURCE, DBPROP_CURRENTCATALOG, L"DBPROP_CURRENTCATALOG"},
    {&DBPROPSET_DATASOURCEINFO, DBPROP_DATASOURCENAME, L"DBPROP_DATASOURCENAME"},
    {&DBPROPSET_DATASOURCEINFO, DBPROP_DATASOURCEREADONLY, L"DBPROP_DATASOURCEREADONLY"},
    {&DBPROPSET_DATASOURCEINFO, DBPROP_DBMSNAME, L"DBPROP_DBMSNAME"},
    {&DBPROPSET_DATASOURCEINFO, DBPROP_DBMSVER, L"DBPROP_DBMSVER"},
    {&DBPROPSET_DATASOURCEINFO, DBPROP_CONNECTIONSTATUS, L"DBPROP_CONNECTIONSTATUS"},
    {&DBPROPSET_DATASOURCEINFO, DBPROP_PROVIDERNAME, L"DBPROP_PROVIDERNAME"},
    {&DBPROPSET_DATASOURCEINFO, DBPROP_PROVIDERVER, L"DBPROP_PROVIDERVER"},
};

std::wstring SetText(const GUID& set) {
    if (set == DBPROPSET_DBINIT)
        return L"DBPROPSET_DBINIT";
    if (set == DBPROPSET_DATASOURCE)
        return L"DBPROPSET_DATASOURCE";
    if (set == DBPROPSET_DATASOURCEINFO)
        return L"DBPROPSET_DATASOURCEINFO";
    if (set == DBPROPSET_ROWSET)
        return L"DBPROPSET_ROWSET";
    if (set == DBPROPSET_SESSION)
        return L"DBPROPSET_SESSION";
    if (set == DBPROPSET_COLUMN)
        return L"DBPROPSET_COLUMN";
    wchar_t text[40];
    StringFromGUID2(set, text, 40);
    return text;
}

HRESULT Overall(size_t ok, size_t failed) {
    if (failed == 0)
        return S_OK;
    return ok == 0 ? DB_E_ERRORSOCCURRED : DB_S_ERRORSOCCURRED;
}

}  // namespace

std::wstring PropertyName(const GUID& set, DBPROPID id) {
    for (const NamedProperty& p : kNames)
        if (*p.set == set && p.id == id)
            return p.name;
    return VornFormat(L"property 0x%X of set %s", static_cast<unsigned>(id), SetText(set).c_str());
}

std::wstring PropertyStatusText(DBPROPSTATUS status) {
    switch (status) {
        case DBPROPSTATUS_OK:
            return L"ok";
        case DBPROPSTATUS_NOTSUPPORTED:
            return L"not supported";
        case DBPROPSTATUS_BADVALUE:
            return L"bad value";
        case DBPROPSTATUS_BADOPTION:
            return L"bad option";
        case DBPROPSTATUS_BADCOLUMN:
            return L"bad column";
        case DBPROPSTATUS_NOTALLSETTABLE:
            return L"not settable on all columns";
        case DBPROPSTATUS_NOTSETTABLE:
            return L"read-only here";
        case DBPROPSTATUS_NOTSET:
            return L"not set";
        case DBPROPSTATUS_CONFLICTING:
            return L"conflicting";
        case DBPROPSTATUS_NOTAVAILABLE:
            return L"not available";
        default:
            return VornFormat(L"status %u", static_cast<unsigned>(status));
    }
}

std::wstring JoinFailures(const std::vector<std::wstring>& failures) {
    std::wstring out;
    for (size_t i = 0; i < failures.size(); ++i) {
        if (i)
            out += L"; ";
        out += failures[i];
    }
    return out;
}

HRESULT AnswerGetProperties(ULONG cSets, const DBPROPIDSET rgSets[],
                            const std::vector<PropertySetCatalog>& catalog,
                            const PropertyReader& read, ULONG* pcOut, DBPROPSET** prgOut,
                            std::vector<std::wstring>* failures) {
    if (pcOut)
        *pcOut = 0;
    if (prgOut)
        *prgOut = nullptr;
    if (!pcOut || !prgOut || (cSets && !rgSets))
        return E_INVALIDARG;
    for (ULONG i = 0; i < cSets; ++i)
        if (rgSets[i].cPropertyIDs && !rgSets[i].rgPropertyIDs)
            return E_INVALIDARG;

    // What is asked for: explicit ids (read where the caller keeps them), or every id a set
    // offers.
    struct Request {
        GUID set;
        const DBPROPID* ids;
        size_t count;
        bool unknownSet;
    };
    const auto catalogOf = [&catalog](const GUID& set) -> const PropertySetCatalog* {
        for (const PropertySetCatalog& c : catalog)
            if (c.set == set)
                return &c;
        return nullptr;
    };
    const size_t requestCount = cSets == 0 ? catalog.size() : cSets;
    const auto requestAt = [&](size_t i) -> Request {
        if (cSets == 0)
            return {catalog[i].set, catalog[i].ids.data(), catalog[i].ids.size(), false};
        const DBPROPIDSET& asked = rgSets[i];
        if (asked.cPropertyIDs)
            return {asked.guidPropertySet, asked.rgPropertyIDs, asked.cPropertyIDs, false};
        if (const PropertySetCatalog* c = catalogOf(asked.guidPropertySet))
            return {c->set, c->ids.data(), c->ids.size(), false};
        return {asked.guidPropertySet, nullptr, 0, true};
    };

    auto* sets = static_cast<DBPROPSET*>(
        CoTaskMemAlloc(sizeof(DBPROPSET) * (requestCount == 0 ? 1 : requestCount)));
    if (!sets)
        return E_OUTOFMEMORY;
    size_t ok = 0;
    size_t failed = 0;
    for (size_t i = 0; i < requestCount; ++i) {
        const Request request = requestAt(i);
        DBPROPSET& out = sets[i];
        out.guidPropertySet = request.set;
        out.cProperties = 0;
        out.rgProperties = nullptr;
        if (request.unknownSet) {
            ++failed;
            if (failures)
                failures->push_back(L"property set " + SetText(request.set) + L" is not supported");
            continue;
        }
        const size_t n = request.count;
        if (n == 0)
            continue;
        out.rgProperties = static_cast<DBPROP*>(CoTaskMemAlloc(sizeof(DBPROP) * n));
        if (!out.rgProperties) {
            FreePropertySets(static_cast<ULONG>(i), sets);
            return E_OUTOFMEMORY;
        }
        for (size_t k = 0; k < n; ++k) {
            DBPROP& p = out.rgProperties[k];
            p.dwPropertyID = request.ids[k];
            p.dwOptions = DBPROPOPTIONS_REQUIRED;
            p.colid = DB_NULLID;
            VariantInit(&p.vValue);
            p.dwStatus = read(request.set, p.dwPropertyID, &p.vValue);
            if (p.dwStatus == DBPROPSTATUS_OK) {
                ++ok;
            } else {
                VariantClear(&p.vValue);
                ++failed;
                if (failures)
                    failures->push_back(PropertyName(request.set, p.dwPropertyID) + L": " +
                                        PropertyStatusText(p.dwStatus));
            }
        }
        out.cProperties = static_cast<ULONG>(n);
    }
    *pcOut = static_cast<ULONG>(requestCount);
    if (requestCount == 0) {
        CoTaskMemFree(sets);
        sets = nullptr;
    }
    *prgOut = sets;
    return Overall(ok, failed);
}

HRESULT ApplySetProperties(ULONG cSets, DBPROPSET rgSets[], const PropertyWriter& write,
                           std::vector<std::wstring>* failures) {
    if (cSets && !rgSets)
        return E_INVALIDARG;
    for (ULONG i = 0; i < cSets; ++i)
        if (rgSets[i].cProperties && !rgSets[i].rgProperties)
            return E_INVALIDARG;
    size_t ok = 0;
    size_t failed = 0;
    for (ULONG i = 0; i < cSets; ++i) {
        for (ULONG k = 0; k < rgSets[i].cProperties; ++k) {
            DBPROP& p = rgSets[i].rgProperties[k];
            if (p.dwOptions != DBPROPOPTIONS_REQUIRED && p.dwOptions != DBPROPOPTIONS_OPTIONAL)
                p.dwStatus = DBPROPSTATUS_BADOPTION;
            else
                p.dwStatus = write(rgSets[i].guidPropertySet, p);
            if (p.dwStatus == DBPROPSTATUS_OK) {
                ++ok;
            } else {
                ++failed;
                if (failures)
                    failures->push_back(PropertyName(rgSets[i].guidPropertySet, p.dwPropertyID) +
                                        L": " + PropertyStatusText(p.dwStatus));
            }
        }
    }
    return Overall(ok, failed);
}

}  // namespace vorn::provider
