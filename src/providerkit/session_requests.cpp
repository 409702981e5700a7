// Argument checks of sessions.
#include "session_requests.h"

#include "provider_errors.h"

namespace vorn::provider {

HRESULT ReadOpenRowsetArgs(DBID* pTableID, DBID* pIndexID, ULONG cPropertySets,
                           DBPROPSET rgPropertySets[], IUnknown** ppRowset, std::wstring* name) {
    if (ppRowset)
        *ppRowset = nullptr;
    if (!pTableID && !pIndexID)
        return PostProviderError(E_INVALIDARG, IID_IOpenRowset,
                                 L"OpenRowset needs the id of the table to open");
    if (cPropertySets && !rgPropertySets)
        return PostProviderError(E_INVALIDARG, IID_IOpenRowset,
                                 L"OpenRowset was given property sets without their array");
    if (pIndexID)
        return PostProviderError(DB_E_NOINDEX, IID_IOpenRowset,
                                 L"opening an index as a rowset is not supported; open the "
                                 L"table or run a SELECT with ORDER BY");
    if (pTableID->eKind != DBKIND_NAME || !pTableID->uName.pwszName || !*pTableID->uName.pwszName)
        return PostProviderError(DB_E_NOTABLE, IID_IOpenRowset,
                                 L"the table id given to OpenRowset holds no table name");
    *name = pTableID->uName.pwszName;
    return S_OK;
}

HRESULT ReadTableDefinitionArgs(DBID* pTableID, DBORDINAL* pcColumnDescs,
                                DBCOLUMNDESC* prgColumnDescs[], ULONG* pcPropertySets,
                                DBPROPSET* prgPropertySets[], ULONG* pcConstraintDescs,
                                DBCONSTRAINTDESC* prgConstraintDescs[], OLECHAR** ppwszStringBuffer,
                                std::wstring* name) {
    if (pcColumnDescs)
        *pcColumnDescs = 0;
    if (prgColumnDescs)
        *prgColumnDescs = nullptr;
    if (pcPropertySets)
        *pcPropertySets = 0;
    if (prgPropertySets)
        *prgPropertySets = nullptr;
    if (pcConstraintDescs)
        *pcConstraintDescs = 0;
    if (prgConstraintDescs)
        *prgConstraintDescs = nullptr;
    if (ppwszStringBuffer)
        *ppwszStringBuffer = nullptr;
    if (!pTableID)
        return PostProviderError(E_INVALIDARG, IID_ITableCreation,
                                 L"GetTableDefinition needs the id of the table");
    if (!pcColumnDescs != !prgColumnDescs || !pcPropertySets != !prgPropertySets ||
        !pcConstraintDescs != !prgConstraintDescs)
        return PostProviderError(E_INVALIDARG, IID_ITableCreation,
                                 L"GetTableDefinition was given a count without its array or "
                                 L"an array without its count");
    const bool named = pTableID->eKind == DBKIND_NAME || pTableID->eKind == DBKIND_GUID_NAME ||
                       pTableID->eKind == DBKIND_PGUID_NAME;
    if (!named || !pTableID->uName.pwszName || !*pTableID->uName.pwszName)
        return PostProviderError(DB_E_NOTABLE, IID_ITableCreation,
                                 L"the table id given to GetTableDefinition holds no table name");
    *name = pTableID->uName.pwszName;
    return S_OK;
}

HRESULT HandOutSession(IUnknown* session, REFIID riid, IUnknown** ppDBSession) {
    if (!session)
        return PostProviderError(E_UNEXPECTED, IID_IDBCreateSession,
                                 L"a session needs an initialized data source; call "
                                 L"Initialize first");
    const HRESULT hr = session->QueryInterface(riid, reinterpret_cast<void**>(ppDBSession));
    if (FAILED(hr))
        return PostProviderError(hr, IID_IDBCreateSession,
                                 L"the session does not offer the interface asked for");
    ClearProviderError();
    return S_OK;
}

HRESULT AnswerCommandSession(IUnknown* session, REFIID riid, IUnknown** ppSession) {
    if (!ppSession)
        return PostProviderError(E_INVALIDARG, IID_ICommand,
                                 L"No place for the command's session was given");
    *ppSession = nullptr;
    if (!session)
        return S_FALSE;
    return session->QueryInterface(riid, reinterpret_cast<void**>(ppSession));
}

HRESULT HandOutCommand(IUnknown* command, REFIID riid, IUnknown** ppCommand) {
    if (!command)
        return PostProviderError(E_OUTOFMEMORY, IID_IDBCreateCommand,
                                 L"Out of memory creating a command");
    const HRESULT hr = command->QueryInterface(riid, reinterpret_cast<void**>(ppCommand));
    if (FAILED(hr))
        return PostProviderError(hr, IID_IDBCreateCommand,
                                 L"Creating a command: the command does not offer the interface "
                                 L"asked for");
    return S_OK;
}

}  // namespace vorn::provider
