// Recordsets: commands that manage their connection and build their own SELECTs.
#include "vornoledb/recordset.h"

#include <cwctype>
#include <new>

#include "vornoledb/connection_cache.h"
#include "vornoledb/platform/format.h"

namespace {
// Null, empty, or nothing but white space and control characters.
bool IsBlank(const wchar_t* text) {
    if (!text)
        return true;
    for (; *text; ++text)
        if (!std::iswspace(static_cast<wint_t>(*text)) &&
            !std::iswcntrl(static_cast<wint_t>(*text)))
            return false;
    return true;
}
}  // namespace

VornOleDbRecordset::VornOleDbRecordset(ConnectType type) : m_connectType(type) {}

VornOleDbRecordset::~VornOleDbRecordset() {
    VornOleDbRecordset::Close();
}

void VornOleDbRecordset::ReleaseConnection() {
    VornOleDbConnection* connection = GetConnection();
    if (connection) {
        switch (m_connectType) {
            case ctCached:
                if (VornOleDbConnectionCache* cache = VornOleDbConnectionCache::GetCacheManager())
                    cache->Cache(connection);
                else
                    delete connection;  // no cache left to take it: the recordset ends it
                break;
            case ctPrivate:
                connection->Close();
                delete connection;
                break;
            case ctExternal:
                break;
        }
    }
    VornOleDbCommand::SetConnection(nullptr);
}

void VornOleDbRecordset::Close() {
    VornOleDbCommand::Close();
    ReleaseConnection();
}

void VornOleDbRecordset::SetConnection(VornOleDbConnection* connection) {
    if (m_connectType != ctExternal)
        return;
    if (connection && connection != GetConnection()) {
        Close();
        VornOleDbCommand::SetConnection(connection);
    }
}

bool VornOleDbRecordset::Open(const std::wstring& init, bool prompt) {
    Close();
    switch (m_connectType) {
        case ctCached: {
            VornOleDbConnectionCache* cache = VornOleDbConnectionCache::GetCacheManager();
            // On failure the cache writes its reason into this recordset under its lock.
            VornOleDbConnection* connection = cache ? cache->Connect(init, prompt, this) : nullptr;
            if (connection)
                VornOleDbCommand::SetConnection(connection);
            else if (!cache)
                SetErrorInfo(
                    L"The connection cache is not available: the library has not been "
                    L"started or has already ended.",
                    std::wstring());
            break;
        }
        case ctPrivate: {
            // Running out of memory raises std::bad_alloc, as everywhere in the library
            // (the cache's Connect included); the recordset is then without a connection.
            auto* connection = new VornOleDbConnection;
            VornOleDbCommand::SetConnection(connection);
            if (!CheckResult(connection->OpenFromInitializationString(init, prompt))) {
                SetErrorInfo(connection->GetErrorInfo(false), std::wstring());
                VornOleDbCommand::SetConnection(nullptr);
                delete connection;
            }
            break;
        }
        case ctExternal:
            break;
    }
    return GetConnection() != nullptr;
}

bool VornOleDbRecordset::GetRecords(const wchar_t* table, const wchar_t* fields,
                                    const wchar_t* filter, const wchar_t* sort) {
    VornOleDbConnection* connection = GetConnection();
    if (!connection || !connection->IsConnected() || IsBlank(table) || IsBlank(fields))
        return false;
    VornOleDbCommand::Close();
    std::wstring statement = VornFormat(L"SELECT %s FROM %s", fields, table);
    if (!IsBlank(filter))
        VornAppendFormat(statement, L" WHERE %s", filter);
    if (!IsBlank(sort))
        VornAppendFormat(statement, L" ORDER BY %s", sort);
    SetCommandText(statement.c_str());
    return Execute() == dbOK;
}

bool VornOleDbRecordset::GetRecNum(const wchar_t* table, const wchar_t* filter) {
    VornOleDbConnection* connection = GetConnection();
    if (!connection || !connection->IsConnected() || IsBlank(table))
        return false;
    VornOleDbCommand::Close();
    std::wstring statement = VornFormat(L"SELECT COUNT(*) FROM %s", table);
    if (!IsBlank(filter))
        VornAppendFormat(statement, L" WHERE %s", filter);
    SetCommandText(statement.c_str());
    return Execute() == dbOK;
}
