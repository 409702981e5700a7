// Reading columns and values of a result through the public command interface.
#include "result_values.h"

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
                cell.size = command.GetColumnSize(n);
                cell.read = false;
                break;
            default:
                cell.text = WideToUtf8(command.FieldAsString(n));
                break;
        }
    }
}

}  // namespace vornsql
