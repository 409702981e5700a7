// Writes a new version of an .xlsx workbook beside the old one.
#include "stores/workbook/xlsx_package_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <set>

#include "stores/workbook/sheet_writer.h"
#include "posix_files.h"
#include "stores/workbook/xml_tag_scanner.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::workbook {
namespace {

constexpr char kRelationshipsNamespace[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr char kWorksheetType[] =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
constexpr char kStylesType[] =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";
constexpr char kXmlHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr char kMain[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// The styles of a new workbook: the default style and a date style (index 1).
constexpr int kNewBookDateStyle = 1;
std::string NewStyles() {
    return std::string(kXmlHead) + "<styleSheet xmlns=\"" + kMain +
           "\"><numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd "
           "hh:mm:ss\"/></numFmts><fonts count=\"1\"><font><sz val=\"11\"/><name "
           "val=\"Calibri\"/></font></fonts><fills count=\"2\"><fill><patternFill "
           "patternType=\"none\"/></fill><fill><patternFill "
           "patternType=\"gray125\"/></fill></fills><borders "
           "count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
           "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
           "borderId=\"0\"/></cellStyleXfs><cellXfs count=\"2\"><xf numFmtId=\"0\" "
           "fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/><xf numFmtId=\"164\" "
           "fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" "
           "applyNumberFormat=\"1\"/></cellXfs><cellStyles count=\"1\"><cellStyle "
           "name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles></styleSheet>";
}

std::string NewSheetXml() {
    return std::string(kXmlHead) + "<worksheet xmlns=\"" + kMain + "\" xmlns:r=\"" +
           kRelationshipsNamespace + "\"><dimension ref=\"A1\"/><sheetData/></worksheet>";
}

std::wstring Why() {
    return Utf8ToWide(std::strerror(errno));
}

// Where an element ends: the offset of its end tag (or of the empty tag itself), its
// tag's prefix and whether it was empty. False when the text has no such element.
struct ElementEnd {
    size_t offset = 0;
    size_t length = 0;  // of the empty tag
    bool empty = false;
    std::string prefix;
};

bool FindElementEnd(const std::string& text, std::string_view local, ElementEnd* end) {
    XmlTagScanner scanner;
    scanner.Feed(text.data(), text.size());
    XmlTag tag;
    bool truncated = false;
    while (scanner.Next(&tag, &truncated)) {
        if (tag.local != local || tag.kind == XmlTag::Start || tag.kind == XmlTag::Other)
            continue;
        end->offset = static_cast<size_t>(tag.offset);
        end->length = tag.raw.size();
        end->empty = tag.kind == XmlTag::Empty;
        const size_t start = tag.kind == XmlTag::End ? 2 : 1;
        const size_t localAt = static_cast<size_t>(tag.local.data() - tag.raw.data());
        end->prefix = std::string(tag.raw.substr(start, localAt - start));
        return true;
    }
    return false;
}

// Inserts children at the end of the element local (a "<x/>" is opened for them).
bool AppendChildren(std::string* text, std::string_view local, const std::string& children) {
    ElementEnd end;
    if (!FindElementEnd(*text, local, &end))
        return false;
    if (end.empty) {
        std::string tag = text->substr(end.offset, end.length);
        tag.erase(tag.rfind('/'), 1);
        text->replace(end.offset, end.length,
                      tag + children + "</" + end.prefix + std::string(local) + ">");
    } else {
        text->insert(end.offset, children);
    }
    return true;
}

// Whether a tag's attribute has this value (any value when name is empty).
bool AttributeIs(const XmlTag& tag, std::string_view name, std::string_view value) {
    std::string_view v;
    return name.empty() || (tag.Attribute(name, &v) && v == value);
}

// Every value of an attribute in the text's tags of one element name; only of the tags
// whose attribute whereName is whereValue, when whereName is given.
std::vector<std::string> AttributeValues(const std::string& text, std::string_view local,
                                         std::string_view attribute,
                                         std::string_view whereName = {},
                                         std::string_view whereValue = {}) {
    std::vector<std::string> values;
    XmlTagScanner scanner;
    scanner.Feed(text.data(), text.size());
    XmlTag tag;
    bool truncated = false;
    while (scanner.Next(&tag, &truncated)) {
        std::string_view v;
        if (tag.local == local && tag.kind != XmlTag::End &&
            AttributeIs(tag, whereName, whereValue) && tag.Attribute(attribute, &v))
            values.emplace_back(v);
    }
    return values;
}

// Removes the elements local whose attribute name is value (empty elements, as
// relationships and content-type overrides are, or an element with its end tag).
void RemoveElements(std::string* text, std::string_view local, std::string_view name,
                    std::string_view value) {
    std::string kept;
    XmlTagScanner scanner;
    scanner.Feed(text->data(), text->size());
    XmlTag tag;
    bool truncated = false;
    size_t copied = 0;
    bool removing = false;
    while (scanner.Next(&tag, &truncated)) {
        if (tag.local != local)
            continue;
        const size_t at = static_cast<size_t>(tag.offset);
        if (removing) {
            if (tag.kind == XmlTag::End) {
                copied = at + tag.raw.size();
                removing = false;
            }
        } else if (tag.kind != XmlTag::End && AttributeIs(tag, name, value)) {
            kept.append(*text, copied, at - copied);
            copied = at + tag.raw.size();
            removing = tag.kind == XmlTag::Start;
        }
    }
    if (removing)
        return;  // an element left open: the text is kept as it was
    kept.append(*text, copied, std::string::npos);
    *text = std::move(kept);
}

// How many child elements named child the first element parent has.
size_t CountChildren(const std::string& text, std::string_view parent, std::string_view child) {
    XmlTagScanner scanner;
    scanner.Feed(text.data(), text.size());
    XmlTag tag;
    bool truncated = false;
    int depth = -1;
    size_t count = 0;
    while (scanner.Next(&tag, &truncated)) {
        if (tag.kind == XmlTag::Other)
            continue;
        if (depth < 0) {
            if (tag.local == parent && tag.kind == XmlTag::Start)
                depth = 0;
            continue;
        }
        if (tag.kind == XmlTag::End) {
            if (depth == 0)
                return count;
            --depth;
            continue;
        }
        if (depth == 0 && tag.local == child)
            ++count;
        if (tag.kind == XmlTag::Start)
            ++depth;
    }
    return count;
}

// The prefix the text binds to a namespace ("r" for xmlns:r="..."), or "".
std::string PrefixOfNamespace(const std::string& text, const std::string& uri) {
    const std::string value = "\"" + uri + "\"";
    size_t at = text.find(value);
    while (at != std::string::npos) {
        const size_t eq = text.rfind('=', at);
        const size_t xmlns = text.rfind("xmlns:", eq);
        if (xmlns != std::string::npos && eq != std::string::npos && eq > xmlns + 6)
            return text.substr(xmlns + 6, eq - xmlns - 6);
        at = text.find(value, at + 1);
    }
    return "";
}

// Writes count="n" into the first start tag of local.
void SetCount(std::string* text, std::string_view local, size_t count) {
    XmlTagScanner scanner;
    scanner.Feed(text->data(), text->size());
    XmlTag tag;
    bool truncated = false;
    while (scanner.Next(&tag, &truncated)) {
        if (tag.local != local || tag.kind != XmlTag::Start)
            continue;
        const size_t at = static_cast<size_t>(tag.offset);
        std::string_view old;
        const std::string raw(tag.raw);
        std::string replaced = raw;
        if (tag.Attribute("count", &old)) {
            const size_t c = replaced.find("count=");
            replaced.replace(c + 7, old.size(), std::to_string(count));
        }
        text->replace(at, raw.size(), replaced);
        return;
    }
}

// The relationships part of a part.
std::string RelationshipsOf(const std::string& part) {
    const size_t slash = part.rfind('/');
    return (slash == std::string::npos ? "" : part.substr(0, slash + 1)) + "_rels/" +
           (slash == std::string::npos ? part : part.substr(slash + 1)) + ".rels";
}

// A target relative to the folder of from ("xl/workbook.xml", "xl/worksheets/s.xml" ->
// "worksheets/s.xml"); an absolute one when they share no folder.
std::string RelativeTarget(const std::string& from, const std::string& part) {
    const size_t slash = from.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : from.substr(0, slash + 1);
    if (part.compare(0, folder.size(), folder) == 0)
        return part.substr(folder.size());
    return "/" + part;
}

bool SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// The name of the new version: a hidden file beside the workbook.
std::string TemporaryName(const std::string& path) {
    static std::mt19937_64 random{std::random_device{}()};
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".vorn-%d-%08x", static_cast<int>(::getpid()),
                  static_cast<unsigned>(random()));
    return folder + "." + file + suffix;
}

bool CopyFile(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    struct stat st;
    ::fstat(in, &st);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
    if (out < 0) {
        ::close(in);
        return false;
    }
    char buffer[65536];
    ssize_t n;
    bool ok = true;
    while (ok && (n = ::read(in, buffer, sizeof buffer)) > 0)
        ok = ::write(out, buffer, static_cast<size_t>(n)) == n;
    ok = ok && n == 0;
    ::close(in);
    ok = ::close(out) == 0 && ok;
    return ok;
}

// The parts a write replaces or adds, and the libzip sources for them.
class PartWriter {
  public:
    explicit PartWriter(zip* archive) : archive_(archive) {}
    bool Put(const std::string& part, std::string bytes) {
        buffers_.push_back(std::make_unique<std::string>(std::move(bytes)));
        const std::string& data = *buffers_.back();
        zip_source_t* source = zip_source_buffer(archive_, data.data(), data.size(), 0);
        return source && Install(part, source);
    }
    bool PutFile(const std::string& part, std::FILE* file) {
        zip_source_t* source = zip_source_filep(archive_, file, 0, -1);
        if (!source) {
            std::fclose(file);
            return false;
        }
        return Install(part, source);
    }
    std::wstring Error() const { return Utf8ToWide(zip_strerror(archive_)); }

  private:
    bool Install(const std::string& part, zip_source_t* source) {
        zip_int64_t index = zip_name_locate(archive_, part.c_str(), 0);
        if (index < 0)
            index = zip_name_locate(archive_, part.c_str(), ZIP_FL_NOCASE);
        if (index >= 0) {
            if (zip_file_replace(archive_, static_cast<zip_uint64_t>(index), source, 0) != 0) {
                zip_source_free(source);
                return false;
            }
            zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 6);
            return true;
        }
        index = zip_file_add(archive_, part.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            return false;
        }
        zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 6);
        return true;
    }
    zip* archive_;
    std::vector<std::unique_ptr<std::string>> buffers_;
};

// Reads a part of the current version ("" when there is no book or no such part).
bool ReadPart(XlsxBook* book, const std::string& part, std::string* text, std::wstring* error) {
    text->clear();
    if (!book)
        return true;
    const int64_t index = book->Archive().Find(part);
    return index < 0 || book->Archive().ReadWhole(index, text, error, uint64_t(64) << 20);
}

bool HasDates(const SheetEdits& edits) {
    for (const auto& [row, cells] : edits.rows)
        for (const CellValue& c : cells)
            if (c.kind == CellKind::Date)
                return true;
    return false;
}

}  // namespace

bool PrepareWorkbook(const std::string& path, const std::wstring& shown, XlsxBook* book,
                     WorkbookChanges& changes, PreparedWorkbook* prepared, std::wstring* error) {
    prepared->created = book == nullptr;
    prepared->temporary = TemporaryName(path);
    const std::string& temporary = prepared->temporary;
    auto fail = [&](const std::wstring& message) {
        if (error->empty())
            *error = L"the workbook '" + shown + L"' cannot be written: " + message;
        ::unlink(temporary.c_str());
        return false;
    };
    int code = 0;
    zip* archive = nullptr;
    if (book) {
        // The new version starts as a second name of the old file; libzip writes the
        // changed archive beside it and renames it over that name, never over the old file.
        if (::link(path.c_str(), temporary.c_str()) != 0 && !CopyFile(path, temporary))
            return fail(L"a new file beside it cannot be made: " + Why());
        archive = zip_open(temporary.c_str(), 0, &code);
    } else {
        archive = zip_open(temporary.c_str(), ZIP_CREATE | ZIP_EXCL, &code);
    }
    if (!archive) {
        zip_error_t e;
        zip_error_init_with_code(&e, code);
        const std::wstring why = Utf8ToWide(zip_error_strerror(&e));
        zip_error_fini(&e);
        return fail(why);
    }
    PartWriter parts(archive);
    auto abandon = [&](const std::wstring& message) {
        std::wstring why = message.empty() ? parts.Error() : message;
        zip_discard(archive);
        return fail(why);
    };

    const std::string workbookPart = book ? book->WorkbookPart() : "xl/workbook.xml";
    std::string stylesPart = book ? book->StylesPart() : "xl/styles.xml";
    bool needDateStyle = false;
    for (const auto& [part, edits] : changes.sheets)
        needDateStyle = needDateStyle || HasDates(*edits);
    for (const CreatedSheet& c : changes.created)
        needDateStyle = needDateStyle || HasDates(*c.edits);

    SheetWriteStyle style;
    style.date1904 = book && book->Date1904();
    style.dateStyle = book ? book->DateStyle() : kNewBookDateStyle;

    std::string contentTypes, workbookRelations, workbookXml;
    bool typesChanged = false, relationsChanged = false, workbookChanged = false;
    const std::string relationsPart = RelationshipsOf(workbookPart);
    if (!ReadPart(book, "[Content_Types].xml", &contentTypes, error) ||
        !ReadPart(book, relationsPart, &workbookRelations, error) ||
        !ReadPart(book, workbookPart, &workbookXml, error))
        return abandon(*error);
    if (!book) {
        contentTypes = std::string(kXmlHead) +
                       "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                       "content-types\"><Default Extension=\"rels\" "
                       "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                       "<Default Extension=\"xml\" ContentType=\"application/xml\"/><Override "
                       "PartName=\"/xl/workbook.xml\" "
                       "ContentType=\"application/"
                       "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/></Types>";
        workbookRelations = std::string(kXmlHead) +
                            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                            "relationships\"></Relationships>";
        workbookXml = std::string(kXmlHead) + "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" +
                      kRelationshipsNamespace + "\"><sheets/></workbook>";
        typesChanged = relationsChanged = workbookChanged = true;
        const std::string packageRelations =
            std::string(kXmlHead) +
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
            "relationships\"><Relationship Id=\"rId1\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
            "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
        if (!parts.Put("_rels/.rels", packageRelations))
            return abandon(L"");
    }
    if (workbookRelations.empty())
        workbookRelations = std::string(kXmlHead) +
                            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                            "relationships\"></Relationships>";
    std::set<std::string> relationIds;
    for (const std::string& id : AttributeValues(workbookRelations, "Relationship", "Id"))
        relationIds.insert(id);
    auto newRelationId = [&]() {
        for (int n = 1;; ++n) {
            const std::string id = "rId" + std::to_string(n);
            if (relationIds.insert(id).second)
                return id;
        }
    };
    auto addRelation = [&](const std::string& type, const std::string& part) {
        const std::string id = newRelationId();
        relationsChanged = true;
        return AppendChildren(&workbookRelations, "Relationships",
                              "<Relationship Id=\"" + id + "\" Type=\"" + type + "\" Target=\"" +
                                  EscapeAttribute(RelativeTarget(workbookPart, part)) + "\"/>")
                   ? id
                   : std::string();
    };
    auto addContentType = [&](const std::string& part, const char* type) {
        typesChanged = true;
        return AppendChildren(
            &contentTypes, "Types",
            "<Override PartName=\"/" + EscapeAttribute(part) + "\" ContentType=\"" + type + "\"/>");
    };

    // A date style for written dates, when the book has none.
    if (needDateStyle && style.dateStyle < 0) {
        std::string styles;
        if (!stylesPart.empty() && !ReadPart(book, stylesPart, &styles, error))
            return abandon(*error);
        if (styles.empty()) {
            stylesPart = "xl/styles.xml";
            if (book && book->Archive().Find(stylesPart) >= 0)
                return abandon(L"its styles part cannot be read");
            styles = NewStyles();
            style.dateStyle = kNewBookDateStyle;
            if (addRelation(std::string(kStylesRelation), stylesPart).empty() ||
                !addContentType(stylesPart, kStylesType))
                return abandon(L"its relationships or content types cannot be read");
        } else {
            const size_t count = CountChildren(styles, "cellXfs", "xf");
            if (!AppendChildren(&styles, "cellXfs",
                                "<xf numFmtId=\"22\" fontId=\"0\" fillId=\"0\" borderId=\"0\" "
                                "xfId=\"0\" applyNumberFormat=\"1\"/>"))
                return abandon(L"its styles part has no cell styles");
            SetCount(&styles, "cellXfs", count + 1);
            style.dateStyle = static_cast<int>(count);
        }
        if (!parts.Put(stylesPart, styles))
            return abandon(L"");
    } else if (!book) {
        if (!parts.Put(stylesPart, NewStyles()) ||
            addRelation(std::string(kStylesRelation), stylesPart).empty() ||
            !addContentType(stylesPart, kStylesType))
            return abandon(L"");
    }

    // New sheets: a part each, listed in the workbook, its relationships and content types.
    if (!changes.created.empty()) {
        int sheetId = 0;
        for (const std::string& id : AttributeValues(workbookXml, "sheet", "sheetId"))
            sheetId = std::max(sheetId, std::atoi(id.c_str()));
        std::string relationPrefix = PrefixOfNamespace(workbookXml, kRelationshipsNamespace);
        std::set<std::string> taken;
        for (CreatedSheet& created : changes.created) {
            for (int n = 1;; ++n) {
                const std::string part = "xl/worksheets/sheet" + std::to_string(n) + ".xml";
                if ((!book || book->Archive().Find(part) < 0) && taken.insert(part).second) {
                    created.part = part;
                    break;
                }
            }
            const std::string id = addRelation(kWorksheetRelation, created.part);
            if (id.empty() || !addContentType(created.part, kWorksheetType))
                return abandon(L"its relationships or content types cannot be read");
            const std::string attribute =
                relationPrefix.empty() ? " xmlns:vr=\"" + std::string(kRelationshipsNamespace) +
                                             "\" vr:id=\"" + id + "\""
                                       : " " + relationPrefix + ":id=\"" + id + "\"";
            ElementEnd end;
            if (!FindElementEnd(workbookXml, "sheets", &end))
                return abandon(L"its workbook part lists no sheets");
            if (!AppendChildren(&workbookXml, "sheets",
                                "<" + end.prefix + "sheet name=\"" + EscapeAttribute(created.name) +
                                    "\" sheetId=\"" + std::to_string(++sheetId) + "\"" + attribute +
                                    "/>"))
                return abandon(L"its workbook part lists no sheets");
            workbookChanged = true;
            std::FILE* out = std::tmpfile();
            if (!out)
                return abandon(L"a scratch file cannot be made: " + Why());
            const std::string baseText = NewSheetXml();
            MemorySource source(baseText);
            bool replacedFormula = false;
            if (!WriteEditedSheet(source, *created.edits, nullptr, style,
                                  L"the new sheet '" + Utf8ToWide(created.name) + L"'", out,
                                  &replacedFormula, error) ||
                std::fflush(out) != 0 || std::fseek(out, 0, SEEK_SET) != 0) {
                std::fclose(out);
                return abandon(*error);
            }
            if (!parts.PutFile(created.part, out))
                return abandon(L"");
        }
    }

    // Changed sheets of the book.
    bool replacedFormula = false;
    for (const auto& [part, edits] : changes.sheets) {
        const int64_t index = book->Archive().Find(part);
        if (index < 0)
            return abandon(L"its part '" + Utf8ToWide(part) + L"' is missing");
        // A first read finds the shared formulas whose master cell the edits overwrite.
        std::wstring sheet = Utf8ToWide(part);
        for (const SheetInfo& info : book->Sheets())
            if (info.part == part)
                sheet = Utf8ToWide(info.name);
        SharedFormulaPlan formulas;
        std::unique_ptr<ByteSource> stream = book->Archive().Stream(index, error);
        if (!stream)
            return abandon(*error);
        std::wstring refusal;
        if (!PlanSharedFormulas(*stream, *edits, sheet, &formulas, &refusal))
            return abandon(refusal);
        stream = book->Archive().Stream(index, error);
        if (!stream)
            return abandon(*error);
        std::FILE* out = std::tmpfile();
        if (!out)
            return abandon(L"a scratch file cannot be made: " + Why());
        bool replaced = false;
        if (!WriteEditedSheet(*stream, *edits, &formulas, style,
                              L"the part '" + Utf8ToWide(part) + L"' of '" + shown + L"'", out,
                              &replaced, error) ||
            std::fflush(out) != 0 || std::fseek(out, 0, SEEK_SET) != 0) {
            std::fclose(out);
            return abandon(*error);
        }
        replacedFormula = replacedFormula || replaced;
        if (!parts.PutFile(book->Archive().Name(index), out))
            return abandon(L"");
    }
    // The calculation chain lists the cells that hold formulas; one that names a cell whose
    // formula was overwritten makes Excel repair the book. It is derived data that Excel
    // rebuilds when it is missing, so it goes (with its relationship and content type)
    // whenever a write replaces a formula, and stays byte for byte otherwise.
    if (replacedFormula) {
        for (const std::string& target : AttributeValues(workbookRelations, "Relationship",
                                                         "Target", "Type", kCalcChainRelation)) {
            const std::string part = ResolvePartName(workbookPart, target);
            RemoveElements(&workbookRelations, "Relationship", "Target", target);
            RemoveElements(&contentTypes, "Override", "PartName", "/" + part);
            relationsChanged = typesChanged = true;
            const zip_int64_t index = zip_name_locate(archive, part.c_str(), 0);
            if (index >= 0 && zip_delete(archive, static_cast<zip_uint64_t>(index)) != 0)
                return abandon(L"");
        }
    }
    if ((workbookChanged && !parts.Put(workbookPart, workbookXml)) ||
        (relationsChanged && !parts.Put(relationsPart, workbookRelations)) ||
        (typesChanged && !parts.Put("[Content_Types].xml", contentTypes)))
        return abandon(L"");
    if (zip_close(archive) != 0) {
        const std::wstring why = Utf8ToWide(zip_strerror(archive));
        zip_discard(archive);
        return fail(why);
    }
    if (!SyncFile(temporary))
        return fail(L"the new file cannot be written to disk: " + Why());
    return true;
}

bool InstallWorkbook(const std::string& path, const std::wstring& shown, PreparedWorkbook* prepared,
                     std::wstring* error) {
    if (prepared->created) {
        if (::link(prepared->temporary.c_str(), path.c_str()) != 0) {
            *error = errno == EEXIST
                         ? L"the workbook '" + shown +
                               L"' cannot be created: another program made a file of that "
                               L"name meanwhile"
                         : L"the workbook '" + shown + L"' cannot be created: " + Why();
            DiscardWorkbook(prepared);
            return false;
        }
        ::unlink(prepared->temporary.c_str());
    } else if (::rename(prepared->temporary.c_str(), path.c_str()) != 0) {
        *error = L"the workbook '" + shown + L"' cannot be replaced by its new version: " + Why();
        DiscardWorkbook(prepared);
        return false;
    }
    prepared->temporary.clear();
    if (vorn::SyncFolder(vorn::FolderOf(path)) != 0) {
        *error = L"the folder of the workbook '" + shown + L"' cannot be written to disk: " + Why();
        return false;
    }
    return true;
}

void DiscardWorkbook(PreparedWorkbook* prepared) {
    if (!prepared->temporary.empty())
        ::unlink(prepared->temporary.c_str());
    prepared->temporary.clear();
}

}  // namespace vorn::provider::stores::workbook
