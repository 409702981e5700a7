// Stored values handed out by reference: the block the consumer frees holds the whole text
// and the length says how much of it there is, for short and long, ASCII and other text.
#include <gtest/gtest.h>

#include <string>

#include "rowset/row_codec.h"
#include "values/value_conversion.h"
#include "vornoledb/platform/text.h"

namespace {

using vorn::provider::Cell;
using vorn::provider::CellKind;

struct ByReference {
    DBSTATUS status;
    std::wstring text;
    DBLENGTH length;
};

ByReference WideByReference(CellKind kind, const std::string& bytes) {
    Cell cell;
    cell.kind = kind;
    cell.bytes = bytes.data();
    cell.size = bytes.size();
    wchar_t* block = nullptr;
    vorn::provider::ConversionTarget target;
    target.type = DBTYPE_WSTR | DBTYPE_BYREF;
    target.value = &block;
    const vorn::provider::ConversionOutcome r =
        vorn::provider::ConvertCell(cell, {DBTYPE_WSTR, 0, 0}, target);
    ByReference out{r.status, block ? std::wstring(block) : L"(none)", r.length};
    CoTaskMemFree(block);
    return out;
}

TEST(ValueConversion, TextByReferenceIsWholeAndMeasuredInCharacters) {
    std::string longMixed;
    while (longMixed.size() < 10000)
        longMixed += "abc \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 ";
    for (const std::string& text :
         {std::string(), std::string("item name 0000000001"), std::string("Zo\xC3\xAB"),
          std::string("\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"), std::string("cut \xE2\x82"),
          std::string(5000, 'x'), longMixed}) {
        const std::wstring expected = Utf8ToWide(text);
        const ByReference r = WideByReference(CellKind::Text, text);
        EXPECT_EQ(r.status, DBSTATUS_S_OK);
        EXPECT_TRUE(r.text == expected) << text.substr(0, 40);
        EXPECT_EQ(r.length, expected.size() * sizeof(wchar_t)) << text.substr(0, 40);
    }
    // Binary values as text: two hexadecimal digits a byte.
    const ByReference hex = WideByReference(CellKind::Blob, std::string("\x00\xff\x10", 3));
    EXPECT_EQ(hex.text, L"00FF10");
    EXPECT_EQ(hex.length, 6 * sizeof(wchar_t));
}

}  // namespace
