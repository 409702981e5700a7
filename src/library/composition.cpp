// The library put together from its layers: the providers' classes registered in the
// platform's class registry, and the module's start and end hooks brought into every
// program that links the library statically.
#include "builtin_classes.h"
#include "registration.h"

// Defined beside the module's start and end hooks. The class registry asks for the
// built-in classes on its first use, which every connection makes; reading the flag here
// makes a static link that opens a connection include the hooks as well.
extern "C" const volatile int vornoledb_module_linked;

namespace vorn::platform {

std::vector<std::pair<CLSID, ClassFactoryFunction>> BuiltinClasses() {
    (void)vornoledb_module_linked;
    return vorn::provider::BuiltinClasses();
}

}  // namespace vorn::platform
