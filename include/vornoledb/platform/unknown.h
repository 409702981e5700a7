// IUnknown, the interface-id lookup and a ComPtr smart pointer.
#pragma once

#include <utility>

#include "vornoledb/platform/types.h"

namespace vornoledb {

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

  protected:
    ~IUnknown() = default;
};

// uuidof<I>() gives the interface id of I; every interface declares its id with
// VORN_DECLARE_INTERFACE_ID next to its declaration.
template <class I>
struct InterfaceIdOf;

template <class I>
inline const IID& uuidof() {
    return InterfaceIdOf<I>::value;
}

#define VORN_DECLARE_INTERFACE_ID(Interface, IidName) \
    extern const IID IidName;                         \
    template <>                                       \
    struct InterfaceIdOf<Interface> {                 \
        static constexpr const IID& value = IidName;  \
    };

VORN_DECLARE_INTERFACE_ID(IUnknown, IID_IUnknown)

// Owning interface pointer: AddRef on copy, Release on reset and destruction.
template <class T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference to p.
    explicit ComPtr(T* p) : p_(p) {
        if (p_)
            p_->AddRef();
    }
    ComPtr(const ComPtr& o) : p_(o.p_) {
        if (p_)
            p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& o) {
        if (o.p_)
            o.p_->AddRef();
        Reset();
        p_ = o.p_;
        return *this;
    }
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) {
            Reset();
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) {
        Reset();
        return *this;
    }

    // Adopts p without AddRef (p carries a reference made for us).
    static ComPtr Attach(T* p) {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    T* Detach() {
        T* p = p_;
        p_ = nullptr;
        return p;
    }
    void Reset() {
        T* p = p_;
        p_ = nullptr;
        if (p)
            p->Release();
    }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // Releases what is held and returns the slot for an out parameter.
    T** ReleaseAndGetAddressOf() {
        Reset();
        return &p_;
    }
    void** ReleaseAndGetVoidAddress() {
        Reset();
        return reinterpret_cast<void**>(&p_);
    }
    IUnknown** ReleaseAndGetUnknownAddress() {
        Reset();
        return reinterpret_cast<IUnknown**>(&p_);
    }

    template <class U>
    HRESULT As(ComPtr<U>* out) const {
        if (!p_)
            return E_POINTER;
        return p_->QueryInterface(uuidof<U>(), out->ReleaseAndGetVoidAddress());
    }

  private:
    T* p_ = nullptr;
};

template <class T, class U>
inline bool operator==(const ComPtr<T>& a, const ComPtr<U>& b) {
    return static_cast<const void*>(a.Get()) == static_cast<const void*>(b.Get());
}

}  // namespace vornoledb
