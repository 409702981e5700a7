// The classes and provider names of the PostgreSQL provider.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "com.h"

namespace vorn::pgprovider {

// The class of the PostgreSQL provider's data source.
inline constexpr CLSID CLSID_PostgreSQLProvider = {
    0x3f8a2c61, 0x5d4e, 0x4b7a, {0x9c, 0x13, 0x72, 0xe0, 0x4a, 0x91, 0xd2, 0x5b}};

// The data source class with its factory.
std::vector<std::pair<CLSID, ClassFactoryFunction>> BuiltinClasses();

// "PostgreSQL" and "PostgreSQL.1".
std::vector<std::pair<std::wstring, CLSID>> ProviderNames();

}  // namespace vorn::pgprovider
