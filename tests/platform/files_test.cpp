#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "files.h"
#include "vornoledb/platform/text.h"

namespace {

int g_guardCalls = 0;
bool RefuseHeld(const char* path) {
    ++g_guardCalls;
    return std::strstr(path, "held") == nullptr;
}

// Each test works in a fresh mkdtemp folder; names are relative to it.
class Files : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = MakeDir("/tmp");
        ASSERT_FALSE(dir_.empty()) << "mkdtemp in /tmp: " << std::strerror(errno);
        g_guardCalls = 0;
    }
    void TearDown() override {
        SetFileReplaceGuard(nullptr);
        std::error_code ec;
        for (const std::string& d : {dir_, other_})
            std::filesystem::remove_all(d, ec);
    }
    static std::string MakeDir(const char* parent) {
        std::string name = std::string(parent) + "/vornoledb-files-XXXXXX";
        return ::mkdtemp(&name[0]) ? name : std::string();
    }
    std::string P(const std::string& name) const {
        return name[0] == '/' ? name : dir_ + "/" + name;
    }
    std::wstring W(const std::string& name) const { return Utf8ToWide(P(name)); }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(P(name), std::ios::binary) << text;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(P(name), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return in ? s.str() : "<missing>";
    }
    BOOL Move(const std::string& from, const std::string& to, DWORD flags) {
        errno = 0;
        return MoveFileExW(W(from).c_str(), W(to).c_str(), flags);
    }

    std::string dir_, other_;
};

}  // namespace

TEST_F(Files, MoveReplacesOnlyWhenAsked) {
    Write("src", "new");
    Write("dst", "old");
    EXPECT_FALSE(Move("src", "dst", 0));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(Read("src") + Read("dst"), "newold");

    EXPECT_TRUE(Move("src", "dst", MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(Read("src") + Read("dst"), "<missing>new");

    // A non-ASCII name reaches the file system as UTF-8.
    const std::string name = "donn\xC3\xA9\x65s-\xF0\x9F\x98\x80";
    EXPECT_TRUE(Move("dst", name, 0));
    EXPECT_EQ(Read(name), "new");
    EXPECT_TRUE(DeleteFileW(W(name).c_str()));
    EXPECT_FALSE(PathFileExistsW(W(name).c_str()));
    EXPECT_FALSE(DeleteFileW(W("dst").c_str()));
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(Files, ReplaceGuardIsAskedOnlyAboutExistingDestinations) {
    SetFileReplaceGuard(&RefuseHeld);
    Write("src", "new");
    Write("held.db", "open database");
    EXPECT_FALSE(Move("src", "held.db", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(Read("src") + Read("held.db"), "newopen database");

    EXPECT_TRUE(Move("src", "held-new", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(g_guardCalls, 1) << "the guard was asked about a name that did not exist";
    Write("free.db", "closed");
    EXPECT_TRUE(Move("held-new", "free.db", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(Read("free.db"), "new");
}

TEST_F(Files, MoveAcrossFileSystemsCopiesOnlyWhenAllowed) {
    other_ = MakeDir("/dev/shm");
    struct stat a, b;
    if (other_.empty() || ::stat(dir_.c_str(), &a) != 0 || ::stat(other_.c_str(), &b) != 0 ||
        a.st_dev == b.st_dev)
        GTEST_SKIP() << "needs /dev/shm on a file system apart from /tmp";
    const std::string big(300000, 'q'), target = other_ + "/dst";
    Write("src", big);
    ASSERT_EQ(::chmod(P("src").c_str(), 0640), 0);
    EXPECT_FALSE(Move("src", target, 0));
    EXPECT_EQ(errno, EXDEV);
    Write(target, "old");
    EXPECT_FALSE(Move("src", target, MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(Read(target), "old");

    EXPECT_TRUE(Move("src", target, MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(Read(target) == big && Read("src") == "<missing>");
    struct stat copied;
    ASSERT_EQ(::stat(target.c_str(), &copied), 0);
    EXPECT_EQ(copied.st_mode & 07777, 0640u);
    // No temporary copy is left behind beside the destination.
    using It = std::filesystem::directory_iterator;
    EXPECT_EQ(std::distance(It(other_), It()), 1);
}
