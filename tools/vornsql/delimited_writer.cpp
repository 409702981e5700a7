// CSV (RFC 4180) and TSV output.
//
// CSV: fields separated by ',', records ended by CRLF; a field holding ',', '"', CR or LF,
// or blanks at either end, is quoted with '"' and its quotes doubled. NULL is an empty
// field; an empty text is written "" so that the two stay apart.
// TSV: fields separated by TAB, records ended by LF; TAB, LF, CR and '\' inside a value
// are written \t, \n, \r and \\; NULL is \N.
#include "delimited_writer.h"

namespace vornsql {
namespace {

bool NeedsQuotes(const std::string& s) {
    if (s.empty())
        return true;  // "" is the empty text; an unquoted empty field is NULL
    if (s.front() == ' ' || s.back() == ' ')
        return true;
    for (char c : s)
        if (c == ',' || c == '"' || c == '\r' || c == '\n')
            return true;
    return false;
}

class CsvWriter : public ResultWriter {
  public:
    CsvWriter(Output& out, bool header) : out_(out), header_(header) {}

    void Begin(const std::vector<Column>& columns) override {
        if (!header_)
            return;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i)
                out_.Put(',');
            Field(columns[i].name);
        }
        out_.Write("\r\n", 2);
    }
    void Row(const std::vector<Cell>& cells) override {
        for (size_t i = 0; i < cells.size(); ++i) {
            if (i)
                out_.Put(',');
            if (!cells[i].null && cells[i].read)
                Field(cells[i].text);
        }
        out_.Write("\r\n", 2);
    }
    void End(unsigned long long) override {}

  private:
    void Field(const std::string& s) {
        if (!NeedsQuotes(s)) {
            out_.Write(s);
            return;
        }
        std::string q = "\"";
        for (char c : s) {
            if (c == '"')
                q += '"';
            q += c;
        }
        q += '"';
        out_.Write(q);
    }

    Output& out_;
    bool header_;
};

class TsvWriter : public ResultWriter {
  public:
    TsvWriter(Output& out, bool header) : out_(out), header_(header) {}

    void Begin(const std::vector<Column>& columns) override {
        if (!header_)
            return;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i)
                out_.Put('\t');
            Field(columns[i].name);
        }
        out_.Put('\n');
    }
    void Row(const std::vector<Cell>& cells) override {
        for (size_t i = 0; i < cells.size(); ++i) {
            if (i)
                out_.Put('\t');
            if (cells[i].null || !cells[i].read)
                out_.Write("\\N", 2);
            else
                Field(cells[i].text);
        }
        out_.Put('\n');
    }
    void End(unsigned long long) override {}

  private:
    void Field(const std::string& s) {
        std::string e;
        e.reserve(s.size());
        for (char c : s) {
            switch (c) {
                case '\t':
                    e += "\\t";
                    break;
                case '\n':
                    e += "\\n";
                    break;
                case '\r':
                    e += "\\r";
                    break;
                case '\\':
                    e += "\\\\";
                    break;
                default:
                    e += c;
            }
        }
        out_.Write(e);
    }

    Output& out_;
    bool header_;
};

}  // namespace

std::unique_ptr<ResultWriter> MakeCsvWriter(Output& out, bool header) {
    return std::make_unique<CsvWriter>(out, header);
}

std::unique_ptr<ResultWriter> MakeTsvWriter(Output& out, bool header) {
    return std::make_unique<TsvWriter>(out, header);
}

}  // namespace vornsql
