// What cell values mean: serial dates of either date system, date number formats, the text
// of numbers and dates, and the column types the engine's Excel driver guesses from the
// first rows of a sheet.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sql/jet_types.h"
#include "stores/workbook/sheet_cells.h"

namespace vorn::provider::stores::workbook {

// The rows after the header whose cells decide the column types (the driver's
// TypeGuessRows).
constexpr int kTypeGuessRows = 8;
// Text longer than this makes a column a memo.
constexpr size_t kTextColumnCharacters = 255;

// A sheet's serial date as an automation date. The 1900 system counts 1 January 1900 as 1
// and has a 29 February 1900 (60); the 1904 system counts from 1 January 1904.
double SerialToAutomation(double serial, bool date1904);
double AutomationToSerial(double automation, bool date1904);

// Whether a number format shows a date or a time: the built-in formats 14-22, 27-36,
// 45-47, 50-58, or a format code with date or time parts outside quotes and brackets.
bool IsDateFormat(int formatId, std::string_view code);

// "YYYY-MM-DD HH:MM:SS" of an automation date, written into out (at least 24 bytes); false
// when the date lies outside years 100 to 9999.
bool AutomationDateText(double automation, char* out, size_t* length);

// The shortest text that reads back as the same double ("40", "1.27", "1E+21").
std::string NumberText(double value);

// The kinds of value a column can be guessed as.
enum class ColumnKind : uint8_t { Untyped, Number, Date, Text, Memo, Bool };

// Counts the kinds of the first rows' cells of one column and gives the column's kind: the
// kind most cells have (numbers winning a tie with text, as the driver's do), a memo when
// a text is longer than 255 characters; with import mode (IMEX=1) a column whose cells
// are of several kinds is text. A column without values is Untyped (read as text).
class ColumnGuess {
  public:
    void Add(const Cell& cell);
    ColumnKind Result(bool importMode) const;

  private:
    int numbers_ = 0, dates_ = 0, texts_ = 0, bools_ = 0;
    bool long_ = false;
};

// The Jet type a column of that kind has.
sql::JetTypeSpec JetTypeOfKind(ColumnKind kind);
// The kind of column a Jet type of CREATE TABLE makes (Untyped for types a sheet cannot
// hold: binary data).
ColumnKind KindOfJetType(const sql::JetTypeSpec& type);

// The text of a cell as a text column of an import-mode table reads it.
std::string CellText(const Cell& cell);

}  // namespace vorn::provider::stores::workbook
