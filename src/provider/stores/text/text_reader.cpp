// Streaming reader of delimited and fixed-length text records.
#include "stores/text/text_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::text {
namespace {

constexpr size_t kWindowBytes = size_t(1) << 20;

const char* Find(const char* from, const char* to, char c) {
    return from < to
               ? static_cast<const char*>(std::memchr(from, c, static_cast<size_t>(to - from)))
               : nullptr;
}

std::wstring ErrnoMessage(int error) {
    return Utf8ToWide(std::strerror(error));
}

}  // namespace

TextReader::TextReader(int fd, uint64_t limit, char delimiter, std::wstring name,
                       std::vector<int> widths)
    : fd_(fd),
      limit_(limit),
      delimiter_(delimiter),
      name_(std::move(name)),
      widths_(std::move(widths)) {
    // A small file needs no more than its own size (and many tables open small files).
    buffer_.resize(
        static_cast<size_t>(std::min<uint64_t>(kWindowBytes, std::max<uint64_t>(limit, 256))));
}

bool TextReader::Fill(std::wstring* error) {
    if (eof_)
        return false;
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        bufferOffset_ += begin_;
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buffer_.size()) {
        if (buffer_.size() >= kMaxRecordBytes) {
            *error = L"line " + std::to_wstring(line_) + L" of '" + name_ +
                     L"' starts a record longer than " + std::to_wstring(kMaxRecordBytes >> 20) +
                     L" MiB (an unterminated quoted field?)";
            return false;
        }
        buffer_.resize(buffer_.size() * 2);
    }
    while (true) {
        const uint64_t left = limit_ - readOffset_;
        size_t want = buffer_.size() - end_;
        if (left < want)
            want = static_cast<size_t>(left);
        if (want == 0) {
            eof_ = true;
            return false;
        }
        const ssize_t n =
            ::pread(fd_, buffer_.data() + end_, want, static_cast<off_t>(readOffset_));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = L"reading '" + name_ + L"' failed: " + ErrnoMessage(errno);
            return false;
        }
        if (n == 0) {
            eof_ = true;
            return false;
        }
        end_ += static_cast<size_t>(n);
        readOffset_ += static_cast<uint64_t>(n);
        return true;
    }
}

// Looks for the end of the record that starts at from, minding quoted fields. complete is
// false when the window ends first.
bool TextReader::FindRecordSlow(const char* from, const char** recordEnd, const char** next,
                                bool* complete) {
    const char* e = buffer_.data() + end_;
    bool inQuotes = false;
    bool fieldStart = true;
    const char lineChar = term_;
    uint64_t lines = 0;
    for (const char* q = from; q < e; ++q) {
        const char c = *q;
        if (inQuotes) {
            if (c == '"') {
                if (q + 1 < e) {
                    if (q[1] == '"') {
                        ++q;
                        continue;
                    }
                    inQuotes = false;
                } else if (!eof_) {
                    *complete = false;
                    return false;
                } else {
                    inQuotes = false;
                }
            } else if (c == lineChar) {
                ++lines;
            }
            continue;
        }
        if (c == '"' && fieldStart) {
            inQuotes = true;
            fieldStart = false;
            continue;
        }
        if (c == term_) {
            *recordEnd = q;
            *next = q + 1;
            *complete = true;
            line_ += lines;
            return false;
        }
        fieldStart = c == delimiter_;
    }
    *complete = false;
    if (eof_) {
        line_ += lines;
        *recordEnd = e;
        *next = e;
    }
    return inQuotes;
}

bool TextReader::Next(std::wstring* error) {
    error->clear();
    if (!started_) {
        while (end_ < 4 && Fill(error)) {
        }
        if (!error->empty())
            return false;
        if (end_ >= 3 && std::memcmp(buffer_.data(), "\xEF\xBB\xBF", 3) == 0)
            begin_ = 3;
        // The first line end tells CR-only files from the others.
        const char* b = buffer_.data() + begin_;
        const char* e = buffer_.data() + end_;
        for (const char* q = b; q < e; ++q) {
            if (*q == '\n')
                break;
            if (*q == '\r') {
                if (q + 1 < e && q[1] != '\n')
                    term_ = '\r';
                break;
            }
        }
        started_ = true;
    }
    while (true) {
        if (begin_ == end_) {
            if (!Fill(error))
                return false;
            continue;
        }
        const char* p = buffer_.data() + begin_;
        const char* e = buffer_.data() + end_;
        const char* recordEnd = nullptr;
        const char* next = nullptr;
        bool complete = false;
        bool unterminated = false;
        const uint64_t startLine = line_;
        const char* nl = Find(p, e, term_);
        const bool fixed = !widths_.empty();
        bool hasQuote = false;
        if (nl && (fixed || !Find(p, nl, '"'))) {
            recordEnd = nl;
            next = nl + 1;
            complete = true;
        } else if (!nl && (fixed || !Find(p, e, '"'))) {
            complete = false;
            if (eof_) {
                recordEnd = e;
                next = e;
            }
        } else {
            hasQuote = true;
            unterminated = FindRecordSlow(p, &recordEnd, &next, &complete);
        }
        if (!complete && !eof_) {
            line_ = startLine;
            std::wstring fillError;
            if (!Fill(&fillError)) {
                if (!fillError.empty()) {
                    *error = fillError;
                    return false;
                }
            }
            continue;
        }
        if (!complete && unterminated) {
            *error = L"line " + std::to_wstring(startLine) + L" of '" + name_ +
                     L"' opens a quoted field that is never closed";
            return false;
        }
        size_t size = static_cast<size_t>(recordEnd - p);
        if (lineEnd_.empty() && complete)
            lineEnd_ = term_ == '\r' ? "\r" : (size && p[size - 1] == '\r' ? "\r\n" : "\n");
        if (term_ == '\n' && size && p[size - 1] == '\r')
            --size;
        recordLine_ = startLine;
        recordOffset_ = bufferOffset_ + begin_;
        ++line_;
        begin_ = static_cast<size_t>(next - buffer_.data());
        if (size == 0)
            continue;  // a blank line is no record
        recordBegin_ = p;
        recordSize_ = size;
        recordHasQuote_ = hasQuote;
        split_ = false;
        return true;
    }
}

const std::vector<std::string_view>& TextReader::Fields() {
    if (!split_) {
        if (widths_.empty())
            SplitDelimited();
        else
            SplitFixed();
        split_ = true;
    }
    return fields_;
}

void TextReader::SplitDelimited() {
    fields_.clear();
    quoted_.clear();
    scratch_.clear();
    // Unquoted text is never longer than the record: views into scratch_ stay valid.
    scratch_.reserve(recordSize_);
    const char* p = recordBegin_;
    const char* e = recordBegin_ + recordSize_;
    if (!recordHasQuote_) {
        while (true) {
            const char* end = Find(p, e, delimiter_);
            if (!end)
                end = e;
            fields_.emplace_back(p, static_cast<size_t>(end - p));
            if (end >= e)
                break;
            p = end + 1;
        }
        quoted_.assign(fields_.size(), false);
        return;
    }
    while (true) {
        const char* fieldEnd;
        if (p < e && *p == '"') {
            const char* q = p + 1;
            const char* close = nullptr;
            bool doubled = false;
            while (q < e) {
                const char* quote = Find(q, e, '"');
                if (!quote)
                    break;
                if (quote + 1 < e && quote[1] == '"') {
                    doubled = true;
                    q = quote + 2;
                    continue;
                }
                close = quote;
                break;
            }
            if (!close)
                close = e;
            const char* after = close < e ? close + 1 : e;
            fieldEnd = Find(after, e, delimiter_);
            if (!fieldEnd)
                fieldEnd = e;
            if (!doubled && after == fieldEnd) {
                fields_.emplace_back(p + 1, static_cast<size_t>(close - p - 1));
            } else {
                const size_t start = scratch_.size();
                for (const char* c = p + 1; c < close; ++c) {
                    scratch_.push_back(*c);
                    if (*c == '"' && c + 1 < close && c[1] == '"')
                        ++c;
                }
                scratch_.append(after, static_cast<size_t>(fieldEnd - after));
                fields_.emplace_back(scratch_.data() + start, scratch_.size() - start);
            }
            quoted_.push_back(true);
        } else {
            fieldEnd = Find(p, e, delimiter_);
            if (!fieldEnd)
                fieldEnd = e;
            fields_.emplace_back(p, static_cast<size_t>(fieldEnd - p));
            quoted_.push_back(false);
        }
        if (fieldEnd >= e)
            break;
        p = fieldEnd + 1;
    }
}

void TextReader::SplitFixed() {
    fields_.clear();
    quoted_.clear();
    const char* p = recordBegin_;
    const char* e = recordBegin_ + recordSize_;
    for (int width : widths_) {
        const char* start = p;
        // Widths count characters: continuation bytes of UTF-8 do not start one.
        for (int n = 0; n < width && p < e;) {
            ++p;
            while (p < e && (static_cast<unsigned char>(*p) & 0xC0) == 0x80)
                ++p;
            ++n;
        }
        const char* b = start;
        const char* end = p;
        while (b < end && *b == ' ')
            ++b;
        while (end > b && end[-1] == ' ')
            --end;
        fields_.emplace_back(b, static_cast<size_t>(end - b));
        quoted_.push_back(false);
    }
}

}  // namespace vorn::provider::stores::text
