// The process-wide pool with real connections on SQLite files.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "support/temp_database.h"
#include "vornoledb/connection_cache.h"
#include "vornoledb/recordset.h"
#include "error_records.h"
#include "vornoledb/platform/text.h"

using vorn::test::ConnectionString;
using vorn::test::RunSql;
using vorn::test::TempFolder;

namespace {

// Reaches the start and end operations that the module normally calls.
struct CacheLifetime : VornOleDbConnectionCache {
    using VornOleDbConnectionCache::CloseConnectionCache;
    using VornOleDbConnectionCache::InitConnectionCache;
};

class ConnectionCacheTest : public ::testing::Test {
  protected:
    void SetUp() override {
        cache = VornOleDbConnectionCache::GetCacheManager();
        ASSERT_NE(nullptr, cache) << "the module start hook did not create the cache";
        cache->ClearCache();
        cache->SetCacheSize(4);
        file = dir.File("pool.db");
        RunSql(file, "CREATE TABLE t(a)");
        init = ConnectionString(file);
    }
    void TearDown() override {
        cache->ClearCache();
        cache->SetCacheSize(4);
    }
    // Opens n connections outside the cache.
    std::vector<VornOleDbConnection*> Open(size_t n, const std::wstring& s) {
        std::vector<VornOleDbConnection*> out;
        for (size_t i = 0; i < n; ++i) {
            auto* c = new VornOleDbConnection;
            EXPECT_EQ(S_OK, c->OpenFromInitializationString(s, false));
            out.push_back(c);
        }
        return out;
    }
    // Counts the idle connections for s by taking them all and handing them back.
    size_t Idle(const std::wstring& s) {
        std::vector<VornOleDbConnection*> taken;
        while (VornOleDbConnection* c = cache->ConnectFromCache(s))
            taken.push_back(c);
        for (VornOleDbConnection* c : taken)
            cache->Cache(c);
        return taken.size();
    }

    TempFolder dir;
    std::string file;
    std::wstring init;
    VornOleDbConnectionCache* cache = nullptr;
};

}  // namespace

TEST_F(ConnectionCacheTest, FifthConnectionBeyondTheSizeIsClosed) {
    auto conns = Open(5, init);
    for (int i = 0; i < 4; ++i) {
        cache->Cache(conns[i]);
        EXPECT_NE(nullptr, conns[i]);
    }
    cache->Cache(conns[4]);
    EXPECT_EQ(nullptr, conns[4]);
    EXPECT_EQ(4u, Idle(init));
}

TEST_F(ConnectionCacheTest, FirstConnectionIsKeptEvenWithSizeZero) {
    cache->SetCacheSize(0);
    auto conns = Open(2, init);
    cache->Cache(conns[0]);
    EXPECT_NE(nullptr, conns[0]);
    cache->Cache(conns[1]);
    EXPECT_EQ(nullptr, conns[1]);
    EXPECT_EQ(1u, Idle(init));
}

TEST_F(ConnectionCacheTest, ConnectReusesTheLongestIdleConnection) {
    VornOleDbConnection* first = cache->Connect(init, false);
    ASSERT_NE(nullptr, first);
    VornOleDbConnection* second = cache->Connect(init, false);
    ASSERT_NE(nullptr, second);
    EXPECT_NE(first, second);
    cache->Cache(first);
    cache->Cache(second);
    EXPECT_EQ(first, cache->Connect(init, false));
    EXPECT_EQ(second, cache->Connect(init, false));
    EXPECT_TRUE(first->IsConnected());
    delete first;
    delete second;
    EXPECT_EQ(nullptr, cache->ConnectFromCache(init));
}

TEST_F(ConnectionCacheTest, KeysKeepLetterCaseApart) {
    std::wstring upper = init;
    upper.replace(0, 8, L"PROVIDER");
    auto a = Open(1, init);
    auto b = Open(1, upper);
    cache->Cache(a[0]);
    cache->Cache(b[0]);
    EXPECT_EQ(1u, Idle(init));
    EXPECT_EQ(1u, Idle(upper));
    cache->ClearCache(upper);
    EXPECT_EQ(0u, Idle(upper));
    EXPECT_EQ(1u, Idle(init));
}

TEST_F(ConnectionCacheTest, LoweringTheSizeKeepsSurplusConnections) {
    ASSERT_TRUE(cache->CreateCache(init));
    EXPECT_EQ(4u, Idle(init));
    cache->SetCacheSize(2);
    EXPECT_EQ(2u, cache->GetCacheSize());
    EXPECT_EQ(4u, Idle(init));
}

TEST_F(ConnectionCacheTest, CreateCacheStopsAtTheFirstFailedOpen) {
    cache->SetCacheSize(3);
    ASSERT_TRUE(cache->CreateCache(init));
    EXPECT_EQ(3u, Idle(init));
    cache->ClearCache();

    int opens = 0;
    ClassFactoryFunction real;
    real =
        RegisterClassFactory(CLSID_MSDAINITIALIZE, [&](IUnknown* outer, REFIID riid, void** ppv) {
            if (++opens == 3) {
                ErrorRecord r;
                r.hr = E_FAIL;
                r.description = L"third open refused";
                return PostError(r);
            }
            return real(outer, riid, ppv);
        });
    bool created = cache->CreateCache(init);
    RegisterClassFactory(CLSID_MSDAINITIALIZE, real);
    EXPECT_FALSE(created);
    EXPECT_EQ(2u, Idle(init));
    EXPECT_NE(std::wstring::npos, cache->GetErrorText().find(L"third open refused"));
}

TEST_F(ConnectionCacheTest, FailedConnectLeavesTheReasonInTheCache) {
    EXPECT_EQ(nullptr, cache->Connect(ConnectionString(dir.File("absent.db")), false));
    EXPECT_NE(std::wstring::npos, cache->GetErrorText().find(L"absent.db"))
        << WideToUtf8(cache->GetErrorText());
}

TEST_F(ConnectionCacheTest, InitAndCloseAreCounted) {
    VornOleDbConnectionCache* original = cache;
    EXPECT_TRUE(CacheLifetime::InitConnectionCache());
    EXPECT_EQ(original, VornOleDbConnectionCache::GetCacheManager());
    CacheLifetime::CloseConnectionCache();
    EXPECT_EQ(original, VornOleDbConnectionCache::GetCacheManager());
    // Ending the module's own count destroys the cache; starting again makes a new one.
    CacheLifetime::CloseConnectionCache();
    EXPECT_EQ(nullptr, VornOleDbConnectionCache::GetCacheManager());
    CacheLifetime::CloseConnectionCache();  // unmatched: harmless
    EXPECT_TRUE(CacheLifetime::InitConnectionCache());
    cache = VornOleDbConnectionCache::GetCacheManager();
    ASSERT_NE(nullptr, cache);
}

// Eight threads take and return connections of three data sources for a few seconds.
TEST_F(ConnectionCacheTest, StressOfEightThreadsOnThreeStrings) {
    std::wstring inits[3];
    for (int i = 0; i < 3; ++i) {
        std::string f = dir.File("stress" + std::to_string(i) + ".db");
        RunSql(f, "CREATE TABLE t(a)");
        inits[i] = ConnectionString(f);
    }
    std::atomic<bool> stop{false};
    std::atomic<long> rounds{0}, failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            unsigned seed = static_cast<unsigned>(t) * 2654435761u;
            while (!stop.load()) {
                seed = seed * 1103515245u + 12345u;
                const std::wstring& s = inits[(seed >> 16) % 3];
                VornOleDbConnection* c = cache->Connect(s, false);
                if (!c || !c->SameInit(s) || !c->IsConnected()) {
                    ++failures;
                    delete c;
                    continue;
                }
                cache->Cache(c);
                ++rounds;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    stop = true;
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(0, failures.load());
    EXPECT_GT(rounds.load(), 100);
    for (const auto& s : inits)
        EXPECT_LE(Idle(s), 4u);
}

// Recordsets on four threads fail to connect to files that are not there, each with a
// string of its own: each must keep its own failure, never another thread's.
TEST_F(ConnectionCacheTest, FailedCachedOpensKeepTheirOwnReasonAcrossThreads) {
    constexpr int kThreads = 4;
    constexpr int kOpens = 300;
    std::atomic<int> wrongText{0}, opened{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kOpens; ++i) {
                const std::string name =
                    "absent-" + std::to_string(t) + "-" + std::to_string(i) + ".db";
                VornOleDbRecordset recordset(VornOleDbRecordset::ctCached);
                if (recordset.Open(ConnectionString(dir.File(name)), false)) {
                    ++opened;
                    continue;
                }
                if (recordset.GetErrorText().find(Utf8ToWide(name)) == std::wstring::npos)
                    ++wrongText;
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(0, opened.load());
    EXPECT_EQ(0, wrongText.load());
}
