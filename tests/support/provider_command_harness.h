// Commands and rowsets of the embedded provider over a SQLite file of the test's own,
// reached without a data source or session: a Database opened here, CreateCommandObject,
// and helpers that bind and read rows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "database.h"
#include "support/temp_database.h"
#include "vornoledb/platform/oledb.h"

struct sqlite3;

namespace vorn::test {

// A Database over a SQLite file opened read-write (created when missing).
class TestSqliteDatabase : public provider::Database {
  public:
    explicit TestSqliteDatabase(const std::string& file);
    ~TestSqliteDatabase() override;

    sqlite3* Handle() const override { return handle_; }
    const std::wstring& Path() const override { return path_; }
    const std::string& AbsolutePathUtf8() const override { return file_; }
    bool ReadOnly() const override { return false; }

  private:
    sqlite3* handle_ = nullptr;
    std::string file_;
    std::wstring path_;
};

// The first error record posted on this thread (taken off the thread).
struct PostedError {
    bool present = false;
    HRESULT hr = S_OK;
    std::wstring description;
    std::wstring sqlState;
    LONG nativeError = 0;
    ULONG records = 0;
};
PostedError TakePostedError();

class CommandHarness {
  public:
    CommandHarness();

    // Runs SQL on the test's database handle directly (set-up and checks).
    void Sql(const std::string& sql);
    std::shared_ptr<TestSqliteDatabase> Db() const { return db_; }

    // A new command over the database.
    ComPtr<ICommandText> NewCommand();
    // Runs text through a new command; rowset (may be null) receives the result.
    HRESULT Execute(const std::wstring& text, ComPtr<IRowset>* rowset,
                    DBROWCOUNT* rowsAffected = nullptr);

  private:
    TempFolder folder_;
    std::shared_ptr<TestSqliteDatabase> db_;
};

// One GetNextRows call; the handles obtained are released before returning. Gives the
// HRESULT, and in *rows (when given) each row's columns as text (bound as DBTYPE_WSTR of
// up to 4000 characters; NULL reads "<null>").
HRESULT Fetch(IRowset* rowset, DBROWOFFSET offset, DBROWCOUNT count,
              std::vector<std::vector<std::wstring>>* rows);

// Every remaining row, forward, as Fetch gives them.
std::vector<std::vector<std::wstring>> ReadRemaining(IRowset* rowset);

// The rowset's column descriptions (names copied out).
struct ColumnDescription {
    std::wstring name;
    DBORDINAL ordinal;
    DBCOLUMNFLAGS flags;
    DBLENGTH size;
    DBTYPE type;
    BYTE precision;
    BYTE scale;
};
std::vector<ColumnDescription> Describe(IRowset* rowset);

}  // namespace vorn::test
