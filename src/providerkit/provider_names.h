// Provider names (the Provider= of a connection string) and the classes they create. The
// data-initialisation service looks names up here; which providers exist is the library's
// composition's to say, so that neither the service nor the consumer knows any of them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "vornoledb/platform/types.h"

namespace vorn::provider {

// The embedded provider's own name, which it reports as DBPROP_PROVIDERNAME.
inline constexpr wchar_t kEmbeddedProviderName[] = L"Microsoft.ACE.OLEDB.12.0";

// The names every provider of the library answers to, with their classes. Defined by the
// library's composition; read when a name is first looked up.
std::vector<std::pair<std::wstring, CLSID>> BuiltinProviderNames();

// Registers (or re-points) a provider name; names are compared without regard to letter
// case or surrounding blanks. The built-in names are there from the start.
void RegisterProviderName(const std::wstring& name, REFCLSID clsid);
// Removes a name (tests).
void RevokeProviderName(const std::wstring& name);

// The class of a provider name; false when the name is not registered.
bool FindProviderClass(const std::wstring& name, CLSID* clsid);

}  // namespace vorn::provider
