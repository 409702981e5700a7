// A fast forward scanner of the tags of an XML document fed in pieces: it finds each tag's
// bytes and name, and skips text, comments, CDATA sections, processing instructions and
// the document type. It checks no more than tag boundaries, so it is used on documents
// expat reads as well: to find the area of a sheet's values without parsing every cell,
// and to copy a sheet's bytes unchanged around the rows a write changes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorn::provider::stores::workbook {

struct XmlTag {
    enum Kind { Start, End, Empty, Other } kind = Other;
    std::string_view local;  // the name after any prefix
    std::string_view raw;    // the whole tag, '<' to '>'
    uint64_t offset = 0;     // where the tag starts in the document
    // The value of an attribute without prefix, quotes removed (entities left as they are).
    bool Attribute(std::string_view name, std::string_view* value) const;
};

class XmlTagScanner {
  public:
    // Appends the next piece of the document.
    void Feed(const char* data, size_t size) { buffer_.append(data, size); }
    // Room for up to size more bytes of the document, to be filled in place; Commit then
    // keeps the first used of them. Both invalidate the views tags hold.
    char* Reserve(size_t size);
    void Commit(size_t used);
    // The next tag. False when the bytes fed so far hold no further complete tag (feed
    // more, or at the end of the document: *truncated tells whether a tag was left open).
    bool Next(XmlTag* tag, bool* truncated);
    // The bytes of the document from offset to the scan position (the text after the last
    // tag returned), which must not have been discarded.
    std::string_view Since(uint64_t offset) const;
    // Lets the scanner forget the bytes before offset (at most up to the scan position).
    void Discard(uint64_t offset);
    // The document offset of the scan position (just past the last tag returned).
    uint64_t Position() const { return base_ + pos_; }
    // The bytes fed and not discarded from the scan position on.
    std::string_view Rest() const { return std::string_view(buffer_).substr(pos_); }

  private:
    std::string buffer_;
    uint64_t base_ = 0;    // document offset of buffer_[0]
    size_t pos_ = 0;       // scan position in buffer_
    size_t reserved_ = 0;  // buffer_'s size before Reserve
};

}  // namespace vorn::provider::stores::workbook
