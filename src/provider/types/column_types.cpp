// The declared-type table.
#include "types/column_types.h"

#include <mutex>
#include <string>
#include <unordered_map>

#include "library_end.h"
#include "text_helpers.h"

#include <sqlite3.h>

#include <cstdlib>
#include <cstring>

namespace vorn::provider {
namespace {

enum class Kind {
    Text,         // WSTR, size from (n) or unsized
    FixedText,    // WSTR, fixed length when sized
    LongText,     // WSTR, long
    Binary,       // BYTES, size from (n) or 510
    FixedBinary,  // BYTES, fixed length
    LongBinary,   // BYTES, long
    Fixed,        // a fixed-length type given by `type`
    Decimal,      // NUMERIC(p,s) when sized, else R8
};

struct Entry {
    const char* name;
    Kind kind;
    DBTYPE type;
};

// Names are matched whole, after upper-casing and collapsing white space.
constexpr Entry kTypes[] = {
    // text
    {"TEXT", Kind::Text, DBTYPE_WSTR},
    {"VARCHAR", Kind::Text, DBTYPE_WSTR},
    {"NVARCHAR", Kind::Text, DBTYPE_WSTR},
    {"VARCHAR2", Kind::Text, DBTYPE_WSTR},
    {"NVARCHAR2", Kind::Text, DBTYPE_WSTR},
    {"VARYING CHARACTER", Kind::Text, DBTYPE_WSTR},
    {"CHARACTER VARYING", Kind::Text, DBTYPE_WSTR},
    {"NATIONAL VARCHAR", Kind::Text, DBTYPE_WSTR},
    {"STRING", Kind::Text, DBTYPE_WSTR},
    {"ALPHANUMERIC", Kind::Text, DBTYPE_WSTR},
    {"TINYTEXT", Kind::Text, DBTYPE_WSTR},
    {"CHAR", Kind::FixedText, DBTYPE_WSTR},
    {"NCHAR", Kind::FixedText, DBTYPE_WSTR},
    {"CHARACTER", Kind::FixedText, DBTYPE_WSTR},
    {"NATIVE CHARACTER", Kind::FixedText, DBTYPE_WSTR},
    {"NATIONAL CHARACTER", Kind::FixedText, DBTYPE_WSTR},
    {"NATIONAL CHAR", Kind::FixedText, DBTYPE_WSTR},
    {"MEMO", Kind::LongText, DBTYPE_WSTR},
    {"LONGTEXT", Kind::LongText, DBTYPE_WSTR},
    {"LONGCHAR", Kind::LongText, DBTYPE_WSTR},
    {"LONG TEXT", Kind::LongText, DBTYPE_WSTR},
    {"NOTE", Kind::LongText, DBTYPE_WSTR},
    {"NTEXT", Kind::LongText, DBTYPE_WSTR},
    {"CLOB", Kind::LongText, DBTYPE_WSTR},
    {"MEDIUMTEXT", Kind::LongText, DBTYPE_WSTR},
    {"HYPERLINK", Kind::LongText, DBTYPE_WSTR},
    // binary
    {"BINARY", Kind::FixedBinary, DBTYPE_BYTES},
    {"VARBINARY", Kind::Binary, DBTYPE_BYTES},
    {"BLOB", Kind::LongBinary, DBTYPE_BYTES},
    {"LONGBINARY", Kind::LongBinary, DBTYPE_BYTES},
    {"OLEOBJECT", Kind::LongBinary, DBTYPE_BYTES},
    {"IMAGE", Kind::LongBinary, DBTYPE_BYTES},
    {"GENERAL", Kind::LongBinary, DBTYPE_BYTES},
    {"LONGBLOB", Kind::LongBinary, DBTYPE_BYTES},
    {"MEDIUMBLOB", Kind::LongBinary, DBTYPE_BYTES},
    {"LONG BINARY", Kind::LongBinary, DBTYPE_BYTES},
    // integers
    {"BYTE", Kind::Fixed, DBTYPE_UI1},
    {"TINYINT", Kind::Fixed, DBTYPE_UI1},
    {"INTEGER1", Kind::Fixed, DBTYPE_UI1},
    {"SHORT", Kind::Fixed, DBTYPE_I2},
    {"SMALLINT", Kind::Fixed, DBTYPE_I2},
    {"INT2", Kind::Fixed, DBTYPE_I2},
    {"INTEGER2", Kind::Fixed, DBTYPE_I2},
    {"LONG", Kind::Fixed, DBTYPE_I4},
    {"INTEGER4", Kind::Fixed, DBTYPE_I4},
    {"INT4", Kind::Fixed, DBTYPE_I4},
    {"MEDIUMINT", Kind::Fixed, DBTYPE_I4},
    {"COUNTER", Kind::Fixed, DBTYPE_I4},
    {"AUTOINCREMENT", Kind::Fixed, DBTYPE_I4},
    {"IDENTITY", Kind::Fixed, DBTYPE_I4},
    {"INT", Kind::Fixed, DBTYPE_I8},
    {"INTEGER", Kind::Fixed, DBTYPE_I8},
    {"BIGINT", Kind::Fixed, DBTYPE_I8},
    {"INT8", Kind::Fixed, DBTYPE_I8},
    {"INTEGER8", Kind::Fixed, DBTYPE_I8},
    {"UNSIGNED BIG INT", Kind::Fixed, DBTYPE_I8},
    // floating point
    {"SINGLE", Kind::Fixed, DBTYPE_R4},
    {"FLOAT4", Kind::Fixed, DBTYPE_R4},
    {"IEEESINGLE", Kind::Fixed, DBTYPE_R4},
    {"REAL", Kind::Fixed, DBTYPE_R8},
    {"DOUBLE", Kind::Fixed, DBTYPE_R8},
    {"DOUBLE PRECISION", Kind::Fixed, DBTYPE_R8},
    {"FLOAT", Kind::Fixed, DBTYPE_R8},
    {"FLOAT8", Kind::Fixed, DBTYPE_R8},
    {"IEEEDOUBLE", Kind::Fixed, DBTYPE_R8},
    {"NUMBER", Kind::Fixed, DBTYPE_R8},
    // money, dates, yes/no, GUID
    {"CURRENCY", Kind::Fixed, DBTYPE_CY},
    {"MONEY", Kind::Fixed, DBTYPE_CY},
    {"SMALLMONEY", Kind::Fixed, DBTYPE_CY},
    {"DATETIME", Kind::Fixed, DBTYPE_DATE},
    {"DATE", Kind::Fixed, DBTYPE_DATE},
    {"TIME", Kind::Fixed, DBTYPE_DATE},
    {"TIMESTAMP", Kind::Fixed, DBTYPE_DATE},
    {"SMALLDATETIME", Kind::Fixed, DBTYPE_DATE},
    {"YESNO", Kind::Fixed, DBTYPE_BOOL},
    {"BIT", Kind::Fixed, DBTYPE_BOOL},
    {"BOOLEAN", Kind::Fixed, DBTYPE_BOOL},
    {"BOOL", Kind::Fixed, DBTYPE_BOOL},
    {"LOGICAL", Kind::Fixed, DBTYPE_BOOL},
    {"LOGICAL1", Kind::Fixed, DBTYPE_BOOL},
    {"GUID", Kind::Fixed, DBTYPE_GUID},
    {"UNIQUEIDENTIFIER", Kind::Fixed, DBTYPE_GUID},
    {"UUID", Kind::Fixed, DBTYPE_GUID},
    // exact numbers
    {"DECIMAL", Kind::Decimal, DBTYPE_NUMERIC},
    {"NUMERIC", Kind::Decimal, DBTYPE_NUMERIC},
    {"DEC", Kind::Decimal, DBTYPE_NUMERIC},
};

// Jet's size of BINARY / VARBINARY declared without one.
constexpr DBLENGTH kDefaultBinaryBytes = 510;

// Splits "decimal ( 10 , 2 )" into "DECIMAL" and up to two numbers.
struct Declaration {
    std::string name;
    int argCount = 0;  // numbers given in parentheses (0 when none or unreadable)
    unsigned long args[2] = {0, 0};
};

Declaration Parse(const char* text) {
    Declaration d;
    const char* p = text;
    bool pendingSpace = false;
    for (; *p && *p != '('; ++p) {
        if (IsAsciiSpace(*p)) {
            pendingSpace = !d.name.empty();
            continue;
        }
        if (pendingSpace)
            d.name.push_back(' ');
        pendingSpace = false;
        d.name.push_back(AsciiUpper(*p));
    }
    if (*p != '(')
        return d;
    ++p;
    for (int i = 0; i < 2; ++i) {
        while (IsAsciiSpace(*p))
            ++p;
        if (*p < '0' || *p > '9')
            break;
        char* end = nullptr;
        d.args[i] = std::strtoul(p, &end, 10);
        d.argCount = i + 1;
        p = end;
        while (IsAsciiSpace(*p))
            ++p;
        if (*p != ',')
            break;
        ++p;
    }
    return d;
}

ColumnType Fixed(DBTYPE type) {
    ColumnType t;
    t.type = type;
    t.size = DbTypeFixedSize(type);
    t.flags = DBCOLUMNFLAGS_ISFIXEDLENGTH;
    switch (type) {
        case DBTYPE_UI1:
            t.precision = 3;
            break;
        case DBTYPE_I2:
            t.precision = 5;
            break;
        case DBTYPE_I4:
            t.precision = 10;
            break;
        case DBTYPE_I8:
            t.precision = 19;
            break;
        case DBTYPE_R4:
            t.precision = 7;
            break;
        case DBTYPE_R8:
            t.precision = 15;
            break;
        case DBTYPE_CY:
            t.precision = 19;
            t.scale = 4;
            break;
        case DBTYPE_DATE:
            t.precision = 19;  // characters of "YYYY-MM-DD HH:MM:SS"
            break;
        default:
            break;
    }
    return t;
}

ColumnType Text(DBLENGTH chars, bool fixed) {
    ColumnType t;
    t.type = DBTYPE_WSTR;
    t.size = chars;
    if (chars > kLongColumnThreshold)
        t.flags = DBCOLUMNFLAGS_ISLONG;
    else if (fixed)
        t.flags = DBCOLUMNFLAGS_ISFIXEDLENGTH;
    return t;
}

ColumnType LongText() {
    return Text(kLongTextChars, false);
}

ColumnType Binary(DBLENGTH bytes, bool fixed) {
    ColumnType t;
    t.type = DBTYPE_BYTES;
    t.size = bytes;
    if (bytes > kLongColumnThreshold)
        t.flags = DBCOLUMNFLAGS_ISLONG;
    else if (fixed)
        t.flags = DBCOLUMNFLAGS_ISFIXEDLENGTH;
    return t;
}

ColumnType LongBinary() {
    return Binary(kLongBinaryBytes, false);
}

ColumnType FromValue() {
    ColumnType t = Text(kUnsizedTextChars, false);
    t.fromValue = true;
    return t;
}

// A size given in a declaration: 0 is no size; sizes are capped at the long-text size.
DBLENGTH DeclaredSize(unsigned long n) {
    return n > kLongTextChars ? kLongTextChars : static_cast<DBLENGTH>(n);
}

ColumnType FromEntry(const Entry& e, const Declaration& d) {
    const DBLENGTH n = d.argCount >= 1 ? DeclaredSize(d.args[0]) : 0;
    switch (e.kind) {
        case Kind::Text:
            return Text(n ? n : kUnsizedTextChars, false);
        case Kind::FixedText:
            return n ? Text(n, true) : Text(kUnsizedTextChars, false);
        case Kind::LongText:
            return LongText();
        case Kind::Binary:
            return Binary(n ? n : kDefaultBinaryBytes, false);
        case Kind::FixedBinary:
            return Binary(n ? n : kDefaultBinaryBytes, true);
        case Kind::LongBinary:
            return LongBinary();
        case Kind::Fixed:
            return Fixed(e.type);
        case Kind::Decimal: {
            if (d.argCount == 0)
                return Fixed(DBTYPE_R8);
            ColumnType t = Fixed(DBTYPE_NUMERIC);
            unsigned long precision = d.args[0];
            if (precision < 1)
                precision = 1;
            if (precision > 38)
                precision = 38;
            unsigned long scale = d.argCount >= 2 ? d.args[1] : 0;
            if (scale > precision)
                scale = precision;
            t.precision = static_cast<BYTE>(precision);
            t.scale = static_cast<BYTE>(scale);
            return t;
        }
    }
    return FromValue();
}

// SQLite's rules for names it does not know, in its order.
ColumnType FromAffinity(const Declaration& d) {
    const std::string& n = d.name;
    auto has = [&](const char* part) { return n.find(part) != std::string::npos; };
    if (has("INT"))
        return Fixed(DBTYPE_I8);
    if (has("CHAR") || has("CLOB") || has("TEXT")) {
        const DBLENGTH size = d.argCount >= 1 ? DeclaredSize(d.args[0]) : 0;
        return Text(size ? size : kUnsizedTextChars, false);
    }
    if (has("BLOB"))
        return LongBinary();
    if (has("REAL") || has("FLOA") || has("DOUB"))
        return Fixed(DBTYPE_R8);
    return FromValue();
}

}  // namespace

namespace {

// Declared types already read, by their text: every result reads the declared type of each
// column, and a program sees only a few distinct ones. Bounded, and released at library end.
struct DeclarationMemo {
    std::mutex mutex;
    std::unordered_map<std::string, ColumnType> types;
};
constexpr size_t kMemoLimit = 4096;

DeclarationMemo& Memo() {
    return vorn::platform::LibraryObject<DeclarationMemo>::Get();
}

ColumnType ReadDeclaration(const char* declared);

}  // namespace

ColumnType TypeFromDeclaration(const char* declared) {
    if (!declared)
        return FromValue();
    DeclarationMemo& memo = Memo();
    {
        std::lock_guard<std::mutex> lock(memo.mutex);
        const auto it = memo.types.find(declared);
        if (it != memo.types.end())
            return it->second;
    }
    const ColumnType type = ReadDeclaration(declared);
    std::lock_guard<std::mutex> lock(memo.mutex);
    if (memo.types.size() >= kMemoLimit)
        memo.types.clear();
    memo.types.emplace(declared, type);
    return type;
}

namespace {

ColumnType ReadDeclaration(const char* declared) {
    const Declaration d = Parse(declared);
    if (d.name.empty())
        return FromValue();
    for (const Entry& e : kTypes)
        if (d.name == e.name)
            return FromEntry(e, d);
    return FromAffinity(d);
}

}  // namespace

ColumnType TypeFromStorageClass(int storageClass, size_t bytes) {
    switch (storageClass) {
        case SQLITE_INTEGER:
            return Fixed(DBTYPE_I8);
        case SQLITE_FLOAT:
            return Fixed(DBTYPE_R8);
        case SQLITE_BLOB:
            return LongBinary();
        case SQLITE_TEXT:
            // UTF-8 takes at least one byte a character: a value of at most
            // kUnsizedTextChars bytes surely fits.
            if (bytes > kUnsizedTextChars)
                return LongText();
            return Text(kUnsizedTextChars, false);
        default:
            return Text(kUnsizedTextChars, false);
    }
}

}  // namespace vorn::provider
