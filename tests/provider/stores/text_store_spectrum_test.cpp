// The csv-spectrum files read through the text store, field for field against the JSON
// their authors give for them. Each column is declared Text in a schema.ini section, so
// the comparison is of the text as read, not of guessed types.
#include <fstream>
#include <map>

#include "provider/stores/text_store_test_util.h"
#include "vornoledb/platform/text.h"

namespace vorn::test {
namespace {

// The JSON of csv-spectrum: an array of objects (or one object) whose values are strings.
class SpectrumJson {
  public:
    explicit SpectrumJson(std::string text) : text_(std::move(text)) {}

    // Rows of (key, value) pairs in the order written.
    std::vector<std::vector<std::pair<std::string, std::string>>> Rows() {
        std::vector<std::vector<std::pair<std::string, std::string>>> rows;
        Skip();
        if (Peek() == '{') {
            rows.push_back(Object());
            return rows;
        }
        Expect('[');
        Skip();
        while (Peek() != ']') {
            rows.push_back(Object());
            Skip();
            if (Peek() == ',')
                ++pos_;
            Skip();
        }
        return rows;
    }

  private:
    char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    void Skip() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])))
            ++pos_;
    }
    void Expect(char c) {
        Skip();
        EXPECT_EQ(c, Peek()) << "at " << pos_;
        ++pos_;
    }
    std::string String() {
        Expect('"');
        std::string out;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            char c = text_[pos_++];
            if (c == '\\') {
                const char e = text_[pos_++];
                switch (e) {
                    case 'n':
                        c = '\n';
                        break;
                    case 'r':
                        c = '\r';
                        break;
                    case 't':
                        c = '\t';
                        break;
                    case 'u': {
                        const unsigned code = std::stoul(text_.substr(pos_, 4), nullptr, 16);
                        pos_ += 4;
                        const std::wstring w(1, static_cast<wchar_t>(code));
                        out += WideToUtf8(w);
                        continue;
                    }
                    default:
                        c = e;
                }
            }
            out += c;
        }
        ++pos_;
        return out;
    }
    std::vector<std::pair<std::string, std::string>> Object() {
        std::vector<std::pair<std::string, std::string>> row;
        Expect('{');
        Skip();
        while (Peek() != '}') {
            std::string key = String();
            Expect(':');
            Skip();
            row.emplace_back(key, String());
            Skip();
            if (Peek() == ',')
                ++pos_;
            Skip();
        }
        ++pos_;
        return row;
    }

    std::string text_;
    size_t pos_ = 0;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SpectrumTest : public TextFolderTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SpectrumTest, ReadsEveryFieldAsItsJsonSays) {
    const std::string name = GetParam();
    const std::string source = std::string(VORN_TESTDATA_DIR) + "/csv/csv-spectrum/" + name;
    SpectrumJson json(ReadAll(source + ".json"));
    const auto expected = json.Rows();
    ASSERT_FALSE(expected.empty());
    Write(name + ".csv", ReadAll(source + ".csv"));
    std::string ini = "[" + name + ".csv]\r\nColNameHeader=True\r\nFormat=CSVDelimited\r\n";
    for (size_t i = 0; i < expected[0].size(); ++i)
        ini +=
            "Col" + std::to_string(i + 1) + "=\"" + expected[0][i].first + "\" Text Width 255\r\n";
    Write("schema.ini", ini);
    ASSERT_TRUE(Open()) << Narrow(connection.GetErrorText());
    const Rows rows = Query(Utf8ToWide("SELECT * FROM [" + name + "#csv]"));
    ASSERT_EQ(expected.size(), rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        ASSERT_EQ(expected[r].size(), rows[r].size()) << "row " << r;
        for (size_t c = 0; c < rows[r].size(); ++c) {
            // The upstream JSON of location_coordinates gives another phone number than its
            // CSV file holds.
            if (name == "location_coordinates" && c == 0)
                continue;
            const std::wstring want = Utf8ToWide(expected[r][c].second);
            const std::wstring got = rows[r][c] == L"<null>" ? L"" : rows[r][c];
            EXPECT_EQ(want, got) << name << " row " << r << " field " << expected[r][c].first;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(CsvSpectrum, SpectrumTest,
                         ::testing::Values("comma_in_quotes", "empty", "empty_crlf",
                                           "escaped_quotes", "json", "location_coordinates",
                                           "newlines", "newlines_crlf", "quotes_and_newlines",
                                           "simple", "simple_crlf", "utf8"));

}  // namespace
}  // namespace vorn::test
