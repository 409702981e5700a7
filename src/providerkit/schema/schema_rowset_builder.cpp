// Schema rowsets over rows a provider computed.
#include "schema/schema_rowset_builder.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

#include "dbtype_sizes.h"
#include "provider_errors.h"
#include "rowset/rowset.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::schema {
namespace {

// The type a schema rowset column reports: text columns as unsized text, the others as
// fixed-length values of their type.
ColumnType SchemaColumnType(DBTYPE type) {
    ColumnType t;
    if (type == DBTYPE_WSTR)
        return t;
    t.type = type;
    t.size = DbTypeFixedSize(type);
    t.flags = DBCOLUMNFLAGS_ISFIXEDLENGTH;
    switch (type) {
        case DBTYPE_I2:
        case DBTYPE_UI2:
            t.precision = 5;
            break;
        case DBTYPE_I4:
        case DBTYPE_UI4:
            t.precision = 10;
            break;
        case DBTYPE_UI8:
            t.precision = 20;
            break;
        default:
            break;
    }
    return t;
}

struct SortKey {
    size_t column;
    bool noCase;
};

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return "";
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// The keys of an ORDER BY list over the columns; a name that is no column is skipped.
std::vector<SortKey> ParseOrder(const std::string& orderBy, const std::vector<SchemaColumn>& cols) {
    std::vector<SortKey> keys;
    size_t start = 0;
    while (start <= orderBy.size()) {
        size_t end = orderBy.find(',', start);
        if (end == std::string::npos)
            end = orderBy.size();
        std::string part = Trim(orderBy.substr(start, end - start));
        start = end + 1;
        if (part.empty())
            continue;
        bool noCase = false;
        const size_t collate = part.find(" COLLATE ");
        if (collate != std::string::npos) {
            noCase = strcasecmp(Trim(part.substr(collate + 9)).c_str(), "NOCASE") == 0;
            part = Trim(part.substr(0, collate));
        }
        if (part.size() >= 2 && part.front() == '"' && part.back() == '"')
            part = part.substr(1, part.size() - 2);
        for (size_t i = 0; i < cols.size(); ++i)
            if (strcasecmp(cols[i].name, part.c_str()) == 0) {
                keys.push_back({i, noCase});
                break;
            }
    }
    return keys;
}

int CompareBytes(const Cell& a, const Cell& b, bool noCase) {
    const size_t n = std::min(a.size, b.size);
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a.bytes[i]);
        unsigned char y = static_cast<unsigned char>(b.bytes[i]);
        if (noCase) {
            if (x >= 'A' && x <= 'Z')
                x = static_cast<unsigned char>(x - 'A' + 'a');
            if (y >= 'A' && y <= 'Z')
                y = static_cast<unsigned char>(y - 'A' + 'a');
        }
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size == b.size ? 0 : (a.size < b.size ? -1 : 1);
}

// NULL first, then numbers, then text, then blobs.
int Rank(CellKind k) {
    switch (k) {
        case CellKind::Null:
            return 0;
        case CellKind::Integer:
        case CellKind::Real:
            return 1;
        case CellKind::Text:
            return 2;
        default:
            return 3;
    }
}

int CompareCells(const Cell& a, const Cell& b, bool noCase) {
    const int ra = Rank(a.kind), rb = Rank(b.kind);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    if (ra == 1) {
        const double x = a.kind == CellKind::Integer ? static_cast<double>(a.integer) : a.real;
        const double y = b.kind == CellKind::Integer ? static_cast<double>(b.integer) : b.real;
        if (a.kind == CellKind::Integer && b.kind == CellKind::Integer)
            return a.integer == b.integer ? 0 : (a.integer < b.integer ? -1 : 1);
        return x == y ? 0 : (x < y ? -1 : 1);
    }
    if (ra == 0)
        return 0;
    return CompareBytes(a, b, noCase);
}

// Hands out the built rows in sorted order.
class SortedRowSource final : public RowSource {
  public:
    SortedRowSource(std::unique_ptr<RowStore> rows, std::vector<uint64_t> order,
                    std::shared_ptr<const RowsetDescription> description)
        : rows_(std::move(rows)), order_(std::move(order)), description_(std::move(description)) {}

    Fetched Fetch(RowStore& store, uint64_t wanted,
                  std::unique_ptr<ErrorRecord>* failure) override {
        while (store.RowCount() < wanted && next_ < order_.size()) {
            const char* bytes = nullptr;
            size_t size = 0;
            char* out = nullptr;
            if (rows_->Row(order_[next_], &bytes, &size))
                out = store.Append(size);
            if (!out) {
                *failure = std::make_unique<ErrorRecord>(MakeProviderRecord(
                    E_FAIL, IID_IRowset,
                    L"Reading " + description_->statement + L": " +
                        (rows_->LastError().empty() ? store.LastError() : rows_->LastError())));
                return Fetched::Failed;
            }
            std::memcpy(out, bytes, size);
            ++next_;
        }
        return next_ < order_.size() ? Fetched::More : Fetched::End;
    }
    std::shared_ptr<const RowsetDescription> Description() const override { return description_; }
    void Close() override {
        rows_.reset();
        order_.clear();
        order_.shrink_to_fit();
    }
    const wchar_t* ErrorSource() const override { return source_; }

  private:
    std::unique_ptr<RowStore> rows_;
    std::vector<uint64_t> order_;
    std::shared_ptr<const RowsetDescription> description_;
    size_t next_ = 0;
    const wchar_t* source_ = CurrentErrorSource();
};

}  // namespace

SchemaRowsetBuilder::SchemaRowsetBuilder(std::vector<SchemaColumn> columns, std::wstring what,
                                         REFIID iid)
    : columns_(std::move(columns)), what_(std::move(what)), iid_(iid) {}

SchemaRowsetBuilder::~SchemaRowsetBuilder() = default;

HRESULT SchemaRowsetBuilder::Begin() {
    store_.reset(new (std::nothrow) RowStore());
    if (!store_)
        return PostProviderError(E_OUTOFMEMORY, iid_, L"out of memory building " + what_);
    texts_.resize(columns_.size());
    encoder_.Begin(columns_.size());
    added_ = 0;
    return S_OK;
}

void SchemaRowsetBuilder::Add() {
    ++added_;
}

void SchemaRowsetBuilder::Null() {
    if (added_ < columns_.size())
        encoder_.Null();
    Add();
}

void SchemaRowsetBuilder::Integer(long long value) {
    if (added_ < columns_.size())
        encoder_.Integer(value);
    Add();
}

void SchemaRowsetBuilder::Bool(bool value) {
    Integer(value ? -1 : 0);
}

void SchemaRowsetBuilder::Text(const std::wstring& value) {
    if (added_ < columns_.size()) {
        // The encoder keeps a pointer to the bytes until the row is stored.
        texts_[added_] = WideToUtf8(value);
        encoder_.Text(texts_[added_].data(), texts_[added_].size());
    }
    Add();
}

void SchemaRowsetBuilder::TextOrNull(const std::wstring& value) {
    if (value.empty())
        Null();
    else
        Text(value);
}

HRESULT SchemaRowsetBuilder::EndRow() {
    // Missing values of a short row are NULL.
    while (added_ < columns_.size())
        Null();
    char* out = store_->Append(encoder_.Size());
    if (out)
        encoder_.Write(out);
    encoder_.Begin(columns_.size());
    added_ = 0;
    if (!out)
        return PostProviderError(
            E_FAIL, iid_, L"could not store a row of " + what_ + L": " + store_->LastError());
    return S_OK;
}

HRESULT SchemaRowsetBuilder::Finish(const std::string& orderBy, const RowsetProperties& properties,
                                    IUnknown* creator, REFIID riid, IUnknown** ppRowset) {
    auto description = std::make_shared<RowsetDescription>();
    description->statement = what_;
    for (const SchemaColumn& c : columns_) {
        ResultColumn column;
        column.name = Utf8ToWide(c.name);
        column.type = SchemaColumnType(c.type);
        column.flags = DBCOLUMNFLAGS_MAYBENULL | DBCOLUMNFLAGS_ISNULLABLE |
                       DBCOLUMNFLAGS_WRITEUNKNOWN | column.type.flags;
        description->columns.push_back(std::move(column));
    }

    const std::vector<SortKey> keys = ParseOrder(orderBy, columns_);
    std::vector<uint64_t> order(store_->RowCount());
    for (uint64_t i = 0; i < order.size(); ++i)
        order[i] = i;
    if (!keys.empty() && order.size() > 1) {
        // Each comparison decodes the two rows; the rows of a block come back from the
        // store's cache when it has spilled.
        const size_t n = columns_.size();
        std::vector<Cell> a(n), b(n);
        bool damaged = false;
        const auto decode = [&](uint64_t row, std::vector<Cell>& cells) {
            const char* bytes = nullptr;
            size_t size = 0;
            if (!store_->Row(row, &bytes, &size) || !DecodeRow(bytes, size, cells.data(), n)) {
                damaged = true;
                return false;
            }
            return true;
        };
        // The bytes of a decoded row are valid until the next Row call, so the first row's
        // cells are copied before the second is read.
        std::string aBytes;
        std::vector<std::pair<size_t, size_t>> spans(n);
        std::stable_sort(order.begin(), order.end(), [&](uint64_t x, uint64_t y) {
            if (damaged || !decode(x, a))
                return false;
            aBytes.clear();
            for (size_t i = 0; i < n; ++i)
                if (a[i].kind == CellKind::Text || a[i].kind == CellKind::Blob) {
                    spans[i] = {aBytes.size(), a[i].size};
                    aBytes.append(a[i].bytes, a[i].size);
                }
            for (size_t i = 0; i < n; ++i)
                if (a[i].kind == CellKind::Text || a[i].kind == CellKind::Blob)
                    a[i].bytes = aBytes.data() + spans[i].first;
            if (!decode(y, b))
                return false;
            for (const SortKey& k : keys) {
                const int c = CompareCells(a[k.column], b[k.column], k.noCase);
                if (c != 0)
                    return c < 0;
            }
            return false;
        });
        if (damaged)
            return PostProviderError(
                E_FAIL, iid_,
                L"could not read back the rows of " + what_ + L": " + store_->LastError());
    }
    std::unique_ptr<SortedRowSource> source(
        new (std::nothrow) SortedRowSource(std::move(store_), std::move(order), description));
    if (!source)
        return PostProviderError(E_OUTOFMEMORY, iid_, L"out of memory building " + what_);
    return CreateRowset(std::move(source), properties, creator, riid, ppRowset);
}

}  // namespace vorn::provider::schema
