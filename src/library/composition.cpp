// The library put together from its layers: the providers' classes registered in the
// platform's class registry, their provider names with the data-initialisation service,
// and the module's start and end hooks brought into every program that links the library
// statically.
#include "builtin_classes.h"
#include "data_initialize.h"
#include "pg_registration.h"
#include "provider_names.h"
#include "registration.h"

// Defined beside the module's start and end hooks. The class registry asks for the
// built-in classes on its first use, which every connection makes; reading the flag here
// makes a static link that opens a connection include the hooks as well.
extern "C" const volatile int vornoledb_module_linked;

namespace vorn::platform {

std::vector<std::pair<CLSID, ClassFactoryFunction>> BuiltinClasses() {
    (void)vornoledb_module_linked;
    std::vector<std::pair<CLSID, ClassFactoryFunction>> classes = {
        {CLSID_MSDAINITIALIZE, &vorn::provider::DataInitialize::CreateInstance}};
    for (auto& c : vorn::provider::BuiltinClasses())
        classes.push_back(std::move(c));
    for (auto& c : vorn::pgprovider::BuiltinClasses())
        classes.push_back(std::move(c));
    return classes;
}

}  // namespace vorn::platform

namespace vorn::provider {

std::vector<std::pair<std::wstring, CLSID>> BuiltinProviderNames() {
    std::vector<std::pair<std::wstring, CLSID>> names = ProviderNames();
    for (auto& n : vorn::pgprovider::ProviderNames())
        names.push_back(std::move(n));
    return names;
}

}  // namespace vorn::provider
