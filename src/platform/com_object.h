// A reference-counted base for objects that implement interfaces, and MakeCom, which
// creates such an object with its first reference.
#pragma once

#include <atomic>
#include <tuple>
#include <type_traits>
#include <utility>

#include "vornoledb/platform/unknown.h"

namespace vornoledb {

// Base for objects implementing one or more interfaces. The first interface answers for
// IUnknown. Objects start with a reference count of 0; MakeCom gives the first reference.
template <class... Interfaces>
class ComObject : public Interfaces... {
  public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown) {
            *ppv = static_cast<IUnknown*>(static_cast<First*>(this));
        } else {
            FindInterface<Interfaces...>(riid, ppv);
            if (!*ppv)
                *ppv = QueryExtra(riid);
        }
        if (!*ppv)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG n = --refs_;
        if (n == 0)
            delete this;
        return n;
    }

  protected:
    virtual ~ComObject() = default;
    // Derived classes answer for further interfaces (base interfaces of those listed, for
    // instance) by returning the pointer without AddRef; null when not offered.
    virtual void* QueryExtra(REFIID) { return nullptr; }

  private:
    using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;

    template <class I, class... Rest>
    void FindInterface(REFIID riid, void** ppv) {
        if (riid == uuidof<I>()) {
            *ppv = static_cast<I*>(this);
            return;
        }
        if constexpr (sizeof...(Rest) > 0)
            FindInterface<Rest...>(riid, ppv);
    }

    std::atomic<ULONG> refs_{0};
};

// Creates an object of T and gives the first reference.
template <class T, class... Args>
inline ComPtr<T> MakeCom(Args&&... args) {
    return ComPtr<T>(new T(std::forward<Args>(args)...));
}

}  // namespace vornoledb
