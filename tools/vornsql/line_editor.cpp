// libedit's line editor and history.
#include "line_editor.h"

#include <histedit.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "terminal_text.h"

namespace vornsql {
namespace {

constexpr int kHistorySize = 1000;

LineEditor* EditorOf(EditLine* el) {
    void* data = nullptr;
    el_get(el, EL_CLIENTDATA, &data);
    return static_cast<LineEditor*>(data);
}

bool IsNameCharacter(unsigned char c) {
    return std::isalnum(c) || c == '_' || c >= 0x80;
}

bool NeedsBrackets(const std::string& name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0])))
        return true;
    return !std::all_of(name.begin(), name.end(),
                        [](char c) { return IsNameCharacter(static_cast<unsigned char>(c)); });
}

bool SameLetters(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

}  // namespace

std::string DefaultHistoryFile() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : nullptr;
    }
    if (!home || !*home)
        return std::string();
    return std::string(home) + "/.vornsql_history";
}

LineEditor::LineEditor(FILE* in, FILE* out, const std::string& historyFile, Completer completer)
    : out_(out), historyFile_(historyFile), completer_(std::move(completer)) {
    el_ = el_init("vornsql", in, out, stderr);
    history_ = ::history_init();
    HistEvent event;
    ::history(history_, &event, H_SETSIZE, kHistorySize);
    ::history(history_, &event, H_SETUNIQUE, 1);
    if (!historyFile_.empty())
        ::history(history_, &event, H_LOAD, historyFile_.c_str());
    el_set(el_, EL_CLIENTDATA, this);
    el_set(el_, EL_EDITOR, "emacs");
    el_set(el_, EL_PROMPT, &LineEditor::Prompt);
    el_set(el_, EL_HIST, ::history, history_);
    // Window size changes and a terminal restored on SIGTERM and the like.
    el_set(el_, EL_SIGNAL, 1);
    // Functions are added with wide names: libedit keeps the copies it makes of narrow
    // ones until the process ends.
    el_wset(el_, EL_ADDFN, L"vornsql-complete", L"complete a table or column name",
            &LineEditor::Complete);
    el_set(el_, EL_BIND, "^I", "vornsql-complete", nullptr);
    // Ctrl-C reaches the editor as a key while a line is edited (the terminal sends no
    // SIGINT then), and clears the line.
    el_wset(el_, EL_ADDFN, L"vornsql-interrupt", L"drop the line", &LineEditor::Interrupt);
    el_set(el_, EL_BIND, "^C", "vornsql-interrupt", nullptr);
    el_set(el_, EL_SETTY, "-d", "-isig", nullptr);
    // The person's own settings in ~/.editrc, as other libedit programs read them.
    el_source(el_, nullptr);
}

LineEditor::~LineEditor() {
    if (!historyFile_.empty()) {
        HistEvent event;
        // Statements typed may hold what others should not read: the file is the user's.
        const mode_t mask = ::umask(077);
        ::history(history_, &event, H_SAVE, historyFile_.c_str());
        ::umask(mask);
    }
    el_end(el_);
    ::history_end(history_);
}

char* LineEditor::Prompt(EditLine* el) {
    return const_cast<char*>(EditorOf(el)->prompt_.c_str());
}

LineEditor::Result LineEditor::Read(const std::string& prompt, std::string* line) {
    prompt_ = prompt;
    interrupted_ = false;
    int count = 0;
    const char* text = el_gets(el_, &count);
    if (interrupted_) {
        // The editor leaves the cursor on the dropped line.
        std::fputs("\n", out_);
        std::fflush(out_);
        return Result::Interrupted;
    }
    if (!text || count <= 0)
        return Result::End;
    line->assign(text, static_cast<size_t>(count));
    while (!line->empty() && (line->back() == '\n' || line->back() == '\r'))
        line->pop_back();
    return Result::Line;
}

void LineEditor::Remember(const std::string& line) {
    if (line.find_first_not_of(" \t") == std::string::npos)
        return;
    HistEvent event;
    ::history(history_, &event, H_ENTER, line.c_str());
}

unsigned char LineEditor::Interrupt(EditLine* el, int) {
    EditorOf(el)->interrupted_ = true;
    return CC_NEWLINE;
}

unsigned char LineEditor::Complete(EditLine* el, int) {
    LineEditor* self = EditorOf(el);
    const LineInfo* info = el_line(el);
    const std::string before(info->buffer, static_cast<size_t>(info->cursor - info->buffer));
    size_t start = before.size();
    while (start > 0 && IsNameCharacter(static_cast<unsigned char>(before[start - 1])))
        --start;
    bool bracketed = false;
    if (start > 0 && before[start - 1] == '[') {
        // Inside [brackets] a name may hold blanks.
        const size_t open = before.rfind('[');
        if (before.find(']', open) == std::string::npos) {
            start = open + 1;
            bracketed = true;
        }
    }
    const std::string prefix = before.substr(start);
    if (prefix.empty() && !bracketed)
        return CC_ERROR;
    std::vector<std::string> names =
        self->completer_ ? self->completer_(prefix) : std::vector<std::string>();
    if (names.empty())
        return CC_ERROR;
    // What all of them share beyond the prefix.
    std::string common = names[0];
    for (const std::string& n : names) {
        size_t k = 0;
        while (k < common.size() && k < n.size() && SameLetters(common[k], n[k]))
            ++k;
        common.resize(k);
    }
    if (names.size() == 1) {
        const std::string& name = names[0];
        el_deletestr(el, static_cast<int>(prefix.size()));
        std::string text = name;
        if (bracketed)
            text += "]";
        else if (NeedsBrackets(name))
            text = "[" + name + "]";
        el_insertstr(el, text.c_str());
        return CC_REFRESH;
    }
    if (common.size() > prefix.size()) {
        el_deletestr(el, static_cast<int>(prefix.size()));
        el_insertstr(el, common.c_str());
        return CC_REFRESH;
    }
    // Nothing more to add: list the names below the line.
    std::string list = "\n";
    size_t width = 0;
    for (const std::string& n : names)
        width = std::max(width, DisplayWidth(n));
    const size_t columns = SizeOfTerminal(fileno(self->out_)).columns;
    const size_t perLine = std::max<size_t>(1, (columns ? columns : 80) / (width + 2));
    for (size_t i = 0; i < names.size(); ++i) {
        list += Printable(names[i]);
        if ((i + 1) % perLine == 0 || i + 1 == names.size())
            list += "\n";
        else
            list.append(width + 2 - DisplayWidth(names[i]), ' ');
    }
    std::fputs(list.c_str(), self->out_);
    std::fflush(self->out_);
    return CC_REDISPLAY;
}

}  // namespace vornsql
