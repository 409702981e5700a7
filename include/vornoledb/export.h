// Symbol visibility of the shared library: only what carries VORNOLEDB_API is exported.
#pragma once

#if defined(VORNOLEDB_STATIC)
#define VORNOLEDB_API
#elif defined(__GNUC__)
#define VORNOLEDB_API __attribute__((visibility("default")))
#else
#define VORNOLEDB_API
#endif

#define VORNOLEDB_VERSION_MAJOR 1
#define VORNOLEDB_VERSION_MINOR 0
#define VORNOLEDB_VERSION_PATCH 0
#define VORNOLEDB_VERSION_STRING "1.0.0"
