// Provider names and the classes they create.
#include "provider_names.h"

#include "library_end.h"

#include <mutex>
#include <vector>

#include "connection_string.h"
#include "vornoledb/platform/oledb.h"
#include "text_helpers.h"

namespace vorn::provider {
namespace {

struct Names {
    Names() : entries(BuiltinProviderNames()) {}
    std::mutex mutex;
    std::vector<std::pair<std::wstring, CLSID>> entries;
};

// Made on first use, released at library end (see platform/library_end.h).
Names& TheNames() {
    return vorn::platform::LibraryObject<Names>::Get();
}

}  // namespace

void RegisterProviderName(const std::wstring& name, REFCLSID clsid) {
    Names& names = TheNames();
    const std::wstring key = TrimSpaces(name);
    std::lock_guard<std::mutex> lock(names.mutex);
    for (auto& entry : names.entries) {
        if (SameKey(entry.first, key)) {
            entry.second = clsid;
            return;
        }
    }
    names.entries.emplace_back(key, clsid);
}

void RevokeProviderName(const std::wstring& name) {
    Names& names = TheNames();
    const std::wstring key = TrimSpaces(name);
    std::lock_guard<std::mutex> lock(names.mutex);
    for (auto it = names.entries.begin(); it != names.entries.end(); ++it) {
        if (SameKey(it->first, key)) {
            names.entries.erase(it);
            return;
        }
    }
}

bool FindProviderClass(const std::wstring& name, CLSID* clsid) {
    Names& names = TheNames();
    const std::wstring key = TrimSpaces(name);
    std::lock_guard<std::mutex> lock(names.mutex);
    for (const auto& entry : names.entries) {
        if (SameKey(entry.first, key)) {
            *clsid = entry.second;
            return true;
        }
    }
    return false;
}

}  // namespace vorn::provider
