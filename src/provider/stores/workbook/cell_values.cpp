// What cell values mean.
#include "stores/workbook/cell_values.h"

#include <charconv>
#include <cmath>

#include "calendar.h"
#include "utf8.h"

namespace vorn::provider::stores::workbook {
namespace {

// Days from 30 December 1899 to 1 January 1904, less one: serial 0 of the 1904 system.
constexpr double k1904Offset = 1462;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

double SerialToAutomation(double serial, bool date1904) {
    if (date1904)
        return serial + k1904Offset;
    // Serials before 1 March 1900 count the 29 February 1900 that never was; automation
    // dates do not, and start a day earlier.
    if (serial >= 1 && serial < 60)
        return serial + 1;
    return serial;
}

double AutomationToSerial(double automation, bool date1904) {
    if (date1904)
        return automation - k1904Offset;
    if (automation >= 2 && automation < 61)
        return automation - 1;
    return automation;
}

bool IsDateFormat(int formatId, std::string_view code) {
    if ((formatId >= 14 && formatId <= 22) || (formatId >= 27 && formatId <= 36) ||
        (formatId >= 45 && formatId <= 47) || (formatId >= 50 && formatId <= 58))
        return true;
    if (code.empty())
        return false;
    // Only the first section (positive numbers) decides.
    bool quoted = false;
    for (size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (quoted) {
            quoted = c != '"';
            continue;
        }
        switch (c) {
            case '"':
                quoted = true;
                break;
            case '\\':
            case '_':
            case '*':
                ++i;  // the next character is shown as it is (or is padding)
                break;
            case ';':
                return false;
            case '[': {
                // [h], [mm], [ss]: elapsed time; [Red], [$-409], [>100]: no date part.
                const size_t close = code.find(']', i);
                if (close == std::string_view::npos)
                    return false;
                const char first = Lower(i + 1 < close ? code[i + 1] : ' ');
                if (first == 'h' || first == 'm' || first == 's')
                    return true;
                i = close;
                break;
            }
            default: {
                const char l = Lower(c);
                if (l == 'd' || l == 'm' || l == 'y' || l == 'h' || l == 's' || l == 'e' ||
                    l == 'g' || l == 'b') {
                    // "General" is no date; 'e' and 'b' count only in years (ee, bb).
                    if (l == 'g' && code.size() - i >= 7 && Lower(code[i + 1]) == 'e' &&
                        Lower(code[i + 2]) == 'n')
                        return false;
                    if (l == 'g' || ((l == 'e' || l == 'b') &&
                                     (i + 1 >= code.size() || Lower(code[i + 1]) != l)))
                        break;
                    return true;
                }
                break;
            }
        }
    }
    return false;
}

bool AutomationDateText(double automation, char* out, size_t* length) {
    DateParts parts;
    if (!AutomationToDateParts(automation, &parts))
        return false;
    *length = FormatDateText(parts, true, true, out);
    return true;
}

std::string NumberText(double value) {
    if (value == 0)
        return "0";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

void ColumnGuess::Add(const Cell& cell) {
    switch (cell.kind) {
        case CellKind::Number:
            ++numbers_;
            break;
        case CellKind::Date:
            ++dates_;
            break;
        case CellKind::Text:
            ++texts_;
            if (!long_ && cell.text.size() > kTextColumnCharacters &&
                CountUtf8Chars(cell.text.data(), cell.text.size()) > kTextColumnCharacters)
                long_ = true;
            break;
        case CellKind::Bool:
            ++bools_;
            break;
        case CellKind::Empty:
        case CellKind::Error:
            break;
    }
}

ColumnKind ColumnGuess::Result(bool importMode) const {
    const int kinds = (numbers_ > 0) + (dates_ > 0) + (texts_ > 0) + (bools_ > 0);
    if (kinds == 0)
        return ColumnKind::Untyped;
    if (importMode && kinds > 1)
        return long_ ? ColumnKind::Memo : ColumnKind::Text;
    ColumnKind best = ColumnKind::Number;
    int most = numbers_;
    if (dates_ > most) {
        best = ColumnKind::Date;
        most = dates_;
    }
    if (texts_ > most) {
        best = long_ ? ColumnKind::Memo : ColumnKind::Text;
        most = texts_;
    }
    if (bools_ > most)
        best = ColumnKind::Bool;
    return best;
}

sql::JetTypeSpec JetTypeOfKind(ColumnKind kind) {
    sql::JetTypeSpec spec;
    switch (kind) {
        case ColumnKind::Number:
            spec.type = sql::JetType::Double;
            break;
        case ColumnKind::Date:
            spec.type = sql::JetType::DateTime;
            break;
        case ColumnKind::Memo:
            spec.type = sql::JetType::Memo;
            break;
        case ColumnKind::Bool:
            spec.type = sql::JetType::YesNo;
            break;
        case ColumnKind::Untyped:
        case ColumnKind::Text:
            spec.type = sql::JetType::Text;
            spec.size = static_cast<int>(kTextColumnCharacters);
            break;
    }
    return spec;
}

ColumnKind KindOfJetType(const sql::JetTypeSpec& type) {
    switch (type.type) {
        case sql::JetType::Text:
        case sql::JetType::Guid:
            return ColumnKind::Text;
        case sql::JetType::Memo:
            return ColumnKind::Memo;
        case sql::JetType::Byte:
        case sql::JetType::Short:
        case sql::JetType::Long:
        case sql::JetType::Counter:
        case sql::JetType::Single:
        case sql::JetType::Double:
        case sql::JetType::Currency:
        case sql::JetType::Decimal:
            return ColumnKind::Number;
        case sql::JetType::DateTime:
            return ColumnKind::Date;
        case sql::JetType::YesNo:
            return ColumnKind::Bool;
        case sql::JetType::Binary:
        case sql::JetType::LongBinary:
            break;
    }
    return ColumnKind::Untyped;
}

std::string CellText(const Cell& cell) {
    switch (cell.kind) {
        case CellKind::Number:
            return NumberText(cell.number);
        case CellKind::Date: {
            char text[32];
            size_t n = 0;
            if (!AutomationDateText(cell.number, text, &n))
                return NumberText(cell.number);
            // A date at midnight reads as the date alone, a time on day 0 as the time alone.
            std::string s(text, n);
            if (s.size() == 19 && s.compare(11, 8, "00:00:00") == 0)
                s.resize(10);
            else if (s.size() == 19 && s.compare(0, 10, "1899-12-30") == 0)
                s = s.substr(11);
            return s;
        }
        case CellKind::Text:
            return std::string(cell.text);
        case CellKind::Bool:
            return cell.number != 0 ? "TRUE" : "FALSE";
        case CellKind::Empty:
        case CellKind::Error:
            break;
    }
    return std::string();
}

}  // namespace vorn::provider::stores::workbook
