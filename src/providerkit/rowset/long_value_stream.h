// A long value of a row handed to the consumer as a stream object (ISequentialStream and
// IStream) that reads it in pieces.
#pragma once

#include <string>

#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

// A read-only stream over its own copy of the bytes. Read gives S_OK with fewer bytes than
// asked at the end, and 0 bytes after it; Write and SetSize are refused.
ComPtr<IStream> MakeLongValueStream(std::string bytes);

}  // namespace vorn::provider
