// The initialisation properties (DBPROPSET_DBINIT) every provider's data source keeps:
// held until Initialize, read back through IDBProperties, fixed once the data source is
// open; and the data-source property bookkeeping around them.
#pragma once

#include <string>
#include <vector>

#include "property_sets.h"
#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

struct InitProperties {
    std::wstring dataSource;
    std::wstring catalog;  // DBPROP_INIT_CATALOG, kept by providers that have catalogs
    LONG mode = DB_MODE_READWRITE | DB_MODE_SHARE_DENY_NONE;
    SHORT prompt = DBPROMPT_NOPROMPT;
    std::wstring providerString;
    std::wstring userId;
    std::wstring password;
    std::wstring location;

    bool ReadOnlyMode() const { return (mode & DB_MODE_READWRITE) == DB_MODE_READ; }
};

// Whether a provider keeps DBPROP_INIT_CATALOG (a server's database) or refuses it.
enum class CatalogProperty { Kept, Refused };

// Reads one DBINIT property into value (VT_EMPTY on entry): its status.
DBPROPSTATUS ReadInitProperty(const InitProperties& init, CatalogProperty catalog, DBPROPID id,
                              VARIANT* value);

// Applies one DBINIT property; initialized data sources refuse every change
// (DBPROPSTATUS_NOTSETTABLE). Unknown ids are DBPROPSTATUS_NOTSUPPORTED.
DBPROPSTATUS WriteInitProperty(InitProperties* init, CatalogProperty catalog, bool initialized,
                               const DBPROP& prop);

// The DBINIT ids a data source lists when asked for all of its properties.
std::vector<DBPROPID> InitPropertyIds(CatalogProperty catalog);

// The property sets a data source lists when asked for all of its properties: DBINIT and
// the state, name and version of the provider; once initialized also the data source's
// name, read-only state, DBMS name and version, and its current catalog.
const std::vector<PropertySetCatalog>& DataSourceCatalog(bool initialized, CatalogProperty catalog);

// IDBProperties::GetProperties and SetProperties of a data source, with their error records.
// A property that is not DBINIT and that read answers is DBPROPSTATUS_NOTSETTABLE.
HRESULT GetDataSourceProperties(ULONG cSets, const DBPROPIDSET rgSets[],
                                const std::vector<PropertySetCatalog>& catalog,
                                const PropertyReader& read, ULONG* pcOut, DBPROPSET** prgOut);
HRESULT SetDataSourceProperties(ULONG cSets, DBPROPSET rgSets[], const PropertyWriter& write,
                                REFIID iid);
// The status of setting a property that is not DBINIT: not settable when read answers it.
DBPROPSTATUS RefuseDataSourceProperty(const PropertyReader& read, const GUID& set, DBPROPID id);

// A text property's value (VT_BSTR).
void SetPropertyText(VARIANT* value, const std::wstring& text);

// The result of GetProperties or SetProperties on a data source: S_OK clears the thread's
// error; a partial or whole failure posts a record listing the refused properties.
HRESULT PostPropertyFailures(HRESULT hr, REFIID iid, const wchar_t* what,
                             const std::vector<std::wstring>& failures);

}  // namespace vorn::provider
