// One table of a workbook.
#include "stores/workbook/workbook_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cwctype>

#include "calendar.h"
#include "stores/workbook/cell_reference.h"
#include "utf8.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::workbook {

using store::StoreColumn;
using store::StoreError;
using store::StoreValue;

namespace {

// The most columns a table takes (SQLite's own limit of a table's columns).
constexpr uint32_t kMaxTableColumns = 2000;
// The most characters a cell holds.
constexpr size_t kMaxCellCharacters = 32767;

bool Fail(StoreError* error, std::wstring message) {
    error->message = std::move(message);
    return false;
}

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

// Column names as the driver gives them: the header's text with '.' written '#'; F1, F2
// ... (by position) for a column without a name or with the name of one before it.
void NameColumns(std::vector<StoreColumn>* columns) {
    std::vector<std::wstring> seen;
    for (size_t i = 0; i < columns->size(); ++i) {
        std::wstring& name = (*columns)[i].name;
        std::replace(name.begin(), name.end(), L'.', L'#');
        auto taken = [&](const std::wstring& n) {
            return std::find(seen.begin(), seen.end(), Lower(n)) != seen.end();
        };
        if (name.empty() || taken(name))
            name = L"F" + std::to_wstring(i + 1);
        for (int k = 2; taken(name); ++k)
            name = L"F" + std::to_wstring(i + 1) + L"_" + std::to_wstring(k);
        seen.push_back(Lower(name));
    }
}

bool ParseNumber(std::string_view s, double* out) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    const auto r = std::from_chars(s.data(), s.data() + s.size(), *out);
    return !s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(*out);
}

const char* TypeWords(ColumnKind kind) {
    switch (kind) {
        case ColumnKind::Number:
            return "a number column";
        case ColumnKind::Date:
            return "a date column";
        case ColumnKind::Bool:
            return "a yes/no column";
        default:
            return "a text column";
    }
}

}  // namespace

// ---- the cursor --------------------------------------------------------------------------

class WorkbookCursor final : public store::StoreCursor {
  public:
    WorkbookCursor(const WorkbookTable& table, std::shared_ptr<WorkbookFile> book,
                   std::unique_ptr<SheetSource> source, std::string key, uint32_t last)
        : table_(table),
          book_(std::move(book)),
          source_(std::move(source)),
          key_(std::move(key)),
          last_(last),
          row_(table.dataStart_ - 1),
          byColumn_(table.columns_.size(), nullptr),
          overlay_(table.columns_.size()),
          scratch_(table.columns_.size()) {}

    bool Next(StoreError* error) override {
        if (row_ >= last_)
            return false;
        ++row_;
        while (source_ && (!havePending_ || pending_.number < row_)) {
            std::wstring why;
            if (!source_->Next(&pending_, &why)) {
                source_.reset();
                havePending_ = false;
                if (!why.empty())
                    return Fail(error, why);
                break;
            }
            havePending_ = true;
        }
        std::fill(byColumn_.begin(), byColumn_.end(), nullptr);
        const uint32_t first = table_.firstColumn_;
        const size_t width = byColumn_.size();
        if (havePending_ && pending_.number == row_) {
            for (const Cell& c : pending_.cells) {
                if (c.column < first)
                    continue;
                const size_t i = c.column - first;
                if (i >= width)
                    break;
                byColumn_[i] = &c;
            }
        }
        if (table_.session_->Active()) {
            const SheetEdits* edits = table_.session_->Edits(key_);
            auto it = edits ? edits->rows.find(row_) : decltype(edits->rows.end()){};
            if (edits && it != edits->rows.end()) {
                for (const CellValue& v : it->second) {
                    if (v.column < first || v.column - first >= width)
                        continue;
                    const size_t i = v.column - first;
                    Cell& c = overlay_[i];
                    c.column = v.column;
                    c.kind = v.kind;
                    c.number = v.number;
                    c.text = v.text;
                    byColumn_[i] = v.kind == CellKind::Empty ? nullptr : &c;
                }
            }
        }
        return true;
    }

    bool Read(int column, StoreValue* value, StoreError*) override {
        value->kind = StoreValue::Null;
        const auto i = static_cast<size_t>(column);
        const Cell* cell = i < byColumn_.size() ? byColumn_[i] : nullptr;
        if (!cell || cell->kind == CellKind::Error)
            return true;
        switch (table_.kinds_[i]) {
            case ColumnKind::Number:
                if (cell->kind == CellKind::Number) {
                    value->kind = StoreValue::Real;
                    value->real = cell->number;
                }
                return true;
            case ColumnKind::Date:
                if (cell->kind == CellKind::Date) {
                    char text[32];
                    size_t n = 0;
                    if (AutomationDateText(cell->number, text, &n)) {
                        scratch_[i].assign(text, n);
                        value->kind = StoreValue::Text;
                        value->bytes = scratch_[i];
                    }
                }
                return true;
            case ColumnKind::Bool:
                if (cell->kind == CellKind::Bool) {
                    value->kind = StoreValue::Integer;
                    value->integer = cell->number != 0 ? -1 : 0;
                }
                return true;
            case ColumnKind::Text:
            case ColumnKind::Memo:
            case ColumnKind::Untyped:
                if (cell->kind == CellKind::Text) {
                    value->kind = StoreValue::Text;
                    value->bytes = cell->text;
                } else if (table_.options_.importMode || table_.kinds_[i] == ColumnKind::Untyped) {
                    scratch_[i] = CellText(*cell);
                    value->kind = StoreValue::Text;
                    value->bytes = scratch_[i];
                }
                return true;
        }
        return true;
    }

    int64_t RowId() const override { return row_; }

  private:
    const WorkbookTable& table_;
    std::shared_ptr<WorkbookFile> book_;  // keeps the version the source reads alive
    std::unique_ptr<SheetSource> source_;
    std::string key_;
    uint32_t last_;
    uint32_t row_;
    SheetRow pending_;
    bool havePending_ = false;
    std::vector<const Cell*> byColumn_;
    std::vector<Cell> overlay_;
    std::vector<std::string> scratch_;
};

// ---- the table ---------------------------------------------------------------------------

WorkbookTable::WorkbookTable(std::shared_ptr<WorkbookSession> session, TableTarget target,
                             TableOptions options)
    : session_(std::move(session)), target_(std::move(target)), options_(options) {}

std::wstring WorkbookTable::What() const {
    return L"the table '" + target_.name + L"' of '" + session_->Shown() + L"'";
}

int WorkbookTable::SheetIn(const WorkbookFile& book) const {
    const std::vector<SheetInfo>& sheets = book.Sheets();
    for (size_t i = 0; i < sheets.size(); ++i)
        if (sheets[i].name == target_.sheet)
            return static_cast<int>(i);
    const std::wstring wanted = Lower(Utf8ToWide(target_.sheet));
    for (size_t i = 0; i < sheets.size(); ++i)
        if (Lower(Utf8ToWide(sheets[i].name)) == wanted)
            return static_cast<int>(i);
    return -1;
}

bool WorkbookTable::Load(WorkbookFile& book, std::wstring* error) {
    const int sheet = SheetIn(book);
    if (sheet < 0) {
        *error = L"'" + session_->Shown() + L"' has no sheet '" + Utf8ToWide(target_.sheet) + L"'";
        return false;
    }
    CellArea area;
    if (!book.ValueArea(static_cast<size_t>(sheet), &area, error))
        return false;
    uint32_t top = 0, lastColumn = 0;
    if (target_.wholeSheet) {
        if (area.Empty()) {
            // An empty sheet: one nameless text column and no rows.
            columns_ = {StoreColumn{L"F1", JetTypeOfKind(ColumnKind::Untyped), true}};
            kinds_ = {ColumnKind::Untyped};
            firstColumn_ = 1;
            headerRow_ = 0;
            dataStart_ = 1;
            return true;
        }
        top = area.firstRow;
        firstColumn_ = area.firstColumn;
        lastColumn = area.lastColumn;
    } else {
        top = target_.range.firstRow;
        firstColumn_ = target_.range.firstColumn;
        lastColumn = target_.range.lastColumn;
        // A range of whole rows takes the columns that hold values.
        if (lastColumn == kMaxColumns)
            lastColumn =
                area.Empty() || area.lastColumn < firstColumn_ ? firstColumn_ : area.lastColumn;
    }
    if (lastColumn - firstColumn_ + 1 > kMaxTableColumns) {
        *error = What() + L" spans " + std::to_wstring(lastColumn - firstColumn_ + 1) +
                 L" columns (" + Utf8ToWide(ColumnLetters(firstColumn_)) + L" to " +
                 Utf8ToWide(ColumnLetters(lastColumn)) + L"); a table holds at most " +
                 std::to_wstring(kMaxTableColumns) + L": name a range of fewer columns";
        return false;
    }
    const size_t width = lastColumn - firstColumn_ + 1;
    headerRow_ = options_.header ? top : 0;
    dataStart_ = options_.header ? top + 1 : top;
    std::vector<std::wstring> names(width);
    std::vector<ColumnGuess> guesses(width);
    std::unique_ptr<SheetSource> source = book.OpenSheet(static_cast<size_t>(sheet), error);
    if (!source)
        return false;
    SheetRow row;
    const uint32_t guessEnd = dataStart_ + kTypeGuessRows;
    while (source->Next(&row, error)) {
        if (row.number < top)
            continue;
        if (row.number >= guessEnd)
            break;
        for (const Cell& c : row.cells) {
            if (c.column < firstColumn_ || c.column > lastColumn)
                continue;
            const size_t i = c.column - firstColumn_;
            if (row.number == headerRow_)
                names[i] = Utf8ToWide(CellText(c));
            else
                guesses[i].Add(c);
        }
    }
    if (!error->empty())
        return false;
    columns_.clear();
    kinds_.clear();
    for (size_t i = 0; i < width; ++i) {
        const ColumnKind kind = guesses[i].Result(options_.importMode);
        kinds_.push_back(kind);
        columns_.push_back(StoreColumn{names[i], JetTypeOfKind(kind), true});
    }
    NameColumns(&columns_);
    return true;
}

void WorkbookTable::Created(const std::vector<StoreColumn>& columns) {
    columns_ = columns;
    kinds_.clear();
    for (StoreColumn& c : columns_) {
        c.nullable = true;  // a cell can always be empty
        kinds_.push_back(KindOfJetType(c.type));
        if (kinds_.back() == ColumnKind::Untyped)
            kinds_.back() = ColumnKind::Text;
    }
    firstColumn_ = 1;
    headerRow_ = 1;
    dataStart_ = 2;
}

bool WorkbookTable::Locate(Place* place, std::wstring* error) const {
    place->book = session_->Current(error);
    if (!error->empty())
        return false;
    if (session_->Active() && session_->Created(target_.sheet)) {
        place->sheet = -1;
        place->key = WorkbookSession::NewSheetKey(target_.sheet);
        return true;
    }
    if (!place->book) {
        *error = L"could not find file '" + session_->Shown() + L"'";
        return false;
    }
    place->sheet = SheetIn(*place->book);
    if (place->sheet < 0) {
        *error = L"'" + session_->Shown() + L"' has no sheet '" + Utf8ToWide(target_.sheet) +
                 L"' any more";
        return false;
    }
    const SheetInfo& info = place->book->Sheets()[static_cast<size_t>(place->sheet)];
    place->key = info.part.empty() ? info.name : info.part;
    CellArea area;
    if (!place->book->ValueArea(static_cast<size_t>(place->sheet), &area, error))
        return false;
    place->sheetLastRow = area.lastRow;
    return true;
}

std::unique_ptr<store::StoreCursor> WorkbookTable::Open(StoreError* error) {
    Place place;
    std::wstring why;
    if (!Locate(&place, &why)) {
        Fail(error, why);
        return nullptr;
    }
    uint32_t last = place.sheetLastRow;
    if (session_->Active())
        if (const SheetEdits* edits = session_->Edits(place.key))
            last = std::max(last, edits->lastRow);
    if (!target_.wholeSheet)
        last = std::min(last, target_.range.lastRow);
    std::unique_ptr<SheetSource> source;
    if (place.sheet >= 0) {
        source = place.book->OpenSheet(static_cast<size_t>(place.sheet), &why);
        if (!source) {
            Fail(error, why);
            return nullptr;
        }
    }
    return std::make_unique<WorkbookCursor>(*this, place.book, std::move(source), place.key, last);
}

// ---- writes ------------------------------------------------------------------------------

bool WorkbookTable::RefuseWrite(StoreError* error) const {
    if (!session_->ReadOnly())
        return false;
    error->refused = true;
    Fail(error, L"the workbook '" + session_->Shown() +
                    L"' cannot be written: the data source is open read-only");
    return true;
}

bool WorkbookTable::ToCell(const StoreValue& value, size_t column, CellValue* cell,
                           StoreError* error) const {
    cell->column = firstColumn_ + static_cast<uint32_t>(column);
    cell->kind = CellKind::Empty;
    if (value.kind == StoreValue::Null)
        return true;
    const StoreColumn& c = columns_[column];
    const ColumnKind kind = kinds_[column];
    if (value.kind == StoreValue::Blob)
        return Fail(error,
                    L"the column '" + c.name + L"' of " + What() + L" cannot hold binary data");
    const std::string text = value.kind == StoreValue::Text      ? std::string(value.bytes)
                             : value.kind == StoreValue::Integer ? std::to_string(value.integer)
                                                                 : NumberText(value.real);
    const double number =
        value.kind == StoreValue::Integer ? static_cast<double>(value.integer) : value.real;
    auto misfit = [&]() {
        return Fail(error, L"the value '" + Utf8ToWide(text) + L"' does not fit the column '" +
                               c.name + L"' (" + Utf8ToWide(TypeWords(kind)) + L") of " + What());
    };
    switch (kind) {
        case ColumnKind::Number:
            cell->kind = CellKind::Number;
            cell->number = number;
            if (value.kind == StoreValue::Text && !ParseNumber(text, &cell->number))
                return misfit();
            return true;
        case ColumnKind::Date: {
            cell->kind = CellKind::Date;
            cell->number = number;
            if (value.kind == StoreValue::Text) {
                DateParts parts;
                if (!ParseIsoDateText(text.data(), text.size(), &parts) ||
                    !DatePartsToAutomation(parts, &cell->number))
                    return misfit();
            }
            return true;
        }
        case ColumnKind::Bool: {
            cell->kind = CellKind::Bool;
            cell->number = number != 0 ? 1 : 0;
            if (value.kind == StoreValue::Text) {
                std::string lower = text;
                for (char& ch : lower)
                    ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                if (lower == "true" || lower == "yes" || lower == "on" || lower == "-1" ||
                    lower == "1")
                    cell->number = 1;
                else if (lower == "false" || lower == "no" || lower == "off" || lower == "0")
                    cell->number = 0;
                else
                    return misfit();
            }
            return true;
        }
        case ColumnKind::Untyped:
            if (value.kind != StoreValue::Text) {
                cell->kind = CellKind::Number;
                cell->number = number;
                return true;
            }
            [[fallthrough]];
        case ColumnKind::Text:
        case ColumnKind::Memo:
            if (text.size() > kMaxCellCharacters &&
                CountUtf8Chars(text.data(), text.size()) > kMaxCellCharacters)
                return Fail(error, L"the value for the column '" + c.name + L"' of " + What() +
                                       L" is longer than a cell holds (32767 characters)");
            cell->kind = text.empty() ? CellKind::Empty : CellKind::Text;
            cell->text = text;
            return true;
    }
    return true;
}

bool WorkbookTable::Insert(const std::vector<StoreValue>& row, StoreError* error) {
    if (RefuseWrite(error))
        return false;
    std::wstring why;
    if (!session_->Begin(&why))
        return Fail(error, why);
    Place place;
    if (!Locate(&place, &why))
        return Fail(error, why);
    if (target_.wholeSheet && headerRow_ == 0 && options_.header)
        return Fail(error, What() +
                               L" is an empty sheet without a header row to add rows "
                               L"under; CREATE TABLE makes a sheet with one");
    std::vector<CellValue> cells;
    for (size_t i = 0; i < columns_.size(); ++i) {
        CellValue cell;
        if (!ToCell(i < row.size() ? row[i] : StoreValue(), i, &cell, error))
            return false;
        if (cell.kind != CellKind::Empty)
            cells.push_back(std::move(cell));
    }
    const SheetEdits* edits = session_->Edits(place.key);
    uint32_t number = 0;
    if (target_.wholeSheet) {
        number = std::max(edits ? edits->lastRow : place.sheetLastRow, dataStart_ - 1) + 1;
    } else {
        if (rangeLast_ == 0 || rangeGeneration_ != session_->Generation()) {
            // The range's last row with a value in its columns.
            rangeLast_ = dataStart_ - 1;
            rangeGeneration_ = session_->Generation();
            StoreError readError;
            std::unique_ptr<store::StoreCursor> cursor = Open(&readError);
            if (!cursor)
                return Fail(error, readError.message);
            while (cursor->Next(&readError)) {
                for (size_t i = 0; i < columns_.size(); ++i) {
                    StoreValue v;
                    cursor->Read(static_cast<int>(i), &v, &readError);
                    if (v.kind != StoreValue::Null) {
                        rangeLast_ = static_cast<uint32_t>(cursor->RowId());
                        break;
                    }
                }
            }
            if (!readError.message.empty())
                return Fail(error, readError.message);
        }
        number = rangeLast_ + 1;
        if (number > target_.range.lastRow) {
            error->refused = true;
            return Fail(error, L"Cannot expand named range.");
        }
        rangeLast_ = number;
    }
    if (number > kMaxRows)
        return Fail(error, What() + L" is full: a sheet has at most 1048576 rows");
    session_->Write(place.key, place.sheetLastRow, number, std::move(cells));
    return true;
}

bool WorkbookTable::Update(int64_t rowId, const std::vector<StoreValue>& row, StoreError* error) {
    if (RefuseWrite(error))
        return false;
    std::wstring why;
    if (!session_->Begin(&why))
        return Fail(error, why);
    Place place;
    if (!Locate(&place, &why))
        return Fail(error, why);
    if (rowId < dataStart_ || rowId > kMaxRows)
        return Fail(error, What() + L" has no row " + std::to_wstring(rowId));
    std::vector<CellValue> cells;
    for (size_t i = 0; i < columns_.size() && i < row.size(); ++i) {
        if (row[i].unchanged)
            continue;
        CellValue cell;
        if (!ToCell(row[i], i, &cell, error))
            return false;
        cells.push_back(std::move(cell));
    }
    session_->Write(place.key, place.sheetLastRow, static_cast<uint32_t>(rowId), std::move(cells));
    return true;
}

bool WorkbookTable::Delete(int64_t, StoreError* error) {
    error->refused = true;
    return Fail(error, kDeleteRefused);
}

bool WorkbookTable::Begin(StoreError* error) {
    if (session_->ReadOnly())
        return true;
    std::wstring why;
    return session_->Begin(&why) || Fail(error, why);
}

bool WorkbookTable::Sync(StoreError* error) {
    std::wstring why;
    return session_->Sync(&why) || Fail(error, why);
}

bool WorkbookTable::Commit(StoreError* error) {
    std::wstring why;
    return session_->Commit(&why) || Fail(error, why);
}

bool WorkbookTable::Rollback(StoreError*) {
    session_->Rollback();
    return true;
}

bool WorkbookTable::Savepoint(int n, StoreError*) {
    return session_->Savepoint(n);
}

bool WorkbookTable::Release(int n, StoreError*) {
    return session_->Release(n);
}

bool WorkbookTable::RollbackTo(int n, StoreError*) {
    return session_->RollbackTo(n);
}

}  // namespace vorn::provider::stores::workbook
