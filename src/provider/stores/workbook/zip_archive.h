// The zip container of an .xlsx workbook through libzip: an archive open for reading, its
// entries found by part name, read whole (small parts) or streamed (sheets).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct zip;
struct zip_file;

namespace vorn::provider::stores::workbook {

// A stream of bytes: an entry of a zip archive, or bytes in memory.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Up to size bytes into buffer: how many (0 at the end), or -1 with *error filled.
    virtual long Read(char* buffer, size_t size, std::wstring* error) = 0;
};

// Bytes in memory (the fuzz target's input, a part made in memory).
class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    long Read(char* buffer, size_t size, std::wstring* error) override;

  private:
    std::string_view bytes_;
};

class ZipArchive {
  public:
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Opens the zip archive of the open file fd (which stays the caller's) for reading;
    // shown names the file in errors. Null with *error filled when it is no zip archive or
    // cannot be read.
    static std::unique_ptr<ZipArchive> Open(int fd, const std::wstring& shown, std::wstring* error);

    // The index of a part ("xl/workbook.xml"; a leading '/' ignored, letter case ignored
    // when no entry has the exact name), or -1.
    int64_t Find(const std::string& part) const;
    // The stored name of an entry.
    std::string Name(int64_t index) const;
    // The uncompressed size of an entry.
    uint64_t Size(int64_t index) const;
    // Reads a whole entry (at most limit bytes, else an error saying the part is too large).
    bool ReadWhole(int64_t index, std::string* out, std::wstring* error,
                   uint64_t limit = uint64_t(512) << 20) const;
    // A stream over the uncompressed bytes of an entry; null with *error filled.
    std::unique_ptr<ByteSource> Stream(int64_t index, std::wstring* error) const;

    const std::wstring& Shown() const { return shown_; }

  private:
    ZipArchive() = default;
    zip* archive_ = nullptr;
    std::wstring shown_;
};

// A part name relative to another part's folder: ("xl/workbook.xml", "worksheets/s1.xml")
// gives "xl/worksheets/s1.xml"; a target starting with '/' is taken from the root; "..",
// "." resolved.
std::string ResolvePartName(const std::string& fromPart, const std::string& target);

}  // namespace vorn::provider::stores::workbook
