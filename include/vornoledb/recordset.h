// A command that manages its own connection and builds SELECT and COUNT statements from
// table, field list, filter and sort order.
#pragma once

#include <string>

#include "vornoledb/command.h"

// Built on VornOleDbCommand, whose destructor is not virtual (see there).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class VORNOLEDB_API VornOleDbRecordset : public VornOleDbCommand {
  public:
    enum ConnectType : int32_t {
        ctCached = 0,    // from the process-wide connection cache, handed back on Close
        ctPrivate = 1,   // opened by the recordset, closed and destroyed on Close
        ctExternal = 2,  // attached by the host with SetConnection, never touched
    };

    explicit VornOleDbRecordset(ConnectType type);

    // Attaches the host's connection (ctExternal only).
    void SetConnection(VornOleDbConnection* connection) override;
    // Releases the result and the connection as the connect type says.
    void Close() override;

    virtual ~VornOleDbRecordset();

    // Connects from a connection string; true when a connection is attached.
    virtual bool Open(const std::wstring& init, bool prompt);
    // Runs "SELECT fields FROM table [WHERE filter] [ORDER BY sort]".
    virtual bool GetRecords(const wchar_t* table, const wchar_t* fields, const wchar_t* filter,
                            const wchar_t* sort);
    // Runs "SELECT COUNT(*) FROM table [WHERE filter]"; the count is field 1 of row 1.
    virtual bool GetRecNum(const wchar_t* table, const wchar_t* filter);

  private:
    VornOleDbRecordset(const VornOleDbRecordset&);
    VornOleDbRecordset& operator=(const VornOleDbRecordset&);

    void ReleaseConnection();

    ConnectType m_connectType;
};
#pragma GCC diagnostic pop
