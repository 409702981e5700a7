// Statements from the command line, or read from standard input: a script from a pipe or a
// file, or typed at the prompt when standard input is a terminal.
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "commands.h"
#include "messages.h"
#include "statement_splitter.h"

namespace vornsql {
namespace {

const char kPrompt[] = "vornsql> ";
const char kContinuation[] = "   ...> ";

const char kDotHelp[] =
    ".tables               list the tables and views\n"
    ".columns TABLE        list the columns of a table\n"
    ".indexes [TABLE]      list the indexes (of one table)\n"
    ".format FORMAT        write results as table, csv, tsv or json\n"
    ".help                 this text\n"
    ".quit, .exit          leave (so does end of input, Ctrl-D)\n"
    "Anything else is SQL, ended by ';'.\n";

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

enum class DotResult { Ok, Failed, Quit };

// A line starting with '.' at the start of a statement.
DotResult RunDotCommand(Session& session, const std::string& line, const std::string& where) {
    const std::vector<std::string> w = Words(line);
    const std::string& name = w[0];
    auto usage = [&](const std::string& text) {
        ReportError(where + ": " + text);
        return DotResult::Failed;
    };
    if (name == ".quit" || name == ".exit")
        return DotResult::Quit;
    if (name == ".help") {
        session.out->Write(kDotHelp);
        session.out->Flush();
        return DotResult::Ok;
    }
    if (name == ".tables") {
        if (w.size() != 1)
            return usage(".tables takes no arguments");
        return ListTables(session) == 0 ? DotResult::Ok : DotResult::Failed;
    }
    if (name == ".columns") {
        if (w.size() != 2)
            return usage(".columns takes one table name");
        return ListColumns(session, w[1]) == 0 ? DotResult::Ok : DotResult::Failed;
    }
    if (name == ".indexes") {
        if (w.size() > 2)
            return usage(".indexes takes at most one table name");
        return ListIndexes(session, w.size() == 2 ? w[1] : "") == 0 ? DotResult::Ok
                                                                    : DotResult::Failed;
    }
    if (name == ".format") {
        Format f;
        if (w.size() != 2 || !ParseFormat(w[1], &f))
            return usage(".format takes one of table, csv, tsv, json");
        session.format = f;
        return DotResult::Ok;
    }
    return usage("unknown command '" + name + "' (.help lists the commands)");
}

bool IsDotLine(const std::string& line) {
    for (char c : line) {
        if (c == ' ' || c == '\t')
            continue;
        return c == '.';
    }
    return false;
}

}  // namespace

int RunSqlArguments(Session& session) {
    int status = 0;
    const auto& sql = session.options.sql;
    for (size_t i = 0; i < sql.size() && !session.outputBroken; ++i) {
        const std::string where =
            sql.size() == 1 ? "SQL argument" : "SQL argument " + std::to_string(i + 1);
        if (!RunSql(session, sql[i], where)) {
            status = 1;
            if (!session.options.keepGoing)
                break;
        }
    }
    return status;
}

int RunInput(Session& session) {
    const bool interactive = ::isatty(STDIN_FILENO) != 0;
    // Prompts go where the person typing sees them without mixing into saved results.
    FILE* promptTo = session.out->IsTerminal() ? stdout : stderr;
    const bool showPrompt = interactive && ::isatty(fileno(promptTo));
    const std::string inputName = interactive ? "input" : "standard input";
    session.scriptInput = !interactive;
    StatementSplitter splitter;
    int status = 0;
    size_t lineNumber = 0;
    char* buffer = nullptr;
    size_t capacity = 0;
    bool quit = false;

    // Runs one statement; false when the run has to stop.
    auto run = [&](const Statement& s) {
        const std::string where = "line " + std::to_string(s.line) + " of " + inputName;
        if (RunSql(session, s.text, where))
            return !session.outputBroken;
        status = 1;
        return !session.outputBroken && (interactive || session.options.keepGoing);
    };

    while (!quit) {
        if (showPrompt) {
            std::fputs(splitter.Pending() ? kContinuation : kPrompt, promptTo);
            std::fflush(promptTo);
        }
        const ssize_t got = ::getline(&buffer, &capacity, stdin);
        if (got < 0) {
            if (std::ferror(stdin)) {
                ReportError("could not read " + inputName + ": " + std::strerror(errno));
                status = 1;
            }
            break;
        }
        ++lineNumber;
        std::string line(buffer, static_cast<size_t>(got));
        if (!splitter.Pending() && IsDotLine(line)) {
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
                line.pop_back();
            const std::string where = "line " + std::to_string(lineNumber) + " of " + inputName;
            const DotResult r = RunDotCommand(session, line, where);
            if (r == DotResult::Quit)
                break;
            if (r == DotResult::Failed) {
                status = 1;
                if (!interactive && !session.options.keepGoing)
                    quit = true;
            }
            if (session.outputBroken)
                quit = true;
            continue;
        }
        splitter.AddLine(line, lineNumber);
        Statement s;
        while (!quit && splitter.Next(&s))
            quit = !run(s);
    }
    std::free(buffer);
    if (!quit) {
        Statement s;
        if (splitter.Finish(&s))
            run(s);
        if (showPrompt)
            std::fputc('\n', promptTo);
    }
    return status;
}

}  // namespace vornsql
