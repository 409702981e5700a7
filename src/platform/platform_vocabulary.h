// What every source of the library's layers, tests and benchmarks sees first (the build
// gives it to the compiler with -include): the Windows names unqualified, as the library
// is written with them, and the platform's declarations for the layers above it.
#pragma once

#include "vornoledb/windows_names.h"

#include "automation.h"
#include "com.h"
#include "com_object.h"
#include "dbtype_sizes.h"
#include "error_records.h"
#include "files.h"
#include "oledb_memory.h"
