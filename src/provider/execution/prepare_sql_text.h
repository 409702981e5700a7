// The one place where a host's SQL text becomes the text SQLite prepares. The Jet
// dialect translator goes here; until then the text passes unchanged, as UTF-8.
#pragma once

#include <string>

namespace vorn::provider {

std::string PrepareSqlText(const std::wstring& hostSql);

}  // namespace vorn::provider
