// The rollback journal of a text table's writes. Before the first byte of a transaction
// reaches a file, a journal beside it ("parts.csv-vornjournal") records how to undo the
// transaction: the file's length before it (appends are cut off again), or that the file
// was made by it (it is removed), and the folder's schema.ini as it was when the
// transaction changes it. The journal is written whole under a temporary name, synced and
// renamed into place, and its writer holds an exclusive lock on it until the transaction
// ends. Removing the journal commits; a rollback plays it back first. A journal found at
// the next open whose writer is gone (its lock free) is played back then, so a writer
// killed mid-statement leaves the file as it was before its statement or transaction.
#pragma once

#include <cstdint>
#include <string>

namespace vorn::provider::stores::text {

struct JournalRecord {
    bool created = false;        // the transaction made the file: undoing removes it
    uint64_t size = 0;           // the file's length before the transaction
    bool hasSchema = false;      // schema.ini is to be put back
    bool schemaExisted = false;  // ... as schemaText, or removed when it did not exist
    std::string schemaText;
};

// The journal's path for a data file.
std::string JournalPath(const std::string& file);

// Writes a journal for file and takes its lock. Returns the journal's descriptor (the
// writer keeps it open until the transaction ends), or -1 with *error filled.
int WriteJournal(const std::string& file, const JournalRecord& record, std::wstring* error);

// Reads the journal open as fd. False when it is not a complete journal.
bool ReadJournal(int fd, JournalRecord* record);

// Undoes what record describes for file (schemaPath is the folder's schema.ini).
bool PlayBack(const std::string& file, const std::string& schemaPath, const JournalRecord& record,
              std::wstring* error);

// Ends a transaction: removes the journal (the commit point), then closes it.
void RemoveJournal(const std::string& file, int fd);

// Writes all of data at offset of fd (retrying short writes). False with errno set.
bool WriteAt(int fd, const char* data, size_t size, uint64_t offset);

// Replaces path with text through a synced temporary file renamed into place. False
// with *error filled.
bool ReplaceFileText(const std::string& path, const std::string& text, std::wstring* error);

// Plays back every journal in folder whose writer is gone. False with *error filled
// when one cannot be played back.
bool RecoverFolder(const std::string& folder, std::wstring* error);

// The journal of file, when another writer is in the middle of a transaction on it: true
// with *record filled (readers then see the file as it was before that transaction).
bool PendingJournal(const std::string& file, JournalRecord* record);

}  // namespace vorn::provider::stores::text
