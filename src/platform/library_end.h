// Work done when the library ends (unloaded, or the process exits), after the connection
// cache has closed its connections.
//
// Process-wide tables that connections use while they close (the class registry, the
// provider's table of open files, the thread error slot) are never destroyed as ordinary
// static objects: at process exit those are destroyed before the library's end hook runs,
// and closing a pooled connection then would touch destroyed objects. Instead each table
// registers its release here, and the end hook runs the releases once nothing else will.
#pragma once

#include <mutex>

namespace vorn::platform {

using LibraryEndFunction = void (*)();

// Registers fn to run at library end, after the functions registered later (last in,
// first out). At most 32 functions; registration never allocates.
void AtLibraryEnd(LibraryEndFunction fn);

// Runs and forgets every registered function. Called by the library's end hook.
void RunLibraryEnd();

// The one process-wide T: made on first use (T's default constructor) and released at
// library end. Only a pointer and a mutex, which need no destruction, live in static storage.
// Get() may not be called from T's constructor.
template <class T>
class LibraryObject {
  public:
    static T& Get() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!object_) {
            object_ = new T;
            AtLibraryEnd(&Free);
        }
        return *object_;
    }

  private:
    static void Free() {
        std::lock_guard<std::mutex> lock(mutex_);
        delete object_;
        object_ = nullptr;
    }
    static inline T* object_ = nullptr;
    static inline std::mutex mutex_;
};

}  // namespace vorn::platform
