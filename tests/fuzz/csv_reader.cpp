// libFuzzer target: the text store's record reader over arbitrary bytes. The first byte
// picks the delimiter and whether the file is fixed-length; the rest is the file. Every
// record is split into fields and every field is checked as the cursor checks it (UTF-8,
// numbers, dates), so a fault anywhere in reading shows as a crash or a sanitizer report.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "memory_file.h"

#include "stores/text/text_charset.h"
#include "stores/text/text_reader.h"
#include "stores/text/text_values.h"

using namespace vorn::provider::stores::text;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    static const char kDelimiters[] = {',', ';', '\t', '|', '"', '\n'};
    const char delimiter = kDelimiters[data[0] % sizeof kDelimiters];
    std::vector<int> widths;
    if (data[0] & 0x80)
        widths = {1 + data[0] % 3, 2, 5};
    ++data;
    --size;
    size_t done = 0;
    const int fd = MemoryFile("fuzz.csv", data, size, &done);
    if (fd < 0)
        return 0;
    TextReader reader(fd, done, delimiter, L"fuzz.csv", widths);
    std::wstring error;
    TextFormat format;
    TypeGuess guess;
    std::string scratch;
    size_t records = 0;
    while (reader.Next(&error) && records < 100000) {
        ++records;
        for (std::string_view field : reader.Fields()) {
            ValidUtf8(field);
            SingleByteToUtf8(Charset::Windows1252, field, &scratch);
            scratch.clear();
            guess.Add(field, format);
            int64_t i = 0;
            double d = 0;
            std::string iso;
            ParseInt32(field, &i);
            ParseNumber(field, ',', &d);
            ParseDate(field, "dd.mm.yyyy hh:nn:ss AM/PM", &iso);
        }
    }
    guess.Result();
    ::close(fd);
    return 0;
}
