// Module start and end. The load-time constructor and the unload-time destructor of the
// library (shared or linked statically) play the part of a framework's application object.
#include <new>

#include "library_end.h"
#include "vornoledb/connection_cache.h"
#include "vornoledb/module.h"

// Referenced by the library's composition so that a static link brings this file, and
// with it the start and end hooks, into the program.
extern "C" {
extern const volatile int vornoledb_module_linked;
const volatile int vornoledb_module_linked = 1;
}

VornOleDb::VornOleDb() = default;
VornOleDb::~VornOleDb() = default;

BOOL VornOleDb::InitInstance() {
    VornOleDbConnectionCache::InitConnectionCache();
    return TRUE;
}

int VornOleDb::ExitInstance() {
    VornOleDbConnectionCache::CloseConnectionCache();
    return 1;
}

namespace {
// The application object lives in static storage that needs no construction order:
// it is made in place by the start hook and ended by the end hook.
alignas(VornOleDb) unsigned char g_appStorage[sizeof(VornOleDb)];
VornOleDb* g_app = nullptr;

__attribute__((constructor)) void ModuleStart() {
    g_app = new (g_appStorage) VornOleDb;
    g_app->InitInstance();
}

__attribute__((destructor)) void ModuleEnd() {
    if (!g_app)
        return;
    g_app->ExitInstance();
    g_app->~VornOleDb();
    g_app = nullptr;
    // Nothing uses the library's process-wide tables any more: release them.
    vorn::platform::RunLibraryEnd();
}
}  // namespace
