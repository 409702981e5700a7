// The class registry behind CoCreateInstance. The library's own classes (the providers'
// services) are registered on first use; tests replace or add classes.
#include <map>
#include <mutex>

#include "builtin_classes.h"
#include "library_end.h"
#include "com.h"

namespace vornoledb {

namespace {
struct Registry {
    Registry() {
        for (auto& entry : vorn::platform::BuiltinClasses())
            classes[entry.first] = entry.second;
    }
    std::mutex mutex;
    std::map<CLSID, ClassFactoryFunction> classes;
};

Registry& TheRegistry() {
    return vorn::platform::LibraryObject<Registry>::Get();
}
}  // namespace

ClassFactoryFunction RegisterClassFactory(REFCLSID clsid, ClassFactoryFunction factory) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    ClassFactoryFunction previous;
    auto it = r.classes.find(clsid);
    if (it != r.classes.end())
        previous = std::move(it->second);
    if (factory)
        r.classes[clsid] = std::move(factory);
    else if (it != r.classes.end())
        r.classes.erase(it);
    return previous;
}

void RevokeClassFactory(REFCLSID clsid) {
    RegisterClassFactory(clsid, nullptr);
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    constexpr DWORD kKnownContexts =
        CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
    if ((dwClsContext & kKnownContexts) == 0)
        return E_INVALIDARG;
    ClassFactoryFunction factory;
    {
        Registry& r = TheRegistry();
        std::lock_guard<std::mutex> lock(r.mutex);
        auto it = r.classes.find(rclsid);
        if (it == r.classes.end())
            return REGDB_E_CLASSNOTREG;
        factory = it->second;
    }
    // The factory runs outside the registry's lock: creating an object may create others.
    return factory(pUnkOuter, riid, ppv);
}

ScopedClassFactory::ScopedClassFactory(REFCLSID clsid, ClassFactoryFunction factory)
    : clsid_(clsid), previous_(RegisterClassFactory(clsid, std::move(factory))) {}

ScopedClassFactory::~ScopedClassFactory() {
    RegisterClassFactory(clsid_, std::move(previous_));
}

}  // namespace vornoledb
