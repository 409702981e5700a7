// The state a workbook store and its tables share: the file, its current version (read
// again when another writer has replaced it), and the running write transaction: the
// sheets' edits with an undo log for savepoints, the exclusive lock that keeps other
// writers out, and the new version written at Sync and put in place at Commit.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "stores/workbook/sheet_edits.h"
#include "stores/workbook/workbook_file.h"
#include "stores/workbook/xlsx_package_writer.h"

namespace vorn::provider::stores::workbook {

class WorkbookSession {
  public:
    WorkbookSession(std::string path, std::wstring shown, bool readOnly);
    ~WorkbookSession();

    const std::string& Path() const { return path_; }
    const std::wstring& Shown() const { return shown_; }
    bool ReadOnly() const { return readOnly_; }

    // The current version of the file: the one read before unless the file changed since.
    // Null with *error empty when there is no file (a new workbook that CREATE TABLE makes);
    // null with *error filled when the file cannot be read.
    std::shared_ptr<WorkbookFile> Current(std::wstring* error);

    // Starts a write transaction (once; later calls do nothing): waits for the exclusive
    // lock of the file, then reads its current version.
    bool Begin(std::wstring* error);
    bool Active() const { return active_; }
    // Counts the transactions ended, so that a table can tell its own state is stale.
    uint64_t Generation() const { return generation_; }

    // The edits of a sheet of the transaction (key: the sheet's part, or NewSheetKey for a
    // sheet the transaction made), null when it has none.
    const SheetEdits* Edits(const std::string& key) const;
    // Writes cells of one row (undoable); lastRow is the sheet's last row of values in the
    // file, which the edits of a sheet start from.
    void Write(const std::string& key, uint32_t lastRow, uint32_t row,
               std::vector<CellValue> cells);
    // Makes a sheet (undoable); its header row holds the column names.
    void CreateSheet(const std::string& name, const std::vector<std::string>& header);
    bool Created(const std::string& name) const;
    static std::string NewSheetKey(const std::string& name) { return "\n" + name; }

    bool Savepoint(int level);
    bool Release(int level);
    bool RollbackTo(int level);
    bool Sync(std::wstring* error);
    bool Commit(std::wstring* error);
    void Rollback();

  private:
    struct Undo {
        std::string key;
        uint32_t row = 0;
        bool hadRow = false;
        std::vector<CellValue> oldRow;
        uint32_t oldLastRow = 0;
        bool createdSheet = false;
        bool newEdits = false;  // the sheet had no edits before
    };
    void UndoTo(size_t size);
    void End();

    std::string path_;
    std::wstring shown_;
    bool readOnly_;
    std::shared_ptr<WorkbookFile> current_;

    bool active_ = false;
    int lock_ = -1;  // the file open and locked exclusively while the transaction runs
    std::map<std::string, SheetEdits> edits_;
    std::vector<std::string> created_;  // names of the sheets made, in order
    std::vector<Undo> undo_;
    std::vector<std::pair<int, size_t>> savepoints_;  // level, undo size then
    PreparedWorkbook prepared_;
    bool isPrepared_ = false;
    uint64_t generation_ = 0;
};

}  // namespace vorn::provider::stores::workbook
