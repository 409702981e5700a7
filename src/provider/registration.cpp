// The provider's classes, registered in the class registry on first use.
#include "provider/registration.h"

namespace vorn::provider {

std::vector<std::pair<CLSID, ClassFactoryFunction>> BuiltinClasses() { return {}; }

}  // namespace vorn::provider
