// One Access file opened read-only through libmdb.
#include "stores/access/access_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwctype>

#include "stores/access/access_table.h"
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

uint16_t Le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Whether a property value (LvProp: "KKD" or "MR2", then blocks of names and of values) is
// whole, every length inside it within its bounds and every record moving the reader on.
// libmdb's reader trusts those lengths, and loops without end on a length of 0.
bool WholeProperties(const unsigned char* p, size_t n) {
    if (n < 4 || (std::memcmp(p, "KKD", 4) != 0 && std::memcmp(p, "MR2", 4) != 0))
        return false;
    for (size_t pos = 4; pos < n;) {
        if (n - pos < 6)
            return false;
        const size_t length = uint32_t(Le16(p + pos)) | (uint32_t(Le16(p + pos + 2)) << 16);
        if (length < 6 || length > n - pos)
            return false;
        const unsigned char* block = p + pos + 6;
        const size_t size = length - 6;
        const uint16_t type = Le16(p + pos + 4);
        if (type == 0x80) {
            for (size_t at = 0; at < size;) {
                if (size - at < 2 || Le16(block + at) > size - at - 2)
                    return false;
                at += 2 + Le16(block + at);
            }
        } else if (type <= 0x02) {
            if (size < 6 || Le16(block + 4) > size - 6)
                return false;
            // Each property once (libmdb loses the memory of one given twice).
            std::vector<bool> seen(65536, false);
            for (size_t at = 6 + Le16(block + 4); at < size;) {
                const size_t record = Le16(block + at);
                if (size - at < 8 || record < 8 || record > size - at ||
                    Le16(block + at + 6) > size - at - 8 || seen[Le16(block + at + 4)])
                    return false;
                seen[Le16(block + at + 4)] = true;
                at += record;
            }
        }
        pos += length;
    }
    return true;
}

}  // namespace

std::wstring QuotedFile(const AccessFile& file) {
    return L"'" + file.Shown() + L"'";
}

std::shared_ptr<AccessFile> AccessFile::Open(const std::string& path, const std::wstring& shown,
                                             const std::string& codePage, std::wstring* error) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        *error = errno == ENOENT
                     ? L"could not find file '" + shown + L"'"
                     : L"could not read '" + shown + L"': " + Utf8ToWide(std::strerror(errno));
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
    if (!file->ReadCatalog(file, error))
        return nullptr;
    for (unsigned i = 0; i < file->mdb_->num_catalog; ++i) {
        const auto* entry =
            static_cast<MdbCatalogEntry*>(g_ptr_array_index(file->mdb_->catalog, i));
        CatalogObject object;
        object.name = Utf8ToWide(entry->object_name);
        object.catalogIndex = i;
        object.tablePage = static_cast<uint32_t>(entry->table_pg);
        object.id = static_cast<int32_t>(entry->table_pg & 0xFFFFFF);
        const uint32_t flags = static_cast<uint32_t>(entry->flags);
        switch (entry->object_type) {
            case MDB_TABLE:
                object.kind =
                    (flags & kSystemObjectFlags) ? ObjectKind::SystemTable : ObjectKind::Table;
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

// The catalog is read with the store's own reader rather than libmdb's, which follows the
// chains of the catalog's property values without an end on a damaged file: each object's
// entry, with the properties of its columns from its LvProp value, goes into the handle's
// catalog as libmdb keeps it.
bool AccessFile::ReadCatalog(const std::shared_ptr<AccessFile>& self, std::wstring* error) {
    if (!mdb_->catalog)
        mdb_->catalog = g_ptr_array_new();
    CatalogObject catalog;
    catalog.name = L"MSysObjects";
    catalog.kind = ObjectKind::SystemTable;
    catalog.catalogIndex = kNotInCatalog;
    catalog.tablePage = 2;  // MSysObjects' definition
    std::vector<AccessColumn> columns;
    std::wstring why;
    store::StoreError failure;
    std::unique_ptr<store::StoreCursor> rows;
    if (ReadTableDefinition(*this, catalog, &columns, &why))
        rows = OpenRows(self, catalog, columns, &failure);
    int at[5] = {-1, -1, -1, -1, -1};
    const wchar_t* wanted[5] = {L"Id", L"Name", L"Type", L"Flags", L"LvProp"};
    for (size_t i = 0; i < columns.size(); ++i)
        for (int k = 0; k < 5; ++k)
            if (columns[i].column.name == wanted[k])
                at[k] = static_cast<int>(i);
    if (!rows || at[0] < 0 || at[1] < 0 || at[2] < 0 || at[3] < 0) {
        *error = L"the catalog of '" + shown_ +
                 L"' (its table MSysObjects) cannot be read: the file is damaged or cut short";
        return false;
    }
    while (rows->Next(&failure)) {
        store::StoreValue id, name, type, flags, props;
        if (!rows->Read(at[0], &id, &failure) || !rows->Read(at[1], &name, &failure) ||
            !rows->Read(at[2], &type, &failure) || !rows->Read(at[3], &flags, &failure) ||
            id.kind != store::StoreValue::Integer || name.kind != store::StoreValue::Text ||
            type.kind != store::StoreValue::Integer) {
            failure = store::StoreError();
            continue;  // a damaged entry is passed over
        }
        auto* entry = static_cast<MdbCatalogEntry*>(g_malloc0(sizeof(MdbCatalogEntry)));
        entry->mdb = mdb_;
        const size_t n = std::min(name.bytes.size(), sizeof entry->object_name - 1);
        std::memcpy(entry->object_name, name.bytes.data(), n);
        entry->object_type = static_cast<int>(type.integer & 0x7F);
        entry->table_pg = static_cast<unsigned long>(id.integer) & 0x00FFFFFF;
        entry->flags =
            flags.kind == store::StoreValue::Integer ? static_cast<int>(flags.integer) : 0;
        if (at[4] >= 0 && rows->Read(at[4], &props, &failure) &&
            props.kind == store::StoreValue::Blob && !props.bytes.empty()) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(props.bytes.data());
            if (WholeProperties(bytes, props.bytes.size())) {
                // Values of fixed-size types are read at their size whatever their record
                // says: zeros after the end keep those reads inside the copy.
                std::string copy(props.bytes);
                copy.append(32, '\0');
                entry->props = mdb_kkd_to_props(mdb_, copy.data(), props.bytes.size());
            }
        }
        failure = store::StoreError();
        g_ptr_array_add(mdb_->catalog, entry);
        ++mdb_->num_catalog;
    }
    return true;
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
