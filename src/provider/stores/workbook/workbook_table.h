// One table of a workbook: a whole sheet ([Sheet1$]), a range of one ([Sheet1$A1:C10]) or
// a defined name's area. Its columns and their types come from the header row and the
// first rows below it, as the engine's Excel driver makes them; its cursor streams the
// sheet's rows (a row the sheet leaves out inside the area is a row of NULLs) with this
// handle's uncommitted edits laid over them. INSERT appends rows after the last one that
// holds values, UPDATE changes cells; DELETE is refused with the driver's words.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/store.h"
#include "stores/workbook/cell_values.h"
#include "stores/workbook/workbook_session.h"

namespace vorn::provider::stores::workbook {

struct TableOptions {
    bool header = true;       // HDR=Yes: the first row names the columns
    bool importMode = false;  // IMEX=1: mixed columns are text
};

// What a table reads.
struct TableTarget {
    std::wstring name;  // the table's name
    std::string sheet;  // the sheet's name (UTF-8)
    bool wholeSheet = true;
    CellArea range;  // of a range or defined name
    bool definedName = false;
};

class WorkbookTable final : public store::StoreTable {
  public:
    WorkbookTable(std::shared_ptr<WorkbookSession> session, TableTarget target,
                  TableOptions options);

    // Reads the header and the rows that decide the column types from book.
    bool Load(WorkbookFile& book, std::wstring* error);
    // A table of a sheet this transaction made with these columns (its header row 1).
    void Created(const std::vector<store::StoreColumn>& columns);

    const std::wstring& Name() const override { return target_.name; }
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

  private:
    friend class WorkbookCursor;

    // The sheet's index in book, or -1.
    int SheetIn(const WorkbookFile& book) const;
    // Where the table's rows are in the current version: the edits' key, the sheet's
    // last row of values and the table's last row. False with *error filled.
    struct Place {
        std::shared_ptr<WorkbookFile> book;
        int sheet = -1;  // -1: a sheet this transaction made
        std::string key;
        uint32_t sheetLastRow = 0;
    };
    bool Locate(Place* place, std::wstring* error) const;
    bool ToCell(const store::StoreValue& value, size_t column, CellValue* cell,
                store::StoreError* error) const;
    bool RefuseWrite(store::StoreError* error) const;
    std::wstring What() const;

    std::shared_ptr<WorkbookSession> session_;
    TableTarget target_;
    TableOptions options_;
    std::vector<store::StoreColumn> columns_;
    std::vector<ColumnKind> kinds_;
    uint32_t firstColumn_ = 1;
    uint32_t headerRow_ = 0;  // 0: no header row (HDR=No, or an empty sheet)
    uint32_t dataStart_ = 1;  // the first row of data
    uint32_t rangeLast_ = 0;  // a range's last used row in this transaction (0: not known)
    uint64_t rangeGeneration_ = 0;
};

// The refusal of DELETE, in the words of the engine's Excel driver.
inline constexpr wchar_t kDeleteRefused[] =
    L"Deleting data in a linked table is not supported by this ISAM.";

}  // namespace vorn::provider::stores::workbook
