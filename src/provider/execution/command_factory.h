// Creation of command objects on a session (IDBCreateCommand::CreateCommand).
#pragma once

#include <memory>

#include "database.h"
#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

// Makes a new command object over db for riid. session is the creating session, which the
// command keeps alive and answers from ICommand::GetDBSession.
HRESULT CreateCommandObject(const std::shared_ptr<Database>& db, IUnknown* session, REFIID riid,
                            IUnknown** ppCommand);

}  // namespace vorn::provider
