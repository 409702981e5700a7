// libFuzzer target: schema.ini text, parsed and every section applied to a format, then
// the format written back as a section and read again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "stores/text/text_format.h"

using namespace vorn::provider::stores::text;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const SchemaIniSection& section : ParseSchemaIni(text)) {
        TextFormat format;
        std::wstring error;
        if (!ApplySection(section, &format, &error))
            continue;
        const std::string again = FormatSection(section.name, format);
        const auto reread = ParseSchemaIni(again);
        TextFormat second;
        if (!reread.empty())
            ApplySection(reread.front(), &second, &error);
    }
    return 0;
}
