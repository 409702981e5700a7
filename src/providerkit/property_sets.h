// The bookkeeping of IDBProperties-style calls: answering GetProperties with property sets
// allocated for the caller (CoTaskMemAlloc), applying SetProperties with one status per
// property, and the overall result OLE DB gives for partly failed calls.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

// The properties a set offers when a caller asks for "all of them" (no ids given, or no
// sets given at all).
struct PropertySetCatalog {
    GUID set;
    std::vector<DBPROPID> ids;
};

// Reads one property into value (VT_EMPTY on entry) and returns its status:
// DBPROPSTATUS_OK, or DBPROPSTATUS_NOTSUPPORTED (value left VT_EMPTY) ...
using PropertyReader = std::function<DBPROPSTATUS(const GUID& set, DBPROPID id, VARIANT* value)>;

// Applies one property and returns its status (DBPROPSTATUS_OK, _NOTSUPPORTED, _BADVALUE,
// _NOTSETTABLE ...).
using PropertyWriter = std::function<DBPROPSTATUS(const GUID& set, const DBPROP& prop)>;

// Answers GetProperties: one DBPROPSET per requested set (or one per catalog entry when
// cSets is 0), each property with its status. Returns S_OK, DB_S_ERRORSOCCURRED when some
// properties could not be returned, DB_E_ERRORSOCCURRED when none could (the arrays are
// returned in both cases), E_INVALIDARG for bad arguments, E_OUTOFMEMORY. failures
// receives a description of each property that could not be returned.
HRESULT AnswerGetProperties(ULONG cSets, const DBPROPIDSET rgSets[],
                            const std::vector<PropertySetCatalog>& catalog,
                            const PropertyReader& read, ULONG* pcOut, DBPROPSET** prgOut,
                            std::vector<std::wstring>* failures);

// Applies SetProperties: writes each property's status into rgSets. Returns S_OK,
// DB_S_ERRORSOCCURRED (some could not be set), DB_E_ERRORSOCCURRED (none could), or
// E_INVALIDARG for bad arguments. failures receives a description of each refusal.
HRESULT ApplySetProperties(ULONG cSets, DBPROPSET rgSets[], const PropertyWriter& write,
                           std::vector<std::wstring>* failures);

// "DBPROP_INIT_MODE", or "property 0x3D of set {...}" for one without a name here.
std::wstring PropertyName(const GUID& set, DBPROPID id);

// The status in words ("not supported", "bad value" ...).
std::wstring PropertyStatusText(DBPROPSTATUS status);

// Joins failure descriptions into one sentence for an error record.
std::wstring JoinFailures(const std::vector<std::wstring>& failures);

}  // namespace vorn::provider
