// One version of an .xlsx workbook.
#include "stores/workbook/xlsx_book.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include "stores/workbook/cell_reference.h"
#include "stores/workbook/cell_values.h"
#include "stores/workbook/xml_document.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::workbook {
namespace {

bool EndsWith(const std::string& s, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// The relationships part of a part: "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels".
std::string RelationshipsPart(const std::string& part) {
    const size_t slash = part.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : part.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
    return folder + "_rels/" + file + ".rels";
}

struct Relationship {
    std::string type;
    std::string target;  // resolved part name
    bool external = false;
};

class RelationshipsHandler final : public XmlHandler {
  public:
    explicit RelationshipsHandler(std::string from) : from_(std::move(from)) {}
    void Start(std::string_view local, const char** attributes) override {
        if (local != "Relationship")
            return;
        const char* id = Attribute(attributes, "Id");
        const char* type = Attribute(attributes, "Type");
        const char* target = Attribute(attributes, "Target");
        const char* mode = Attribute(attributes, "TargetMode");
        if (!id || !type || !target)
            return;
        Relationship r;
        r.type = type;
        r.external = mode && std::strcmp(mode, "External") == 0;
        r.target = r.external ? target : ResolvePartName(from_, target);
        relations[id] = r;
    }
    void End(std::string_view) override {}
    void Text(const char*, int) override {}

    std::map<std::string, Relationship> relations;

  private:
    std::string from_;
};

class WorkbookHandler final : public XmlHandler {
  public:
    struct Sheet {
        std::string name, relation, state;
    };
    struct Name {
        std::string name, text;
        int localSheet = -1;
        bool hidden = false;
    };
    void Start(std::string_view local, const char** attributes) override {
        if (local == "sheet") {
            Sheet s;
            const char* name = Attribute(attributes, "name");
            const char* relation = PrefixedAttribute(attributes, "id");
            const char* state = Attribute(attributes, "state");
            if (!name || !relation)
                return;
            s.name = name;
            s.relation = relation;
            s.state = state ? state : "visible";
            sheets.push_back(s);
        } else if (local == "workbookPr") {
            const char* d = Attribute(attributes, "date1904");
            if (d)
                date1904 = std::strcmp(d, "1") == 0 || std::strcmp(d, "true") == 0;
        } else if (local == "definedName") {
            const char* name = Attribute(attributes, "name");
            if (!name)
                return;
            inName_ = true;
            Name n;
            n.name = name;
            if (const char* l = Attribute(attributes, "localSheetId"))
                n.localSheet = std::atoi(l);
            const char* hidden = Attribute(attributes, "hidden");
            n.hidden =
                hidden && (std::strcmp(hidden, "1") == 0 || std::strcmp(hidden, "true") == 0);
            names.push_back(n);
        }
    }
    void End(std::string_view local) override {
        if (local == "definedName")
            inName_ = false;
    }
    void Text(const char* text, int length) override {
        if (inName_)
            names.back().text.append(text, static_cast<size_t>(length));
    }

    std::vector<Sheet> sheets;
    std::vector<Name> names;
    bool date1904 = false;

  private:
    bool inName_ = false;
};

class StylesHandler final : public XmlHandler {
  public:
    void Start(std::string_view local, const char** attributes) override {
        if (local == "numFmt") {
            const char* id = Attribute(attributes, "numFmtId");
            const char* code = Attribute(attributes, "formatCode");
            if (id && code)
                codes_[std::atoi(id)] = code;
        } else if (local == "cellXfs") {
            inCellXfs_ = true;
        } else if (local == "xf" && inCellXfs_) {
            const char* id = Attribute(attributes, "numFmtId");
            formats_.push_back(id ? std::atoi(id) : 0);
        }
    }
    void End(std::string_view local) override {
        if (local == "cellXfs")
            inCellXfs_ = false;
    }
    void Text(const char*, int) override {}

    std::vector<bool> DateStyles() const {
        std::vector<bool> dates;
        for (int id : formats_) {
            auto it = codes_.find(id);
            dates.push_back(IsDateFormat(id, it == codes_.end() ? std::string() : it->second));
        }
        return dates;
    }

  private:
    std::map<int, std::string> codes_;
    std::vector<int> formats_;
    bool inCellXfs_ = false;
};

bool ParsePart(const ZipArchive& archive, const std::string& part, XmlHandler& handler,
               const std::wstring& what, bool* present, std::wstring* error) {
    const int64_t index = archive.Find(part);
    *present = index >= 0;
    if (index < 0)
        return true;
    std::unique_ptr<ByteSource> stream = archive.Stream(index, error);
    return stream && ParseXml(*stream, handler, what, error);
}

}  // namespace

bool IdentityOf(int fd, FileIdentity* identity) {
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    identity->device = st.st_dev;
    identity->inode = st.st_ino;
    identity->size = st.st_size;
    identity->modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

std::shared_ptr<XlsxBook> XlsxBook::Open(int fd, const std::wstring& shown, std::wstring* error) {
    std::shared_ptr<XlsxBook> book(new XlsxBook);
    book->shown_ = shown;
    if (!IdentityOf(fd, &book->identity_)) {
        *error = L"could not read '" + shown + L"': " + Utf8ToWide(std::strerror(errno));
        return nullptr;
    }
    book->archive_ = ZipArchive::Open(fd, shown, error);
    if (!book->archive_ || !book->Load(error))
        return nullptr;
    return book;
}

std::wstring XlsxBook::What(const std::string& part) const {
    return L"the part '" + Utf8ToWide(part) + L"' of '" + shown_ + L"'";
}

bool XlsxBook::Load(std::wstring* error) {
    // The package's relationships name the workbook part.
    RelationshipsHandler root("");
    bool present = false;
    if (!ParsePart(*archive_, "_rels/.rels", root, What("_rels/.rels"), &present, error))
        return false;
    for (const auto& [id, r] : root.relations)
        if (EndsWith(r.type, "/officeDocument") && !r.external)
            workbookPart_ = r.target;
    if (workbookPart_.empty() || archive_->Find(workbookPart_) < 0)
        workbookPart_ = "xl/workbook.xml";
    if (archive_->Find(workbookPart_) < 0) {
        const bool ods = archive_->Find("content.xml") >= 0;
        *error = L"'" + shown_ + L"' is a zip archive but no Excel workbook (it has no " +
                 L"xl/workbook.xml part" +
                 (ods ? L"; it looks like an OpenDocument spreadsheet, which is not read)" : L")");
        return false;
    }
    if (archive_->Find("xl/workbook.bin") >= 0 && workbookPart_ == "xl/workbook.bin") {
        *error = L"'" + shown_ + L"' is a binary workbook (.xlsb), which is not read";
        return false;
    }
    RelationshipsHandler relations(workbookPart_);
    const std::string relationsPart = RelationshipsPart(workbookPart_);
    if (!ParsePart(*archive_, relationsPart, relations, What(relationsPart), &present, error))
        return false;
    WorkbookHandler workbook;
    if (!ParsePart(*archive_, workbookPart_, workbook, What(workbookPart_), &present, error))
        return false;
    date1904_ = workbook.date1904;
    std::vector<int> sheetOfListed;  // index in sheets_ of each listed sheet, -1 for others
    for (const WorkbookHandler::Sheet& s : workbook.sheets) {
        auto it = relations.relations.find(s.relation);
        if (it == relations.relations.end() || it->second.external ||
            !EndsWith(it->second.type, "/worksheet")) {
            sheetOfListed.push_back(-1);
            continue;
        }
        SheetInfo info;
        info.name = s.name;
        info.part = it->second.target;
        info.visible = s.state == "visible";
        sheetOfListed.push_back(static_cast<int>(sheets_.size()));
        sheets_.push_back(info);
    }
    for (const WorkbookHandler::Name& n : workbook.names) {
        if (n.hidden || n.name.compare(0, 6, "_xlnm.") == 0)
            continue;
        NameInfo info;
        info.name = n.name;
        if (!ParseSheetArea(n.text, &info.sheet, &info.area))
            continue;
        if (n.localSheet >= 0) {
            if (static_cast<size_t>(n.localSheet) >= sheetOfListed.size() ||
                sheetOfListed[static_cast<size_t>(n.localSheet)] < 0)
                continue;
            info.localSheet = sheetOfListed[static_cast<size_t>(n.localSheet)];
        }
        names_.push_back(info);
    }
    for (const auto& [id, r] : relations.relations) {
        if (r.external)
            continue;
        if (EndsWith(r.type, "/styles"))
            stylesPart_ = r.target;
        else if (EndsWith(r.type, "/sharedStrings"))
            stringsPart_ = r.target;
    }
    if (!stylesPart_.empty()) {
        StylesHandler styles;
        if (!ParsePart(*archive_, stylesPart_, styles, What(stylesPart_), &present, error))
            return false;
        dateStyles_ = styles.DateStyles();
    }
    return true;
}

bool XlsxBook::LoadStrings(std::wstring* error) {
    if (strings_ || stringsPart_.empty())
        return true;
    const int64_t index = archive_->Find(stringsPart_);
    if (index < 0)
        return true;
    std::unique_ptr<ByteSource> stream = archive_->Stream(index, error);
    if (!stream)
        return false;
    auto strings = std::make_shared<SharedStrings>();
    if (!ReadSharedStrings(*stream, What(stringsPart_), strings.get(), error))
        return false;
    strings_ = std::move(strings);
    return true;
}

int XlsxBook::DateStyle() const {
    for (size_t i = 0; i < dateStyles_.size(); ++i)
        if (dateStyles_[i])
            return static_cast<int>(i);
    return -1;
}

std::unique_ptr<SheetSource> XlsxBook::OpenSheet(size_t sheet, std::wstring* error) {
    const SheetInfo& info = sheets_.at(sheet);
    const std::wstring what = L"the sheet '" + Utf8ToWide(info.name) + L"' of '" + shown_ + L"'";
    const int64_t index = archive_->Find(info.part);
    if (index < 0) {
        *error = what + L" is missing: the workbook has no part '" + Utf8ToWide(info.part) + L"'";
        return nullptr;
    }
    if (!LoadStrings(error))
        return nullptr;
    std::unique_ptr<ByteSource> stream = archive_->Stream(index, error);
    if (!stream)
        return nullptr;
    SheetContext context;
    context.strings = strings_.get();
    context.dateStyles = &dateStyles_;
    context.date1904 = date1904_;
    context.what = what;
    return NewXlsxSheetReader(std::move(stream), std::move(context));
}

bool XlsxBook::ValueArea(size_t sheet, CellArea* area, std::wstring* error) {
    auto found = areas_.find(sheet);
    if (found != areas_.end()) {
        *area = found->second;
        return true;
    }
    const SheetInfo& info = sheets_.at(sheet);
    const int64_t index = archive_->Find(info.part);
    if (index < 0) {
        *error = L"the sheet '" + Utf8ToWide(info.name) + L"' of '" + shown_ +
                 L"' is missing: the workbook has no part '" + Utf8ToWide(info.part) + L"'";
        return false;
    }
    std::unique_ptr<ByteSource> stream = archive_->Stream(index, error);
    if (!stream || !ScanValueArea(*stream, What(info.part), area, error))
        return false;
    areas_[sheet] = *area;
    return true;
}

}  // namespace vorn::provider::stores::workbook
