// Damaged Access files: cut short at several lengths, a garbled catalog page, garbled data
// pages, and a file with an Access header and nothing else. Each copy is opened and every
// table read in a child process under a time limit, so a crash or a hang shows as a
// failure of that copy; opening gives a clear error or the rows before the damage.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <random>

#include "provider/stores/access_store_test_util.h"
#include "support/temp_database.h"
#include "vornoledb/tables.h"

namespace vorn::test {
namespace {

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class AccessDamageTest : public AccessFileTest {
  protected:
    // Opens path and reads every table and view to its end, in a child process given
    // `seconds`; the child's exit status: 0 opened and read, 1 refused to open (with a
    // text naming the file), 2 refused without naming it; a signal is a crash or the time
    // limit.
    int OpenAndReadAll(const std::string& path, unsigned seconds = 20) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(seconds);
            VornOleDbConnection c;
            if (c.OpenFromInitializationString(
                    L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Utf8ToWide(path) + L";",
                    false) != S_OK)
                ::_exit(c.GetErrorText().find(Utf8ToWide(path)) != std::wstring::npos ? 1 : 2);
            VornOleDbTables tables;
            std::vector<std::wstring> names;
            if (tables.Open(&c, nullptr, nullptr, nullptr, nullptr))
                tables.GetTableList(names);
            tables.Close();
            VornOleDbCommand cmd;
            cmd.SetConnection(&c);
            for (const std::wstring& name : names) {
                cmd.SetCommandText((L"SELECT * FROM [" + name + L"]").c_str());
                if (cmd.Execute() != VornOleDbCommand::dbOK)
                    continue;
                while (cmd.FetchNext() == VornOleDbCommand::dbOK)
                    for (unsigned i = 1; i <= cmd.GetColumnCount(); ++i)
                        cmd.FieldAsString(i);
                cmd.Close();
            }
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        if (WIFSIGNALED(status))
            return 100 + WTERMSIG(status);
        return WEXITSTATUS(status);
    }
};

TEST_F(AccessDamageTest, CutShortGarbledOrHeaderOnlyCopiesNeverCrashOrHang) {
    std::mt19937 random(15);
    for (const char* name :
         {"jackcess/testV1997.mdb", "jackcess/delTestV2003.mdb", "jackcess/testV2007.accdb",
          "ucanaccess/githubIssue16.accdb", "jackcess/testEmoticonsV2010.accdb"}) {
        const std::string whole = Bytes(AccessFile(name));
        const size_t page = whole[0x14] == 0 ? 2048 : 4096;
        std::vector<std::pair<std::string, std::string>> copies;
        for (size_t length :
             {page, 2 * page, 3 * page + 100, whole.size() / 2, whole.size() - page})
            copies.emplace_back("cut at " + std::to_string(length), whole.substr(0, length));
        // The catalog's definition page (page 2) and pages of data, overwritten at random.
        for (size_t target :
             {size_t(2), size_t(3), whole.size() / page / 2, whole.size() / page - 1}) {
            std::string garbled = whole;
            for (size_t i = 0; i < page; i += 1 + random() % 7)
                garbled[target * page + i] = static_cast<char>(random());
            copies.emplace_back("page " + std::to_string(target) + " garbled", garbled);
        }
        for (const auto& [what, bytes] : copies) {
            const std::string path = folder.File("copy.mdb");
            std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
            const int status = OpenAndReadAll(path);
            EXPECT_TRUE(status == 0 || status == 1) << name << " " << what << ": status " << status;
        }
    }
}

TEST_F(AccessDamageTest, AHeaderAloneIsRefusedByName) {
    const std::string whole = Bytes(AccessFile("jackcess/testV2007.accdb"));
    const std::string path = folder.File("header.accdb");
    std::ofstream(path, std::ios::binary) << whole.substr(0, 4096);
    VornOleDbConnection c;
    EXPECT_NE(
        c.OpenFromInitializationString(
            L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Utf8ToWide(path) + L";", false),
        S_OK);
    const std::wstring text = c.GetErrorText();
    EXPECT_NE(text.find(Utf8ToWide(path)), std::wstring::npos) << WideToUtf8(text);
    EXPECT_NE(text.find(L"cut short"), std::wstring::npos) << WideToUtf8(text);
    EXPECT_EQ(OpenAndReadAll(path), 1);
}

}  // namespace
}  // namespace vorn::test
