// The input of a fuzz target as a file in memory (memfd), for readers that take a file.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

// A descriptor of a memory file holding the bytes (-1 when none can be made); *written
// receives how many were written.
inline int MemoryFile(const char* name, const uint8_t* data, size_t size, size_t* written) {
    const int fd = ::memfd_create(name, 0);
    size_t done = 0;
    while (fd >= 0 && done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    *written = done;
    return fd;
}
