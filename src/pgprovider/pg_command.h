// Command objects of the PostgreSQL provider: SQL text in the server's own dialect, sent as
// it is written; the last statement's rows become a rowset read in single-row mode.
#pragma once

#include <memory>

#include "pg_connection.h"
#include "rowset/rowset_properties.h"

namespace vorn::pgprovider {

// Makes a new command object on conn for riid; session is the creating session, which the
// command keeps alive and answers from ICommand::GetDBSession.
HRESULT CreatePgCommand(const std::shared_ptr<PgConnection>& conn, IUnknown* session, REFIID riid,
                        IUnknown** ppCommand);

// Runs text on conn for a command or session: the rows of the last statement that returns
// rows as a rowset answering riid (when ppRowset and riid ask for one), the rows changed by
// the others in *pcRowsAffected. creator is the rowset's creator.
HRESULT ExecutePgText(const std::shared_ptr<PgConnection>& conn, const std::wstring& text,
                      const provider::RowsetProperties& properties, IUnknown* creator, REFIID riid,
                      DBROWCOUNT* pcRowsAffected, IUnknown** ppRowset);

}  // namespace vorn::pgprovider
