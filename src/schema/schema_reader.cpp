// The schema reader frame: opening a schema rowset with restrictions, binding its record,
// moving through it and closing it.
#include "vornoledb/schema_reader.h"

#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

struct VornOleDbSchemaReader::RowsetState {
    std::vector<VARIANT> restrictions;
    ComPtr<IRowset> rowset;
    ComPtr<IAccessor> accessor;
    HACCESSOR rowAccessor = DB_NULL_HACCESSOR;
    HROW row = DB_NULL_HROW;
    bool holdsRow = false;
    // The record: one slot per bound column, at these offsets, each of this size.
    std::vector<DBBYTEOFFSET> offsets;
    std::vector<DBTYPE> types;
    std::vector<BYTE> record;

    ~RowsetState() {
        for (VARIANT& v : restrictions)
            VariantClear(&v);
    }
    void ClearRecord() { std::fill(record.begin(), record.end(), BYTE(0)); }
    void ReleaseRow() {
        if (holdsRow && rowset)
            rowset->ReleaseRows(1, &row, nullptr, nullptr, nullptr);
        holdsRow = false;
        row = DB_NULL_HROW;
    }
};

namespace {

// Bytes of a slot of the bound type.
DBLENGTH SlotSize(DBTYPE type) {
    switch (type) {
        case DBTYPE_WSTR:
            return VornOleDbSchemaReader::kTextSlotChars * sizeof(wchar_t);
        case DBTYPE_BOOL:
        case DBTYPE_UI2:
        case DBTYPE_I2:
            return 2;
        case DBTYPE_UI4:
        case DBTYPE_I4:
            return 4;
        case DBTYPE_GUID:
            return sizeof(GUID);
        default:
            return 8;
    }
}

DBLENGTH SlotAlignment(DBTYPE type) {
    switch (type) {
        case DBTYPE_BOOL:
        case DBTYPE_UI2:
        case DBTYPE_I2:
            return 2;
        default:
            return 4;
    }
}

}  // namespace

VornOleDbSchemaReader::VornOleDbSchemaReader() : m_restartPending(true) {}

VornOleDbSchemaReader::~VornOleDbSchemaReader() {
    CloseSchema();
}

bool VornOleDbSchemaReader::HasState() const {
    return m_state != nullptr;
}

bool VornOleDbSchemaReader::OpenSchema(VornOleDbConnection* connection, const GUID& schema,
                                       const wchar_t* const restrictions[], ULONG restrictionCount,
                                       const ColumnBinding columns[], size_t columnCount) {
    CloseSchema();
    m_restartPending = true;

    // The state with a cleared record and empty restrictions.
    m_state.reset(new (std::nothrow) RowsetState);
    if (!m_state)
        return false;
    RowsetState& s = *m_state;
    s.restrictions.resize(restrictionCount);
    for (VARIANT& v : s.restrictions)
        VariantInit(&v);
    DBLENGTH size = 0;
    std::vector<DBBINDING> bindings(columnCount);
    for (size_t i = 0; i < columnCount; ++i) {
        const DBLENGTH align = SlotAlignment(columns[i].type);
        size = (size + align - 1) / align * align;
        DBBINDING& b = bindings[i];
        std::memset(&b, 0, sizeof b);
        b.iOrdinal = columns[i].ordinal;
        b.obValue = size;
        b.dwPart = DBPART_VALUE;
        b.dwMemOwner = DBMEMOWNER_CLIENTOWNED;
        b.eParamIO = DBPARAMIO_NOTPARAM;
        b.cbMaxLen = SlotSize(columns[i].type);
        b.wType = columns[i].type;
        s.offsets.push_back(size);
        s.types.push_back(columns[i].type);
        size += b.cbMaxLen;
    }
    s.record.assign(size, 0);

    HRESULT hr = S_OK;
    for (ULONG i = 0; i < restrictionCount; ++i) {
        if (!restrictions[i])
            continue;
        BSTR copy = SysAllocString(restrictions[i]);
        if (!copy) {
            hr = E_OUTOFMEMORY;
            break;
        }
        s.restrictions[i].vt = VT_BSTR;
        s.restrictions[i].bstrVal = copy;
    }

    if (SUCCEEDED(hr)) {
        IOpenRowset* session = connection->GetSession().Get();
        if (!session) {
            hr = E_FAIL;
        } else {
            ComPtr<IDBSchemaRowset> schemas;
            hr = session->QueryInterface(IID_IDBSchemaRowset, schemas.ReleaseAndGetVoidAddress());
            if (SUCCEEDED(hr) && schemas) {
                IUnknown* rowset = nullptr;
                hr = schemas->GetRowset(nullptr, schema, restrictionCount, s.restrictions.data(),
                                        IID_IRowset, 0, nullptr, &rowset);
                s.rowset = ComPtr<IRowset>::Attach(static_cast<IRowset*>(rowset));
            } else if (SUCCEEDED(hr)) {
                hr = E_NOINTERFACE;
            }
        }
    }

    if (s.rowset) {
        // Bound: the status is S_OK whatever success code GetRowset gave.
        hr = s.rowset->QueryInterface(IID_IAccessor, s.accessor.ReleaseAndGetVoidAddress());
        if (SUCCEEDED(hr) && s.accessor)
            hr = s.accessor->CreateAccessor(DBACCESSOR_ROWDATA,
                                            static_cast<DBCOUNTITEM>(bindings.size()),
                                            bindings.data(), size, &s.rowAccessor, nullptr);
        else if (SUCCEEDED(hr))
            hr = E_NOINTERFACE;
        if (SUCCEEDED(hr)) {
            hr = S_OK;
        } else {
            // A rowset that cannot be bound is of no use: the reader is in its failed state.
            s.accessor.Reset();
            s.rowAccessor = DB_NULL_HACCESSOR;
            s.rowset.Reset();
        }
    } else if (SUCCEEDED(hr)) {
        // Success without a rowset: there is nothing to read.
        CheckResult(E_FAIL);
        SetErrorInfo(L"The provider reported success but returned no schema rowset.", L"");
        return false;
    }
    return CheckResult(hr);
}

bool VornOleDbSchemaReader::MoveNext(HRESULT* status) {
    if (!m_state || !m_state->rowset)
        return false;
    RowsetState& s = *m_state;
    if (m_restartPending) {
        m_restartPending = false;
        s.ClearRecord();
        s.ReleaseRow();
        const HRESULT hr = s.rowset->RestartPosition(DB_NULL_HCHAPTER);
        if (FAILED(hr)) {
            *status = hr;
            return true;
        }
    }
    s.ClearRecord();
    s.ReleaseRow();
    DBCOUNTITEM obtained = 0;
    HROW row = DB_NULL_HROW;
    HROW* rows = &row;
    HRESULT hr = s.rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows);
    if (hr == S_OK && obtained != 1)
        hr = DB_S_ENDOFROWSET;
    if (hr != S_OK) {
        *status = hr;
        return true;
    }
    s.row = row;
    s.holdsRow = true;
    hr = s.rowset->GetData(s.row, s.rowAccessor, s.record.data());
    // A row counts only when it was read whole: DB_S_ERRORSOCCURRED (a field that could
    // not be converted) ends the move as a failure does.
    if (hr != S_OK) {
        s.ClearRecord();
        s.ReleaseRow();
        *status = hr;
        return true;
    }
    *status = S_OK;
    return true;
}

bool VornOleDbSchemaReader::MoveNextUnrecorded() {
    HRESULT status = S_OK;
    if (!MoveNext(&status))
        return false;
    if (status == S_OK)
        return true;
    ComPtr<IErrorInfo> pending;
    vornoledb::GetErrorInfo(0, pending.ReleaseAndGetAddressOf());
    return false;
}

void VornOleDbSchemaReader::CloseSchema() {
    if (!m_state)
        return;
    RowsetState& s = *m_state;
    if (s.rowset) {
        s.ClearRecord();
        if (s.accessor && s.rowAccessor != DB_NULL_HACCESSOR)
            s.accessor->ReleaseAccessor(s.rowAccessor, nullptr);
        s.rowAccessor = DB_NULL_HACCESSOR;
        s.accessor.Reset();
        s.ReleaseRow();
        s.rowset.Reset();
    }
    m_state.reset();
}

bool VornOleDbSchemaReader::TextField(size_t field, std::wstring& value) const {
    if (!m_state || field >= m_state->offsets.size())
        return false;
    const auto* text =
        reinterpret_cast<const wchar_t*>(m_state->record.data() + m_state->offsets[field]);
    // The provider ends the text within the slot; the bound holds even if it did not.
    value.assign(text, wcsnlen(text, kTextSlotChars));
    return !value.empty();
}

const void* VornOleDbSchemaReader::FieldValue(size_t field) const {
    if (!m_state || field >= m_state->offsets.size())
        return nullptr;
    return m_state->record.data() + m_state->offsets[field];
}
