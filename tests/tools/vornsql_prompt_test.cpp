// vornsql at a terminal: the prompt, the continuation prompt of an unfinished statement,
// the table format, dot commands, a failing statement that does not end the session, line
// editing and history, Ctrl-C at the prompt and during a long query, wide rows one field a
// line, and the pager.
#ifdef VORNSQL_PATH

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/temp_database.h"
#include "tools/vornsql_sample.h"

using vorn::test::SampleDatabase;
using vorn::test::TempFolder;

namespace {

// vornsql on the slave side of an 80 x 24 pseudo-terminal; the test types on the master
// side. The child gets a terminal type, a home folder of its own (for the history file)
// and a pager chosen by the test.
class Terminal {
  public:
    explicit Terminal(const std::vector<std::string>& args,
                      const std::string& home = "/nonexistent", const std::string& pager = "") {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = 80;
        pid_ = forkpty(&master_, nullptr, nullptr, &size);
        if (pid_ == 0) {
            setenv("TERM", "xterm", 1);
            setenv("HOME", home.c_str(), 1);
            setenv("PAGER", pager.c_str(), 1);
            unsetenv("LINES");
            unsetenv("COLUMNS");
            std::vector<char*> argv{const_cast<char*>(VORNSQL_PATH)};
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(VORNSQL_PATH, argv.data());
            _exit(127);
        }
    }
    explicit Terminal(const std::string& database) : Terminal(std::vector<std::string>{database}) {}
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

    // Types at the line editor once it has the terminal in its own mode (canonical input
    // off). The editor prints its prompt about when it sets that mode up, and a key typed
    // before is read by the terminal's own line discipline: Ctrl-D there is no key at all.
    void TypeWhileEditing(const std::string& text) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        termios mode{};
        while (tcgetattr(master_, &mode) == 0 && (mode.c_lflag & ICANON) &&
               std::chrono::steady_clock::now() < giveUp)
            usleep(2000);
        Type(text);
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

    // Waits for the program to end; its exit status, or -1. A program that is still running
    // after 30 s is killed, so that a test waiting for its end fails instead of hanging.
    int Exit() {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        char buffer[4096];
        for (;;) {
            if (std::chrono::steady_clock::now() > giveUp) {
                kill(pid_, SIGKILL);
                break;
            }
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 200) == 0)
                continue;
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            screen_.append(buffer, size_t(n));
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
    t.TypeWhileEditing("\x04");  // Ctrl-D
    EXPECT_EQ(0, t.Exit());
}

// The sample, shared by the suite, and a home folder per test for the history file.
class VornsqlTerminalTest : public vorn::test::SampleSuite {};

const char kUp[] = "\x1b[A";
const char kLeft[] = "\x1b[D";

TEST_F(VornsqlTerminalTest, ArrowKeysEditTheLineAndHistoryRecallsItHereAndInTheNextSession) {
    {
        Terminal t({Sample()}, dir.Path());
        ASSERT_TRUE(t.Started());
        ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();
        // "SELECT 1 AS x;", six characters back, "2": the arrow keys move the cursor and
        // type nothing (no "^[[D", and no '[' opening a bracketed name).
        t.TypeWhileEditing("SELECT 1 AS x;");
        for (int i = 0; i < 6; ++i)
            t.TypeWhileEditing(kLeft);
        t.Type("2\r");
        ASSERT_TRUE(t.WaitFor(" x\r\n----\r\n 12\r\n(1 row)\r\n")) << t.Screen();
        ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();
        t.TypeWhileEditing(std::string(kUp) + "\r");  // the same statement again
        ASSERT_TRUE(t.WaitFor(" 12\r\n(1 row)\r\n")) << t.Screen();
        ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();
        t.Type(".quit\r");
        EXPECT_EQ(0, t.Exit());
    }
    // The history is kept in ~/.vornsql_history, for the owner only.
    struct stat st;
    ASSERT_EQ(0, stat(dir.File(".vornsql_history").c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777u);
    Terminal t({Sample()}, dir.Path());
    ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();
    t.TypeWhileEditing(std::string(kUp) + kUp + "\r");  // .quit, then the statement before it
    ASSERT_TRUE(t.WaitFor(" 12\r\n(1 row)\r\n")) << t.Screen();
    ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();
    t.TypeWhileEditing("\x04");
    EXPECT_EQ(0, t.Exit());
}

TEST_F(VornsqlTerminalTest, CtrlCAtThePromptDropsTheStatementTypedAndTheSessionGoesOn) {
    Terminal t({Sample()}, dir.Path());
    ASSERT_TRUE(t.Started());
    ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();
    t.Type("SELECT 'never\r");  // a string left open over two lines
    ASSERT_TRUE(t.WaitFor("   ...> ")) << t.Screen();
    t.TypeWhileEditing("still open\x03");
    ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();  // not the continuation prompt
    t.Type("SELECT 'after' AS a;\r");
    ASSERT_TRUE(t.WaitFor(" after\r\n(1 row)")) << t.Screen();
    ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();
    EXPECT_EQ(std::string::npos, t.Screen().find("never") == std::string::npos
                                     ? std::string::npos
                                     : t.Screen().find("never\r\n(1 row)"));
    // .quit leaves even from inside an open string.
    t.Type("SELECT 'open\r");
    ASSERT_TRUE(t.WaitFor("   ...> ")) << t.Screen();
    t.Type("\\q\r");
    EXPECT_EQ(0, t.Exit());
}

TEST_F(VornsqlTerminalTest, CtrlCDuringACrossJoinCancelsItAndReturnsToThePrompt) {
    const std::string db = sample_->CopyTo(dir, "big.db");
    vorn::test::RunSql(db,
                       "CREATE TABLE Nums (N INTEGER);"
                       "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                       "WHERE x < 100000) INSERT INTO Nums SELECT x FROM c;");
    Terminal t({db}, dir.Path());
    ASSERT_TRUE(t.Started());
    ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();
    // Ten billion pairs: hours of work, unless Ctrl-C stops it.
    t.Type("SELECT COUNT(*) FROM Nums AS a, Nums AS b;\r");
    ASSERT_TRUE(t.WaitFor("Nums AS b;\r\n")) << t.Screen();
    usleep(300 * 1000);
    // The join runs for hours: the prompt coming back at all shows the query was cancelled.
    t.Type("\x03");
    ASSERT_TRUE(t.WaitFor("vornsql: line 1: interrupted\r\n")) << t.Screen();
    ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();
    // The connection goes on working.
    t.Type("SELECT COUNT(*) AS n FROM Nums;\r");
    ASSERT_TRUE(t.WaitFor(" 100000\r\n(1 row)")) << t.Screen();
    t.Type(".quit\r");
    EXPECT_EQ(1, t.Exit());  // the interrupted statement did not succeed
}

TEST_F(VornsqlTerminalTest, ARowWiderThanTheTerminalIsShownOneFieldALine) {
    std::string sql = "SELECT ";
    for (int i = 1; i <= 30; ++i)
        sql += std::string(i > 1 ? ", " : "") + "'value" + std::to_string(i) + "' AS Column" +
               std::to_string(i);
    Terminal t({"--no-pager", Sample()}, dir.Path());
    ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();
    t.Type(sql + ";\r");
    ASSERT_TRUE(t.WaitFor("-[ row 1 ]")) << t.Screen();
    ASSERT_TRUE(t.WaitFor("Column1  | value1\r\n")) << t.Screen();
    ASSERT_TRUE(t.WaitFor("Column30 | value30\r\n(1 row)\r\n")) << t.Screen();
    // Every line of the output fits the 80 columns.
    const std::string& screen = t.Screen();
    size_t start = screen.find("-[ row 1 ]");
    for (size_t end; (end = screen.find("\r\n", start)) != std::string::npos; start = end + 2)
        EXPECT_LE(end - start, 80u) << screen.substr(start, end - start);
    // Rows that fit stay a table; .format line asks for lines.
    t.Type(".format line\r");
    t.Type("SELECT 1 AS a;\r");
    ASSERT_TRUE(t.WaitFor("-[ row 1 ]\r\na | 1\r\n(1 row)")) << t.Screen();
    t.Type(".format\r");
    ASSERT_TRUE(t.WaitFor("line\r\n")) << t.Screen();
    t.Type(".quit\r");
    EXPECT_EQ(0, t.Exit());
}

TEST_F(VornsqlTerminalTest, ResultsTallerThanTheTerminalGoThroughThePager) {
    // 21 rows, a header, a rule and the count: taller than the 23 lines above the prompt.
    const char query[] = "SELECT OrderID, PartID FROM OrderItems;\r";
    {
        Terminal t({Sample()}, dir.Path(), "sed s/^/paged:/");
        ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();
        t.Type(query);
        ASSERT_TRUE(t.WaitFor("paged: OrderID")) << t.Screen();
        ASSERT_TRUE(t.WaitFor("paged:(21 rows)")) << t.Screen();
        t.Type("SELECT 1 AS a;\r");  // short results are not paged
        ASSERT_TRUE(t.WaitFor("\r\n a\r\n---\r\n 1\r\n(1 row)")) << t.Screen();
        t.Type(".quit\r");
        EXPECT_EQ(0, t.Exit());
    }
    Terminal t({"--no-pager", Sample()}, dir.Path(), "sed s/^/paged:/");
    ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();
    t.Type(query);
    ASSERT_TRUE(t.WaitFor("(21 rows)")) << t.Screen();
    EXPECT_EQ(std::string::npos, t.Screen().find("paged:")) << t.Screen();
    t.Type(".quit\r");
    EXPECT_EQ(0, t.Exit());
}

TEST_F(VornsqlTerminalTest, TabCompletesTableAndColumnNames) {
    Terminal t({Sample()}, dir.Path());
    ASSERT_TRUE(t.WaitFor("vornsql> ")) << t.Screen();
    t.TypeWhileEditing("SELECT COUNT(*) AS n FROM Par\t");
    // PartID, PartNo and Parts: what they share ("t") is added.
    t.TypeWhileEditing("s WHERE Disc\t");
    ASSERT_TRUE(t.WaitFor("ontinued")) << t.Screen();  // the one name that starts so
    t.Type(" = False;\r");
    ASSERT_TRUE(t.WaitFor("(1 row)")) << t.Screen();
    t.Type(".quit\r");
    EXPECT_EQ(0, t.Exit());  // the completed statement ran
}

}  // namespace

#endif  // VORNSQL_PATH
