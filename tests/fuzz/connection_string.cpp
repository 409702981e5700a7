// Fuzzes the connection-string parser: any text parses or fails with a position inside it,
// and what parses, written back with the quoting helpers, parses to the same items.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "connection_string.h"
#include "vornoledb/platform/text.h"

using namespace vorn::provider;

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void CheckParse(const std::wstring& text, BareItems bare) {
    const ConnectionStringParse parsed = ParseConnectionString(text, bare);
    if (!parsed.ok) {
        Check(parsed.errorPosition <= text.size());
        Check(!parsed.error.empty());
        return;
    }
    std::wstring written;
    for (const ConnectionStringItem& item : parsed.items) {
        Check(item.position < text.size());
        written += EscapeConnectionKey(item.key);
        if (item.hasValue)
            written += L"=" + QuoteConnectionValue(item.value);
        written += L";";
    }
    const ConnectionStringParse again = ParseConnectionString(written, bare);
    Check(again.ok);
    Check(again.items.size() == parsed.items.size());
    for (size_t i = 0; i < parsed.items.size(); ++i) {
        Check(again.items[i].key == parsed.items[i].key);
        Check(again.items[i].value == parsed.items[i].value);
        Check(again.items[i].hasValue == parsed.items[i].hasValue);
    }
    for (const ConnectionStringItem& item : parsed.items) {
        Check(parsed.Find(item.key) != nullptr);
        LONG mode = 0;
        if (ParseModeValue(item.value, &mode)) {
            LONG back = 0;
            Check(ParseModeValue(FormatModeValue(mode), &back) && back == mode);
        }
        SHORT prompt = 0;
        ParsePromptValue(item.value, &prompt);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = Utf8ToWide(reinterpret_cast<const char*>(data), size);
    CheckParse(text, BareItems::Refuse);
    CheckParse(text, BareItems::Allow);
    return 0;
}
