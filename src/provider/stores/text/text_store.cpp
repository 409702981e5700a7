// The text store: a folder of text files.
#include "stores/text/text_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwctype>

#include "stores/text/text_format.h"
#include "stores/text/text_journal.h"
#include "stores/text/text_table.h"
#include "vornoledb/platform/text.h"
#include "text_helpers.h"

namespace vorn::provider::stores::text {

using store::StoreError;

namespace {

bool ListedExtension(const std::wstring& file) {
    const size_t dot = file.rfind(L'.');
    if (dot == std::wstring::npos)
        return false;
    const std::wstring ext = WideLower(file.substr(dot + 1));
    return ext == L"csv" || ext == L"txt" || ext == L"tab" || ext == L"asc";
}

// The table name TABLES gives a file: the extension's dot written '#'.
std::wstring TableNameOf(const std::wstring& file) {
    std::wstring name = file;
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name[dot] = L'#';
    return name;
}

// The file a table name means: "parts#csv" and "parts.csv" both mean parts.csv.
std::wstring FileNameOf(std::wstring name) {
    if (name.size() >= 2 && name.front() == L'[' && name.back() == L']')
        name = name.substr(1, name.size() - 2);
    const size_t hash = name.rfind(L'#');
    if (hash != std::wstring::npos && hash > 0 && name.find(L'.', hash) == std::wstring::npos)
        name[hash] = L'.';
    return name;
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

class TextStore final : public store::Store {
  public:
    TextStore(std::string folder, std::wstring folderShown, std::wstring namedFile, TextFormat base,
              bool readOnly)
        : folder_(std::move(folder)),
          folderShown_(std::move(folderShown)),
          namedFile_(std::move(namedFile)),
          base_(std::move(base)),
          readOnly_(readOnly) {}

    store::StoreProperties Properties() const override {
        store::StoreProperties p;
        p.readOnly = readOnly_;
        p.dbmsName = L"Text";
        p.dbmsVersion = L"01.00.0000";
        p.catalog = folderShown_;
        return p;
    }

    std::vector<std::wstring> TableNames(StoreError* error) override {
        std::vector<std::wstring> files;
        if (!Files(&files, error))
            return {};
        std::vector<std::wstring> names;
        for (const std::wstring& f : files)
            if (ListedExtension(f) || (!namedFile_.empty() && f == namedFile_))
                names.push_back(TableNameOf(f));
        std::sort(names.begin(), names.end());
        return names;
    }

    std::shared_ptr<store::StoreTable> OpenTable(const std::wstring& name,
                                                 StoreError* error) override {
        const std::wstring wanted = FileNameOf(name);
        std::vector<std::wstring> files;
        if (!Files(&files, error))
            return nullptr;
        const std::wstring* found = nullptr;
        for (const std::wstring& f : files) {
            if (f == wanted) {
                found = &f;
                break;
            }
            if (!found && WideLower(f) == WideLower(wanted))
                found = &f;
        }
        if (!found || WideLower(*found) == L"schema.ini") {
            error->message = L"the table '" + name + L"' was not found: the folder '" +
                             folderShown_ + L"' has no file '" + wanted + L"'";
            return nullptr;
        }
        TextFormat format;
        if (!FormatOf(*found, &format, error))
            return nullptr;
        auto table = std::make_shared<TextTable>(
            TableNameOf(*found), folder_, folder_ + "/" + WideToUtf8(*found), format, readOnly_);
        if (!table->Load(error))
            return nullptr;
        return table;
    }

    std::shared_ptr<store::StoreTable> CreateTable(const std::wstring& name,
                                                   const std::vector<store::StoreColumn>& columns,
                                                   StoreError* error) override {
        std::wstring file = FileNameOf(name);
        if (file.empty() || file.find(L'/') != std::wstring::npos || file == L"." ||
            file == L"..") {
            error->message =
                L"'" + name + L"' cannot name a file of the folder '" + folderShown_ + L"'";
            return nullptr;
        }
        if (file.find(L'.') == std::wstring::npos)
            file += L".txt";
        if (WideLower(file) == L"schema.ini") {
            error->message = L"schema.ini cannot be a table";
            return nullptr;
        }
        TextFormat format = base_;
        format.charset = Charset::Utf8;
        auto table = std::make_shared<TextTable>(
            TableNameOf(file), folder_, folder_ + "/" + WideToUtf8(file), format, readOnly_);
        if (!table->CreateFile(columns, error))
            return nullptr;
        return table;
    }

  private:
    bool Files(std::vector<std::wstring>* files, StoreError* error) const {
        DIR* dir = ::opendir(folder_.c_str());
        if (!dir) {
            error->message = L"could not read the folder '" + folderShown_ + L"': " +
                             Utf8ToWide(std::strerror(errno));
            return false;
        }
        while (dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == ".." || !IsRegularFile(folder_ + "/" + name))
                continue;
            files->push_back(Utf8ToWide(name));
        }
        ::closedir(dir);
        return true;
    }

    // The folder's defaults with the file's schema.ini section applied.
    bool FormatOf(const std::wstring& file, TextFormat* format, StoreError* error) const {
        *format = base_;
        const std::string path = folder_ + "/schema.ini";
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return true;
        std::string text;
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0 && text.size() < (size_t(16) << 20))
            text.append(buffer, static_cast<size_t>(n));
        ::close(fd);
        const std::vector<SchemaIniSection> sections = ParseSchemaIni(text);
        const SchemaIniSection* section = FindSection(sections, WideToUtf8(file));
        if (!section)
            return true;
        std::wstring why;
        if (!ApplySection(*section, format, &why)) {
            error->message = L"'" + folderShown_ + L"/schema.ini': " + why;
            return false;
        }
        return true;
    }

    std::string folder_;
    std::wstring folderShown_;
    std::wstring namedFile_;
    TextFormat base_;
    bool readOnly_;
};

}  // namespace

bool NamesTextKind(const std::wstring& item) {
    return WideLower(item) == L"text";
}

std::shared_ptr<store::Store> OpenTextStore(const store::StoreOpenRequest& request,
                                            StoreError* error) {
    TextFormat base;
    std::vector<std::pair<std::wstring, std::wstring>> items;
    for (const ConnectionStringItem& item : request.options.items)
        if (item.hasValue)
            items.emplace_back(item.key, item.value);
    std::wstring why;
    if (!ApplyExtendedProperties(items, &base, &why)) {
        error->message = why;
        return nullptr;
    }
    bool readOnly = request.readOnly;
    if (const ConnectionStringItem* ro = request.options.Find(L"ReadOnly")) {
        const std::wstring v = WideLower(ro->value);
        readOnly = readOnly || v == L"true" || v == L"yes" || v == L"1";
    }
    std::wstring shown = request.database;
    // Both separators name folders.
    std::replace(shown.begin(), shown.end(), L'\\', L'/');
    while (shown.size() > 1 && shown.back() == L'/')
        shown.pop_back();
    if (shown.empty()) {
        error->message = L"no folder given for the text files";
        return nullptr;
    }
    std::string path = WideToUtf8(shown);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        error->message = L"could not find the folder or file '" + request.database + L"'";
        return nullptr;
    }
    std::wstring namedFile;
    if (!S_ISDIR(st.st_mode)) {
        const size_t slash = shown.rfind(L'/');
        namedFile = slash == std::wstring::npos ? shown : shown.substr(slash + 1);
        shown = slash == std::wstring::npos ? L"." : slash == 0 ? L"/" : shown.substr(0, slash);
        path = WideToUtf8(shown);
    }
    if (::access(path.c_str(), R_OK | X_OK) != 0) {
        error->message =
            L"could not read the folder '" + shown + L"': " + Utf8ToWide(std::strerror(errno));
        return nullptr;
    }
    if (!readOnly && !RecoverFolder(path, &why)) {
        error->message = L"the folder '" + shown +
                         L"' has an unfinished transaction that could not be "
                         L"undone: " +
                         why;
        return nullptr;
    }
    return std::make_shared<TextStore>(path, shown, namedFile, base, readOnly);
}

}  // namespace vorn::provider::stores::text
