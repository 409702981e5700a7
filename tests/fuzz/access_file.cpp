// libFuzzer target: the Access store over arbitrary bytes. The input is written to a memory
// file and opened as an Access database; every table and view the store lists is opened and
// every field of every row read, so a fault anywhere in libmdb's catalog and page reading or
// in the store's decoding of values shows as a crash, a hang or a sanitizer report.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "memory_file.h"

#include "stores/access/access_store.h"
#include "vornoledb/platform/text.h"

using namespace vorn::provider;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t done = 0;
    const int fd = MemoryFile("fuzz.mdb", data, size, &done);
    if (fd < 0)
        return 0;
    store::StoreOpenRequest request;
    request.database = Utf8ToWide("/proc/self/fd/" + std::to_string(fd));
    request.readOnly = true;
    store::StoreError error;
    std::shared_ptr<store::Store> opened = stores::access::OpenAccessStore(request, &error);
    if (opened) {
        opened->Views(&error);
        for (const std::wstring& name : opened->TableNames(&error)) {
            error = store::StoreError();
            std::shared_ptr<store::StoreTable> table = opened->OpenTable(name, &error);
            if (!table)
                continue;
            table->Indexes();
            std::unique_ptr<store::StoreCursor> rows = table->Open(&error);
            size_t count = 0;
            while (rows && rows->Next(&error) && count++ < 10000) {
                for (size_t c = 0; c < table->Columns().size(); ++c) {
                    store::StoreValue value;
                    rows->Read(static_cast<int>(c), &value, &error);
                }
            }
        }
    }
    ::close(fd);
    return 0;
}
