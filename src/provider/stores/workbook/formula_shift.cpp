// Moves the relative references of an A1-style formula.
#include "stores/workbook/formula_shift.h"

#include <cctype>

#include "stores/workbook/cell_reference.h"
#include "stores/workbook/sheet_cells.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::workbook {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A character of a name, a function name or a reference.
bool IsNameChar(char ch) {
    const unsigned char c = static_cast<unsigned char>(ch);
    return std::isalnum(c) || c == '_' || c == '.' || c == '\\' || c == '?' || c == '$' ||
           c >= 0x80;
}

// One side of a reference: a column, a row or both (0 where absent), with their dollars.
struct RefPart {
    uint32_t column = 0;
    uint32_t row = 0;
    bool columnFixed = false;
    bool rowFixed = false;
};

// Reads text whole as "$B$3", "B3", "B", "$B", "3" or "$3"; false for anything else.
bool ParseRefPart(std::string_view t, RefPart* p) {
    *p = RefPart();
    size_t i = 0;
    bool dollar = i < t.size() && t[i] == '$';
    if (dollar)
        ++i;
    size_t letters = 0;
    while (i + letters < t.size() && IsLetter(t[i + letters]))
        ++letters;
    if (letters > 0) {
        size_t used = 0;
        const uint32_t column = letters <= 3 ? ParseColumnLetters(t.substr(i, letters), &used) : 0;
        if (column == 0 || used != letters)
            return false;
        p->column = column;
        p->columnFixed = dollar;
        i += letters;
        if (i == t.size())
            return true;
        dollar = t[i] == '$';
        if (dollar)
            ++i;
    }
    uint64_t row = 0;
    const size_t digitsStart = i;
    for (; i < t.size() && IsDigit(t[i]); ++i) {
        row = row * 10 + static_cast<uint64_t>(t[i] - '0');
        if (row > kMaxRows)
            return false;
    }
    if (i == digitsStart || i != t.size() || row == 0)
        return false;
    p->row = static_cast<uint32_t>(row);
    p->rowFixed = dollar;
    return true;
}

// Moves a relative coordinate; false when it would leave 1..limit.
bool Move(uint32_t* value, bool fixed, int64_t by, uint32_t limit) {
    if (fixed || *value == 0)
        return true;
    const int64_t moved = static_cast<int64_t>(*value) + by;
    if (moved < 1 || moved > static_cast<int64_t>(limit))
        return false;
    *value = static_cast<uint32_t>(moved);
    return true;
}

std::string RefPartText(const RefPart& p) {
    std::string text;
    if (p.column != 0)
        text += (p.columnFixed ? "$" : "") + ColumnLetters(p.column);
    if (p.row != 0)
        text += (p.rowFixed ? "$" : "") + std::to_string(p.row);
    return text;
}

// The end of a name-character run starting at i.
size_t NameEnd(std::string_view f, size_t i) {
    while (i < f.size() && IsNameChar(f[i]))
        ++i;
    return i;
}

// The length of an R1C1 reference at i ("R1C1", "RC[-1]", "R[2]C", "R[1]"), 0 for none.
size_t R1C1Length(std::string_view f, size_t i) {
    bool bracket = false;
    // Reads the index after R or C: digits, or [n] relative.
    auto index = [&](size_t* k) {
        if (*k < f.size() && f[*k] == '[') {
            size_t m = *k + 1;
            if (m < f.size() && (f[m] == '-' || f[m] == '+'))
                ++m;
            const size_t digits = m;
            while (m < f.size() && IsDigit(f[m]))
                ++m;
            if (m == digits || m >= f.size() || f[m] != ']')
                return false;
            *k = m + 1;
            bracket = true;
            return true;
        }
        while (*k < f.size() && IsDigit(f[*k]))
            ++*k;
        return true;
    };
    size_t k = i;
    bool row = false, column = false;
    if (k < f.size() && (f[k] == 'R' || f[k] == 'r')) {
        ++k;
        row = true;
        if (!index(&k))
            return 0;
    }
    if (k < f.size() && (f[k] == 'C' || f[k] == 'c')) {
        ++k;
        column = true;
        if (!index(&k))
            return 0;
    }
    if ((!row && !column) || (k < f.size() && (IsNameChar(f[k]) || f[k] == '(')))
        return 0;
    // "R" or "C" alone is no reference in A1 text; "R[1]" is.
    if (!(row && column) && !bracket)
        return 0;
    return k - i;
}

class Shifter {
  public:
    Shifter(std::string_view f, int64_t rows, int64_t columns, std::string* out, std::wstring* why)
        : f_(f), rows_(rows), columns_(columns), out_(out), why_(why) {}

    bool Run() {
        out_->clear();
        size_t i = 0;
        while (i < f_.size()) {
            const char c = f_[i];
            if (c == '"') {
                i = CopyQuoted(i, '"');
            } else if (c == '\'') {
                const size_t end = CopyQuoted(i, '\'');
                // '[1]Sheet1'!A1, 'C:\data\[Book.xlsx]Sheet1'!A1
                if (f_.substr(i, end - i).find('[') != std::string_view::npos)
                    return Refuse(L"a reference to another workbook (" +
                                  Utf8ToWide(std::string(f_.substr(i, end - i))) + L")");
                i = end;
            } else if (c == '[') {
                return Bracket(i);
            } else if (c == '#') {
                i = CopyError(i);
            } else if (IsDigit(c) || (c == '.' && i + 1 < f_.size() && IsDigit(f_[i + 1]))) {
                if (!Range(&i))
                    i = CopyNumber(i);
            } else if (IsNameChar(c)) {
                if (!Name(&i))
                    return false;
            } else {
                out_->push_back(c);
                ++i;
            }
            if (!why_->empty())
                return false;
        }
        return true;
    }

  private:
    bool Refuse(const std::wstring& what) {
        *why_ = L"it holds " + what;
        return false;
    }
    bool OffSheet(std::string_view ref) {
        *why_ = L"its reference " + Utf8ToWide(std::string(ref)) + L" would move off the sheet";
        return false;
    }

    // Copies a literal quoted with q (the quote doubled inside) and returns its end.
    size_t CopyQuoted(size_t i, char q) {
        size_t j = i + 1;
        while (j < f_.size()) {
            if (f_[j] == q) {
                if (j + 1 < f_.size() && f_[j + 1] == q) {
                    j += 2;
                    continue;
                }
                ++j;
                break;
            }
            ++j;
        }
        out_->append(f_.substr(i, j - i));
        return j;
    }

    // An error literal (#REF!, #N/A, #DIV/0!, #NAME?) copied as it is.
    size_t CopyError(size_t i) {
        size_t j = i + 1;
        while (j < f_.size() && (std::isalnum(static_cast<unsigned char>(f_[j])) || f_[j] == '/' ||
                                 f_[j] == '_' || f_[j] == '!' || f_[j] == '?')) {
            const bool last = f_[j] == '!' || f_[j] == '?';
            ++j;
            if (last)
                break;
        }
        out_->append(f_.substr(i, j - i));
        return j;
    }

    // A number (1, 2.5, .5, 1E+5, 3e-2) copied as it is.
    size_t CopyNumber(size_t i) {
        size_t j = i;
        while (j < f_.size() && (IsDigit(f_[j]) || f_[j] == '.'))
            ++j;
        if (j < f_.size() && (f_[j] == 'e' || f_[j] == 'E')) {
            size_t k = j + 1;
            if (k < f_.size() && (f_[k] == '+' || f_[k] == '-'))
                ++k;
            if (k < f_.size() && IsDigit(f_[k])) {
                while (k < f_.size() && IsDigit(f_[k]))
                    ++k;
                j = k;
            }
        }
        out_->append(f_.substr(i, j - i));
        return j;
    }

    // A bracket outside quotes opens a structured reference (Table1[Col], [@Col]) or
    // names another workbook ([1]Sheet1!A1): neither is moved.
    bool Bracket(size_t i) {
        size_t close = i;
        for (int depth = 0; close < f_.size(); ++close) {
            depth += f_[close] == '[' ? 1 : f_[close] == ']' ? -1 : 0;
            if (depth == 0)
                break;
        }
        bool book = close < f_.size() && close > i + 1 && close + 1 < f_.size() &&
                    IsNameChar(f_[close + 1]);
        for (size_t k = i + 1; book && k < close; ++k)
            book = IsDigit(f_[k]);
        const std::string text(f_.substr(i, close + 1 - i));
        if (book)
            return Refuse(L"a reference to another workbook (" + Utf8ToWide(text) + L")");
        std::string table;
        for (size_t k = i; k > 0 && IsNameChar(f_[k - 1]); --k)
            table.insert(table.begin(), f_[k - 1]);
        return Refuse(L"a structured reference (" + Utf8ToWide(table + text) + L")");
    }

    // Whole columns "A:C", "$A:A" or whole rows "3:5", "$3:$3" at *i: moved and copied.
    bool Range(size_t* i) {
        const size_t firstEnd = NameEnd(f_, *i);
        if (firstEnd >= f_.size() || f_[firstEnd] != ':')
            return false;
        const size_t secondEnd = NameEnd(f_, firstEnd + 1);
        if (secondEnd < f_.size() && (f_[secondEnd] == '(' || f_[secondEnd] == '!'))
            return false;
        RefPart a, b;
        if (!ParseRefPart(f_.substr(*i, firstEnd - *i), &a) ||
            !ParseRefPart(f_.substr(firstEnd + 1, secondEnd - firstEnd - 1), &b))
            return false;
        const bool columns = a.row == 0 && b.row == 0;
        const bool rows = a.column == 0 && b.column == 0;
        if (!columns && !rows)
            return false;
        const std::string_view text = f_.substr(*i, secondEnd - *i);
        if (!Move(&a.column, a.columnFixed, columns_, kMaxColumns) ||
            !Move(&b.column, b.columnFixed, columns_, kMaxColumns) ||
            !Move(&a.row, a.rowFixed, rows_, kMaxRows) ||
            !Move(&b.row, b.rowFixed, rows_, kMaxRows))
            return OffSheet(text);
        *out_ += RefPartText(a) + ":" + RefPartText(b);
        *i = secondEnd;
        return true;
    }

    // A run of name characters at *i: a cell reference (moved), a whole column or row
    // range, or a name, function or sheet name (copied). False when it cannot be moved.
    bool Name(size_t* i) {
        const size_t end = NameEnd(f_, *i);
        const std::string_view token = f_.substr(*i, end - *i);
        const char next = end < f_.size() ? f_[end] : '\0';
        if (next == '(' || next == '!') {
            out_->append(token);
            *i = end;
            return true;
        }
        if (Range(i))
            return true;
        if (!why_->empty())
            return false;
        RefPart cell;
        if (ParseRefPart(token, &cell) && cell.column != 0 && cell.row != 0) {
            if (!Move(&cell.column, cell.columnFixed, columns_, kMaxColumns) ||
                !Move(&cell.row, cell.rowFixed, rows_, kMaxRows))
                return OffSheet(token);
            *out_ += RefPartText(cell);
            *i = end;
            return true;
        }
        if (const size_t length = R1C1Length(f_, *i))
            return Refuse(L"an R1C1 reference (" + Utf8ToWide(std::string(f_.substr(*i, length))) +
                          L")");
        out_->append(token);
        *i = end;
        return true;
    }

    std::string_view f_;
    int64_t rows_;
    int64_t columns_;
    std::string* out_;
    std::wstring* why_;
};

}  // namespace

bool ShiftFormula(std::string_view formula, int64_t rows, int64_t columns, std::string* out,
                  std::wstring* why) {
    why->clear();
    return Shifter(formula, rows, columns, out, why).Run();
}

}  // namespace vorn::provider::stores::workbook
