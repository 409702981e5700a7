// An array of plain values whose length is known only at run time but is usually small
// (one entry per result column): held in place up to N entries, on the heap past that.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <type_traits>

namespace vorn::provider {

template <class T, size_t N>
class SmallArray {
    static_assert(std::is_trivially_copyable_v<T>, "SmallArray holds plain values");

  public:
    SmallArray() = default;
    SmallArray(const SmallArray&) = delete;
    SmallArray& operator=(const SmallArray&) = delete;

    // Gives the array n entries. A new length resets every entry to T(); the same length
    // keeps them.
    void resize(size_t n) {
        if (n == size_) {
            return;
        }
        if (n <= N) {
            data_ = local_;
        } else {
            if (n > heapCapacity_) {
                heap_.reset(new T[n]);
                heapCapacity_ = n;
            }
            data_ = heap_.get();
        }
        size_ = n;
        std::fill(data_, data_ + n, T());
    }

    size_t size() const { return size_; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }

  private:
    T local_[N];
    std::unique_ptr<T[]> heap_;
    size_t heapCapacity_ = 0;
    T* data_ = local_;
    size_t size_ = 0;
};

}  // namespace vorn::provider
