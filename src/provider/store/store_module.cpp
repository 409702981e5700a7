// The virtual-table module over store tables, and which stores each handle reaches.
#include "store/store_module.h"

#include <sqlite3.h>

#include <cstring>
#include <cwctype>
#include <map>
#include <mutex>
#include <unordered_map>

#include "connection_string.h"
#include "sql/jet_sql.h"
#include "store/store_kinds.h"
#include "vornoledb/platform/text.h"
#include "text_helpers.h"

namespace vorn::provider::store {
namespace {

constexpr char kModuleName[] = "vorn_store";
constexpr char kExternalPrefix[] = "__vorn_ext_";

// The stores one handle reaches and the tables it has made of them.
struct HandleStores {
    sqlite3* db = nullptr;
    std::shared_ptr<Store> main;
    std::map<std::string, std::shared_ptr<Store>> external;   // by the source's key
    std::map<std::string, std::weak_ptr<StoreTable>> tables;  // by TableKey
};

std::mutex g_handlesMutex;
std::unordered_map<sqlite3*, HandleStores*>& Handles() {
    static auto* handles = new std::unordered_map<sqlite3*, HandleStores*>;
    return *handles;
}

HandleStores* StoresOf(sqlite3* db) {
    std::lock_guard<std::mutex> lock(g_handlesMutex);
    auto it = Handles().find(db);
    return it == Handles().end() ? nullptr : it->second;
}

void DestroyHandleStores(void* p) {
    auto* stores = static_cast<HandleStores*>(p);
    {
        std::lock_guard<std::mutex> lock(g_handlesMutex);
        auto it = Handles().find(stores->db);
        if (it != Handles().end() && it->second == stores)
            Handles().erase(it);
    }
    delete stores;
}

std::string TableKey(const std::string& database, const std::wstring& name) {
    return database + '\n' + WideToUtf8(WideLower(name));
}

std::string QuoteIdentifier(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

std::string QuoteLiteral(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

// A module argument as written in CREATE VIRTUAL TABLE: a quoted literal loses its quotes.
std::string Unquote(const char* arg) {
    std::string s(arg);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    size_t start = 0;
    while (start < s.size() && (s[start] == ' ' || s[start] == '\t'))
        ++start;
    s = s.substr(start);
    if (s.size() >= 2 && s.front() == '\'' && s.back() == '\'') {
        std::string out;
        for (size_t i = 1; i + 1 < s.size(); ++i) {
            out += s[i];
            if (s[i] == '\'' && s[i + 1] == '\'')
                ++i;
        }
        return out;
    }
    return s;
}

uint64_t Fnv1a(const std::string& text) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

char* Message(const std::wstring& text) {
    return sqlite3_mprintf("%s", WideToUtf8(text).c_str());
}

// A table of the main store that could not be read when the data source opened (a damaged
// file among good ones): it is listed all the same, and reading it reports why.
class UnreadableTable final : public StoreTable {
  public:
    UnreadableTable(std::wstring name, std::wstring why, std::wstring type = L"TABLE")
        : name_(std::move(name)), why_(std::move(why)), type_(std::move(type)) {
        StoreColumn c;
        c.name = L"F1";
        c.type.type = sql::JetType::Text;
        c.type.size = 255;
        columns_.push_back(c);
    }
    const std::wstring& Name() const override { return name_; }
    std::wstring Type() const override { return type_; }
    const std::vector<StoreColumn>& Columns() const override { return columns_; }
    std::unique_ptr<StoreCursor> Open(StoreError* error) override {
        error->message = why_;
        return nullptr;
    }

  private:
    std::wstring name_;
    std::wstring why_;
    std::wstring type_;
    std::vector<StoreColumn> columns_;
};

struct VTab : sqlite3_vtab {
    HandleStores* stores = nullptr;
    std::shared_ptr<StoreTable> table;
    std::string key;    // TableKey
    bool main = false;  // a table of the main store (not an external source's)
};

struct VCursor : sqlite3_vtab_cursor {
    std::unique_ptr<StoreCursor> rows;
    bool eof = true;
};

int Fail(sqlite3_vtab* vtab, const StoreError& error) {
    sqlite3_free(vtab->zErrMsg);
    vtab->zErrMsg = Message(error.message);
    return SQLITE_ERROR;
}

std::string DeclareSql(const StoreTable& table) {
    std::string sql = "CREATE TABLE x(";
    bool first = true;
    for (const StoreColumn& c : table.Columns()) {
        if (!first)
            sql += ", ";
        first = false;
        sql += QuoteIdentifier(WideToUtf8(c.name)) + " " + DeclaredColumnType(c);
        if (!c.nullable)
            sql += " NOT NULL";
        if (sql::IsTextType(c.type.type))
            sql += " COLLATE NOCASE";
    }
    return sql + ")";
}

// argv: module, database, table name, then the arguments:
//   main, 'name'                            a table of the main store
//   create, 'name', 'col', 'TYPE', ...       a new table of the main store
//   external, 'source key', 'name'           a table of an external source
//   view, 'name', 'why'                      a view of the main store that cannot be read
int Connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out,
            char** err, bool create) {
    auto* stores = static_cast<HandleStores*>(aux);
    if (argc < 5) {
        *err = sqlite3_mprintf("the store module needs a source and a table name");
        return SQLITE_ERROR;
    }
    const std::string how = Unquote(argv[3]);
    StoreError error;
    std::shared_ptr<StoreTable> table;
    bool main = true;
    if (how == "main" || how == "create") {
        if (!stores->main) {
            *err = sqlite3_mprintf("this data source is no foreign store");
            return SQLITE_ERROR;
        }
        const std::wstring name = Utf8ToWide(Unquote(argv[4]));
        if (how == "create" && create) {
            std::vector<StoreColumn> columns;
            for (int i = 5; i + 1 < argc; i += 2) {
                StoreColumn c;
                c.name = Utf8ToWide(Unquote(argv[i]));
                std::string declared = Unquote(argv[i + 1]);
                if (declared.size() > 9 &&
                    declared.compare(declared.size() - 9, 9, " NOT NULL") == 0) {
                    c.nullable = false;
                    declared.resize(declared.size() - 9);
                }
                // The declared type is one the store module wrote: read it back.
                std::wstring typeName = Utf8ToWide(declared);
                int64_t args[2] = {0, 0};
                int count = 0;
                const size_t open = typeName.find(L'(');
                if (open != std::wstring::npos) {
                    std::wstring inside = typeName.substr(open + 1);
                    typeName = typeName.substr(0, open);
                    for (size_t p = 0; p < inside.size() && count < 2;) {
                        args[count++] = std::wcstoll(inside.c_str() + p, nullptr, 10);
                        const size_t comma = inside.find(L',', p);
                        if (comma == std::wstring::npos)
                            break;
                        p = comma + 1;
                    }
                }
                std::wstring why;
                if (!sql::JetTypeFromName(typeName, args, count, &c.type, &why)) {
                    *err = sqlite3_mprintf("%s", WideToUtf8(why).c_str());
                    return SQLITE_ERROR;
                }
                columns.push_back(std::move(c));
            }
            table = stores->main->CreateTable(name, columns, &error);
        } else {
            table = stores->main->OpenTable(name, &error);
            if (!table && how == "main")
                table = std::make_shared<UnreadableTable>(name, error.message);
        }
    } else if (how == "view" && argc >= 6) {
        table = std::make_shared<UnreadableTable>(Utf8ToWide(Unquote(argv[4])),
                                                  Utf8ToWide(Unquote(argv[5])), L"VIEW");
    } else if (how == "external" && argc >= 6) {
        main = false;
        auto it = stores->external.find(Unquote(argv[4]));
        if (it == stores->external.end()) {
            *err = sqlite3_mprintf("the external source of this table is no longer open");
            return SQLITE_ERROR;
        }
        table = it->second->OpenTable(Utf8ToWide(Unquote(argv[5])), &error);
    } else {
        *err = sqlite3_mprintf("the store module cannot read its arguments");
        return SQLITE_ERROR;
    }
    if (!table) {
        *err = Message(error.message);
        return SQLITE_ERROR;
    }
    int rc = sqlite3_declare_vtab(db, DeclareSql(*table).c_str());
    if (rc != SQLITE_OK) {
        *err = sqlite3_mprintf("the columns of the table '%s' cannot be declared: %s",
                               WideToUtf8(table->Name()).c_str(), sqlite3_errmsg(db));
        return rc;
    }
    auto* vtab = new VTab;
    std::memset(static_cast<sqlite3_vtab*>(vtab), 0, sizeof(sqlite3_vtab));
    vtab->stores = stores;
    vtab->table = std::move(table);
    vtab->main = main;
    vtab->key = TableKey(argv[1], Utf8ToWide(argv[2]));
    stores->tables[vtab->key] = vtab->table;
    *out = vtab;
    return SQLITE_OK;
}

int xCreate(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out,
            char** err) {
    return Connect(db, aux, argc, argv, out, err, true);
}

int xConnect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out,
             char** err) {
    return Connect(db, aux, argc, argv, out, err, false);
}

int xDisconnect(sqlite3_vtab* p) {
    auto* vtab = static_cast<VTab*>(p);
    auto it = vtab->stores->tables.find(vtab->key);
    if (it != vtab->stores->tables.end() && it->second.lock() == vtab->table)
        vtab->stores->tables.erase(it);
    delete vtab;
    return SQLITE_OK;
}

int xDestroy(sqlite3_vtab* p) {
    auto* vtab = static_cast<VTab*>(p);
    if (vtab->main) {
        StoreError error;
        error.refused = true;
        error.message = L"dropping the table '" + vtab->table->Name() +
                        L"' is not supported by this store; delete its file instead";
        return Fail(p, error);
    }
    return xDisconnect(p);
}

int xBestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
    // Every scan reads the whole table: no constraint or order is used by the store.
    info->idxNum = 0;
    info->estimatedCost = 1e6;
    info->estimatedRows = 100000;
    return SQLITE_OK;
}

int xOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
    auto* cursor = new VCursor;
    std::memset(static_cast<sqlite3_vtab_cursor*>(cursor), 0, sizeof(sqlite3_vtab_cursor));
    *out = cursor;
    return SQLITE_OK;
}

int xClose(sqlite3_vtab_cursor* p) {
    delete static_cast<VCursor*>(p);
    return SQLITE_OK;
}

int Advance(VCursor* cursor) {
    StoreError error;
    if (cursor->rows->Next(&error))
        return SQLITE_OK;
    cursor->eof = true;
    if (!error.message.empty())
        return Fail(cursor->pVtab, error);
    return SQLITE_OK;
}

int xFilter(sqlite3_vtab_cursor* p, int, const char*, int, sqlite3_value**) {
    auto* cursor = static_cast<VCursor*>(p);
    auto* vtab = static_cast<VTab*>(p->pVtab);
    StoreError error;
    cursor->rows = vtab->table->Open(&error);
    cursor->eof = false;
    if (!cursor->rows) {
        cursor->eof = true;
        return Fail(p->pVtab, error);
    }
    return Advance(cursor);
}

int xNext(sqlite3_vtab_cursor* p) {
    return Advance(static_cast<VCursor*>(p));
}

int xEof(sqlite3_vtab_cursor* p) {
    return static_cast<VCursor*>(p)->eof;
}

int xColumn(sqlite3_vtab_cursor* p, sqlite3_context* ctx, int column) {
    // A column an UPDATE leaves alone need not be read: xUpdate learns it is unchanged.
    if (sqlite3_vtab_nochange(ctx))
        return SQLITE_OK;
    auto* cursor = static_cast<VCursor*>(p);
    StoreValue value;
    StoreError error;
    if (!cursor->rows->Read(column, &value, &error)) {
        const std::string text = WideToUtf8(error.message);
        sqlite3_result_error(ctx, text.data(), static_cast<int>(text.size()));
        return SQLITE_ERROR;
    }
    switch (value.kind) {
        case StoreValue::Null:
            sqlite3_result_null(ctx);
            break;
        case StoreValue::Integer:
            sqlite3_result_int64(ctx, value.integer);
            break;
        case StoreValue::Real:
            sqlite3_result_double(ctx, value.real);
            break;
        case StoreValue::Text:
            sqlite3_result_text(ctx, value.bytes.data(), static_cast<int>(value.bytes.size()),
                                SQLITE_TRANSIENT);
            break;
        case StoreValue::Blob:
            sqlite3_result_blob(ctx, value.bytes.data(), static_cast<int>(value.bytes.size()),
                                SQLITE_TRANSIENT);
            break;
    }
    return SQLITE_OK;
}

int xRowid(sqlite3_vtab_cursor* p, sqlite3_int64* rowid) {
    *rowid = static_cast<VCursor*>(p)->rows->RowId();
    return SQLITE_OK;
}

StoreValue ValueOf(sqlite3_value* v) {
    StoreValue out;
    if (sqlite3_value_nochange(v)) {
        out.unchanged = true;
        return out;
    }
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            out.kind = StoreValue::Integer;
            out.integer = sqlite3_value_int64(v);
            break;
        case SQLITE_FLOAT:
            out.kind = StoreValue::Real;
            out.real = sqlite3_value_double(v);
            break;
        case SQLITE_TEXT: {
            out.kind = StoreValue::Text;
            const char* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
            out.bytes =
                std::string_view(text ? text : "", static_cast<size_t>(sqlite3_value_bytes(v)));
            break;
        }
        case SQLITE_BLOB: {
            out.kind = StoreValue::Blob;
            const char* data = static_cast<const char*>(sqlite3_value_blob(v));
            out.bytes =
                std::string_view(data ? data : "", static_cast<size_t>(sqlite3_value_bytes(v)));
            break;
        }
        default:
            break;
    }
    return out;
}

int xUpdate(sqlite3_vtab* p, int argc, sqlite3_value** argv, sqlite3_int64* rowid) {
    auto* vtab = static_cast<VTab*>(p);
    StoreError error;
    bool ok = false;
    if (argc == 1) {
        ok = vtab->table->Delete(sqlite3_value_int64(argv[0]), &error);
    } else {
        std::vector<StoreValue> row;
        row.reserve(static_cast<size_t>(argc - 2));
        for (int i = 2; i < argc; ++i)
            row.push_back(ValueOf(argv[i]));
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            ok = vtab->table->Insert(row, &error);
            *rowid = 0;
        } else {
            ok = vtab->table->Update(sqlite3_value_int64(argv[0]), row, &error);
        }
    }
    return ok ? SQLITE_OK : Fail(p, error);
}

template <bool (StoreTable::*Call)(StoreError*)>
int Transaction(sqlite3_vtab* p) {
    auto* vtab = static_cast<VTab*>(p);
    StoreError error;
    return (vtab->table.get()->*Call)(&error) ? SQLITE_OK : Fail(p, error);
}

template <bool (StoreTable::*Call)(int, StoreError*)>
int SavepointCall(sqlite3_vtab* p, int n) {
    auto* vtab = static_cast<VTab*>(p);
    StoreError error;
    return (vtab->table.get()->*Call)(n, &error) ? SQLITE_OK : Fail(p, error);
}

int xRename(sqlite3_vtab* p, const char*) {
    StoreError error;
    error.refused = true;
    error.message = L"renaming the table '" + static_cast<VTab*>(p)->table->Name() +
                    L"' is not supported by this store";
    return Fail(p, error);
}

sqlite3_module MakeModule() {
    sqlite3_module m;
    std::memset(&m, 0, sizeof m);
    m.iVersion = 2;
    m.xCreate = xCreate;
    m.xConnect = xConnect;
    m.xBestIndex = xBestIndex;
    m.xDisconnect = xDisconnect;
    m.xDestroy = xDestroy;
    m.xOpen = xOpen;
    m.xClose = xClose;
    m.xFilter = xFilter;
    m.xNext = xNext;
    m.xEof = xEof;
    m.xColumn = xColumn;
    m.xRowid = xRowid;
    m.xUpdate = xUpdate;
    m.xBegin = Transaction<&StoreTable::Begin>;
    m.xSync = Transaction<&StoreTable::Sync>;
    m.xCommit = Transaction<&StoreTable::Commit>;
    m.xRollback = Transaction<&StoreTable::Rollback>;
    m.xRename = xRename;
    m.xSavepoint = SavepointCall<&StoreTable::Savepoint>;
    m.xRelease = SavepointCall<&StoreTable::Release>;
    m.xRollbackTo = SavepointCall<&StoreTable::RollbackTo>;
    return m;
}

const sqlite3_module kModule = MakeModule();

int Exec(sqlite3* db, const std::string& sql, std::wstring* error) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK && error)
        *error = Utf8ToWide(message ? message : sqlite3_errstr(rc));
    sqlite3_free(message);
    return rc;
}

}  // namespace

std::string DeclaredColumnType(const StoreColumn& column) {
    return sql::DeclaredType(column.type);
}

int RegisterStoreModule(sqlite3* db) {
    if (StoresOf(db))
        return SQLITE_OK;
    auto* stores = new HandleStores;
    stores->db = db;
    {
        std::lock_guard<std::mutex> lock(g_handlesMutex);
        Handles()[db] = stores;
    }
    // SQLite calls DestroyHandleStores when the handle closes (and when this fails).
    return sqlite3_create_module_v2(db, kModuleName, &kModule, stores, DestroyHandleStores);
}

bool AttachMainStore(sqlite3* db, std::shared_ptr<Store> store, StoreError* error) {
    HandleStores* stores = StoresOf(db);
    if (!stores) {
        error->message = L"the store module is not registered on this database handle";
        return false;
    }
    stores->main = std::move(store);
    const std::vector<std::wstring> names = stores->main->TableNames(error);
    if (!error->message.empty())
        return false;
    for (const std::wstring& name : names) {
        const std::string utf8 = WideToUtf8(name);
        std::wstring why;
        if (Exec(db,
                 "CREATE VIRTUAL TABLE main." + QuoteIdentifier(utf8) + " USING " + kModuleName +
                     "(main, " + QuoteLiteral(utf8) + ")",
                 &why) != SQLITE_OK) {
            error->message = why;
            return false;
        }
    }
    // Views after the tables they read; one that cannot be made is listed all the same.
    for (const StoreView& view : stores->main->Views(error)) {
        const std::string utf8 = WideToUtf8(view.name);
        std::wstring why = view.unreadable;
        if (why.empty()) {
            const sql::TranslationResult t = sql::TranslateJetSql(db, view.jetSql);
            if (!t.ok)
                why = t.message;
            else if (t.kind != sql::JetStatementKind::Select || !t.script.empty())
                why = L"it is no single SELECT";
            else if (Exec(db, "CREATE VIEW main." + QuoteIdentifier(utf8) + " AS " + t.sql, &why) ==
                     SQLITE_OK)
                continue;
            why = L"the saved query '" + view.name + L"' cannot be read: " + why;
        }
        if (Exec(db,
                 "CREATE VIRTUAL TABLE main." + QuoteIdentifier(utf8) + " USING " + kModuleName +
                     "(view, " + QuoteLiteral(utf8) + ", " + QuoteLiteral(WideToUtf8(why)) + ")",
                 &why) != SQLITE_OK) {
            error->message = why;
            return false;
        }
    }
    error->message.clear();
    return true;
}

void ReachMainTable(sqlite3* db, const std::wstring& name) {
    HandleStores* stores = db ? StoresOf(db) : nullptr;
    if (!stores || !stores->main)
        return;
    const std::string utf8 = WideToUtf8(name);
    sqlite3_stmt* stmt = nullptr;
    bool exists = true;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM main.sqlite_schema WHERE name = ?1 COLLATE NOCASE",
                           -1, &stmt, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, utf8.c_str(), -1, SQLITE_TRANSIENT);
        exists = sqlite3_step(stmt) == SQLITE_ROW;
    }
    sqlite3_finalize(stmt);
    StoreError error;
    if (exists || !stores->main->OpenTable(name, &error))
        return;
    Exec(db,
         "CREATE VIRTUAL TABLE main." + QuoteIdentifier(utf8) + " USING " + kModuleName +
             "(main, " + QuoteLiteral(utf8) + ")",
         nullptr);
}

std::shared_ptr<Store> MainStoreOf(sqlite3* db) {
    HandleStores* stores = db ? StoresOf(db) : nullptr;
    return stores ? stores->main : nullptr;
}

std::shared_ptr<StoreTable> FindStoreTable(sqlite3* db, const std::string& database,
                                           const std::wstring& name) {
    HandleStores* stores = db ? StoresOf(db) : nullptr;
    if (!stores)
        return nullptr;
    auto it = stores->tables.find(TableKey(database, name));
    return it == stores->tables.end() ? nullptr : it->second.lock();
}

std::string CreateTableSql(const std::wstring& table, const std::vector<StoreColumn>& columns) {
    const std::string name = WideToUtf8(table);
    std::string sql = "CREATE VIRTUAL TABLE main." + QuoteIdentifier(name) + " USING " +
                      kModuleName + "(create, " + QuoteLiteral(name);
    for (const StoreColumn& c : columns)
        sql += ", " + QuoteLiteral(WideToUtf8(c.name)) + ", " +
               QuoteLiteral(DeclaredColumnType(c) + (c.nullable ? "" : " NOT NULL"));
    return sql + ")";
}

bool ExternalTableName(sqlite3* db, const std::wstring& connect, const std::wstring& database,
                       const std::wstring& table, std::string* sqlName, std::wstring* error) {
    if (RegisterStoreModule(db) != SQLITE_OK) {
        *error = L"the store module cannot be registered on this database handle";
        return false;
    }
    HandleStores* stores = StoresOf(db);
    StoreOpenRequest request;
    request.options = ParseConnectionString(connect, BareItems::Allow);
    if (!request.options.ok) {
        *error = L"the external source [" + connect + L"] cannot be read: " + request.options.error;
        return false;
    }
    std::wstring named;
    const StoreKindEntry* kind = KindOfOptions(request.options, &named);
    if (!kind)
        kind = FindStoreKindByName(named);
    if (!kind) {
        *error = named.empty() ? L"the external source [" + connect +
                                     L"] names no kind of file this provider can open"
                               : L"the external source [" + connect + L"] names '" + named +
                                     L"', a kind of file this provider cannot open";
        return false;
    }
    request.database = !database.empty() ? database : request.options.Value(L"Database");
    if (request.database.empty()) {
        *error = L"the external source [" + connect +
                 L"] names no file or folder: give Database=<path> or IN '<path>'";
        return false;
    }
    const std::string key =
        WideToUtf8(std::wstring(kind->name) + L"\n" + request.database + L"\n" + connect);
    char hex[17];
    std::snprintf(
        hex, sizeof hex, "%016llx",
        static_cast<unsigned long long>(Fnv1a(key + "\n" + WideToUtf8(WideLower(table)))));
    const std::string name = std::string(kExternalPrefix) + hex;
    auto found = stores->external.find(key);
    if (found == stores->external.end()) {
        StoreError why;
        std::shared_ptr<Store> store = kind->open(request, &why);
        if (!store) {
            *error = why.message;
            return false;
        }
        found = stores->external.emplace(key, std::move(store)).first;
    }
    *sqlName = "temp." + QuoteIdentifier(name);
    sqlite3_stmt* stmt = nullptr;
    bool exists = false;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM temp.sqlite_schema WHERE name = ?1", -1, &stmt,
                           nullptr) == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        exists = sqlite3_step(stmt) == SQLITE_ROW;
    }
    sqlite3_finalize(stmt);
    if (exists)
        return true;
    return Exec(db,
                "CREATE VIRTUAL TABLE " + *sqlName + " USING " + kModuleName + "(external, " +
                    QuoteLiteral(key) + ", " + QuoteLiteral(WideToUtf8(table)) + ")",
                error) == SQLITE_OK;
}

}  // namespace vorn::provider::store
