// The provider's classes, registered in the class registry on first use.
#include "provider/registration.h"

#include "provider/command/data_convert.h"
#include "provider/compaction_engine.h"
#include "provider/data_initialize.h"
#include "provider/data_source.h"
#include "provider/open_file_registry.h"

namespace vorn::provider {

std::vector<std::pair<CLSID, ClassFactoryFunction>> BuiltinClasses() {
    // File replacement (MoveFileExW) must never happen under an open data source.
    InstallFileReplaceGuard();
    return {
        {CLSID_MSDAINITIALIZE, &DataInitialize::CreateInstance},
        {CLSID_ACE_OLEDB_12, &DataSource::CreateInstance},
        {CLSID_JET_OLEDB_4, &DataSource::CreateInstance},
        {CLSID_DBEngine, &CompactionEngine::CreateInstance},
        {CLSID_OLEDB_CONVERSIONLIBRARY, &CreateDataConvertObject},
    };
}

}  // namespace vorn::provider
