// A GTK-style host: the library included before glib.
#include <vornoledb/vornoledb.h>

#include <glib.h>

#include "host_check.h"

int main() {
    gboolean no = FALSE;
    return RunHostCheck() == 0 && !no ? 0 : 1;
}
