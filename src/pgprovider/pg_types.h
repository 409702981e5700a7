// PostgreSQL's types in OLE DB's terms: the DBTYPE, size, precision and scale a result
// column of a type reports, and a value's text as the row store keeps it.
//
//   int2 I2, int4 I4, int8 I8, numeric(p,s) NUMERIC (bare numeric R8, so that no digit is
//   cut by a scale), money CY, float4 R4, float8 R8, bool BOOL, text / varchar / bpchar
//   WSTR with their sizes (text, and varchar without one, long), bytea BYTES (long),
//   date, timestamp and timestamptz DATE, uuid GUID; any other type WSTR of its text
//   (json, jsonb and xml long).
#pragma once

#include <cstdint>
#include <string>

#include "rowset/column_type.h"
#include "rowset/row_codec.h"

namespace vorn::pgprovider {

// The type a column of type oid with modifier typmod (-1 when none) reports.
provider::ColumnType TypeOfPgColumn(uint32_t oid, int typmod);

// How a value of type oid goes into the row store.
enum class PgValueKind { Integer, Bool, Real, Money, Bytes, Timestamp, Text };
PgValueKind ValueKindOf(uint32_t oid);

// Adds a value's text (as the server sends it, `size` bytes) to the encoder. scratch keeps
// bytes the encoder points at (decoded bytea, cleaned money or timestamps) until the row is
// written; it must outlive that and not move. Text that does not read as its kind is kept as
// text.
void EncodePgValue(PgValueKind kind, const char* text, size_t size, std::string* scratch,
                   provider::RowEncoder* encoder);

// name between double quotes, inner ones doubled: an identifier as the server reads it.
std::string QuoteIdentifier(const std::string& name);

}  // namespace vorn::pgprovider
