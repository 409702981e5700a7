// Provider names (the Provider= of a connection string) and the classes they create.
#pragma once

#include <string>

#include "vornoledb/platform/types.h"

namespace vorn::provider {

// The embedded provider's own name, which it reports as DBPROP_PROVIDERNAME.
inline constexpr wchar_t kEmbeddedProviderName[] = L"Microsoft.ACE.OLEDB.12.0";

// Registers (or re-points) a provider name; names are compared without regard to letter
// case or surrounding blanks. "Microsoft.ACE.OLEDB.12.0" and "Microsoft.Jet.OLEDB.4.0"
// name the embedded provider from the start.
void RegisterProviderName(const std::wstring& name, REFCLSID clsid);
// Removes a name (tests).
void RevokeProviderName(const std::wstring& name);

// The class of a provider name; false when the name is not registered.
bool FindProviderClass(const std::wstring& name, CLSID* clsid);

}  // namespace vorn::provider
