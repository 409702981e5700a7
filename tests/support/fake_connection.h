// A connection opened on the fake provider of fake_provider.h, for consumer tests.
#pragma once

#include <memory>

#include "support/fake_provider.h"
#include "vornoledb/connection.h"

namespace vorn::test::fake {

class FakeConnection {
  public:
    FakeConnection()
        : provider(std::make_shared<Provider>()),
          installed(provider->Install()),
          converter(provider->InstallConverter()) {
        opened = connection.OpenFromInitializationString(L"Provider=Fake;", false);
    }

    // Every execution gives a rowset over table.
    void ReturnRows(std::shared_ptr<Table> table) {
        provider->onExecute = [table](const std::wstring&) { return Outcome::Rows(table); };
    }

    std::shared_ptr<Provider> provider;
    std::unique_ptr<ScopedClassFactory> installed;
    std::unique_ptr<ScopedClassFactory> converter;
    VornOleDbConnection connection;
    HRESULT opened = E_FAIL;
};

}  // namespace vorn::test::fake
