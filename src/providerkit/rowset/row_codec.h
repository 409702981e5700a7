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

// Bytes an integer takes in the row after its tag: 1, 2, 4 or 8 by magnitude.
inline size_t EncodedIntegerBytes(int64_t v) {
    if (v >= INT8_MIN && v <= INT8_MAX)
        return 1;
    if (v >= INT16_MIN && v <= INT16_MAX)
        return 2;
    if (v >= INT32_MIN && v <= INT32_MAX)
        return 4;
    return 8;
}

// Bytes a count of text or blob bytes takes: seven bits a byte.
inline size_t EncodedCountBytes(size_t v) {
    size_t n = 1;
    while (v >= 0x80) {
        v >>= 7;
        ++n;
    }
    return n;
}

// Encodes rows: a row source adds the values of one row in column order, then asks for
// the encoded size and writes the row into the store. Reused from row to row without
// allocating; text and blob bytes must stay valid until Write. The adding is inline: it
// runs for every value of every row.
class RowEncoder {
  public:
    void Begin(size_t columns) {
        pending_.resize(columns);
        next_ = 0;
        size_ = 0;
    }
    void Null() {
        Next().kind = CellKind::Null;
        size_ += 1;
    }
    void Integer(int64_t value) {
        Pending& p = Next();
        p.kind = CellKind::Integer;
        p.integer = value;
        size_ += 1 + EncodedIntegerBytes(value);
    }
    void Real(double value) {
        Pending& p = Next();
        p.kind = CellKind::Real;
        p.real = value;
        size_ += 1 + sizeof(double);
    }
    void Text(const void* bytes, size_t size) { Bytes(CellKind::Text, bytes, size); }
    void Blob(const void* bytes, size_t size) { Bytes(CellKind::Blob, bytes, size); }

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
    void Bytes(CellKind kind, const void* bytes, size_t size) {
        Pending& p = Next();
        p.kind = kind;
        p.bytes = bytes;
        p.size = size;
        size_ += 1 + EncodedCountBytes(size) + size;
    }
    SmallArray<Pending, 4> pending_;
    size_t next_ = 0;
    size_t size_ = 0;
};

// Decodes an encoded row into cells[0] to cells[count - 1]. Returns false when the bytes
// end early (a damaged row).
bool DecodeRow(const char* data, size_t size, Cell* cells, size_t count);

}  // namespace vorn::provider
