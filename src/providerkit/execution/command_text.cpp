// The text of a command.
#include "execution/command_text.h"

#include <cstring>

#include "execution/result_codes.h"
#include "provider_errors.h"

namespace vorn::provider {

HRESULT SetCommandText(CommandTextState* state, REFGUID rguidDialect, LPCOLESTR pwszCommand) {
    if (rguidDialect != DBGUID_DEFAULT && rguidDialect != DBGUID_SQL)
        return PostProviderError(DB_E_DIALECTNOTSUPPORTED, IID_ICommandText,
                                 L"Setting the command text: the only dialect understood is SQL "
                                 L"(DBGUID_DEFAULT or DBGUID_SQL)");
    state->hasText = pwszCommand != nullptr;
    state->text = pwszCommand ? pwszCommand : L"";
    state->dialect = rguidDialect;
    return S_OK;
}

HRESULT GetCommandText(const CommandTextState& state, GUID* pguidDialect, LPOLESTR* ppwszCommand) {
    if (!ppwszCommand)
        return PostProviderError(E_INVALIDARG, IID_ICommandText,
                                 L"No place for the command text was given");
    *ppwszCommand = nullptr;
    if (!state.hasText) {
        if (pguidDialect)
            *pguidDialect = GUID_NULL;
        return PostProviderError(DB_E_NOCOMMAND, IID_ICommandText,
                                 L"No command text has been set on the command");
    }
    const size_t bytes = (state.text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (!copy)
        return PostProviderError(E_OUTOFMEMORY, IID_ICommandText, L"Out of memory");
    std::memcpy(copy, state.text.c_str(), bytes);
    *ppwszCommand = copy;
    if (pguidDialect)
        *pguidDialect = state.dialect;
    return S_OK;
}

}  // namespace vorn::provider
