// Splits SQL text read line by line into statements at ';'. A ';' inside '...' or "..."
// strings, [bracketed] or `quoted` names, or a comment (-- to the end of the line, /* */)
// does not end a statement. Comments are left out of the statements.
#pragma once

#include <deque>
#include <string>

namespace vornsql {

struct Statement {
    std::string text;  // without the ';', blanks at either end removed
    size_t line = 0;   // line of its first character
};

class StatementSplitter {
  public:
    // Adds one line (with or without its line feed); lineNumber counts from 1.
    void AddLine(const std::string& line, size_t lineNumber);
    // The next complete statement, if there is one.
    bool Next(Statement* statement);
    // True when text that is not yet a whole statement is waiting (no ';' yet, or an open
    // string, name or comment).
    bool Pending() const;
    // Drops the text waiting (Ctrl-C at the prompt).
    void Clear() {
        state_ = State::Normal;
        current_.clear();
        started_ = false;
        ready_.clear();
    }
    // Ends the input: the text waiting becomes the last statement, if it is not blank.
    bool Finish(Statement* statement);

  private:
    enum class State { Normal, Single, Double, Bracket, Backtick, LineComment, BlockComment };

    void Complete();

    State state_ = State::Normal;
    std::string current_;
    size_t currentLine_ = 0;
    bool started_ = false;  // current_ holds more than blanks
    std::deque<Statement> ready_;
};

// All statements of a whole text (a script).
std::deque<Statement> SplitStatements(const std::string& text);

}  // namespace vornsql
