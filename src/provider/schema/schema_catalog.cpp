// Tables, columns and indexes read from SQLite's catalog pragmas.
#include "schema/schema_catalog.h"

#include <sqlite3.h>

#include <cwctype>

#include "schema/definition_text.h"
#include "sql/jet_sql.h"
#include "store/store_module.h"
#include "vornoledb/platform/text.h"
#include "text_helpers.h"

namespace vorn::provider::schema {
namespace {

// A prepared statement finalized on every path.
struct Statement {
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
    int Prepare(sqlite3* db, const std::string& sql) {
        return sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    }
    void Bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    std::string Text(int column) const {
        const unsigned char* p = sqlite3_column_text(stmt, column);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               static_cast<size_t>(sqlite3_column_bytes(stmt, column)))
                 : std::string();
    }
    bool IsNull(int column) const { return sqlite3_column_type(stmt, column) == SQLITE_NULL; }
    int Int(int column) const { return sqlite3_column_int(stmt, column); }
};

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    size_t i = 0;
    for (; prefix[i]; ++i)
        if (i >= text.size() || std::towlower(text[i]) != std::towlower(prefix[i]))
            return false;
    return true;
}

std::wstring TableType(sqlite3* db, const std::string& database, const std::wstring& name,
                       const std::string& kind) {
    const bool view = kind == "view";
    // A table of a foreign store says what it is (TABLE, VIEW, SYSTEM TABLE, LINK ...).
    if (kind == "virtual")
        if (auto table = store::FindStoreTable(db, database, name))
            if (database == "main")
                return table->Type();
    if (StartsWithNoCase(name, L"sqlite_") || StartsWithNoCase(name, L"__vorn") || kind == "shadow")
        return view ? L"SYSTEM VIEW" : L"SYSTEM TABLE";
    if (database == "temp")
        return view ? L"VIEW" : L"LOCAL TEMPORARY";
    return view ? L"VIEW" : L"TABLE";
}

std::wstring JoinedColumns(const std::vector<CatalogIndexColumn>& columns) {
    std::wstring text;
    for (const CatalogIndexColumn& c : columns) {
        if (!text.empty())
            text += L"_";
        text += c.named ? c.name : L"expr";
    }
    return text;
}

bool SameColumns(const std::vector<std::string>& declared,
                 const std::vector<CatalogIndexColumn>& actual) {
    if (declared.size() != actual.size())
        return false;
    for (size_t i = 0; i < declared.size(); ++i)
        if (!actual[i].named || !SameName(Utf8ToWide(declared[i]), actual[i].name))
            return false;
    return true;
}

// A name not yet used by another index of the table: base, or base_2, base_3 ...
std::wstring FreeName(const std::wstring& base, const std::vector<std::wstring>& taken) {
    auto used = [&](const std::wstring& candidate) {
        for (const std::wstring& t : taken)
            if (SameName(t, candidate))
                return true;
        return false;
    };
    if (!used(base))
        return base;
    for (unsigned n = 2;; ++n) {
        const std::wstring candidate = base + L"_" + std::to_wstring(n);
        if (!used(candidate))
            return candidate;
    }
}

struct RawIndex {
    std::string name;
    std::string origin;  // c (CREATE INDEX), u (UNIQUE), pk (PRIMARY KEY)
    bool unique = false;
    bool partial = false;
    bool markedPrimaryKey = false;  // a key added to an existing table (see below)
    CatalogIndex index;
};

// The comment that ends the text of a unique index the Jet dialect made as the primary key
// of an existing table (CREATE INDEX ... WITH PRIMARY, ALTER TABLE ... ADD PRIMARY KEY).
bool EndsWithPrimaryKeyMark(const std::string& sql) {
    static const std::string kMark = "/* PRIMARY KEY */";
    return sql.size() >= kMark.size() &&
           sql.compare(sql.size() - kMark.size(), kMark.size(), kMark) == 0;
}

}  // namespace

CatalogSnapshot::CatalogSnapshot(sqlite3* db)
    : db_(db),
      held_(sqlite3_exec(db, "SAVEPOINT vorn_catalog", nullptr, nullptr, nullptr) == SQLITE_OK) {}

CatalogSnapshot::~CatalogSnapshot() {
    if (!held_)
        return;
    // Only read: releasing cannot lose anything. Should it fail, rolling back to the
    // savepoint first makes sure the session is not left inside a transaction.
    if (sqlite3_exec(db_, "RELEASE vorn_catalog", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_exec(db_, "ROLLBACK TO vorn_catalog", nullptr, nullptr, nullptr);
        sqlite3_exec(db_, "RELEASE vorn_catalog", nullptr, nullptr, nullptr);
    }
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i])
            continue;
        if (std::towupper(a[i]) != std::towupper(b[i]) &&
            std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    }
    return true;
}

int ListTables(sqlite3* db, std::vector<CatalogTable>* tables, const std::wstring* name) {
    tables->clear();
    Statement s;
    // A name goes to SQLite's own lookup (which ignores the case of ASCII letters); when
    // that finds nothing, every table is listed, so that names SQLite does not look up
    // this way (its own sqlite_schema, letters beyond ASCII in another case) are found.
    int rc = s.Prepare(db, name ? "SELECT schema, name, type, wr FROM pragma_table_list(?1)"
                                : "SELECT schema, name, type, wr FROM pragma_table_list");
    if (rc != SQLITE_OK)
        return rc;
    if (name)
        s.Bind(1, WideToUtf8(*name));
    while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW) {
        CatalogTable t;
        t.database = s.Text(0);
        const std::string tableName = s.Text(1);
        const std::string kind = s.Text(2);
        if (t.database == "temp" && tableName == "sqlite_temp_schema")
            continue;
        t.name = Utf8ToWide(tableName);
        if (name && !SameName(t.name, *name))
            continue;
        t.isView = kind == "view";
        t.withoutRowid = s.Int(3) != 0;
        t.type = TableType(db, t.database, t.name, kind);
        if (t.database != "main" && t.database != "temp")
            t.schema = Utf8ToWide(t.database);
        tables->push_back(std::move(t));
    }
    if (rc != SQLITE_DONE)
        return rc;
    if (name && tables->empty())
        return ListTables(db, tables, nullptr);
    return SQLITE_OK;
}

int FindTable(sqlite3* db, const std::wstring& name, CatalogTable* table, bool* found) {
    *found = false;
    std::vector<CatalogTable> tables;
    const int rc = ListTables(db, &tables, &name);
    if (rc != SQLITE_OK)
        return rc;
    // The main database first, then the temporary one, then attached ones: the order in
    // which SQLite resolves a name without a schema.
    const CatalogTable* best = nullptr;
    auto rank = [](const CatalogTable& t) {
        return t.database == "main" ? 0 : t.database == "temp" ? 1 : 2;
    };
    for (const CatalogTable& t : tables)
        if (SameName(t.name, name) && (!best || rank(t) < rank(*best)))
            best = &t;
    if (best) {
        *table = *best;
        *found = true;
    }
    return SQLITE_OK;
}

int ReadColumns(sqlite3* db, const CatalogTable& table, std::vector<CatalogColumn>* columns) {
    columns->clear();
    const std::string name = WideToUtf8(table.name);
    bool keyIndex = false;  // the primary key has an index of its own
    if (!table.isView) {
        Statement s;
        int rc = s.Prepare(db, "SELECT 1 FROM pragma_index_list(?1, ?2) WHERE origin = 'pk'");
        if (rc != SQLITE_OK)
            return rc;
        s.Bind(1, name);
        s.Bind(2, table.database);
        rc = sqlite3_step(s.stmt);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return rc;
        keyIndex = rc == SQLITE_ROW;
    }
    Statement s;
    int rc = s.Prepare(db,
                       "SELECT name, type, \"notnull\", dflt_value, pk, hidden "
                       "FROM pragma_table_xinfo(?1, ?2) ORDER BY cid");
    if (rc != SQLITE_OK)
        return rc;
    s.Bind(1, name);
    s.Bind(2, table.database);
    int keyColumns = 0;
    bool needFirstRow = false;
    while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW) {
        // Hidden columns of virtual tables are not part of SELECT *.
        if (s.Int(5) == 1)
            continue;
        CatalogColumn c;
        c.name = Utf8ToWide(s.Text(0));
        c.ordinal = static_cast<uint32_t>(columns->size() + 1);
        c.declared = s.Text(1);
        c.type = TypeFromDeclaration(c.declared.c_str());
        needFirstRow = needFirstRow || c.type.fromValue;
        c.nullable = s.Int(2) == 0;
        c.hasDefault = !s.IsNull(3);
        if (c.hasDefault)
            c.defaultText = Utf8ToWide(s.Text(3));
        c.keyPosition = s.Int(4);
        if (c.keyPosition > 0)
            ++keyColumns;
        columns->push_back(std::move(c));
    }
    if (rc != SQLITE_DONE)
        return rc;
    for (CatalogColumn& c : *columns) {
        if (c.keyPosition == 0)
            continue;
        // A single INTEGER PRIMARY KEY column of a rowid table is the rowid itself; the
        // rowid can never be NULL, nor can the key columns of a WITHOUT ROWID table.
        std::wstring declared = Utf8ToWide(c.declared);
        c.rowid = !table.isView && !table.withoutRowid && keyColumns == 1 && !keyIndex &&
                  SameName(declared, L"INTEGER");
        if (c.rowid || table.withoutRowid)
            c.nullable = false;
    }
    // A foreign store's columns carry their defaults and AutoNumber columns themselves.
    if (auto storeTable =
            table.isView ? nullptr : store::FindStoreTable(db, table.database, table.name)) {
        for (const store::StoreColumn& sc : storeTable->Columns()) {
            for (CatalogColumn& c : *columns) {
                if (c.name != sc.name)
                    continue;
                c.hasDefault = sc.hasDefault;
                c.defaultText = sc.defaultText;
                c.identity = sc.type.type == sql::JetType::Counter;
                c.seed = sc.type.seed;
                c.step = sc.type.step;
                if (c.identity)
                    c.nullable = false;
            }
        }
        return SQLITE_OK;  // every store column has a declared type
    }
    for (CatalogColumn& c : *columns) {
        long long seed = 0, step = 1;
        if (!table.isView && sql::GetIdentityInfo(db, table.name, c.name, &seed, &step)) {
            c.identity = true;
            c.seed = seed;
            c.step = step;
        } else if (c.rowid) {
            c.identity = true;
            c.seed = 1;
            c.step = 1;
        }
        if (c.identity)
            c.nullable = false;
    }
    if (!needFirstRow)
        return SQLITE_OK;

    // Columns without a usable declaration: the type of the first value of SELECT *.
    Statement first;
    rc = first.Prepare(db, "SELECT * FROM " + QuotedSqlName(table.database) + "." +
                               QuotedSqlName(name) + " LIMIT 1");
    if (rc != SQLITE_OK)
        return rc;
    rc = sqlite3_step(first.stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        return rc;
    const bool haveRow = rc == SQLITE_ROW;
    const int count = sqlite3_column_count(first.stmt);
    for (CatalogColumn& c : *columns) {
        if (!c.type.fromValue)
            continue;
        const int i = static_cast<int>(c.ordinal) - 1;
        if (haveRow && i < count) {
            const int storage = sqlite3_column_type(first.stmt, i);
            const size_t bytes = storage == SQLITE_TEXT || storage == SQLITE_BLOB
                                     ? static_cast<size_t>(sqlite3_column_bytes(first.stmt, i))
                                     : 0;
            c.type = TypeFromStorageClass(storage, bytes);
        } else {
            c.type = TypeFromStorageClass(SQLITE_NULL, 0);
        }
    }
    return SQLITE_OK;
}

int ReadIndexes(sqlite3* db, const DefinitionTexts& texts, const CatalogTable& table,
                const std::vector<CatalogColumn>& columns, std::vector<CatalogIndex>* indexes) {
    indexes->clear();
    if (table.isView)
        return SQLITE_OK;
    if (auto storeTable = store::FindStoreTable(db, table.database, table.name)) {
        // A foreign store's indexes are its own to report.
        for (const store::StoreIndex& si : storeTable->Indexes()) {
            CatalogIndex index;
            index.name = si.name;
            index.primaryKey = si.primaryKey;
            index.unique = si.unique || si.primaryKey;
            index.refusesNull = si.primaryKey;
            for (const std::wstring& c : si.columns)
                index.columns.push_back({true, c, false});
            indexes->push_back(std::move(index));
        }
        return SQLITE_OK;
    }
    const std::string name = WideToUtf8(table.name);
    std::string tableSql;
    int rc = texts.Find(table.database, "table", name, &tableSql);
    if (rc != SQLITE_OK)
        return rc;
    std::vector<DeclaredConstraint> declared = ReadDeclaredConstraints(tableSql);

    std::vector<RawIndex> raw;
    {
        Statement s;
        rc = s.Prepare(db,
                       "SELECT name, \"unique\", origin, partial FROM pragma_index_list(?1, ?2) "
                       "ORDER BY seq DESC");
        if (rc != SQLITE_OK)
            return rc;
        s.Bind(1, name);
        s.Bind(2, table.database);
        while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW) {
            RawIndex r;
            r.name = s.Text(0);
            r.unique = s.Int(1) != 0;
            r.origin = s.Text(2);
            r.partial = s.Int(3) != 0;
            std::string indexSql;
            if (r.origin == "c" &&
                texts.Find(table.database, "index", r.name, &indexSql) == SQLITE_OK)
                r.markedPrimaryKey = EndsWithPrimaryKeyMark(indexSql);
            raw.push_back(std::move(r));
        }
        if (rc != SQLITE_DONE)
            return rc;
    }
    for (RawIndex& r : raw) {
        Statement s;
        rc = s.Prepare(db,
                       "SELECT cid, name, \"desc\" FROM pragma_index_xinfo(?1, ?2) WHERE key = 1 "
                       "ORDER BY seqno");
        if (rc != SQLITE_OK)
            return rc;
        s.Bind(1, r.name);
        s.Bind(2, table.database);
        while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW) {
            CatalogIndexColumn c;
            c.named = !s.IsNull(1) && s.Int(0) >= 0;
            if (c.named)
                c.name = Utf8ToWide(s.Text(1));
            c.descending = s.Int(2) != 0;
            r.index.columns.push_back(std::move(c));
        }
        if (rc != SQLITE_DONE)
            return rc;
        if (r.partial) {
            std::string indexSql;
            rc = texts.Find(table.database, "index", r.name, &indexSql);
            if (rc != SQLITE_OK)
                return rc;
            r.index.condition = Utf8ToWide(ReadIndexCondition(indexSql));
        }
    }

    // Names: indexes made by CREATE INDEX keep theirs; constraint indexes take the name
    // their constraint was given, or a made-up one that no other index of the table has.
    std::vector<std::wstring> taken;
    for (const RawIndex& r : raw)
        if (r.origin == "c")
            taken.push_back(Utf8ToWide(r.name));
    std::vector<bool> used(declared.size(), false);
    auto constraintName = [&](ConstraintKind kind, const std::vector<CatalogIndexColumn>& keys) {
        for (size_t i = 0; i < declared.size(); ++i) {
            if (used[i] || declared[i].kind != kind)
                continue;
            if (kind == ConstraintKind::Unique && !SameColumns(declared[i].columns, keys))
                continue;
            used[i] = true;
            return Utf8ToWide(declared[i].name);
        }
        return std::wstring();
    };
    auto keyName = [&](ConstraintKind kind, const std::vector<CatalogIndexColumn>& keys) {
        std::wstring given = constraintName(kind, keys);
        if (given.empty())
            given = FreeName(kind == ConstraintKind::PrimaryKey ? std::wstring(L"PrimaryKey")
                                                                : L"Unique_" + JoinedColumns(keys),
                             taken);
        taken.push_back(given);
        return given;
    };
    auto refusesNull = [&](const std::vector<CatalogIndexColumn>& keys) {
        if (keys.empty())
            return false;
        for (const CatalogIndexColumn& k : keys) {
            if (!k.named)
                return false;
            bool notNull = false;
            for (const CatalogColumn& c : columns)
                if (SameName(c.name, k.name))
                    notNull = !c.nullable;
            if (!notNull)
                return false;
        }
        return true;
    };

    // The rowid primary key, which has no index in SQLite, comes first.
    for (const CatalogColumn& c : columns) {
        if (!c.rowid)
            continue;
        CatalogIndex key;
        key.columns.push_back({true, c.name, false});
        key.name = keyName(ConstraintKind::PrimaryKey, key.columns);
        key.primaryKey = true;
        key.unique = true;
        key.clustered = true;
        key.refusesNull = true;
        key.constraint = true;
        indexes->push_back(std::move(key));
    }
    for (RawIndex& r : raw) {
        CatalogIndex& index = r.index;
        index.primaryKey = r.origin == "pk" || r.markedPrimaryKey;
        index.unique = r.unique;
        index.partial = r.partial;
        index.clustered = index.primaryKey && table.withoutRowid;
        index.constraint = r.origin != "c" || r.markedPrimaryKey;
        if (r.origin == "pk")
            index.name = keyName(ConstraintKind::PrimaryKey, index.columns);
        else if (r.origin == "u")
            index.name = keyName(ConstraintKind::Unique, index.columns);
        else
            index.name = Utf8ToWide(r.name);
        index.refusesNull = index.clustered || refusesNull(index.columns);
        indexes->push_back(std::move(index));
    }
    return SQLITE_OK;
}

int ReadChecks(const DefinitionTexts& texts, const CatalogTable& table,
               std::vector<CatalogCheck>* checks) {
    checks->clear();
    if (table.isView)
        return SQLITE_OK;
    std::string sql;
    const int rc = texts.Find(table.database, "table", WideToUtf8(table.name), &sql);
    if (rc != SQLITE_OK)
        return rc;
    for (const DeclaredConstraint& c : ReadDeclaredConstraints(sql))
        if (c.kind == ConstraintKind::Check)
            checks->push_back({Utf8ToWide(c.name), Utf8ToWide(c.text)});
    return SQLITE_OK;
}

int ReadForeignKeys(sqlite3* db, const CatalogTable& table, std::vector<CatalogForeignKey>* keys) {
    keys->clear();
    if (table.isView)
        return SQLITE_OK;
    Statement s;
    int rc = s.Prepare(db,
                       "SELECT id, \"table\", \"from\", \"to\", on_update, on_delete, \"match\" "
                       "FROM pragma_foreign_key_list(?1, ?2) ORDER BY id DESC, seq");
    if (rc != SQLITE_OK)
        return rc;
    s.Bind(1, WideToUtf8(table.name));
    s.Bind(2, table.database);
    int current = -1;
    bool toPrimaryKey = false;
    std::vector<bool> needsKey;
    while ((rc = sqlite3_step(s.stmt)) == SQLITE_ROW) {
        const int id = s.Int(0);
        if (keys->empty() || id != current) {
            current = id;
            CatalogForeignKey k;
            k.referencedTable = Utf8ToWide(s.Text(1));
            k.onUpdate = s.Text(4);
            k.onDelete = s.Text(5);
            k.match = s.Text(6);
            keys->push_back(std::move(k));
            toPrimaryKey = s.IsNull(3);
            needsKey.push_back(toPrimaryKey);
        }
        keys->back().columns.push_back(Utf8ToWide(s.Text(2)));
        if (!toPrimaryKey)
            keys->back().referencedColumns.push_back(Utf8ToWide(s.Text(3)));
    }
    if (rc != SQLITE_DONE)
        return rc;
    // Keys that refer to the primary key of the referenced table take its columns.
    for (size_t i = 0; i < keys->size(); ++i) {
        if (!needsKey[i])
            continue;
        CatalogTable parent;
        bool found = false;
        rc = FindTable(db, (*keys)[i].referencedTable, &parent, &found);
        if (rc != SQLITE_OK)
            return rc;
        if (!found)
            continue;
        std::vector<CatalogColumn> parentColumns;
        rc = ReadColumns(db, parent, &parentColumns);
        if (rc != SQLITE_OK)
            return rc;
        for (int position = 1;; ++position) {
            const CatalogColumn* column = nullptr;
            for (const CatalogColumn& c : parentColumns)
                if (c.keyPosition == position)
                    column = &c;
            if (!column)
                break;
            (*keys)[i].referencedColumns.push_back(column->name);
        }
    }
    return SQLITE_OK;
}

}  // namespace vorn::provider::schema
