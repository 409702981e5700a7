// VornOleDb: data access from C++ through OLE DB connection strings and Jet SQL.
// This header declares every exported class and the platform vocabulary they need, in
// namespace vornoledb (vornoledb/windows_names.h brings that vocabulary into the global
// namespace for programs that want it unqualified).
#pragma once

#include "vornoledb/export.h"
#include "vornoledb/platform/types.h"
#include "vornoledb/platform/unknown.h"
#include "vornoledb/platform/variant.h"
#include "vornoledb/platform/oledb.h"
#include "vornoledb/platform/format.h"
#include "vornoledb/platform/text.h"
#include "vornoledb/heap_ptr.h"
#include "vornoledb/exception.h"
#include "vornoledb/error_info.h"
#include "vornoledb/helper.h"
#include "vornoledb/connection.h"
#include "vornoledb/command.h"
#include "vornoledb/connection_cache.h"
#include "vornoledb/module.h"
#include "vornoledb/ddl_command.h"
#include "vornoledb/recordset.h"
#include "vornoledb/file_recordset.h"
#include "vornoledb/schema_reader.h"
#include "vornoledb/tables.h"
#include "vornoledb/columns.h"
#include "vornoledb/indexes.h"

// Version of the library the program runs with, "major.minor.patch".
VORNOLEDB_API const char* VornOleDbVersion();
