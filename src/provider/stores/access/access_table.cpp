// The tables of an Access file.
#include "stores/access/access_table.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::access {
namespace {

// Column types libmdb has no name for.
constexpr int kExtendedDateTime = 0x14;  // Access 2019's Date/Time Extended

// Frees a table definition read through libmdb on every path.
struct TableDefinition {
    MdbTableDef* table = nullptr;
    ~TableDefinition() {
        if (table)
            mdb_free_tabledef(table);
    }
};

bool PropertyIs(const MdbColumn* column, const char* key, const char* value) {
    const char* p = mdb_col_get_prop(column, key);
    return p && g_ascii_strcasecmp(p, value) == 0;
}

// The Jet type the engine reports for a column of the file.
sql::JetTypeSpec JetTypeOf(const AccessFile& file, const MdbColumn* c, int* scale) {
    sql::JetTypeSpec spec;
    switch (c->col_type) {
        case MDB_BOOL:
            spec.type = sql::JetType::YesNo;
            break;
        case MDB_BYTE:
            spec.type = sql::JetType::Byte;
            break;
        case MDB_INT:
            spec.type = sql::JetType::Short;
            break;
        case MDB_LONGINT:
            spec.type = c->is_long_auto ? sql::JetType::Counter : sql::JetType::Long;
            break;
        case MDB_MONEY:
            spec.type = sql::JetType::Currency;
            break;
        case MDB_FLOAT:
            spec.type = sql::JetType::Single;
            break;
        case MDB_DOUBLE:
            spec.type = sql::JetType::Double;
            break;
        case MDB_DATETIME:
        case kExtendedDateTime:
            spec.type = sql::JetType::DateTime;
            break;
        case MDB_TEXT: {
            // Jet 4 and ACE give the size in bytes of UTF-16.
            const int chars = file.IsJet3() ? c->col_size : c->col_size / 2;
            spec.type = sql::JetType::Text;
            spec.size = std::clamp(chars, 1, 255);
            break;
        }
        case MDB_MEMO:
            spec.type = sql::JetType::Memo;
            break;
        case MDB_BINARY:
            spec.type = c->col_size >= 1 && c->col_size <= 510 ? sql::JetType::Binary
                                                               : sql::JetType::LongBinary;
            spec.size = c->col_size;
            break;
        case MDB_REPID:
            spec.type = sql::JetType::Guid;
            break;
        case MDB_NUMERIC:
            // libmdb reads the definition's precision and scale into each other's places.
            spec.type = sql::JetType::Decimal;
            spec.precision = std::clamp(c->col_scale, 1, 28);
            spec.scale = std::clamp(c->col_prec, 0, spec.precision);
            *scale = spec.scale;
            break;
        case MDB_COMPLEX:
            // Attachments, multi-valued fields, version history: the value is the number that
            // ties the row to its values in a hidden table.
            spec.type = sql::JetType::Long;
            break;
        default:
            // Types this reader does not know come as their bytes.
            spec.type = sql::JetType::LongBinary;
            break;
    }
    return spec;
}

// libmdb numbers an index's key columns from 1 by their place among the table's columns.
const MdbColumn* KeyColumn(const MdbTableDef* table, int number) {
    if (number < 1 || static_cast<unsigned>(number) > table->num_cols)
        return nullptr;
    return static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, number - 1));
}

}  // namespace

bool EntryOf(MdbHandle* mdb, const CatalogObject& object, MdbCatalogEntry* entry) {
    if (object.catalogIndex == kNotInCatalog) {
        std::memset(entry, 0, sizeof *entry);
        entry->mdb = mdb;
        std::snprintf(entry->object_name, sizeof entry->object_name, "%s",
                      WideToUtf8(object.name).c_str());
        entry->object_type = MDB_TABLE;
        entry->table_pg = object.tablePage;
        return true;
    }
    if (object.catalogIndex >= mdb->num_catalog)
        return false;
    *entry = *static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, object.catalogIndex));
    entry->mdb = mdb;
    return true;
}

std::wstring ReadOnlyRefusal(const std::wstring& quotedFile, const std::wstring& what) {
    return L"the Access database " + quotedFile + L" is opened read-only: " + what +
           L" is not supported";
}

namespace {

// Reads the definition of a table of the file; the caller frees it. entry receives what
// the definition refers to (it must outlive the definition).
MdbTableDef* ReadDefinition(const AccessFile& file, const CatalogObject& object,
                            MdbCatalogEntry* entry, std::wstring* error) {
    if (!EntryOf(file.Handle(), object, entry)) {
        *error = L"the table '" + object.name + L"' is not in the catalog of " + QuotedFile(file);
        return nullptr;
    }
    MdbTableDef* table = mdb_read_table(entry);
    if (!table || !mdb_read_columns(table) || table->num_cols == 0 ||
        table->num_cols > MDB_MAX_COLS) {
        if (table)
            mdb_free_tabledef(table);
        *error = L"the definition of the table '" + object.name + L"' in " + QuotedFile(file) +
                 L" cannot be read: the file is damaged";
        return nullptr;
    }
    return table;
}

}  // namespace

bool ReadTableDefinition(const AccessFile& file, const CatalogObject& object,
                         std::vector<AccessColumn>* columns, std::wstring* error) {
    TableDefinition def;
    MdbCatalogEntry entry;
    def.table = ReadDefinition(file, object, &entry, error);
    if (!def.table)
        return false;
    for (unsigned i = 0; i < def.table->num_cols; ++i) {
        const auto* c = static_cast<MdbColumn*>(g_ptr_array_index(def.table->columns, i));
        AccessColumn column;
        column.mdbType = c->col_type;
        column.column.name = Utf8ToWide(c->name);
        column.column.type = JetTypeOf(file, c, &column.scale);
        // ACE calculated columns carry their expression and the type of their result as
        // properties (the result type in the numbering of libmdb's type codes).
        column.calculated = mdb_col_get_prop(c, "Expression") != nullptr;
        if (column.calculated) {
            const char* result = mdb_col_get_prop(c, "ResultType");
            column.resultType = result ? std::atoi(result) : c->col_type;
            MdbColumn as = *c;
            as.col_type = column.resultType;
            as.col_size = column.resultType == MDB_TEXT ? 510 : c->col_size;
            int ignored = 0;
            column.column.type = column.resultType == kResultDecimal
                                     ? sql::JetTypeSpec{sql::JetType::Double}
                                     : JetTypeOf(file, &as, &ignored);
        }
        column.column.nullable =
            !PropertyIs(c, "Required", "yes") && !c->is_long_auto && c->col_type != MDB_BOOL;
        if (const char* d = mdb_col_get_prop(c, "DefaultValue")) {
            column.column.hasDefault = true;
            column.column.defaultText = Utf8ToWide(d);
        }
        columns->push_back(std::move(column));
    }
    return true;
}

std::vector<store::StoreIndex> ReadTableIndexes(const AccessFile& file,
                                                const CatalogObject& object) {
    std::vector<store::StoreIndex> indexes;
    std::wstring error;
    TableDefinition def;
    MdbCatalogEntry entry;
    def.table = ReadDefinition(file, object, &entry, &error);
    if (!def.table)
        return indexes;
    // mdb_read_indices fills the table's list; what it returns tells nothing.
    mdb_read_indices(def.table);
    if (!def.table->indices)
        return indexes;
    for (unsigned i = 0; i < def.table->num_idxs; ++i) {
        const auto* idx = static_cast<MdbIndex*>(g_ptr_array_index(def.table->indices, i));
        store::StoreIndex index;
        index.name = Utf8ToWide(idx->name);
        index.primaryKey = idx->index_type == 1;
        index.unique = (idx->flags & MDB_IDX_UNIQUE) != 0;
        bool whole = idx->num_keys > 0 && idx->num_keys <= MDB_MAX_IDX_COLS;
        for (unsigned k = 0; whole && k < idx->num_keys; ++k) {
            const MdbColumn* c = KeyColumn(def.table, idx->key_col_num[k]);
            if (c)
                index.columns.push_back(Utf8ToWide(c->name));
            else
                whole = false;
        }
        // An index whose key libmdb cannot place among the columns is left out.
        if (whole && !index.name.empty())
            indexes.push_back(std::move(index));
    }
    return indexes;
}

AccessTable::AccessTable(std::shared_ptr<AccessFile> file, CatalogObject object,
                         std::vector<AccessColumn> columns)
    : file_(std::move(file)), object_(std::move(object)), access_(std::move(columns)) {
    for (const AccessColumn& c : access_)
        columns_.push_back(c.column);
}

std::vector<store::StoreIndex> AccessTable::Indexes() const {
    return ReadTableIndexes(*file_, object_);
}

std::wstring AccessTable::Type() const {
    return object_.kind == ObjectKind::SystemTable ? L"SYSTEM TABLE" : L"TABLE";
}

std::unique_ptr<store::StoreCursor> AccessTable::Open(store::StoreError* error) {
    return OpenRows(file_, object_, access_, error);
}

bool AccessTable::Refuse(const wchar_t* what, store::StoreError* error) const {
    error->refused = true;
    error->message =
        ReadOnlyRefusal(QuotedFile(*file_), what + (L" the table '" + object_.name + L"'"));
    return false;
}

bool AccessTable::Insert(const std::vector<store::StoreValue>&, store::StoreError* error) {
    return Refuse(L"inserting rows into", error);
}

bool AccessTable::Update(int64_t, const std::vector<store::StoreValue>&, store::StoreError* error) {
    return Refuse(L"updating rows of", error);
}

bool AccessTable::Delete(int64_t, store::StoreError* error) {
    return Refuse(L"deleting rows of", error);
}

LinkedTable::LinkedTable(std::wstring name, std::wstring file, std::wstring target)
    : name_(std::move(name)), file_(std::move(file)), target_(std::move(target)) {
    store::StoreColumn c;
    c.name = L"F1";
    c.type.type = sql::JetType::Text;
    c.type.size = 255;
    columns_.push_back(c);
}

std::unique_ptr<store::StoreCursor> LinkedTable::Open(store::StoreError* error) {
    error->message = L"the table '" + name_ + L"' of " + file_ + L" is a link to " + target_ +
                     L"; linked tables are not read: open that database instead";
    return nullptr;
}

}  // namespace vorn::provider::stores::access
