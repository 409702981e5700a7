// Moving a formula's relative references to another cell, as a shared formula's new
// master needs: what moves, what stays (strings, names, functions, numbers, dollars), and
// what is refused rather than guessed.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "stores/workbook/formula_shift.h"

namespace vorn::provider::stores::workbook {
namespace {

std::string Shifted(const std::string& formula, int64_t rows, int64_t columns) {
    std::string out;
    std::wstring why;
    if (!ShiftFormula(formula, rows, columns, &out, &why))
        return "refused";
    EXPECT_TRUE(why.empty());
    return out;
}

TEST(FormulaShiftTest, RelativePartsMoveAndDollarPartsStay) {
    const std::vector<std::tuple<std::string, int64_t, int64_t, std::string>> cases = {
        {"A1+B2", 1, 0, "A2+B3"},
        {"$A1+A$1+$A$1+a1", 1, 1, "$A2+B$1+$A$1+B2"},
        {"SUM(A1:B3)*C$4", 2, 3, "SUM(D3:E5)*F$4"},
        {"SUM(Sheet2!B3:B9)+Sheet2!$B$3", 1, 0, "SUM(Sheet2!B4:B10)+Sheet2!$B$3"},
        {"'My Sheet'!B3*'It''s'!C1", 0, 1, "'My Sheet'!C3*'It''s'!D1"},
        {"SUM(A:A)+COUNT($B:C)", 5, 1, "SUM(B:B)+COUNT($B:D)"},
        {"SUM(3:3)+SUM($4:5)+SUM('X Y'!7:7)", 2, 9, "SUM(5:5)+SUM($4:7)+SUM('X Y'!9:9)"},
        {"Sheet1:Sheet3!A1", 1, 0, "Sheet1:Sheet3!A2"},
        {"XFC1+A1048575", 1, 1, "XFD2+B1048576"},
        {"B3+C$2", -1, -1, "A2+B$2"},  // up and left, while the references stay on the sheet
    };
    for (const auto& [formula, rows, columns, expected] : cases)
        EXPECT_EQ(Shifted(formula, rows, columns), expected) << formula;
}

TEST(FormulaShiftTest, TextNamesFunctionsAndNumbersStay) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\"A1\"&A1&\"say \"\"B2\"\"\"", "\"A1\"&A2&\"say \"\"B2\"\"\""},
        {"LOG10(A1)+ATAN2(B1,C1)+_xlfn.CONCAT(D1)", "LOG10(A2)+ATAN2(B2,C2)+_xlfn.CONCAT(D2)"},
        {"1E5+2.5e-3+.5+A1*1E+2", "1E5+2.5e-3+.5+A2*1E+2"},
        {"Rate*A1+TAX2023a+XFE1+TRUE", "Rate*A2+TAX2023a+XFE1+TRUE"},
        {"IF(ISERROR(A1),#N/A,#DIV/0!)+#REF!", "IF(ISERROR(A2),#N/A,#DIV/0!)+#REF!"},
        {"{1,2;3,4}", "{1,2;3,4}"},
        {"A1 B1:C2", "A2 B2:C3"},
        {"RC1+Ümlaut1", "RC2+Ümlaut1"},  // RC1 is a cell in A1 style
        {"", ""},
    };
    for (const auto& [formula, expected] : cases)
        EXPECT_EQ(Shifted(formula, 1, 0), expected) << formula;
}

TEST(FormulaShiftTest, RefusesWhatItCannotMoveSoundly) {
    const std::vector<std::pair<std::string, std::wstring>> cases = {
        {"R1C1+1", L"an R1C1 reference (R1C1)"},
        {"SUM(RC[-1]:RC[-3])", L"an R1C1 reference (RC[-1])"},
        {"R[1]C*2", L"an R1C1 reference (R[1]C)"},
        {"SUM(Table1[Sales])", L"a structured reference (Table1[Sales])"},
        {"Table1[[#This Row],[A]]*2", L"a structured reference (Table1[[#This Row],[A]]"},
        {"[@Col]*2", L"a structured reference ([@Col])"},
        {"[1]Sheet1!A1", L"a reference to another workbook ([1])"},
        {"'[Book.xlsx]Sheet1'!A1", L"a reference to another workbook ('[Book.xlsx]Sheet1')"},
        {"A1048576", L"its reference A1048576 would move off the sheet"},
        {"SUM(XFD:XFD)", L"its reference XFD:XFD would move off the sheet"},
    };
    for (const auto& [formula, why] : cases) {
        std::string out;
        std::wstring reason;
        EXPECT_FALSE(ShiftFormula(formula, 1, 1, &out, &reason)) << formula << " gave " << out;
        EXPECT_NE(reason.find(why), std::wstring::npos) << formula;
    }
    // A dollar keeps a reference in place, so an edge cell can be named.
    EXPECT_EQ(Shifted("$XFD$1048576+R1", 1, 1), "$XFD$1048576+S2");
    std::string out;
    std::wstring reason;
    EXPECT_FALSE(ShiftFormula("A1", -1, 0, &out, &reason));
}

}  // namespace
}  // namespace vorn::provider::stores::workbook
