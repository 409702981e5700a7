// JSON output: one array of objects per result, one object per row and line.
//
// Numbers (integers, floating point, currency, decimals) are written unquoted when their
// text is a JSON number, yes/no values as true and false, NULL as null, everything else as
// a string; long binary values as a string of hexadecimal digits.
#include "json_writer.h"

#include <cctype>
#include <cstdio>

namespace vornsql {
namespace {

// True when s is a number as JSON writes them: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
bool IsJsonNumber(const std::string& s) {
    size_t i = 0;
    const size_t n = s.size();
    auto digit = [&](size_t k) { return k < n && std::isdigit(static_cast<unsigned char>(s[k])); };
    if (i < n && s[i] == '-')
        ++i;
    if (!digit(i))
        return false;
    if (s[i] == '0') {
        ++i;
    } else {
        while (digit(i))
            ++i;
    }
    if (i < n && s[i] == '.') {
        ++i;
        if (!digit(i))
            return false;
        while (digit(i))
            ++i;
    }
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (!digit(i))
            return false;
        while (digit(i))
            ++i;
    }
    return i == n;
}

class JsonWriter : public ResultWriter {
  public:
    explicit JsonWriter(Output& out) : out_(out) {}

    void Begin(const std::vector<Column>& columns) override {
        columns_ = columns;
        names_.clear();
        for (const std::string& name : UniqueNames(columns))
            names_.push_back(Quoted(name));
        rows_ = 0;
        out_.Put('[');
    }
    void Row(const std::vector<Cell>& cells) override {
        std::string line = rows_ ? ",\n  {" : "\n  {";
        for (size_t i = 0; i < cells.size(); ++i) {
            if (i)
                line += ", ";
            line += names_[i];
            line += ": ";
            line += Value(columns_[i], cells[i]);
        }
        line += '}';
        out_.Write(line);
        ++rows_;
    }
    void End(unsigned long long) override { out_.Write(rows_ ? "\n]\n" : "]\n"); }

    static std::string Quoted(const std::string& s) {
        std::string q = "\"";
        for (unsigned char c : s) {
            switch (c) {
                case '"':
                    q += "\\\"";
                    break;
                case '\\':
                    q += "\\\\";
                    break;
                case '\n':
                    q += "\\n";
                    break;
                case '\r':
                    q += "\\r";
                    break;
                case '\t':
                    q += "\\t";
                    break;
                case '\b':
                    q += "\\b";
                    break;
                case '\f':
                    q += "\\f";
                    break;
                default:
                    if (c < 0x20 || c == 0x7f) {
                        char u[8];
                        std::snprintf(u, sizeof u, "\\u%04x", c);
                        q += u;
                    } else {
                        q += static_cast<char>(c);  // UTF-8 passes through
                    }
            }
        }
        q += '"';
        return q;
    }

  private:
    static std::string Value(const Column& column, const Cell& cell) {
        if (cell.null || !cell.read)
            return "null";
        if (column.kind == ColumnKind::Number && IsJsonNumber(cell.text))
            return cell.text;
        if (column.kind == ColumnKind::Boolean && (cell.text == "-1" || cell.text == "0"))
            return cell.text == "0" ? "false" : "true";
        return Quoted(cell.text);
    }

    Output& out_;
    std::vector<Column> columns_;
    std::vector<std::string> names_;
    unsigned long long rows_ = 0;
};

}  // namespace

std::unique_ptr<ResultWriter> MakeJsonWriter(Output& out) {
    return std::make_unique<JsonWriter>(out);
}

std::string JsonString(const std::string& text) {
    return JsonWriter::Quoted(text);
}

}  // namespace vornsql
