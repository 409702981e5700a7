// The row source of a prepared SQLite statement.
#include "rowset/sqlite_rowset.h"

#include <sqlite3.h>

#include "execution/statement_text.h"
#include "provider_errors.h"
#include "rowset/row_codec.h"
#include "rowset/rowset.h"
#include "sqlite_errors.h"

namespace vorn::provider {
namespace {

int StorageClassOf(CellKind kind) {
    switch (kind) {
        case CellKind::Integer:
            return SQLITE_INTEGER;
        case CellKind::Real:
            return SQLITE_FLOAT;
        case CellKind::Text:
            return SQLITE_TEXT;
        case CellKind::Blob:
            return SQLITE_BLOB;
        default:
            return SQLITE_NULL;
    }
}

// Adds the current row of stmt (columns 0 to columns-1) to the encoder. One call that
// takes the connection's mutex per column; each value is read at once, on the thread that
// uses the connection, before the statement moves on.
void EncodeRow(sqlite3_stmt* stmt, int columns, RowEncoder* encoder) {
    encoder->Begin(static_cast<size_t>(columns));
    for (int i = 0; i < columns; ++i) {
        sqlite3_value* v = sqlite3_column_value(stmt, i);
        switch (sqlite3_value_type(v)) {
            case SQLITE_INTEGER:
                encoder->Integer(sqlite3_value_int64(v));
                break;
            case SQLITE_FLOAT:
                encoder->Real(sqlite3_value_double(v));
                break;
            case SQLITE_TEXT: {
                const unsigned char* text = sqlite3_value_text(v);
                encoder->Text(text, static_cast<size_t>(sqlite3_value_bytes(v)));
                break;
            }
            case SQLITE_BLOB: {
                const void* blob = sqlite3_value_blob(v);
                encoder->Blob(blob, static_cast<size_t>(sqlite3_value_bytes(v)));
                break;
            }
            default:
                encoder->Null();
                break;
        }
    }
}

class SqliteRowSource final : public RowSource {
  public:
    SqliteRowSource(std::shared_ptr<Database> db, sqlite3_stmt* stmt, const std::wstring& text,
                    const std::vector<ColumnType>* columnTypes,
                    std::shared_ptr<const ResultDescription>* kept,
                    const sql::TranslationResult* translation)
        : db_(std::move(db)),
          stmt_(stmt),
          readOnly_(sqlite3_stmt_readonly(stmt) != 0),
          columnTypes_(columnTypes),
          kept_(columnTypes ? nullptr : kept),
          translation_(translation) {
        // The description kept with the statement serves while SQLite has not re-prepared it.
        if (kept && *kept && !columnTypes && DescribesCurrently(**kept, stmt_, text)) {
            description_ = *kept;
        } else {
            description_ = DescribeResult(db_->Handle(), stmt_, text, columnTypes, translation);
            if (kept_)
                *kept_ = description_;
        }
    }
    ~SqliteRowSource() override { Close(); }

    Fetched Fetch(RowStore& store, uint64_t wanted, std::unique_ptr<ErrorRecord>* failure) override;
    std::shared_ptr<const RowsetDescription> Description() const override { return description_; }
    bool ReadAllAtOnce() const override { return !readOnly_; }
    void Pending(LazyResult* rowset) override {
        registered_ = rowset;
        db_->RegisterResult(rowset);
    }
    void Close() override {
        if (stmt_) {
            db_->FinishStatement(stmt_);
            stmt_ = nullptr;
        }
        if (registered_) {
            db_->UnregisterResult(registered_);
            registered_ = nullptr;
        }
    }
    const wchar_t* ErrorSource() const override { return kProviderErrorSource; }

  private:
    std::wstring Context() const {
        return L"Reading the result of " + QuotedStatement(description_->statement);
    }
    // Columns without a usable declaration take the type of their first value, in a
    // description of this result's own.
    void TypeByFirstRow(RowStore& store);

    std::shared_ptr<Database> db_;
    sqlite3_stmt* stmt_;
    const bool readOnly_;
    const std::vector<ColumnType>* columnTypes_;
    std::shared_ptr<const ResultDescription>* kept_;
    // The Jet statement stmt comes from, read during the first step only (its owner keeps
    // it until Execute returns).
    const sql::TranslationResult* translation_;
    std::shared_ptr<const ResultDescription> description_;
    bool firstStep_ = true;
    LazyResult* registered_ = nullptr;
    RowEncoder encoder_;
};

RowSource::Fetched SqliteRowSource::Fetch(RowStore& store, uint64_t wanted,
                                          std::unique_ptr<ErrorRecord>* failure) {
    if (!stmt_)
        return Fetched::End;
    // The connection's (recursive) mutex is held over the batch, so that reading each value
    // does not lock and unlock it again.
    int columns = static_cast<int>(description_->columns.size());
    sqlite3_mutex* mutex = sqlite3_db_mutex(db_->Handle());
    sqlite3_mutex_enter(mutex);
    Fetched result = Fetched::More;
    const bool first = firstStep_;
    while (store.RowCount() < wanted) {
        const int rc = sqlite3_step(stmt_);
        if (firstStep_ && (rc == SQLITE_ROW || rc == SQLITE_DONE)) {
            // SQLite re-prepares a statement whose schema changed in its first step, and
            // only then do its columns say what the result holds.
            firstStep_ = false;
            if (PreparationOf(stmt_) != description_->preparation) {
                description_ = DescribeResult(db_->Handle(), stmt_, description_->statement,
                                              columnTypes_, translation_);
                if (kept_)
                    *kept_ = description_;
                columns = static_cast<int>(description_->columns.size());
            }
        }
        if (rc == SQLITE_ROW) {
            EncodeRow(stmt_, columns, &encoder_);
            if (!StoreEncodedRow(
                    store, encoder_, [this] { return Context(); }, failure)) {
                result = Fetched::Failed;
                break;
            }
            continue;
        }
        if (rc != SQLITE_DONE) {
            *failure = std::make_unique<ErrorRecord>(
                MakeSqliteErrorRecord(db_->Handle(), rc, IID_IRowset, Context()));
            result = Fetched::Failed;
        } else {
            result = Fetched::End;
        }
        break;
    }
    sqlite3_mutex_leave(mutex);
    if (first && description_->typedByValue)
        TypeByFirstRow(store);
    return result;
}

void SqliteRowSource::TypeByFirstRow(RowStore& store) {
    auto own = std::make_shared<ResultDescription>(*description_);
    SmallArray<Cell, 4> cells;
    cells.resize(own->columns.size());
    const char* first = nullptr;
    size_t firstSize = 0;
    const bool haveFirst = store.RowCount() > 0 && store.Row(0, &first, &firstSize) &&
                           DecodeRow(first, firstSize, cells.data(), cells.size());
    for (size_t i = 0; i < own->columns.size(); ++i) {
        ResultColumn& c = own->columns[i];
        if (!c.type.fromValue)
            continue;
        c.type = haveFirst ? TypeFromStorageClass(StorageClassOf(cells[i].kind), cells[i].size)
                           : TypeFromStorageClass(SQLITE_NULL, 0);
        c.flags |= c.type.flags;
    }
    own->typedByValue = false;
    description_ = std::move(own);
}

}  // namespace

HRESULT CreateRowset(const std::shared_ptr<Database>& db, sqlite3_stmt* stmt,
                     const std::wstring& statementText, const RowsetProperties& properties,
                     IUnknown* creator, const std::vector<ColumnType>* columnTypes, REFIID riid,
                     IUnknown** ppRowset, std::shared_ptr<const ResultDescription>* keptDescription,
                     const sql::TranslationResult* translation) {
    std::unique_ptr<SqliteRowSource> source(new (std::nothrow) SqliteRowSource(
        db, stmt, statementText, columnTypes, keptDescription, translation));
    if (!source) {
        db->FinishStatement(stmt);
        return PostProviderError(E_OUTOFMEMORY, IID_ICommand, L"Out of memory making a rowset");
    }
    return CreateRowset(std::move(source), properties, creator, riid, ppRowset);
}

}  // namespace vorn::provider
