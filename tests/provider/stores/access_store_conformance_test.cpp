// Every table of every Access file of tests/data/access, row for row and field for field,
// against what mdb-export gives (tests/data/access/expected/mdb_export.tsv). Where mdbtools
// is known to be wrong (marked \S there) the fields are checked in access_store_test.cpp
// against what the files are documented to hold.
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>

#include "provider/stores/access_store_test_util.h"

namespace vorn::test {
namespace {

struct Expected {
    size_t rows = 0;
    std::map<std::pair<size_t, size_t>, std::string> fields;  // (row, column) -> value
};

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

std::map<std::pair<std::string, std::string>, Expected> ReadExpected() {
    std::map<std::pair<std::string, std::string>, Expected> all;
    std::ifstream in(AccessFile("expected/mdb_export.tsv"));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> parts;
        size_t start = 0;
        for (int i = 0; i < 4; ++i) {
            const size_t tab = line.find('\t', start);
            parts.push_back(line.substr(start, tab - start));
            start = tab + 1;
        }
        parts.push_back(line.substr(start));
        Expected& e = all[{parts[0], parts[1]}];
        const size_t row = std::stoul(parts[2]), column = std::stoul(parts[3]);
        if (row == 0)
            e.rows = std::stoul(parts[4]);
        else
            e.fields[{row, column}] = parts[4];
    }
    return all;
}

bool Number(const std::string& s, double* d) {
    if (s.empty())
        return false;
    char* end = nullptr;
    *d = std::strtod(s.c_str(), &end);
    return end && *end == 0;
}

// mdb-export's text and the library's text of the same value: numbers in other notations,
// yes as 1 (the engine's -1), dates always with their time, binary in capital hex, and an
// empty text as NULL (libmdb cannot tell them apart).
bool Same(const std::string& expected, const std::string& actual, bool actualNull) {
    if (expected == "\\N")
        return actualNull || actual.empty();
    if (actualNull)
        return false;
    const std::string want = Unescape(expected);
    if (want == actual)
        return true;
    double a = 0, b = 0;
    if (Number(want, &a) && Number(actual, &b))
        return a == b || std::fabs(a - b) <= 1e-6 * std::max(std::fabs(a), std::fabs(b)) ||
               (a == 1 && b == -1);
    std::string shown = actual;
    if (std::regex_match(shown, std::regex(R"(\d{4}-\d\d-\d\d)")))
        shown += " 00:00:00";
    else if (std::regex_match(shown, std::regex(R"(\d\d:\d\d:\d\d)")))
        shown = "1899-12-30 " + shown;
    if (shown == want)
        return true;
    std::string upper = actual;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper == want;
}

class AccessConformanceTest : public AccessFileTest {};

TEST_F(AccessConformanceTest, EveryTableEqualsMdbExportRowForRow) {
    const auto expected = ReadExpected();
    ASSERT_GE(expected.size(), 30u);
    size_t fields = 0;
    for (const auto& [key, want] : expected) {
        const auto& [file, table] = key;
        if (!Open(file)) {
            ADD_FAILURE() << file << ": " << WideToUtf8(error);
            continue;
        }
        const AccessRows rows = Query(L"SELECT * FROM [" + Utf8ToWide(table) + L"]");
        ASSERT_EQ(rows.size(), want.rows) << file << " " << table;
        for (const auto& [at, value] : want.fields) {
            const auto& [row, column] = at;
            ASSERT_LE(column, rows[row - 1].size()) << file << " " << table;
            if (value == "\\S")
                continue;  // mdbtools is known to be wrong here
            const std::wstring& actual = rows[row - 1][column - 1];
            EXPECT_TRUE(Same(value, WideToUtf8(actual), actual == L"<null>"))
                << file << " [" << table << "] row " << row << " column " << column
                << ": mdb-export " << value.substr(0, 80) << ", here "
                << WideToUtf8(actual).substr(0, 80);
            ++fields;
        }
    }
    EXPECT_GT(fields, 1500u);
}

}  // namespace
}  // namespace vorn::test
