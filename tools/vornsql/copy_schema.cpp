// Reading a source table's shape for vornsql copy.
#include "copy_schema.h"

#include <algorithm>
#include <cwctype>
#include <map>

#include <vornoledb/columns.h>
#include <vornoledb/platform/text.h>
#include <vornoledb/tables.h>
#include <vornoledb/windows_names.h>

namespace vornsql {
namespace {

// The INDEXES schema rowset's GUID, as OLE DB defines it (the library does not export its
// constant).
constexpr GUID kIndexesSchema = {
    0xc8b5221e, 0x5cf3, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};

// The INDEXES rowset with the columns the library's index reader leaves out: primary key,
// uniqueness, position and collation of each column.
class IndexDetails : public VornOleDbSchemaReader {
  public:
    enum Slot : size_t { kName, kPrimaryKey, kUnique, kOrdinal, kColumn, kCollation };

    bool Open(VornOleDbConnection* connection, const wchar_t* table) {
        static const ColumnBinding kColumns[] = {
            {6, DBTYPE_WSTR},   // INDEX_NAME
            {7, DBTYPE_BOOL},   // PRIMARY_KEY
            {8, DBTYPE_BOOL},   // UNIQUE
            {17, DBTYPE_UI4},   // ORDINAL_POSITION
            {18, DBTYPE_WSTR},  // COLUMN_NAME
            {21, DBTYPE_I2},    // COLLATION
        };
        // TABLE_CATALOG, TABLE_SCHEMA, INDEX_NAME, TYPE, TABLE_NAME.
        const wchar_t* restrictions[] = {nullptr, nullptr, nullptr, nullptr, table};
        return OpenSchema(connection, kIndexesSchema, restrictions, 5, kColumns,
                          sizeof kColumns / sizeof kColumns[0]);
    }
    bool Next() { return MoveNextUnrecorded(); }
    std::wstring Text(Slot f) const {
        std::wstring value;
        TextField(f, value);
        return value;
    }
    bool Bool(Slot f) const { return Field<VARIANT_BOOL>(f) != 0; }
    unsigned long Ordinal() const { return Field<uint32_t>(kOrdinal); }
    bool Descending() const { return Field<int16_t>(kCollation) == 2; }  // DB_COLLATION_DESC
    void Close() { CloseSchema(); }
    ~IndexDetails() { CloseSchema(); }
};

std::string Why(VornOleDbErrorInfo& errors) {
    const std::string text = WideToUtf8(errors.GetErrorText());
    return text.empty() ? "the provider gave no reason" : text;
}

}  // namespace

bool ReadTableNames(VornOleDbConnection& source, std::vector<std::wstring>* names,
                    std::string* error) {
    VornOleDbTables tables;
    if (!tables.Open(&source, nullptr, nullptr, nullptr, L"TABLE")) {
        *error = "could not list the tables of the source: " + Why(tables);
        return false;
    }
    names->clear();
    tables.GetTableList(*names);
    return true;
}

bool ReadTable(VornOleDbConnection& source, const std::wstring& name, CopyTable* table,
               std::string* error) {
    table->name = name;
    table->target = name;
    // A text folder names a file's table "parts#csv": the copy is the table "parts".
    const size_t hash = name.rfind(L'#');
    if (hash != std::wstring::npos && hash > 0) {
        std::wstring ext = name.substr(hash + 1);
        for (wchar_t& c : ext)
            c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
        if (ext == L"csv" || ext == L"txt" || ext == L"tsv" || ext == L"tab")
            table->target = name.substr(0, hash);
    }
    // A workbook names a sheet's table "Sheet1$": the copy is the table "Sheet1".
    if (name.size() > 1 && name.back() == L'$')
        table->target = name.substr(0, name.size() - 1);
    table->columns.clear();
    table->indexes.clear();
    VornOleDbColumns columns;
    if (!columns.Open(&source, nullptr, nullptr, name.c_str(), nullptr, true)) {
        *error = "could not read the columns of '" + WideToUtf8(name) + "': " + Why(columns);
        return false;
    }
    while (columns.FetchNext()) {
        CopyColumn c;
        columns.GetName(c.name);
        c.type = columns.DataType();
        c.maxLength = columns.MaxLength();
        c.precision = columns.NumericPrecision();
        c.scale = columns.NumericScale();
        c.isLong = (columns.Flags() & DBCOLUMNFLAGS_ISLONG) != 0;
        c.nullable = columns.IsNullable();
        c.identity = columns.IsIdentity();
        if (columns.HasDefault())
            columns.GetDefault(c.defaultText);
        if (c.identity) {
            c.seed = columns.Seed();
            c.increment = columns.Increment() == 0 ? 1 : columns.Increment();
        }
        table->columns.push_back(c);
    }
    if (table->columns.empty()) {
        *error = "the table '" + WideToUtf8(name) + "' has no columns the source can describe";
        return false;
    }
    IndexDetails indexes;
    // A source without indexes (a text folder) answers with no rows or refuses the
    // rowset: either way the table is copied without indexes.
    if (!indexes.Open(&source, name.c_str()))
        return true;
    std::map<std::wstring, size_t> byName;
    std::vector<std::pair<unsigned long, std::pair<size_t, CopyIndexColumn>>> ordered;
    while (indexes.Next()) {
        const std::wstring index = indexes.Text(IndexDetails::kName);
        const std::wstring column = indexes.Text(IndexDetails::kColumn);
        if (index.empty() || column.empty())
            continue;  // an index over an expression is not copied
        auto it = byName.find(index);
        if (it == byName.end()) {
            CopyIndex i;
            i.name = index;
            i.primaryKey = indexes.Bool(IndexDetails::kPrimaryKey);
            i.unique = indexes.Bool(IndexDetails::kUnique) || i.primaryKey;
            it = byName.emplace(index, table->indexes.size()).first;
            table->indexes.push_back(i);
        }
        ordered.push_back({indexes.Ordinal(), {it->second, {column, indexes.Descending()}}});
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& o : ordered)
        table->indexes[o.second.first].columns.push_back(o.second.second);
    return true;
}

}  // namespace vornsql
