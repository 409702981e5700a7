// The .xlsx sheet reader and the tag scanner below it, on sheet XML held in memory: numbers
// read exactly as a full decimal conversion reads them, tags split anywhere between the
// pieces fed, and the area of values found by the scan.
#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "stores/workbook/xlsx_sheet_reader.h"
#include "stores/workbook/xml_tag_scanner.h"

namespace vorn::provider::stores::workbook {
namespace {

std::string Sheet(const std::string& sheetData) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet "
           "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>" +
           sheetData + "</sheetData></worksheet>";
}

// Every row of a sheet, the cells' text kept beyond the reader (which reuses its buffer
// from one row to the next).
struct ReadSheet {
    std::vector<SheetRow> rows;
    std::deque<std::string> texts;
};

ReadSheet ReadAll(const std::string& xml, std::wstring* error) {
    SheetContext context;
    context.what = L"the test sheet";
    auto reader = NewXlsxSheetReader(std::make_unique<MemorySource>(xml), context);
    ReadSheet sheet;
    SheetRow row;
    while (reader->Next(&row, error)) {
        for (Cell& c : row.cells)
            c.text = sheet.texts.emplace_back(c.text);
        sheet.rows.push_back(row);
    }
    return sheet;
}

TEST(XlsxSheetReaderTest, NumbersReadBitForBitAsAFullDecimalConversionReadsThem) {
    std::vector<std::string> values = {"0",
                                       "-0",
                                       "1.",
                                       "0.1",
                                       "-0.30000",
                                       "007.5",
                                       "9007199254740993",
                                       "123456789012345",
                                       "1234567890123456",
                                       "0.000000000000001",
                                       "1e5",
                                       "2.5E-3",
                                       "-1.7976931348623157e308"};
    std::mt19937_64 random(14);
    for (int i = 0; i < 4000; ++i) {
        const int digits = 1 + static_cast<int>(random() % 18);
        std::string v = random() % 3 == 0 ? "-" : "";
        const int point = static_cast<int>(random() % static_cast<uint64_t>(digits + 1));
        for (int d = 0; d < digits; ++d) {
            if (d == point && d > 0)
                v += '.';
            v += static_cast<char>('0' + random() % 10);
        }
        values.push_back(v);
    }
    std::string data;
    for (size_t i = 0; i < values.size(); ++i)
        data += "<row r=\"" + std::to_string(i + 1) + "\"><c r=\"A" + std::to_string(i + 1) +
                "\"><v>" + values[i] + "</v></c></row>";
    std::wstring error;
    const std::vector<SheetRow> rows = ReadAll(Sheet(data), &error).rows;
    ASSERT_EQ(error, L"");
    ASSERT_EQ(rows.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        double expected = 0;
        std::from_chars(values[i].data(), values[i].data() + values[i].size(), expected);
        ASSERT_EQ(rows[i].cells.size(), 1u) << values[i];
        ASSERT_EQ(rows[i].cells[0].kind, CellKind::Number) << values[i];
        EXPECT_EQ(std::memcmp(&rows[i].cells[0].number, &expected, sizeof expected), 0)
            << values[i] << " read as " << rows[i].cells[0].number << ", not " << expected;
    }
}

TEST(XlsxSheetReaderTest, TextThatIsNoNumberStaysText) {
    std::wstring error;
    const ReadSheet sheet =
        ReadAll(Sheet("<row r=\"1\"><c r=\"A1\"><v>1.2.3</v></c><c r=\"B1\"><v>-</v></c>"
                      "<c r=\"C1\"><v>12a</v></c><c r=\"D1\"><v> 42 </v></c></row>"),
                &error);
    ASSERT_EQ(error, L"");
    const std::vector<SheetRow>& rows = sheet.rows;
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].cells.size(), 4u);
    EXPECT_EQ(rows[0].cells[0].kind, CellKind::Text);
    EXPECT_EQ(rows[0].cells[0].text, "1.2.3");
    EXPECT_EQ(rows[0].cells[1].kind, CellKind::Text);
    EXPECT_EQ(rows[0].cells[2].kind, CellKind::Text);
    EXPECT_EQ(rows[0].cells[3].kind, CellKind::Number);
    EXPECT_EQ(rows[0].cells[3].number, 42);
}

struct ScannedTag {
    XmlTag::Kind kind;
    std::string local;
    std::string raw;
    uint64_t offset;
    bool operator==(const ScannedTag& o) const {
        return kind == o.kind && local == o.local && raw == o.raw && offset == o.offset;
    }
};

// Every tag of text, fed to the scanner in pieces of the given size through Reserve/Commit.
std::vector<ScannedTag> ScanInPieces(const std::string& text, size_t piece, bool* truncated) {
    XmlTagScanner scanner;
    std::vector<ScannedTag> tags;
    size_t fed = 0;
    *truncated = false;
    while (true) {
        XmlTag tag;
        while (scanner.Next(&tag, truncated))
            tags.push_back({tag.kind, std::string(tag.local), std::string(tag.raw), tag.offset});
        if (fed == text.size())
            break;
        const size_t n = std::min(piece, text.size() - fed);
        std::memcpy(scanner.Reserve(piece), text.data() + fed, n);
        scanner.Commit(n);
        fed += n;
        scanner.Discard(scanner.Position());
    }
    return tags;
}

TEST(XmlTagScannerTest, TagsAreTheSameWhereverThePiecesSplitThem) {
    const std::string text =
        "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY e \"v\">]><x:root a='1>2' "
        "b=\"it's\"><!-- a > comment --><c r=\"A1\" t=\"s\">text &amp; more</c>"
        "<![CDATA[<not a tag>]]><empty q=\"/>\"/></x:root><!---->";
    bool truncated = false;
    const std::vector<ScannedTag> whole = ScanInPieces(text, text.size(), &truncated);
    EXPECT_FALSE(truncated);
    ASSERT_EQ(whole.size(), 10u);
    EXPECT_EQ(whole[2].kind, XmlTag::Start);
    EXPECT_EQ(whole[2].local, "root");
    EXPECT_EQ(whole[2].raw, "<x:root a='1>2' b=\"it's\">");
    EXPECT_EQ(whole[7].kind, XmlTag::Empty);
    EXPECT_EQ(whole[7].local, "empty");
    EXPECT_EQ(whole[8].kind, XmlTag::End);
    EXPECT_EQ(whole[9].raw, "<!---->");  // a short comment at the very end is complete
    for (size_t piece = 1; piece < 24; ++piece) {
        const std::vector<ScannedTag> split = ScanInPieces(text, piece, &truncated);
        EXPECT_EQ(split, whole) << "pieces of " << piece << " bytes";
        EXPECT_FALSE(truncated) << "pieces of " << piece << " bytes";
    }
    ScanInPieces("<c r=\"A1\" t='s", 4, &truncated);
    EXPECT_TRUE(truncated);
}

TEST(XmlTagScannerTest, ValueAreaCountsOnlyCellsThatHoldAValue) {
    const std::string xml = Sheet(
        "<row r=\"2\"><c r=\"B2\" s=\"1\"/><c r=\"C2\"><v>1</v></c></row>"
        "<row r=\"3\"><c r=\"A3\" s=\"1\"><v></v></c><c r=\"D3\" t=\"inlineStr\"><is><t>x</t>"
        "</is></c></row><row r=\"7\"><c r=\"C7\" t=\"s\" x=\"a>b\"><v>0</v></c></row>"
        "<row r=\"9\"><c r=\"F9\" s=\"2\"/></row>");
    MemorySource source(xml);
    CellArea area;
    std::wstring error;
    ASSERT_TRUE(ScanValueArea(source, L"the test sheet", &area, &error));
    EXPECT_EQ(area.firstRow, 2u);
    EXPECT_EQ(area.lastRow, 7u);
    EXPECT_EQ(area.firstColumn, 3u);
    EXPECT_EQ(area.lastColumn, 4u);
}

}  // namespace
}  // namespace vorn::provider::stores::workbook
