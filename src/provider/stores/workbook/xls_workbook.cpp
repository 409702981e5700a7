// One version of an .xls workbook, read from its BIFF8 records.
#include "stores/workbook/xls_workbook.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>

#include "stores/workbook/cell_reference.h"
#include "stores/workbook/cell_values.h"
#include "posix_files.h"
#include "stores/workbook/compound_file.h"
#include "utf8.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::workbook {
namespace {

constexpr uint16_t kBof = 0x0809;
constexpr uint16_t kEof = 0x000A;
constexpr uint16_t kContinue = 0x003C;
constexpr uint16_t kFilePass = 0x002F;
constexpr uint16_t kDateMode = 0x0022;
constexpr uint16_t kFormat = 0x041E;
constexpr uint16_t kXf = 0x00E0;
constexpr uint16_t kBoundSheet = 0x0085;
constexpr uint16_t kSst = 0x00FC;
constexpr uint16_t kExternSheet = 0x0017;
constexpr uint16_t kName = 0x0018;
constexpr uint16_t kNumber = 0x0203;
constexpr uint16_t kRk = 0x027E;
constexpr uint16_t kMulRk = 0x00BD;
constexpr uint16_t kLabelSst = 0x00FD;
constexpr uint16_t kLabel = 0x0204;
constexpr uint16_t kRString = 0x00D6;
constexpr uint16_t kBoolErr = 0x0205;
constexpr uint16_t kFormula = 0x0006;
constexpr uint16_t kString = 0x0207;

uint16_t U16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
double F64(const unsigned char* p) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | p[i];
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

double RkValue(uint32_t rk) {
    double value;
    if (rk & 2) {
        value = static_cast<double>(static_cast<int32_t>(rk) >> 2);
    } else {
        const uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 1) ? value / 100 : value;
}

struct Record {
    uint16_t id = 0;
    const unsigned char* data = nullptr;
    size_t size = 0;
    size_t offset = 0;  // of the record's header in the stream
};

// The records of the workbook stream from an offset on.
class Records {
  public:
    explicit Records(std::string_view stream) : stream_(stream) {}
    void Seek(size_t offset) { pos_ = offset; }
    bool Next(Record* r) {
        if (pos_ + 4 > stream_.size())
            return false;
        const auto* p = reinterpret_cast<const unsigned char*>(stream_.data()) + pos_;
        r->id = U16(p);
        r->size = U16(p + 2);
        r->offset = pos_;
        if (pos_ + 4 + r->size > stream_.size())
            return false;
        r->data = p + 4;
        pos_ += 4 + r->size;
        return true;
    }
    // The next record's id without moving, or 0.
    uint16_t PeekId() const {
        if (pos_ + 4 > stream_.size())
            return 0;
        return U16(reinterpret_cast<const unsigned char*>(stream_.data()) + pos_);
    }
    bool AtEnd() const { return pos_ + 4 > stream_.size(); }

  private:
    std::string_view stream_;
    size_t pos_ = 0;
};

// Bytes of a record and its CONTINUE records read as one, with the rule of text split
// across them: each CONTINUE that starts inside a string's characters begins with a byte
// telling whether the rest is compressed (one byte a character) or UTF-16.
class ContinuedData {
  public:
    void Add(const unsigned char* data, size_t size) { pieces_.push_back({data, size}); }
    bool Byte(uint8_t* out) {
        if (!Ensure(1))
            return false;
        *out = pieces_[piece_].data[at_++];
        return true;
    }
    bool U16Value(uint16_t* out) {
        unsigned char b[2];
        if (!Bytes(b, 2))
            return false;
        *out = U16(b);
        return true;
    }
    bool U32Value(uint32_t* out) {
        unsigned char b[4];
        if (!Bytes(b, 4))
            return false;
        *out = U32(b);
        return true;
    }
    bool Bytes(unsigned char* out, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            if (!Ensure(1))
                return false;
            out[i] = pieces_[piece_].data[at_++];
        }
        return true;
    }
    bool Skip(size_t n) {
        while (n > 0) {
            if (!Ensure(1))
                return false;
            const size_t take = std::min(n, pieces_[piece_].size - at_);
            at_ += take;
            n -= take;
        }
        return true;
    }
    // cch characters, the first piece compressed or not as flags says, as UTF-8.
    bool Characters(size_t cch, bool highByte, std::string* out) {
        size_t done = 0;
        bool wide = highByte;
        while (done < cch) {
            if (at_ >= pieces_[piece_].size) {
                // Characters go on in the next CONTINUE, after a byte of their own flags.
                if (piece_ + 1 >= pieces_.size())
                    return false;
                ++piece_;
                at_ = 0;
                uint8_t flags = 0;
                if (!Byte(&flags))
                    return false;
                wide = flags & 1;
            }
            const Piece& p = pieces_[piece_];
            if (wide) {
                if (at_ + 2 > p.size)
                    return false;
                char32_t c = U16(p.data + at_);
                at_ += 2;
                if (c >= 0xD800 && c < 0xDC00 && done + 1 < cch && at_ + 2 <= p.size) {
                    const char32_t low = U16(p.data + at_);
                    if (low >= 0xDC00 && low < 0xE000) {
                        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                        at_ += 2;
                        ++done;
                    }
                }
                char utf8[4];
                out->append(utf8, EncodeUtf8Char(c, utf8));
            } else {
                const unsigned char c = p.data[at_++];
                if (c < 0x80) {
                    out->push_back(static_cast<char>(c));
                } else {
                    char utf8[4];
                    out->append(utf8, EncodeUtf8Char(c, utf8));
                }
            }
            ++done;
        }
        return true;
    }
    // An XLUnicodeRichExtendedString (of the SST): cch, flags, runs, phonetic data.
    bool RichString(std::string* out) {
        uint16_t cch = 0;
        uint8_t flags = 0;
        if (!U16Value(&cch) || !Byte(&flags))
            return false;
        uint16_t runs = 0;
        uint32_t extra = 0;
        if ((flags & 0x08) && !U16Value(&runs))
            return false;
        if ((flags & 0x04) && !U32Value(&extra))
            return false;
        return Characters(cch, flags & 1, out) && Skip(size_t(runs) * 4) && Skip(extra);
    }
    // An XLUnicodeString: cch (16 bits), flags, characters.
    bool ShortString16(std::string* out) {
        uint16_t cch = 0;
        uint8_t flags = 0;
        return U16Value(&cch) && Byte(&flags) && Characters(cch, flags & 1, out);
    }

  private:
    struct Piece {
        const unsigned char* data;
        size_t size;
    };
    bool Ensure(size_t) {
        while (piece_ < pieces_.size() && at_ >= pieces_[piece_].size) {
            ++piece_;
            at_ = 0;
        }
        return piece_ < pieces_.size();
    }
    std::vector<Piece> pieces_;
    size_t piece_ = 0;
    size_t at_ = 0;
};

// Collects a record and its CONTINUE records.
ContinuedData WithContinues(const Record& first, Records* records) {
    ContinuedData data;
    data.Add(first.data, first.size);
    Record next;
    while (records->PeekId() == kContinue && records->Next(&next))
        data.Add(next.data, next.size);
    return data;
}

// A string of one record: cch of width bits, flags, characters.
bool RecordString(const unsigned char* p, size_t size, bool cch8, std::string* out) {
    ContinuedData data;
    data.Add(p, size);
    if (cch8) {
        uint8_t cch = 0, flags = 0;
        return data.Byte(&cch) && data.Byte(&flags) && data.Characters(cch, flags & 1, out);
    }
    return data.ShortString16(out);
}

class XlsSheetSource final : public SheetSource {
  public:
    explicit XlsSheetSource(std::shared_ptr<const XlsBook::SheetCells> cells)
        : cells_(std::move(cells)) {}
    bool Next(SheetRow* row, std::wstring*) override {
        const auto& all = cells_->cells;
        if (at_ >= all.size())
            return false;
        row->number = all[at_].row;
        row->cells.clear();
        while (at_ < all.size() && all[at_].row == row->number) {
            const XlsBook::StoredCell& s = all[at_++];
            Cell c;
            c.column = s.column;
            c.kind = s.kind;
            c.number = s.number;
            c.text = std::string_view(cells_->text).substr(s.textStart, s.textLength);
            row->cells.push_back(c);
        }
        return true;
    }

  private:
    std::shared_ptr<const XlsBook::SheetCells> cells_;
    size_t at_ = 0;
};

}  // namespace

std::shared_ptr<XlsBook> XlsBook::Open(int fd, const std::wstring& shown, std::wstring* error) {
    std::string bytes;
    if (!vorn::ReadWholeFile(fd, &bytes)) {
        *error = L"could not read '" + shown + L"': " + Utf8ToWide(std::strerror(errno));
        return nullptr;
    }
    std::string stream;
    std::string why;
    switch (ReadCompoundFile(bytes, &stream, &why)) {
        case CompoundContent::Workbook:
            break;
        case CompoundContent::OldBook:
            *error = L"'" + shown +
                     L"' is an Excel 5.0/95 workbook (BIFF5), which is not read: save it as an "
                     L".xls of Excel 97-2003 or as .xlsx";
            return nullptr;
        case CompoundContent::EncryptedXlsx:
            *error = L"'" + shown +
                     L"' is a password-protected (encrypted) workbook, which cannot be read";
            return nullptr;
        case CompoundContent::Other:
            *error = L"'" + shown + L"' is an OLE2 compound file but no Excel workbook";
            return nullptr;
        case CompoundContent::Damaged:
            *error = L"'" + shown + L"' cannot be read as an .xls workbook: " + Utf8ToWide(why);
            return nullptr;
    }
    std::shared_ptr<XlsBook> book = FromStream(std::move(stream), shown, error);
    if (book && !IdentityOf(fd, &book->identity_)) {
        *error = L"could not read '" + shown + L"': " + Utf8ToWide(std::strerror(errno));
        return nullptr;
    }
    return book;
}

std::shared_ptr<XlsBook> XlsBook::FromStream(std::string stream, const std::wstring& shown,
                                             std::wstring* error) {
    std::shared_ptr<XlsBook> book(new XlsBook);
    book->shown_ = shown;
    book->stream_ = std::move(stream);
    if (!book->ReadGlobals(error))
        return nullptr;
    book->cells_.resize(book->sheets_.size());
    return book;
}

bool XlsBook::ReadGlobals(std::wstring* error) {
    Records records(stream_);
    Record r;
    if (!records.Next(&r) || r.id != kBof || r.size < 4) {
        *error = L"'" + shown_ +
                 L"' is not an .xls workbook: its workbook stream does not "
                 L"start with a BOF record";
        return false;
    }
    const uint16_t version = U16(r.data);
    if (version != 0x0600) {
        *error = L"'" + shown_ + L"' is " +
                 (version == 0x0500 ? std::wstring(L"an Excel 5.0/95 workbook (BIFF5)")
                                    : L"a workbook of an old Excel version") +
                 L", which is not read: save it as an .xls of Excel 97-2003 or as .xlsx";
        return false;
    }
    std::map<int, std::string> formats;
    std::vector<int> xfFormats;
    struct ExternSheet {
        int first;
    };
    std::vector<ExternSheet> externSheets;
    struct RawName {
        std::string name;
        int localSheet;
        int externIndex;
        CellArea area;
    };
    std::vector<RawName> rawNames;
    bool ended = false;
    while (!ended && records.Next(&r)) {
        switch (r.id) {
            case kEof:
                ended = true;
                break;
            case kFilePass:
                *error = L"'" + shown_ +
                         L"' is a password-protected (encrypted) workbook, which cannot be read";
                return false;
            case kDateMode:
                if (r.size >= 2)
                    date1904_ = U16(r.data) != 0;
                break;
            case kFormat: {
                std::string code;
                if (r.size >= 2 && RecordString(r.data + 2, r.size - 2, false, &code))
                    formats[U16(r.data)] = code;
                break;
            }
            case kXf:
                if (r.size >= 4)
                    xfFormats.push_back(U16(r.data + 2));
                break;
            case kBoundSheet: {
                if (r.size < 8)
                    break;
                std::string name;
                if (!RecordString(r.data + 6, r.size - 6, true, &name))
                    break;
                SheetInfo info;
                info.name = name;
                info.offset = U32(r.data);
                info.visible = (r.data[4] & 3) == 0;
                if (r.data[5] == 0)  // a worksheet (not a chart, macro or module sheet)
                    sheets_.push_back(info);
                else
                    info.offset = UINT32_MAX;
                break;
            }
            case kSst: {
                ContinuedData data = WithContinues(r, &records);
                uint32_t total = 0, unique = 0;
                if (!data.U32Value(&total) || !data.U32Value(&unique))
                    break;
                std::string s;
                // The unique count is not to be trusted: read until the data ends.
                while (true) {
                    s.clear();
                    if (!data.RichString(&s))
                        break;
                    stringStarts_.push_back(static_cast<uint32_t>(strings_.size()));
                    strings_ += s;
                }
                break;
            }
            case kExternSheet: {
                ContinuedData data = WithContinues(r, &records);
                uint16_t count = 0;
                if (!data.U16Value(&count))
                    break;
                for (uint16_t i = 0; i < count; ++i) {
                    uint16_t book = 0, first = 0, last = 0;
                    if (!data.U16Value(&book) || !data.U16Value(&first) || !data.U16Value(&last))
                        break;
                    externSheets.push_back({static_cast<int16_t>(first)});
                }
                break;
            }
            case kName: {
                if (r.size < 14)
                    break;
                const uint16_t flags = U16(r.data);
                const uint8_t cch = r.data[3];
                const uint16_t cce = U16(r.data + 4);
                const uint16_t itab = U16(r.data + 8);
                if (flags & 0x21)  // built-in or hidden
                    break;
                ContinuedData data;
                data.Add(r.data + 14, r.size - 14);
                uint8_t nameFlags = 0;
                std::string name;
                if (!data.Byte(&nameFlags) || !data.Characters(cch, nameFlags & 1, &name))
                    break;
                // The formula: one 3-D reference or area, nothing else.
                unsigned char f[11];
                if (cce != 7 && cce != 11)
                    break;
                if (!data.Bytes(f, cce))
                    break;
                const uint8_t ptg = f[0] & 0x1F;
                RawName raw;
                raw.name = name;
                raw.localSheet = itab > 0 ? itab - 1 : -1;
                raw.externIndex = U16(f + 1);
                if (ptg == 0x1B && cce == 11) {  // PtgArea3d
                    raw.area.firstRow = U16(f + 3) + 1u;
                    raw.area.lastRow = U16(f + 5) + 1u;
                    raw.area.firstColumn = (U16(f + 7) & 0x3FFF) + 1u;
                    raw.area.lastColumn = (U16(f + 9) & 0x3FFF) + 1u;
                } else if (ptg == 0x1A && cce == 7) {  // PtgRef3d
                    raw.area.firstRow = raw.area.lastRow = U16(f + 3) + 1u;
                    raw.area.firstColumn = raw.area.lastColumn = (U16(f + 5) & 0x3FFF) + 1u;
                } else {
                    break;
                }
                if (raw.area.firstRow > raw.area.lastRow ||
                    raw.area.firstColumn > raw.area.lastColumn)
                    break;
                rawNames.push_back(raw);
                break;
            }
            default:
                break;
        }
    }
    stringStarts_.push_back(static_cast<uint32_t>(strings_.size()));
    for (int format : xfFormats) {
        auto it = formats.find(format);
        dateStyles_.push_back(IsDateFormat(format, it == formats.end() ? "" : it->second));
    }
    // BOUNDSHEET8 counts every sheet (charts too); EXTERNSHEET and NAME refer to that
    // numbering. Map it to the worksheets kept.
    std::vector<int> kept;
    {
        Records all(stream_);
        Record b;
        int worksheet = 0;
        all.Next(&b);
        while (all.Next(&b) && b.id != kEof)
            if (b.id == kBoundSheet && b.size >= 8)
                kept.push_back(b.data[5] == 0 ? worksheet++ : -1);
    }
    for (const RawName& raw : rawNames) {
        if (raw.externIndex < 0 || static_cast<size_t>(raw.externIndex) >= externSheets.size())
            continue;
        const int all = externSheets[static_cast<size_t>(raw.externIndex)].first;
        if (all < 0 || static_cast<size_t>(all) >= kept.size() ||
            kept[static_cast<size_t>(all)] < 0)
            continue;
        NameInfo info;
        info.name = raw.name;
        info.sheet = sheets_[static_cast<size_t>(kept[static_cast<size_t>(all)])].name;
        info.area = raw.area;
        info.localSheet = -1;
        if (raw.localSheet >= 0) {
            if (static_cast<size_t>(raw.localSheet) >= kept.size() ||
                kept[static_cast<size_t>(raw.localSheet)] < 0)
                continue;
            info.localSheet = kept[static_cast<size_t>(raw.localSheet)];
        }
        names_.push_back(info);
    }
    return true;
}

bool XlsBook::ReadSheet(size_t sheet, std::wstring* error) {
    const SheetInfo& info = sheets_.at(sheet);
    const std::wstring what = L"the sheet '" + Utf8ToWide(info.name) + L"' of '" + shown_ + L"'";
    Records records(stream_);
    records.Seek(info.offset);
    Record r;
    if (!records.Next(&r) || r.id != kBof) {
        *error = what + L" cannot be read: its records do not start where the workbook says";
        return false;
    }
    auto cells = std::make_shared<SheetCells>();
    const size_t stringCount = stringStarts_.empty() ? 0 : stringStarts_.size() - 1;
    auto add = [&](uint32_t row, uint32_t column, uint16_t xf, CellKind kind, double number,
                   std::string_view text) {
        if (row >= 65536 || column >= 256)
            return;
        if (kind == CellKind::Number && xf < dateStyles_.size() && dateStyles_[xf]) {
            kind = CellKind::Date;
            number = SerialToAutomation(number, date1904_);
        }
        if (kind == CellKind::Text && text.empty())
            return;
        StoredCell c{row + 1,
                     column + 1,
                     kind,
                     number,
                     static_cast<uint32_t>(cells->text.size()),
                     static_cast<uint32_t>(text.size())};
        cells->text.append(text.data(), text.size());
        cells->cells.push_back(c);
        cells->area.Add(c.row, c.column);
    };
    bool ended = false;
    std::string text;
    while (!ended && records.Next(&r)) {
        const unsigned char* d = r.data;
        switch (r.id) {
            case kEof:
                ended = true;
                break;
            case kBof:
                // An embedded substream (a chart on the sheet): skip to its EOF.
                while (records.Next(&r) && r.id != kEof) {
                }
                break;
            case kNumber:
                if (r.size >= 14)
                    add(U16(d), U16(d + 2), U16(d + 4), CellKind::Number, F64(d + 6), {});
                break;
            case kRk:
                if (r.size >= 10)
                    add(U16(d), U16(d + 2), U16(d + 4), CellKind::Number, RkValue(U32(d + 6)), {});
                break;
            case kMulRk: {
                if (r.size < 6)
                    break;
                const uint16_t row = U16(d);
                const uint16_t first = U16(d + 2);
                const size_t count = (r.size - 6) / 6;
                for (size_t i = 0; i < count; ++i)
                    add(row, first + static_cast<uint32_t>(i), U16(d + 4 + i * 6), CellKind::Number,
                        RkValue(U32(d + 6 + i * 6)), {});
                break;
            }
            case kLabelSst: {
                if (r.size < 10)
                    break;
                const uint32_t index = U32(d + 6);
                if (index >= stringCount) {
                    *error =
                        what + L", cell " +
                        Utf8ToWide(ColumnLetters(U16(d + 2) + 1u) + std::to_string(U16(d) + 1u)) +
                        L": the shared string " + std::to_wstring(index) +
                        L" is not in the workbook's shared strings";
                    return false;
                }
                add(U16(d), U16(d + 2), U16(d + 4), CellKind::Text, 0,
                    std::string_view(strings_).substr(
                        stringStarts_[index], stringStarts_[index + 1] - stringStarts_[index]));
                break;
            }
            case kLabel:
            case kRString:
                text.clear();
                if (r.size >= 9 && RecordString(d + 6, r.size - 6, false, &text))
                    add(U16(d), U16(d + 2), U16(d + 4), CellKind::Text, 0, text);
                break;
            case kBoolErr:
                if (r.size >= 8)
                    add(U16(d), U16(d + 2), U16(d + 4), d[7] ? CellKind::Error : CellKind::Bool,
                        d[6] ? 1 : 0, {});
                break;
            case kFormula: {
                if (r.size < 20)
                    break;
                const uint16_t row = U16(d), column = U16(d + 2), xf = U16(d + 4);
                const unsigned char* v = d + 6;
                if (v[6] != 0xFF || v[7] != 0xFF) {
                    add(row, column, xf, CellKind::Number, F64(v), {});
                } else if (v[0] == 1) {
                    add(row, column, xf, CellKind::Bool, v[2] ? 1 : 0, {});
                } else if (v[0] == 2) {
                    add(row, column, xf, CellKind::Error, 0, {});
                } else if (v[0] == 0) {
                    // The text result is in the STRING record that follows (after any
                    // shared-formula or array records).
                    while (records.PeekId() != 0 && records.PeekId() != kString &&
                           (records.PeekId() == 0x04BC || records.PeekId() == 0x0221 ||
                            records.PeekId() == 0x0236)) {
                        Record skipped;
                        records.Next(&skipped);
                    }
                    Record s;
                    if (records.PeekId() == kString && records.Next(&s)) {
                        ContinuedData data = WithContinues(s, &records);
                        text.clear();
                        if (data.ShortString16(&text))
                            add(row, column, xf, CellKind::Text, 0, text);
                    }
                }
                break;
            }
            default:
                break;
        }
    }
    // Cells in row, then column order; a cell given twice keeps the later record.
    std::stable_sort(cells->cells.begin(), cells->cells.end(),
                     [](const StoredCell& a, const StoredCell& b) {
                         return a.row != b.row ? a.row < b.row : a.column < b.column;
                     });
    auto& all = cells->cells;
    size_t out = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        if (out > 0 && all[out - 1].row == all[i].row && all[out - 1].column == all[i].column)
            --out;
        all[out++] = all[i];
    }
    all.resize(out);
    // The area of values: cells without one (errors read as NULL too, but count, as in a
    // sheet of the other format) are all kept.
    cells_[sheet] = std::move(cells);
    return true;
}

std::unique_ptr<SheetSource> XlsBook::OpenSheet(size_t sheet, std::wstring* error) {
    if (!cells_.at(sheet) && !ReadSheet(sheet, error))
        return nullptr;
    return std::make_unique<XlsSheetSource>(cells_[sheet]);
}

bool XlsBook::ValueArea(size_t sheet, CellArea* area, std::wstring* error) {
    if (!cells_.at(sheet) && !ReadSheet(sheet, error))
        return false;
    *area = cells_[sheet]->area;
    return true;
}

}  // namespace vorn::provider::stores::workbook
