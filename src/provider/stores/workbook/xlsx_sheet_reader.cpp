// The rows of one .xlsx worksheet, streamed through expat.
#include "stores/workbook/xlsx_sheet_reader.h"

#include <expat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "calendar.h"
#include "stores/workbook/cell_reference.h"
#include "stores/workbook/cell_values.h"
#include "stores/workbook/xml_document.h"
#include "stores/workbook/xml_tag_scanner.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::workbook {
namespace {

constexpr size_t kChunk = 256 * 1024;

bool ParseUnsigned(const char* s, uint64_t* out) {
    const char* end = s + std::strlen(s);
    const auto r = std::from_chars(s, end, *out);
    return r.ec == std::errc() && r.ptr == end;
}

// The common cell value: an optional '-', at most 15 digits and a decimal point, no
// exponent. The digits as an integer and the power of ten are both exact doubles, so one
// division rounds correctly and gives what from_chars gives, several times faster.
bool ParseShortDecimal(std::string_view s, double* out) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    size_t i = 0;
    const bool negative = s[0] == '-';
    if (negative)
        i = 1;
    uint64_t digits = 0;
    int count = 0, fraction = -1;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            if (++count > 15)
                return false;
            digits = digits * 10 + static_cast<uint64_t>(c - '0');
            if (fraction >= 0)
                ++fraction;
        } else if (c == '.' && fraction < 0) {
            fraction = 0;
        } else {
            return false;
        }
    }
    if (count == 0)
        return false;
    const double value = static_cast<double>(digits) / kPowers[fraction > 0 ? fraction : 0];
    *out = negative ? -value : value;
    return true;
}

bool ParseDouble(std::string_view s, double* out) {
    while (!s.empty() &&
           (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
        s.remove_suffix(1);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    if (s.empty())
        return false;
    if (ParseShortDecimal(s, out))
        return true;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), *out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(*out);
}

class SharedStringsHandler final : public XmlHandler {
  public:
    explicit SharedStringsHandler(SharedStrings* out) : out_(out) {}
    void Start(std::string_view local, const char**) override {
        if (local == "si") {
            inItem_ = true;
            item_.clear();
        } else if (local == "rPh") {
            ++phonetic_;
        } else if (local == "t" && inItem_ && phonetic_ == 0) {
            inText_ = true;
        }
    }
    void End(std::string_view local) override {
        if (local == "si" && inItem_) {
            UnescapeSpreadsheetText(&item_);
            out_->starts.push_back(static_cast<uint32_t>(out_->text.size()));
            out_->text += item_;
            inItem_ = false;
        } else if (local == "rPh" && phonetic_ > 0) {
            --phonetic_;
        } else if (local == "t") {
            inText_ = false;
        }
    }
    void Text(const char* text, int length) override {
        if (inText_)
            item_.append(text, static_cast<size_t>(length));
    }

  private:
    SharedStrings* out_;
    std::string item_;
    bool inItem_ = false;
    bool inText_ = false;
    int phonetic_ = 0;
};

// Which element's text is being collected.
enum class Collect : uint8_t { None, Value, InlineText };

class XlsxSheetReader final : public SheetSource {
  public:
    XlsxSheetReader(std::unique_ptr<ByteSource> source, SheetContext context)
        : source_(std::move(source)), context_(std::move(context)) {
        parser_ = XML_ParserCreate("UTF-8");
        if (parser_) {
            XML_SetUserData(parser_, this);
            XML_SetElementHandler(parser_, OnStart, OnEnd);
            XML_SetCharacterDataHandler(parser_, OnText);
        }
    }
    ~XlsxSheetReader() override {
        if (parser_)
            XML_ParserFree(parser_);
    }

    bool Next(SheetRow* row, std::wstring* error) override {
        if (!parser_) {
            *error = L"out of memory reading " + context_.what;
            return false;
        }
        rowReady_ = false;
        while (!rowReady_) {
            if (!error_.empty()) {
                *error = error_;
                return false;
            }
            XML_ParsingStatus status;
            XML_GetParsingStatus(parser_, &status);
            if (status.parsing == XML_FINISHED)
                return false;
            XML_Status rc;
            if (status.parsing == XML_SUSPENDED) {
                rc = XML_ResumeParser(parser_);
            } else {
                void* buffer = XML_GetBuffer(parser_, static_cast<int>(kChunk));
                if (!buffer) {
                    *error = L"out of memory reading " + context_.what;
                    return false;
                }
                const long n = source_->Read(static_cast<char*>(buffer), kChunk, error);
                if (n < 0)
                    return false;
                rc = XML_ParseBuffer(parser_, static_cast<int>(n), n == 0);
            }
            if (rc == XML_STATUS_ERROR) {
                if (error_.empty())
                    error_ = context_.what + L" is not well-formed XML: " +
                             Utf8ToWide(XML_ErrorString(XML_GetErrorCode(parser_))) + L" at line " +
                             std::to_wstring(XML_GetCurrentLineNumber(parser_)) + L", column " +
                             std::to_wstring(XML_GetCurrentColumnNumber(parser_) + 1);
                *error = error_;
                return false;
            }
        }
        row->number = rowNumber_;
        row->cells.swap(cells_);
        return true;
    }

  private:
    static void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
        static_cast<XlsxSheetReader*>(data)->Start(LocalName(name), attributes);
    }
    static void XMLCALL OnEnd(void* data, const XML_Char* name) {
        static_cast<XlsxSheetReader*>(data)->End(LocalName(name));
    }
    static void XMLCALL OnText(void* data, const XML_Char* text, int length) {
        auto* self = static_cast<XlsxSheetReader*>(data);
        if (self->collect_ == Collect::Value)
            self->value_.append(text, static_cast<size_t>(length));
        else if (self->collect_ == Collect::InlineText)
            self->inline_.append(text, static_cast<size_t>(length));
    }

    void Fail(std::wstring message) {
        if (error_.empty())
            error_ = std::move(message);
        XML_StopParser(parser_, XML_FALSE);
    }

    void Start(std::string_view local, const char** attributes) {
        if (!inSheetData_) {
            inSheetData_ = local == "sheetData";
            return;
        }
        if (local == "c") {
            StartCell(attributes);
        } else if (inCell_) {
            if (local == "v") {
                collect_ = Collect::Value;
            } else if (local == "is") {
                inInline_ = true;
            } else if (local == "rPh") {
                ++phonetic_;
            } else if (local == "t" && inInline_ && phonetic_ == 0) {
                collect_ = Collect::InlineText;
            }
        } else if (local == "row") {
            StartRow(attributes);
        }
    }

    void End(std::string_view local) {
        if (!inSheetData_)
            return;
        if (local == "v" || local == "t") {
            collect_ = Collect::None;
        } else if (local == "c") {
            EndCell();
        } else if (local == "is") {
            inInline_ = false;
        } else if (local == "rPh") {
            if (phonetic_ > 0)
                --phonetic_;
        } else if (local == "row") {
            EndRow();
        } else if (local == "sheetData") {
            inSheetData_ = false;
            if (inRow_)
                EndRow();
        }
    }

    void StartRow(const char** attributes) {
        if (inRow_)
            EndRow();
        uint64_t number = lastRow_ + 1;
        if (const char* r = Attribute(attributes, "r")) {
            if (!ParseUnsigned(r, &number) || number == 0 || number > kMaxRows)
                return Fail(context_.what + L" has a row numbered '" + Utf8ToWide(r) +
                            L"', which is no row number");
        }
        if (number <= lastRow_)
            return Fail(context_.what + L" lists row " + std::to_wstring(number) + L" after row " +
                        std::to_wstring(lastRow_) + L": rows out of order cannot be read");
        rowNumber_ = static_cast<uint32_t>(number);
        inRow_ = true;
        cells_.clear();
        spans_.clear();
        text_.clear();
        nextColumn_ = 1;
        sorted_ = true;
    }

    void EndRow() {
        inRow_ = false;
        lastRow_ = rowNumber_;
        if (cells_.empty())
            return;
        // Spans stay inside the row's text even when a malformed sheet broke the row up.
        for (size_t i = 0; i < cells_.size() && i < spans_.size(); ++i)
            if (spans_[i].first != UINT32_MAX && spans_[i].first <= text_.size() &&
                spans_[i].second <= text_.size() - spans_[i].first)
                cells_[i].text = std::string_view(text_).substr(spans_[i].first, spans_[i].second);
        if (!sorted_) {
            // Cells out of column order: in order, the last of a repeated column kept.
            std::stable_sort(cells_.begin(), cells_.end(),
                             [](const Cell& a, const Cell& b) { return a.column < b.column; });
            size_t out = 0;
            for (size_t i = 0; i < cells_.size(); ++i) {
                if (out > 0 && cells_[out - 1].column == cells_[i].column)
                    --out;
                cells_[out++] = cells_[i];
            }
            cells_.resize(out);
        }
        rowReady_ = true;
        XML_StopParser(parser_, XML_TRUE);
    }

    void StartCell(const char** attributes) {
        if (!inRow_) {
            // A cell outside any row element: its own row by its reference.
            const char* r = Attribute(attributes, "r");
            uint32_t row = 0, column = 0;
            if (!r || !ParseCellReference(r, &row, &column))
                return Fail(context_.what + L" has a cell outside of any row");
            const char* none[] = {nullptr};
            const std::string number = std::to_string(row);
            const char* rowAttributes[] = {"r", number.c_str(), nullptr};
            StartRow(row > lastRow_ ? rowAttributes : none);
            if (!inRow_)
                return;
            implicitRow_ = true;
        }
        inCell_ = true;
        value_.clear();
        inline_.clear();
        collect_ = Collect::None;
        inInline_ = false;
        phonetic_ = 0;
        column_ = nextColumn_;
        type_ = 'n';
        style_ = 0;
        for (const char** a = attributes; *a; a += 2) {
            const char* name = a[0];
            if (name[0] == 0 || name[1] != 0)
                continue;
            if (name[0] == 'r') {
                size_t used = 0;
                const uint32_t column = ParseColumnLetters(a[1], &used);
                if (column == 0)
                    return Fail(context_.what + L" has a cell at '" + Utf8ToWide(a[1]) +
                                L"', which is no cell reference");
                column_ = column;
            } else if (name[0] == 't') {
                const char* t = a[1];
                if (std::strcmp(t, "s") == 0)
                    type_ = 's';
                else if (std::strcmp(t, "str") == 0)
                    type_ = 'f';
                else if (std::strcmp(t, "inlineStr") == 0)
                    type_ = 'i';
                else if (std::strcmp(t, "b") == 0)
                    type_ = 'b';
                else if (std::strcmp(t, "e") == 0)
                    type_ = 'e';
                else if (std::strcmp(t, "d") == 0)
                    type_ = 'd';
            } else if (name[0] == 's') {
                uint64_t s = 0;
                if (ParseUnsigned(a[1], &s) && s < UINT32_MAX)
                    style_ = static_cast<uint32_t>(s);
            }
        }
    }

    void PushText(std::string_view text, bool escaped) {
        if (text.empty())
            return;
        Cell cell;
        cell.column = column_;
        cell.kind = CellKind::Text;
        const size_t start = text_.size();
        text_.append(text.data(), text.size());
        if (escaped && text.find("_x") != std::string_view::npos) {
            std::string part = text_.substr(start);
            UnescapeSpreadsheetText(&part);
            text_.resize(start);
            text_ += part;
        }
        cells_.push_back(cell);
        spans_.emplace_back(static_cast<uint32_t>(start),
                            static_cast<uint32_t>(text_.size() - start));
    }

    void PushValue(CellKind kind, double number) {
        Cell cell;
        cell.column = column_;
        cell.kind = kind;
        cell.number = number;
        cells_.push_back(cell);
        spans_.emplace_back(UINT32_MAX, 0);
    }

    void EndCell() {
        inCell_ = false;
        collect_ = Collect::None;
        if (!cells_.empty() && column_ <= cells_.back().column)
            sorted_ = false;
        nextColumn_ = column_ + 1;
        switch (type_) {
            case 's': {
                uint64_t index = 0;
                std::string_view v = value_;
                while (!v.empty() && (v.back() == ' ' || v.back() == '\n' || v.back() == '\r'))
                    v.remove_suffix(1);
                if (v.empty())
                    break;
                const auto r = std::from_chars(v.data(), v.data() + v.size(), index);
                if (r.ec != std::errc() || r.ptr != v.data() + v.size() || !context_.strings ||
                    index >= context_.strings->Count())
                    return Fail(context_.what + L", cell " +
                                Utf8ToWide(ColumnLetters(column_) + std::to_string(rowNumber_)) +
                                L": the shared string '" + Utf8ToWide(value_) +
                                L"' is not in the workbook's shared strings");
                const std::string_view text = context_.strings->At(static_cast<size_t>(index));
                if (!text.empty()) {
                    Cell cell;
                    cell.column = column_;
                    cell.kind = CellKind::Text;
                    cell.text = text;
                    cells_.push_back(cell);
                    spans_.emplace_back(UINT32_MAX, 0);
                }
                break;
            }
            case 'f':
                PushText(value_, true);
                break;
            case 'i':
                PushText(inline_, true);
                break;
            case 'b':
                if (!value_.empty())
                    PushValue(CellKind::Bool,
                              value_ == "1" || value_ == "true" || value_ == "TRUE" ? 1 : 0);
                break;
            case 'e':
                if (!value_.empty())
                    PushValue(CellKind::Error, 0);
                break;
            case 'd': {
                DateParts parts;
                double automation = 0;
                if (ParseIsoDateText(value_.data(), value_.size(), &parts) &&
                    DatePartsToAutomation(parts, &automation))
                    PushValue(CellKind::Date, automation);
                else
                    PushText(value_, false);
                break;
            }
            default: {
                if (value_.empty())
                    break;
                double number = 0;
                if (!ParseDouble(value_, &number)) {
                    PushText(value_, false);
                    break;
                }
                const std::vector<bool>* dates = context_.dateStyles;
                if (dates && style_ < dates->size() && (*dates)[style_])
                    PushValue(CellKind::Date, SerialToAutomation(number, context_.date1904));
                else
                    PushValue(CellKind::Number, number);
                break;
            }
        }
        if (implicitRow_) {
            implicitRow_ = false;
            EndRow();
        }
    }

    std::unique_ptr<ByteSource> source_;
    SheetContext context_;
    XML_Parser parser_ = nullptr;
    std::wstring error_;

    bool inSheetData_ = false;
    bool inRow_ = false;
    bool inCell_ = false;
    bool inInline_ = false;
    bool implicitRow_ = false;
    bool rowReady_ = false;
    bool sorted_ = true;
    int phonetic_ = 0;
    Collect collect_ = Collect::None;
    char type_ = 'n';
    uint32_t style_ = 0;
    uint32_t column_ = 0;
    uint32_t nextColumn_ = 1;
    uint32_t rowNumber_ = 0;
    uint32_t lastRow_ = 0;
    std::string value_;
    std::string inline_;
    std::string text_;
    std::vector<Cell> cells_;
    std::vector<std::pair<uint32_t, uint32_t>> spans_;
};

}  // namespace

bool ReadSharedStrings(ByteSource& source, const std::wstring& what, SharedStrings* out,
                       std::wstring* error) {
    out->text.clear();
    out->starts.clear();
    SharedStringsHandler handler(out);
    if (!ParseXml(source, handler, what, error))
        return false;
    if (out->text.size() > UINT32_MAX) {
        *error = what + L" holds more than 4 GiB of text";
        return false;
    }
    out->starts.push_back(static_cast<uint32_t>(out->text.size()));
    return true;
}

std::unique_ptr<SheetSource> NewXlsxSheetReader(std::unique_ptr<ByteSource> source,
                                                SheetContext context) {
    return std::make_unique<XlsxSheetReader>(std::move(source), std::move(context));
}

bool ScanValueArea(ByteSource& source, const std::wstring& what, CellArea* area,
                   std::wstring* error) {
    *area = CellArea();
    XmlTagScanner scanner;
    bool inSheetData = false, inCell = false, hasValue = false, done = false;
    uint64_t row = 0, lastRow = 0;
    uint32_t column = 0;
    uint64_t valueStart = 0;
    while (!done) {
        // Inflated straight into the scanner's buffer.
        const long n = source.Read(scanner.Reserve(kChunk), kChunk, error);
        scanner.Commit(n > 0 ? static_cast<size_t>(n) : 0);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        XmlTag tag;
        bool truncated = false;
        while (!done && scanner.Next(&tag, &truncated)) {
            if (tag.kind == XmlTag::Other)
                continue;
            const std::string_view local = tag.local;
            if (!inSheetData) {
                inSheetData = tag.kind == XmlTag::Start && local == "sheetData";
                continue;
            }
            if (local == "c") {
                if (tag.kind == XmlTag::End) {
                    if (inCell && hasValue && row > 0)
                        area->Add(static_cast<uint32_t>(row), column);
                    inCell = false;
                    continue;
                }
                std::string_view r;
                uint32_t cellRow = 0;
                if (tag.Attribute("r", &r)) {
                    size_t used = 0;
                    column = ParseColumnLetters(r, &used);
                    if (column == 0)
                        column = 1;
                    uint64_t number = 0;
                    const auto rc = std::from_chars(r.data() + used, r.data() + r.size(), number);
                    if (rc.ec == std::errc() && number > 0 && number <= kMaxRows)
                        cellRow = static_cast<uint32_t>(number);
                } else {
                    ++column;
                }
                if (row == 0 && cellRow > 0) {
                    row = cellRow;  // a cell outside of any row element
                    lastRow = row;
                }
                inCell = tag.kind == XmlTag::Start;
                hasValue = false;
            } else if (local == "row") {
                if (tag.kind == XmlTag::End)
                    continue;
                std::string_view r;
                uint64_t number = 0;
                if (tag.Attribute("r", &r)) {
                    const auto rc = std::from_chars(r.data(), r.data() + r.size(), number);
                    if (rc.ec != std::errc() || number == 0 || number > kMaxRows)
                        number = lastRow + 1;
                } else {
                    number = lastRow + 1;
                }
                row = lastRow = number;
                column = 0;
            } else if (inCell && local == "v") {
                if (tag.kind == XmlTag::Start)
                    valueStart = tag.offset + tag.raw.size();
                else if (tag.kind == XmlTag::End && tag.offset > valueStart)
                    hasValue = true;
            } else if (inCell && local == "is" && tag.kind != XmlTag::End) {
                hasValue = true;
            } else if (local == "sheetData" && tag.kind == XmlTag::End) {
                done = true;
            }
        }
        scanner.Discard(scanner.Position());
        (void)what;
    }
    return true;
}

}  // namespace vorn::provider::stores::workbook
