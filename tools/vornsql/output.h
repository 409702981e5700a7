// Where results go: standard output, or a file given with -o that appears only when
// everything was written.
#pragma once

#include <cstdio>
#include <string>

namespace vornsql {

class Output {
  public:
    // Writes to standard output.
    Output();
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Writes to a new file in the folder of path, renamed to path by Commit. False (with the
    // reason written to standard error) when the file cannot be made.
    bool OpenFile(const std::string& path);

    void Write(const char* data, size_t size);
    void Write(const std::string& text) { Write(text.data(), text.size()); }
    void Put(char c) { Write(&c, 1); }
    // Pushes what is buffered to the file or terminal; false when any write failed.
    bool Flush();
    bool Failed() const { return error_ != 0; }
    // A message naming the failed write, for standard error.
    std::string FailureText() const;

    // For a file: flushes, syncs and renames it to its name; false on failure (reported).
    // Standard output is only flushed.
    bool Commit();
    // True when the results go to a terminal.
    bool IsTerminal() const;

  private:
    FILE* file_;
    std::string path_;  // the name Commit gives the file; empty for standard output
    std::string temporary_;
    int error_ = 0;
};

}  // namespace vornsql
