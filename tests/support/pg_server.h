// The PostgreSQL server the server provider's tests run against: scripts/test.sh (or
// scripts/pg-test-server.sh for a developer) starts a throwaway cluster and names it in
// VORNOLEDB_PG_TEST ("Data Source=127.0.0.1:port;Initial Catalog=...;User ID=...;
// Password=..."). Without it, those tests skip.
#pragma once

#include <string>

class VornOleDbConnection;

namespace vorn::test {

// The connection string of the test server ("Provider=PostgreSQL;" and the variable's
// text), or "" when no server is set.
std::wstring PgConnectionString();

// Skips the current test (GTEST_SKIP) when no server is set.
#define VORN_REQUIRE_PG_SERVER()                                                               \
    do {                                                                                       \
        if (::vorn::test::PgConnectionString().empty())                                        \
            GTEST_SKIP() << "no PostgreSQL test server: set VORNOLEDB_PG_TEST (scripts/"       \
                            "pg-test-server.sh start prints it; scripts/test.sh does it all)"; \
    } while (0)

// A name unique to this test process, so that tests running side by side on one server
// keep to their own tables: base + "_" + the process id.
std::wstring PgName(const std::wstring& base);

// Runs SQL on the connection; fails the current test with the error text when it fails.
void PgRun(VornOleDbConnection& connection, const std::wstring& sql);

// The first field of the first row of a query ("" for none).
std::wstring PgQuery(VornOleDbConnection& connection, const std::wstring& sql);

}  // namespace vorn::test
