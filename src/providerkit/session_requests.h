// The argument checks every provider's session makes before it looks anything up:
// IOpenRowset::OpenRowset, ITableCreation::GetTableDefinition, and handing out new session
// and command objects. Each posts a record on failure.
#pragma once

#include <string>

#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

// OpenRowset: a table id by name and no index; *name is the table's name.
HRESULT ReadOpenRowsetArgs(DBID* pTableID, DBID* pIndexID, ULONG cPropertySets,
                           DBPROPSET rgPropertySets[], IUnknown** ppRowset, std::wstring* name);

// GetTableDefinition: clears every output, checks that counts come with their arrays and
// that the id names a table; *name is its name.
HRESULT ReadTableDefinitionArgs(DBID* pTableID, DBORDINAL* pcColumnDescs,
                                DBCOLUMNDESC* prgColumnDescs[], ULONG* pcPropertySets,
                                DBPROPSET* prgPropertySets[], ULONG* pcConstraintDescs,
                                DBCONSTRAINTDESC* prgConstraintDescs[], OLECHAR** ppwszStringBuffer,
                                std::wstring* name);

// A new session object (null: the data source is not initialized) answered for riid into
// *ppDBSession, with the records IDBCreateSession posts.
HRESULT HandOutSession(IUnknown* session, REFIID riid, IUnknown** ppDBSession);

// ICommand::GetDBSession: the command's session (S_FALSE when it has none).
HRESULT AnswerCommandSession(IUnknown* session, REFIID riid, IUnknown** ppSession);

// A new command object (null when it could not be allocated) answered for riid into
// *ppCommand, with the records IDBCreateCommand posts.
HRESULT HandOutCommand(IUnknown* command, REFIID riid, IUnknown** ppCommand);

}  // namespace vorn::provider
