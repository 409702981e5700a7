// A host that also reaches other databases through unixODBC: the library included before
// unixODBC's headers.
#include <vornoledb/vornoledb.h>

#include <sql.h>
#include <sqltypes.h>

#include "host_check.h"

int main() {
    WCHAR odbcText[2] = {0, 0};
    BOOL odbcFlag = 1;
    return RunHostCheck() == 0 && odbcText[0] == 0 && odbcFlag ? 0 : 1;
}
