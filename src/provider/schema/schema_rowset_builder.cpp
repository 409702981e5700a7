// Schema rowsets over a private temporary database.
#include "schema/schema_rowset_builder.h"

#include <sqlite3.h>

#include "rowset/rowset.h"
#include "database.h"
#include "sqlite_errors.h"
#include "types/column_types.h"
#include "vornoledb/platform/text.h"
#include "text_helpers.h"

namespace vorn::provider::schema {

// A private database that nobody else sees: SQLite keeps it in memory and moves it to a
// temporary file of its own when it grows, and deletes that file when it is closed.
class ScratchDatabase final : public Database {
  public:
    static int Open(std::shared_ptr<ScratchDatabase>* out) {
        sqlite3* db = nullptr;
        const int rc = sqlite3_open_v2(
            "", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_close(db);
            return rc;
        }
        sqlite3_extended_result_codes(db, 1);
        *out = std::shared_ptr<ScratchDatabase>(new ScratchDatabase(db));
        return SQLITE_OK;
    }
    ~ScratchDatabase() override { sqlite3_close_v2(db_); }

    sqlite3* Handle() const override { return db_; }
    const std::wstring& Path() const override { return path_; }
    const std::string& AbsolutePathUtf8() const override { return absolute_; }
    bool ReadOnly() const override { return true; }

  private:
    explicit ScratchDatabase(sqlite3* db) : db_(db) {}

    sqlite3* db_;
    const std::wstring path_ = L"(schema rowset)";
    const std::string absolute_;
};

namespace {

// The type a schema rowset column reports: text columns as the type table gives unsized
// text, the others as fixed-length values of their type.
ColumnType SchemaColumnType(DBTYPE type) {
    if (type == DBTYPE_WSTR)
        return TypeFromDeclaration("TEXT");
    ColumnType t;
    t.type = type;
    t.size = DbTypeFixedSize(type);
    t.flags = DBCOLUMNFLAGS_ISFIXEDLENGTH;
    switch (type) {
        case DBTYPE_I2:
        case DBTYPE_UI2:
            t.precision = 5;
            break;
        case DBTYPE_I4:
        case DBTYPE_UI4:
            t.precision = 10;
            break;
        case DBTYPE_UI8:
            t.precision = 20;
            break;
        default:
            break;
    }
    return t;
}

}  // namespace

SchemaRowsetBuilder::SchemaRowsetBuilder(std::vector<SchemaColumn> columns, std::wstring what,
                                         REFIID iid)
    : columns_(std::move(columns)), what_(std::move(what)), iid_(iid) {}

SchemaRowsetBuilder::~SchemaRowsetBuilder() {
    sqlite3_finalize(insert_);
    if (inTransaction_ && db_)
        sqlite3_exec(db_->Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

HRESULT SchemaRowsetBuilder::Fail(int rc, const std::wstring& doing) {
    return PostSqliteError(db_ ? db_->Handle() : nullptr, rc, iid_,
                           L"could not " + doing + L" " + what_);
}

HRESULT SchemaRowsetBuilder::Begin() {
    int rc = ScratchDatabase::Open(&db_);
    if (rc != SQLITE_OK)
        return Fail(rc, L"open the temporary store of");
    std::string create = "CREATE TABLE rows(";
    std::string insert = "INSERT INTO rows VALUES(";
    for (size_t i = 0; i < columns_.size(); ++i) {
        create += (i ? ", " : "") + QuotedSqlName(columns_[i].name);
        insert += i ? ", ?" : "?";
    }
    create += ")";
    insert += ")";
    sqlite3* h = db_->Handle();
    rc = sqlite3_exec(h, create.c_str(), nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_prepare_v2(h, insert.c_str(), -1, &insert_, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return Fail(rc, L"prepare the temporary store of");
    inTransaction_ = true;
    return S_OK;
}

void SchemaRowsetBuilder::Null() {
    sqlite3_bind_null(insert_, next_++);
}

void SchemaRowsetBuilder::Integer(long long value) {
    sqlite3_bind_int64(insert_, next_++, value);
}

void SchemaRowsetBuilder::Bool(bool value) {
    Integer(value ? -1 : 0);
}

void SchemaRowsetBuilder::Text(const std::wstring& value) {
    const std::string utf8 = WideToUtf8(value);
    sqlite3_bind_text(insert_, next_++, utf8.data(), static_cast<int>(utf8.size()),
                      SQLITE_TRANSIENT);
}

void SchemaRowsetBuilder::TextOrNull(const std::wstring& value) {
    if (value.empty())
        Null();
    else
        Text(value);
}

HRESULT SchemaRowsetBuilder::EndRow() {
    const int rc = sqlite3_step(insert_);
    sqlite3_reset(insert_);
    sqlite3_clear_bindings(insert_);
    next_ = 1;
    if (rc != SQLITE_DONE)
        return Fail(rc, L"store a row of");
    return S_OK;
}

HRESULT SchemaRowsetBuilder::Finish(const std::string& orderBy, const RowsetProperties& properties,
                                    IUnknown* creator, REFIID riid, IUnknown** ppRowset) {
    sqlite3* h = db_->Handle();
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    int rc = sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return Fail(rc, L"store the rows of");
    inTransaction_ = false;
    std::string select = "SELECT ";
    std::vector<ColumnType> types;
    for (size_t i = 0; i < columns_.size(); ++i) {
        select += (i ? ", " : "") + QuotedSqlName(columns_[i].name);
        types.push_back(SchemaColumnType(columns_[i].type));
    }
    select += " FROM rows";
    if (!orderBy.empty())
        select += " ORDER BY " + orderBy;
    sqlite3_stmt* stmt = nullptr;
    rc = sqlite3_prepare_v2(h, select.c_str(), -1, &stmt, nullptr);
    if (rc != SQLITE_OK)
        return Fail(rc, L"read back");
    return CreateRowset(db_, stmt, what_, properties, creator, &types, riid, ppRowset);
}

}  // namespace vorn::provider::schema
