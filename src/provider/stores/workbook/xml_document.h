// Parts of a workbook read with expat: a handler receives elements by local name (a
// prefix such as "x:" ignored, so SpreadsheetML written with any namespace prefix reads
// alike) and character data.
#pragma once

#include <string>
#include <string_view>

#include "stores/workbook/zip_archive.h"

namespace vorn::provider::stores::workbook {

class XmlHandler {
  public:
    virtual ~XmlHandler() = default;
    virtual void Start(std::string_view local, const char** attributes) = 0;
    virtual void End(std::string_view local) = 0;
    virtual void Text(const char* text, int length) = 0;
};

// Parses the whole stream. False with *error filled (what names the part and the file)
// when the bytes are not well-formed XML or cannot be read.
bool ParseXml(ByteSource& source, XmlHandler& handler, const std::wstring& what,
              std::wstring* error);

// The name after a prefix: "x:row" gives "row".
// One pass over the name: element names are short, and a call per tag to find the end
// and then the colon showed in profiles of large sheets.
inline std::string_view LocalName(const char* name) {
    const char* local = name;
    const char* p = name;
    for (; *p; ++p)
        if (*p == ':')
            local = p + 1;
    return std::string_view(local, static_cast<size_t>(p - local));
}

// The value of an attribute without prefix ("r", "t"), or null.
const char* Attribute(const char** attributes, std::string_view name);
// The value of an attribute with a prefix and this local name ("r:id"), or null.
const char* PrefixedAttribute(const char** attributes, std::string_view local);

// Undoes the _xHHHH_ escapes of SpreadsheetML text ("_x000D_" is a carriage return,
// "_x005F_" a literal underscore) in place.
void UnescapeSpreadsheetText(std::string* text);

}  // namespace vorn::provider::stores::workbook
