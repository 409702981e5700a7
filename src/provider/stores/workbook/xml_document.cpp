// Parts of a workbook read with expat.
#include "stores/workbook/xml_document.h"

#include <expat.h>

#include <cstring>

#include "text_helpers.h"
#include "utf8.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::workbook {
namespace {

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    static_cast<XmlHandler*>(data)->Start(LocalName(name), attributes);
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
    static_cast<XmlHandler*>(data)->End(LocalName(name));
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
    static_cast<XmlHandler*>(data)->Text(text, length);
}

}  // namespace

bool ParseXml(ByteSource& source, XmlHandler& handler, const std::wstring& what,
              std::wstring* error) {
    XML_Parser parser = XML_ParserCreate("UTF-8");
    if (!parser) {
        *error = L"out of memory reading " + what;
        return false;
    }
    XML_SetUserData(parser, &handler);
    XML_SetElementHandler(parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser, OnText);
    bool ok = true;
    while (true) {
        void* buffer = XML_GetBuffer(parser, 65536);
        if (!buffer) {
            *error = L"out of memory reading " + what;
            ok = false;
            break;
        }
        const long n = source.Read(static_cast<char*>(buffer), 65536, error);
        if (n < 0) {
            ok = false;
            break;
        }
        if (XML_ParseBuffer(parser, static_cast<int>(n), n == 0) != XML_STATUS_OK) {
            *error = what + L" is not well-formed XML: " +
                     Utf8ToWide(XML_ErrorString(XML_GetErrorCode(parser))) + L" at line " +
                     std::to_wstring(XML_GetCurrentLineNumber(parser)) + L", column " +
                     std::to_wstring(XML_GetCurrentColumnNumber(parser) + 1);
            ok = false;
            break;
        }
        if (n == 0)
            break;
    }
    XML_ParserFree(parser);
    return ok;
}

const char* Attribute(const char** attributes, std::string_view name) {
    for (const char** a = attributes; *a; a += 2)
        if (name == *a)
            return a[1];
    return nullptr;
}

const char* PrefixedAttribute(const char** attributes, std::string_view local) {
    for (const char** a = attributes; *a; a += 2) {
        const char* colon = std::strrchr(*a, ':');
        if (colon && local == colon + 1 && std::strncmp(*a, "xmlns", 5) != 0)
            return a[1];
    }
    return nullptr;
}

void UnescapeSpreadsheetText(std::string* text) {
    size_t at = text->find("_x");
    if (at == std::string::npos)
        return;
    std::string out;
    out.reserve(text->size());
    size_t copied = 0;
    while (at != std::string::npos) {
        if (at + 7 <= text->size() && (*text)[at + 6] == '_') {
            int value = 0;
            bool hex = true;
            for (size_t k = at + 2; k < at + 6 && hex; ++k) {
                const int h = AsciiHexValue((*text)[k]);
                hex = h >= 0;
                value = value * 16 + h;
            }
            if (hex) {
                out.append(*text, copied, at - copied);
                char utf8[4];
                out.append(utf8, EncodeUtf8Char(static_cast<char32_t>(value), utf8));
                copied = at + 7;
                at = text->find("_x", copied);
                continue;
            }
        }
        at = text->find("_x", at + 1);
    }
    out.append(*text, copied, std::string::npos);
    text->swap(out);
}

}  // namespace vorn::provider::stores::workbook
