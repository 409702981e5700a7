// The session object of the PostgreSQL provider: commands, tables opened by name, local
// transactions, the TABLES, COLUMNS and INDEXES schema rowsets and table definitions.
#pragma once

#include <atomic>
#include <memory>

#include "pg_connection.h"
#include "vornoledb/platform/oledb.h"

namespace vorn::pgprovider {

class PgSession final : public ComObject<IOpenRowset, IDBCreateCommand, ITransactionLocal,
                                         IDBSchemaRowset, ITableCreation> {
  public:
    static ComPtr<PgSession> Create(IUnknown* dataSource, std::atomic<int>* liveSessions,
                                    std::shared_ptr<PgConnection> conn);

    // IOpenRowset: the rows of one table or view by name; the name is matched without
    // regard to letter case when no table has it exactly.
    HRESULT OpenRowset(IUnknown* pUnkOuter, DBID* pTableID, DBID* pIndexID, REFIID riid,
                       ULONG cPropertySets, DBPROPSET rgPropertySets[],
                       IUnknown** ppRowset) override;

    // IDBCreateCommand
    HRESULT CreateCommand(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppCommand) override;

    // ITransactionLocal / ITransaction: one level (BEGIN ... COMMIT or ROLLBACK) at the
    // isolation level asked for; a second StartTransaction fails with XACT_E_XTIONEXISTS,
    // Commit and Abort without one with XACT_E_NOTRANSACTION.
    HRESULT StartTransaction(ISOLEVEL isoLevel, ULONG isoFlags, ITransactionOptions* pOtherOptions,
                             ULONG* pulTransactionLevel) override;
    HRESULT Commit(BOOL fRetaining, DWORD grfTC, DWORD grfRM) override;
    HRESULT Abort(BOID* pboidReason, BOOL fRetaining, BOOL fAsync) override;

    // IDBSchemaRowset and ITableCreation (pg_schema.h).
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
    PgSession(IUnknown* dataSource, std::atomic<int>* liveSessions,
              std::shared_ptr<PgConnection> conn);
    ~PgSession() override;
    HRESULT EndTransaction(const char* sql, BOOL fRetaining, REFIID iid, const wchar_t* what);

    ComPtr<IUnknown> dataSource_;
    std::atomic<int>* liveSessions_;
    std::shared_ptr<PgConnection> conn_;
    ISOLEVEL level_ = ISOLATIONLEVEL_READCOMMITTED;
};

}  // namespace vorn::pgprovider
