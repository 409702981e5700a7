// The calling thread's current error object.
//
// Kept in a pthread key rather than a thread_local object: a thread_local with a destructor
// pins the shared library in memory, so unloading it (and with it closing the connections
// it pools) would never happen. The key's destructor releases a thread's object when the
// thread ends; the key itself is deleted when the library ends.
#include <pthread.h>

#include <atomic>
#include <mutex>

#include "library_end.h"

#include "vornoledb/platform/oledb.h"

namespace vornoledb {

namespace {

void ReleaseErrorObject(void* p) {
    if (p)
        static_cast<IErrorInfo*>(p)->Release();
}

class ErrorKey {
  public:
    ErrorKey() { valid_ = pthread_key_create(&key_, ReleaseErrorObject) == 0; }
    ~ErrorKey() {
        if (!valid_)
            return;
        ReleaseErrorObject(pthread_getspecific(key_));
        pthread_key_delete(key_);
        valid_ = false;
    }
    // Takes the calling thread's object (the reference passes to the caller).
    IErrorInfo* Take() {
        if (!valid_)
            return nullptr;
        auto* p = static_cast<IErrorInfo*>(pthread_getspecific(key_));
        if (p)
            pthread_setspecific(key_, nullptr);
        return p;
    }
    // Replaces the calling thread's object with p (which gets a new reference).
    void Put(IErrorInfo* p) {
        if (!valid_)
            return;
        if (p)
            p->AddRef();
        IErrorInfo* old = Take();
        // Clearing a thread that has no object (what every successful call does) writes
        // nothing.
        if (p)
            pthread_setspecific(key_, p);
        if (old)
            old->Release();
    }

  private:
    pthread_key_t key_{};
    bool valid_ = false;
};

// The key, read without a lock once made (every provider call clears or sets the error
// object, so this is on every call's path); the mutex orders its creation and release.
std::atomic<ErrorKey*> g_key{nullptr};
std::mutex g_keyInit;

void FreeKey() {
    std::lock_guard<std::mutex> lock(g_keyInit);
    delete g_key.exchange(nullptr, std::memory_order_acq_rel);
}

// Made on first use and released at library end (library_end.h): a static object would be
// destroyed at process exit before pooled connections close, and they may post errors.
ErrorKey& Key() {
    if (ErrorKey* key = g_key.load(std::memory_order_acquire))
        return *key;
    std::lock_guard<std::mutex> lock(g_keyInit);
    ErrorKey* key = g_key.load(std::memory_order_relaxed);
    if (!key) {
        key = new ErrorKey;
        g_key.store(key, std::memory_order_release);
        vorn::platform::AtLibraryEnd(&FreeKey);
    }
    return *key;
}

}  // namespace

HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
    if (dwReserved != 0)
        return E_INVALIDARG;
    Key().Put(perrinfo);
    return S_OK;
}

HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
    if (!pperrinfo)
        return E_INVALIDARG;
    *pperrinfo = nullptr;
    if (dwReserved != 0)
        return E_INVALIDARG;
    *pperrinfo = Key().Take();
    return *pperrinfo ? S_OK : S_FALSE;
}

LCID GetSystemDefaultLCID() {
    return 0x0409;
}

LCID GetUserDefaultLCID() {
    return 0x0409;
}

}  // namespace vornoledb
