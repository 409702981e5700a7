// The list of releases run at library end (see library_end.h). Plain arrays and atomics
// only: nothing here has a destructor of its own.
#include "library_end.h"

#include <atomic>

namespace vorn::platform {
namespace {
constexpr int kCapacity = 32;
LibraryEndFunction g_functions[kCapacity];
std::atomic<int> g_count{0};
}  // namespace

void AtLibraryEnd(LibraryEndFunction fn) {
    int slot = g_count.fetch_add(1);
    if (slot < kCapacity)
        g_functions[slot] = fn;
    else
        g_count.store(kCapacity);
}

void RunLibraryEnd() {
    for (int i = g_count.exchange(0) - 1; i >= 0; --i)
        if (i < kCapacity && g_functions[i])
            g_functions[i]();
}

}  // namespace vorn::platform
