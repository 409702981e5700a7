// The compact form of a row in the row store: for each column a tag byte and the value's
// bytes. Integers take 1, 2, 4 or 8 bytes by magnitude, reals 8, text and blobs a
// variable-length count and their bytes (text as UTF-8, as SQLite gives it).
#pragma once

#include <cstddef>
#include <cstdint>

#include "rowset/small_array.h"

struct sqlite3_stmt;

namespace vorn::provider {

enum class CellKind : uint8_t { Null, Integer, Real, Text, Blob };

// One value of a row as decoded from the store. Text and blob bytes point into the store.
struct Cell {
    CellKind kind = CellKind::Null;
    int64_t integer = 0;
    double real = 0;
    const char* bytes = nullptr;
    size_t size = 0;
};

// Encodes rows stepped from a statement. Reused from row to row without allocating.
class RowEncoder {
  public:
    // Reads the current row of stmt (columns 0 to columns-1) and gives the size of its
    // encoded form; Write then writes it.
    size_t Measure(sqlite3_stmt* stmt, int columns);
    void Write(char* out) const;

  private:
    struct Pending {
        int kind;  // SQLite storage class
        int64_t integer;
        double real;
        const void* bytes;
        size_t size;
    };
    SmallArray<Pending, 4> pending_;
};

// Decodes an encoded row into cells[0] to cells[count - 1]. Returns false when the bytes
// end early (a damaged row).
bool DecodeRow(const char* data, size_t size, Cell* cells, size_t count);

}  // namespace vorn::provider
