// Row encoding.
#include "rowset/row_codec.h"

#include <cstring>

namespace vorn::provider {
namespace {

enum Tag : uint8_t {
    kNull = 0,
    kInt8 = 1,
    kInt16 = 2,
    kInt32 = 3,
    kInt64 = 4,
    kReal = 5,
    kText = 6,
    kBlob = 7,
};

char* PutVarint(char* out, size_t v) {
    while (v >= 0x80) {
        *out++ = static_cast<char>((v & 0x7F) | 0x80);
        v >>= 7;
    }
    *out++ = static_cast<char>(v);
    return out;
}

Tag IntegerTag(int64_t v) {
    switch (EncodedIntegerBytes(v)) {
        case 1:
            return kInt8;
        case 2:
            return kInt16;
        case 4:
            return kInt32;
        default:
            return kInt64;
    }
}

size_t IntegerBytes(Tag t) {
    switch (t) {
        case kInt8:
            return 1;
        case kInt16:
            return 2;
        case kInt32:
            return 4;
        default:
            return 8;
    }
}

}  // namespace

void RowEncoder::Write(char* out) const {
    for (size_t i = 0; i < next_; ++i) {
        const Pending& p = pending_[i];
        switch (p.kind) {
            case CellKind::Integer: {
                const Tag t = IntegerTag(p.integer);
                *out++ = static_cast<char>(t);
                // Little-endian: the low bytes of the value are its narrow form.
                std::memcpy(out, &p.integer, IntegerBytes(t));
                out += IntegerBytes(t);
                break;
            }
            case CellKind::Real:
                *out++ = static_cast<char>(kReal);
                std::memcpy(out, &p.real, sizeof(double));
                out += sizeof(double);
                break;
            case CellKind::Text:
            case CellKind::Blob:
                *out++ = static_cast<char>(p.kind == CellKind::Text ? kText : kBlob);
                out = PutVarint(out, p.size);
                if (p.size)
                    std::memcpy(out, p.bytes, p.size);
                out += p.size;
                break;
            default:
                *out++ = static_cast<char>(kNull);
                break;
        }
    }
}

bool DecodeRow(const char* data, size_t size, Cell* cells, size_t count) {
    const char* p = data;
    const char* end = data + size;
    for (Cell* cell = cells; cell != cells + count; ++cell) {
        Cell& c = *cell;
        if (p >= end)
            return false;
        const uint8_t tag = static_cast<uint8_t>(*p++);
        switch (tag) {
            case kNull:
                c.kind = CellKind::Null;
                break;
            case kInt8:
            case kInt16:
            case kInt32:
            case kInt64: {
                const size_t n = IntegerBytes(static_cast<Tag>(tag));
                if (static_cast<size_t>(end - p) < n)
                    return false;
                c.kind = CellKind::Integer;
                if (n == 1) {
                    c.integer = static_cast<int8_t>(*p);
                } else if (n == 2) {
                    int16_t v;
                    std::memcpy(&v, p, 2);
                    c.integer = v;
                } else if (n == 4) {
                    int32_t v;
                    std::memcpy(&v, p, 4);
                    c.integer = v;
                } else {
                    std::memcpy(&c.integer, p, 8);
                }
                p += n;
                break;
            }
            case kReal:
                if (static_cast<size_t>(end - p) < sizeof(double))
                    return false;
                c.kind = CellKind::Real;
                std::memcpy(&c.real, p, sizeof(double));
                p += sizeof(double);
                break;
            case kText:
            case kBlob: {
                size_t n = 0;
                int shift = 0;
                for (;;) {
                    if (p >= end || shift > 63)
                        return false;
                    const uint8_t b = static_cast<uint8_t>(*p++);
                    n |= static_cast<size_t>(b & 0x7F) << shift;
                    if (!(b & 0x80))
                        break;
                    shift += 7;
                }
                if (static_cast<size_t>(end - p) < n)
                    return false;
                c.kind = tag == kText ? CellKind::Text : CellKind::Blob;
                c.bytes = p;
                c.size = n;
                p += n;
                break;
            }
            default:
                return false;
        }
    }
    return true;
}

}  // namespace vorn::provider
