// The text of Access files as UTF-8: the UTF-16LE of Jet 4 and ACE files (with the engine's
// "Unicode compression", which stores runs of Latin-1 characters in one byte each), and the
// single- or double-byte code page of Jet 3 files.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace vorn::provider::stores::access {

// Appends n bytes of UTF-16LE to out as UTF-8. A surrogate pair becomes the one character it
// encodes (characters beyond the Basic Multilingual Plane stay whole); a lone surrogate and
// an odd last byte become U+FFFD.
void Utf16ToUtf8(const unsigned char* data, size_t n, std::string* out);

// Appends a Jet 4 / ACE text value to out: compressed text starts with the bytes FF FE and
// then switches between one byte per character and UTF-16LE at every 00 byte.
void JetUnicodeToUtf8(const unsigned char* data, size_t n, std::string* out);

// A Jet 3 file's code page. Single-byte code pages are turned into a table of 256 UTF-8
// sequences once; double-byte ones (932, 936, 949, 950) are converted with iconv.
class CodePage {
  public:
    // The code page by number (1252, 936 ...) or by a name iconv knows ("GBK"). Null with
    // *error filled when the C library cannot convert from it.
    static std::unique_ptr<CodePage> Open(const std::string& name, std::string* error);
    ~CodePage();
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

    // Appends n bytes of this code page to out as UTF-8; a byte sequence the code page
    // does not define becomes U+FFFD.
    void ToUtf8(const unsigned char* data, size_t n, std::string* out) const;

    const std::string& Name() const { return name_; }

  private:
    CodePage() = default;

    std::string name_;
    bool singleByte_ = true;
    std::string table_[256];
    void* converter_ = nullptr;  // iconv_t of a double-byte code page
};

}  // namespace vorn::provider::stores::access
