// An owning pointer to a block of the C runtime heap (malloc/realloc), released with free.
#pragma once

#include <cstdlib>

namespace vornoledb {

struct CCRTAllocator {
    static void* Reallocate(void* p, size_t n) { return std::realloc(p, n); }
    static void* Allocate(size_t n) { return std::malloc(n); }
    static void Free(void* p) { std::free(p); }
};

template <class T, class Allocator = CCRTAllocator>
class CHeapPtr {
  public:
    CHeapPtr() = default;
    explicit CHeapPtr(T* p) : m_pData(p) {}
    CHeapPtr(CHeapPtr&& o) noexcept : m_pData(o.Detach()) {}
    CHeapPtr& operator=(CHeapPtr&& o) noexcept {
        if (this != &o)
            Attach(o.Detach());
        return *this;
    }
    CHeapPtr(const CHeapPtr&) = delete;
    CHeapPtr& operator=(const CHeapPtr&) = delete;
    ~CHeapPtr() { Free(); }

    // Allocates n elements; false (nothing held) when the heap refuses.
    bool Allocate(size_t n = 1) {
        Free();
        m_pData = static_cast<T*>(Allocator::Allocate(n * sizeof(T)));
        return m_pData != nullptr;
    }
    // Grows or shrinks the block; on failure the old block stays held and false is returned.
    bool Reallocate(size_t n) {
        T* p = static_cast<T*>(Allocator::Reallocate(m_pData, n * sizeof(T)));
        if (!p)
            return false;
        m_pData = p;
        return true;
    }
    void Free() {
        Allocator::Free(m_pData);
        m_pData = nullptr;
    }
    void Attach(T* p) {
        Free();
        m_pData = p;
    }
    T* Detach() {
        T* p = m_pData;
        m_pData = nullptr;
        return p;
    }
    operator T*() const { return m_pData; }
    T* operator->() const { return m_pData; }
    T** operator&() { return &m_pData; }

    T* m_pData = nullptr;
};

}  // namespace vornoledb
