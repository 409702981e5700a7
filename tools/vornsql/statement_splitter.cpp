// Splitting SQL text into statements.
#include "statement_splitter.h"

namespace vornsql {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string Trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

}  // namespace

void StatementSplitter::AddLine(const std::string& line, size_t lineNumber) {
    const size_t n = line.size();
    for (size_t i = 0; i < n; ++i) {
        const char c = line[i];
        const char next = i + 1 < n ? line[i + 1] : '\0';
        switch (state_) {
            case State::Normal:
                if (c == ';') {
                    Complete();
                    continue;
                }
                if (c == '-' && next == '-') {
                    state_ = State::LineComment;
                    ++i;
                    continue;
                }
                if (c == '/' && next == '*') {
                    state_ = State::BlockComment;
                    current_ += ' ';  // a comment separates what stands around it
                    ++i;
                    continue;
                }
                if (c == '\'')
                    state_ = State::Single;
                else if (c == '"')
                    state_ = State::Double;
                else if (c == '[')
                    state_ = State::Bracket;
                else if (c == '`')
                    state_ = State::Backtick;
                break;
            case State::Single:
                // A doubled quote inside reads as leaving and entering the string again.
                if (c == '\'')
                    state_ = State::Normal;
                break;
            case State::Double:
                if (c == '"')
                    state_ = State::Normal;
                break;
            case State::Bracket:
                if (c == ']')
                    state_ = State::Normal;
                break;
            case State::Backtick:
                if (c == '`')
                    state_ = State::Normal;
                break;
            case State::LineComment:
                if (c == '\n') {
                    state_ = State::Normal;
                    break;  // the line feed stays
                }
                continue;
            case State::BlockComment:
                if (c == '*' && next == '/') {
                    state_ = State::Normal;
                    ++i;
                }
                continue;
        }
        if (!started_ && !IsBlank(c)) {
            started_ = true;
            currentLine_ = lineNumber;
        }
        current_ += c;
    }
    // A line comment ends with its line, also when the line came without its line feed.
    if (state_ == State::LineComment)
        state_ = State::Normal;
    if (!line.empty() && line.back() != '\n' && state_ != State::BlockComment)
        current_ += '\n';
}

void StatementSplitter::Complete() {
    Statement s;
    s.text = Trimmed(current_);
    s.line = currentLine_;
    current_.clear();
    currentLine_ = 0;
    started_ = false;
    if (!s.text.empty())
        ready_.push_back(std::move(s));
}

bool StatementSplitter::Next(Statement* statement) {
    if (ready_.empty())
        return false;
    *statement = std::move(ready_.front());
    ready_.pop_front();
    return true;
}

bool StatementSplitter::Pending() const {
    return state_ != State::Normal || started_;
}

bool StatementSplitter::Finish(Statement* statement) {
    state_ = State::Normal;
    Complete();
    return Next(statement);
}

std::deque<Statement> SplitStatements(const std::string& text) {
    StatementSplitter splitter;
    size_t line = 1;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        splitter.AddLine(text.substr(start, end - start), line++);
        start = end;
    }
    std::deque<Statement> all;
    Statement s;
    while (splitter.Next(&s))
        all.push_back(s);
    if (splitter.Finish(&s))
        all.push_back(s);
    return all;
}

}  // namespace vornsql
