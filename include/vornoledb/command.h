// One SQL text run on an open connection, with a cursor over the rows it returns, the
// conversion of fields to text and integers, and the reading of long values.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "vornoledb/connection.h"
#include "vornoledb/error_info.h"
#include "vornoledb/heap_ptr.h"
#include "vornoledb/platform/oledb.h"

// How long columns (declared size above 8000 bytes) are bound at the next Execute.
enum DBBLOBHANDLINGENUM : int32_t {
    DBBLOBHANDLING_DEFAULT = 0,    // as stream objects
    DBBLOBHANDLING_NOSTREAMS = 1,  // by reference: the value in memory the command frees
    DBBLOBHANDLING_SKIP = 2,       // length and status only, no value
};

// The destructor is not virtual, though the operations are: classes built on this one add
// their own virtual destructor after its operations, which keeps the order of the virtual
// operations fixed. The compiler's warning about that is silenced here and in those classes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class VORNOLEDB_API VornOleDbCommand : public VornOleDbErrorInfo {
  public:
    enum dbStatus { dbFalse = 0, dbOK = 1, dbError = 2, dbNull = 3, dbTruncated = 4 };

    VornOleDbCommand();
    // Not virtual: classes built on this one add their own virtual destructor after the
    // operations below, which keeps the order of the virtual operations fixed.
    ~VornOleDbCommand();

    // The connection to run on; not owned.
    virtual void SetConnection(VornOleDbConnection* connection);
    // The SQL text; a null pointer gives the empty text.
    virtual void SetCommandText(const wchar_t* text);
    // Runs the SQL text; dbOK with the cursor before the first row, dbError otherwise.
    virtual dbStatus Execute();
    // Number of data columns of the result (a bookmark column is not counted).
    virtual unsigned long GetColumnCount();
    // Rows affected as the provider reported them at the last Execute (32-bit value).
    virtual long GetRowsAffected();
    virtual dbStatus FetchNext(int skip);
    virtual dbStatus FetchNext();
    virtual dbStatus FetchPrev();
    virtual dbStatus FetchFirst();
    virtual dbStatus FetchLast();
    // The field of the current row as text; empty for NULL, long values and bad columns.
    virtual std::wstring FieldAsString(unsigned long column);
    // FieldAsString without the white space at its end.
    virtual std::wstring FieldAsStringEx(unsigned long column);
    // The field as a 32-bit integer (the value lies in the signed 32-bit range).
    virtual long FieldAsLong(unsigned long column);
    virtual dbStatus IsBlob(unsigned long column);
    virtual dbStatus IsNull(unsigned long column);
    virtual dbStatus IsNumeric(unsigned long column);
    virtual dbStatus IsIntegral(unsigned long column);
    // The column's type as bound (DBTYPE), 0 for a bad column.
    virtual unsigned short GetRawType(unsigned long column);
    virtual std::wstring GetColumnName(unsigned long column);
    // The number of the first column of that name (letter case ignored), 0 if none.
    virtual unsigned long GetColumnIndex(const wchar_t* name);
    // Byte length of the column's value in the current row.
    virtual unsigned long GetColumnSize(unsigned long column);
    // True when the last Execute gave a rowset that is still open.
    virtual bool HasResults();
    // Reads a long value into a new heap block that becomes the caller's; gives its size in
    // bytes, 0 when there is nothing to read or the read failed.
    virtual unsigned long GetBlobData(
        unsigned long column, vornoledb::CHeapPtr<unsigned char, vornoledb::CCRTAllocator>& block);
    // Reads a long value into the caller's buffer of `length` bytes, without a terminator.
    virtual dbStatus GetBlobData(unsigned long column, unsigned char* buffer, unsigned long length);
    // Releases the result; the command text, connection and long-column mode stay.
    virtual void Close();
    virtual bool IsConnected() const;
    virtual VornOleDbConnection* GetConnection() const;
    // Sets how long columns are bound at the next Execute; false while a result is open.
    virtual bool SetBlobHandling(DBBLOBHANDLINGENUM mode);

    // The two operations below are not virtual, so that the order of the virtual
    // operations above stays as it is.

    // The bytes of a field of the current row as the provider delivered them, for a reader
    // that needs the value itself rather than its text: the eight bytes of a double
    // (DBTYPE_R8), the four of a float, the 64-bit count of ten-thousandths of a currency,
    // the bytes of a short binary value (as many as its length). dbNull for NULL; dbError
    // (bytes empty) for an unexecuted command, a bad column or a long column, whose value
    // GetBlobData reads.
    dbStatus GetFieldBytes(unsigned long column, std::vector<unsigned char>& bytes);
    // Asks the provider to stop what this command is running: an Execute or a fetch busy on
    // another thread then fails with the provider's "interrupted" error. Unlike every other
    // operation it may be called from another thread while the command is in use (a thread
    // that watches for Ctrl-C, say), as long as the connection stays open meanwhile. Does
    // nothing when the command has not run; true when the provider took the request.
    bool Cancel();

  private:
    VornOleDbCommand(const VornOleDbCommand&);
    VornOleDbCommand& operator=(const VornOleDbCommand&);

    // Where the value, length and status of one column sit in the row buffer.
    struct ColumnSlot {
        vornoledb::DBBYTEOFFSET valueOffset = 0;
        vornoledb::DBBYTEOFFSET lengthOffset = 0;
        vornoledb::DBBYTEOFFSET statusOffset = 0;
        vornoledb::DBLENGTH valueSize = 0;  // bytes of the value slot; 0 when no value is bound
    };

    // The provider objects and the row buffer of the current result.
    struct CursorState {
        vornoledb::ComPtr<vornoledb::ICommand> command;
        vornoledb::ComPtr<vornoledb::IRowset> rowset;
        vornoledb::ComPtr<vornoledb::IRowsetChange> rowsetChange;
        vornoledb::HROW row = vornoledb::DB_NULL_HROW;
        bool holdsRow = false;
        // Column descriptions as the provider gave them (task memory), type and declared
        // size rewritten to the bound ones.
        vornoledb::DBORDINAL columnInfoCount = 0;
        vornoledb::DBCOLUMNINFO* columnInfo = nullptr;
        vornoledb::OLECHAR* columnNames = nullptr;
        vornoledb::ComPtr<vornoledb::IAccessor> accessor;
        vornoledb::HACCESSOR rowAccessor = vornoledb::DB_NULL_HACCESSOR;
        std::vector<vornoledb::BYTE> rowBuffer;
        std::vector<ColumnSlot> slots;
        // Per column: the value slot holds memory the provider allocated for us to free.
        std::vector<bool> providerAllocated;
        DBBLOBHANDLINGENUM bindMode = DBBLOBHANDLING_DEFAULT;
        static constexpr vornoledb::DBLENGTH kLongColumnThreshold = 8000;
    };

    // Result release shared by Execute, Close and the destructor.
    void ReleaseResult();
    void FreeRowValues();
    void ReleaseRow();
    vornoledb::HRESULT OpenCommand();
    vornoledb::HRESULT BindColumns();
    // Cursor primitives.
    vornoledb::HRESULT MoveNext(vornoledb::DBROWOFFSET skip, bool forward);
    vornoledb::HRESULT MoveFirst();
    vornoledb::HRESULT MoveLast();
    vornoledb::HRESULT FetchRow(vornoledb::DBROWOFFSET skip, vornoledb::DBROWCOUNT rows);
    // Re-executes with long values by reference when the first row could not be delivered
    // whole; *reexecuteFailed tells that the new execution failed (its error stays).
    vornoledb::HRESULT RetryBlobHandling(vornoledb::HRESULT hr, bool* reexecuteFailed);

    // Access to one column of the row buffer. Each gives false when the command is not
    // executed or the column cannot be addressed.
    bool ColumnIndex(unsigned long column, vornoledb::DBORDINAL* index);
    bool ReadType(vornoledb::DBORDINAL index, vornoledb::DBTYPE* type) const;
    bool ReadStatus(vornoledb::DBORDINAL index, vornoledb::DBSTATUS* status) const;
    bool ReadLength(vornoledb::DBORDINAL index, vornoledb::DBLENGTH* length) const;
    const vornoledb::BYTE* ValueSlot(vornoledb::DBORDINAL index, vornoledb::DBLENGTH* size) const;
    // Entry test of the field reads: executed, column in range, type and status readable.
    bool EnterField(unsigned long column, vornoledb::DBORDINAL* index, vornoledb::DBTYPE* type,
                    vornoledb::DBSTATUS* status);
    std::wstring ValueText(vornoledb::DBTYPE type, const vornoledb::BYTE* value,
                           vornoledb::DBLENGTH size, vornoledb::DBLENGTH length);
    std::wstring NumericText(vornoledb::DBTYPE type, const vornoledb::BYTE* value,
                             vornoledb::DBLENGTH size, vornoledb::DBLENGTH length);
    // The stream of a stream-bound long value whose described type is binary or text.
    bool OpenLongStream(vornoledb::DBORDINAL index, const vornoledb::BYTE* value,
                        vornoledb::DBLENGTH size,
                        vornoledb::ComPtr<vornoledb::ISequentialStream>* stream);

    VornOleDbConnection* m_connection;
    CursorState m_cursor;
    std::wstring m_commandText;
    bool m_atStart;
    bool m_executed;
    bool m_endOfRowset;
    vornoledb::DBROWCOUNT m_rowsAffected;
    uint32_t m_columnCount;
    DBBLOBHANDLINGENUM m_blobHandling;
    // Guards the provider command against Cancel from another thread while Execute replaces
    // it or the destructor releases it.
    std::mutex m_cancelLock;
};
#pragma GCC diagnostic pop
