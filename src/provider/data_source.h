// The data source object of the embedded provider: initialisation properties, opening the
// store its data source names, sessions, creation of new database files.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "database_access.h"
#include "init_properties.h"
#include "sqlite_database.h"
#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

class DataSource final : public ComObject<IDBInitialize, IDBProperties, IDBCreateSession,
                                          IDBDataSourceAdmin, IProviderDatabase> {
  public:
    // The class factory of CLSID_ACE_OLEDB_12 and CLSID_JET_OLEDB_4.
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);

    // IDBInitialize: opens the store named by DBPROP_INIT_DATASOURCE: the kind named in
    // Extended Properties (text ...), else by the file's content (a SQLite file, or a
    // foreign store told by its first bytes), or ":memory:"; other kinds of file fail with a
    // record naming the file and its kind.
    HRESULT Initialize() override;
    // Closes the database; refused with DB_E_OBJECTOPEN while sessions exist.
    HRESULT Uninitialize() override;

    // IDBProperties: DBPROPSET_DBINIT (settable before Initialize), DBPROPSET_DATASOURCEINFO
    // and DBPROPSET_DATASOURCE (read-only).
    HRESULT GetProperties(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[],
                          ULONG* pcPropertySets, DBPROPSET** prgPropertySets) override;
    HRESULT SetProperties(ULONG cPropertySets, DBPROPSET rgPropertySets[]) override;

    // IDBCreateSession
    HRESULT CreateSession(IUnknown* pUnkOuter, REFIID riid, IUnknown** ppDBSession) override;

    // IDBDataSourceAdmin: CreateDataSource makes a new empty SQLite database at
    // DBPROP_INIT_DATASOURCE, whatever its extension, never touching an existing file, and
    // leaves the data source initialized on it. DestroyDataSource deletes the database file
    // of an initialized data source that nobody else has open.
    HRESULT CreateDataSource(ULONG cPropertySets, DBPROPSET rgPropertySets[], IUnknown* pUnkOuter,
                             REFIID riid, IUnknown** ppDBSession) override;
    HRESULT DestroyDataSource() override;

    // IProviderDatabase
    std::shared_ptr<Database> GetDatabase() override;

  private:
    DataSource() = default;
    ~DataSource() override = default;

    HRESULT InitializeLocked(REFIID iid);
    HRESULT SetPropertiesLocked(ULONG cPropertySets, DBPROPSET rgPropertySets[], REFIID iid);
    HRESULT CreateSessionLocked(REFIID riid, IUnknown** ppDBSession);
    HRESULT CreateDatabaseFile(REFIID iid);
    HRESULT CheckProviderString(REFIID iid) const;
    DBPROPSTATUS ReadProperty(const GUID& set, DBPROPID id, VARIANT* value) const;
    DBPROPSTATUS WriteProperty(const GUID& set, const DBPROP& prop);
    bool ExclusiveMode() const;

    std::mutex mutex_;
    InitProperties init_;
    HRESULT OpenStore(const void* kind, REFIID iid);

    std::shared_ptr<Database> db_;
    std::atomic<int> liveSessions_{0};
};

}  // namespace vorn::provider
