// Writes to .xlsx workbooks: INSERT after the last row, UPDATE of cells (cells the
// statement does not set, formulas and every other zip entry kept), CREATE TABLE of a
// sheet and of a new workbook, DELETE refused in the driver's words, read-only refusals,
// rollback, a killed writer, and LibreOffice reading what was written.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "provider/stores/workbook_test_util.h"

namespace vorn::test {
namespace {

class WorkbookWriteTest : public WorkbookTest {
  protected:
    std::string Copy(const std::string& book) {
        const std::string to = folder.File(book.substr(book.rfind('/') + 1));
        std::ifstream in(kExcelData + "/" + book, std::ios::binary);
        std::ofstream(to, std::ios::binary) << in.rdbuf();
        return to;
    }
};

TEST_F(WorkbookWriteTest, InsertUpdateKeepEveryOtherEntryAndCell) {
    const std::string book = Copy("csvkit/test.xlsx");
    const auto before = ZipEntries(book);
    ASSERT_TRUE(Open(book));
    ASSERT_TRUE(
        Run(L"INSERT INTO [Sheet1$] (text, [date], [integer], [boolean], [float]) "
            L"VALUES ('new & <row>', #2024-02-29 10:11:12#, 7, True, 2.5)"))
        << Utf8(error);
    ASSERT_TRUE(Run(L"UPDATE [Sheet1$] SET [integer] = 99 WHERE text = 'Chicago Tribune'"))
        << Utf8(error);
    EXPECT_EQ(Query(L"SELECT COUNT(*), SUM([integer]) FROM [Sheet1$]"),
              (Grid{{L"6", L"209.000000"}}));
    connection.Close();
    const auto after = ZipEntries(book);
    for (const auto& [name, entry] : before)
        if (name != "xl/worksheets/sheet1.xml") {
            EXPECT_EQ(after.at(name), entry) << name;
        }
    ASSERT_TRUE(Open(book));
    EXPECT_EQ(
        Query(L"SELECT text, [date], [integer], [boolean], [float], F8 FROM [Sheet1$] "
              L"WHERE [integer] IN (99, 7) ORDER BY [integer]"),
        (Grid{{L"new & <row>", L"2024-02-29 10:11:12", L"7.000000", L"-1", L"2.500000", L"<null>"},
              {L"Chicago Tribune", L"1920-01-01", L"99.000000", L"0", L"41800000.010000",
               L"<null>"}}));
    // The formula cells of the untouched rows are still formulas.
    int zipError = 0;
    zip_t* z = zip_open(book.c_str(), ZIP_RDONLY, &zipError);
    ASSERT_NE(z, nullptr);
    zip_file_t* f = zip_fopen(z, "xl/worksheets/sheet1.xml", 0);
    std::string xml(1 << 16, '\0');
    xml.resize(static_cast<size_t>(zip_fread(f, xml.data(), xml.size())));
    zip_fclose(f);
    zip_discard(z);
    EXPECT_NE(xml.find("<f>"), std::string::npos);
    EXPECT_NE(xml.find("t=\"inlineStr\""), std::string::npos);
}

// The entry's bytes, empty when the zip has no such entry.
std::string ZipEntryText(const std::string& path, const char* name) {
    int zipError = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &zipError);
    if (!z)
        return "";
    std::string text;
    if (zip_file_t* f = zip_fopen(z, name, 0)) {
        text.resize(1 << 16);
        text.resize(
            static_cast<size_t>(std::max<zip_int64_t>(0, zip_fread(f, text.data(), text.size()))));
        zip_fclose(f);
    }
    zip_discard(z);
    return text;
}

TEST_F(WorkbookWriteTest, OverwritingAFormulaDropsTheCalculationChainAndNothingElse) {
    const std::string book = Copy("csvkit/test.xlsx");
    const auto before = ZipEntries(book);
    ASSERT_EQ(before.count("xl/calcChain.xml"), 1u);
    // A write that leaves every formula alone keeps the chain (and every other entry).
    ASSERT_TRUE(Open(book));
    ASSERT_TRUE(Run(L"UPDATE [Sheet1$] SET [float] = 3 WHERE text = 'Chicago Reader'"))
        << Utf8(error);
    connection.Close();
    auto after = ZipEntries(book);
    EXPECT_EQ(after.at("xl/calcChain.xml"), before.at("xl/calcChain.xml"));
    EXPECT_EQ(after.at("xl/_rels/workbook.xml.rels"), before.at("xl/_rels/workbook.xml.rels"));
    EXPECT_EQ(after.at("[Content_Types].xml"), before.at("[Content_Types].xml"));

    // D2 holds =TRUE(): overwriting it makes the chain name a cell without a formula.
    ASSERT_TRUE(Open(book));
    ASSERT_TRUE(Run(L"UPDATE [Sheet1$] SET [boolean] = False WHERE text = 'Chicago Reader'"))
        << Utf8(error);
    connection.Close();
    after = ZipEntries(book);
    EXPECT_EQ(after.count("xl/calcChain.xml"), 0u);
    for (const auto& [name, entry] : before)
        if (name != "xl/worksheets/sheet1.xml" && name != "xl/calcChain.xml" &&
            name != "xl/_rels/workbook.xml.rels" && name != "[Content_Types].xml") {
            EXPECT_EQ(after.at(name), entry) << name;
        }
    const std::string relations = ZipEntryText(book, "xl/_rels/workbook.xml.rels");
    EXPECT_EQ(relations.find("calcChain"), std::string::npos) << relations;
    EXPECT_NE(relations.find("Target=\"sharedStrings.xml\""), std::string::npos) << relations;
    const std::string types = ZipEntryText(book, "[Content_Types].xml");
    EXPECT_EQ(types.find("calcChain"), std::string::npos) << types;
    EXPECT_NE(types.find("/xl/worksheets/sheet1.xml"), std::string::npos) << types;
    const std::string sheet = ZipEntryText(book, "xl/worksheets/sheet1.xml");
    EXPECT_EQ(sheet.find("<c r=\"D2\" s=\"3\" t=\"b\"><f>"), std::string::npos);
    EXPECT_NE(sheet.find("<f>FALSE()</f>"), std::string::npos);  // D4's formula stays

    ASSERT_TRUE(Open(book));
    EXPECT_EQ(
        Query(L"SELECT text, [boolean], [float] FROM [Sheet1$] WHERE [integer] < 100 "
              L"ORDER BY [integer]"),
        (Grid{{L"Chicago Reader", L"0", L"3.000000"}, {L"Chicago Sun-Times", L"-1", L"1.270000"}}));
}

TEST_F(WorkbookWriteTest, UpdateKeepsCellsOfAnotherTypeThatReadAsNull) {
    MakeXlsx(folder.File("mixed.xlsx"),
             {{"S",
               "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>n</t></is></c><c r=\"B1\" "
               "t=\"inlineStr\"><is><t>k</t></is></c></row>"
               "<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\"><v>1</v></c></row>"
               "<row r=\"3\"><c r=\"A3\"><v>2</v></c><c r=\"B3\"><v>2</v></c></row>"
               "<row r=\"4\"><c r=\"A4\" t=\"inlineStr\"><is><t>word</t></is></c><c "
               "r=\"B4\"><v>3</v></c></row>"}});
    ASSERT_TRUE(Open(folder.File("mixed.xlsx")));
    EXPECT_EQ(Query(L"SELECT n FROM [S$] WHERE k = 3"), (Grid{{L"<null>"}}));
    ASSERT_TRUE(Run(L"UPDATE [S$] SET k = k * 10")) << Utf8(error);
    ASSERT_TRUE(Open(folder.File("mixed.xlsx"), L"Excel 12.0 Xml;HDR=Yes;IMEX=1"));
    EXPECT_EQ(Query(L"SELECT n, k FROM [S$]"),
              (Grid{{L"1", L"10.000000"}, {L"2", L"20.000000"}, {L"word", L"30.000000"}}));
}

TEST_F(WorkbookWriteTest, CreateTableMakesSheetsAndWorkbooks) {
    const std::string book = folder.File("new.xlsx");
    ASSERT_TRUE(Open(book));
    ASSERT_TRUE(Run(L"CREATE TABLE Parts (id LONG, name TEXT(50), made DATETIME, ok YESNO)"))
        << Utf8(error);
    ASSERT_TRUE(Run(L"INSERT INTO Parts VALUES (1, 'bolt', #2020-01-02 03:04:05#, False)"));
    ASSERT_TRUE(Run(L"INSERT INTO [Parts$] VALUES (2, 'nut', NULL, True)"));
    ASSERT_TRUE(Run(L"CREATE TABLE [Wide Sheet] (a TEXT)"));
    ASSERT_TRUE(Run(L"INSERT INTO [Wide Sheet] VALUES ('x')"));
    EXPECT_FALSE(Run(L"CREATE TABLE Parts (x TEXT)"));
    EXPECT_NE(error.find(L"already exists"), std::wstring::npos) << Utf8(error);
    ASSERT_TRUE(Open(book));
    EXPECT_EQ(Query(L"SELECT * FROM [Parts$] ORDER BY id"),
              (Grid{{L"1.000000", L"bolt", L"2020-01-02 03:04:05", L"0"},
                    {L"2.000000", L"nut", L"<null>", L"-1"}}))
        << "a LONG column reads back as a number column of the sheet";
    EXPECT_EQ(Query(L"SELECT CLng(id), name FROM [Parts$] ORDER BY id"),
              (Grid{{L"1", L"bolt"}, {L"2", L"nut"}}));
    EXPECT_EQ(Query(L"SELECT a FROM ['Wide Sheet$']"), (Grid{{L"x"}}));
    EXPECT_EQ(Query(L"SELECT a FROM [Wide Sheet$]"), (Grid{{L"x"}}));
    // A sheet added to a workbook made by Excel.
    const std::string excel = Copy("calamine/any_sheets.xlsx");
    const auto before = ZipEntries(excel);
    ASSERT_TRUE(Open(excel));
    ASSERT_TRUE(Run(L"CREATE TABLE Added (v DOUBLE)"));
    ASSERT_TRUE(Run(L"INSERT INTO Added VALUES (1.5)"));
    ASSERT_TRUE(Open(excel));
    EXPECT_EQ(Query(L"SELECT v FROM [Added$]"), (Grid{{L"1.500000"}}));
    EXPECT_EQ(Query(L"SELECT COUNT(*) FROM [Visible$]"), (Grid{{L"4"}}));
    const auto after = ZipEntries(excel);
    for (const auto& [name, entry] : before)
        if (name != "xl/workbook.xml" && name != "xl/_rels/workbook.xml.rels" &&
            name != "[Content_Types].xml") {
            EXPECT_EQ(after.at(name), entry) << name;
        }
}

TEST_F(WorkbookWriteTest, RefusalsRollbackAndAKilledWriterLeaveTheFile) {
    const std::string book = Copy("csvkit/dummy.xlsx");
    std::ifstream in(book, std::ios::binary);
    const std::string original((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    auto unchanged = [&] {
        std::ifstream now(book, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(now)),
                           std::istreambuf_iterator<char>()) == original;
    };
    ASSERT_TRUE(Open(book));
    EXPECT_FALSE(Run(L"DELETE FROM [Sheet1$] WHERE a = 1"));
    EXPECT_NE(error.find(L"Deleting data in a linked table is not supported by this ISAM."),
              std::wstring::npos)
        << Utf8(error);
    ASSERT_TRUE(connection.StartTransaction());
    ASSERT_TRUE(Run(L"INSERT INTO [Sheet1$] VALUES (4, 5, 6)")) << Utf8(error);
    EXPECT_EQ(Query(L"SELECT COUNT(*) FROM [Sheet1$]"), (Grid{{L"2"}}));
    ASSERT_TRUE(connection.Rollback());
    EXPECT_EQ(Query(L"SELECT COUNT(*) FROM [Sheet1$]"), (Grid{{L"1"}}));
    EXPECT_TRUE(unchanged());
    for (const std::wstring& properties :
         {std::wstring(L"Excel 8.0;HDR=YES;ReadOnly=True"), std::wstring(L"Excel 12.0 Xml")}) {
        ASSERT_TRUE(Open(book, properties,
                         properties.find(L"ReadOnly") != std::wstring::npos ? L"" : L"Mode=Read;"));
        EXPECT_FALSE(Run(L"INSERT INTO [Sheet1$] VALUES (4, 5, 6)"));
        EXPECT_NE(error.find(L"read-only"), std::wstring::npos) << Utf8(error);
    }
    ASSERT_TRUE(Open(kExcelData + "/csvkit/test.xls"));
    EXPECT_FALSE(Run(L"UPDATE [testfixed_converted#csv$] SET [integer] = 1"));
    EXPECT_NE(error.find(L"read-only"), std::wstring::npos) << Utf8(error);
    connection.Close();
    EXPECT_TRUE(unchanged());
    // A writer killed while it writes its transaction leaves the old workbook.
    for (int round = 0; round < 4; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            VornOleDbConnection c;
            c.OpenFromInitializationString(ConnectionTo(book, L"Excel 12.0 Xml"), false);
            VornOleDbCommand cmd;
            cmd.SetConnection(&c);
            for (int i = 0;; ++i) {
                cmd.SetCommandText(L"INSERT INTO [Sheet1$] VALUES (1, 2, 3)");
                cmd.Execute();
            }
        }
        ::usleep(static_cast<useconds_t>(20000 + round * 30000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(Open(book));
        const Grid count = Query(L"SELECT COUNT(*) FROM [Sheet1$] WHERE a = 1");
        ASSERT_EQ(count.size(), 1u);
        EXPECT_EQ(Query(L"SELECT COUNT(*) FROM [Sheet1$] WHERE a <> 1"), (Grid{{L"0"}}));
        EXPECT_EQ(ZipEntries(book).size(), ZipEntries(kExcelData + "/csvkit/dummy.xlsx").size());
        connection.Close();
    }
}

TEST_F(WorkbookWriteTest, LibreOfficeReadsTheWrittenWorkbook) {
    if (std::system("command -v soffice > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "LibreOffice (libreoffice-calc-nogui) is not installed";
    const std::string book = Copy("csvkit/test.xlsx");
    ASSERT_TRUE(Open(book));
    ASSERT_TRUE(
        Run(L"INSERT INTO [Sheet1$] (text, [date], [integer], [boolean]) VALUES "
            L"('added', #2024-02-29#, 12, False)"));
    ASSERT_TRUE(Run(L"UPDATE [Sheet1$] SET [float] = 3.25 WHERE text = 'Chicago Reader'"));
    connection.Close();
    const std::string out = folder.File("csv");
    const std::string convert = "HOME='" + folder.File("home") +
                                "' soffice --headless --convert-to 'csv:Text - txt - csv "
                                "(StarCalc):44,34,76,1,,1033,false,true,false,false,false,-1' "
                                "--outdir '" +
                                out + "' '" + book + "' > /dev/null 2>&1";
    ASSERT_EQ(std::system(convert.c_str()), 0);
    std::ifstream csv(out + "/test-Sheet1.csv");
    std::string all((std::istreambuf_iterator<char>(csv)), std::istreambuf_iterator<char>());
    std::ifstream old(kExcelData + "/expected/libreoffice/csvkit/xlsx/test-Sheet1.csv");
    std::string expected((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
    const size_t first = expected.find("Chicago Reader,01/01/1971,40,TRUE,1,");
    ASSERT_NE(first, std::string::npos);
    expected.replace(first, 36, "Chicago Reader,01/01/1971,40,TRUE,3.25,");
    expected += "added,02/29/2024,12,FALSE,,,,\n";
    // Seconds may round either way between two exports.
    auto strip = [](std::string s) {
        for (size_t at = s.find("14:57:1"); at != std::string::npos; at = s.find("14:57:1", at + 1))
            s[at + 7] = 'x';
        return s;
    };
    EXPECT_EQ(strip(all), strip(expected));
}

// Sheet rows 2..5 of a book whose column b holds one shared formula group (master B2)
// that reads column a, another sheet and a string literal: b = a * 2 + 10 + 2.
std::string SharedFormulaRows(const std::string& formula, const std::string& ref) {
    std::string rows =
        "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a</t></is></c>"
        "<c r=\"B1\" t=\"inlineStr\"><is><t>b</t></is></c></row>";
    for (int r = 2; r <= 5; ++r) {
        const std::string n = std::to_string(r);
        rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + std::to_string(r - 1) +
                "</v></c><c r=\"B" + n + "\" s=\"0\">" +
                (r == 2 ? "<f t=\"shared\" ref=\"" + ref + "\" si=\"0\">" + formula + "</f>"
                        : "<f t=\"shared\" si=\"0\"/>") +
                "<v>" + std::to_string((r - 1) * 2 + 12) + "</v></c></row>";
    }
    return rows;
}

TEST_F(WorkbookWriteTest, OverwritingASharedFormulasMasterHandsItToTheNextCell) {
    const std::string book = folder.File("shared.xlsx");
    MakeXlsx(book,
             {{"Sheet1", SharedFormulaRows("A2*2+'Other Sheet'!$A$1+LEN(&quot;A2&quot;)", "B2:B5")},
              {"Other Sheet", "<row r=\"1\"><c r=\"A1\"><v>10</v></c></row>"}});
    const auto before = ZipEntries(book);
    ASSERT_TRUE(Open(book));
    ASSERT_TRUE(Run(L"UPDATE [Sheet1$] SET b = 100 WHERE a = 1")) << Utf8(error);
    connection.Close();
    const auto after = ZipEntries(book);
    for (const auto& [name, entry] : before)
        if (name != "xl/worksheets/sheet1.xml") {
            EXPECT_EQ(after.at(name), entry) << name;
        }
    std::string sheet = ZipEntryText(book, "xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find("<c r=\"B2\" s=\"0\"><v>100</v></c>"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("<c r=\"B3\" s=\"0\"><f t=\"shared\" ref=\"B3:B5\" si=\"0\">A3*2+'Other "
                         "Sheet'!$A$1+LEN(&quot;A2&quot;)</f><v>16</v></c>"),
              std::string::npos)
        << sheet;
    EXPECT_NE(sheet.find("<c r=\"B5\" s=\"0\"><f t=\"shared\" si=\"0\"/><v>20</v></c>"),
              std::string::npos)
        << sheet;

    // Overwriting a cell that only uses the formula takes it out of the group alone.
    ASSERT_TRUE(Open(book));
    ASSERT_TRUE(Run(L"UPDATE [Sheet1$] SET b = 7 WHERE a = 3")) << Utf8(error);
    EXPECT_EQ(Query(L"SELECT a, b FROM [Sheet1$]"), (Grid{{L"1.000000", L"100.000000"},
                                                          {L"2.000000", L"16.000000"},
                                                          {L"3.000000", L"7.000000"},
                                                          {L"4.000000", L"20.000000"}}));
    connection.Close();
    sheet = ZipEntryText(book, "xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find("<c r=\"B4\" s=\"0\"><v>7</v></c>"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("ref=\"B3:B5\" si=\"0\">A3*2"), std::string::npos) << sheet;

    // LibreOffice reads the formulas of the cells that still share one.
    if (std::system("command -v soffice > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "LibreOffice (libreoffice-calc-nogui) is not installed";
    const std::string out = folder.File("csv");
    const std::string convert = "HOME='" + folder.File("home") +
                                "' soffice --headless --convert-to 'csv:Text - txt - csv "
                                "(StarCalc):44,34,76,1,,1033,false,true,false,true,false,-1' "
                                "--outdir '" +
                                out + "' '" + book + "' > /dev/null 2>&1";
    ASSERT_EQ(std::system(convert.c_str()), 0);
    std::ifstream csv(out + "/shared-Sheet1.csv");
    std::vector<std::string> lines;
    for (std::string line; std::getline(csv, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "1,100");
    EXPECT_EQ(lines[2].rfind("2,\"=A3*2+", 0), 0u) << lines[2];
    EXPECT_EQ(lines[3], "3,7");
    EXPECT_EQ(lines[4].rfind("4,\"=A5*2+", 0), 0u) << lines[4];
    EXPECT_NE(lines[4].find("LEN(\"\"A2\"\")"), std::string::npos) << lines[4];
}

TEST_F(WorkbookWriteTest, SharedFormulasThatCannotMoveRefuseTheWrite) {
    struct Case {
        std::string formula, ref, why;
    };
    const std::vector<Case> cases = {
        {"SUM(Table1[x])+A2", "B2:B5",
         "cannot be moved to B3: it holds a structured reference (Table1[x])"},
        {"[1]Data!A2*2", "B2:B5", "a reference to another workbook ([1])"},
        // Cells of column a use it too: without B2 the first cell left, B3, is no corner.
        {"A2*2", "A3:B5", "the top left corner"},
    };
    for (const Case& c : cases) {
        const std::string book = folder.File("refused.xlsx");
        std::string rows = SharedFormulaRows(c.formula, c.ref);
        if (c.ref == "A3:B5")
            for (const char* cell : {"<c r=\"A4\"><v>3</v></c>", "<c r=\"A5\"><v>4</v></c>"}) {
                std::string shared = cell;
                shared.insert(shared.find("><v>") + 1, "<f t=\"shared\" si=\"0\"/>");
                rows.replace(rows.find(cell), std::string(cell).size(), shared);
            }
        MakeXlsx(book, {{"Sheet1", rows}});
        std::ifstream in(book, std::ios::binary);
        const std::string original((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
        ASSERT_TRUE(Open(book));
        EXPECT_FALSE(Run(L"UPDATE [Sheet1$] SET b = 100 WHERE a = 1")) << c.formula;
        EXPECT_NE(error.find(L"the cell B2 of sheet 'Sheet1' holds the shared formula that cells "),
                  std::wstring::npos)
            << Utf8(error);
        EXPECT_NE(error.find(Utf8ToWide(c.why)), std::wstring::npos) << Utf8(error);
        EXPECT_EQ(Query(L"SELECT b FROM [Sheet1$] WHERE a = 1"), (Grid{{L"14.000000"}}));
        connection.Close();
        std::ifstream now(book, std::ios::binary);
        EXPECT_EQ(
            std::string((std::istreambuf_iterator<char>(now)), std::istreambuf_iterator<char>()),
            original);
        // Writing every cell of the group leaves nobody needing the formula.
        ASSERT_TRUE(Open(book));
        EXPECT_TRUE(Run(L"UPDATE [Sheet1$] SET a = 0, b = 0")) << Utf8(error);
        connection.Close();
        EXPECT_EQ(ZipEntryText(book, "xl/worksheets/sheet1.xml").find("<f"), std::string::npos);
    }
}

}  // namespace
}  // namespace vorn::test
