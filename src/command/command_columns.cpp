// Column metadata of the result and the addressing of one column in the row buffer.
#include <cwchar>

#include "vornoledb/command.h"

unsigned long VornOleDbCommand::GetColumnCount() {
    if (m_columnCount != 0xFFFFFFFFu)
        return m_columnCount;
    const DBORDINAL count = m_cursor.columnInfo ? m_cursor.columnInfoCount : 0;
    if (count == 0) {
        m_columnCount = 0;
    } else if (m_cursor.columnInfo[0].dwFlags & DBCOLUMNFLAGS_ISBOOKMARK) {
        m_columnCount = count - 1;
    } else {
        m_columnCount = count;
    }
    return m_columnCount;
}

bool VornOleDbCommand::ColumnIndex(unsigned long column, DBORDINAL* index) {
    if (!m_executed)
        return false;
    if (column == 0)
        return false;
    if (column > GetColumnCount())
        return false;
    // The column number is the provider's ordinal: its distance from the ordinal of the
    // first description (0 when a bookmark column leads) is the description's index.
    // A number that addresses no description gives an index the reads below refuse.
    const CursorState& c = m_cursor;
    if (!c.columnInfo || c.columnInfoCount == 0 || column < c.columnInfo[0].iOrdinal ||
        column - c.columnInfo[0].iOrdinal >= c.columnInfoCount) {
        *index = static_cast<DBORDINAL>(-1);
        return true;
    }
    *index = static_cast<DBORDINAL>(column - c.columnInfo[0].iOrdinal);
    return true;
}

bool VornOleDbCommand::ReadType(DBORDINAL index, DBTYPE* type) const {
    const CursorState& c = m_cursor;
    if (!c.columnInfo || index >= c.columnInfoCount)
        return false;
    *type = c.columnInfo[index].wType;
    return true;
}

bool VornOleDbCommand::ReadStatus(DBORDINAL index, DBSTATUS* status) const {
    const CursorState& c = m_cursor;
    if (index >= c.slots.size() || c.rowBuffer.empty())
        return false;
    std::memcpy(status, c.rowBuffer.data() + c.slots[index].statusOffset, sizeof *status);
    return true;
}

bool VornOleDbCommand::ReadLength(DBORDINAL index, DBLENGTH* length) const {
    const CursorState& c = m_cursor;
    if (index >= c.slots.size() || c.rowBuffer.empty())
        return false;
    std::memcpy(length, c.rowBuffer.data() + c.slots[index].lengthOffset, sizeof *length);
    return true;
}

const BYTE* VornOleDbCommand::ValueSlot(DBORDINAL index, DBLENGTH* size) const {
    const CursorState& c = m_cursor;
    if (index >= c.slots.size() || c.rowBuffer.empty() || c.slots[index].valueSize == 0)
        return nullptr;
    *size = c.slots[index].valueSize;
    return c.rowBuffer.data() + c.slots[index].valueOffset;
}

bool VornOleDbCommand::EnterField(unsigned long column, DBORDINAL* index, DBTYPE* type,
                                  DBSTATUS* status) {
    return ColumnIndex(column, index) && ReadType(*index, type) && ReadStatus(*index, status);
}

std::wstring VornOleDbCommand::GetColumnName(unsigned long column) {
    DBORDINAL index;
    DBTYPE type;
    if (!ColumnIndex(column, &index) || !ReadType(index, &type))
        return std::wstring();
    const wchar_t* name = m_cursor.columnInfo[index].pwszName;
    return name ? std::wstring(name) : std::wstring();
}

unsigned long VornOleDbCommand::GetColumnIndex(const wchar_t* name) {
    if (!m_executed || name == nullptr || *name == 0)
        return 0;
    if (GetColumnCount() == 0)
        return 0;
    for (unsigned long n = 1; n <= GetColumnCount(); ++n) {
        DBORDINAL index;
        DBTYPE type;
        if (!ColumnIndex(n, &index) || !ReadType(index, &type))
            continue;
        const wchar_t* columnName = m_cursor.columnInfo[index].pwszName;
        if (columnName && wcscasecmp(columnName, name) == 0)
            return n;
    }
    return 0;
}

unsigned long VornOleDbCommand::GetColumnSize(unsigned long column) {
    DBORDINAL index;
    DBTYPE type;
    DBLENGTH length = 0;
    if (!ColumnIndex(column, &index) || !ReadType(index, &type) || !ReadLength(index, &length))
        return 0;
    return length;
}

unsigned short VornOleDbCommand::GetRawType(unsigned long column) {
    DBORDINAL index;
    DBTYPE type;
    if (!ColumnIndex(column, &index) || !ReadType(index, &type))
        return DBTYPE_EMPTY;
    return type;
}
