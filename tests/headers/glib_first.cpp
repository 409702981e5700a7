// A GTK-style host: glib (whose TRUE and FALSE are macros) included before the library.
#include <glib.h>

#include <vornoledb/vornoledb.h>

#include "host_check.h"

int main() {
    gboolean yes = TRUE;
    return RunHostCheck() == 0 && yes ? 0 : 1;
}
