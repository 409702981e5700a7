// An interface inside the provider through which its data source and session objects hand
// out their open database (to the provider's own parts and its tests; the consumer library
// never sees it).
#pragma once

#include <memory>

#include "database.h"
#include "vornoledb/platform/unknown.h"

namespace vorn::provider {

struct IProviderDatabase : IUnknown {
    // The open database; null when the data source is not initialized.
    virtual std::shared_ptr<Database> GetDatabase() = 0;

  protected:
    ~IProviderDatabase() = default;
};

inline constexpr IID IID_IProviderDatabase = {
    0x6a1d3e52, 0x8c07, 0x4f1b, {0x9e, 0x21, 0x5b, 0x74, 0xd0, 0x3c, 0x8a, 0x16}};

// The open database behind a data source or session object; null for other objects.
std::shared_ptr<Database> DatabaseOf(IUnknown* object);

}  // namespace vorn::provider

template <>
struct vornoledb::InterfaceIdOf<vorn::provider::IProviderDatabase> {
    static constexpr const IID& value = vorn::provider::IID_IProviderDatabase;
};
