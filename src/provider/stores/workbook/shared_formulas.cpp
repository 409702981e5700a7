// Shared formulas a write must keep.
#include "stores/workbook/shared_formulas.h"

#include <charconv>

#include "stores/workbook/cell_reference.h"
#include "stores/workbook/formula_shift.h"
#include "stores/workbook/sheet_writer.h"
#include "stores/workbook/xml_document.h"
#include "stores/workbook/xml_tag_scanner.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::workbook {
namespace {

// What the sheet says of one group (one si).
struct Group {
    bool hasMaster = false;
    bool masterOverwritten = false;
    uint32_t masterRow = 0;
    uint32_t masterColumn = 0;
    std::string masterTag;  // the master's <f ...> (or <f .../>) tag, when overwritten
    size_t refAt = 0;       // where the ref value starts in masterTag
    size_t refLength = 0;
    std::string prefix;      // of the element name ("x:" or "")
    std::string masterText;  // its content as the XML has it (entities not undone)
    bool hasRemaining = false;
    uint32_t firstRow = 0;  // the first member the write leaves, in row order
    uint32_t firstColumn = 0;
    CellArea remaining;  // the members the write leaves
};

// The character data of an element's content, entities undone.
class TextOf final : public XmlHandler {
  public:
    void Start(std::string_view, const char**) override {}
    void End(std::string_view) override {}
    void Text(const char* data, int length) override {
        text.append(data, static_cast<size_t>(length));
    }
    std::string text;
};

uint32_t NumberAttribute(const XmlTag& tag, const char* name) {
    std::string_view v;
    uint64_t n = 0;
    if (!tag.Attribute(name, &v))
        return 0;
    const auto rc = std::from_chars(v.data(), v.data() + v.size(), n);
    return rc.ec == std::errc() && n <= kMaxRows ? static_cast<uint32_t>(n) : 0;
}

class Planner {
  public:
    explicit Planner(const SheetEdits& edits) : edits_(edits) {}

    bool Read(ByteSource& source, std::wstring* error) {
        std::string chunk(256 * 1024, '\0');
        while (true) {
            const long n = source.Read(chunk.data(), chunk.size(), error);
            if (n < 0)
                return false;
            if (n == 0)
                return true;
            scanner_.Feed(chunk.data(), static_cast<size_t>(n));
            XmlTag tag;
            bool truncated = false;
            while (scanner_.Next(&tag, &truncated))
                Handle(tag);
            scanner_.Discard(group_ ? textStart_ : scanner_.Position());
        }
    }

    std::map<std::string, Group>& Groups() { return groups_; }

  private:
    void Handle(const XmlTag& tag) {
        if (tag.kind == XmlTag::Other)
            return;
        if (tag.local == "row" && tag.kind != XmlTag::End) {
            const uint32_t r = NumberAttribute(tag, "r");
            row_ = r > 0 ? r : row_ + 1;
            column_ = 0;
            return;
        }
        if (tag.local == "c" && tag.kind != XmlTag::End) {
            std::string_view r;
            size_t used = 0;
            const uint32_t c = tag.Attribute("r", &r) ? ParseColumnLetters(r, &used) : 0;
            column_ = c > 0 ? c : column_ + 1;
            cellOpen_ = tag.kind == XmlTag::Start;
            return;
        }
        if (tag.local == "c") {
            cellOpen_ = false;
            return;
        }
        if (tag.local != "f" || !cellOpen_)
            return;
        if (tag.kind == XmlTag::End) {
            if (group_) {
                const std::string_view text = scanner_.Since(textStart_);
                group_->masterText = std::string(text.substr(0, text.size() - tag.raw.size()));
                group_ = nullptr;
            }
            return;
        }
        std::string_view type, si, ref;
        if (!tag.Attribute("t", &type) || type != "shared" || !tag.Attribute("si", &si))
            return;
        Group& group = groups_[std::string(si)];
        const bool overwritten = edits_.Find(row_, column_) != nullptr;
        if (tag.Attribute("ref", &ref)) {
            group.hasMaster = true;
            group.masterRow = row_;
            group.masterColumn = column_;
            group.masterOverwritten = overwritten;
            if (!overwritten)
                return;
            group.masterTag = std::string(tag.raw);
            group.refAt = static_cast<size_t>(ref.data() - tag.raw.data());
            group.refLength = ref.size();
            group.prefix = std::string(
                tag.raw.substr(1, static_cast<size_t>(tag.local.data() - tag.raw.data()) - 1));
            if (tag.kind == XmlTag::Start) {
                group_ = &group;
                textStart_ = tag.offset + tag.raw.size();
            }
            return;
        }
        if (overwritten)
            return;
        if (!group.hasRemaining || row_ < group.firstRow ||
            (row_ == group.firstRow && column_ < group.firstColumn)) {
            group.hasRemaining = true;
            group.firstRow = row_;
            group.firstColumn = column_;
        }
        group.remaining.Add(row_, column_);
    }

    const SheetEdits& edits_;
    XmlTagScanner scanner_;
    std::map<std::string, Group> groups_;
    Group* group_ = nullptr;  // the overwritten master whose text is being read
    uint64_t textStart_ = 0;
    uint32_t row_ = 0;
    uint32_t column_ = 0;
    bool cellOpen_ = false;
};

std::wstring CellName(uint32_t row, uint32_t column) {
    return Utf8ToWide(ColumnLetters(column) + std::to_string(row));
}

// The new master's <f> element for a group, or false with *error filled.
bool NewMaster(const Group& group, const std::wstring& sheet, std::string* element,
               std::wstring* error) {
    const std::wstring newMaster = CellName(group.firstRow, group.firstColumn);
    const bool one = group.remaining.firstRow == group.remaining.lastRow &&
                     group.remaining.firstColumn == group.remaining.lastColumn;
    const std::wstring cause = L"the cell " + CellName(group.masterRow, group.masterColumn) +
                               L" of sheet '" + sheet + L"' holds the shared formula that " +
                               (one ? L"the cell " : L"cells ") +
                               Utf8ToWide(AreaText(group.remaining)) + (one ? L" uses" : L" use");
    if (group.remaining.firstRow != group.firstRow ||
        group.remaining.firstColumn != group.firstColumn) {
        *error = cause + L", and they cannot share it without it: their first cell " + newMaster +
                 L" is not the top left corner of the area they take";
        return false;
    }
    TextOf decoded;
    const std::string wrapped = "<f>" + group.masterText + "</f>";
    MemorySource xml(wrapped);
    if (!ParseXml(xml, decoded, L"the formula of the cell", error)) {
        *error = cause + L", and its formula text cannot be read";
        return false;
    }
    std::string moved;
    std::wstring why;
    if (!ShiftFormula(
            decoded.text,
            static_cast<int64_t>(group.firstRow) - static_cast<int64_t>(group.masterRow),
            static_cast<int64_t>(group.firstColumn) - static_cast<int64_t>(group.masterColumn),
            &moved, &why)) {
        *error = cause + L", and the formula cannot be moved to " + newMaster + L": " + why;
        return false;
    }
    std::string tag = group.masterTag;
    tag.replace(group.refAt, group.refLength, AreaText(group.remaining));
    if (tag.size() >= 2 && tag[tag.size() - 2] == '/')
        *element = tag;  // a master without text
    else
        *element = tag + EscapeAttribute(moved) + "</" + group.prefix + "f>";
    return true;
}

}  // namespace

const std::string* SharedFormulaPlan::Find(uint32_t row, uint32_t column) const {
    const auto r = rows.find(row);
    if (r == rows.end())
        return nullptr;
    const auto c = r->second.find(column);
    return c == r->second.end() ? nullptr : &c->second;
}

bool PlanSharedFormulas(ByteSource& source, const SheetEdits& edits, const std::wstring& sheet,
                        SharedFormulaPlan* plan, std::wstring* error) {
    Planner planner(edits);
    if (!planner.Read(source, error))
        return false;
    for (const auto& [si, group] : planner.Groups()) {
        if (!group.hasMaster || !group.masterOverwritten || !group.hasRemaining)
            continue;
        std::string element;
        if (!NewMaster(group, sheet, &element, error))
            return false;
        plan->rows[group.firstRow][group.firstColumn] = std::move(element);
    }
    return true;
}

}  // namespace vorn::provider::stores::workbook
