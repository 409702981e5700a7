// Rows of an Access table: libmdb finds the table's data pages and splits each row into its
// fields; the values are decoded here from their bytes (libmdb's own text of them loses
// dates before 1900, characters beyond the Basic Multilingual Plane, the difference between
// an empty text and Null, and memo values past its bind size).
#include <cmath>
#include <cstring>
#include <unordered_set>

#include "calendar.h"
#include "com.h"
#include "stores/access/access_table.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::access {
namespace {

constexpr int kExtendedDateTime = 0x14;
constexpr int kRowOffsetMask = 0x1FFF;
constexpr int kMovedOrDeletedRow = 0x4000;
constexpr size_t kLongValueHeader = 12;
constexpr size_t kCalculatedHeader = 20;  // 16 bytes, then the value's length in 4
// The most a long value may declare (the engine's own limit is 1 GB).
constexpr uint32_t kLongValueLimit = 0x3FFFFFFF;

uint16_t Le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint64_t Le64(const unsigned char* p) {
    return uint64_t(Le32(p)) | (uint64_t(Le32(p + 4)) << 32);
}

class AccessCursor final : public store::StoreCursor {
  public:
    AccessCursor(std::shared_ptr<AccessFile> file, std::wstring table,
                 std::vector<AccessColumn> columns)
        : file_(std::move(file)), tableName_(std::move(table)), columns_(std::move(columns)) {}

    ~AccessCursor() override {
        if (table_)
            mdb_free_tabledef(table_);
        if (mdb_)
            mdb_close(mdb_);
    }

    bool Start(const CatalogObject& object, store::StoreError* error) {
        mdb_ = file_->Clone();
        if (mdb_ && EntryOf(mdb_, object, &entry_))
            table_ = mdb_read_table(&entry_);
        if (!table_ || !mdb_read_columns(table_) || table_->num_cols != columns_.size()) {
            error->message = L"the table '" + tableName_ + L"' of " + QuotedFile(*file_) +
                             L" cannot be read: its definition is damaged";
            return false;
        }
        // The usage map lists the table's data pages: libmdb reads it without checking it
        // is there.
        if (!table_->usage_map || table_->map_sz < 5) {
            error->message = L"the table '" + tableName_ + L"' of " + QuotedFile(*file_) +
                             L" cannot be read: its map of pages is damaged";
            return false;
        }
        mdb_rewind_table(table_);
        pageSize_ = static_cast<size_t>(mdb_->fmt->pg_size);
        fields_.assign(table_->num_cols, MdbField{});
        return true;
    }

    bool Next(store::StoreError*) override {
        for (;;) {
            if (!pageLoaded_ || nextRow_ >= rowsOnPage_) {
                if (done_ || !NextPage())
                    return false;
                continue;
            }
            const unsigned row = nextRow_++;
            int start = 0;
            size_t size = 0;
            if (mdb_find_row(mdb_, static_cast<int>(row), &start, &size) != 0 || size == 0)
                continue;
            // A row moved to another page leaves its old place flagged; deleted rows too.
            if (start & kMovedOrDeletedRow)
                continue;
            start &= kRowOffsetMask;
            if (mdb_crack_row(table_, start, size, fields_.data()) < 0)
                continue;  // a damaged row is passed over
            rowStart_ = static_cast<size_t>(start);
            rowEnd_ = rowStart_ + size;
            ++rowId_;
            return true;
        }
    }

    bool Read(int column, store::StoreValue* value, store::StoreError* error) override {
        if (column < 0 || static_cast<size_t>(column) >= columns_.size()) {
            error->message =
                L"the table '" + tableName_ + L"' has no column " + std::to_wstring(column);
            return false;
        }
        const MdbField& f = fields_[column];
        const AccessColumn& c = columns_[column];
        *value = store::StoreValue();
        if (c.mdbType == MDB_BOOL) {
            // A yes/no value is its bit of the row's null mask.
            value->kind = store::StoreValue::Integer;
            value->integer = f.is_null ? 0 : -1;
            return true;
        }
        if (f.is_null)
            return true;
        if (f.start < 0 || f.siz < 0 || static_cast<size_t>(f.start) < rowStart_ ||
            static_cast<size_t>(f.start) + static_cast<size_t>(f.siz) > rowEnd_)
            return Damaged(c, error);
        const unsigned char* p = mdb_->pg_buf + f.start;
        size_t n = static_cast<size_t>(f.siz);
        if (c.calculated) {
            // A calculated column's value follows a header that gives its length.
            if (n < kCalculatedHeader)
                return true;
            const size_t length = Le32(p + 16);
            p += kCalculatedHeader;
            n = std::min(n - kCalculatedHeader, length);
            if (n == 0)
                return true;  // not calculated yet: Null
            return DecodeCalculated(c, p, n, value, error);
        }
        return Decode(c, p, n, value, error);
    }

    int64_t RowId() const override { return rowId_; }

  private:
    bool NextPage() {
        // A walk never reads more pages than the file has, whatever its maps say.
        if (++pagesRead_ > file_->PageCount() + 1 || !mdb_read_next_dpg(table_)) {
            done_ = true;
            return false;
        }
        const int rco = mdb_->fmt->row_count_offset;
        const unsigned most = static_cast<unsigned>((pageSize_ - rco - 2) / 2);
        rowsOnPage_ = std::min<unsigned>(Le16(mdb_->pg_buf + rco), most);
        nextRow_ = 0;
        pageLoaded_ = true;
        return true;
    }

    bool Damaged(const AccessColumn& c, store::StoreError* error) const {
        error->message = L"the value of the column '" + c.column.name + L"' in row " +
                         std::to_wstring(rowId_) + L" of the table '" + tableName_ + L"' in " +
                         QuotedFile(*file_) + L" is damaged";
        return false;
    }

    bool Decode(const AccessColumn& c, const unsigned char* p, size_t n, store::StoreValue* value,
                store::StoreError* error) {
        auto need = [&](size_t bytes) { return n >= bytes; };
        switch (c.mdbType) {
            case MDB_BYTE:
                if (!need(1))
                    return Damaged(c, error);
                return Integer(p[0], value);
            case MDB_INT:
                if (!need(2))
                    return Damaged(c, error);
                return Integer(static_cast<int16_t>(Le16(p)), value);
            case MDB_LONGINT:
            case MDB_COMPLEX:
                if (!need(4))
                    return Damaged(c, error);
                return Integer(static_cast<int32_t>(Le32(p)), value);
            case MDB_MONEY: {
                if (!need(8))
                    return Damaged(c, error);
                // Currency is a count of ten-thousandths: whole amounts stay exact integers.
                const int64_t units = static_cast<int64_t>(Le64(p));
                if (units % 10000 == 0)
                    return Integer(units / 10000, value);
                return Real(static_cast<double>(units) / 10000.0, value);
            }
            case MDB_FLOAT: {
                if (!need(4))
                    return Damaged(c, error);
                float f;
                const uint32_t bits = Le32(p);
                std::memcpy(&f, &bits, sizeof f);
                return Real(f, value);
            }
            case MDB_DOUBLE: {
                if (!need(8))
                    return Damaged(c, error);
                return Real(Double(p), value);
            }
            case MDB_DATETIME:
                if (!need(8))
                    return Damaged(c, error);
                return Date(Double(p), value);
            case kExtendedDateTime:
                return ExtendedDate(p, n, value);
            case MDB_TEXT:
                text_.clear();
                file_->TextToUtf8(p, n, &text_);
                return Text(value);
            case MDB_MEMO:
            case MDB_OLE: {
                if (!need(kLongValueHeader))
                    return Damaged(c, error);
                if (!LongValue(p, n, &bytes_))
                    return Damaged(c, error);
                if (c.mdbType == MDB_OLE) {
                    value->kind = store::StoreValue::Blob;
                    value->bytes = std::string_view(bytes_.data(), bytes_.size());
                    return true;
                }
                text_.clear();
                file_->TextToUtf8(reinterpret_cast<const unsigned char*>(bytes_.data()),
                                  bytes_.size(), &text_);
                return Text(value);
            }
            case MDB_REPID:
                if (!need(16))
                    return Damaged(c, error);
                return Guid(p, value);
            case MDB_NUMERIC:
                if (!need(17))
                    return Damaged(c, error);
                return Numeric(p, c.scale, value);
            default:
                // Binary columns and types this reader does not know: their bytes.
                value->kind = store::StoreValue::Blob;
                value->bytes = std::string_view(reinterpret_cast<const char*>(p), n);
                return true;
        }
    }

    // A calculated column's value has the type of its result, whatever the column declares.
    bool DecodeCalculated(const AccessColumn& c, const unsigned char* p, size_t n,
                          store::StoreValue* value, store::StoreError* error) {
        switch (c.resultType) {
            case kResultYesNo:
                return Integer(p[0] ? -1 : 0, value);
            case kResultDecimal:
                if (n < 16)
                    return Damaged(c, error);
                return Decimal(p, value);
            case kResultMemo:
                return true;  // kept as a long value this reader does not follow
            default: {
                AccessColumn as = c;
                as.mdbType = c.resultType;
                return Decode(as, p, n, value, error);
            }
        }
    }

    // An automation DECIMAL: 2 reserved bytes, the scale, the sign (0x80 negative), then a
    // 96-bit magnitude as a 32-bit high part and a 64-bit low part.
    static bool Decimal(const unsigned char* p, store::StoreValue* value) {
        const unsigned __int128 magnitude =
            (static_cast<unsigned __int128>(Le32(p + 4)) << 64) | Le64(p + 8);
        long double d = static_cast<long double>(magnitude);
        for (int i = 0; i < std::min<int>(p[2], 28); ++i)
            d /= 10;
        return Real(static_cast<double>((p[3] & 0x80) ? -d : d), value);
    }

    static double Double(const unsigned char* p) {
        double d;
        const uint64_t bits = Le64(p);
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }

    static bool Integer(int64_t i, store::StoreValue* value) {
        value->kind = store::StoreValue::Integer;
        value->integer = i;
        return true;
    }

    static bool Real(double d, store::StoreValue* value) {
        value->kind = store::StoreValue::Real;
        value->real = d;
        return true;
    }

    bool Text(store::StoreValue* value) const {
        value->kind = store::StoreValue::Text;
        value->bytes = text_;
        return true;
    }

    // An automation date as the engine's date text; a number no date can be keeps its value.
    bool Date(double d, store::StoreValue* value) {
        DateParts parts;
        if (!AutomationToDateParts(d, &parts))
            return Real(d, value);
        char buffer[32];
        const size_t n = FormatDateText(parts, true, true, buffer);
        text_.assign(buffer, n);
        return Text(value);
    }

    // Date/Time Extended: ASCII digits "days:100ns-ticks:..." after 1 January of year 1.
    bool ExtendedDate(const unsigned char* p, size_t n, store::StoreValue* value) {
        const std::string text(reinterpret_cast<const char*>(p), n);
        unsigned long long days = 0, ticks = 0;
        if (std::sscanf(text.c_str(), "%19llu:%19llu", &days, &ticks) != 2)
            return true;
        const int64_t dayNumber = DaysFromCivil(1, 1, 1) + static_cast<int64_t>(days);
        const int64_t second = static_cast<int64_t>(ticks / 10000000ull);
        if (second >= kSecondsPerDay)
            return true;
        DateParts parts = DatePartsOf(dayNumber, second);
        if (!IsValidDate(parts))
            return true;
        char buffer[32];
        text_.assign(buffer, FormatDateText(parts, true, true, buffer));
        return Text(value);
    }

    bool Guid(const unsigned char* p, store::StoreValue* value) {
        GUID g;
        std::memcpy(&g, p, sizeof g);
        wchar_t wide[40];
        StringFromGUID2(g, wide, 40);
        text_ = WideToUtf8(wide);
        return Text(value);
    }

    // DECIMAL: a sign byte, then a 128-bit magnitude as four little-endian 32-bit words, the
    // most significant first.
    bool Numeric(const unsigned char* p, int scale, store::StoreValue* value) {
        unsigned __int128 magnitude = 0;
        for (int i = 0; i < 4; ++i)
            magnitude = (magnitude << 32) | Le32(p + 1 + 4 * i);
        const bool negative = (p[0] & 0x80) != 0;
        if (scale == 0 && magnitude <= static_cast<unsigned __int128>(INT64_MAX))
            return Integer(
                negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude),
                value);
        long double d = static_cast<long double>(magnitude);
        for (int i = 0; i < scale; ++i)
            d /= 10;
        return Real(static_cast<double>(negative ? -d : d), value);
    }

    // The bytes of row number `row` of page `page`, read into the handle's second page
    // buffer (the first holds the data page being walked). False when there is no such row.
    bool ReadRow(uint32_t pageRow, const unsigned char** data, size_t* size) {
        const uint32_t page = pageRow >> 8;
        const unsigned row = pageRow & 0xFF;
        if (page == 0 || page >= file_->PageCount())
            return false;
        if (mdb_read_alt_pg(mdb_, page) != static_cast<ssize_t>(pageSize_))
            return false;
        const unsigned char* buffer = mdb_->alt_pg_buf;
        if (buffer[0] != MDB_PAGE_DATA)
            return false;
        const int rco = mdb_->fmt->row_count_offset;
        const unsigned rows = Le16(buffer + rco);
        if (row >= rows || rco + 2 + 2 * (row + 1) > pageSize_)
            return false;
        const size_t start = Le16(buffer + rco + 2 + 2 * row) & kRowOffsetMask;
        const size_t end = row == 0 ? pageSize_ : Le16(buffer + rco + 2 * row) & kRowOffsetMask;
        if (start >= end || end > pageSize_ || start < static_cast<size_t>(rco) + 2 + 2 * rows)
            return false;
        *data = buffer + start;
        *size = end - start;
        return true;
    }

    // A memo or OLE value, whole: stored in the row itself, in one row of another page, or
    // in a chain of such rows (each starting with the address of the next).
    bool LongValue(const unsigned char* p, size_t n, std::string* out) {
        out->clear();
        const uint32_t header = Le32(p);
        const uint32_t length = header & kLongValueLimit;
        if (header & 0x80000000u) {
            const size_t inRow = n - kLongValueHeader;
            out->assign(reinterpret_cast<const char*>(p + kLongValueHeader),
                        std::min<size_t>(inRow, length));
            return true;
        }
        uint32_t next = Le32(p + 4);
        const unsigned char* data = nullptr;
        size_t size = 0;
        if (header & 0x40000000u) {
            if (!ReadRow(next, &data, &size))
                return false;
            out->assign(reinterpret_cast<const char*>(data), std::min<size_t>(size, length));
            return true;
        }
        std::unordered_set<uint32_t> seen;
        while (out->size() < length) {
            if (next == 0 || !seen.insert(next).second || !ReadRow(next, &data, &size) || size < 4)
                return false;  // the chain ends early or runs in a circle
            next = Le32(data);
            const size_t take = std::min<size_t>(size - 4, length - out->size());
            out->append(reinterpret_cast<const char*>(data + 4), take);
        }
        return true;
    }

    std::shared_ptr<AccessFile> file_;
    std::wstring tableName_;
    std::vector<AccessColumn> columns_;
    MdbHandle* mdb_ = nullptr;
    MdbCatalogEntry entry_{};
    MdbTableDef* table_ = nullptr;
    std::vector<MdbField> fields_;
    size_t pageSize_ = 0;
    bool pageLoaded_ = false;
    bool done_ = false;
    unsigned rowsOnPage_ = 0;
    unsigned nextRow_ = 0;
    uint64_t pagesRead_ = 0;
    size_t rowStart_ = 0;
    size_t rowEnd_ = 0;
    int64_t rowId_ = 0;
    std::string text_;
    std::string bytes_;
};

}  // namespace

std::unique_ptr<store::StoreCursor> OpenRows(const std::shared_ptr<AccessFile>& file,
                                             const CatalogObject& object,
                                             const std::vector<AccessColumn>& columns,
                                             store::StoreError* error) {
    auto cursor = std::make_unique<AccessCursor>(file, object.name, columns);
    if (!cursor->Start(object, error))
        return nullptr;
    return cursor;
}

}  // namespace vorn::provider::stores::access
