// One text file as a store table: its columns, cursors over its records, and its writes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/store.h"
#include "stores/text/text_format.h"

namespace vorn::provider::stores::text {

class TextTable final : public store::StoreTable {
  public:
    // The file at path (UTF-8) as the table name; folder holds its schema.ini.
    TextTable(std::wstring name, std::string folder, std::string path, TextFormat format,
              bool readOnly);
    ~TextTable() override;

    // Reads the header and guesses the column types. False with *error filled.
    bool Load(store::StoreError* error);
    // A table for a new file: writes its journal, the file with its header line and its
    // schema.ini section. False with *error filled (nothing left behind).
    bool CreateFile(const std::vector<store::StoreColumn>& columns, store::StoreError* error);

    const std::wstring& Name() const override { return name_; }
    const std::vector<store::StoreColumn>& Columns() const override { return columns_; }
    std::unique_ptr<store::StoreCursor> Open(store::StoreError* error) override;

    bool Insert(const std::vector<store::StoreValue>& row, store::StoreError* error) override;
    bool Update(int64_t rowId, const std::vector<store::StoreValue>& row,
                store::StoreError* error) override;
    bool Delete(int64_t rowId, store::StoreError* error) override;

    bool Begin(store::StoreError* error) override;
    bool Sync(store::StoreError* error) override;
    bool Commit(store::StoreError* error) override;
    bool Rollback(store::StoreError* error) override;
    bool Savepoint(int n, store::StoreError* error) override;
    bool Release(int n, store::StoreError* error) override;
    bool RollbackTo(int n, store::StoreError* error) override;

    const TextFormat& Format() const { return format_; }
    const std::string& Path() const { return path_; }

  private:
    friend class TextCursor;

    bool StartWriting(store::StoreError* error, bool created, const std::string* schemaBefore);
    bool Flush(store::StoreError* error);
    bool CutTo(uint64_t size, store::StoreError* error);
    void EndWriting();
    bool AppendField(const store::StoreValue& value, size_t column, std::string* line,
                     store::StoreError* error) const;
    std::wstring FileName() const;

    std::wstring name_;
    std::string folder_;
    std::string path_;
    TextFormat format_;
    bool readOnly_;
    std::vector<store::StoreColumn> columns_;
    std::string lineEnd_ = "\r\n";

    // The running write transaction of this handle.
    int fd_ = -1;       // the file open for writing, locked exclusively
    int journal_ = -1;  // the journal, locked
    bool created_ = false;
    uint64_t before_ = 0;                               // the file's length before the transaction
    uint64_t written_ = 0;                              // the file's length with what is flushed
    std::string pending_;                               // appended rows not yet written
    std::vector<std::pair<int, uint64_t>> savepoints_;  // level, length at the savepoint
};

}  // namespace vorn::provider::stores::text
