// The classes the library itself offers through CoCreateInstance.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "com.h"

namespace vorn::provider {

// Every class of the embedded provider with its factory: the data source, the data
// conversion library, the compaction engine.
std::vector<std::pair<CLSID, ClassFactoryFunction>> BuiltinClasses();

// The provider names of the embedded provider: "Microsoft.ACE.OLEDB.12.0" and
// "Microsoft.Jet.OLEDB.4.0".
std::vector<std::pair<std::wstring, CLSID>> ProviderNames();

}  // namespace vorn::provider
