// Streaming reader of the records of a delimited (RFC 4180) or fixed-length text file.
//
// Records end with CRLF, LF, or CR alone in files whose first line ends so; the last
// record may lack its line end. A field that starts with a double quote is quoted: it
// runs to the next lone quote, a doubled quote inside stands for one, and delimiters and
// line ends inside belong to the field. A quote inside an unquoted field, and text after
// a quoted field's closing quote, are kept as written (the lenient reading the engine's
// driver also gives). Blank lines are no records. A UTF-8 byte-order mark at the start is
// skipped.
//
// Memory stays bounded whatever the file's size: the reader holds a window of the file
// (1 MiB, growing only for a record longer than that, up to kMaxRecordBytes). Fields are
// split only when asked for, so counting rows looks at each byte once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::provider::stores::text {

// A record longer than this fails with an error naming its line.
constexpr size_t kMaxRecordBytes = size_t(256) << 20;

class TextReader {
  public:
    // Reads the file open as fd (not owned) from byte 0 up to limit bytes. name is the
    // file as messages show it. widths, when not empty, makes it a fixed-length file whose
    // fields have those widths in characters.
    TextReader(int fd, uint64_t limit, char delimiter, std::wstring name,
               std::vector<int> widths = {});

    // Moves to the next record. False at the end, or on failure with *error filled (an
    // unterminated quoted field, a record too long, a read that failed).
    bool Next(std::wstring* error);

    // The fields of the current record (split at the first call for the record). A view
    // stays valid until the next call of Next.
    const std::vector<std::string_view>& Fields();
    // Whether field i of the current record was quoted (an empty quoted field is "").
    bool Quoted(size_t i) const { return i < quoted_.size() && quoted_[i]; }

    // The line of the file on which the current record starts (from 1).
    uint64_t Line() const { return recordLine_; }
    // The byte offset of the current record's start.
    uint64_t Offset() const { return recordOffset_; }
    // Bytes of the current record, line end excluded.
    std::string_view Record() const { return std::string_view(recordBegin_, recordSize_); }
    // The line end the file uses ("\r\n", "\n" or "\r"), known after the first record;
    // empty when no record had one.
    const std::string& LineEnd() const { return lineEnd_; }

  private:
    bool Fill(std::wstring* error);  // more bytes after end_; false at end of input or error
    bool FindRecordSlow(const char* from, const char** recordEnd, const char** next,
                        bool* complete);
    void SplitDelimited();
    void SplitFixed();

    int fd_;
    uint64_t limit_;
    char delimiter_;
    std::wstring name_;
    std::vector<int> widths_;

    std::vector<char> buffer_;
    uint64_t bufferOffset_ = 0;   // file offset of buffer_[0]
    size_t begin_ = 0, end_ = 0;  // unread bytes in buffer_
    uint64_t readOffset_ = 0;     // next file offset to read
    bool eof_ = false;
    bool started_ = false;
    char term_ = '\n';
    std::string lineEnd_;
    uint64_t line_ = 1;  // line of the next record

    const char* recordBegin_ = nullptr;
    size_t recordSize_ = 0;
    uint64_t recordLine_ = 0;
    uint64_t recordOffset_ = 0;
    bool recordHasQuote_ = false;
    bool split_ = false;
    std::vector<std::string_view> fields_;
    std::vector<bool> quoted_;
    std::string scratch_;
};

}  // namespace vorn::provider::stores::text
