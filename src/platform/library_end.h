// Work done when the library ends (unloaded, or the process exits), after the connection
// cache has closed its connections.
//
// Process-wide tables that connections use while they close (the class registry, the
// provider's table of open files, the thread error slot) are never destroyed as ordinary
// static objects: at process exit those are destroyed before the library's end hook runs,
// and closing a pooled connection then would touch destroyed objects. Instead each table
// registers its release here, and the end hook runs the releases once nothing else will.
#pragma once

namespace vorn::platform {

using LibraryEndFunction = void (*)();

// Registers fn to run at library end, after the functions registered later (last in,
// first out). At most 32 functions; registration never allocates.
void AtLibraryEnd(LibraryEndFunction fn);

// Runs and forgets every registered function. Called by the library's end hook.
void RunLibraryEnd();

}  // namespace vorn::platform
