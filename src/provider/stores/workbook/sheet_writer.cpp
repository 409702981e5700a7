// Writes a sheet's XML with a transaction's edits.
#include "stores/workbook/sheet_writer.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "stores/workbook/cell_reference.h"
#include "stores/workbook/cell_values.h"
#include "stores/workbook/xml_tag_scanner.h"

namespace vorn::provider::stores::workbook {
namespace {

bool Put(std::FILE* out, std::string_view bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

// The prefix of a tag's name: "x:" of "<x:row ...>", "" of "<row>".
std::string PrefixOf(const XmlTag& tag) {
    const size_t start = tag.kind == XmlTag::End ? 2 : 1;
    const size_t colon = tag.raw.find(':', start);
    const size_t local = static_cast<size_t>(tag.local.data() - tag.raw.data());
    if (colon == std::string_view::npos || colon + 1 != local)
        return "";
    return std::string(tag.raw.substr(start, colon + 1 - start));
}

// The start tag without one attribute (spans="...", which lists the columns a row's cells
// take and would go stale), and with r="row" added where it was missing.
std::string RowStartTag(const XmlTag& tag, uint32_t row) {
    std::string raw(tag.raw);
    std::string_view spans;
    if (tag.Attribute("spans", &spans)) {
        const size_t at = raw.find("spans=");
        if (at != std::string::npos) {
            size_t end = at + 6 + 1 + spans.size() + 1;
            size_t begin = at;
            while (begin > 0 && (raw[begin - 1] == ' ' || raw[begin - 1] == '\t'))
                --begin;
            raw.erase(begin, end - begin);
        }
    }
    std::string_view r;
    if (!tag.Attribute("r", &r)) {
        const size_t name =
            static_cast<size_t>(tag.local.data() - tag.raw.data()) + tag.local.size();
        raw.insert(name, " r=\"" + std::to_string(row) + "\"");
    }
    if (tag.kind == XmlTag::Empty) {
        // <row r="5"/> becomes a start tag: cells go inside.
        const size_t slash = raw.rfind('/');
        raw.erase(slash, 1);
    }
    return raw;
}

// A cell of an old row: its bytes and column.
struct OldCell {
    uint32_t column;
    std::string raw;    // with r added when it had none
    std::string style;  // its s attribute, "" for none
    bool formula = false;
    size_t formulaAt = 0;  // where its <f> element starts in raw and ends (0: none)
    size_t formulaEnd = 0;
};

// The edits' final dimension: the old one widened to every written cell.
std::string NewDimension(std::string_view old, const SheetEdits& edits) {
    CellArea area;
    CellArea parsed;
    if (ParseArea(old, &parsed)) {
        area.Add(parsed.firstRow, parsed.firstColumn);
        area.Add(parsed.lastRow, parsed.lastColumn);
    }
    for (const auto& [row, cells] : edits.rows)
        for (const CellValue& c : cells)
            if (c.kind != CellKind::Empty)
                area.Add(row, c.column);
    if (area.Empty())
        return std::string(old.empty() ? "A1" : old);
    return AreaText(area);
}

class Splicer {
  public:
    Splicer(const SheetEdits& edits, const SharedFormulaPlan* formulas,
            const SheetWriteStyle& style, std::FILE* out)
        : edits_(edits), formulas_(formulas), style_(style), out_(out), next_(edits.rows.begin()) {}

    bool Run(ByteSource& source, const std::wstring& what, std::wstring* error) {
        std::string chunk(256 * 1024, '\0');
        bool sawSheetData = false;
        while (true) {
            const long n = source.Read(chunk.data(), chunk.size(), error);
            if (n < 0)
                return false;
            if (n == 0)
                break;
            scanner_.Feed(chunk.data(), static_cast<size_t>(n));
            XmlTag tag;
            bool truncated = false;
            while (scanner_.Next(&tag, &truncated)) {
                if (!Handle(tag, &sawSheetData))
                    return Fail(what, error);
            }
            if (!inRow_)
                scanner_.Discard(emitted_);
        }
        if (inRow_ || !sawSheetData) {
            *error = what + L" cannot be written: its XML " +
                     (sawSheetData ? L"ends inside a row" : L"has no sheetData element");
            return false;
        }
        if (!Put(out_, scanner_.Since(emitted_)) || !Put(out_, scanner_.Rest()))
            return Fail(what, error);
        return true;
    }

    // Whether a written cell took the place of one that held a formula.
    bool ReplacedFormula() const { return replacedFormula_; }

  private:
    bool Fail(const std::wstring& what, std::wstring* error) {
        if (error->empty())
            *error = what + L" cannot be written: writing the new sheet failed";
        return false;
    }

    // Copies the old bytes up to the start of tag.
    bool CopyUpTo(const XmlTag& tag) {
        const std::string_view pending = scanner_.Since(emitted_);
        if (!Put(out_, pending.substr(0, static_cast<size_t>(tag.offset - emitted_))))
            return false;
        emitted_ = tag.offset;
        return true;
    }
    // Marks the tag as replaced (its bytes not copied).
    void Skip(const XmlTag& tag) { emitted_ = tag.offset + tag.raw.size(); }

    bool Handle(const XmlTag& tag, bool* sawSheetData) {
        if (tag.kind == XmlTag::Other)
            return true;
        if (!inSheetData_) {
            if (tag.local == "dimension" && tag.kind != XmlTag::End) {
                std::string_view ref;
                tag.Attribute("ref", &ref);
                if (!CopyUpTo(tag))
                    return false;
                Skip(tag);
                const std::string prefix = PrefixOf(tag);
                return Put(out_,
                           "<" + prefix + "dimension ref=\"" + NewDimension(ref, edits_) + "\"/>");
            }
            if (tag.local == "sheetData" && tag.kind != XmlTag::End) {
                *sawSheetData = true;
                prefix_ = PrefixOf(tag);
                if (tag.kind == XmlTag::Empty) {
                    if (!CopyUpTo(tag))
                        return false;
                    Skip(tag);
                    return Put(out_, "<" + prefix_ + "sheetData>") && RowsBefore(UINT32_MAX) &&
                           Put(out_, "</" + prefix_ + "sheetData>");
                }
                inSheetData_ = true;
            }
            return true;
        }
        if (inRow_)
            return InRow(tag);
        if (tag.local == "row" && tag.kind != XmlTag::End) {
            std::string_view r;
            uint32_t number = lastRow_ + 1;
            if (tag.Attribute("r", &r)) {
                uint64_t v = 0;
                const auto rc = std::from_chars(r.data(), r.data() + r.size(), v);
                if (rc.ec == std::errc() && v > 0 && v <= kMaxRows)
                    number = static_cast<uint32_t>(v);
            }
            lastRow_ = number;
            if (!CopyUpTo(tag) || !RowsBefore(number))
                return false;
            const bool edited = next_ != edits_.rows.end() && next_->first == number;
            if (!edited && !(formulas_ && formulas_->rows.count(number)))
                return true;  // a row the edits leave alone: copied as it is
            rowEdited_ = edited;
            // A row to rewrite: its cells are collected up to its end tag.
            rowStart_ = RowStartTag(tag, number);
            rowPrefix_ = PrefixOf(tag);
            rowNumber_ = number;
            oldCells_.clear();
            column_ = 0;
            Skip(tag);
            if (tag.kind == XmlTag::Empty)
                return FinishRow();
            inRow_ = true;
            return true;
        }
        if (tag.local == "sheetData" && tag.kind == XmlTag::End) {
            inSheetData_ = false;
            return CopyUpTo(tag) && RowsBefore(UINT32_MAX);
        }
        return true;
    }

    bool InRow(const XmlTag& tag) {
        if (tag.local == "row" && tag.kind == XmlTag::End) {
            Skip(tag);
            inRow_ = false;
            return FinishRow();
        }
        if (tag.local == "f" && cellOpen_) {
            OldCell& cell = oldCells_.back();
            if (tag.kind != XmlTag::End) {
                cell.formula = true;
                cell.formulaAt = static_cast<size_t>(tag.offset - cellStart_);
            }
            if (tag.kind != XmlTag::Start)
                cell.formulaEnd = static_cast<size_t>(tag.offset + tag.raw.size() - cellStart_);
            return true;
        }
        if (tag.local != "c")
            return true;
        if (tag.kind == XmlTag::End) {
            if (!oldCells_.empty() && cellOpen_) {
                OldCell& cell = oldCells_.back();
                cell.raw = std::string(scanner_.Since(cellStart_));
                const std::string* element =
                    formulas_ ? formulas_->Find(rowNumber_, cell.column) : nullptr;
                if (element && cell.formulaEnd > cell.formulaAt)
                    cell.raw.replace(cell.formulaAt, cell.formulaEnd - cell.formulaAt, *element);
                AddReference(&cell);
                cellOpen_ = false;
            }
            return true;
        }
        OldCell cell;
        std::string_view r;
        if (tag.Attribute("r", &r)) {
            size_t used = 0;
            const uint32_t c = ParseColumnLetters(r, &used);
            cell.column = c > 0 ? c : column_ + 1;
        } else {
            cell.column = column_ + 1;
        }
        column_ = cell.column;
        std::string_view s;
        if (tag.Attribute("s", &s))
            cell.style = std::string(s);
        if (tag.kind == XmlTag::Empty) {
            cell.raw = std::string(tag.raw);
            oldCells_.push_back(std::move(cell));
            AddReference(&oldCells_.back());
        } else {
            cellStart_ = tag.offset;
            cellOpen_ = true;
            oldCells_.push_back(std::move(cell));
        }
        return true;
    }

    // Gives a cell without r its reference, since the cells around it may change.
    void AddReference(OldCell* cell) {
        const size_t name = cell->raw.find_first_of(" \t\r\n/>", 1);
        XmlTag t;
        t.raw = cell->raw;
        t.kind = XmlTag::Start;
        std::string_view r;
        if (t.Attribute("r", &r))
            return;
        cell->raw.insert(name,
                         " r=\"" + ColumnLetters(cell->column) + std::to_string(rowNumber_) + "\"");
    }

    bool FinishRow() {
        static const std::vector<CellValue> none;
        const std::vector<CellValue>& written = rowEdited_ ? next_->second : none;
        std::string row = rowStart_;
        size_t o = 0, w = 0;
        while (o < oldCells_.size() || w < written.size()) {
            const bool takeOld = w >= written.size() ||
                                 (o < oldCells_.size() && oldCells_[o].column < written[w].column);
            if (takeOld) {
                row += oldCells_[o++].raw;
                continue;
            }
            const CellValue& v = written[w++];
            std::string style;
            if (o < oldCells_.size() && oldCells_[o].column == v.column) {
                replacedFormula_ = replacedFormula_ || oldCells_[o].formula;
                style = oldCells_[o++].style;
            }
            const std::string ref = ColumnLetters(v.column) + std::to_string(rowNumber_);
            row += CellXml(v, ref, rowPrefix_, style, style_);
        }
        row += "</" + rowPrefix_ + "row>";
        if (rowEdited_)
            ++next_;
        return Put(out_, row);
    }

    // Writes the edited rows numbered below limit that the old sheet does not have.
    bool RowsBefore(uint32_t limit) {
        while (next_ != edits_.rows.end() && next_->first < limit) {
            const uint32_t number = next_->first;
            std::string row = "<" + prefix_ + "row r=\"" + std::to_string(number) + "\">";
            bool any = false;
            for (const CellValue& v : next_->second) {
                if (v.kind == CellKind::Empty)
                    continue;
                row += CellXml(v, ColumnLetters(v.column) + std::to_string(number), prefix_, "",
                               style_);
                any = true;
            }
            row += "</" + prefix_ + "row>";
            ++next_;
            if (any && !Put(out_, row))
                return false;
        }
        return true;
    }

    const SheetEdits& edits_;
    const SharedFormulaPlan* formulas_;
    const SheetWriteStyle& style_;
    std::FILE* out_;
    std::map<uint32_t, std::vector<CellValue>>::const_iterator next_;
    XmlTagScanner scanner_;
    uint64_t emitted_ = 0;
    bool inSheetData_ = false;
    bool inRow_ = false;
    bool rowEdited_ = false;
    bool cellOpen_ = false;
    bool replacedFormula_ = false;
    uint64_t cellStart_ = 0;
    uint32_t lastRow_ = 0;
    uint32_t rowNumber_ = 0;
    uint32_t column_ = 0;
    std::string prefix_;
    std::string rowPrefix_;
    std::string rowStart_;
    std::vector<OldCell> oldCells_;
};

// Appends the entity of '&', '<' or '>'; false for any other character.
bool AppendMarkupEntity(char c, std::string* out) {
    switch (c) {
        case '&':
            *out += "&amp;";
            return true;
        case '<':
            *out += "&lt;";
            return true;
        case '>':
            *out += "&gt;";
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string EscapeCellText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (AppendMarkupEntity(static_cast<char>(c), &out))
            continue;
        switch (c) {
            case '_':
                // A literal "_xHHHH_" would read back as an escape: its underscore is one.
                if (i + 6 < text.size() && text[i + 1] == 'x' && text[i + 6] == '_' &&
                    std::all_of(text.begin() + static_cast<long>(i) + 2,
                                text.begin() + static_cast<long>(i) + 6, [](char h) {
                                    return std::isxdigit(static_cast<unsigned char>(h));
                                }))
                    out += "_x005F_";
                else
                    out += '_';
                break;
            default:
                if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "_x%04X_", c);
                    out += escape;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out;
}

std::string EscapeAttribute(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (AppendMarkupEntity(c, &out))
            continue;
        switch (c) {
            case '"':
                out += "&quot;";
                break;
            case '\n':
                out += "&#10;";
                break;
            case '\r':
                out += "&#13;";
                break;
            case '\t':
                out += "&#9;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string CellXml(const CellValue& value, const std::string& ref, const std::string& prefix,
                    const std::string& keptStyle, const SheetWriteStyle& style) {
    std::string head = "<" + prefix + "c r=\"" + ref + "\"";
    std::string styleAttribute = keptStyle.empty() ? "" : " s=\"" + keptStyle + "\"";
    switch (value.kind) {
        case CellKind::Empty:
        case CellKind::Error:
            // A cleared cell keeps its style (its formatting), and nothing else.
            return keptStyle.empty() ? std::string() : head + styleAttribute + "/>";
        case CellKind::Number:
            return head + styleAttribute + "><" + prefix + "v>" + NumberText(value.number) + "</" +
                   prefix + "v></" + prefix + "c>";
        case CellKind::Date: {
            if (style.dateStyle >= 0)
                styleAttribute = " s=\"" + std::to_string(style.dateStyle) + "\"";
            return head + styleAttribute + "><" + prefix + "v>" +
                   NumberText(AutomationToSerial(value.number, style.date1904)) + "</" + prefix +
                   "v></" + prefix + "c>";
        }
        case CellKind::Bool:
            return head + styleAttribute + " t=\"b\"><" + prefix + "v>" +
                   (value.number != 0 ? "1" : "0") + "</" + prefix + "v></" + prefix + "c>";
        case CellKind::Text:
            return head + styleAttribute + " t=\"inlineStr\"><" + prefix + "is><" + prefix +
                   "t xml:space=\"preserve\">" + EscapeCellText(value.text) + "</" + prefix +
                   "t></" + prefix + "is></" + prefix + "c>";
    }
    return std::string();
}

bool WriteEditedSheet(ByteSource& source, const SheetEdits& edits,
                      const SharedFormulaPlan* formulas, const SheetWriteStyle& style,
                      const std::wstring& what, std::FILE* out, bool* replacedFormula,
                      std::wstring* error) {
    Splicer splicer(edits, formulas, style, out);
    const bool ok = splicer.Run(source, what, error);
    *replacedFormula = splicer.ReplacedFormula();
    return ok;
}

}  // namespace vorn::provider::stores::workbook
