// The state a workbook store and its tables share, and its write transaction.
#include "stores/workbook/workbook_session.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "sqlite_database.h"
#include "store_kind.h"
#include "stores/workbook/xls_workbook.h"
#include "stores/workbook/xlsx_book.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider::stores::workbook {
namespace {

std::wstring Why() {
    return Utf8ToWide(std::strerror(errno));
}

}  // namespace

WorkbookSession::WorkbookSession(std::string path, std::wstring shown, bool readOnly)
    : path_(std::move(path)), shown_(std::move(shown)), readOnly_(readOnly) {}

WorkbookSession::~WorkbookSession() {
    Rollback();
}

std::shared_ptr<WorkbookFile> WorkbookSession::Current(std::wstring* error) {
    error->clear();
    struct stat st;
    if (current_ && ::stat(path_.c_str(), &st) == 0) {
        const FileIdentity& known = current_->Identity();
        const int64_t modified =
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        if (known.device == st.st_dev && known.inode == st.st_ino && known.size == st.st_size &&
            known.modified == modified)
            return current_;
    }
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT && !readOnly_) {
            current_.reset();
            return nullptr;
        }
        *error = errno == ENOENT ? L"could not find file '" + shown_ + L"'"
                                 : L"could not open '" + shown_ + L"': " + Why();
        return nullptr;
    }
    FileKind kind;
    if (!ProbeFileKind(fd, &kind)) {
        *error = L"could not read '" + shown_ + L"': " + Why();
        ::close(fd);
        return nullptr;
    }
    std::shared_ptr<WorkbookFile> book;
    if (kind.kind == StoreKind::Zip) {
        book = XlsxBook::Open(fd, shown_, error);
    } else if (kind.kind == StoreKind::Ole2) {
        book = XlsBook::Open(fd, shown_, error);
    } else {
        *error =
            L"'" + shown_ + L"' is " + DescribeFileKind(kind) + L", not a workbook (.xlsx or .xls)";
    }
    ::close(fd);
    if (book)
        current_ = book;
    return book;
}

bool WorkbookSession::Begin(std::wstring* error) {
    if (active_)
        return true;
    error->clear();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(BusyTimeoutMilliseconds());
    while (true) {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            if (errno != ENOENT) {
                *error = L"could not open '" + shown_ + L"': " + Why();
                return false;
            }
            break;  // a new workbook: made at commit, never over a file that appeared
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // The lock counts only if the file is still the one at the path: a writer that
            // went before may have replaced it while this one waited.
            struct stat held, now;
            if (::fstat(fd, &held) == 0 && ::stat(path_.c_str(), &now) == 0 &&
                held.st_dev == now.st_dev && held.st_ino == now.st_ino) {
                lock_ = fd;
                break;
            }
            ::close(fd);
            continue;
        }
        const int why = errno;
        ::close(fd);
        if (why != EWOULDBLOCK && why != EINTR) {
            errno = why;
            *error = L"could not lock '" + shown_ + L"' for writing: " + Why();
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            *error =
                L"the workbook '" + shown_ + L"' is being written by another connection or process";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Current(error);
    if (!error->empty()) {
        if (lock_ >= 0)
            ::close(lock_);
        lock_ = -1;
        return false;
    }
    if (current_ && !current_->IsXlsx()) {
        *error = L"the workbook '" + shown_ + L"' is an .xls workbook, which is read-only";
        if (lock_ >= 0)
            ::close(lock_);
        lock_ = -1;
        return false;
    }
    active_ = true;
    return true;
}

const SheetEdits* WorkbookSession::Edits(const std::string& key) const {
    auto it = edits_.find(key);
    return it == edits_.end() ? nullptr : &it->second;
}

void WorkbookSession::Write(const std::string& key, uint32_t lastRow, uint32_t row,
                            std::vector<CellValue> cells) {
    if (cells.empty())
        return;
    Undo undo;
    undo.key = key;
    undo.row = row;
    auto found = edits_.find(key);
    undo.newEdits = found == edits_.end();
    if (undo.newEdits) {
        found = edits_.emplace(key, SheetEdits()).first;
        found->second.lastRow = lastRow;
    }
    SheetEdits& edits = found->second;
    undo.oldLastRow = edits.lastRow;
    auto row_ = edits.rows.find(row);
    undo.hadRow = row_ != edits.rows.end();
    if (undo.hadRow)
        undo.oldRow = row_->second;
    undo_.push_back(std::move(undo));
    for (CellValue& c : cells)
        edits.Set(row, std::move(c));
}

void WorkbookSession::CreateSheet(const std::string& name, const std::vector<std::string>& header) {
    Undo undo;
    undo.key = NewSheetKey(name);
    undo.createdSheet = true;
    undo_.push_back(undo);
    created_.push_back(name);
    SheetEdits& edits = edits_[undo.key];
    for (size_t i = 0; i < header.size(); ++i) {
        CellValue v;
        v.column = static_cast<uint32_t>(i + 1);
        v.kind = CellKind::Text;
        v.text = header[i];
        edits.Set(1, std::move(v));
    }
    edits.lastRow = 1;
}

bool WorkbookSession::Created(const std::string& name) const {
    return std::find(created_.begin(), created_.end(), name) != created_.end();
}

void WorkbookSession::UndoTo(size_t size) {
    while (undo_.size() > size) {
        Undo& u = undo_.back();
        if (u.createdSheet) {
            edits_.erase(u.key);
            created_.pop_back();
        } else if (u.newEdits) {
            edits_.erase(u.key);
        } else {
            SheetEdits& edits = edits_[u.key];
            if (u.hadRow)
                edits.rows[u.row] = std::move(u.oldRow);
            else
                edits.rows.erase(u.row);
            edits.lastRow = u.oldLastRow;
        }
        undo_.pop_back();
    }
}

bool WorkbookSession::Savepoint(int level) {
    // Every table of the transaction passes on the same savepoint; a table that joins
    // later is told of the levels open then. Only the first call of a level marks it.
    for (const auto& [l, size] : savepoints_)
        if (l == level)
            return true;
    savepoints_.emplace_back(level, undo_.size());
    std::sort(savepoints_.begin(), savepoints_.end());
    return true;
}

bool WorkbookSession::Release(int level) {
    while (!savepoints_.empty() && savepoints_.back().first >= level)
        savepoints_.pop_back();
    return true;
}

bool WorkbookSession::RollbackTo(int level) {
    while (!savepoints_.empty() && savepoints_.back().first > level)
        savepoints_.pop_back();
    if (!savepoints_.empty() && savepoints_.back().first == level)
        UndoTo(savepoints_.back().second);
    return true;
}

bool WorkbookSession::Sync(std::wstring* error) {
    if (!active_ || isPrepared_ || edits_.empty())
        return true;
    WorkbookChanges changes;
    for (const auto& [key, edits] : edits_)
        if (!edits.rows.empty() && key.compare(0, 1, "\n") != 0)
            changes.sheets[key] = &edits;
    for (const std::string& name : created_) {
        CreatedSheet c;
        c.name = name;
        c.edits = &edits_[NewSheetKey(name)];
        changes.created.push_back(c);
    }
    if (changes.sheets.empty() && changes.created.empty())
        return true;
    auto* book = dynamic_cast<XlsxBook*>(current_.get());
    if (!PrepareWorkbook(path_, shown_, book, changes, &prepared_, error))
        return false;
    isPrepared_ = true;
    return true;
}

bool WorkbookSession::Commit(std::wstring* error) {
    if (!active_)
        return true;
    if (!isPrepared_ && !Sync(error)) {
        Rollback();
        return false;
    }
    bool ok = true;
    if (isPrepared_) {
        ok = InstallWorkbook(path_, shown_, &prepared_, error);
        current_.reset();  // read the new version at the next read
    }
    End();
    return ok;
}

void WorkbookSession::Rollback() {
    if (isPrepared_)
        DiscardWorkbook(&prepared_);
    End();
}

void WorkbookSession::End() {
    ++generation_;
    isPrepared_ = false;
    prepared_ = PreparedWorkbook();
    edits_.clear();
    created_.clear();
    undo_.clear();
    savepoints_.clear();
    active_ = false;
    if (lock_ >= 0)
        ::close(lock_);
    lock_ = -1;
}

}  // namespace vorn::provider::stores::workbook
