// The row store of a result, spilling to an unlinked temporary file past its memory bound.
#include "rowset/row_store.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "provider_errors.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider {
namespace {

constexpr size_t kBlockTarget = 64 * 1024;
constexpr size_t kFirstBlock = 512;
constexpr size_t kCachedBlocks = 4;

std::atomic<size_t> g_memoryLimit{size_t(64) << 20};

std::string TempFolder() {
    const char* dir = getenv("TMPDIR");
    if (dir && *dir)
        return dir;
    return P_tmpdir;
}

}  // namespace

void SetRowStoreMemoryLimit(size_t bytes) {
    g_memoryLimit = bytes;
}
size_t RowStoreMemoryLimit() {
    return g_memoryLimit;
}

RowStore::RowStore(size_t memoryLimit) : memoryLimit_(memoryLimit) {}

RowStore::~RowStore() {
    if (fd_ >= 0)
        close(fd_);
}

bool RowStore::Fail(const std::wstring& what, int error) {
    lastError_ = what + (error ? L" (" + ErrnoText(error) + L")" : std::wstring());
    return false;
}

char* RowStore::Append(size_t size) {
    if (current_.rowCount > 0 && currentUsed_ + size > kBlockTarget && !Seal())
        return nullptr;
    if (current_.rowCount == 0)
        current_.firstRow = rowCount_;
    const size_t needed = currentUsed_ + size;
    if (needed > current_.capacity) {
        // The first block of a result starts small and doubles up to the block size, so
        // that small results take little memory.
        const size_t grown =
            blocks_.empty() ? std::min(kBlockTarget, std::max(kFirstBlock, 2 * current_.capacity))
                            : kBlockTarget;
        const size_t capacity = std::max(needed, grown);
        std::unique_ptr<char[]> data(new (std::nothrow) char[capacity]);
        if (!data) {
            Fail(L"out of memory storing a row of " + std::to_wstring(size) + L" bytes", 0);
            return nullptr;
        }
        if (currentUsed_)
            std::memcpy(data.get(), current_.data.get(), currentUsed_);
        memoryInUse_ += capacity - current_.capacity;
        current_.data = std::move(data);
        current_.capacity = capacity;
    }
    memoryInUse_ += sizeof(uint32_t);
    current_.offsets.push_back(static_cast<uint32_t>(currentUsed_));
    char* out = current_.data.get() + currentUsed_;
    currentUsed_ += size;
    ++current_.rowCount;
    ++rowCount_;
    return out;
}

bool RowStore::Seal() {
    Block b = std::move(current_);
    current_ = Block();
    b.dataSize = currentUsed_;
    currentUsed_ = 0;
    // memoryInUse_ already counts this block: it stays in memory while that is within the
    // bound, else it goes to the file. A block that cannot be written stays in memory, so
    // that every row counted remains readable, and the failure stops the result.
    bool ok = true;
    const size_t held = b.capacity + b.rowCount * sizeof(uint32_t);
    if (memoryInUse_ > memoryLimit_) {
        ok = WriteBlock(b);
        if (ok)
            memoryInUse_ -= held;
    }
    if (!b.onFile)
        b.offsets.shrink_to_fit();
    blocks_.push_back(std::move(b));
    return ok;
}

bool RowStore::OpenFile() {
    const std::string dir = TempFolder();
#ifdef O_TMPFILE
    fd_ = open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
    if (fd_ < 0) {
        std::string pattern = dir + "/vornoledb-rows-XXXXXX";
        fd_ = mkostemp(pattern.data(), O_CLOEXEC);
        if (fd_ >= 0)
            unlink(pattern.c_str());
    }
    if (fd_ < 0)
        return Fail(L"could not create a temporary file in " + Quoted(Utf8ToWide(dir)) +
                        L" to hold the rows of a large result",
                    errno);
    return true;
}

bool RowStore::WriteBlock(Block& b) {
    if (fd_ < 0 && !OpenFile())
        return false;
    struct iovec parts[2];
    parts[0].iov_base = b.data.get();
    parts[0].iov_len = static_cast<size_t>(b.dataSize);
    parts[1].iov_base = b.offsets.data();
    parts[1].iov_len = b.offsets.size() * sizeof(uint32_t);
    const uint64_t start = fileSize_;
    uint64_t at = start;
    int part = 0;
    size_t done = 0;
    while (part < 2) {
        if (done == parts[part].iov_len) {
            ++part;
            done = 0;
            continue;
        }
        const ssize_t n = pwrite(fd_, static_cast<char*>(parts[part].iov_base) + done,
                                 parts[part].iov_len - done, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(L"could not write the rows of a large result to a temporary file in " +
                            Quoted(Utf8ToWide(TempFolder())),
                        n < 0 ? errno : ENOSPC);
        done += static_cast<size_t>(n);
        at += static_cast<uint64_t>(n);
    }
    b.fileOffset = start;
    b.onFile = true;
    fileSize_ = at;
    b.data.reset();
    b.capacity = 0;
    std::vector<uint32_t>().swap(b.offsets);
    return true;
}

size_t RowStore::FindBlock(uint64_t row) const {
    if (lastBlock_ < blocks_.size()) {
        const Block& b = blocks_[lastBlock_];
        if (row >= b.firstRow && row < b.firstRow + b.rowCount)
            return lastBlock_;
    }
    auto it = std::upper_bound(blocks_.begin(), blocks_.end(), row,
                               [](uint64_t r, const Block& b) { return r < b.firstRow; });
    lastBlock_ = static_cast<size_t>(it - blocks_.begin()) - 1;
    return lastBlock_;
}

const RowStore::CachedBlock* RowStore::Load(size_t index) {
    ++useClock_;
    for (CachedBlock& c : cache_)
        if (c.block == index) {
            c.lastUse = useClock_;
            return &c;
        }
    if (cache_.size() < kCachedBlocks)
        cache_.emplace_back();
    CachedBlock* slot = &cache_[0];
    for (CachedBlock& c : cache_)
        if (c.block == SIZE_MAX || c.lastUse < slot->lastUse)
            slot = &c;
    const Block& b = blocks_[index];
    const size_t length = static_cast<size_t>(b.dataSize) + b.rowCount * sizeof(uint32_t);
    slot->block = SIZE_MAX;
    slot->bytes.resize(length);
    size_t done = 0;
    while (done < length) {
        const ssize_t n = pread(fd_, slot->bytes.data() + done, length - done,
                                static_cast<off_t>(b.fileOffset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            Fail(L"could not read the rows of a large result back from its temporary file",
                 n < 0 ? errno : EIO);
            return nullptr;
        }
        done += static_cast<size_t>(n);
    }
    // A large block read once does not keep its memory in the cache.
    if (length > 4 * kBlockTarget)
        slot->bytes.shrink_to_fit();
    slot->block = index;
    slot->lastUse = useClock_;
    return slot;
}

bool RowStore::Row(uint64_t index, const char** data, size_t* size) {
    if (index >= rowCount_)
        return Fail(L"row " + std::to_wstring(index + 1) + L" is not stored", 0);
    if (current_.rowCount > 0 && index >= current_.firstRow) {
        const size_t i = static_cast<size_t>(index - current_.firstRow);
        const uint32_t start = current_.offsets[i];
        const size_t end = i + 1 < current_.offsets.size() ? current_.offsets[i + 1] : currentUsed_;
        *data = current_.data.get() + start;
        *size = end - start;
        return true;
    }
    const size_t bi = FindBlock(index);
    const Block& b = blocks_[bi];
    const size_t i = static_cast<size_t>(index - b.firstRow);
    if (!b.onFile) {
        const uint32_t start = b.offsets[i];
        const size_t end = i + 1 < b.rowCount ? b.offsets[i + 1] : static_cast<size_t>(b.dataSize);
        *data = b.data.get() + start;
        *size = end - start;
        return true;
    }
    const CachedBlock* c = Load(bi);
    if (!c)
        return false;
    uint32_t start;
    std::memcpy(&start, c->bytes.data() + b.dataSize + i * sizeof(uint32_t), sizeof start);
    size_t end = static_cast<size_t>(b.dataSize);
    if (i + 1 < b.rowCount) {
        uint32_t next;
        std::memcpy(&next, c->bytes.data() + b.dataSize + (i + 1) * sizeof(uint32_t), sizeof next);
        end = next;
    }
    *data = c->bytes.data() + start;
    *size = end - start;
    return true;
}

}  // namespace vorn::provider
