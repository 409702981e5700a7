// The one table that turns a declared column type (as SQLite keeps it: SQLite's own names
// and the Jet names of Access SQL) into what OLE DB reports for a column: DBTYPE, column
// size, precision, scale and the type's flags. Rowsets, and the schema rowsets that
// describe tables, both take column types from here.
//
// Choices that matter to hosts:
// - INTEGER, INT and BIGINT hold 64-bit values in SQLite and are DBTYPE_I8; Jet's 32-bit
//   integers are LONG and COUNTER/AUTOINCREMENT (DBTYPE_I4), SHORT/SMALLINT (DBTYPE_I2),
//   BYTE/TINYINT (DBTYPE_UI1).
// - REAL holds 8-byte values in SQLite and is DBTYPE_R8; Jet's 4-byte type is SINGLE.
// - Text with a size, TEXT(n) / VARCHAR(n) / CHAR(n) ..., is DBTYPE_WSTR of n characters.
//   Text without a size may hold anything, so it gets the largest size that is still
//   bound in a row buffer (kUnsizedTextChars); a longer value comes back truncated with
//   DBSTATUS_S_TRUNCATED and its full length. MEMO, LONGTEXT, CLOB and the like are long.
// - DECIMAL(p,s) / NUMERIC(p,s) are DBTYPE_NUMERIC; bare DECIMAL and NUMERIC (SQLite's
//   numeric affinity, which keeps integers and reals alike) are DBTYPE_R8, so that no
//   fraction is cut off.
// - A column without a declared type (an expression, or a column of a table declared
//   without types) takes its type from its first value: see TypeFromStorageClass.
#pragma once

#include <string>

#include "rowset/column_type.h"

namespace vorn::provider {

// The type of a column declared as `declared` (UTF-8, case-insensitive, e.g. "TEXT(50)",
// "decimal(10, 2)", "LONG"); null or empty gives a type with fromValue set. Names the table
// does not know follow SQLite's affinity rules (INT → integer, CHAR/CLOB/TEXT → text,
// BLOB → binary, REAL/FLOA/DOUB → double, anything else → fromValue).
ColumnType TypeFromDeclaration(const char* declared);

// The type of a column without a usable declaration from its first value's SQLite storage
// class (SQLITE_INTEGER ...) and, for text and blobs, its size in bytes:
// INTEGER → DBTYPE_I8 (a later value may need 64 bits; I4 would overflow on it),
// FLOAT → DBTYPE_R8, TEXT → DBTYPE_WSTR of kUnsizedTextChars characters (long text when
// the first value is already longer than that), BLOB → long DBTYPE_BYTES,
// NULL (or no row at all) → DBTYPE_WSTR of kUnsizedTextChars characters.
ColumnType TypeFromStorageClass(int storageClass, size_t bytes);

}  // namespace vorn::provider
