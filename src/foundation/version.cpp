// The library's version string.
#include "vornoledb/vornoledb.h"

const char* VornOleDbVersion() {
    return VORNOLEDB_VERSION_STRING;
}
