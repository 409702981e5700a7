// vornsql at a terminal: the prompt, the continuation prompt of an unfinished statement,
// the table format, dot commands, and a failing statement that does not end the session.
#ifdef VORNSQL_PATH

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "tools/vornsql_sample.h"

using vorn::test::SampleDatabase;

namespace {

// vornsql on the slave side of a pseudo-terminal; the test types on the master side.
class Terminal {
  public:
    explicit Terminal(const std::string& database) {
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            execl(VORNSQL_PATH, VORNSQL_PATH, database.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Terminal() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0)
            close(master_);
    }
    bool Started() const { return pid_ > 0 && master_ >= 0; }

    void Type(const std::string& text) {
        ASSERT_EQ(ssize_t(text.size()), write(master_, text.data(), text.size()));
    }

    // Reads what the terminal shows until it holds `expected` after what was already
    // consumed; gives up (returning false) when the program stops writing for long, so that
    // a missing prompt fails the test instead of hanging it.
    bool WaitFor(const std::string& expected) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (;;) {
            const size_t at = screen_.find(expected, consumed_);
            if (at != std::string::npos) {
                consumed_ = at + expected.size();
                return true;
            }
            if (std::chrono::steady_clock::now() > giveUp)
                return false;
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 200) <= 0)
                continue;
            char buffer[4096];
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0)
                return false;  // the program ended
            screen_.append(buffer, size_t(n));
        }
    }

    // Waits for the program to end; its exit status, or -1.
    int Exit() {
        std::string rest;
        char buffer[4096];
        while (read(master_, buffer, sizeof buffer) > 0) {
        }
        int status = 0;
        if (waitpid(pid_, &status, 0) != pid_)
            return -1;
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const std::string& Screen() const { return screen_; }

  private:
    pid_t pid_ = -1;
    int master_ = -1;
    bool exited_ = false;
    std::string screen_;
    size_t consumed_ = 0;
};

TEST(VornsqlPromptTest, PromptsRunsStatementsAndSurvivesAFailure) {
    SampleDatabase sample;
    Terminal t(sample.Path());
    ASSERT_TRUE(t.Started());
    ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();

    t.Type("SELECT PartNo, InStock FROM Parts\r");
    ASSERT_TRUE(t.WaitFor("   ...> ")) << t.Screen();  // no ';' yet
    t.Type("WHERE PartID <= 2 ORDER BY PartID;\r");
    // A terminal gets the table.
    ASSERT_TRUE(
        t.WaitFor(" PartNo   | InStock\r\n----------+---------\r\n B-M8-40  |    5200\r\n"
                  " B-M10-60 |    3100\r\n(2 rows)\r\n"))
        << t.Screen();
    ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();

    t.Type("SELECT * FROM NoSuchTable;\r");
    ASSERT_TRUE(t.WaitFor("vornsql: line 3: no such table: NoSuchTable (42S02)\r\n")) << t.Screen();
    ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();

    t.Type(".columns Suppliers\r");
    ASSERT_TRUE(t.WaitFor("Preferred")) << t.Screen();
    ASSERT_TRUE(t.WaitFor("(6 rows)")) << t.Screen();
    t.Type(".format csv\r");
    ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();
    t.Type("SELECT COUNT(*) AS n FROM Orders;\r");
    ASSERT_TRUE(t.WaitFor("n\r\r\n7\r\r\n")) << t.Screen();  // CRLF records through the tty
    t.Type(".quit\r");
    EXPECT_EQ(1, t.Exit());  // a statement failed during the session
}

TEST(VornsqlPromptTest, EndOfInputAtThePromptEndsTheSession) {
    SampleDatabase sample;
    Terminal t(sample.Path());
    ASSERT_TRUE(t.Started());
    ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();
    t.Type("UPDATE Parts SET InStock = 0 WHERE PartID = 1;\r");
    ASSERT_TRUE(t.WaitFor("1 row affected")) << t.Screen();
    ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();
    t.Type("\x04");  // Ctrl-D
    EXPECT_EQ(0, t.Exit());
}

}  // namespace

#endif  // VORNSQL_PATH
