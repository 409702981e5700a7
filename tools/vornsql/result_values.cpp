// Reading columns and values of a result through the public command interface.
#include "result_values.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include <vornoledb/heap_ptr.h>
#include <vornoledb/platform/text.h>
#include <vornoledb/windows_names.h>

namespace vornsql {
namespace {

// OLE DB type codes (the values are fixed by OLE DB).
constexpr unsigned short kI2 = 2, kI4 = 3, kR4 = 4, kR8 = 5, kCY = 6, kBool = 11, kDecimal = 14,
                         kI1 = 16, kUI1 = 17, kUI2 = 18, kUI4 = 19, kI8 = 20, kUI8 = 21,
                         kBytes = 128, kStr = 129, kWStr = 130, kNumeric = 131, kVarNumeric = 139,
                         kIUnknown = 13, kByRef = 0x4000;

// A float or double as the shortest text that reads back as the same value ("0.1",
// "1e-300", "123456.7890123"); negative zero keeps its sign and a decimal point ("-0.0"),
// so that readers which take "-0" for the integer 0 still see a floating-point zero.
template <class T>
std::string ShortestText(T value) {
    if (value == 0 && std::signbit(value))
        return "-0.0";
    char text[64];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value);
    return std::string(text, r.ptr);
}

// The exact text of a floating-point field, read from its bytes; empty when they cannot be
// read (the library's text is used then).
std::string FloatingText(VornOleDbCommand& command, unsigned long column, unsigned short type,
                         std::vector<unsigned char>* bytes) {
    if (command.GetFieldBytes(column, *bytes) != VornOleDbCommand::dbOK)
        return std::string();
    if (type == kR8 && bytes->size() == sizeof(double)) {
        double v;
        std::memcpy(&v, bytes->data(), sizeof v);
        return ShortestText(v);
    }
    if (type == kR4 && bytes->size() == sizeof(float)) {
        float v;
        std::memcpy(&v, bytes->data(), sizeof v);
        return ShortestText(v);
    }
    return std::string();
}

}  // namespace

ColumnKind KindOfType(unsigned short rawType) {
    if (rawType & kByRef) {
        const unsigned short base = rawType & static_cast<unsigned short>(~kByRef);
        return base == kWStr || base == kStr ? ColumnKind::LongText : ColumnKind::LongBinary;
    }
    switch (rawType) {
        case kI2:
        case kI4:
        case kR4:
        case kR8:
        case kCY:
        case kDecimal:
        case kUI1:
        case kUI2:
        case kUI4:
        case kI8:
        case kUI8:
        case kNumeric:
        case kVarNumeric:
            return ColumnKind::Number;
        case kBool:
            return ColumnKind::Boolean;
        case kBytes:
            return ColumnKind::ShortBinary;
        case kIUnknown:
            return ColumnKind::LongBinary;  // a stream: bytes whose meaning is not told
        case kI1:                           // a character, as the library writes it
        default:
            return ColumnKind::Text;
    }
}

std::vector<Column> DescribeColumns(VornOleDbCommand& command) {
    std::vector<Column> columns;
    const unsigned long count = command.GetColumnCount();
    columns.reserve(count);
    for (unsigned long i = 1; i <= count; ++i) {
        Column c;
        c.name = WideToUtf8(command.GetColumnName(i));
        c.rawType = command.GetRawType(i);
        c.kind = KindOfType(c.rawType);
        columns.push_back(std::move(c));
    }
    return columns;
}

std::string HexText(const unsigned char* data, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

void ReadRow(VornOleDbCommand& command, const std::vector<Column>& columns, bool wholeValues,
             std::vector<Cell>* cells) {
    cells->resize(columns.size());
    std::vector<unsigned char> fieldBytes;
    for (size_t i = 0; i < columns.size(); ++i) {
        const unsigned long n = static_cast<unsigned long>(i + 1);
        const Column& column = columns[i];
        Cell& cell = (*cells)[i];
        cell.null = command.IsNull(n) == VornOleDbCommand::dbOK;
        cell.text.clear();
        cell.size = 0;
        cell.read = true;
        if (cell.null)
            continue;
        switch (column.kind) {
            case ColumnKind::LongText: {
                CHeapPtr<unsigned char, CCRTAllocator> block;
                const unsigned long bytes = command.GetBlobData(n, block);
                const unsigned short base = column.rawType & static_cast<unsigned short>(~kByRef);
                if (bytes == 0) {
                    cell.size = 0;
                } else if (base == kWStr) {
                    const size_t chars = bytes / sizeof(wchar_t);
                    cell.text = WideToUtf8(reinterpret_cast<const wchar_t*>(block.m_pData), chars);
                    cell.size = static_cast<unsigned long>(chars);
                } else {
                    // Narrow text: checked and normalised as UTF-8 on its way through.
                    const std::wstring wide =
                        Utf8ToWide(reinterpret_cast<const char*>(block.m_pData), bytes);
                    cell.text = WideToUtf8(wide);
                    cell.size = static_cast<unsigned long>(wide.size());
                }
                break;
            }
            case ColumnKind::LongBinary:
                if (wholeValues) {
                    CHeapPtr<unsigned char, CCRTAllocator> block;
                    const unsigned long bytes = command.GetBlobData(n, block);
                    cell.text = HexText(block.m_pData, bytes);
                    cell.size = bytes;
                } else {
                    cell.size = command.GetColumnSize(n);
                    cell.read = false;
                }
                break;
            case ColumnKind::ShortBinary:
                if (wholeValues && command.GetFieldBytes(n, fieldBytes) == VornOleDbCommand::dbOK) {
                    cell.text = HexText(fieldBytes.data(), fieldBytes.size());
                    cell.size = static_cast<unsigned long>(fieldBytes.size());
                } else {
                    cell.size = command.GetColumnSize(n);
                    cell.read = false;
                }
                break;
            default:
                // The library writes doubles with six decimals (1e-300 as 0.000000): their
                // own bytes give every digit they hold.
                if (column.rawType == kR8 || column.rawType == kR4)
                    cell.text = FloatingText(command, n, column.rawType, &fieldBytes);
                if (cell.text.empty())
                    cell.text = WideToUtf8(command.FieldAsString(n));
                break;
        }
    }
}

}  // namespace vornsql
