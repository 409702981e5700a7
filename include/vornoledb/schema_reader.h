// The frame shared by the schema readers (VornOleDbTables, VornOleDbColumns,
// VornOleDbIndexes): a schema rowset opened on a connection's session with restriction
// texts, walked forward one row at a time into a record of typed slots, and the rule by
// which the readers' text getters answer.
//
// Text columns are bound with room for 129 wide characters, so a longer value reaches the
// getters cut to its first 128 characters. Only values are bound: a NULL leaves the slot
// cleared (empty text, 0, false).
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

#include "vornoledb/connection.h"
#include "vornoledb/error_info.h"
#include "vornoledb/platform/oledb.h"

class VORNOLEDB_API VornOleDbSchemaReader : public VornOleDbErrorInfo {
  public:
    // Characters of a bound text slot, the terminator included.
    static constexpr size_t kTextSlotChars = 129;

    // One column of the schema rowset that a reader binds, by ordinal and type.
    struct ColumnBinding {
        vornoledb::DBORDINAL ordinal;
        vornoledb::DBTYPE type;
    };

  protected:
    VornOleDbSchemaReader();
    ~VornOleDbSchemaReader();

    // Opens the schema rowset (the frame's Open after the test of the connection): closes
    // what the reader held, sets restart pending, sends the restriction texts (null for no
    // restriction) in list order, binds the columns, and passes the status to CheckResult.
    // False without a record when the reader's state cannot be made.
    bool OpenSchema(VornOleDbConnection* connection, const vornoledb::GUID& schema,
                    const wchar_t* const restrictions[], vornoledb::ULONG restrictionCount,
                    const ColumnBinding columns[], size_t columnCount);
    // Moves to the next row (back to the first when restart is pending). False when the
    // reader holds no rowset; otherwise *status is the status of a failed restart or of
    // the move, S_OK when a row is current.
    bool MoveNext(vornoledb::HRESULT* status);
    // A move for readers that record nothing: true only when it ended with S_OK; otherwise
    // the error records the provider left on the thread are discarded with it.
    bool MoveNextUnrecorded();
    // Releases the rowset, its accessor and row, and the restriction values.
    void CloseSchema();
    void RequestRestart() { m_restartPending = true; }

    // Whether the reader holds rowset state (from Open until Close).
    bool HasState() const;
    // The getter rule: false with the string unchanged when there is no state; otherwise
    // the slot's text, and true when it is not empty.
    bool TextField(size_t field, std::wstring& value) const;
    // The bytes of a fixed-size slot; null when there is no state.
    const void* FieldValue(size_t field) const;
    template <class T>
    T Field(size_t field) const {
        T value{};
        if (const void* slot = FieldValue(field))
            std::memcpy(&value, slot, sizeof value);
        return value;
    }

  private:
    VornOleDbSchemaReader(const VornOleDbSchemaReader&);
    VornOleDbSchemaReader& operator=(const VornOleDbSchemaReader&);

    struct RowsetState;
    std::unique_ptr<RowsetState> m_state;
    bool m_restartPending;
};
