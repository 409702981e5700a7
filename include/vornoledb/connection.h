// One open data source with one session, opened from an OLE DB connection string.
#pragma once

#include <string>

#include "vornoledb/error_info.h"
#include "vornoledb/platform/oledb.h"

// The session of a connection: commands and schema readers take its IOpenRowset.
class VORNOLEDB_API VornOleDbSession {
  public:
    vornoledb::IOpenRowset* Get() const { return m_spOpenRowset.Get(); }
    void Close() { m_spOpenRowset.Reset(); }

    vornoledb::ComPtr<vornoledb::IOpenRowset> m_spOpenRowset;
};

class VORNOLEDB_API VornOleDbConnection : public VornOleDbErrorInfo {
  public:
    VornOleDbConnection();
    ~VornOleDbConnection();

    // Opens the data source and a session; S_OK when both are open, E_FAIL when the data
    // source could not be opened, or the session's failure.
    vornoledb::HRESULT OpenFromInitializationString(const std::wstring& init, bool prompt);
    void Close();
    // Same connection string as the one this connection was opened from, ignoring case.
    bool SameInit(const std::wstring& init) const;
    bool IsConnected() const;
    bool IsReadOnly();
    bool GetDatasource(std::wstring& name);
    bool GetCurrentCatalog(std::wstring& name);
    const std::wstring& GetInit() const;
    VornOleDbSession& GetSession();
    // The shared value converter, created on first request; borrowed, may be null.
    vornoledb::IDataConvert* GetIDataConvert();

    bool StartTransaction();
    bool Commit();
    bool Rollback();

    // Creates a new empty database file through the provider named by init.
    static vornoledb::HRESULT CreateMdbFile(const std::wstring& init, const std::wstring& file,
                                            VornOleDbErrorInfo& errors);
    static vornoledb::HRESULT CreateMdbFile(const std::wstring& init, const std::wstring& file);
    // Compacts the database file of this connection where it lies (through the database
    // engine's own lock and journal, so that other programs that have it open stay
    // correct); the connection is closed afterwards.
    vornoledb::HRESULT CompactMdb();

  private:
    VornOleDbConnection(const VornOleDbConnection&);
    VornOleDbConnection& operator=(const VornOleDbConnection&);

    vornoledb::HRESULT OpenDataSource(const std::wstring& init, bool prompt);
    vornoledb::HRESULT ReadProperty(const vornoledb::GUID& propertySet, vornoledb::DBPROPID id,
                                    vornoledb::VARIANT* value) const;

    vornoledb::ComPtr<vornoledb::IDBInitialize> m_spDataSource;
    VornOleDbSession m_session;
    vornoledb::ComPtr<vornoledb::IDataConvert> m_spConvert;
    std::wstring m_init;
};
