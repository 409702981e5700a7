// Running the SQL text: the provider command, the rowset, the binding of its columns into
// one row buffer, and the release of a result.
#include <algorithm>
#include <memory>
#include <new>

#include "vornoledb/command.h"
#include "error_records.h"
#include "vornoledb/platform/format.h"

namespace {

constexpr uint32_t kUnknownColumnCount = 0xFFFFFFFFu;

// A row buffer up to this size stays allocated from one result to the next.
constexpr size_t kKeptRowBuffer = 16 * 1024;

// Working arrays of a bind: on the stack for the usual few columns, on the heap past that.
template <class T, size_t N>
class BindArray {
  public:
    explicit BindArray(size_t n, const T& initial) {
        if (n > N) {
            heap_.reset(new T[n]);
            data_ = heap_.get();
        }
        std::fill(data_, data_ + n, initial);
    }
    BindArray(const BindArray&) = delete;
    BindArray& operator=(const BindArray&) = delete;
    T& operator[](size_t i) { return data_[i]; }
    T* data() { return data_; }

  private:
    T local_[N];
    std::unique_ptr<T[]> heap_;
    T* data_ = local_;
};

uint64_t AlignUp(uint64_t offset, uint64_t alignment) {
    return (offset + alignment - 1) / alignment * alignment;
}

// The stream interface to bind long columns with: ISequentialStream when the rowset offers
// it, else IStream when that is offered, else ISequentialStream.
IID ChooseStreamInterface(IRowset* rowset) {
    ComPtr<IRowsetInfo> info;
    if (FAILED(rowset->QueryInterface(IID_IRowsetInfo, info.ReleaseAndGetVoidAddress())) || !info)
        return IID_ISequentialStream;
    DBPROPID ids[2] = {DBPROP_ISequentialStream, DBPROP_IStream};
    DBPROPIDSET idSet{ids, 2, DBPROPSET_ROWSET};
    ULONG setCount = 0;
    DBPROPSET* sets = nullptr;
    const HRESULT hr = info->GetProperties(1, &idSet, &setCount, &sets);
    bool sequential = false, stream = false;
    if (SUCCEEDED(hr) && sets) {
        for (ULONG s = 0; s < setCount; ++s) {
            for (ULONG p = 0; p < sets[s].cProperties; ++p) {
                DBPROP& prop = sets[s].rgProperties[p];
                const bool isTrue =
                    prop.vValue.vt == VT_BOOL && prop.vValue.boolVal == VARIANT_TRUE;
                if (prop.dwPropertyID == DBPROP_ISequentialStream)
                    sequential = isTrue;
                if (prop.dwPropertyID == DBPROP_IStream)
                    stream = isTrue;
            }
        }
    }
    vorn::FreePropertySets(SUCCEEDED(hr) ? setCount : 0, sets);
    if (sequential)
        return IID_ISequentialStream;
    if (stream)
        return IID_IStream;
    return IID_ISequentialStream;
}

}  // namespace

VornOleDbCommand::VornOleDbCommand()
    : m_connection(nullptr),
      m_atStart(false),
      m_executed(false),
      m_endOfRowset(false),
      m_rowsAffected(0),
      m_columnCount(kUnknownColumnCount),
      m_blobHandling(DBBLOBHANDLING_NOSTREAMS) {}

VornOleDbCommand::~VornOleDbCommand() {
    // This class's own Close: a derived class is already gone at this point.
    VornOleDbCommand::Close();
    m_commandText.clear();
    std::lock_guard<std::mutex> hold(m_cancelLock);
    m_cursor.command.Reset();
}

void VornOleDbCommand::SetConnection(VornOleDbConnection* connection) {
    m_connection = connection;
}

void VornOleDbCommand::SetCommandText(const wchar_t* text) {
    m_commandText = text ? text : L"";
}

long VornOleDbCommand::GetRowsAffected() {
    return m_rowsAffected;
}

bool VornOleDbCommand::HasResults() {
    return static_cast<bool>(m_cursor.rowset);
}

bool VornOleDbCommand::IsConnected() const {
    return m_connection != nullptr && m_connection->IsConnected();
}

VornOleDbConnection* VornOleDbCommand::GetConnection() const {
    return m_connection;
}

VornOleDbCommand::dbStatus VornOleDbCommand::Execute() {
    if (m_cursor.rowset)
        ReleaseResult();
    m_executed = false;
    if (m_connection == nullptr || !m_connection->IsConnected())
        return dbError;
    if (m_commandText.empty())
        return dbError;
    m_columnCount = kUnknownColumnCount;
    if (static_cast<uint32_t>(m_blobHandling) <= DBBLOBHANDLING_SKIP)
        m_cursor.bindMode = m_blobHandling;
    m_rowsAffected = 0;

    const HRESULT hr = OpenCommand();
    if (CheckResult(hr)) {
        m_executed = true;
        m_endOfRowset = false;
        m_atStart = true;
        return dbOK;
    }
    SetErrorInfo(GetErrorText(), m_commandText);
    return dbError;
}

HRESULT VornOleDbCommand::OpenCommand() {
    ComPtr<ICommand> created;
    {
        // Cancel may look at the command from another thread.
        std::lock_guard<std::mutex> hold(m_cancelLock);
        m_cursor.command.Reset();
    }

    IOpenRowset* session = m_connection->GetSession().Get();
    if (session == nullptr)
        return E_UNEXPECTED;
    ComPtr<IDBCreateCommand> createCommand;
    HRESULT hr =
        session->QueryInterface(IID_IDBCreateCommand, createCommand.ReleaseAndGetVoidAddress());
    if (FAILED(hr))
        return hr;
    hr = createCommand->CreateCommand(nullptr, IID_ICommand, created.ReleaseAndGetUnknownAddress());
    if (FAILED(hr))
        return hr;
    if (!created)
        return E_NOINTERFACE;
    {
        std::lock_guard<std::mutex> hold(m_cancelLock);
        m_cursor.command = created;
    }

    ComPtr<ICommandText> commandText;
    hr = m_cursor.command.As(&commandText);
    if (FAILED(hr))
        return hr;
    hr = commandText->SetCommandText(DBGUID_DEFAULT, m_commandText.c_str());
    if (FAILED(hr))
        return hr;

    // Scrolling and fetching backwards, and long values as streams of either kind; all
    // optional, so a provider that refuses some still runs the command.
    DBPROP props[4];
    const DBPROPID ids[4] = {DBPROP_CANSCROLLBACKWARDS, DBPROP_CANFETCHBACKWARDS,
                             DBPROP_ISequentialStream, DBPROP_IStream};
    for (int i = 0; i < 4; ++i) {
        props[i].dwPropertyID = ids[i];
        props[i].dwOptions = DBPROPOPTIONS_OPTIONAL;
        props[i].dwStatus = DBPROPSTATUS_OK;
        props[i].colid = DB_NULLID;
        VariantInit(&props[i].vValue);
        props[i].vValue.vt = VT_BOOL;
        props[i].vValue.boolVal = VARIANT_TRUE;
    }
    DBPROPSET propSet{props, 4, DBPROPSET_ROWSET};
    ComPtr<ICommandProperties> commandProperties;
    hr = m_cursor.command.As(&commandProperties);
    if (FAILED(hr))
        return hr;
    hr = commandProperties->SetProperties(1, &propSet);
    if (FAILED(hr))
        return hr;

    hr = m_cursor.command->Execute(nullptr, IID_IRowset, nullptr, &m_rowsAffected,
                                   m_cursor.rowset.ReleaseAndGetUnknownAddress());
    if (FAILED(hr)) {
        // A failed execution leaves no result behind, whatever the provider handed out.
        m_cursor.rowset.Reset();
        return hr;
    }
    if (!m_cursor.rowset)
        return hr;

    m_cursor.rowset.As(&m_cursor.rowsetChange);
    const HRESULT bind = BindColumns();
    if (FAILED(bind))
        return bind;
    return S_OK;
}

HRESULT VornOleDbCommand::BindColumns() {
    CursorState& c = m_cursor;
    ComPtr<IAccessor> accessor;
    HRESULT hr = c.rowset.As(&accessor);
    if (FAILED(hr))
        return hr;
    ComPtr<IColumnsInfo> columnsInfo;
    hr = c.rowset.As(&columnsInfo);
    if (FAILED(hr))
        return hr;
    DBORDINAL count = 0;
    DBCOLUMNINFO* info = nullptr;
    OLECHAR* names = nullptr;
    hr = columnsInfo->GetColumnInfo(&count, &info, &names);
    if (FAILED(hr)) {
        CoTaskMemFree(info);
        CoTaskMemFree(names);
        return hr;
    }
    c.columnInfo = info;
    c.columnNames = names;
    c.columnInfoCount = info ? count : 0;
    count = c.columnInfoCount;
    c.accessor = accessor;

    try {
        c.slots.assign(count, ColumnSlot());
        c.providerAllocated.assign(count, false);
        constexpr size_t kOnStack = 16;
        BindArray<DBBINDING, kOnStack> bindings(count, DBBINDING());
        BindArray<DBOBJECT, kOnStack> objects(count, DBOBJECT());
        bool streamChosen = false;
        IID streamInterface = IID_ISequentialStream;
        uint64_t offset = 0;

        for (DBORDINAL i = 0; i < count; ++i) {
            DBCOLUMNINFO& column = c.columnInfo[i];
            c.providerAllocated[i] = false;
            DBBINDING& b = bindings[i];
            std::memset(&b, 0, sizeof b);
            b.iOrdinal = column.iOrdinal;
            b.dwMemOwner = DBMEMOWNER_CLIENTOWNED;
            b.eParamIO = DBPARAMIO_NOTPARAM;
            b.bPrecision = column.bPrecision;
            b.bScale = column.bScale;

            DBTYPE type = column.wType;
            uint64_t valueSize = 0;
            bool bindValue = true;
            if (column.ulColumnSize <= CursorState::kLongColumnThreshold ||
                type == DBTYPE_IUNKNOWN) {
                if (type == DBTYPE_IUNKNOWN) {
                    objects[i] = DBOBJECT{0, IID_IUnknown};
                    b.pObject = &objects[i];
                    valueSize = sizeof(IUnknown*);
                } else if (type == DBTYPE_STR) {
                    valueSize = uint64_t(column.ulColumnSize) + 1;
                } else if (type == DBTYPE_WSTR) {
                    valueSize = uint64_t(column.ulColumnSize) * sizeof(wchar_t) + sizeof(wchar_t);
                } else {
                    // A fixed-length value is written whole whatever size the provider
                    // declared, so its slot is never smaller than the type.
                    valueSize = std::max<uint64_t>(column.ulColumnSize, DbTypeFixedSize(type));
                }
            } else {
                switch (c.bindMode) {
                    case DBBLOBHANDLING_SKIP:
                        bindValue = false;
                        break;
                    case DBBLOBHANDLING_NOSTREAMS:
                        type = static_cast<DBTYPE>(type | DBTYPE_BYREF);
                        valueSize = sizeof(void*);
                        c.providerAllocated[i] = true;
                        break;
                    default:
                        if (!streamChosen) {
                            streamInterface = ChooseStreamInterface(c.rowset.Get());
                            streamChosen = true;
                        }
                        type = DBTYPE_IUNKNOWN;
                        valueSize = sizeof(IUnknown*);
                        objects[i] = DBOBJECT{0, streamInterface};
                        b.pObject = &objects[i];
                        break;
                }
                column.wType = type;
                column.ulColumnSize = static_cast<DBLENGTH>(valueSize);
            }

            ColumnSlot& slot = c.slots[i];
            if (bindValue) {
                offset = AlignUp(offset, DbTypeAlignment(type));
                slot.valueOffset = static_cast<DBBYTEOFFSET>(offset);
                slot.valueSize = static_cast<DBLENGTH>(valueSize);
                offset += valueSize;
            }
            offset = AlignUp(offset, 4);
            slot.lengthOffset = static_cast<DBBYTEOFFSET>(offset);
            offset += sizeof(DBLENGTH);
            slot.statusOffset = static_cast<DBBYTEOFFSET>(offset);
            offset += sizeof(DBSTATUS);
            if (offset > 0x7FFFFFFFu) {
                ErrorRecord record;
                record.hr = E_OUTOFMEMORY;
                record.description = VornFormat(
                    L"The row of the result is too large to bind: column %lu of %lu takes it "
                    L"past 2 GB.",
                    static_cast<unsigned>(i + 1), static_cast<unsigned>(count));
                record.source = L"VornOleDbCommand";
                record.guid = IID_IAccessor;
                return PostError(record);
            }

            b.obValue = slot.valueOffset;
            b.obLength = slot.lengthOffset;
            b.obStatus = slot.statusOffset;
            b.dwPart =
                (bindValue ? DBPART(DBPART_VALUE) : DBPART(0)) | DBPART_LENGTH | DBPART_STATUS;
            b.cbMaxLen = slot.valueSize;
            b.wType = type;
        }

        const DBLENGTH rowSize = static_cast<DBLENGTH>(AlignUp(offset, 8));
        c.rowBuffer.assign(std::max<DBLENGTH>(rowSize, 8), 0);
        BindArray<DBBINDSTATUS, kOnStack> bindStatus(count, DBBINDSTATUS_OK);
        hr = c.accessor->CreateAccessor(DBACCESSOR_ROWDATA, count, bindings.data(), rowSize,
                                        &c.rowAccessor, bindStatus.data());
        if (FAILED(hr)) {
            c.rowAccessor = DB_NULL_HACCESSOR;
            return hr;
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

bool VornOleDbCommand::Cancel() {
    std::lock_guard<std::mutex> hold(m_cancelLock);
    return m_cursor.command && SUCCEEDED(m_cursor.command->Cancel());
}

void VornOleDbCommand::Close() {
    if (m_cursor.rowset)
        ReleaseResult();
    m_executed = false;
}

void VornOleDbCommand::ReleaseResult() {
    CursorState& c = m_cursor;
    FreeRowValues();
    if (c.accessor && c.rowAccessor != DB_NULL_HACCESSOR)
        c.accessor->ReleaseAccessor(c.rowAccessor, nullptr);
    c.rowAccessor = DB_NULL_HACCESSOR;
    c.accessor.Reset();
    CoTaskMemFree(c.columnInfo);
    CoTaskMemFree(c.columnNames);
    c.columnInfo = nullptr;
    c.columnNames = nullptr;
    c.columnInfoCount = 0;
    // A small buffer serves the next result; a large one is given back.
    if (c.rowBuffer.capacity() > kKeptRowBuffer)
        std::vector<BYTE>().swap(c.rowBuffer);
    else
        c.rowBuffer.clear();
    c.slots.clear();
    c.providerAllocated.clear();
    ReleaseRow();
    c.rowsetChange.Reset();
    c.rowset.Reset();
}
