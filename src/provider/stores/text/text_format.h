// How a delimited or fixed-length text file is read: the folder's defaults from Extended
// Properties (HDR, FMT, MaxScanRows, IMEX, CharacterSet) and a file's own section of the
// folder's schema.ini, as the engine's text driver defines them:
//
//   [parts.csv]
//   Format=CSVDelimited | TabDelimited | Delimited(;) | FixedLength
//   ColNameHeader=True | False
//   MaxScanRows=25            (0: every row)
//   CharacterSet=65001 | UTF-8 | ANSI | 1252 | OEM | 437
//   DateTimeFormat=dd.mm.yyyy hh:nn:ss
//   DecimalSymbol=,
//   CurrencySymbol=€
//   Col1=PartNo Long
//   Col2="Part name" Text Width 40
//
// Column types: Text, Memo, Char, Byte, Short, Integer (16 bits), Long, Single, Double,
// Float, Currency, DateTime, Date, Bit. Width gives a text column its size and a
// fixed-length column its width in characters. ColN names win over the header line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sql/jet_types.h"
#include "stores/text/text_charset.h"

namespace vorn::provider::stores::text {

struct TextColumnSpec {
    std::wstring name;
    sql::JetTypeSpec type;
    int width = 0;  // fixed-length files: characters of the field
};

struct TextFormat {
    bool fixedLength = false;
    char delimiter = ',';
    bool header = true;
    int maxScanRows = 25;  // 0: every row
    Charset charset = Charset::Utf8;
    bool imex = false;           // a value that does not fit its column reads as its text
    std::string dateTimeFormat;  // empty: ISO yyyy-mm-dd [hh:mm[:ss]]
    char decimalSymbol = '.';
    std::string currencySymbol;           // UTF-8
    std::vector<TextColumnSpec> columns;  // from schema.ini; empty: from the file
};

// One [section] of schema.ini: its entries in order, keys as written.
struct SchemaIniSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;
};

// The sections of a schema.ini text. Lines: "[name]", "key=value", blank, or comments
// starting with ';' or '#'. Other lines are ignored, as the driver ignores them.
std::vector<SchemaIniSection> ParseSchemaIni(std::string_view text);

// The section for a file (its name, letter case ignored), or null.
const SchemaIniSection* FindSection(const std::vector<SchemaIniSection>& sections,
                                    const std::string& fileName);

// Applies Extended Properties (HDR, FMT, MaxScanRows, IMEX, CharacterSet) to format.
// False with *error when a value cannot be read.
bool ApplyExtendedProperties(const std::vector<std::pair<std::wstring, std::wstring>>& items,
                             TextFormat* format, std::wstring* error);

// Applies a section to format. False with *error naming the key at fault.
bool ApplySection(const SchemaIniSection& section, TextFormat* format, std::wstring* error);

// A section describing a file written by CREATE TABLE, as schema.ini lines (CRLF).
std::string FormatSection(const std::string& fileName, const TextFormat& format);

// The text driver's name of a column type, as schema.ini writes it ("Long", "Text" ...).
const char* TextTypeName(const sql::JetTypeSpec& spec);

// Reads a FMT / Format value: Delimited (comma), CSVDelimited, Delimited(x),
// TabDelimited, FixedLength. False for anything else.
bool ParseFormatValue(const std::string& value, TextFormat* format);

}  // namespace vorn::provider::stores::text
