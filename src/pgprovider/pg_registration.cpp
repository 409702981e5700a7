// The PostgreSQL provider's classes.
#include "pg_registration.h"

#include "pg_data_source.h"

namespace vorn::pgprovider {

std::vector<std::pair<CLSID, ClassFactoryFunction>> BuiltinClasses() {
    return {{CLSID_PostgreSQLProvider, &PgDataSource::CreateInstance}};
}

std::vector<std::pair<std::wstring, CLSID>> ProviderNames() {
    return {{L"PostgreSQL", CLSID_PostgreSQLProvider}, {L"PostgreSQL.1", CLSID_PostgreSQLProvider}};
}

}  // namespace vorn::pgprovider
