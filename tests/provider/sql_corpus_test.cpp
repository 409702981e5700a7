// The Jet statement corpus (data/jet_corpus.txt) run end to end on a SQLite database file:
// each statement is translated, prepared, stepped through the statement cache, and its
// rows compared as text with the expected ones.
//
// Corpus format: "> statement" starts a case; the lines after it until the next case are
// what it must give: rows as values joined by '|' (NULL for Null, reals with up to 15
// significant digits), "(no rows)", "ok" or "ok N" (ran, N rows changed), or
// "error SQLSTATE [@position] text" (the statement fails with that SQLSTATE, at that
// 1-based position of the host's text, and a message containing text). Lines starting
// with '#' are comments.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sql/jet_sql.h"
#include "sql/jet_statement_cache.h"
#include "sqlite_errors.h"
#include "support/temp_database.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::sql {
namespace {

struct Case {
    int line = 0;
    std::string sql;
    std::vector<std::string> expected;
};

std::string CorpusPath() {
    std::string here = __FILE__;
    return here.substr(0, here.find_last_of('/')) + "/data/jet_corpus.txt";
}

std::vector<Case> LoadCorpus(const std::string& path) {
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << "cannot read the corpus " << path;
    std::vector<Case> cases;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (line.rfind("> ", 0) == 0) {
            cases.push_back({number, line.substr(2), {}});
            continue;
        }
        if (cases.empty()) {
            ADD_FAILURE() << path << ":" << number << ": an expectation before any statement";
            continue;
        }
        cases.back().expected.push_back(line);
    }
    return cases;
}

std::string ValueText(sqlite3_stmt* s, int i) {
    switch (sqlite3_column_type(s, i)) {
        case SQLITE_NULL:
            return "NULL";
        case SQLITE_INTEGER:
            return std::to_string(sqlite3_column_int64(s, i));
        case SQLITE_FLOAT: {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.15g", sqlite3_column_double(s, i));
            return buf;
        }
        case SQLITE_BLOB: {
            const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(s, i));
            std::string out = "x'";
            char buf[4];
            for (int k = 0; k < sqlite3_column_bytes(s, i); ++k) {
                std::snprintf(buf, sizeof buf, "%02X", p[k]);
                out += buf;
            }
            return out + "'";
        }
        default:
            return reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    }
}

// What running the statement gave, in the corpus's own terms.
std::vector<std::string> RunCase(sqlite3* db, JetStatementCache& cache, const std::string& sql) {
    TranslationResult error;
    sqlite3_stmt* stmt = cache.Acquire(Utf8ToWide(sql), &error);
    if (!stmt) {
        std::string text = "error " + WideToUtf8(error.sqlState);
        if (error.position > 0)
            text += " @" + std::to_string(error.position);
        return {text + " " + WideToUtf8(error.message)};
    }
    std::vector<std::string> rows;
    int rc;
    while ((rc = cache.Step(stmt)) == SQLITE_ROW) {
        std::string row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i)
            row += (i ? "|" : "") + ValueText(stmt, i);
        rows.push_back(row);
    }
    const bool query = sqlite3_column_count(stmt) > 0;
    cache.Release(stmt);
    if (rc != SQLITE_DONE) {
        const char* message = sqlite3_errmsg(db);
        const int code = sqlite3_extended_errcode(db);
        return {"error " + WideToUtf8(ClassifySqliteError(code, message).sqlState) + " " + message};
    }
    if (query)
        return rows.empty() ? std::vector<std::string>{"(no rows)"} : rows;
    return {"ok " + std::to_string(sqlite3_changes(db))};
}

// Whether got satisfies the expectation (errors match by SQLSTATE, position and a part of
// the message; "ok" without a count matches any count).
bool Matches(const std::vector<std::string>& expected, const std::vector<std::string>& got) {
    if (expected.size() == 1 && expected[0].rfind("error ", 0) == 0) {
        if (got.size() != 1 || got[0].rfind("error ", 0) != 0)
            return false;
        std::istringstream want(expected[0].substr(6));
        std::string state, next;
        want >> state;
        const std::string gotText = got[0].substr(6);
        if (gotText.compare(0, state.size(), state) != 0)
            return false;
        std::string rest;
        std::getline(want, rest);
        while (!rest.empty() && rest[0] == ' ')
            rest.erase(0, 1);
        if (!rest.empty() && rest[0] == '@') {
            const size_t space = rest.find(' ');
            const std::string position = rest.substr(0, space);
            if (gotText.find(" " + position + " ") == std::string::npos)
                return false;
            rest = space == std::string::npos ? "" : rest.substr(space + 1);
        }
        return gotText.find(rest) != std::string::npos;
    }
    if (expected.size() == 1 && expected[0] == "ok")
        return got.size() == 1 && got[0].rfind("ok ", 0) == 0;
    return expected == got;
}

TEST(SqlCorpus, EveryStatementGivesItsExpectedResult) {
    const std::vector<Case> cases = LoadCorpus(CorpusPath());
    EXPECT_GE(cases.size(), 150u) << "the corpus lost statements";
    test::TempFolder folder;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(folder.File("corpus.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(RegisterJetFunctions(db), SQLITE_OK);
    {
        JetStatementCache cache(db);
        for (const Case& c : cases) {
            if (c.expected.empty()) {
                ADD_FAILURE() << "corpus line " << c.line << ": no expected result for " << c.sql;
                continue;
            }
            const std::vector<std::string> got = RunCase(db, cache, c.sql);
            if (!Matches(c.expected, got)) {
                std::string want, have;
                for (const std::string& s : c.expected)
                    want += "\n    " + s;
                for (const std::string& s : got)
                    have += "\n    " + s;
                ADD_FAILURE() << "corpus line " << c.line << ": " << c.sql
                              << "\n  expected:" << want << "\n  got:" << have;
            }
        }
    }
    EXPECT_EQ(sqlite3_close(db), SQLITE_OK) << "statements were left open";
}

}  // namespace
}  // namespace vorn::provider::sql
