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
    // The descriptor the results go to.
    int Descriptor() const { return file_ ? fileno(file_) : -1; }

    // Paging of one result: from BeginPaging on, what is written is held until it is
    // taller than `rows` lines; then the pager command (run by /bin/sh) is started and
    // everything goes through it. EndPaging writes what was held, or closes the pager and
    // waits for it.
    void BeginPaging(size_t rows, const std::string& command);
    void EndPaging();
    // True when the pager was quit before the result ended: the rest is dropped unwritten,
    // and the rows need not be read.
    bool Discarding() const { return discarding_; }

  private:
    FILE* file_;
    std::string path_;  // the name Commit gives the file; empty for standard output
    std::string temporary_;
    int error_ = 0;

    // Paging.
    bool StartPager();
    bool paging_ = false;
    size_t pageRows_ = 0;
    size_t heldLines_ = 0;
    std::string held_;
    std::string pagerCommand_;
    FILE* pager_ = nullptr;
    int pagerPid_ = -1;
    bool discarding_ = false;
};

// The pager to use: $PAGER when it is set (empty: none), else less or more when one of
// them is installed; empty for none.
std::string PagerCommand();

}  // namespace vornsql
