// The aligned table: a header, a rule, one line a row and the row count. Column widths come
// from the first rows (up to kMeasuredRows, held back until then), so that large results
// stream; a later value wider than its column widens the column, and the header is written
// again with the new widths before that row, so that the columns stay aligned.
//
// On a terminal, a result whose rows are wider than the terminal is written one field a
// line instead, from the first row or, when a later row widens the table past the
// terminal, from that row on.
#include "table_writer.h"

#include <algorithm>

#include <vornoledb/platform/text.h>
#include <vornoledb/windows_names.h>

#include "terminal_text.h"

namespace vornsql {
namespace {

constexpr size_t kMeasuredRows = 1000;
// A long text longer than this many characters is shown cut, with its length.
constexpr size_t kLongTextShown = 60;
constexpr size_t kLongTextPrefix = 40;
// The rule before a row in line format is at most this wide.
constexpr size_t kLineRuleWidth = 79;

std::vector<std::string> Shown(const std::vector<Column>& columns, const std::vector<Cell>& cells) {
    std::vector<std::string> shown(cells.size());
    for (size_t i = 0; i < cells.size(); ++i)
        shown[i] = DisplayText(columns[i], cells[i]);
    return shown;
}

std::string RowCount(unsigned long long rows) {
    return rows == 1 ? "(1 row)\n" : "(" + std::to_string(rows) + " rows)\n";
}

// Writes rows one field a line; rows are numbered from the number given.
class LineRows {
  public:
    LineRows(Output& out, const std::vector<Column>& columns) : out_(out) {
        for (const Column& c : columns) {
            names_.push_back(Printable(c.name));
            nameWidth_ = std::max(nameWidth_, DisplayWidth(names_.back()));
        }
    }

    void Row(unsigned long long number, const std::vector<std::string>& values) {
        std::string text = "-[ row " + std::to_string(number) + " ]";
        size_t widest = 0;
        for (const std::string& v : values)
            widest = std::max(widest, DisplayWidth(v));
        const size_t ruleWidth = std::min(kLineRuleWidth, nameWidth_ + 3 + widest);
        if (text.size() < ruleWidth)
            text.append(ruleWidth - text.size(), '-');
        text += '\n';
        for (size_t i = 0; i < values.size(); ++i) {
            text += names_[i];
            text.append(nameWidth_ - DisplayWidth(names_[i]), ' ');
            text += values[i].empty() ? " |" : " | ";
            text += values[i];
            text += '\n';
        }
        out_.Write(text);
    }

  private:
    Output& out_;
    std::vector<std::string> names_;
    size_t nameWidth_ = 0;
};

class LineWriter : public ResultWriter {
  public:
    explicit LineWriter(Output& out) : out_(out) {}

    bool WantsWholeValues() const override { return false; }
    void Begin(const std::vector<Column>& columns) override {
        columns_ = columns;
        rows_ = std::make_unique<LineRows>(out_, columns);
        count_ = 0;
    }
    void Row(const std::vector<Cell>& cells) override {
        rows_->Row(++count_, Shown(columns_, cells));
    }
    void End(unsigned long long rows) override { out_.Write(RowCount(rows)); }

  private:
    Output& out_;
    std::vector<Column> columns_;
    std::unique_ptr<LineRows> rows_;
    unsigned long long count_ = 0;
};

class TableWriter : public ResultWriter {
  public:
    TableWriter(Output& out, size_t terminalColumns)
        : out_(out), terminalColumns_(terminalColumns) {}

    bool WantsWholeValues() const override { return false; }

    void Begin(const std::vector<Column>& columns) override {
        columns_ = columns;
        widths_.assign(columns.size(), 0);
        rightAligned_.assign(columns.size(), false);
        for (size_t i = 0; i < columns.size(); ++i) {
            widths_[i] = DisplayWidth(Printable(columns[i].name));
            rightAligned_[i] = columns[i].kind == ColumnKind::Number;
        }
        held_.clear();
        measured_ = false;
        lines_.reset();
        count_ = 0;
    }
    void Row(const std::vector<Cell>& cells) override {
        std::vector<std::string> shown = Shown(columns_, cells);
        ++count_;
        if (lines_) {
            lines_->Row(count_, shown);
            return;
        }
        if (measured_) {
            if (Widen(shown)) {
                if (!Fits()) {
                    lines_ = std::make_unique<LineRows>(out_, columns_);
                    lines_->Row(count_, shown);
                    return;
                }
                Header();
            }
            Line(shown);
            return;
        }
        Widen(shown);
        held_.push_back(std::move(shown));
        if (held_.size() >= kMeasuredRows)
            Release();
    }
    void End(unsigned long long rows) override {
        if (!measured_)
            Release();
        out_.Write(RowCount(rows));
    }

  private:
    // Widens the columns to the row's values; true when one of them grew.
    bool Widen(const std::vector<std::string>& values) {
        bool grew = false;
        for (size_t i = 0; i < values.size(); ++i) {
            const size_t w = DisplayWidth(values[i]);
            if (w > widths_[i]) {
                widths_[i] = w;
                grew = true;
            }
        }
        return grew;
    }

    // Whether a row of the table fits the terminal (always, when its width is not known).
    bool Fits() const {
        if (terminalColumns_ == 0)
            return true;
        size_t width = 0;
        for (size_t w : widths_)
            width += w + 3;
        return width <= terminalColumns_ + 1;  // the last column has no '|' after it
    }

    // Writes the header and the rows held back, and lets later rows through; or, when the
    // rows are too wide for the terminal, writes them one field a line.
    void Release() {
        measured_ = true;
        if (!Fits()) {
            lines_ = std::make_unique<LineRows>(out_, columns_);
            unsigned long long number = 0;
            for (const auto& row : held_)
                lines_->Row(++number, row);
            held_.clear();
            return;
        }
        Header();
        for (const auto& row : held_)
            Line(row);
        held_.clear();
    }

    void Header() {
        std::vector<std::string> names;
        for (const Column& c : columns_)
            names.push_back(Printable(c.name));
        std::vector<bool> keep = rightAligned_;
        rightAligned_.assign(columns_.size(), false);
        Line(names);
        rightAligned_ = keep;
        std::string rule;
        for (size_t i = 0; i < widths_.size(); ++i) {
            if (i)
                rule += '+';
            rule.append(widths_[i] + 2, '-');
        }
        rule += '\n';
        out_.Write(rule);
    }

    void Line(const std::vector<std::string>& values) {
        std::string line;
        for (size_t i = 0; i < values.size(); ++i) {
            const size_t w = DisplayWidth(values[i]);
            const size_t pad = w < widths_[i] ? widths_[i] - w : 0;
            const bool last = i + 1 == values.size();
            line += i ? "| " : " ";
            if (rightAligned_[i]) {
                line.append(pad, ' ');
                line += values[i];
                line += ' ';
            } else {
                line += values[i];
                if (!last)
                    line.append(pad + 1, ' ');
            }
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        line += '\n';
        out_.Write(line);
    }

    Output& out_;
    size_t terminalColumns_;
    std::vector<Column> columns_;
    std::vector<size_t> widths_;
    std::vector<bool> rightAligned_;
    std::vector<std::vector<std::string>> held_;
    bool measured_ = false;
    std::unique_ptr<LineRows> lines_;  // set once the rows go one field a line
    unsigned long long count_ = 0;
};

}  // namespace

std::string DisplayText(const Column& column, const Cell& cell) {
    if (cell.null)
        return "NULL";
    switch (column.kind) {
        case ColumnKind::LongText: {
            if (cell.size <= kLongTextShown)
                return Printable(cell.text);
            const std::wstring wide = Utf8ToWide(cell.text);
            return Printable(WideToUtf8(wide.substr(0, kLongTextPrefix))) + "... <memo " +
                   std::to_string(cell.size) + " characters>";
        }
        case ColumnKind::LongBinary:
            return "<blob " + std::to_string(cell.size) + " bytes>";
        case ColumnKind::ShortBinary:
            return "<binary " + std::to_string(cell.size) + " bytes>";
        default:
            return Printable(cell.text);
    }
}

std::unique_ptr<ResultWriter> MakeTableWriter(Output& out, size_t terminalColumns) {
    return std::make_unique<TableWriter>(out, terminalColumns);
}

std::unique_ptr<ResultWriter> MakeLineWriter(Output& out) {
    return std::make_unique<LineWriter>(out);
}

}  // namespace vornsql
