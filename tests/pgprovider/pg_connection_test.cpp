// Connections, transactions, the connection cache and lost connections on a PostgreSQL
// server, through the exported classes.
#include <gtest/gtest.h>

#include "support/pg_server.h"
#include "vornoledb/command.h"
#include "vornoledb/connection.h"
#include "vornoledb/connection_cache.h"
#include "vornoledb/platform/text.h"

using vorn::test::PgConnectionString;
using vorn::test::PgName;
using vorn::test::PgQuery;
using vorn::test::PgRun;

namespace {

// The connection string with one key's value replaced.
std::wstring WithKey(const std::wstring& init, const std::wstring& key, const std::wstring& value) {
    std::wstring out;
    size_t start = 0;
    while (start < init.size()) {
        size_t end = init.find(L';', start);
        if (end == std::wstring::npos)
            end = init.size();
        const std::wstring part = init.substr(start, end - start);
        if (part.compare(0, key.size() + 1, key + L"=") != 0 && !part.empty())
            out += part + L";";
        start = end + 1;
    }
    return out + key + L"=" + value + L";";
}

TEST(PgConnectionTest, OpensAndDescribesTheServer) {
    VORN_REQUIRE_PG_SERVER();
    VornOleDbConnection c;
    ASSERT_EQ(c.OpenFromInitializationString(PgConnectionString(), false), S_OK)
        << WideToUtf8(c.GetErrorText());
    EXPECT_TRUE(c.IsConnected());
    EXPECT_FALSE(c.IsReadOnly());
    std::wstring catalog;
    EXPECT_TRUE(c.GetCurrentCatalog(catalog));
    EXPECT_EQ(catalog, L"vorntest");
    std::wstring source;
    EXPECT_TRUE(c.GetDatasource(source));
    EXPECT_NE(source.find(L"127.0.0.1"), std::wstring::npos);

    // The provider's versioned name opens the same server.
    std::wstring versioned = PgConnectionString();
    versioned.replace(0, std::wstring(L"Provider=PostgreSQL;").size(), L"Provider=PostgreSQL.1;");
    VornOleDbConnection v;
    EXPECT_EQ(v.OpenFromInitializationString(versioned, false), S_OK)
        << WideToUtf8(v.GetErrorText());

    // Extended Properties carries further libpq keywords.
    VornOleDbConnection named;
    ASSERT_EQ(named.OpenFromInitializationString(
                  PgConnectionString() +
                      L";Extended Properties=\"application_name=vorn-tests;connect_timeout=5\";",
                  false),
              S_OK)
        << WideToUtf8(named.GetErrorText());
    EXPECT_EQ(PgQuery(named, L"SELECT current_setting('application_name')"), L"vorn-tests");

    // Mode=Read makes the session read-only on the server as well.
    VornOleDbConnection r;
    ASSERT_EQ(r.OpenFromInitializationString(PgConnectionString() + L";Mode=Read;", false), S_OK);
    EXPECT_TRUE(r.IsReadOnly());
    VornOleDbCommand write;
    write.SetConnection(&r);
    write.SetCommandText((L"CREATE TABLE " + PgName(L"never") + L"(a int)").c_str());
    EXPECT_EQ(write.Execute(), VornOleDbCommand::dbError);
    EXPECT_NE(write.GetErrorText().find(L"read-only"), std::wstring::npos)
        << WideToUtf8(write.GetErrorText());
}

TEST(PgConnectionTest, RefusalsNameTheServerAndNeverThePassword) {
    VORN_REQUIRE_PG_SERVER();
    const std::wstring secret = L"Wr0ng'Secret;x";
    VornOleDbConnection c;
    const std::wstring init = WithKey(PgConnectionString(), L"Password", L"\"" + secret + L"\"");
    EXPECT_NE(c.OpenFromInitializationString(init, false), S_OK);
    const std::wstring text = c.GetErrorInfo(true);
    EXPECT_NE(text.find(L"password authentication failed"), std::wstring::npos) << WideToUtf8(text);
    EXPECT_NE(text.find(L"127.0.0.1"), std::wstring::npos) << WideToUtf8(text);
    EXPECT_NE(text.find(L"vorntest"), std::wstring::npos) << WideToUtf8(text);
    EXPECT_EQ(text.find(L"Wr0ng"), std::wstring::npos) << WideToUtf8(text);
    EXPECT_FALSE(c.IsConnected());

    // Nobody listens on port 1: the text names host, port and database.
    VornOleDbConnection none;
    const std::wstring nowhere = WithKey(PgConnectionString(), L"Data Source", L"127.0.0.1:1");
    EXPECT_NE(none.OpenFromInitializationString(
                  nowhere + L"Extended Properties=\"connect_timeout=5\";", false),
              S_OK);
    const std::wstring refused = none.GetErrorInfo(true);
    EXPECT_NE(refused.find(L"port 1,"), std::wstring::npos) << WideToUtf8(refused);
    EXPECT_EQ(refused.find(L"vorn-test-pw"), std::wstring::npos) << WideToUtf8(refused);

    // Database files are the embedded provider's: both are refused in words.
    VornOleDbErrorInfo errors;
    EXPECT_TRUE(
        FAILED(VornOleDbConnection::CreateMdbFile(PgConnectionString(), L"/tmp/x.db", errors)));
    EXPECT_NE(errors.GetErrorText().find(L"CREATE DATABASE"), std::wstring::npos)
        << WideToUtf8(errors.GetErrorText());
    VornOleDbConnection open;
    ASSERT_EQ(open.OpenFromInitializationString(PgConnectionString(), false), S_OK);
    EXPECT_TRUE(FAILED(open.CompactMdb()));
    EXPECT_NE(open.GetErrorText().find(L"server"), std::wstring::npos)
        << WideToUtf8(open.GetErrorText());
}

TEST(PgConnectionTest, ARolledBackWriteIsNeverSeenByAnotherConnection) {
    VORN_REQUIRE_PG_SERVER();
    VornOleDbConnection a, b;
    ASSERT_EQ(a.OpenFromInitializationString(PgConnectionString(), false), S_OK);
    ASSERT_EQ(b.OpenFromInitializationString(PgConnectionString(), false), S_OK);
    const std::wstring t = PgName(L"tx");
    PgRun(a, L"DROP TABLE IF EXISTS " + t);
    PgRun(a, L"CREATE TABLE " + t + L"(id int PRIMARY KEY, v varchar(40))");

    ASSERT_TRUE(a.StartTransaction()) << WideToUtf8(a.GetErrorText());
    EXPECT_FALSE(a.StartTransaction());  // one level only
    PgRun(a, L"INSERT INTO " + t + L" VALUES (1, 'rolled back')");
    EXPECT_EQ(PgQuery(a, L"SELECT count(*) FROM " + t), L"1");
    EXPECT_EQ(PgQuery(b, L"SELECT count(*) FROM " + t), L"0");
    ASSERT_TRUE(a.Rollback()) << WideToUtf8(a.GetErrorText());
    EXPECT_EQ(PgQuery(b, L"SELECT count(*) FROM " + t), L"0");
    EXPECT_EQ(PgQuery(a, L"SELECT count(*) FROM " + t), L"0");
    EXPECT_FALSE(a.Rollback());  // nothing to roll back

    ASSERT_TRUE(a.StartTransaction());
    PgRun(a, L"INSERT INTO " + t + L" VALUES (2, 'kept')");
    ASSERT_TRUE(a.Commit()) << WideToUtf8(a.GetErrorText());
    EXPECT_EQ(PgQuery(b, L"SELECT v FROM " + t), L"kept");

    // A failed statement inside a transaction makes the commit fail, saying why.
    ASSERT_TRUE(a.StartTransaction());
    VornOleDbCommand dup;
    dup.SetConnection(&a);
    dup.SetCommandText((L"INSERT INTO " + t + L" VALUES (2, 'duplicate')").c_str());
    EXPECT_EQ(dup.Execute(), VornOleDbCommand::dbError);
    EXPECT_NE(dup.GetErrorText().find(L"23505"), std::wstring::npos)
        << WideToUtf8(dup.GetErrorText());
    EXPECT_FALSE(a.Commit());
    EXPECT_NE(a.GetErrorText().find(L"rolled it back"), std::wstring::npos)
        << WideToUtf8(a.GetErrorText());

    // Rows nobody reads cannot fail the host's transaction: a query whose second batch of
    // rows would fail, left after its first rows, lets the transaction commit.
    ASSERT_TRUE(a.StartTransaction());
    PgRun(a, L"INSERT INTO " + t + L" VALUES (3, 'after a partial read')");
    {
        VornOleDbCommand partial;
        partial.SetConnection(&a);
        partial.SetCommandText(L"SELECT 10 / (1500 - n) FROM generate_series(1, 2000) AS n");
        ASSERT_EQ(partial.Execute(), VornOleDbCommand::dbOK) << WideToUtf8(partial.GetErrorText());
        for (int i = 0; i < 10; ++i)
            ASSERT_EQ(partial.FetchNext(), VornOleDbCommand::dbOK);
        partial.Close();
    }
    ASSERT_TRUE(a.Commit()) << WideToUtf8(a.GetErrorText());
    EXPECT_EQ(PgQuery(b, L"SELECT v FROM " + t + L" WHERE id = 3"), L"after a partial read");
    PgRun(a, L"DROP TABLE " + t);
}

// The server ends the connection's backend, as it does when it is stopped or restarted.
void KillBackend(VornOleDbConnection& victim) {
    const std::wstring pid = PgQuery(victim, L"SELECT pg_backend_pid()");
    VornOleDbConnection killer;
    ASSERT_EQ(killer.OpenFromInitializationString(PgConnectionString(), false), S_OK);
    EXPECT_EQ(PgQuery(killer, L"SELECT pg_terminate_backend(" + pid + L")"), L"-1");
}

TEST(PgConnectionTest, ALostConnectionFailsClearlyAndTheCacheDropsIt) {
    VORN_REQUIRE_PG_SERVER();
    VornOleDbConnectionCache* cache = VornOleDbConnectionCache::GetCacheManager();
    const std::wstring init = PgConnectionString();
    cache->ClearCache(init);
    VornOleDbConnection* c = cache->Connect(init, false);
    ASSERT_NE(c, nullptr);
    ASSERT_TRUE(c->IsConnected());
    KillBackend(*c);

    VornOleDbCommand command;
    command.SetConnection(c);
    command.SetCommandText(L"SELECT 1");
    EXPECT_EQ(command.Execute(), VornOleDbCommand::dbError);
    const std::wstring text = command.GetErrorText();
    EXPECT_NE(text.find(L"connection to the PostgreSQL server at host '127.0.0.1'"),
              std::wstring::npos)
        << WideToUtf8(text);
    EXPECT_NE(text.find(L"was lost"), std::wstring::npos) << WideToUtf8(text);
    EXPECT_FALSE(c->IsConnected());
    command.Close();

    // Handed back, the broken connection is closed rather than kept for the next user.
    cache->Cache(c);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(cache->ConnectFromCache(init), nullptr);
    VornOleDbConnection* fresh = cache->Connect(init, false);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(PgQuery(*fresh, L"SELECT 40 + 2"), L"42");

    // An idle connection whose server went away meanwhile is found broken by its next
    // call; the cache then drops it too.
    KillBackend(*fresh);
    VornOleDbCommand probe;
    probe.SetConnection(fresh);
    probe.SetCommandText(L"SELECT 1");
    EXPECT_EQ(probe.Execute(), VornOleDbCommand::dbError);
    probe.Close();
    cache->Cache(fresh);
    EXPECT_EQ(fresh, nullptr);
    cache->ClearCache(init);
}

}  // namespace
