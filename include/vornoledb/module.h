// The library's application object: starts the connection cache when the library is
// loaded and closes it, with every idle connection, when the library is unloaded.
#pragma once

#include "vornoledb/export.h"

class VORNOLEDB_API VornOleDb {
  public:
    VornOleDb();
    virtual ~VornOleDb();

    // Starts the connection cache; TRUE (1) even when the cache could not be created. The
    // result is the framework's BOOL, an int.
    virtual int InitInstance();
    // Closes the connection cache; always 1.
    virtual int ExitInstance();
};
