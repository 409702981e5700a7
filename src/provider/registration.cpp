// The provider's classes, registered in the class registry on first use.
#include "registration.h"

#include "values/data_convert.h"
#include "compaction_engine.h"
#include "data_source.h"
#include "open_file_registry.h"

namespace vorn::provider {

std::vector<std::pair<CLSID, ClassFactoryFunction>> BuiltinClasses() {
    // File replacement (MoveFileExW) must never happen under an open data source.
    InstallFileReplaceGuard();
    return {
        {CLSID_ACE_OLEDB_12, &DataSource::CreateInstance},
        {CLSID_JET_OLEDB_4, &DataSource::CreateInstance},
        {CLSID_DBEngine, &CompactionEngine::CreateInstance},
        {CLSID_OLEDB_CONVERSIONLIBRARY, &CreateDataConvertObject},
    };
}

std::vector<std::pair<std::wstring, CLSID>> ProviderNames() {
    return {{L"Microsoft.ACE.OLEDB.12.0", CLSID_ACE_OLEDB_12},
            {L"Microsoft.Jet.OLEDB.4.0", CLSID_JET_OLEDB_4}};
}

}  // namespace vorn::provider
