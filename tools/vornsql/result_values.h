// The columns of a result and the values of its current row, read through the public
// command interface.
#pragma once

#include <string>
#include <vector>

#include <vornoledb/command.h>

namespace vornsql {

enum class ColumnKind {
    Text,         // read with FieldAsString
    Number,       // integers, floating point, currency, decimals: text that reads as a number
    Boolean,      // yes/no: -1 or 0
    LongText,     // memo: read whole with GetBlobData, wide characters
    LongBinary,   // OLE object / long binary: read whole with GetBlobData
    ShortBinary,  // BINARY(n): read from the field's bytes
};

struct Column {
    std::string name;  // UTF-8
    unsigned short rawType = 0;
    ColumnKind kind = ColumnKind::Text;
};

struct Cell {
    bool null = false;
    // UTF-8 text; for a binary value read whole, its bytes as lower-case hexadecimal.
    std::string text;
    // Bytes of a long or binary value (for display); characters of a long text.
    unsigned long size = 0;
    // False when the value was not read (a binary value that was only measured).
    bool read = true;
};

ColumnKind KindOfType(unsigned short rawType);
std::vector<Column> DescribeColumns(VornOleDbCommand& command);

// Reads the current row. With wholeValues false, binary values are only measured (their
// size from GetColumnSize); long text is always read. Floating-point values are written
// with every digit they hold (the shortest text that reads back the same).
void ReadRow(VornOleDbCommand& command, const std::vector<Column>& columns, bool wholeValues,
             std::vector<Cell>* cells);

// Lower-case hexadecimal digits of bytes, two per byte.
std::string HexText(const unsigned char* data, size_t size);

}  // namespace vornsql
