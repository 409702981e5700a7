// The PostgreSQL test server.
#include "support/pg_server.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "vornoledb/command.h"
#include "vornoledb/connection.h"
#include "vornoledb/platform/text.h"

namespace vorn::test {

std::wstring PgConnectionString() {
    const char* server = std::getenv("VORNOLEDB_PG_TEST");
    if (!server || !*server)
        return L"";
    return L"Provider=PostgreSQL;" + Utf8ToWide(server);
}

std::wstring PgName(const std::wstring& base) {
    return base + L"_" + std::to_wstring(static_cast<long>(getpid()));
}

void PgRun(VornOleDbConnection& connection, const std::wstring& sql) {
    VornOleDbCommand command;
    command.SetConnection(&connection);
    command.SetCommandText(sql.c_str());
    const VornOleDbCommand::dbStatus status = command.Execute();
    EXPECT_EQ(status, VornOleDbCommand::dbOK)
        << WideToUtf8(sql) << ": " << WideToUtf8(command.GetErrorText());
}

std::wstring PgQuery(VornOleDbConnection& connection, const std::wstring& sql) {
    VornOleDbCommand command;
    command.SetConnection(&connection);
    command.SetCommandText(sql.c_str());
    if (command.Execute() != VornOleDbCommand::dbOK) {
        ADD_FAILURE() << WideToUtf8(sql) << ": " << WideToUtf8(command.GetErrorText());
        return L"";
    }
    if (command.FetchNext() != VornOleDbCommand::dbOK)
        return L"";
    return command.FieldAsString(1);
}

}  // namespace vorn::test
