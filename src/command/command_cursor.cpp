// The row cursor: moves through the rowset, the values handed over with each row, and the
// switch from stream to by-reference binding when the first row cannot be delivered whole.
#include <algorithm>

#include "vornoledb/command.h"

void VornOleDbCommand::FreeRowValues() {
    CursorState& c = m_cursor;
    // Values come only with a row held: a failed read empties the buffer and gives the row
    // back, and every release of a row frees its values first.
    if (!c.holdsRow || c.rowBuffer.empty() || !c.columnInfo)
        return;
    ComPtr<IChapteredRowset> chapters;
    for (DBORDINAL i = 0; i < c.columnInfoCount && i < c.slots.size(); ++i) {
        const ColumnSlot& slot = c.slots[i];
        if (slot.valueSize == 0)
            continue;
        BYTE* value = c.rowBuffer.data() + slot.valueOffset;
        DBSTATUS status = 0;
        std::memcpy(&status, c.rowBuffer.data() + slot.statusOffset, sizeof status);
        const DBTYPE type = c.columnInfo[i].wType;
        // Each slot is emptied after its value is freed, so that a value is never freed
        // twice even when the provider leaves a slot alone on the next row.
        if (c.providerAllocated[i]) {
            void* memory = nullptr;
            std::memcpy(&memory, value, sizeof memory);
            if (status != DBSTATUS_S_ISNULL)
                CoTaskMemFree(memory);
            std::memset(value, 0, sizeof memory);
        } else if (type == DBTYPE_IUNKNOWN || type == DBTYPE_IDISPATCH) {
            IUnknown* object = nullptr;
            std::memcpy(&object, value, sizeof object);
            if (status == DBSTATUS_S_OK && object)
                object->Release();
            std::memset(value, 0, sizeof object);
        } else if (type == DBTYPE_BSTR) {
            BSTR text = nullptr;
            std::memcpy(&text, value, sizeof text);
            SysFreeString(text);
            std::memset(value, 0, sizeof text);
        } else if (type == DBTYPE_VARIANT) {
            VariantClear(reinterpret_cast<VARIANT*>(value));
            std::memset(value, 0, sizeof(VARIANT));
        } else if (type == DBTYPE_HCHAPTER) {
            HCHAPTER chapter = 0;
            std::memcpy(&chapter, value, sizeof chapter);
            if (chapter != DB_NULL_HCHAPTER) {
                if (!chapters && c.rowset)
                    c.rowset.As(&chapters);
                if (chapters)
                    chapters->ReleaseChapter(chapter, nullptr);
            }
            std::memset(value, 0, sizeof chapter);
        }
    }
}

void VornOleDbCommand::ReleaseRow() {
    CursorState& c = m_cursor;
    if (c.holdsRow && c.rowset)
        c.rowset->ReleaseRows(1, &c.row, nullptr, nullptr, nullptr);
    c.holdsRow = false;
    c.row = DB_NULL_HROW;
}

HRESULT VornOleDbCommand::FetchRow(DBROWOFFSET skip, DBROWCOUNT rows) {
    CursorState& c = m_cursor;
    FreeRowValues();
    ReleaseRow();

    HROW handle = DB_NULL_HROW;
    HROW* handles = &handle;
    DBCOUNTITEM obtained = 0;
    HRESULT hr = c.rowset->GetNextRows(DB_NULL_HCHAPTER, skip, rows, &obtained, &handles);
    if (handles && handles != &handle) {
        // The provider allocated the handle array after all.
        if (obtained > 0)
            handle = handles[0];
        CoTaskMemFree(handles);
    }
    if (hr == S_OK && obtained == 0)
        hr = DB_S_ENDOFROWSET;
    if (hr != S_OK) {
        // A row handed out with a result other than full success is given back at once.
        if (obtained > 0 && handle != DB_NULL_HROW)
            c.rowset->ReleaseRows(1, &handle, nullptr, nullptr, nullptr);
        return hr;
    }
    c.row = handle;
    c.holdsRow = true;

    hr = c.rowset->GetData(c.row, c.rowAccessor, c.rowBuffer.data());
    if (FAILED(hr)) {
        // What the provider wrote before it failed is not ours to free; the buffer starts
        // over empty so that no stale pointer is read or freed later.
        std::fill(c.rowBuffer.begin(), c.rowBuffer.end(), BYTE(0));
        ReleaseRow();
    }
    return hr;
}

HRESULT VornOleDbCommand::MoveNext(DBROWOFFSET skip, bool forward) {
    return FetchRow(skip, forward ? 1 : -1);
}

HRESULT VornOleDbCommand::MoveFirst() {
    FreeRowValues();
    ReleaseRow();
    const HRESULT hr = m_cursor.rowset->RestartPosition(DB_NULL_HCHAPTER);
    if (FAILED(hr))
        return hr;
    return MoveNext(0, true);
}

HRESULT VornOleDbCommand::MoveLast() {
    FreeRowValues();
    ReleaseRow();
    const HRESULT hr = m_cursor.rowset->RestartPosition(DB_NULL_HCHAPTER);
    if (FAILED(hr))
        return hr;
    return FetchRow(0, -1);
}

HRESULT VornOleDbCommand::RetryBlobHandling(HRESULT hr, bool* reexecuteFailed) {
    *reexecuteFailed = false;
    if (hr != DB_S_ERRORSOCCURRED || m_blobHandling == DBBLOBHANDLING_NOSTREAMS)
        return hr;
    m_blobHandling = DBBLOBHANDLING_NOSTREAMS;
    if (Execute() != dbOK) {
        *reexecuteFailed = true;
        return hr;
    }
    // Execute may have been replaced by one that leaves no rowset.
    if (!m_cursor.rowset)
        return hr;
    const HRESULT moved = MoveFirst();
    m_atStart = false;
    return moved;
}

VornOleDbCommand::dbStatus VornOleDbCommand::FetchFirst() {
    if (!m_executed || !m_cursor.rowset)
        return dbError;
    HRESULT hr = MoveFirst();
    m_atStart = false;
    bool reexecuteFailed = false;
    hr = RetryBlobHandling(hr, &reexecuteFailed);
    if (reexecuteFailed) {
        // The failed re-execution's error information stays for the host to read.
        m_endOfRowset = true;
        return dbFalse;
    }
    const bool ok = CheckResult(hr);
    m_endOfRowset = !ok;
    return ok ? dbOK : dbFalse;
}

VornOleDbCommand::dbStatus VornOleDbCommand::FetchNext(int skip) {
    if (m_endOfRowset)
        return dbFalse;
    if (!m_executed || !m_cursor.rowset)
        return dbError;
    HRESULT hr;
    if (m_atStart) {
        m_atStart = false;
        hr = MoveFirst();
        bool reexecuteFailed = false;
        hr = RetryBlobHandling(hr, &reexecuteFailed);
        if (reexecuteFailed) {
            m_endOfRowset = true;
            return dbFalse;
        }
    } else {
        hr = MoveNext(skip, true);
    }
    const bool ok = CheckResult(hr);
    m_endOfRowset = !ok;
    return ok ? dbOK : dbFalse;
}

VornOleDbCommand::dbStatus VornOleDbCommand::FetchNext() {
    return FetchNext(0);
}

VornOleDbCommand::dbStatus VornOleDbCommand::FetchPrev() {
    if (m_atStart)
        return dbFalse;
    if (!m_executed || !m_cursor.rowset)
        return dbError;
    // A forward fetch starts one row after the row held; two rows back from there is the
    // row before it.
    const HRESULT hr = MoveNext(-2, true);
    const bool ok = CheckResult(hr);
    m_endOfRowset = false;
    m_atStart = !ok;
    return ok ? dbOK : dbFalse;
}

VornOleDbCommand::dbStatus VornOleDbCommand::FetchLast() {
    if (!m_executed || !m_cursor.rowset)
        return dbError;
    const HRESULT hr = MoveLast();
    m_atStart = false;
    const bool ok = CheckResult(hr);
    m_endOfRowset = !ok;
    return ok ? dbOK : dbFalse;
}
