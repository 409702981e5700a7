// One Access file opened read-only through libmdb.
#include "stores/access/access_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <cwctype>

#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::access {
namespace {

// MSysObjects' flags of system objects (the engine's own and those Access adds).
constexpr uint32_t kSystemObjectFlags = 0x80000002u;

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

}  // namespace

std::wstring QuotedFile(const AccessFile& file) {
    return L"'" + file.Shown() + L"'";
}

std::shared_ptr<AccessFile> AccessFile::Open(const std::string& path, const std::wstring& shown,
                                             const std::string& codePage, std::wstring* error) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        *error = errno == ENOENT ? L"could not find file '" + shown + L"'"
                                 : L"could not read '" + shown + L"': " +
                                       Utf8ToWide(std::strerror(errno));
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = L"'" + shown + L"' is not a regular file";
        return nullptr;
    }
    std::shared_ptr<AccessFile> file(new AccessFile);
    file->shown_ = shown;
    file->mdb_ = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!file->mdb_) {
        *error = L"'" + shown +
                 L"' cannot be read as an Access database: its header page is missing, damaged "
                 L"or of an unknown version";
        return nullptr;
    }
    file->version_ = file->mdb_->f->jet_version;
    const size_t pageSize = static_cast<size_t>(file->mdb_->fmt->pg_size);
    file->pageCount_ = static_cast<uint64_t>(st.st_size) / pageSize;
    // The header is page 0 and the catalog's definition page 2.
    if (file->pageCount_ < 3) {
        *error = L"'" + shown + L"' holds an Access header and no catalog (" +
                 std::to_wstring(st.st_size) + L" bytes): the file is cut short";
        return nullptr;
    }
    if (file->IsJet3()) {
        std::string name = codePage;
        if (name.empty())
            name = std::to_string(file->mdb_->f->code_page ? file->mdb_->f->code_page : 1252);
        std::string why;
        file->codePage_ = CodePage::Open(name, &why);
        if (!file->codePage_) {
            *error = L"'" + shown + L"': " + Utf8ToWide(why);
            return nullptr;
        }
    }
    if (!mdb_read_catalog(file->mdb_, MDB_ANY)) {
        *error = L"the catalog of '" + shown +
                 L"' (its table MSysObjects) cannot be read: the file is damaged or cut short";
        return nullptr;
    }
    for (unsigned i = 0; i < file->mdb_->num_catalog; ++i) {
        const auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(file->mdb_->catalog, i));
        CatalogObject object;
        object.name = Utf8ToWide(entry->object_name);
        object.catalogIndex = i;
        object.id = static_cast<int32_t>(entry->table_pg & 0xFFFFFF);
        const uint32_t flags = static_cast<uint32_t>(entry->flags);
        switch (entry->object_type) {
            case MDB_TABLE:
                object.kind = (flags & kSystemObjectFlags) ? ObjectKind::SystemTable
                                                           : ObjectKind::Table;
                break;
            case MDB_QUERY:
                object.kind = ObjectKind::Query;
                break;
            case MDB_LINKED_TABLE:
                object.kind = ObjectKind::LinkedTable;
                break;
            default:
                object.kind = ObjectKind::Other;
                break;
        }
        if (object.kind == ObjectKind::Other || object.name.empty())
            continue;
        file->objects_.push_back(std::move(object));
    }
    return file;
}

AccessFile::~AccessFile() {
    if (mdb_)
        mdb_close(mdb_);
}

MdbHandle* AccessFile::Clone() const {
    return mdb_clone_handle(mdb_);
}

const CatalogObject* AccessFile::FindObject(const std::wstring& name) const {
    const CatalogObject* folded = nullptr;
    const std::wstring lower = Lower(name);
    for (const CatalogObject& o : objects_) {
        if (o.name == name)
            return &o;
        if (!folded && Lower(o.name) == lower)
            folded = &o;
    }
    return folded;
}

void AccessFile::TextToUtf8(const unsigned char* data, size_t n, std::string* out) const {
    if (codePage_)
        codePage_->ToUtf8(data, n, out);
    else
        JetUnicodeToUtf8(data, n, out);
}

}  // namespace vorn::provider::stores::access
