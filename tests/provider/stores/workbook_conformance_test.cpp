// Every sheet of the workbooks made by Excel, LibreOffice and other writers reads as
// LibreOffice Calc exports it to CSV (the cells of tests/data/excel/expected/libreoffice),
// and the sheet names are those openpyxl and xlrd give (expected/reader_summary.json).
#include <dirent.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "provider/stores/workbook_test_util.h"

namespace vorn::test {
namespace {

// The fields of a CSV file (RFC 4180).
Grid ReadCsv(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Grid rows;
    std::vector<std::wstring> row;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(Utf8ToWide(field));
            field.clear();
        } else if (c == '\n') {
            row.push_back(Utf8ToWide(field));
            field.clear();
            rows.push_back(row);
            row.clear();
        } else if (c != '\r' || i + 1 >= text.size() || text[i + 1] != '\n') {
            field += c;
        }
    }
    if (!field.empty() || !row.empty()) {
        row.push_back(Utf8ToWide(field));
        rows.push_back(row);
    }
    return rows;
}

bool Number(const std::wstring& s, double* v) {
    if (s.empty())
        return false;
    wchar_t* end = nullptr;
    *v = std::wcstod(s.c_str(), &end);
    return end && *end == 0;
}

// LibreOffice's date text "MM/DD/YYYY[ HH:MM:SS]" as the library's "YYYY-MM-DD HH:MM:SS"
// in seconds, for a comparison that allows rounding to the second.
bool Seconds(const std::wstring& s, long long* out) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
    if (std::swscanf(s.c_str(), L"%d/%d/%d %d:%d:%d", &mo, &d, &y, &h, &mi, &se) >= 3 ||
        std::swscanf(s.c_str(), L"%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &se) >= 3) {
        *out = ((((y * 12LL + mo) * 31 + d) * 24 + h) * 60 + mi) * 60 + se;
        return true;
    }
    if (std::swscanf(s.c_str(), L"%d:%d:%d", &h, &mi, &se) == 3) {
        *out = ((((1899 * 12LL + 12) * 31 + 30) * 24 + h) * 60 + mi) * 60 + se;
        return true;
    }
    return false;
}

bool Same(std::wstring ours, std::wstring theirs) {
    // LibreOffice drops a carriage return that a cell holds (_x000D_) before a line feed.
    ours.erase(std::remove(ours.begin(), ours.end(), L'\r'), ours.end());
    theirs.erase(std::remove(theirs.begin(), theirs.end(), L'\r'), theirs.end());
    if (ours == theirs)
        return true;
    // Booleans of .xls files are 0 and 1 in LibreOffice's export.
    if ((ours == L"TRUE" && theirs == L"1") || (ours == L"FALSE" && theirs == L"0"))
        return true;
    double a = 0, b = 0;
    // A percent format: LibreOffice shows the number times 100.
    if (!theirs.empty() && theirs.back() == L'%' &&
        Number(theirs.substr(0, theirs.size() - 1), &b)) {
        theirs = std::to_wstring(b / 100);
        return Number(ours, &a) && std::fabs(a - b / 100) < 1e-9;
    }
    if (Number(ours, &a) && Number(theirs, &b))
        return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b)) || std::fabs(a - b) < 1e-6;
    if ((ours == L"-1" && theirs == L"TRUE") || (ours == L"0" && theirs == L"FALSE"))
        return true;
    long long x = 0, y = 0;
    if (Seconds(ours, &x) && Seconds(theirs, &y))
        return std::llabs(x - y) <= 1;
    return false;
}

// An elapsed time over a day ("255:10:10"), as LibreOffice shows a [h]:mm:ss format; the
// library reads the cell as the date that many hours after day 0.
bool IsElapsedTime(const std::wstring& s) {
    int h = 0, m = 0, sec = 0;
    return std::swscanf(s.c_str(), L"%d:%d:%d", &h, &m, &sec) == 3 && h >= 24;
}

bool IsErrorText(const std::wstring& s) {
    return s == L"#N/A" || s.compare(0, 4, L"Err:") == 0 ||
           (s.size() > 2 && s.front() == L'#' &&
            (s.back() == L'!' || s.back() == L'?' || s == L"#NULL!"));
}

std::vector<std::string> Workbooks() {
    std::vector<std::string> books;
    for (const char* folder : {"calamine", "csvkit", "excelize", "tealeg"}) {
        DIR* dir = ::opendir((kExcelData + "/" + folder).c_str());
        while (dirent* e = dir ? ::readdir(dir) : nullptr) {
            const std::string name = e->d_name;
            if (name.size() > 4 &&
                (name.substr(name.size() - 4) == ".xls" || name.substr(name.size() - 5) == ".xlsx"))
                books.push_back(std::string(folder) + "/" + name);
        }
        if (dir)
            ::closedir(dir);
    }
    return books;
}

// The sheets LibreOffice exported of a book: the files that begin with prefix.
std::vector<std::string> SheetsExported(const std::string& prefix) {
    std::vector<std::string> sheets;
    const size_t slash = prefix.rfind('/');
    const std::string dirName = prefix.substr(0, slash), stem = prefix.substr(slash + 1);
    DIR* dir = ::opendir(dirName.c_str());
    while (dirent* e = dir ? ::readdir(dir) : nullptr) {
        const std::string name = e->d_name;
        if (name.size() > stem.size() + 4 && name.compare(0, stem.size(), stem) == 0 &&
            name.substr(name.size() - 4) == ".csv")
            sheets.push_back(name.substr(stem.size(), name.size() - stem.size() - 4));
    }
    if (dir)
        ::closedir(dir);
    return sheets;
}

const std::vector<std::string> kRefused = {"calamine/biff5_write.xls", "calamine/issue_385.xls",
                                           "calamine/too_small.xls", "calamine/pass_protected.xlsx",
                                           "excelize/encryptAES.xlsx"};

class WorkbookConformanceTest : public WorkbookTest {};

TEST_F(WorkbookConformanceTest, EverySheetReadsAsLibreOfficeExportsIt) {
    int sheets = 0, cells = 0;
    for (const std::string& book : Workbooks()) {
        if (std::find(kRefused.begin(), kRefused.end(), book) != kRefused.end())
            continue;
        SCOPED_TRACE(book);
        ASSERT_TRUE(Open(kExcelData + "/" + book, L"Excel 8.0;HDR=No;IMEX=1")) << Utf8(error);
        const size_t slash = book.find('/');
        const std::string ext = book.substr(book.rfind('.') + 1);
        const std::string stem = book.substr(slash + 1, book.rfind('.') - slash - 1);
        const std::string expected = kExcelData + "/expected/libreoffice/" + book.substr(0, slash) +
                                     "/" + ext + "/" + stem + "-";
        for (const std::string& sheet : SheetsExported(expected)) {
            Grid want = ReadCsv(expected + sheet + ".csv");
            // LibreOffice starts at A1; the table starts where the values do.
            while (!want.empty() && std::all_of(want.front().begin(), want.front().end(),
                                                [](const std::wstring& f) { return f.empty(); }))
                want.erase(want.begin());
            while (!want.empty() && std::all_of(want.back().begin(), want.back().end(),
                                                [](const std::wstring& f) { return f.empty(); }))
                want.pop_back();
            size_t lead = SIZE_MAX;
            for (const auto& row : want) {
                size_t i = 0;
                while (i < row.size() && (row[i].empty() || IsErrorText(row[i])))
                    ++i;
                if (i < row.size())
                    lead = std::min(lead, i);
            }
            std::wstring table = L"[" + Utf8ToWide(sheet) + L"$]";
            if (!Run(L"SELECT * FROM " + table)) {
                // A chart sheet LibreOffice exports is no table.
                EXPECT_NE(error.find(L"no such table"), std::wstring::npos) << Utf8(error);
                EXPECT_NE(sheet.find("Chart"), std::string::npos) << sheet;
                continue;
            }
            std::vector<bool> text;
            for (unsigned c = 1; c <= command.GetColumnCount(); ++c)
                text.push_back(command.GetRawType(c) == DBTYPE_WSTR);
            Grid got;
            while (command.FetchNext() == VornOleDbCommand::dbOK) {
                std::vector<std::wstring> row;
                for (unsigned c = 1; c <= command.GetColumnCount(); ++c)
                    row.push_back(command.IsNull(c) == VornOleDbCommand::dbOK
                                      ? L"<null>"
                                      : command.FieldAsString(c));
                got.push_back(row);
            }
            command.Close();
            // A row of empty strings only is in the area, and in no export.
            while (got.size() > want.size() &&
                   std::all_of(got.back().begin(), got.back().end(),
                               [](const std::wstring& f) { return f == L"<null>"; }))
                got.pop_back();
            ++sheets;
            if (want.empty()) {
                EXPECT_TRUE(got.empty()) << sheet;
                continue;
            }
            ASSERT_EQ(got.size(), want.size()) << sheet;
            for (size_t r = 0; r < want.size(); ++r) {
                for (size_t c = lead; c < want[r].size(); ++c) {
                    const std::wstring& theirs = want[r][c];
                    const size_t k = c - lead;
                    const std::wstring ours = k < got[r].size() ? got[r][k] : L"<null>";
                    if (ours == L"<null>") {
                        // Empty, an error value, or a value of another type than its
                        // column's (read as NULL, as the driver reads it).
                        // Formulas written without a cached result (excelize's Book1 row
                        // 11) read NULL; LibreOffice computes them.
                        const bool uncached = book == "excelize/Book1.xlsx" && r == 10;
                        EXPECT_TRUE(theirs.empty() || IsErrorText(theirs) || uncached ||
                                    (k < text.size() && !text[k]))
                            << sheet << " row " << r << " column " << c << ": '" << Utf8(theirs)
                            << "' read as NULL";
                        continue;
                    }
                    ++cells;
                    // An inline string cell that also has a <v> element: openpyxl reads
                    // its text ("1.") as the library does; LibreOffice shows nothing.
                    if (theirs.empty() && book == "calamine/inlineStr_with_value.xlsx" &&
                        ours == L"1.")
                        continue;
                    // A text column (TEXT(255), from its first rows) gives a longer text's
                    // first 255 characters, as the driver does.
                    const bool cut = ours.size() == 255 && theirs.compare(0, 255, ours) == 0;
                    EXPECT_TRUE(Same(ours, theirs) || IsElapsedTime(theirs) || cut)
                        << sheet << " row " << r << " column " << c << ": '" << Utf8(ours)
                        << "', LibreOffice '" << Utf8(theirs) << "'";
                }
            }
        }
    }
    EXPECT_GT(sheets, 70);
    EXPECT_GT(cells, 9000);
}

TEST_F(WorkbookConformanceTest, DamagedEncryptedAndOldBooksAreRefusedByName) {
    const struct {
        std::string book;
        std::wstring why;
    } cases[] = {
        {"calamine/biff5_write.xls", L"Excel 5.0/95"},  {"calamine/issue_385.xls", L"encrypted"},
        {"calamine/pass_protected.xlsx", L"encrypted"}, {"excelize/encryptAES.xlsx", L"encrypted"},
        {"calamine/too_small.xls", L"not a workbook"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Open(kExcelData + "/" + c.book)) << c.book;
        EXPECT_NE(error.find(Utf8ToWide(c.book)), std::wstring::npos) << Utf8(error);
        EXPECT_NE(error.find(c.why), std::wstring::npos) << Utf8(error);
    }
    // A zip that is no workbook, a truncated one, XML that is not well formed.
    const std::string notBook = folder.File("notes.xlsx");
    {
        int e = 0;
        zip_t* z = zip_open(notBook.c_str(), ZIP_CREATE, &e);
        zip_file_add(z, "readme.txt", zip_source_buffer(z, "hi", 2, 0), 0);
        zip_close(z);
    }
    EXPECT_FALSE(Open(notBook));
    EXPECT_NE(error.find(L"no Excel workbook"), std::wstring::npos) << Utf8(error);
    std::ifstream in(kExcelData + "/csvkit/test.xlsx", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(folder.File("cut.xlsx"), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    EXPECT_FALSE(Open(folder.File("cut.xlsx")));
    EXPECT_NE(error.find(L"cut.xlsx"), std::wstring::npos) << Utf8(error);
    MakeXlsx(folder.File("bad.xlsx"),
             {{"Sheet1", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row"}});
    ASSERT_TRUE(Open(folder.File("bad.xlsx")));
    EXPECT_FALSE(Run(L"SELECT * FROM [Sheet1$]"));
    EXPECT_NE(error.find(L"not well-formed"), std::wstring::npos) << Utf8(error);
    EXPECT_NE(error.find(L"bad.xlsx"), std::wstring::npos) << Utf8(error);
}

}  // namespace
}  // namespace vorn::test
