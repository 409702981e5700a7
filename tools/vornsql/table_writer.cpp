// The aligned table: a header, a rule, one line a row and the row count. Column widths come
// from the first rows (up to kMeasuredRows, held back until then); later rows keep those
// widths, a longer value widening only its own line, so that large results stream.
#include "table_writer.h"

#include <wchar.h>

#include <vornoledb/platform/text.h>
#include <vornoledb/windows_names.h>

namespace vornsql {
namespace {

constexpr size_t kMeasuredRows = 1000;
// A long text longer than this many characters is shown cut, with its length.
constexpr size_t kLongTextShown = 60;
constexpr size_t kLongTextPrefix = 40;

std::string Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    static const char kDigits[] = "0123456789abcdef";
                    out += "\\x";
                    out += kDigits[c >> 4];
                    out += kDigits[c & 15];
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out;
}

class TableWriter : public ResultWriter {
  public:
    explicit TableWriter(Output& out) : out_(out) {}

    bool WantsWholeValues() const override { return false; }

    void Begin(const std::vector<Column>& columns) override {
        columns_ = columns;
        widths_.assign(columns.size(), 0);
        rightAligned_.assign(columns.size(), false);
        for (size_t i = 0; i < columns.size(); ++i) {
            widths_[i] = DisplayWidth(columns[i].name);
            rightAligned_[i] = columns[i].kind == ColumnKind::Number;
        }
        held_.clear();
        measured_ = false;
    }
    void Row(const std::vector<Cell>& cells) override {
        std::vector<std::string> shown(cells.size());
        for (size_t i = 0; i < cells.size(); ++i)
            shown[i] = DisplayText(columns_[i], cells[i]);
        if (measured_) {
            Line(shown);
            return;
        }
        for (size_t i = 0; i < shown.size(); ++i) {
            const size_t w = DisplayWidth(shown[i]);
            if (w > widths_[i])
                widths_[i] = w;
        }
        held_.push_back(std::move(shown));
        if (held_.size() >= kMeasuredRows)
            Release();
    }
    void End(unsigned long long rows) override {
        if (!measured_)
            Release();
        out_.Write(rows == 1 ? "(1 row)\n" : "(" + std::to_string(rows) + " rows)\n");
    }

  private:
    // Writes the header and the rows held back, and lets later rows through.
    void Release() {
        std::vector<std::string> names;
        for (const Column& c : columns_)
            names.push_back(Escaped(c.name));
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
        for (const auto& row : held_)
            Line(row);
        held_.clear();
        measured_ = true;
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
    std::vector<Column> columns_;
    std::vector<size_t> widths_;
    std::vector<bool> rightAligned_;
    std::vector<std::vector<std::string>> held_;
    bool measured_ = false;
};

}  // namespace

size_t DisplayWidth(const std::string& utf8) {
    size_t ascii = 0;
    bool plain = true;
    for (unsigned char c : utf8) {
        if (c >= 0x80) {
            plain = false;
            break;
        }
        ++ascii;
    }
    if (plain)
        return ascii;
    size_t width = 0;
    for (wchar_t c : Utf8ToWide(utf8)) {
        const int w = ::wcwidth(c);
        width += w < 0 ? 1 : static_cast<size_t>(w);
    }
    return width;
}

std::string DisplayText(const Column& column, const Cell& cell) {
    if (cell.null)
        return "NULL";
    switch (column.kind) {
        case ColumnKind::LongText: {
            if (cell.size <= kLongTextShown)
                return Escaped(cell.text);
            const std::wstring wide = Utf8ToWide(cell.text);
            return Escaped(WideToUtf8(wide.substr(0, kLongTextPrefix))) + "... <memo " +
                   std::to_string(cell.size) + " characters>";
        }
        case ColumnKind::LongBinary:
            return "<blob " + std::to_string(cell.size) + " bytes>";
        case ColumnKind::ShortBinary:
            return "<binary " + std::to_string(cell.size) + " bytes>";
        default:
            return Escaped(cell.text);
    }
}

std::unique_ptr<ResultWriter> MakeTableWriter(Output& out) {
    return std::make_unique<TableWriter>(out);
}

}  // namespace vornsql
