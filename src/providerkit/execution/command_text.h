// ICommandText::SetCommandText and GetCommandText over a command's text, as every
// provider's command keeps it: the SQL dialect only (DBGUID_DEFAULT or DBGUID_SQL), a null
// text clearing it, and a copy for the caller.
#pragma once

#include <string>

#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

struct CommandTextState {
    bool hasText = false;
    std::wstring text;
    GUID dialect = DBGUID_DEFAULT;
};

HRESULT SetCommandText(CommandTextState* state, REFGUID rguidDialect, LPCOLESTR pwszCommand);
HRESULT GetCommandText(const CommandTextState& state, GUID* pguidDialect, LPOLESTR* ppwszCommand);

}  // namespace vorn::provider
