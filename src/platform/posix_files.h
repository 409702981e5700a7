// Small POSIX file helpers the stores and the file stand-ins share: the folder a path is
// in, making a rename or a new name in a folder durable, and reading a whole file.
#pragma once

#include <string>

namespace vorn {

// The folder that holds path: "." for a bare name, "/" for a name at the root.
std::string FolderOf(const std::string& path);

// fsyncs the folder, so that a rename or a new name in it survives a crash. 0, or -1 with
// errno set; file systems that cannot sync a folder (EINVAL) have nothing to flush and count
// as done.
int SyncFolder(const std::string& folder);

// Reads the whole file open as fd from its start (pread, so the file offset stays). False
// with errno set when a read fails.
bool ReadWholeFile(int fd, std::string* out);

}  // namespace vorn
