// The writes a store refuses unless it says otherwise.
#include "store/store.h"

namespace vorn::provider::store {

std::wstring DefaultRefusal(const wchar_t* operation, const std::wstring& table) {
    return std::wstring(operation) + L" the table '" + table + L"' is not supported by this store";
}

bool StoreTable::Insert(const std::vector<StoreValue>&, StoreError* error) {
    error->refused = true;
    error->message = DefaultRefusal(L"inserting rows into", Name());
    return false;
}

bool StoreTable::Update(int64_t, const std::vector<StoreValue>&, StoreError* error) {
    error->refused = true;
    error->message = DefaultRefusal(L"updating rows of", Name());
    return false;
}

bool StoreTable::Delete(int64_t, StoreError* error) {
    error->refused = true;
    error->message = DefaultRefusal(L"deleting rows of", Name());
    return false;
}

std::shared_ptr<StoreTable> Store::CreateTable(const std::wstring& name,
                                               const std::vector<StoreColumn>&, StoreError* error) {
    error->refused = true;
    error->message = L"creating the table '" + name + L"' is not supported by this store";
    return nullptr;
}

}  // namespace vorn::provider::store
