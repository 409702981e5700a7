// Host SQL to SQLite SQL.
#include "execution/prepare_sql_text.h"

#include "vornoledb/platform/text.h"

namespace vorn::provider {

std::string PrepareSqlText(const std::wstring& hostSql) {
    return WideToUtf8(hostSql);
}

}  // namespace vorn::provider
