// Table definitions for ITableCreation.
#include "schema/table_definition.h"

#include <sqlite3.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "provider_errors.h"
#include "session_requests.h"
#include "schema/schema_catalog.h"
#include "sqlite_errors.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::schema {
namespace {

// Constraint types and referential rules of DBCONSTRAINTDESC.
constexpr DWORD kConstraintUnique = 0x0;      // DBCONSTRAINTTYPE_UNIQUE
constexpr DWORD kConstraintForeignKey = 0x1;  // DBCONSTRAINTTYPE_FOREIGNKEY
constexpr DWORD kConstraintPrimaryKey = 0x2;  // DBCONSTRAINTTYPE_PRIMARYKEY
constexpr DWORD kConstraintCheck = 0x4;       // DBCONSTRAINTTYPE_CHECK
constexpr DWORD kRuleNoAction = 0;            // DBUPDELRULE_NOACTION
constexpr DWORD kRuleCascade = 1;             // DBUPDELRULE_CASCADE
constexpr DWORD kRuleSetNull = 2;             // DBUPDELRULE_SETNULL
constexpr DWORD kRuleSetDefault = 3;          // DBUPDELRULE_SETDEFAULT
constexpr DWORD kMatchFull = 0;               // DBMATCHTYPE_FULL
constexpr DWORD kMatchNone = 1;               // DBMATCHTYPE_NONE
constexpr DWORD kMatchPartial = 2;            // DBMATCHTYPE_PARTIAL

// Strings of the definition, placed in one buffer at the end: each field that points at a
// string is noted with the string's offset.
class StringPool {
  public:
    void Point(LPOLESTR* field, const std::wstring& text) {
        fixups_.push_back({field, chars_.size()});
        chars_ += text;
        chars_.push_back(L'\0');
    }
    // Copies the strings into one block for *out and points the fields at them; with no
    // out, the fields stay null. False when the block cannot be allocated.
    bool Place(OLECHAR** out) {
        if (!out || fixups_.empty())
            return true;
        auto* block = static_cast<OLECHAR*>(CoTaskMemAlloc(chars_.size() * sizeof(OLECHAR)));
        if (!block)
            return false;
        std::memcpy(block, chars_.data(), chars_.size() * sizeof(OLECHAR));
        for (const Fixup& f : fixups_)
            *f.field = block + f.offset;
        *out = block;
        return true;
    }

  private:
    struct Fixup {
        LPOLESTR* field;
        size_t offset;
    };
    std::wstring chars_;
    std::vector<Fixup> fixups_;
};

template <class T>
T* AllocArray(size_t count) {
    if (count == 0)
        return nullptr;
    auto* p = static_cast<T*>(CoTaskMemAlloc(count * sizeof(T)));
    if (p)
        std::memset(static_cast<void*>(p), 0, count * sizeof(T));
    return p;
}

void FreeConstraintDescs(DBCONSTRAINTDESC* descs, size_t count) {
    if (!descs)
        return;
    for (size_t i = 0; i < count; ++i) {
        DBCONSTRAINTDESC& d = descs[i];
        CoTaskMemFree(d.pConstraintID);
        CoTaskMemFree(d.rgColumnList);
        CoTaskMemFree(d.pReferencedTableID);
        CoTaskMemFree(d.rgForeignKeyColumnList);
        CoTaskMemFree(d.rgReserved);
    }
    CoTaskMemFree(descs);
}

struct PropertyValue {
    DBPROPID id;
    VARIANT value;
};

VARIANT BoolValue(bool b) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT IntegerValue(long long n) {
    VARIANT v;
    VariantInit(&v);
    if (n >= INT32_MIN && n <= INT32_MAX) {
        v.vt = VT_I4;
        v.lVal = static_cast<LONG>(n);
    } else {
        v.vt = VT_I8;
        v.llVal = n;
    }
    return v;
}

DWORD RuleOf(const std::string& rule) {
    if (rule == "CASCADE")
        return kRuleCascade;
    if (rule == "SET NULL")
        return kRuleSetNull;
    if (rule == "SET DEFAULT")
        return kRuleSetDefault;
    return kRuleNoAction;  // NO ACTION and RESTRICT
}

DWORD MatchOf(const std::string& match) {
    if (match == "FULL")
        return kMatchFull;
    if (match == "PARTIAL")
        return kMatchPartial;
    return kMatchNone;  // SQLite's default, NONE (the SIMPLE match)
}

void NameId(DBID* id, StringPool* pool, const std::wstring& name) {
    std::memset(id, 0, sizeof *id);
    id->eKind = DBKIND_NAME;
    pool->Point(&id->uName.pwszName, name);
}

// A constraint of the definition before it is laid out for the caller.
struct Constraint {
    DWORD type = kConstraintUnique;
    std::wstring name;
    std::vector<std::wstring> columns;
    std::wstring referencedTable;
    std::vector<std::wstring> referencedColumns;
    std::wstring text;
    DWORD updateRule = kRuleNoAction, deleteRule = kRuleNoAction, match = kMatchNone;
};

class Definition {
  public:
    Definition(sqlite3* db, const DefinitionTexts& texts, const CatalogTable& table)
        : db_(db), texts_(texts), table_(table) {}

    int Read(bool withConstraints) {
        int rc = ReadColumns(db_, table_, &columns_);
        if (rc == SQLITE_OK)
            rc = ReadIndexes(db_, texts_, table_, columns_, &indexes_);
        if (rc != SQLITE_OK || !withConstraints)
            return rc;
        for (const CatalogIndex& index : indexes_) {
            if (!index.constraint)
                continue;
            Constraint c;
            c.type = index.primaryKey ? kConstraintPrimaryKey : kConstraintUnique;
            c.name = index.name;
            for (const CatalogIndexColumn& k : index.columns)
                c.columns.push_back(k.name);
            constraints_.push_back(std::move(c));
        }
        std::vector<CatalogCheck> checks;
        rc = ReadChecks(texts_, table_, &checks);
        if (rc != SQLITE_OK)
            return rc;
        for (const CatalogCheck& check : checks) {
            Constraint c;
            c.type = kConstraintCheck;
            c.name = check.name;
            c.text = check.text;
            constraints_.push_back(std::move(c));
        }
        std::vector<CatalogForeignKey> keys;
        rc = ReadForeignKeys(db_, table_, &keys);
        if (rc != SQLITE_OK)
            return rc;
        for (CatalogForeignKey& key : keys) {
            Constraint c;
            c.type = kConstraintForeignKey;
            c.columns = std::move(key.columns);
            c.referencedTable = std::move(key.referencedTable);
            c.referencedColumns = std::move(key.referencedColumns);
            c.updateRule = RuleOf(key.onUpdate);
            c.deleteRule = RuleOf(key.onDelete);
            c.match = MatchOf(key.match);
            constraints_.push_back(std::move(c));
        }
        return SQLITE_OK;
    }

    // The column properties of one column, in a fixed order.
    std::vector<PropertyValue> Properties(const CatalogColumn& column) const {
        std::vector<PropertyValue> p;
        p.push_back({DBPROP_COL_AUTOINCREMENT, BoolValue(column.identity)});
        if (column.hasDefault) {
            VARIANT v;
            VariantInit(&v);
            v.vt = VT_BSTR;
            v.bstrVal = SysAllocString(column.defaultText.c_str());
            p.push_back({DBPROP_COL_DEFAULT, v});
        }
        p.push_back({DBPROP_COL_FIXEDLENGTH,
                     BoolValue((column.type.flags & DBCOLUMNFLAGS_ISFIXEDLENGTH) != 0)});
        p.push_back({DBPROP_COL_NULLABLE, BoolValue(column.nullable)});
        p.push_back({DBPROP_COL_PRIMARYKEY, BoolValue(AloneIn(column, true))});
        p.push_back({DBPROP_COL_UNIQUE, BoolValue(AloneIn(column, false))});
        if (column.identity) {
            p.push_back({DBPROP_COL_SEED, IntegerValue(column.seed)});
            p.push_back({DBPROP_COL_INCREMENT, IntegerValue(column.step)});
        }
        return p;
    }

    const std::vector<CatalogColumn>& Columns() const { return columns_; }
    const std::vector<Constraint>& Constraints() const { return constraints_; }

  private:
    // Whether the column alone is the primary key (primaryKey) or a unique key.
    bool AloneIn(const CatalogColumn& column, bool primaryKey) const {
        for (const CatalogIndex& index : indexes_) {
            if (index.columns.size() != 1 || !index.columns[0].named || index.partial)
                continue;
            if (primaryKey ? !index.primaryKey : !index.unique)
                continue;
            if (SameName(index.columns[0].name, column.name))
                return true;
        }
        return false;
    }

    sqlite3* db_;
    const DefinitionTexts& texts_;
    CatalogTable table_;
    std::vector<CatalogColumn> columns_;
    std::vector<CatalogIndex> indexes_;
    std::vector<Constraint> constraints_;
};

// Lays out the column descriptions; false when out of memory (nothing is left allocated).
bool LayOutColumns(const Definition& def, StringPool* pool, DBCOLUMNDESC** out) {
    const std::vector<CatalogColumn>& columns = def.Columns();
    *out = nullptr;
    if (columns.empty())
        return true;
    DBCOLUMNDESC* descs = AllocArray<DBCOLUMNDESC>(columns.size());
    if (!descs)
        return false;
    for (size_t i = 0; i < columns.size(); ++i) {
        const CatalogColumn& c = columns[i];
        DBCOLUMNDESC& d = descs[i];
        if (!c.declared.empty())
            pool->Point(&d.pwszTypeName, Utf8ToWide(c.declared));
        NameId(&d.dbcid, pool, c.name);
        d.ulColumnSize = c.type.size;
        d.wType = c.type.type;
        d.bPrecision = c.type.precision;
        d.bScale = c.type.scale;
        std::vector<PropertyValue> properties = def.Properties(c);
        d.rgPropertySets = AllocArray<DBPROPSET>(1);
        DBPROP* props = AllocArray<DBPROP>(properties.size());
        if (!d.rgPropertySets || !props) {
            for (PropertyValue& p : properties)
                VariantClear(&p.value);
            CoTaskMemFree(props);
            FreeColumnDescs(descs, columns.size());
            return false;
        }
        d.cPropertySets = 1;
        DBPROPSET& set = d.rgPropertySets[0];
        set.guidPropertySet = DBPROPSET_COLUMN;
        set.rgProperties = props;
        set.cProperties = static_cast<ULONG>(properties.size());
        for (size_t p = 0; p < properties.size(); ++p) {
            props[p].dwPropertyID = properties[p].id;
            props[p].dwOptions = DBPROPOPTIONS_REQUIRED;
            props[p].dwStatus = DBPROPSTATUS_OK;
            props[p].colid = DB_NULLID;
            props[p].vValue = properties[p].value;  // the VARIANT moves into the array
        }
    }
    *out = descs;
    return true;
}

// Lays out the constraints; false when out of memory (nothing is left allocated).
bool LayOutConstraints(const Definition& def, StringPool* pool, DBCONSTRAINTDESC** out) {
    const std::vector<Constraint>& constraints = def.Constraints();
    *out = nullptr;
    if (constraints.empty())
        return true;
    DBCONSTRAINTDESC* descs = AllocArray<DBCONSTRAINTDESC>(constraints.size());
    if (!descs)
        return false;
    for (size_t i = 0; i < constraints.size(); ++i) {
        const Constraint& c = constraints[i];
        DBCONSTRAINTDESC& d = descs[i];
        d.ConstraintType = c.type;
        d.UpdateRule = c.updateRule;
        d.DeleteRule = c.deleteRule;
        d.MatchType = c.match;
        bool ok = true;
        if (!c.name.empty()) {
            d.pConstraintID = AllocArray<DBID>(1);
            ok = ok && d.pConstraintID;
            if (d.pConstraintID)
                NameId(d.pConstraintID, pool, c.name);
        }
        if (!c.columns.empty()) {
            d.rgColumnList = AllocArray<DBID>(c.columns.size());
            ok = ok && d.rgColumnList;
            d.cColumns = d.rgColumnList ? static_cast<DBORDINAL>(c.columns.size()) : 0;
            for (DBORDINAL k = 0; k < d.cColumns; ++k)
                NameId(&d.rgColumnList[k], pool, c.columns[k]);
        }
        if (c.type == kConstraintForeignKey) {
            d.pReferencedTableID = AllocArray<DBID>(1);
            ok = ok && d.pReferencedTableID;
            if (d.pReferencedTableID)
                NameId(d.pReferencedTableID, pool, c.referencedTable);
            if (!c.referencedColumns.empty()) {
                d.rgForeignKeyColumnList = AllocArray<DBID>(c.referencedColumns.size());
                ok = ok && d.rgForeignKeyColumnList;
                d.cForeignKeyColumns = d.rgForeignKeyColumnList
                                           ? static_cast<DBORDINAL>(c.referencedColumns.size())
                                           : 0;
                for (DBORDINAL k = 0; k < d.cForeignKeyColumns; ++k)
                    NameId(&d.rgForeignKeyColumnList[k], pool, c.referencedColumns[k]);
            }
        }
        if (c.type == kConstraintCheck)
            pool->Point(&d.pwszConstraintText, c.text);
        if (!ok) {
            FreeConstraintDescs(descs, constraints.size());
            return false;
        }
    }
    *out = descs;
    return true;
}

}  // namespace

HRESULT GetTableDefinition(const std::shared_ptr<Database>& db, DBID* pTableID,
                           DBORDINAL* pcColumnDescs, DBCOLUMNDESC* prgColumnDescs[],
                           ULONG* pcPropertySets, DBPROPSET* prgPropertySets[],
                           ULONG* pcConstraintDescs, DBCONSTRAINTDESC* prgConstraintDescs[],
                           OLECHAR** ppwszStringBuffer) {
    std::wstring name;
    const HRESULT checked = ReadTableDefinitionArgs(
        pTableID, pcColumnDescs, prgColumnDescs, pcPropertySets, prgPropertySets, pcConstraintDescs,
        prgConstraintDescs, ppwszStringBuffer, &name);
    if (FAILED(checked))
        return checked;
    sqlite3* h = db->Handle();
    const bool ownTransaction = sqlite3_get_autocommit(h) == 0;
    const CatalogSnapshot snapshot(h);
    CatalogTable table;
    bool found = false;
    int rc = FindTable(h, name, &table, &found);
    if (rc != SQLITE_OK)
        return PostSqliteError(h, rc, IID_ITableCreation,
                               L"could not look up the table " + Quoted(name));
    if (!found) {
        ErrorRecord record =
            MakeProviderRecord(DB_E_NOTABLE, IID_ITableCreation,
                               L"the table " + Quoted(name) + L" does not exist in the database " +
                                   Quoted(db->Path()));
        record.hasSqlInfo = true;
        record.sqlState = L"42S02";
        record.nativeError = SQLITE_ERROR;
        return PostError(record);
    }
    std::shared_ptr<const DefinitionTexts> texts;
    rc = DefinitionTexts::Current(db, !ownTransaction, &texts);
    if (rc != SQLITE_OK)
        return PostSqliteError(h, rc, IID_ITableCreation,
                               L"could not read the definition of the table " + Quoted(name));
    Definition def(h, *texts, table);
    rc = def.Read(prgConstraintDescs != nullptr);
    if (rc != SQLITE_OK)
        return PostSqliteError(h, rc, IID_ITableCreation,
                               L"could not read the definition of the table " + Quoted(name));

    StringPool pool;
    DBCOLUMNDESC* columns = nullptr;
    DBCONSTRAINTDESC* constraints = nullptr;
    const size_t columnCount = prgColumnDescs ? def.Columns().size() : 0;
    const size_t constraintCount = prgConstraintDescs ? def.Constraints().size() : 0;
    bool ok = !prgColumnDescs || LayOutColumns(def, &pool, &columns);
    ok = ok && (!prgConstraintDescs || LayOutConstraints(def, &pool, &constraints));
    ok = ok && pool.Place(ppwszStringBuffer);
    if (!ok) {
        FreeColumnDescs(columns, columnCount);
        FreeConstraintDescs(constraints, constraintCount);
        return PostProviderError(E_OUTOFMEMORY, IID_ITableCreation,
                                 L"out of memory describing the table " + Quoted(name));
    }
    if (prgColumnDescs) {
        *pcColumnDescs = static_cast<DBORDINAL>(columnCount);
        *prgColumnDescs = columns;
    }
    if (prgConstraintDescs) {
        *pcConstraintDescs = static_cast<ULONG>(constraintCount);
        *prgConstraintDescs = constraints;
    }
    ClearProviderError();
    return S_OK;
}

}  // namespace vorn::provider::schema
