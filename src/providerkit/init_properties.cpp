// Initialisation properties of data sources.
#include "init_properties.h"

#include "property_sets.h"
#include "provider_errors.h"

namespace vorn::provider {
namespace {

// A text property: VT_BSTR sets it, VT_EMPTY resets it, anything else is a bad value.
DBPROPSTATUS WriteText(const VARIANT& value, std::wstring* field) {
    if (value.vt == VT_EMPTY) {
        field->clear();
        return DBPROPSTATUS_OK;
    }
    if (value.vt != VT_BSTR)
        return DBPROPSTATUS_BADVALUE;
    *field = value.bstrVal ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal)) : L"";
    return DBPROPSTATUS_OK;
}

// The text field of a text property; null for the others.
const std::wstring* TextField(const InitProperties& init, CatalogProperty catalog, DBPROPID id) {
    switch (id) {
        case DBPROP_INIT_DATASOURCE:
            return &init.dataSource;
        case DBPROP_INIT_CATALOG:
            return catalog == CatalogProperty::Kept ? &init.catalog : nullptr;
        case DBPROP_INIT_PROVIDERSTRING:
            return &init.providerString;
        case DBPROP_AUTH_USERID:
            return &init.userId;
        case DBPROP_AUTH_PASSWORD:
            return &init.password;
        case DBPROP_INIT_LOCATION:
            return &init.location;
        default:
            return nullptr;
    }
}

}  // namespace

void SetPropertyText(VARIANT* value, const std::wstring& text) {
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

std::vector<DBPROPID> InitPropertyIds(CatalogProperty catalog) {
    std::vector<DBPROPID> ids = {DBPROP_INIT_DATASOURCE, DBPROP_INIT_MODE,
                                 DBPROP_INIT_PROMPT,     DBPROP_INIT_PROVIDERSTRING,
                                 DBPROP_AUTH_USERID,     DBPROP_AUTH_PASSWORD,
                                 DBPROP_INIT_LOCATION};
    if (catalog == CatalogProperty::Kept)
        ids.push_back(DBPROP_INIT_CATALOG);
    return ids;
}

DBPROPSTATUS ReadInitProperty(const InitProperties& init, CatalogProperty catalog, DBPROPID id,
                              VARIANT* value) {
    if (const std::wstring* text = TextField(init, catalog, id)) {
        if (!text->empty())
            SetPropertyText(value, *text);
        return DBPROPSTATUS_OK;
    }
    switch (id) {
        case DBPROP_INIT_MODE:
            value->vt = VT_I4;
            value->lVal = init.mode;
            return DBPROPSTATUS_OK;
        case DBPROP_INIT_PROMPT:
            value->vt = VT_I2;
            value->iVal = init.prompt;
            return DBPROPSTATUS_OK;
        default:
            return DBPROPSTATUS_NOTSUPPORTED;
    }
}

DBPROPSTATUS WriteInitProperty(InitProperties* init, CatalogProperty catalog, bool initialized,
                               const DBPROP& prop) {
    const VARIANT& v = prop.vValue;
    std::wstring* text = const_cast<std::wstring*>(TextField(*init, catalog, prop.dwPropertyID));
    const bool known = text || prop.dwPropertyID == DBPROP_INIT_MODE ||
                       prop.dwPropertyID == DBPROP_INIT_PROMPT ||
                       prop.dwPropertyID == DBPROP_INIT_HWND;
    if (!known)
        return DBPROPSTATUS_NOTSUPPORTED;
    // Initialisation properties are fixed once the data source is open.
    if (initialized)
        return DBPROPSTATUS_NOTSETTABLE;
    if (text)
        return WriteText(v, text);
    switch (prop.dwPropertyID) {
        case DBPROP_INIT_MODE: {
            constexpr LONG kKnown =
                DB_MODE_READWRITE | DB_MODE_SHARE_EXCLUSIVE | DB_MODE_SHARE_DENY_NONE;
            if (v.vt == VT_EMPTY) {
                init->mode = DB_MODE_READWRITE | DB_MODE_SHARE_DENY_NONE;
                return DBPROPSTATUS_OK;
            }
            LONG mode = 0;
            if (v.vt == VT_I4)
                mode = v.lVal;
            else if (v.vt == VT_I2)
                mode = v.iVal;
            else
                return DBPROPSTATUS_BADVALUE;
            if (mode & ~kKnown)
                return DBPROPSTATUS_BADVALUE;
            init->mode = mode;
            return DBPROPSTATUS_OK;
        }
        case DBPROP_INIT_PROMPT:
            if (v.vt == VT_EMPTY) {
                init->prompt = DBPROMPT_NOPROMPT;
                return DBPROPSTATUS_OK;
            }
            if (v.vt != VT_I2 || v.iVal < DBPROMPT_PROMPT || v.iVal > DBPROMPT_NOPROMPT)
                return DBPROPSTATUS_BADVALUE;
            init->prompt = v.iVal;
            return DBPROPSTATUS_OK;
        default:
            // A library has no window to prompt in; the handle is accepted and unused.
            return v.vt == VT_EMPTY || v.vt == VT_I4 || v.vt == VT_I8 ? DBPROPSTATUS_OK
                                                                      : DBPROPSTATUS_BADVALUE;
    }
}

const std::vector<PropertySetCatalog>& DataSourceCatalog(bool initialized,
                                                         CatalogProperty catalog) {
    const auto make = [](bool open, CatalogProperty c) {
        std::vector<PropertySetCatalog> sets = {{DBPROPSET_DBINIT, InitPropertyIds(c)}};
        if (!open) {
            sets.push_back({DBPROPSET_DATASOURCEINFO,
                            {DBPROP_CONNECTIONSTATUS, DBPROP_PROVIDERNAME, DBPROP_PROVIDERVER}});
            return sets;
        }
        sets.push_back(
            {DBPROPSET_DATASOURCEINFO,
             {DBPROP_CONNECTIONSTATUS, DBPROP_DATASOURCENAME, DBPROP_DATASOURCEREADONLY,
              DBPROP_DBMSNAME, DBPROP_DBMSVER, DBPROP_PROVIDERNAME, DBPROP_PROVIDERVER}});
        sets.push_back({DBPROPSET_DATASOURCE, {DBPROP_CURRENTCATALOG}});
        return sets;
    };
    static const std::vector<PropertySetCatalog> kCatalogs[2][2] = {
        {make(false, CatalogProperty::Kept), make(false, CatalogProperty::Refused)},
        {make(true, CatalogProperty::Kept), make(true, CatalogProperty::Refused)}};
    return kCatalogs[initialized ? 1 : 0][catalog == CatalogProperty::Kept ? 0 : 1];
}

HRESULT GetDataSourceProperties(ULONG cSets, const DBPROPIDSET rgSets[],
                                const std::vector<PropertySetCatalog>& catalog,
                                const PropertyReader& read, ULONG* pcOut, DBPROPSET** prgOut) {
    std::vector<std::wstring> failures;
    const HRESULT hr = AnswerGetProperties(cSets, rgSets, catalog, read, pcOut, prgOut, &failures);
    if (hr == E_INVALIDARG)
        return PostProviderError(hr, IID_IDBProperties,
                                 L"GetProperties was called with a missing array or count");
    if (hr == E_OUTOFMEMORY)
        return PostProviderError(hr, IID_IDBProperties, L"out of memory returning properties");
    return PostPropertyFailures(hr, IID_IDBProperties,
                                L"some data source properties could not be returned", failures);
}

HRESULT SetDataSourceProperties(ULONG cSets, DBPROPSET rgSets[], const PropertyWriter& write,
                                REFIID iid) {
    std::vector<std::wstring> failures;
    const HRESULT hr = ApplySetProperties(cSets, rgSets, write, &failures);
    if (hr == E_INVALIDARG)
        return PostProviderError(hr, iid,
                                 L"SetProperties was given a count without its property array");
    return PostPropertyFailures(hr, iid, L"some data source properties could not be set", failures);
}

DBPROPSTATUS RefuseDataSourceProperty(const PropertyReader& read, const GUID& set, DBPROPID id) {
    VARIANT probe;
    VariantInit(&probe);
    const DBPROPSTATUS readable = read(set, id, &probe);
    VariantClear(&probe);
    return readable == DBPROPSTATUS_OK ? DBPROPSTATUS_NOTSETTABLE : DBPROPSTATUS_NOTSUPPORTED;
}

HRESULT PostPropertyFailures(HRESULT hr, REFIID iid, const wchar_t* what,
                             const std::vector<std::wstring>& failures) {
    if (hr == S_OK) {
        ClearProviderError();
        return hr;
    }
    PostProviderError(hr, iid, std::wstring(what) + L": " + JoinFailures(failures));
    return hr;
}

}  // namespace vorn::provider
