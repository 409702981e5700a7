// Loading the shared library starts its connection cache; unloading it closes every idle
// connection (seen from outside: the database file's lock is released).
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/temp_database.h"
#include "vornoledb/command.h"
#include "vornoledb/connection_cache.h"
#include "vornoledb/module.h"

using vorn::test::ConnectionString;
using vorn::test::RunSql;
using vorn::test::TempFolder;

namespace {

// True when nobody holds a lock on the file (an open data source holds a shared one).
bool Unlocked(const std::string& file) {
    int fd = open(file.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return free;
}

// Member functions of the loaded copy, called with the object as first argument.
using GetCacheManagerFn = VornOleDbConnectionCache* (*)();
using ConnectFn = VornOleDbConnection* (*)(VornOleDbConnectionCache*, const std::wstring&, bool);
using CacheFn = void (*)(VornOleDbConnectionCache*, VornOleDbConnection*&);

template <class F>
F Symbol(void* lib, const char* name) {
    void* p = dlsym(lib, name);
    EXPECT_NE(nullptr, p) << name << ": " << dlerror();
    return reinterpret_cast<F>(p);
}

}  // namespace

TEST(Module, ApplicationObjectStartsAndEndsTheCache) {
    VornOleDb app;
    EXPECT_TRUE(app.InitInstance());
    EXPECT_NE(nullptr, VornOleDbConnectionCache::GetCacheManager());
    EXPECT_EQ(1, app.ExitInstance());
    // The module's own start still holds the cache.
    EXPECT_NE(nullptr, VornOleDbConnectionCache::GetCacheManager());
}

TEST(Module, UnloadingTheSharedLibraryClosesIdleConnections) {
    TempFolder dir;
    std::string file = dir.File("idle.db");
    RunSql(file, "CREATE TABLE t(a)");
    std::string path = std::string(VORN_BINARY_DIR) + "/libvornoledb.so";
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, lib) << dlerror();

    auto getCache =
        Symbol<GetCacheManagerFn>(lib, "_ZN24VornOleDbConnectionCache15GetCacheManagerEv");
    auto connect = Symbol<ConnectFn>(lib,
                                     "_ZN24VornOleDbConnectionCache7ConnectERKNSt7__cxx1112basic_"
                                     "stringIwSt11char_traitsIwESaIwEEEb");
    auto cacheFn =
        Symbol<CacheFn>(lib, "_ZN24VornOleDbConnectionCache5CacheERP19VornOleDbConnection");
    ASSERT_TRUE(getCache && connect && cacheFn);

    VornOleDbConnectionCache* cache = getCache();
    ASSERT_NE(nullptr, cache) << "loading the library did not start its cache";
    VornOleDbConnection* c = connect(cache, ConnectionString(file), false);
    ASSERT_NE(nullptr, c);
    cacheFn(cache, c);
    EXPECT_FALSE(Unlocked(file)) << "an idle pooled connection should hold the file";

    dlclose(lib);
    EXPECT_TRUE(Unlocked(file)) << "unloading the library left a connection open";
}

// A process that exits with idle connections in the pool ends cleanly: the end hook closes
// them after static objects are gone, so nothing it uses may be a static object.
TEST(Module, ExitWithPooledConnectionsClosesThemCleanly) {
    TempFolder dir;
    std::string file = dir.File("exit.db");
    RunSql(file, "CREATE TABLE t(a)");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        VornOleDbConnectionCache* cache = VornOleDbConnectionCache::GetCacheManager();
        VornOleDbConnection* c = cache ? cache->Connect(ConnectionString(file), false) : nullptr;
        if (!c)
            _exit(3);
        {
            VornOleDbCommand command;
            command.SetConnection(c);
            command.SetCommandText(L"INSERT INTO t VALUES (1)");
            if (command.Execute() != VornOleDbCommand::dbOK)
                _exit(4);
        }
        cache->Cache(c);
        std::exit(0);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(0, WEXITSTATUS(status));
    EXPECT_TRUE(Unlocked(file));
    EXPECT_FALSE(std::filesystem::exists(file + "-wal"));
    EXPECT_EQ("1", vorn::test::QueryText(file, "SELECT COUNT(*) FROM t"));
}
