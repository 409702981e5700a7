// The workbook store.
#include "stores/workbook/workbook_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cwctype>

#include "stores/workbook/cell_reference.h"
#include "stores/workbook/workbook_session.h"
#include "stores/workbook/workbook_table.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::workbook {

using store::StoreError;

namespace {

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

bool IsYes(const std::wstring& value) {
    const std::wstring v = Lower(value);
    return v == L"yes" || v == L"true" || v == L"1" || v == L"on";
}

// A name as TABLES lists a sheet: "Name$", in quotes when it holds anything but letters,
// digits and '_', with '.' written '#'.
std::wstring ListedSheetName(const std::string& sheet) {
    std::wstring name = Utf8ToWide(sheet);
    std::replace(name.begin(), name.end(), L'.', L'#');
    bool plain = true;
    for (wchar_t c : name)
        plain = plain && (std::iswalnum(static_cast<wint_t>(c)) || c == L'_') && c < 0x80;
    return plain ? name + L"$" : L"'" + name + L"$'";
}

// Removes one pair of brackets or single quotes around a name.
std::wstring Unwrap(std::wstring name) {
    if (name.size() >= 2 && name.front() == L'[' && name.back() == L']')
        name = name.substr(1, name.size() - 2);
    if (name.size() >= 2 && name.front() == L'\'' && name.back() == L'\'')
        name = name.substr(1, name.size() - 2);
    return name;
}

// Whether a sheet of book is called name: exactly, without regard to case, or with '#'
// for '.'. *sheet is its real name.
bool FindSheet(const WorkbookFile* book, const WorkbookSession& session, std::wstring name,
               std::string* sheet) {
    if (name.size() >= 2 && name.front() == L'\'' && name.back() == L'\'')
        name = name.substr(1, name.size() - 2);
    std::wstring dotted = name;
    std::replace(dotted.begin(), dotted.end(), L'#', L'.');
    const std::wstring wanted = Lower(name), wantedDotted = Lower(dotted);
    if (book)
        for (const SheetInfo& s : book->Sheets()) {
            const std::wstring have = Lower(Utf8ToWide(s.name));
            if (have == wanted || have == wantedDotted) {
                *sheet = s.name;
                return true;
            }
        }
    const std::string utf8 = WideToUtf8(name);
    if (session.Active() && session.Created(utf8)) {
        *sheet = utf8;
        return true;
    }
    return false;
}

class WorkbookStore final : public store::Store {
  public:
    WorkbookStore(std::shared_ptr<WorkbookSession> session, TableOptions options, bool xlsx)
        : session_(std::move(session)), options_(options), xlsx_(xlsx) {}

    store::StoreProperties Properties() const override {
        store::StoreProperties p;
        p.readOnly = session_->ReadOnly();
        p.dbmsName = L"EXCEL";
        p.dbmsVersion = xlsx_ ? L"12.00.0000" : L"08.00.0000";
        p.catalog = session_->Shown();
        return p;
    }

    std::vector<std::wstring> TableNames(StoreError* error) override {
        std::wstring why;
        std::shared_ptr<WorkbookFile> book = session_->Current(&why);
        if (!why.empty()) {
            error->message = why;
            return {};
        }
        std::vector<std::wstring> names;
        if (!book)
            return names;
        for (const SheetInfo& s : book->Sheets())
            names.push_back(ListedSheetName(s.name));
        for (const NameInfo& n : book->Names()) {
            std::wstring name = Utf8ToWide(n.name);
            if (n.localSheet >= 0) {
                std::wstring sheet =
                    ListedSheetName(book->Sheets()[static_cast<size_t>(n.localSheet)].name);
                if (sheet.front() == L'\'')
                    sheet = sheet.substr(1, sheet.size() - 2);
                name = sheet + name;
            }
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
        }
        return names;
    }

    std::shared_ptr<store::StoreTable> OpenTable(const std::wstring& asked,
                                                 StoreError* error) override {
        std::wstring why;
        std::shared_ptr<WorkbookFile> book = session_->Current(&why);
        if (!why.empty()) {
            error->message = why;
            return nullptr;
        }
        TableTarget target;
        if (!Resolve(book.get(), Unwrap(asked), &target)) {
            error->message = L"the table '" + asked + L"' was not found in '" + session_->Shown() +
                             L"'" + Listing(book.get());
            return nullptr;
        }
        auto table = std::make_shared<WorkbookTable>(session_, target, options_);
        if (session_->Active() && session_->Created(target.sheet) &&
            (!book || !HasSheet(*book, target.sheet))) {
            auto found = created_.find(target.sheet);
            if (found != created_.end())
                table->Created(found->second);
            return table;
        }
        if (!book) {
            error->message = L"could not find file '" + session_->Shown() + L"'";
            return nullptr;
        }
        if (!table->Load(*book, &why)) {
            error->message = why;
            return nullptr;
        }
        return table;
    }

    std::shared_ptr<store::StoreTable> CreateTable(const std::wstring& asked,
                                                   const std::vector<store::StoreColumn>& columns,
                                                   StoreError* error) override {
        if (session_->ReadOnly() || !xlsx_) {
            error->refused = true;
            error->message = L"the table '" + asked + L"' cannot be created: the workbook '" +
                             session_->Shown() + L"' is " +
                             (xlsx_ ? L"open read-only" : L"an .xls workbook, which is read-only");
            return nullptr;
        }
        std::wstring name = Unwrap(asked);
        if (!name.empty() && name.back() == L'$')
            name.pop_back();
        if (name.empty() || name.size() > 31 ||
            name.find_first_of(L"[]:*?/\\") != std::wstring::npos || name.front() == L'\'' ||
            name.back() == L'\'') {
            error->message = L"'" + asked +
                             L"' cannot name a sheet: a sheet's name has 1 to 31 characters, "
                             L"none of [ ] : * ? / \\, and does not begin or end with '";
            return nullptr;
        }
        std::wstring why;
        if (!session_->Begin(&why)) {
            error->message = why;
            return nullptr;
        }
        std::shared_ptr<WorkbookFile> book = session_->Current(&why);
        std::string existing;
        if (!why.empty() || FindSheet(book.get(), *session_, name, &existing)) {
            error->message = why.empty() ? L"the table '" + asked + L"' exists already: '" +
                                               session_->Shown() + L"' has a sheet '" +
                                               Utf8ToWide(existing) + L"'"
                                         : why;
            return nullptr;
        }
        for (const store::StoreColumn& c : columns)
            if (c.type.type == sql::JetType::Binary || c.type.type == sql::JetType::LongBinary) {
                error->message = L"the column '" + c.name +
                                 L"' cannot be made: a sheet's cells hold no binary data";
                return nullptr;
            }
        std::vector<std::string> header;
        for (const store::StoreColumn& c : columns)
            header.push_back(WideToUtf8(c.name));
        const std::string sheet = WideToUtf8(name);
        session_->CreateSheet(sheet, header);
        created_[sheet] = columns;
        TableTarget target;
        target.name = asked;
        target.sheet = sheet;
        auto table = std::make_shared<WorkbookTable>(session_, target, options_);
        table->Created(columns);
        return table;
    }

  private:
    static bool HasSheet(const WorkbookFile& book, const std::string& sheet) {
        for (const SheetInfo& s : book.Sheets())
            if (s.name == sheet)
                return true;
        return false;
    }

    // What a table name means: a defined name, a sheet ("Name$" or, for a sheet CREATE
    // TABLE made, "Name"), or a range of a sheet ("Name$A1:C10").
    bool Resolve(const WorkbookFile* book, const std::wstring& name, TableTarget* target) const {
        target->name = name;
        if (book) {
            const std::wstring lower = Lower(name);
            for (const NameInfo& n : book->Names()) {
                std::wstring full = Utf8ToWide(n.name);
                if (n.localSheet >= 0)
                    full = Utf8ToWide(book->Sheets()[static_cast<size_t>(n.localSheet)].name) +
                           L"$" + full;
                if (Lower(full) != lower)
                    continue;
                target->sheet = n.sheet;
                target->wholeSheet = false;
                target->range = n.area;
                target->definedName = true;
                std::string real;
                if (!FindSheet(book, *session_, Utf8ToWide(n.sheet), &real))
                    return false;
                target->sheet = real;
                return true;
            }
        }
        // The sheet's name ends at a '$': after it nothing (the whole sheet) or a range.
        for (size_t dollar = name.rfind(L'$'); dollar != std::wstring::npos;
             dollar = dollar == 0 ? std::wstring::npos : name.rfind(L'$', dollar - 1)) {
            const std::wstring rest = name.substr(dollar + 1);
            CellArea area;
            if (!rest.empty() && !ParseArea(WideToUtf8(rest), &area))
                continue;
            if (!FindSheet(book, *session_, name.substr(0, dollar), &target->sheet))
                continue;
            target->wholeSheet = rest.empty();
            target->range = area;
            if (target->wholeSheet)
                target->name = ListedSheetName(target->sheet);
            return true;
        }
        // A sheet named without '$' (as CREATE TABLE named it).
        return FindSheet(book, *session_, name, &target->sheet);
    }

    std::wstring Listing(const WorkbookFile* book) const {
        if (!book || book->Sheets().empty())
            return L", which has no sheets";
        std::wstring list;
        for (const SheetInfo& s : book->Sheets())
            list += (list.empty() ? L"" : L", ") + ListedSheetName(s.name);
        return L": its sheets are " + list;
    }

    std::shared_ptr<WorkbookSession> session_;
    TableOptions options_;
    bool xlsx_;
    std::map<std::string, std::vector<store::StoreColumn>> created_;
};

}  // namespace

bool NamesWorkbookKind(const std::wstring& item) {
    const std::wstring lower = Lower(item);
    return lower.compare(0, 5, L"excel") == 0 && (lower.size() == 5 || lower[5] == L' ');
}

bool IsWorkbookContent(const FileKind& kind) {
    return kind.kind == StoreKind::Zip || kind.kind == StoreKind::Ole2;
}

std::shared_ptr<store::Store> OpenWorkbookStore(const store::StoreOpenRequest& request,
                                                StoreError* error) {
    TableOptions options;
    bool readOnly = request.readOnly;
    for (const ConnectionStringItem& item : request.options.items) {
        if (!item.hasValue)
            continue;
        const std::wstring key = Lower(item.key);
        if (key == L"hdr")
            options.header = IsYes(item.value);
        else if (key == L"imex")
            options.importMode = item.value == L"1";
        else if (key == L"readonly")
            readOnly = readOnly || IsYes(item.value);
    }
    std::wstring shown = request.database;
    std::replace(shown.begin(), shown.end(), L'\\', L'/');
    if (shown.empty()) {
        error->message = L"no workbook given: Data Source names the .xlsx or .xls file";
        return nullptr;
    }
    const std::string path = WideToUtf8(shown);
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        error->message = L"'" + shown + L"' is a folder, not a workbook";
        return nullptr;
    }
    bool exists = ::stat(path.c_str(), &st) == 0;
    if (!exists) {
        // A new workbook: CREATE TABLE makes it, in a folder that must be there.
        const size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : path.substr(0, slash);
        struct stat f;
        if (readOnly || ::stat(folder.c_str(), &f) != 0 || !S_ISDIR(f.st_mode)) {
            error->message = L"could not find file '" + request.database + L"'";
            return nullptr;
        }
    }
    auto session = std::make_shared<WorkbookSession>(path, shown, readOnly);
    std::wstring why;
    std::shared_ptr<WorkbookFile> book = session->Current(&why);
    if (!why.empty()) {
        error->message = why;
        return nullptr;
    }
    const bool xlsx = !book || book->IsXlsx();
    if (!xlsx) {
        // .xls is read only: a session made read-only refuses writes in words.
        session = std::make_shared<WorkbookSession>(path, shown, true);
        session->Current(&why);
    }
    return std::make_shared<WorkbookStore>(session, options, xlsx);
}

}  // namespace vorn::provider::stores::workbook
