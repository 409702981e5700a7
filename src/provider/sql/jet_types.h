// Jet data types in SQLite tables: the one table of how a Jet type is declared.
//
// A column keeps its Jet type in its declared type, so that the schema and the column
// information map it back to an OLE DB type, and the spelling gives SQLite the column
// affinity that keeps the data as the engine keeps it. SQLite's affinity rules: a declared
// type containing "INT" has INTEGER affinity; "CHAR", "CLOB" or "TEXT" TEXT affinity;
// "BLOB" or nothing BLOB affinity; "REAL", "FLOA" or "DOUB" REAL affinity; anything else
// NUMERIC affinity.
//
//   Jet type names accepted in DDL                       declared type   affinity  stored as
//   TEXT(n) VARCHAR(n) CHAR(n) CHARACTER(n) STRING(n)    TEXT(n)         TEXT      text (n
//   = 1..255)
//     NVARCHAR(n) NCHAR(n) ALPHANUMERIC(n),
//     and VARCHAR / CHAR without a size                  TEXT(255)
//   MEMO LONGTEXT LONGCHAR NOTE NTEXT HYPERLINK,         LONGTEXT        TEXT      text
//     and TEXT without a size (as the OLE DB engine
//     reads it)
//   BYTE TINYINT INTEGER1                                BYTE            NUMERIC   integer
//   SHORT SMALLINT INTEGER2                              SHORT           NUMERIC   integer
//   LONG INTEGER INT INTEGER4                            LONG            NUMERIC   integer
//   COUNTER AUTOINCREMENT IDENTITY [(seed, step)]        COUNTER         NUMERIC   integer
//   SINGLE REAL FLOAT4 IEEESINGLE                        SINGLE          NUMERIC   real (whole
//                                                                                  values as
//                                                                                  integers)
//   DOUBLE FLOAT FLOAT8 IEEEDOUBLE NUMBER                DOUBLE          REAL      real
//     DOUBLE PRECISION
//   CURRENCY MONEY                                       CURRENCY        NUMERIC   number, 4
//   decimals DATETIME DATE TIME TIMESTAMP                         DATETIME        NUMERIC
//   'YYYY-MM-DD HH:MM:SS'
//                                                                                  (text that does
//                                                                                  not look numeric
//                                                                                  stays text)
//   YESNO BIT LOGICAL LOGICAL1 BOOLEAN                   YESNO           NUMERIC   -1 / 0, NOT NULL
//                                                                                  DEFAULT 0
//   BINARY(n) VARBINARY(n), BINARY without a size        BINARY(n)       NUMERIC   blob (n
//   = 1..510,
//                                                                                  510 by default)
//   LONGBINARY OLEOBJECT GENERAL IMAGE                   LONGBINARY      NUMERIC   blob
//   GUID UNIQUEIDENTIFIER                                GUID            NUMERIC   '{XXXXXXXX-...}'
//   text DECIMAL(p,s) NUMERIC(p,s) DEC(p,s)                   DECIMAL(p,s)    NUMERIC   number
//   (18,0 by
//                                                                                  default)
//
// NUMERIC affinity leaves blobs and text that does not read as a number untouched, so the
// dates, GUIDs and binary values above stay as written; only MEMO needs another name
// (NUMERIC affinity would turn the memo '00123' into 123). Text written into BINARY and
// LONGBINARY columns becomes the blob of its UTF-16LE bytes, as the engine stores it, so
// affinity never turns it into a number either. Text columns are declared
// COLLATE NOCASE, as the engine compares and sorts text without regard to case; primary
// key columns other than COUNTER are declared NOT NULL, as the engine's are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorn::provider::sql {

enum class JetType {
    Text,
    Memo,
    Byte,
    Short,
    Long,
    Counter,
    Single,
    Double,
    Currency,
    DateTime,
    YesNo,
    Binary,
    LongBinary,
    Guid,
    Decimal,
};

struct JetTypeSpec {
    JetType type = JetType::Text;
    int size = 0;  // TEXT, BINARY
    int precision = 18, scale = 0;
    int64_t seed = 1, step = 1;  // COUNTER
};

// Reads a DDL type: name (one or two words, upper or lower case) and its numbers in
// parentheses (argCount of them). False with *error when the name is not a Jet type or a
// size is out of range.
bool JetTypeFromName(const std::wstring& name, const int64_t* args, int argCount, JetTypeSpec* spec,
                     std::wstring* error);

// The declared type of the table above ("TEXT(50)", "LONGTEXT", "COUNTER" ...).
std::string DeclaredType(const JetTypeSpec& spec);
bool IsTextType(JetType t);

// How INSERT and UPDATE coerce values written into a column of a declared type.
enum class StoreKind { None, Date, Bool, Currency, Guid, Binary };
StoreKind StoreKindOfDeclared(std::string_view declared);
// The coercion function of a store kind ("jet_store_date"), null for None.
const char* StoreFunction(StoreKind kind);
// True for a COUNTER column's declared type.
bool IsCounterDeclared(std::string_view declared);

}  // namespace vorn::provider::sql
