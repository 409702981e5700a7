// The classes the class registry holds from its first use. The platform knows no provider:
// the library's composition, which puts the layers together, defines this function.
#pragma once

#include <utility>
#include <vector>

#include "com.h"

namespace vorn::platform {

std::vector<std::pair<CLSID, ClassFactoryFunction>> BuiltinClasses();

}  // namespace vorn::platform
