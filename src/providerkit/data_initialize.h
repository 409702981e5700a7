// The data-initialisation service (CLSID_MSDAINITIALIZE): data source objects from OLE DB
// connection strings, and connection strings back from data source objects.
#pragma once

#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

class DataInitialize final : public ComObject<IDataInitialize> {
  public:
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);

    // Parses the connection string, creates the provider that Provider= names and sets the
    // initialisation properties from the string's keys: Data Source, Mode, Extended
    // Properties, User ID, Password, Location, Prompt, Initial Catalog. Other keys (Jet OLEDB:*,
    // Persist Security Info ...) are accepted and ignored. When *ppDataSource is a data source on
    // entry, the properties are set on it instead and no provider is created. The data
    // source comes back uninitialized. Initial Catalog (the database on a server) is set as
    // an optional property: a provider without catalogs ignores it.
    HRESULT GetDataSource(IUnknown* pUnkOuter, DWORD dwClsCtx, LPCOLESTR pwszInitializationString,
                          REFIID riid, IUnknown** ppDataSource) override;

    // The connection string of a data source: Provider, Data Source, Mode and the other
    // initialisation properties it holds; Password only when fIncludePassword. The text is
    // CoTaskMemAlloc'd.
    HRESULT GetInitializationString(IUnknown* pDataSource, bool fIncludePassword,
                                    LPOLESTR* ppwszInitString) override;

  private:
    DataInitialize() = default;
    ~DataInitialize() override = default;
};

}  // namespace vorn::provider
