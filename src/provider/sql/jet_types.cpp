// Jet data types in SQLite tables.
#include "sql/jet_types.h"
#include "text_helpers.h"

#include <cwctype>

namespace vorn::provider::sql {
namespace {

// The first word of a declared type, upper-cased: "TEXT(50)" -> "TEXT".
std::string FirstWord(std::string_view declared) {
    size_t b = 0;
    while (b < declared.size() && declared[b] == ' ')
        ++b;
    size_t e = b;
    while (e < declared.size() && declared[e] != ' ' && declared[e] != '(')
        ++e;
    return AsciiUpper(declared.substr(b, e - b));
}

}  // namespace

bool IsTextType(JetType t) {
    return t == JetType::Text || t == JetType::Memo;
}

bool JetTypeFromName(const std::wstring& rawName, const int64_t* args, int argCount,
                     JetTypeSpec* spec, std::wstring* error) {
    const std::wstring name = WideUpper(rawName);
    struct Entry {
        const wchar_t* name;
        JetType type;
        int maxArgs;
    };
    static const Entry kEntries[] = {
        {L"TEXT", JetType::Text, 1},
        {L"VARCHAR", JetType::Text, 1},
        {L"CHAR", JetType::Text, 1},
        {L"CHARACTER", JetType::Text, 1},
        {L"STRING", JetType::Text, 1},
        {L"NVARCHAR", JetType::Text, 1},
        {L"NCHAR", JetType::Text, 1},
        {L"ALPHANUMERIC", JetType::Text, 1},
        {L"CHARACTER VARYING", JetType::Text, 1},
        {L"NATIONAL CHAR", JetType::Text, 1},
        {L"NATIONAL CHARACTER", JetType::Text, 1},
        {L"NATIONAL VARCHAR", JetType::Text, 1},
        {L"MEMO", JetType::Memo, 0},
        {L"LONGTEXT", JetType::Memo, 0},
        {L"LONGCHAR", JetType::Memo, 0},
        {L"NOTE", JetType::Memo, 0},
        {L"NTEXT", JetType::Memo, 0},
        {L"HYPERLINK", JetType::Memo, 0},
        {L"BYTE", JetType::Byte, 0},
        {L"TINYINT", JetType::Byte, 0},
        {L"INTEGER1", JetType::Byte, 0},
        {L"SHORT", JetType::Short, 0},
        {L"SMALLINT", JetType::Short, 0},
        {L"INTEGER2", JetType::Short, 0},
        {L"LONG", JetType::Long, 0},
        {L"INTEGER", JetType::Long, 0},
        {L"INT", JetType::Long, 0},
        {L"INTEGER4", JetType::Long, 0},
        {L"COUNTER", JetType::Counter, 2},
        {L"AUTOINCREMENT", JetType::Counter, 2},
        {L"IDENTITY", JetType::Counter, 2},
        {L"SINGLE", JetType::Single, 0},
        {L"REAL", JetType::Single, 0},
        {L"FLOAT4", JetType::Single, 0},
        {L"IEEESINGLE", JetType::Single, 0},
        {L"DOUBLE", JetType::Double, 0},
        {L"DOUBLE PRECISION", JetType::Double, 0},
        {L"FLOAT", JetType::Double, 0},
        {L"FLOAT8", JetType::Double, 0},
        {L"IEEEDOUBLE", JetType::Double, 0},
        {L"NUMBER", JetType::Double, 0},
        {L"CURRENCY", JetType::Currency, 0},
        {L"MONEY", JetType::Currency, 0},
        {L"DATETIME", JetType::DateTime, 0},
        {L"DATE", JetType::DateTime, 0},
        {L"TIME", JetType::DateTime, 0},
        {L"TIMESTAMP", JetType::DateTime, 0},
        {L"YESNO", JetType::YesNo, 0},
        {L"BIT", JetType::YesNo, 0},
        {L"LOGICAL", JetType::YesNo, 0},
        {L"LOGICAL1", JetType::YesNo, 0},
        {L"BOOLEAN", JetType::YesNo, 0},
        {L"BINARY", JetType::Binary, 1},
        {L"VARBINARY", JetType::Binary, 1},
        {L"LONGBINARY", JetType::LongBinary, 0},
        {L"OLEOBJECT", JetType::LongBinary, 0},
        {L"GENERAL", JetType::LongBinary, 0},
        {L"IMAGE", JetType::LongBinary, 0},
        {L"GUID", JetType::Guid, 0},
        {L"UNIQUEIDENTIFIER", JetType::Guid, 0},
        {L"DECIMAL", JetType::Decimal, 2},
        {L"NUMERIC", JetType::Decimal, 2},
        {L"DEC", JetType::Decimal, 2},
    };
    const Entry* found = nullptr;
    for (const Entry& e : kEntries)
        if (name == e.name) {
            found = &e;
            break;
        }
    if (!found) {
        *error = L"'" + rawName + L"' is not a data type";
        return false;
    }
    if (argCount > found->maxArgs) {
        *error = L"the data type " + rawName + L" takes " +
                 (found->maxArgs == 0 ? std::wstring(L"no size")
                                      : std::to_wstring(found->maxArgs) + L" number(s)");
        return false;
    }
    JetTypeSpec s;
    s.type = found->type;
    switch (s.type) {
        case JetType::Text:
            if (argCount == 0 && name == L"TEXT") {
                s.type = JetType::Memo;  // TEXT without a size is a memo to the OLE DB engine
                break;
            }
            s.size = argCount ? int(args[0] > 100000 ? 100000 : args[0]) : 255;
            if (s.size < 1 || s.size > 255) {
                *error = L"the size of a TEXT column must be between 1 and 255, not " +
                         std::to_wstring(argCount ? args[0] : 0);
                return false;
            }
            break;
        case JetType::Binary:
            s.size = argCount ? int(args[0] > 100000 ? 100000 : args[0]) : 510;
            if (s.size < 1 || s.size > 510) {
                *error = L"the size of a BINARY column must be between 1 and 510, not " +
                         std::to_wstring(argCount ? args[0] : 0);
                return false;
            }
            break;
        case JetType::Counter:
            if (argCount == 1) {
                *error = L"COUNTER takes a seed and a step: COUNTER(seed, step)";
                return false;
            }
            if (argCount == 2) {
                s.seed = args[0];
                s.step = args[1];
                if (s.step == 0) {
                    *error = L"the step of a COUNTER column must not be 0";
                    return false;
                }
            }
            break;
        case JetType::Decimal:
            if (argCount >= 1)
                s.precision = int(args[0] > 1000 ? 1000 : args[0]);
            if (argCount >= 2)
                s.scale = int(args[1] > 1000 ? 1000 : args[1]);
            if (s.precision < 1 || s.precision > 28 || s.scale < 0 || s.scale > s.precision) {
                *error = L"DECIMAL precision must be 1..28 and its scale 0..precision";
                return false;
            }
            break;
        default:
            break;
    }
    *spec = s;
    return true;
}

std::string DeclaredType(const JetTypeSpec& s) {
    switch (s.type) {
        case JetType::Text:
            return "TEXT(" + std::to_string(s.size) + ")";
        case JetType::Memo:
            return "LONGTEXT";
        case JetType::Byte:
            return "BYTE";
        case JetType::Short:
            return "SHORT";
        case JetType::Long:
            return "LONG";
        case JetType::Counter:
            return "COUNTER";
        case JetType::Single:
            return "SINGLE";
        case JetType::Double:
            return "DOUBLE";
        case JetType::Currency:
            return "CURRENCY";
        case JetType::DateTime:
            return "DATETIME";
        case JetType::YesNo:
            return "YESNO";
        case JetType::Binary:
            return "BINARY(" + std::to_string(s.size) + ")";
        case JetType::LongBinary:
            return "LONGBINARY";
        case JetType::Guid:
            return "GUID";
        case JetType::Decimal:
            return "DECIMAL(" + std::to_string(s.precision) + "," + std::to_string(s.scale) + ")";
    }
    return "";
}

StoreKind StoreKindOfDeclared(std::string_view declared) {
    const std::string w = FirstWord(declared);
    if (w == "DATETIME")
        return StoreKind::Date;
    if (w == "YESNO")
        return StoreKind::Bool;
    if (w == "CURRENCY")
        return StoreKind::Currency;
    if (w == "GUID")
        return StoreKind::Guid;
    if (w == "BINARY" || w == "LONGBINARY")
        return StoreKind::Binary;
    return StoreKind::None;
}

const char* StoreFunction(StoreKind kind) {
    switch (kind) {
        case StoreKind::Date:
            return "jet_store_date";
        case StoreKind::Bool:
            return "jet_store_bool";
        case StoreKind::Currency:
            return "jet_store_currency";
        case StoreKind::Guid:
            return "jet_store_guid";
        case StoreKind::Binary:
            return "jet_store_binary";
        case StoreKind::None:
            break;
    }
    return nullptr;
}

bool IsCounterDeclared(std::string_view declared) {
    return FirstWord(declared) == "COUNTER";
}

}  // namespace vorn::provider::sql
