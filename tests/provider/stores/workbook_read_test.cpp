// How a sheet reads: the types guessed from the first rows, cells of another kind, error
// cells, rows the file leaves out, columns past Z, the 1904 date system, ranges, defined
// names and HDR=No, on a workbook made here cell by cell.
#include "workbook_test_util.h"

namespace {

using vorn::test::Grid;
using vorn::test::MakeXlsx;
using vorn::test::Utf8;

std::string Text(const std::string& ref, const std::string& text) {
    return "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
}
std::string Number(const std::string& ref, const std::string& value,
                   const std::string& style = "") {
    return "<c r=\"" + ref + "\"" + (style.empty() ? "" : " s=\"" + style + "\"") + "><v>" + value +
           "</v></c>";
}
std::string Typed(const std::string& ref, const std::string& type, const std::string& value) {
    return "<c r=\"" + ref + "\" t=\"" + type + "\"><v>" + value + "</v></c>";
}

// Style 1 is a date format (numFmtId 14).
const char kStyles[] =
    "<cellXfs count=\"2\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\" applyNumberFormat=\"1\"/>"
    "</cellXfs>";

class WorkbookReadTest : public vorn::test::WorkbookTest {
  protected:
    // Sheet "Data": a header, then rows 2-4 and 6 (row 5 is left out of the file); AB is a
    // column past Z whose only value is in row 6.
    void MakeBook(const std::string& path, const std::string& workbookExtra = "") {
        const std::string rows =
            "<row r=\"1\">" + Text("A1", "num") + Text("B1", "txt") + Text("C1", "flag") +
            Text("D1", "day") + Text("E1", "calc") + Text("AB1", "far") + "</row>" +
            "<row r=\"2\">" + Number("A2", "1.5") + Text("B2", "x") + Typed("C2", "b", "1") +
            Number("D2", "45000", "1") + Typed("E2", "e", "#DIV/0!") + "</row>" + "<row r=\"3\">" +
            Number("A3", "2") + Text("B3", "y") + Typed("C3", "b", "0") +
            Number("D3", "45001.5", "1") + Number("E3", "7") + "</row>" + "<row r=\"4\">" +
            Text("A4", "oops") + Number("B4", "3") + Typed("C4", "b", "1") +
            Number("D4", "40000", "1") + Typed("E4", "e", "#N/A") + "</row>" + "<row r=\"6\">" +
            Number("A6", "4") + Text("B6", "z") + Number("AB6", "9") + "</row>";
        MakeXlsx(path, {{"Data", rows}}, "", kStyles, workbookExtra);
    }
};

TEST_F(WorkbookReadTest, TypesMisfitsErrorsGapsAndFarColumns) {
    const std::string book = folder.File("read.xlsx");
    MakeBook(book);
    ASSERT_TRUE(Open(book)) << Utf8(error);
    ASSERT_TRUE(Run(L"SELECT num, txt, flag, day, calc, far FROM [Data$]")) << Utf8(error);
    // The kind most of the first rows have: numbers Double, text, booleans, dated numbers.
    EXPECT_EQ(DBTYPE_R8, command.GetRawType(1));
    EXPECT_EQ(DBTYPE_WSTR, command.GetRawType(2));
    EXPECT_EQ(DBTYPE_BOOL, command.GetRawType(3));
    EXPECT_EQ(DBTYPE_DATE, command.GetRawType(4));
    command.Close();
    // A cell of another kind reads NULL, error cells read NULL, the row the file leaves out
    // is a row of NULLs, and a column past Z is read.
    EXPECT_EQ(Query(L"SELECT num, txt, flag, day, calc, far FROM [Data$]"),
              (Grid{{L"1.500000", L"x", L"-1", L"2023-03-15", L"<null>", L"<null>"},
                    {L"2.000000", L"y", L"0", L"2023-03-16 12:00:00", L"7.000000", L"<null>"},
                    {L"<null>", L"<null>", L"-1", L"2009-07-06", L"<null>", L"<null>"},
                    {L"<null>", L"<null>", L"<null>", L"<null>", L"<null>", L"<null>"},
                    {L"4.000000", L"z", L"<null>", L"<null>", L"<null>", L"9.000000"}}));
    EXPECT_EQ(Query(L"SELECT COUNT(*) FROM [Data$]"), (Grid{{L"5"}}));

    // IMEX=1: the mixed columns are text and every cell reads as its text.
    ASSERT_TRUE(Open(book, L"Excel 12.0 Xml;HDR=Yes;IMEX=1")) << Utf8(error);
    EXPECT_EQ(Query(L"SELECT num, txt FROM [Data$] WHERE num = 'oops' OR txt = '3'"),
              (Grid{{L"oops", L"3"}}));
}

TEST_F(WorkbookReadTest, DatesOfThe1904SystemRangesNamesAndNoHeader) {
    const std::string book = folder.File("names.xlsx");
    MakeBook(book,
             "<workbookPr date1904=\"1\"/><definedNames><definedName name=\"Firsts\">"
             "Data!$A$1:$B$3</definedName></definedNames>");
    ASSERT_TRUE(Open(book)) << Utf8(error);
    // Day 45000 of the 1904 system is 1462 days later than in the 1900 system.
    EXPECT_EQ(Query(L"SELECT day FROM [Data$] WHERE num = 1.5"), (Grid{{L"2027-03-16"}}));
    EXPECT_EQ(Query(L"SELECT * FROM [Data$A1:B3]"),
              (Grid{{L"1.500000", L"x"}, {L"2.000000", L"y"}}));
    EXPECT_EQ(Query(L"SELECT * FROM Firsts"), (Grid{{L"1.500000", L"x"}, {L"2.000000", L"y"}}));

    ASSERT_TRUE(Open(book, L"Excel 12.0 Xml;HDR=No")) << Utf8(error);
    EXPECT_EQ(Columns(L"[Data$B1:C3]"), (std::vector<std::wstring>{L"F1", L"F2"}));
    EXPECT_EQ(Query(L"SELECT F1 FROM [Data$B1:C3]"), (Grid{{L"txt"}, {L"x"}, {L"y"}}));
}

}  // namespace
