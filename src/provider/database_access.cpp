// The open database behind a provider object.
#include "database_access.h"

namespace vorn::provider {

std::shared_ptr<Database> DatabaseOf(IUnknown* object) {
    if (!object)
        return nullptr;
    ComPtr<IProviderDatabase> access;
    if (FAILED(object->QueryInterface(IID_IProviderDatabase, access.ReleaseAndGetVoidAddress())))
        return nullptr;
    return access->GetDatabase();
}

}  // namespace vorn::provider
