// The session object of the embedded provider: opens tables as rowsets, creates commands,
// runs local transactions on the data source's database.
#pragma once

#include <atomic>
#include <memory>

#include "database.h"
#include "database_access.h"
#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

class Session final : public ComObject<IOpenRowset, IDBCreateCommand, ITransactionLocal,
                                       IProviderDatabase, IDBSchemaRowset, ITableCreation> {
  public:
    // A session over db. dataSource is kept alive as long as the session; liveSessions (a
    // counter of the data source) counts the session while it exists.
    static ComPtr<Session> Create(IUnknown* dataSource, std::atomic<int>* liveSessions,
                                  std::shared_ptr<Database> db);

    // Whether QueryInterface answers riid; lets a data source refuse a session interface
    // before it does anything else.
    static bool Offers(REFIID riid);

    // IOpenRowset: the rows of one table or view by name ("SELECT * FROM [name]" through a
    // command). A missing table fails with DB_E_NOTABLE.
    HRESULT OpenRowset(IUnknown* pUnkOuter, DBID* pTableID, DBID* pIndexID, REFIID riid,
                       ULONG cPropertySets, DBPROPSET rgPropertySets[],
                       IUnknown** ppRowset) override;

    // IDBCreateCommand
    HRESULT CreateCommand(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppCommand) override;

    // ITransactionLocal / ITransaction: one level of transaction (BEGIN ... COMMIT or
    // ROLLBACK); a second StartTransaction fails with XACT_E_XTIONEXISTS, Commit and Abort
    // without one with XACT_E_NOTRANSACTION; fRetaining starts the next one at once.
    HRESULT StartTransaction(ISOLEVEL isoLevel, ULONG isoFlags, ITransactionOptions* pOtherOptions,
                             ULONG* pulTransactionLevel) override;
    HRESULT Commit(BOOL fRetaining, DWORD grfTC, DWORD grfRM) override;
    HRESULT Abort(BOID* pboidReason, BOOL fRetaining, BOOL fAsync) override;

    // IProviderDatabase
    std::shared_ptr<Database> GetDatabase() override { return db_; }

    // IDBSchemaRowset and ITableCreation: the catalog (provider/schema).
    HRESULT GetRowset(IUnknown* pUnkOuter, REFGUID rguidSchema, ULONG cRestrictions,
                      const VARIANT rgRestrictions[], REFIID riid, ULONG cPropertySets,
                      DBPROPSET rgPropertySets[], IUnknown** ppRowset) override;
    HRESULT GetSchemas(ULONG* pcSchemas, GUID** prgSchemas, ULONG** prgRestrictionSupport) override;
    HRESULT GetTableDefinition(DBID* pTableID, DBORDINAL* pcColumnDescs,
                               DBCOLUMNDESC* prgColumnDescs[], ULONG* pcPropertySets,
                               DBPROPSET* prgPropertySets[], ULONG* pcConstraintDescs,
                               DBCONSTRAINTDESC* prgConstraintDescs[],
                               OLECHAR** ppwszStringBuffer) override;

  protected:
    void* QueryExtra(REFIID riid) override;

  private:
    Session(IUnknown* dataSource, std::atomic<int>* liveSessions, std::shared_ptr<Database> db);
    ~Session() override;

    bool InTransaction() const;
    HRESULT Begin(REFIID iid, const wchar_t* what);

    ComPtr<IUnknown> dataSource_;
    std::atomic<int>* liveSessions_;
    std::shared_ptr<Database> db_;
};

}  // namespace vorn::provider
