// One text file as a store table.
#include "stores/text/text_table.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "sqlite_database.h"
#include "stores/text/text_charset.h"
#include "stores/text/text_journal.h"
#include "stores/text/text_reader.h"
#include "stores/text/text_store.h"
#include "stores/text/text_values.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::text {

using sql::JetType;
using store::StoreColumn;
using store::StoreError;
using store::StoreValue;

namespace {

constexpr size_t kFlushBytes = size_t(1) << 20;

std::wstring Why(int error) {
    return Utf8ToWide(std::strerror(error));
}

bool Fail(StoreError* error, std::wstring message) {
    error->message = std::move(message);
    return false;
}

// Whether v lies in the range of an integer column of type (Byte, Short, Long).
bool FitsInteger(JetType type, int64_t v) {
    if (type == JetType::Byte)
        return v >= 0 && v <= 255;
    if (type == JetType::Short)
        return v >= -32768 && v <= 32767;
    return v >= INT32_MIN && v <= INT32_MAX;
}

// A field between double quotes, its quotes doubled.
std::string Quote(const std::string& field) {
    std::string quoted = "\"";
    for (char ch : field) {
        quoted += ch;
        if (ch == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

// Text of the file's set as UTF-8: a view of bytes, or of scratch.
bool Decode(std::string_view bytes, Charset charset, std::string* scratch, std::string_view* out) {
    if (charset == Charset::Utf8) {
        if (!ValidUtf8(bytes))
            return false;
        *out = bytes;
        return true;
    }
    scratch->clear();
    SingleByteToUtf8(charset, bytes, scratch);
    *out = *scratch;
    return true;
}

// Locks fd exclusively, waiting as long as a statement waits for a database lock.
bool LockExclusive(int fd) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(BusyTimeoutMilliseconds());
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::string ShortestNumber(double v, char decimal) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    std::string text(buffer, result.ptr);
    if (decimal != '.')
        for (char& c : text)
            if (c == '.')
                c = decimal;
    return text;
}

bool ReadFileText(const std::string& path, std::string* text, bool* exists) {
    text->clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *exists = false;
        return errno == ENOENT;
    }
    *exists = true;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        text->append(buffer, static_cast<size_t>(n));
    ::close(fd);
    return n == 0;
}

// schema.ini without the section of fileName, followed by newSection.
std::string ReplaceSection(const std::string& text, const std::string& fileName,
                           const std::string& newSection) {
    std::string out;
    bool skipping = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(pos, end - pos);
        pos = end;
        size_t b = line.find_first_not_of(" \t");
        if (b != std::string::npos && line[b] == '[') {
            const std::vector<SchemaIniSection> one = ParseSchemaIni(line);
            skipping = !one.empty() && FindSection(one, fileName) != nullptr;
        }
        if (!skipping)
            out += line;
    }
    if (!out.empty() && out.back() != '\n')
        out += "\r\n";
    return out + newSection;
}

}  // namespace

// ---- the cursor ------------------------------------------------------------------------

class TextCursor final : public store::StoreCursor {
  public:
    TextCursor(const TextTable& table, int fd, uint64_t limit)
        : table_(table),
          fd_(fd),
          reader_(fd, limit, table.format_.delimiter, table.FileName(), Widths(table.format_)),
          skipHeader_(table.format_.header),
          scratch_(table.columns_.size()) {}
    ~TextCursor() override { ::close(fd_); }

    bool Next(StoreError* error) override {
        std::wstring why;
        while (reader_.Next(&why)) {
            if (skipHeader_) {
                skipHeader_ = false;
                continue;
            }
            return true;
        }
        error->message = why;
        return false;
    }

    bool Read(int column, StoreValue* value, StoreError* error) override {
        const std::vector<std::string_view>& fields = reader_.Fields();
        const std::vector<StoreColumn>& columns = table_.columns_;
        if (fields.size() > columns.size())
            return Fail(error, L"line " + std::to_wstring(reader_.Line()) + L" of '" +
                                   table_.FileName() + L"' has " + std::to_wstring(fields.size()) +
                                   L" fields; the table has " + std::to_wstring(columns.size()) +
                                   L" columns");
        value->kind = StoreValue::Null;
        const auto c = static_cast<size_t>(column);
        if (c >= fields.size() || c >= columns.size() || fields[c].empty())
            return true;
        const std::string_view field = fields[c];
        const TextFormat& format = table_.format_;
        const JetType type = columns[c].type.type;
        switch (type) {
            case JetType::Byte:
            case JetType::Short:
            case JetType::Long:
            case JetType::Counter: {
                int64_t v = 0;
                if (ParseInt32(field, &v) && FitsInteger(type, v)) {
                    value->kind = StoreValue::Integer;
                    value->integer = v;
                    return true;
                }
                break;
            }
            case JetType::Single:
            case JetType::Double:
            case JetType::Decimal:
            case JetType::Currency: {
                std::string_view number = field;
                if (type == JetType::Currency && !format.currencySymbol.empty()) {
                    const std::string& symbol = format.currencySymbol;
                    while (!number.empty() && number.front() == ' ')
                        number.remove_prefix(1);
                    if (number.substr(0, symbol.size()) == symbol)
                        number.remove_prefix(symbol.size());
                    else if (number.size() >= symbol.size() &&
                             number.substr(number.size() - symbol.size()) == symbol)
                        number.remove_suffix(symbol.size());
                }
                double v = 0;
                if (ParseNumber(number, format.decimalSymbol, &v)) {
                    value->kind = StoreValue::Real;
                    value->real = v;
                    return true;
                }
                break;
            }
            case JetType::DateTime:
                if (ParseDate(field, format.dateTimeFormat, &scratch_[c])) {
                    value->kind = StoreValue::Text;
                    value->bytes = scratch_[c];
                    return true;
                }
                break;
            case JetType::YesNo:
                if (ParseBit(field, &value->integer)) {
                    value->kind = StoreValue::Integer;
                    return true;
                }
                break;
            default:
                return ReadText(c, field, value, error);
        }
        // A value that does not fit its column reads as NULL (import mode makes guessed
        // columns text, where every value fits).
        return true;
    }

    int64_t RowId() const override { return static_cast<int64_t>(reader_.Offset()); }

  private:
    static std::vector<int> Widths(const TextFormat& format) {
        std::vector<int> widths;
        if (format.fixedLength)
            for (const TextColumnSpec& c : format.columns)
                widths.push_back(c.width);
        return widths;
    }

    bool ReadText(size_t c, std::string_view field, StoreValue* value, StoreError* error) {
        std::string_view text;
        if (!Decode(field, table_.format_.charset, &scratch_[c], &text))
            return Fail(error, L"line " + std::to_wstring(reader_.Line()) + L" of '" +
                                   table_.FileName() + L"', column '" + table_.columns_[c].name +
                                   L"': the bytes are not valid UTF-8 (schema.ini can give the "
                                   L"file's CharacterSet, such as ANSI or OEM)");
        value->kind = StoreValue::Text;
        value->bytes = text;
        return true;
    }

    const TextTable& table_;
    int fd_;
    TextReader reader_;
    bool skipHeader_;
    std::vector<std::string> scratch_;
};

// ---- the table -------------------------------------------------------------------------

TextTable::TextTable(std::wstring name, std::string folder, std::string path, TextFormat format,
                     bool readOnly)
    : name_(std::move(name)),
      folder_(std::move(folder)),
      path_(std::move(path)),
      format_(std::move(format)),
      readOnly_(readOnly) {}

TextTable::~TextTable() {
    // A handle that closes inside a transaction has rolled it back; should a table still
    // hold one, it is undone rather than left half written.
    if (fd_ >= 0) {
        StoreError ignored;
        Rollback(&ignored);
    }
}

std::wstring TextTable::FileName() const {
    const size_t slash = path_.rfind('/');
    return Utf8ToWide(slash == std::string::npos ? path_ : path_.substr(slash + 1));
}

bool TextTable::Load(StoreError* error) {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail(error,
                    L"could not open the text file '" + Utf8ToWide(path_) + L"': " + Why(errno));
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Fail(error, L"'" + Utf8ToWide(path_) + L"' is not a file");
    }
    uint64_t limit = static_cast<uint64_t>(st.st_size);
    JournalRecord pending;
    if (PendingJournal(path_, &pending))
        limit = pending.created ? 0 : std::min(limit, pending.size);
    unsigned char mark[2] = {0, 0};
    if (::pread(fd, mark, 2, 0) == 2 &&
        ((mark[0] == 0xFF && mark[1] == 0xFE) || (mark[0] == 0xFE && mark[1] == 0xFF))) {
        ::close(fd);
        return Fail(error, L"'" + FileName() +
                               L"' is UTF-16 text (it starts with a UTF-16 byte-order mark); text "
                               L"files are read as UTF-8, Windows-1252 or code page 437: save it "
                               L"as UTF-8");
    }
    TextReader reader(fd, limit, format_.delimiter, FileName(), {});
    std::wstring why;
    std::vector<std::wstring> names;
    std::string scratch;
    if (format_.header && reader.Next(&why)) {
        if (format_.fixedLength) {
            // The header of a fixed-length file is only skipped: ColN names its columns.
        } else {
            for (std::string_view field : reader.Fields()) {
                std::string_view text;
                if (!Decode(field, format_.charset, &scratch, &text)) {
                    ::close(fd);
                    return Fail(error, L"line " + std::to_wstring(reader.Line()) + L" of '" +
                                           FileName() +
                                           L"' (the header): the bytes are not valid "
                                           L"UTF-8 (schema.ini can give the file's CharacterSet, "
                                           L"such as ANSI or OEM)");
                }
                names.push_back(Utf8ToWide(std::string(text)));
            }
        }
    }
    std::vector<TypeGuess> guesses(names.size());
    if (why.empty() && format_.columns.empty()) {
        for (int row = 0; format_.maxScanRows == 0 || row < format_.maxScanRows; ++row) {
            if (!reader.Next(&why))
                break;
            const std::vector<std::string_view>& fields = reader.Fields();
            if (fields.size() > guesses.size()) {
                if (format_.header) {
                    ::close(fd);
                    return Fail(error, L"line " + std::to_wstring(reader.Line()) + L" of '" +
                                           FileName() + L"' has " + std::to_wstring(fields.size()) +
                                           L" fields; the header line has " +
                                           std::to_wstring(names.size()));
                }
                guesses.resize(fields.size());
            }
            for (size_t i = 0; i < fields.size(); ++i)
                guesses[i].Add(fields[i], format_);
        }
    }
    // Rows written later end as the file's lines end.
    if (why.empty() && reader.LineEnd().empty()) {
        std::wstring ignored;
        reader.Next(&ignored);
    }
    if (!reader.LineEnd().empty())
        lineEnd_ = reader.LineEnd();
    ::close(fd);
    if (!why.empty())
        return Fail(error, why);

    columns_.clear();
    if (!format_.columns.empty()) {
        for (const TextColumnSpec& spec : format_.columns)
            columns_.push_back({spec.name, spec.type, true});
    } else {
        for (size_t i = 0; i < guesses.size(); ++i) {
            StoreColumn c;
            c.name = i < names.size() ? names[i] : L"";
            c.type = guesses[i].Result(format_.imex);
            columns_.push_back(std::move(c));
        }
    }
    // Nameless and repeated columns are called F1, F2 ... by their position.
    for (size_t i = 0; i < columns_.size(); ++i) {
        bool repeated = false;
        for (size_t j = 0; j < i && !repeated; ++j)
            repeated = Utf8ToWide(WideToUtf8(columns_[j].name)) == columns_[i].name ||
                       WideToUtf8(columns_[j].name) == WideToUtf8(columns_[i].name);
        if (columns_[i].name.empty() || repeated)
            columns_[i].name = L"F" + std::to_wstring(i + 1);
    }
    if (columns_.empty())
        columns_.push_back({L"F1", sql::JetTypeSpec{sql::JetType::Text, 255}, true});
    return true;
}

std::unique_ptr<store::StoreCursor> TextTable::Open(StoreError* error) {
    uint64_t limit = 0;
    if (fd_ >= 0) {
        // This handle's own transaction: its rows so far are part of what it reads.
        if (!Flush(error))
            return nullptr;
        limit = written_;
    }
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Fail(error, L"could not open the text file '" + Utf8ToWide(path_) + L"': " + Why(errno));
        return nullptr;
    }
    if (fd_ < 0) {
        struct stat st;
        if (::fstat(fd, &st) != 0) {
            ::close(fd);
            Fail(error, L"could not read '" + Utf8ToWide(path_) + L"': " + Why(errno));
            return nullptr;
        }
        limit = static_cast<uint64_t>(st.st_size);
        // Another writer's transaction is not there yet for readers.
        JournalRecord pending;
        if (PendingJournal(path_, &pending))
            limit = pending.created ? 0 : std::min(limit, pending.size);
    }
    return std::make_unique<TextCursor>(*this, fd, limit);
}

// ---- writes ----------------------------------------------------------------------------

bool TextTable::Update(int64_t, const std::vector<StoreValue>&, StoreError* error) {
    error->refused = true;
    return Fail(error, kUpdateRefused);
}

bool TextTable::Delete(int64_t, StoreError* error) {
    error->refused = true;
    return Fail(error, kDeleteRefused);
}

bool TextTable::AppendField(const StoreValue& value, size_t column, std::string* line,
                            StoreError* error) const {
    const StoreColumn& c = columns_[column];
    const JetType type = c.type.type;
    auto misfit = [&](const std::string& shown) {
        return Fail(error, L"the value '" + Utf8ToWide(shown) + L"' does not fit the column '" +
                               c.name + L"' (" + Utf8ToWide(TextTypeName(c.type)) + L") of '" +
                               FileName() + L"'");
    };
    if (value.kind == StoreValue::Null)
        return true;
    if (value.kind == StoreValue::Blob)
        return Fail(error, L"the column '" + c.name + L"' of '" + FileName() +
                               L"' cannot hold binary data");
    const std::string asText = value.kind == StoreValue::Text ? std::string(value.bytes)
                               : value.kind == StoreValue::Integer
                                   ? std::to_string(value.integer)
                                   : ShortestNumber(value.real, '.');
    std::string out;
    switch (type) {
        case JetType::Byte:
        case JetType::Short:
        case JetType::Long:
        case JetType::Counter: {
            int64_t v = 0;
            if (value.kind == StoreValue::Real && std::nearbyint(value.real) == value.real &&
                std::fabs(value.real) < 3e9)
                v = static_cast<int64_t>(value.real);
            else if (!ParseInt32(asText, &v))
                return misfit(asText);
            if (!FitsInteger(type, v))
                return misfit(asText);
            out = std::to_string(v);
            break;
        }
        case JetType::Single:
        case JetType::Double:
        case JetType::Decimal:
        case JetType::Currency: {
            double v = value.real;
            if (value.kind == StoreValue::Integer)
                v = static_cast<double>(value.integer);
            else if (value.kind == StoreValue::Text && !ParseNumber(asText, '.', &v))
                return misfit(asText);
            out = ShortestNumber(v, format_.decimalSymbol);
            break;
        }
        case JetType::DateTime: {
            std::string iso;
            if (!ParseDate(asText, "", &iso))
                return misfit(asText);
            out = iso.compare(10, 9, " 00:00:00") == 0 ? iso.substr(0, 10) : iso;
            break;
        }
        case JetType::YesNo: {
            int64_t v = 0;
            if (!ParseBit(asText, &v))
                return misfit(asText);
            out = v ? "True" : "False";
            break;
        }
        default: {
            if (type == JetType::Text &&
                CharacterCount(asText, Charset::Utf8) >
                    static_cast<size_t>(c.type.size > 0 ? c.type.size : 255))
                return Fail(error, L"the value is longer than the column '" + c.name + L"' of '" +
                                       FileName() + L"' holds (" + std::to_wstring(c.type.size) +
                                       L" characters)");
            char32_t bad = 0;
            if (!Utf8ToCharset(format_.charset, asText, &out, &bad))
                return Fail(
                    error, L"the character U+" +
                               [&] {
                                   wchar_t hex[16];
                                   std::swprintf(hex, 16, L"%04X", static_cast<unsigned>(bad));
                                   return std::wstring(hex);
                               }() +
                               L" of a value for the column '" + c.name +
                               L"' has no place in the character set of '" + FileName() + L"' (" +
                               Utf8ToWide(CharsetName(format_.charset)) + L")");
            const bool quote =
                out.empty() ||
                out.find_first_of(std::string("\"\r\n") + format_.delimiter) != std::string::npos;
            if (quote && !format_.fixedLength)
                out = Quote(out);
            break;
        }
    }
    if (format_.fixedLength) {
        const size_t width = static_cast<size_t>(format_.columns[column].width);
        const size_t chars = CharacterCount(out, format_.charset);
        if (chars > width)
            return Fail(error, L"the value '" + Utf8ToWide(asText) +
                                   L"' is wider than the column '" + c.name + L"' of '" +
                                   FileName() + L"' (" + std::to_wstring(width) + L" characters)");
        out.append(width - chars, ' ');
    }
    *line += out;
    return true;
}

bool TextTable::Insert(const std::vector<StoreValue>& row, StoreError* error) {
    if (readOnly_) {
        error->refused = true;
        return Fail(error, L"the text file '" + FileName() +
                               L"' cannot be written: the data source is open read-only");
    }
    std::string line;
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (i > 0 && !format_.fixedLength)
            line += format_.delimiter;
        static const StoreValue kNull;
        if (!AppendField(i < row.size() ? row[i] : kNull, i, &line, error))
            return false;
    }
    line += lineEnd_;
    if (fd_ < 0 && !StartWriting(error, false, nullptr))
        return false;
    pending_ += line;
    return pending_.size() < kFlushBytes || Flush(error);
}

bool TextTable::StartWriting(StoreError* error, bool created, const std::string* schemaBefore) {
    const int fd =
        ::open(path_.c_str(), O_RDWR | O_CLOEXEC | (created ? O_CREAT | O_EXCL : 0), 0644);
    if (fd < 0)
        return Fail(error, (created ? L"could not create the text file '"
                                    : L"could not open the text file '") +
                               Utf8ToWide(path_) + L"' for writing: " + Why(errno));
    if (!LockExclusive(fd)) {
        ::close(fd);
        return Fail(error, L"the text file '" + Utf8ToWide(path_) +
                               L"' is being written by another connection or process");
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return Fail(error, L"could not read '" + Utf8ToWide(path_) + L"': " + Why(errno));
    }
    JournalRecord record;
    record.created = created;
    record.size = static_cast<uint64_t>(st.st_size);
    if (schemaBefore) {
        record.hasSchema = true;
        bool exists = false;
        std::string ignored;
        ReadFileText(folder_ + "/schema.ini", &ignored, &exists);
        record.schemaExisted = exists;
        record.schemaText = *schemaBefore;
    }
    std::wstring why;
    const int journal = WriteJournal(path_, record, &why);
    if (journal < 0) {
        ::close(fd);
        if (created)
            ::unlink(path_.c_str());
        return Fail(error, why);
    }
    fd_ = fd;
    journal_ = journal;
    created_ = created;
    before_ = record.size;
    written_ = before_;
    pending_.clear();
    savepoints_.clear();
    // A last record without its line end gets one before the first appended row.
    if (before_ > 0) {
        char last = '\n';
        if (::pread(fd, &last, 1, static_cast<off_t>(before_ - 1)) == 1 && last != '\n' &&
            last != '\r')
            pending_ = lineEnd_;
    }
    return true;
}

bool TextTable::Flush(StoreError* error) {
    if (pending_.empty())
        return true;
    if (!WriteAt(fd_, pending_.data(), pending_.size(), written_))
        return Fail(error, L"writing to '" + Utf8ToWide(path_) + L"' failed: " + Why(errno));
    written_ += pending_.size();
    pending_.clear();
    return true;
}

bool TextTable::CutTo(uint64_t size, StoreError* error) {
    if (size >= written_) {
        pending_.resize(static_cast<size_t>(size - written_));
        return true;
    }
    pending_.clear();
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
        return Fail(error, L"undoing the rows written to '" + Utf8ToWide(path_) + L"' failed: " +
                               Why(errno));
    written_ = size;
    return true;
}

void TextTable::EndWriting() {
    RemoveJournal(path_, journal_);
    journal_ = -1;
    ::close(fd_);
    fd_ = -1;
    created_ = false;
    pending_.clear();
    savepoints_.clear();
}

bool TextTable::Begin(StoreError*) {
    return true;  // the journal is written before the transaction's first row
}

bool TextTable::Sync(StoreError* error) {
    if (fd_ < 0)
        return true;
    if (!Flush(error))
        return false;
    if (::fdatasync(fd_) != 0)
        return Fail(error, L"could not write '" + Utf8ToWide(path_) + L"' to disk: " + Why(errno));
    return true;
}

bool TextTable::Commit(StoreError* error) {
    if (fd_ < 0)
        return true;
    if (!Sync(error))
        return false;
    EndWriting();
    return true;
}

bool TextTable::Rollback(StoreError* error) {
    if (fd_ < 0)
        return true;
    pending_.clear();
    JournalRecord record;
    bool ok = true;
    std::wstring why;
    if (ReadJournal(journal_, &record))
        ok = PlayBack(path_, folder_ + "/schema.ini", record, &why);
    else
        ok = CutTo(before_, error);
    if (!ok) {
        // The journal stays: the next open plays it back.
        ::close(journal_);
        ::close(fd_);
        journal_ = fd_ = -1;
        return Fail(error, why.empty() ? error->message : why);
    }
    EndWriting();
    return true;
}

bool TextTable::Savepoint(int n, StoreError*) {
    savepoints_.emplace_back(n, fd_ < 0 ? UINT64_MAX : written_ + pending_.size());
    return true;
}

bool TextTable::Release(int n, StoreError*) {
    while (!savepoints_.empty() && savepoints_.back().first >= n)
        savepoints_.pop_back();
    return true;
}

bool TextTable::RollbackTo(int n, StoreError* error) {
    while (!savepoints_.empty() && savepoints_.back().first > n)
        savepoints_.pop_back();
    if (savepoints_.empty() || savepoints_.back().first != n || fd_ < 0)
        return true;
    // A savepoint taken before the transaction's first write goes back to its start.
    const uint64_t mark = savepoints_.back().second;
    return CutTo(mark == UINT64_MAX ? before_ : mark, error);
}

bool TextTable::CreateFile(const std::vector<StoreColumn>& columns, StoreError* error) {
    if (readOnly_) {
        error->refused = true;
        return Fail(error, L"the table '" + name_ +
                               L"' cannot be created: the data source is open read-only");
    }
    struct stat st;
    if (::stat(path_.c_str(), &st) == 0)
        return Fail(error, L"the table '" + name_ + L"' exists already: the file '" +
                               Utf8ToWide(path_) + L"' is there");
    const std::string schemaPath = folder_ + "/schema.ini";
    std::string schemaText;
    bool schemaExists = false;
    if (!ReadFileText(schemaPath, &schemaText, &schemaExists))
        return Fail(error, L"could not read '" + Utf8ToWide(schemaPath) + L"': " + Why(errno));
    format_.header = true;
    format_.fixedLength = false;
    format_.columns.clear();
    for (const StoreColumn& c : columns) {
        TextColumnSpec spec;
        spec.name = c.name;
        spec.type = c.type;
        format_.columns.push_back(spec);
    }
    columns_ = columns;
    for (StoreColumn& c : columns_)
        c.nullable = true;  // a text file cannot refuse an empty field
    if (!StartWriting(error, true, &schemaText))
        return false;
    std::string header;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            header += format_.delimiter;
        StoreValue name;
        name.kind = StoreValue::Text;
        const std::string utf8 = WideToUtf8(columns[i].name);
        name.bytes = utf8;
        std::string encoded;
        char32_t bad = 0;
        if (!Utf8ToCharset(format_.charset, utf8, &encoded, &bad)) {
            StoreError ignored;
            Rollback(&ignored);
            return Fail(error, L"the column name '" + columns[i].name +
                                   L"' has a character outside the file's character set");
        }
        if (encoded.find_first_of(std::string("\"\r\n ") + format_.delimiter) != std::string::npos)
            encoded = Quote(encoded);
        header += encoded;
    }
    pending_ = header + lineEnd_;
    std::wstring why;
    const std::string fileName = WideToUtf8(FileName());
    if (!Flush(error) ||
        !ReplaceFileText(schemaPath,
                         ReplaceSection(schemaText, fileName, FormatSection(fileName, format_)),
                         &why)) {
        if (!why.empty())
            error->message = why;
        StoreError ignored;
        Rollback(&ignored);
        return false;
    }
    return true;
}

}  // namespace vorn::provider::stores::text
