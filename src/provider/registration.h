// The classes the library itself offers through CoCreateInstance.
#pragma once

#include <utility>
#include <vector>

#include "com.h"

namespace vorn::provider {

// Every built-in class with its factory: the data-initialisation service, the data
// conversion library, the compaction engine.
std::vector<std::pair<CLSID, ClassFactoryFunction>> BuiltinClasses();

}  // namespace vorn::provider
