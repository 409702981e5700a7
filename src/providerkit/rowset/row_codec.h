// The compact form of a row in the row store: for each column a tag byte and the value's
// bytes. Integers take 1, 2, 4 or 8 bytes by magnitude, reals 8, text and blobs a
// variable-length count and their bytes (text as UTF-8).
#pragma once

#include <cstddef>
#include <cstdint>

#include "rowset/small_array.h"

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

// Encodes rows: a row source adds the values of one row in column order, then asks for
// the encoded size and writes the row into the store. Reused from row to row without
// allocating; text and blob bytes must stay valid until Write.
class RowEncoder {
  public:
    void Begin(size_t columns) {
        pending_.resize(columns);
        next_ = 0;
        size_ = 0;
    }
    void Null();
    void Integer(int64_t value);
    void Real(double value);
    void Text(const void* bytes, size_t size);
    void Blob(const void* bytes, size_t size);

    // The encoded size of the values added since Begin.
    size_t Size() const { return size_; }
    void Write(char* out) const;

  private:
    struct Pending {
        CellKind kind;
        int64_t integer;
        double real;
        const void* bytes;
        size_t size;
    };
    Pending& Next() { return pending_[next_++]; }
    SmallArray<Pending, 4> pending_;
    size_t next_ = 0;
    size_t size_ = 0;
};

// Decodes an encoded row into cells[0] to cells[count - 1]. Returns false when the bytes
// end early (a damaged row).
bool DecodeRow(const char* data, size_t size, Cell* cells, size_t count);

}  // namespace vorn::provider
