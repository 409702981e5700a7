// The tables of an Access file as the store contract presents them: user and system tables
// read row by row through libmdb, and linked tables, which are listed but not read.
// Included only by the Access store's own sources.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/store.h"
#include "stores/access/access_file.h"

namespace vorn::provider::stores::access {

// A column as the file defines it, beside what the engine is told of it.
struct AccessColumn {
    store::StoreColumn column;
    int mdbType = 0;          // libmdb's type code (MDB_TEXT ...)
    bool calculated = false;  // an ACE calculated column: its value follows a header
    int resultType = 0;       // the libmdb type of a calculated column's result
    int scale = 0;            // of NUMERIC columns
};

// Result types of calculated columns beyond libmdb's type codes.
constexpr int kResultYesNo = MDB_BOOL;
constexpr int kResultDecimal = 16;  // an automation DECIMAL (its scale in the value)
constexpr int kResultMemo = MDB_MEMO;

// The columns of a table, read from its definition. False with *error filled when the
// definition cannot be read.
bool ReadTableDefinition(const AccessFile& file, const CatalogObject& object,
                         std::vector<AccessColumn>* columns, std::wstring* error);

// The indexes of a table, primary key marked; read only when asked for (libmdb misreads
// the index definitions of some files, and says so on the standard error stream).
std::vector<store::StoreIndex> ReadTableIndexes(const AccessFile& file,
                                                const CatalogObject& object);

// The catalog entry of an object, for the handle mdb (a copy, whose properties stay the
// catalog's). False when the object is not in the handle's catalog.
bool EntryOf(MdbHandle* mdb, const CatalogObject& object, MdbCatalogEntry* entry);

// A forward cursor over the rows of a table of the file.
std::unique_ptr<store::StoreCursor> OpenRows(const std::shared_ptr<AccessFile>& file,
                                             const CatalogObject& object,
                                             const std::vector<AccessColumn>& columns,
                                             store::StoreError* error);

// A user or system table.
class AccessTable final : public store::StoreTable {
  public:
    AccessTable(std::shared_ptr<AccessFile> file, CatalogObject object,
                std::vector<AccessColumn> columns);

    const std::wstring& Name() const override { return object_.name; }
    std::wstring Type() const override;
    const std::vector<store::StoreColumn>& Columns() const override { return columns_; }
    std::vector<store::StoreIndex> Indexes() const override;
    std::unique_ptr<store::StoreCursor> Open(store::StoreError* error) override;

    bool Insert(const std::vector<store::StoreValue>& row, store::StoreError* error) override;
    bool Update(int64_t rowId, const std::vector<store::StoreValue>& row,
                store::StoreError* error) override;
    bool Delete(int64_t rowId, store::StoreError* error) override;

  private:
    bool Refuse(const wchar_t* what, store::StoreError* error) const;

    std::shared_ptr<AccessFile> file_;
    CatalogObject object_;
    std::vector<AccessColumn> access_;
    std::vector<store::StoreColumn> columns_;
};

// A table linked to another database: listed (type LINK), never read.
class LinkedTable final : public store::StoreTable {
  public:
    // target says where the link points ("Table1 in C:\db\linkee1.mdb").
    LinkedTable(std::wstring name, std::wstring file, std::wstring target);

    const std::wstring& Name() const override { return name_; }
    std::wstring Type() const override { return L"LINK"; }
    const std::vector<store::StoreColumn>& Columns() const override { return columns_; }
    std::unique_ptr<store::StoreCursor> Open(store::StoreError* error) override;

  private:
    std::wstring name_;
    std::wstring file_;
    std::wstring target_;
    std::vector<store::StoreColumn> columns_;
};

// The refusal of every change to an Access file, naming the file and what was tried.
std::wstring ReadOnlyRefusal(const std::wstring& quotedFile, const std::wstring& what);

}  // namespace vorn::provider::stores::access
