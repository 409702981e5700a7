// The prompt's line editing, through libedit: cursor keys, history (kept in a file between
// sessions), Tab completing names, and Ctrl-C clearing the line.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

struct editline;
struct history;

namespace vornsql {

class LineEditor {
  public:
    // Names that start with a prefix (letter case ignored), for Tab.
    using Completer = std::function<std::vector<std::string>(const std::string& prefix)>;

    // Edits lines on the terminal in, echoing to out; the history is read from
    // historyFile (when not empty) and written back there by the destructor.
    LineEditor(FILE* in, FILE* out, const std::string& historyFile, Completer completer);
    ~LineEditor();
    LineEditor(const LineEditor&) = delete;
    LineEditor& operator=(const LineEditor&) = delete;

    enum class Result { Line, Interrupted, End };
    // Shows the prompt and reads one line (without its line feed). Interrupted when
    // Ctrl-C was pressed: what was typed is dropped.
    Result Read(const std::string& prompt, std::string* line);
    // Adds a line to the history (blank lines and repeats of the last line are not kept).
    void Remember(const std::string& line);

  private:
    static char* Prompt(editline* el);
    static unsigned char Complete(editline* el, int key);
    static unsigned char Interrupt(editline* el, int key);

    editline* el_ = nullptr;
    history* history_ = nullptr;
    FILE* out_;
    std::string historyFile_;
    Completer completer_;
    std::string prompt_;
    bool interrupted_ = false;
};

// ~/.vornsql_history, or empty when there is no home folder.
std::string DefaultHistoryFile();

}  // namespace vornsql
