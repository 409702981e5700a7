// The data-initialisation service.
#include "data_initialize.h"

#include <cstring>
#include <vector>

#include "connection_string.h"
#include "property_sets.h"
#include "provider_errors.h"
#include "provider_names.h"

namespace vorn::provider {
namespace {

// The DBINIT properties built from a connection string; owns the BSTR values.
class InitPropertyList {
  public:
    ~InitPropertyList() {
        for (DBPROP& p : props_)
            VariantClear(&p.vValue);
    }
    void AddText(DBPROPID id, const std::wstring& value, DBPROPOPTIONS options) {
        DBPROP p = Make(id, options);
        p.vValue.vt = VT_BSTR;
        p.vValue.bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
        props_.push_back(p);
    }
    void AddI4(DBPROPID id, LONG value) {
        DBPROP p = Make(id, DBPROPOPTIONS_REQUIRED);
        p.vValue.vt = VT_I4;
        p.vValue.lVal = value;
        props_.push_back(p);
    }
    void AddI2(DBPROPID id, SHORT value) {
        DBPROP p = Make(id, DBPROPOPTIONS_REQUIRED);
        p.vValue.vt = VT_I2;
        p.vValue.iVal = value;
        props_.push_back(p);
    }
    bool AllocatedText() const {
        for (const DBPROP& p : props_)
            if (p.vValue.vt == VT_BSTR && !p.vValue.bstrVal)
                return false;
        return true;
    }
    ULONG Count() const { return static_cast<ULONG>(props_.size()); }
    DBPROP* Data() { return props_.data(); }

  private:
    static DBPROP Make(DBPROPID id, DBPROPOPTIONS options) {
        DBPROP p;
        p.dwPropertyID = id;
        p.dwOptions = options;
        p.dwStatus = DBPROPSTATUS_OK;
        p.colid = DB_NULLID;
        VariantInit(&p.vValue);
        return p;
    }
    std::vector<DBPROP> props_;
};

std::wstring TextOf(const VARIANT& v) {
    if (v.vt != VT_BSTR || !v.bstrVal)
        return L"";
    return std::wstring(v.bstrVal, SysStringLen(v.bstrVal));
}

}  // namespace

HRESULT DataInitialize::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    ComPtr<DataInitialize> object(new DataInitialize);
    return object->QueryInterface(riid, ppv);
}

HRESULT DataInitialize::GetDataSource(IUnknown* pUnkOuter, DWORD dwClsCtx,
                                      LPCOLESTR pwszInitializationString, REFIID riid,
                                      IUnknown** ppDataSource) {
    REFIID iid = IID_IDataInitialize;
    if (!ppDataSource)
        return PostProviderError(E_INVALIDARG, iid,
                                 L"GetDataSource needs a place for the data source object");
    const std::wstring text = pwszInitializationString ? pwszInitializationString : L"";
    const ConnectionStringParse parsed = ParseConnectionString(text);
    if (!parsed.ok)
        return PostProviderError(E_INVALIDARG, iid,
                                 L"the connection string cannot be read: " + parsed.error);

    // The keys read here, each with its last occurrence (a key given twice counts with its
    // last value). One pass, so that long strings cost linear time.
    static const wchar_t* const kKeys[] = {
        L"Data Source", L"Extended Properties", L"User ID", L"Password", L"Location", L"Mode",
        L"Prompt",      L"Initial Catalog"};
    constexpr size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];
    const ConnectionStringItem* last[kKeyCount] = {};
    for (const ConnectionStringItem& item : parsed.items) {
        for (size_t k = 0; k < kKeyCount; ++k)
            if (SameKey(item.key, kKeys[k]))
                last[k] = &item;
    }
    InitPropertyList props;
    if (last[0])
        props.AddText(DBPROP_INIT_DATASOURCE, last[0]->value, DBPROPOPTIONS_REQUIRED);
    if (last[1])
        props.AddText(DBPROP_INIT_PROVIDERSTRING, last[1]->value, DBPROPOPTIONS_REQUIRED);
    if (last[2])
        props.AddText(DBPROP_AUTH_USERID, last[2]->value, DBPROPOPTIONS_OPTIONAL);
    if (last[3])
        props.AddText(DBPROP_AUTH_PASSWORD, last[3]->value, DBPROPOPTIONS_OPTIONAL);
    if (last[4])
        props.AddText(DBPROP_INIT_LOCATION, last[4]->value, DBPROPOPTIONS_OPTIONAL);
    if (last[7])
        props.AddText(DBPROP_INIT_CATALOG, last[7]->value, DBPROPOPTIONS_OPTIONAL);
    if (last[5]) {
        LONG mode = 0;
        if (!ParseModeValue(last[5]->value, &mode))
            return PostProviderError(
                E_INVALIDARG, iid,
                L"the Mode value " + Quoted(last[5]->value) +
                    L" is not understood (use Read, Write, ReadWrite, Share Deny None, "
                    L"Share Deny Read, Share Deny Write or Share Exclusive, joined by '|')");
        props.AddI4(DBPROP_INIT_MODE, mode);
    }
    if (last[6]) {
        SHORT prompt = 0;
        if (!ParsePromptValue(last[6]->value, &prompt))
            return PostProviderError(E_INVALIDARG, iid,
                                     L"the Prompt value " + Quoted(last[6]->value) +
                                         L" is not understood (use Prompt, Complete, "
                                         L"CompleteRequired or NoPrompt)");
        props.AddI2(DBPROP_INIT_PROMPT, prompt);
    }
    if (!props.AllocatedText())
        return PostProviderError(E_OUTOFMEMORY, iid,
                                 L"out of memory reading the connection string");

    ComPtr<IDBProperties> dataSource;
    std::wstring providerName;
    const bool existing = *ppDataSource != nullptr;
    if (existing) {
        const HRESULT hr =
            (*ppDataSource)
                ->QueryInterface(IID_IDBProperties, dataSource.ReleaseAndGetVoidAddress());
        if (FAILED(hr))
            return PostProviderError(hr, iid,
                                     L"the object given to GetDataSource is no data source "
                                     L"(it has no IDBProperties)");
    } else {
        const ConnectionStringItem* provider = parsed.Find(L"Provider");
        if (!provider || provider->value.empty())
            return PostProviderError(REGDB_E_CLASSNOTREG, iid,
                                     L"the connection string names no provider; it needs "
                                     L"Provider=Microsoft.ACE.OLEDB.12.0 or another provider");
        providerName = provider->value;
        CLSID clsid;
        if (!FindProviderClass(providerName, &clsid))
            return PostProviderError(
                REGDB_E_CLASSNOTREG, iid,
                L"the provider " + Quoted(providerName) + L" is not registered on this system");
        SetErrorInfo(0, nullptr);
        const HRESULT hr = CoCreateInstance(clsid, pUnkOuter, dwClsCtx, IID_IDBProperties,
                                            dataSource.ReleaseAndGetVoidAddress());
        if (FAILED(hr))
            return AppendProviderError(hr, iid,
                                       L"could not create the provider " + Quoted(providerName));
    }

    if (props.Count()) {
        DBPROPSET set;
        set.guidPropertySet = DBPROPSET_DBINIT;
        set.cProperties = props.Count();
        set.rgProperties = props.Data();
        const HRESULT hr = dataSource->SetProperties(1, &set);
        if (FAILED(hr)) {
            std::vector<std::wstring> refused;
            for (ULONG i = 0; i < set.cProperties; ++i) {
                if (set.rgProperties[i].dwStatus != DBPROPSTATUS_OK)
                    refused.push_back(
                        PropertyName(DBPROPSET_DBINIT, set.rgProperties[i].dwPropertyID) + L": " +
                        PropertyStatusText(set.rgProperties[i].dwStatus));
            }
            return AppendProviderError(
                hr, iid,
                L"the provider refused the connection string's settings" +
                    (refused.empty() ? std::wstring() : L" (" + JoinFailures(refused) + L")"));
        }
    }
    if (existing) {
        ClearProviderError();
        return S_OK;
    }
    IUnknown* result = nullptr;
    const HRESULT hr = dataSource->QueryInterface(riid, reinterpret_cast<void**>(&result));
    if (FAILED(hr))
        return PostProviderError(hr, iid,
                                 L"the data source of provider " + Quoted(providerName) +
                                     L" does not offer the interface asked for");
    *ppDataSource = result;
    ClearProviderError();
    return S_OK;
}

HRESULT DataInitialize::GetInitializationString(IUnknown* pDataSource, bool fIncludePassword,
                                                LPOLESTR* ppwszInitString) {
    REFIID iid = IID_IDataInitialize;
    if (!ppwszInitString || !pDataSource)
        return PostProviderError(E_INVALIDARG, iid,
                                 L"GetInitializationString needs a data source and a place for "
                                 L"the text");
    *ppwszInitString = nullptr;
    ComPtr<IDBProperties> props;
    HRESULT hr = pDataSource->QueryInterface(IID_IDBProperties, props.ReleaseAndGetVoidAddress());
    if (FAILED(hr))
        return PostProviderError(hr, iid, L"the object given is no data source");

    DBPROPID infoIds[] = {DBPROP_PROVIDERNAME};
    DBPROPIDSET idSets[2];
    idSets[0] = {nullptr, 0, DBPROPSET_DBINIT};
    idSets[1] = {infoIds, 1, DBPROPSET_DATASOURCEINFO};
    ULONG count = 0;
    DBPROPSET* sets = nullptr;
    hr = props->GetProperties(2, idSets, &count, &sets);
    if (FAILED(hr)) {
        FreePropertySets(count, sets);
        return hr;
    }
    std::wstring provider;
    std::wstring out;
    const auto add = [&out](const wchar_t* key, const std::wstring& value) {
        out += key;
        out += L'=';
        out += QuoteConnectionValue(value);
        out += L';';
    };
    for (ULONG s = 0; s < count; ++s) {
        for (ULONG i = 0; i < sets[s].cProperties; ++i) {
            const DBPROP& p = sets[s].rgProperties[i];
            if (p.dwStatus != DBPROPSTATUS_OK)
                continue;
            if (sets[s].guidPropertySet == DBPROPSET_DATASOURCEINFO) {
                if (p.dwPropertyID == DBPROP_PROVIDERNAME)
                    provider = TextOf(p.vValue);
                continue;
            }
            switch (p.dwPropertyID) {
                case DBPROP_INIT_DATASOURCE:
                    if (p.vValue.vt == VT_BSTR)
                        add(L"Data Source", TextOf(p.vValue));
                    break;
                case DBPROP_INIT_MODE:
                    if (p.vValue.vt == VT_I4)
                        add(L"Mode", FormatModeValue(p.vValue.lVal));
                    break;
                case DBPROP_INIT_PROVIDERSTRING:
                    if (p.vValue.vt == VT_BSTR)
                        add(L"Extended Properties", TextOf(p.vValue));
                    break;
                case DBPROP_AUTH_USERID:
                    if (p.vValue.vt == VT_BSTR)
                        add(L"User ID", TextOf(p.vValue));
                    break;
                case DBPROP_AUTH_PASSWORD:
                    if (fIncludePassword && p.vValue.vt == VT_BSTR)
                        add(L"Password", TextOf(p.vValue));
                    break;
                case DBPROP_INIT_LOCATION:
                    if (p.vValue.vt == VT_BSTR)
                        add(L"Location", TextOf(p.vValue));
                    break;
                case DBPROP_INIT_CATALOG:
                    if (p.vValue.vt == VT_BSTR)
                        add(L"Initial Catalog", TextOf(p.vValue));
                    break;
                default:
                    break;
            }
        }
    }
    FreePropertySets(count, sets);
    if (provider.empty())
        return PostProviderError(E_FAIL, iid, L"the data source does not tell its provider name");
    out = L"Provider=" + QuoteConnectionValue(provider) + L";" + out;
    auto* text = static_cast<LPOLESTR>(CoTaskMemAlloc((out.size() + 1) * sizeof(OLECHAR)));
    if (!text)
        return PostProviderError(E_OUTOFMEMORY, iid, L"out of memory");
    std::memcpy(text, out.c_str(), (out.size() + 1) * sizeof(OLECHAR));
    *ppwszInitString = text;
    ClearProviderError();
    return S_OK;
}

}  // namespace vorn::provider
