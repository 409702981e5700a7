// A data source's database over a foreign store: a private in-memory SQLite handle with
// the Jet dialect, whose main database holds one virtual table per table of the store, so
// that every statement, transaction, schema rowset and column description runs through
// the one engine as it does on a SQLite file.
#pragma once

#include <memory>
#include <string>

#include "database.h"
#include "sqlite_database.h"
#include "store/store.h"
#include "vornoledb/platform/types.h"

namespace vorn::provider::store {

class StoreDatabase final : public Database {
  public:
    // Makes the database of store; pathAsGiven is the data source as the caller wrote it.
    // On failure posts a record whose guid is iid and returns its HRESULT.
    static HRESULT Open(const std::wstring& pathAsGiven, std::shared_ptr<Store> store, REFIID iid,
                        std::shared_ptr<StoreDatabase>* out);

    sqlite3* Handle() const override { return engine_->Handle(); }
    const std::wstring& Path() const override { return path_; }
    const std::string& AbsolutePathUtf8() const override { return catalog_; }
    bool ReadOnly() const override { return properties_.readOnly; }
    sql::JetStatementCache* Statements() override { return engine_->Statements(); }

    std::wstring DbmsName() const override { return properties_.dbmsName; }
    std::wstring DbmsVersion() const override { return properties_.dbmsVersion; }
    std::wstring CurrentCatalog() const override { return properties_.catalog; }

    const std::shared_ptr<Store>& GetStore() const { return store_; }
    // Why statements that change the data source are refused (empty when they are not).
    const std::wstring& ChangesRefused() const { return properties_.changesRefused; }

  private:
    StoreDatabase() = default;

    std::shared_ptr<SqliteDatabase> engine_;
    std::shared_ptr<Store> store_;
    StoreProperties properties_;
    std::wstring path_;
    std::string catalog_;
};

}  // namespace vorn::provider::store
