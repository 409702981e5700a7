// The rows of a result as the consumer has seen them so far, in their encoded form.
//
// Rows are appended in blocks of about 64 KiB; a block holds its rows one after another
// followed by a table of their offsets, so the memory index costs one entry per block, not
// per row. Blocks stay in memory until the store's memory bound is reached; later blocks
// go to an unlinked temporary file and come back through a small cache of blocks when a
// row of theirs is read. Memory stays flat however many rows a result has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vorn::provider {

// The memory bound of row stores made from now on (64 MiB unless changed); for tests.
void SetRowStoreMemoryLimit(size_t bytes);
size_t RowStoreMemoryLimit();

class RowStore {
  public:
    explicit RowStore(size_t memoryLimit = RowStoreMemoryLimit());
    ~RowStore();
    RowStore(const RowStore&) = delete;
    RowStore& operator=(const RowStore&) = delete;

    // Room for a new row of `size` bytes, to be filled before the next call; null when a
    // full block could not be written to the temporary file (see LastError).
    char* Append(size_t size);

    uint64_t RowCount() const { return rowCount_; }

    // The bytes of row `index` (below RowCount()); valid until the next Append or Row.
    // False when a block could not be read back from the temporary file.
    bool Row(uint64_t index, const char** data, size_t* size);

    // What went wrong when Append or Row failed, in words.
    const std::wstring& LastError() const { return lastError_; }

    // Bytes of row data held in memory, and whether blocks have gone to the file.
    size_t MemoryInUse() const { return memoryInUse_; }
    bool Spilled() const { return fileSize_ > 0; }

  private:
    struct Block {
        uint64_t firstRow = 0;
        uint32_t rowCount = 0;
        uint64_t dataSize = 0;
        // In memory: the rows and their offsets; on file, data is empty and the block is
        // read back through the cache.
        std::unique_ptr<char[]> data;
        size_t capacity = 0;
        std::vector<uint32_t> offsets;
        uint64_t fileOffset = 0;
        bool onFile = false;
    };
    struct CachedBlock {
        size_t block = SIZE_MAX;
        uint64_t lastUse = 0;
        std::vector<char> bytes;  // the rows, then the offsets
    };

    bool Seal();
    bool WriteBlock(Block& b);
    bool OpenFile();
    size_t FindBlock(uint64_t row) const;
    const CachedBlock* Load(size_t block);
    bool Fail(const std::wstring& what, int error);

    size_t memoryLimit_;
    size_t memoryInUse_ = 0;
    uint64_t rowCount_ = 0;
    std::vector<Block> blocks_;  // sealed blocks, in row order
    Block current_;              // the block being filled (always in memory)
    size_t currentUsed_ = 0;
    mutable size_t lastBlock_ = 0;

    int fd_ = -1;
    uint64_t fileSize_ = 0;
    std::vector<CachedBlock> cache_;
    uint64_t useClock_ = 0;
    std::wstring lastError_;
};

}  // namespace vorn::provider
