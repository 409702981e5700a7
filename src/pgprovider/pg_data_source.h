// The data source object of the PostgreSQL provider: initialisation properties, the
// connection to the server, sessions.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "init_properties.h"
#include "pg_connection.h"
#include "vornoledb/platform/oledb.h"

namespace vorn::pgprovider {

class PgDataSource final
    : public ComObject<IDBInitialize, IDBProperties, IDBCreateSession, IDBDataSourceAdmin> {
  public:
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);

    // IDBInitialize: connects to the server that Data Source names (host[:port]), to the
    // database of Initial Catalog, as User ID with Password; Extended Properties holds
    // further libpq keywords (sslmode=require;connect_timeout=5 ...). Mode=Read makes every
    // transaction read-only.
    HRESULT Initialize() override;
    // Closes the connection; refused with DB_E_OBJECTOPEN while sessions exist.
    HRESULT Uninitialize() override;

    // IDBProperties: DBPROPSET_DBINIT (settable before Initialize), DBPROPSET_DATASOURCEINFO
    // and DBPROPSET_DATASOURCE (read-only). DBPROP_CONNECTIONSTATUS tells a connection the
    // server dropped (DBPROPVAL_CS_COMMUNICATIONFAILURE).
    HRESULT GetProperties(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[],
                          ULONG* pcPropertySets, DBPROPSET** prgPropertySets) override;
    HRESULT SetProperties(ULONG cPropertySets, DBPROPSET rgPropertySets[]) override;

    // IDBCreateSession
    HRESULT CreateSession(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppDBSession) override;

    // IDBDataSourceAdmin: refused. Databases on a server are made and dropped there.
    HRESULT CreateDataSource(ULONG cPropertySets, DBPROPSET rgPropertySets[], IUnknown* pUnkOuter,
                             REFIID riid, IUnknown** ppDBSession) override;
    HRESULT DestroyDataSource() override;

  private:
    PgDataSource() = default;
    ~PgDataSource() override = default;

    HRESULT InitializeLocked(REFIID iid);
    HRESULT Target(REFIID iid, PgTarget* target) const;
    DBPROPSTATUS ReadProperty(const GUID& set, DBPROPID id, VARIANT* value) const;
    DBPROPSTATUS WriteProperty(const GUID& set, const DBPROP& prop);

    mutable std::mutex mutex_;
    provider::InitProperties init_;
    std::shared_ptr<PgConnection> conn_;
    std::atomic<int> liveSessions_{0};
};

}  // namespace vorn::pgprovider
