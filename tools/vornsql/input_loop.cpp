// Statements from the command line, or read from standard input: a script from a pipe or a
// file, or typed at the prompt when standard input is a terminal; and the dot commands.
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <vector>

#include "commands.h"
#include "interrupt_watch.h"
#include "line_editor.h"
#include "messages.h"
#include "statement_splitter.h"

namespace vornsql {
namespace {

const char kPrompt[] = "vornsql> ";
const char kContinuation[] = "   ...> ";
// .read files that read files: deeper than this is taken for a loop.
constexpr int kMaxReadDepth = 16;

const char kDotHelp[] =
    ".tables               list the tables and views\n"
    ".columns TABLE        list the columns of a table\n"
    ".indexes [TABLE]      list the indexes (of one table)\n"
    ".schema [NAME]        the CREATE statements of a table or view (of all of them)\n"
    ".format [FORMAT]      write results as table, line, csv, tsv or json (alone: show it)\n"
    ".timer on|off         show the time each statement takes\n"
    ".read FILE            run the statements and commands of a file\n"
    ".help                 this text\n"
    ".quit, .exit, \\q      leave (so does end of input, Ctrl-D)\n"
    "Anything else is SQL, ended by ';'. Ctrl-C drops the line typed, or stops the\n"
    "statement that runs; Tab completes table and column names.\n";

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

std::string Trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return std::string();
    const size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool IsQuitLine(const std::string& line) {
    const std::string t = Trimmed(line);
    return t == ".quit" || t == ".exit" || t == "\\q";
}

bool IsDotLine(const std::string& line) {
    const std::string t = Trimmed(line);
    return !t.empty() && (t[0] == '.' || t == "\\q");
}

// Where lines come from.
class LineSource {
  public:
    virtual ~LineSource() = default;
    enum class Result { Line, Interrupted, End, Failed };
    // The next line, without its line feed; pending tells that a statement is unfinished.
    virtual Result Next(bool pending, std::string* line) = 0;
    virtual bool Interactive() const { return false; }
    // Names the source in messages: "" for standard input and the prompt ("line 8"),
    // else the file ("line 8 of 'setup.sql'").
    virtual std::string Name() const { return std::string(); }
};

// A file or pipe read line by line.
class StreamLines : public LineSource {
  public:
    StreamLines(FILE* file, std::string name, std::string description)
        : file_(file), name_(std::move(name)), description_(std::move(description)) {}
    ~StreamLines() override { std::free(buffer_); }
    Result Next(bool, std::string* line) override {
        const ssize_t got = ::getline(&buffer_, &capacity_, file_);
        if (got < 0) {
            if (std::ferror(file_)) {
                ReportError("could not read " + description_ + ": " + std::strerror(errno));
                return Result::Failed;
            }
            return Result::End;
        }
        line->assign(buffer_, static_cast<size_t>(got));
        while (!line->empty() && (line->back() == '\n' || line->back() == '\r'))
            line->pop_back();
        return Result::Line;
    }
    std::string Name() const override { return name_; }

  private:
    FILE* file_;
    std::string name_;
    std::string description_;
    char* buffer_ = nullptr;
    size_t capacity_ = 0;
};

// Standard input without a line editor, with prompts (a terminal on standard input whose
// prompts go elsewhere, for instance).
class PromptedLines : public StreamLines {
  public:
    PromptedLines(FILE* promptTo) : StreamLines(stdin, "", "standard input"), to_(promptTo) {}
    Result Next(bool pending, std::string* line) override {
        if (to_) {
            std::fputs(pending ? kContinuation : kPrompt, to_);
            std::fflush(to_);
        }
        return StreamLines::Next(pending, line);
    }
    bool Interactive() const override { return true; }

  private:
    FILE* to_;
};

// The prompt with line editing and history.
class EditedLines : public LineSource {
  public:
    explicit EditedLines(LineEditor& editor) : editor_(editor) {}
    Result Next(bool pending, std::string* line) override {
        switch (editor_.Read(pending ? kContinuation : kPrompt, line)) {
            case LineEditor::Result::Line:
                editor_.Remember(*line);
                return Result::Line;
            case LineEditor::Result::Interrupted:
                return Result::Interrupted;
            case LineEditor::Result::End:
                break;
        }
        return Result::End;
    }
    bool Interactive() const override { return true; }

  private:
    LineEditor& editor_;
};

class InputRunner {
  public:
    InputRunner(Session& session, int depth) : session_(session), depth_(depth) {}

    // Runs what the source holds; the exit status. quit tells that .quit was given.
    int Run(LineSource& source, bool* quit);

  private:
    enum class DotResult { Ok, Failed, Quit };
    DotResult RunDotCommand(const std::string& line, const std::string& where);
    DotResult ReadFile(const std::string& path, const std::string& where);

    Session& session_;
    int depth_;
};

int InputRunner::Run(LineSource& source, bool* quit) {
    const bool interactive = source.Interactive();
    StatementSplitter splitter;
    int status = 0;
    size_t lineNumber = 0;
    bool stop = false;
    auto whereAt = [&](size_t line) {
        std::string where = "line " + std::to_string(line);
        if (!source.Name().empty())
            where += " of '" + source.Name() + "'";
        return where;
    };
    // A failure stops a script (unless --continue), never the prompt.
    auto failed = [&] {
        status = 1;
        if (session_.outputBroken || (!interactive && !session_.options.keepGoing))
            stop = true;
    };
    auto run = [&](const Statement& s) {
        if (!RunSql(session_, s.text, whereAt(s.line)))
            failed();
        if (session_.outputBroken)
            stop = true;
        if (session_.interrupts && session_.interrupts->Pending()) {
            // Ctrl-C stops the rest of what was typed or read, back to the prompt.
            splitter.Clear();
            stop = stop || !interactive;
        }
    };

    while (!stop && !*quit) {
        if (interactive && session_.interrupts)
            session_.interrupts->Clear();
        std::string line;
        const LineSource::Result got = source.Next(splitter.Pending(), &line);
        if (got == LineSource::Result::Interrupted) {
            splitter.Clear();  // Ctrl-C drops the statement typed so far
            continue;
        }
        if (got == LineSource::Result::Failed) {
            status = 1;
            break;
        }
        if (got == LineSource::Result::End)
            break;
        ++lineNumber;
        // At the prompt, .quit and \q leave also in the middle of a statement (a string or
        // name left open included).
        if ((interactive && IsQuitLine(line)) || (!splitter.Pending() && IsDotLine(line))) {
            const DotResult r = RunDotCommand(Trimmed(line), whereAt(lineNumber));
            if (r == DotResult::Quit)
                *quit = true;
            else if (r == DotResult::Failed)
                failed();
            if (session_.outputBroken)
                stop = true;
            continue;
        }
        splitter.AddLine(line + "\n", lineNumber);
        Statement s;
        while (!stop && splitter.Next(&s))
            run(s);
    }
    if (!stop && !*quit) {
        Statement s;
        if (splitter.Finish(&s))
            run(s);
    }
    return status;
}

InputRunner::DotResult InputRunner::RunDotCommand(const std::string& line,
                                                  const std::string& where) {
    const std::vector<std::string> w = Words(line);
    const std::string& name = w[0];
    auto usage = [&](const std::string& text) {
        ReportError(where + ": " + text);
        return DotResult::Failed;
    };
    auto result = [](int status) { return status == 0 ? DotResult::Ok : DotResult::Failed; };
    if (name == ".quit" || name == ".exit" || name == "\\q")
        return DotResult::Quit;
    if (name == ".help") {
        session_.out->Write(kDotHelp);
        session_.out->Flush();
        return DotResult::Ok;
    }
    if (name == ".tables") {
        if (w.size() != 1)
            return usage(".tables takes no arguments");
        return result(ListTables(session_));
    }
    if (name == ".columns") {
        if (w.size() != 2)
            return usage(".columns takes one table name");
        return result(ListColumns(session_, w[1]));
    }
    if (name == ".indexes") {
        if (w.size() > 2)
            return usage(".indexes takes at most one table name");
        return result(ListIndexes(session_, w.size() == 2 ? w[1] : ""));
    }
    if (name == ".schema") {
        // A name may hold blanks: everything after the command, brackets taken off.
        std::string object = Trimmed(line.substr(name.size()));
        if (object.size() >= 2 && object.front() == '[' && object.back() == ']')
            object = object.substr(1, object.size() - 2);
        return result(ShowSchema(session_, object));
    }
    if (name == ".format") {
        if (w.size() == 1) {
            session_.out->Write(std::string(FormatName(session_.format)) + "\n");
            session_.out->Flush();
            return DotResult::Ok;
        }
        Format f;
        if (w.size() != 2 || !ParseFormat(w[1], &f))
            return usage(".format takes one of table, line, csv, tsv, json");
        session_.format = f;
        return DotResult::Ok;
    }
    if (name == ".timer") {
        if (w.size() != 2 || (w[1] != "on" && w[1] != "off"))
            return usage(".timer takes on or off");
        session_.timer = w[1] == "on";
        return DotResult::Ok;
    }
    if (name == ".read") {
        std::string path = Trimmed(line.substr(name.size()));
        if (path.size() >= 2 && (path.front() == '"' || path.front() == '\'') &&
            path.back() == path.front())
            path = path.substr(1, path.size() - 2);
        if (path.empty())
            return usage(".read takes a file name");
        return ReadFile(path, where);
    }
    return usage("unknown command '" + name + "' (.help lists the commands)");
}

InputRunner::DotResult InputRunner::ReadFile(const std::string& path, const std::string& where) {
    if (depth_ >= kMaxReadDepth) {
        ReportError(where + ": .read '" + path + "': files read each other more than " +
                    std::to_string(kMaxReadDepth) + " deep");
        return DotResult::Failed;
    }
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) {
        ReportError(where + ": could not read '" + path + "': " + std::strerror(errno));
        return DotResult::Failed;
    }
    StreamLines lines(file, path, "'" + path + "'");
    InputRunner nested(session_, depth_ + 1);
    bool quit = false;
    const bool wasScript = session_.scriptInput;
    session_.scriptInput = wasScript || !session_.interrupts;
    const int status = nested.Run(lines, &quit);
    session_.scriptInput = wasScript;
    std::fclose(file);
    if (quit)
        return DotResult::Quit;
    return status == 0 ? DotResult::Ok : DotResult::Failed;
}

}  // namespace

int RunSqlArguments(Session& session) {
    int status = 0;
    const auto& sql = session.options.sql;
    for (size_t i = 0; i < sql.size() && !session.outputBroken; ++i) {
        const std::string where =
            sql.size() == 1 ? "SQL argument" : "SQL argument " + std::to_string(i + 1);
        // One argument may hold several statements, separated by ';'.
        std::deque<Statement> statements = SplitStatements(sql[i]);
        if (statements.empty() || sql[i].find('\0') != std::string::npos)
            statements = {Statement{sql[i], 1}};
        for (size_t k = 0; k < statements.size() && !session.outputBroken; ++k) {
            const std::string at =
                statements.size() == 1 ? where : where + ", statement " + std::to_string(k + 1);
            if (!RunSql(session, statements[k].text, at)) {
                status = 1;
                if (!session.options.keepGoing)
                    break;
            }
        }
        if (status != 0 && !session.options.keepGoing)
            break;
    }
    return status;
}

int RunInput(Session& session) {
    const bool interactive = ::isatty(STDIN_FILENO) != 0;
    session.scriptInput = !interactive;
    bool quit = false;
    if (!interactive) {
        StreamLines lines(stdin, "", "standard input");
        return InputRunner(session, 0).Run(lines, &quit);
    }
    // Prompts go where the person typing sees them without mixing into saved results.
    FILE* promptTo = session.out->IsTerminal() ? stdout : stderr;
    InterruptWatch interrupts;
    session.interrupts = &interrupts;
    int status = 0;
    if (::isatty(fileno(promptTo))) {
        LineEditor editor(
            stdin, promptTo, DefaultHistoryFile(),
            [&session](const std::string& prefix) { return CompletionNames(session, prefix); });
        EditedLines lines(editor);
        status = InputRunner(session, 0).Run(lines, &quit);
        if (!quit)
            std::fputc('\n', promptTo);
    } else {
        PromptedLines lines(nullptr);
        status = InputRunner(session, 0).Run(lines, &quit);
    }
    session.interrupts = nullptr;
    return status;
}

}  // namespace vornsql
