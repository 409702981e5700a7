// A host that also reaches other databases through unixODBC: its headers (which declare
// their own WCHAR, ULONG, DWORD and define BOOL as a macro) included before the library.
#include <sql.h>
#include <sqltypes.h>

#include <vornoledb/vornoledb.h>

#include "host_check.h"

int main() {
    ULONG odbcCount = 1;
    SQLSMALLINT handleType = SQL_HANDLE_ENV;
    return RunHostCheck() == 0 && odbcCount == 1 && handleType == SQL_HANDLE_ENV ? 0 : 1;
}
