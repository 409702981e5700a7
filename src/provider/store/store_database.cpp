// A data source's database over a foreign store.
#include "store/store_database.h"

#include <sqlite3.h>

#include "provider_errors.h"
#include "store/store_module.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::store {

HRESULT StoreDatabase::Open(const std::wstring& pathAsGiven, std::shared_ptr<Store> store,
                            REFIID iid, std::shared_ptr<StoreDatabase>* out) {
    out->reset();
    std::shared_ptr<SqliteDatabase> engine;
    HRESULT hr = SqliteDatabase::OpenMemory(iid, &engine);
    if (FAILED(hr))
        return hr;
    std::shared_ptr<StoreDatabase> db(new StoreDatabase);
    db->engine_ = std::move(engine);
    db->store_ = store;
    db->properties_ = store->Properties();
    db->path_ = pathAsGiven;
    db->catalog_ = WideToUtf8(db->properties_.catalog);
    StoreError error;
    if (RegisterStoreModule(db->Handle()) != SQLITE_OK ||
        !AttachMainStore(db->Handle(), std::move(store), &error))
        return PostProviderError(
            E_FAIL, iid,
            L"could not open the data source " + Quoted(pathAsGiven) + L": " +
                (error.message.empty() ? L"the store module cannot be registered" : error.message));
    *out = std::move(db);
    return S_OK;
}

}  // namespace vorn::provider::store
