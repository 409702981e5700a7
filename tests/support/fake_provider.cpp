// The scripted provider of fake_provider.h.
#include "support/fake_provider.h"

#include <algorithm>
#include <cstdlib>

#include "error_records.h"

namespace vorn::test::fake {

namespace {

using ProviderPtr = std::shared_ptr<Provider>;

constexpr wchar_t kSource[] = L"Fake provider";

DBLENGTH FixedSize(DBTYPE type) {
    if (type & DBTYPE_BYREF)
        return sizeof(void*);
    switch (type) {
        case DBTYPE_I1:
        case DBTYPE_UI1:
            return 1;
        case DBTYPE_I2:
        case DBTYPE_UI2:
        case DBTYPE_BOOL:
            return 2;
        case DBTYPE_I4:
        case DBTYPE_UI4:
        case DBTYPE_R4:
        case DBTYPE_ERROR:
            return 4;
        case DBTYPE_I8:
        case DBTYPE_UI8:
        case DBTYPE_R8:
        case DBTYPE_CY:
        case DBTYPE_DATE:
        case DBTYPE_FILETIME:
            return 8;
        case DBTYPE_BSTR:
        case DBTYPE_IDISPATCH:
        case DBTYPE_IUNKNOWN:
        case DBTYPE_HCHAPTER:
            return sizeof(void*);
        case DBTYPE_VARIANT:
            return sizeof(VARIANT);
        case DBTYPE_DECIMAL:
        case DBTYPE_GUID:
        case DBTYPE_DBTIMESTAMP:
            return 16;
        case DBTYPE_NUMERIC:
            return sizeof(DB_NUMERIC);
        case DBTYPE_DBDATE:
        case DBTYPE_DBTIME:
            return 6;
        default:
            return 0;
    }
}

DBLENGTH NaturalAlignment(DBTYPE type) {
    if (type & DBTYPE_BYREF)
        return alignof(void*);
    switch (type) {
        case DBTYPE_I2:
        case DBTYPE_UI2:
        case DBTYPE_BOOL:
        case DBTYPE_DBDATE:
        case DBTYPE_DBTIME:
            return 2;
        case DBTYPE_I4:
        case DBTYPE_UI4:
        case DBTYPE_R4:
        case DBTYPE_ERROR:
        case DBTYPE_WSTR:
        case DBTYPE_GUID:
        case DBTYPE_FILETIME:
        case DBTYPE_DBTIMESTAMP:
            return 4;
        case DBTYPE_I8:
        case DBTYPE_UI8:
        case DBTYPE_R8:
        case DBTYPE_CY:
        case DBTYPE_DATE:
        case DBTYPE_BSTR:
        case DBTYPE_IDISPATCH:
        case DBTYPE_IUNKNOWN:
        case DBTYPE_HCHAPTER:
        case DBTYPE_VARIANT:
        case DBTYPE_DECIMAL:
            return 8;
        default:
            return 1;
    }
}

template <class T>
void Put(BYTE* data, DBBYTEOFFSET offset, const T& value) {
    std::memcpy(data + offset, &value, sizeof(T));
}

// ---- objects ----------------------------------------------------------------------------

// Held by the provider's tables, so it must not keep the provider alive itself.
class CountedObject : public ComObject<IUnknown> {
  public:
    explicit CountedObject(const ProviderPtr& p) : p_(p) { ++p->stats.liveObjects; }
    ~CountedObject() override {
        if (ProviderPtr p = p_.lock())
            --p->stats.liveObjects;
    }

  private:
    std::weak_ptr<Provider> p_;
};

class FakeStream : public ComObject<IStream> {
  public:
    FakeStream(ProviderPtr p, std::vector<BYTE> data, bool sequential, bool full)
        : p_(std::move(p)), data_(std::move(data)), sequential_(sequential), full_(full) {
        ++p_->stats.liveStreams;
    }
    ~FakeStream() override { --p_->stats.liveStreams; }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || (riid == IID_ISequentialStream && sequential_) ||
            (riid == IID_IStream && full_)) {
            *ppv = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        size_t n = std::min<size_t>(cb, data_.size() - position_);
        if (n)
            std::memcpy(pv, data_.data() + position_, n);
        position_ += n;
        if (pcbRead)
            *pcbRead = static_cast<ULONG>(n);
        p_->stats.streamReads.push_back(static_cast<ULONG>(n));
        return S_OK;
    }
    HRESULT Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    HRESULT Seek(LONGLONG move, DWORD origin, ULONGLONG* newPosition) override {
        int64_t base = origin == STREAM_SEEK_SET   ? 0
                       : origin == STREAM_SEEK_CUR ? static_cast<int64_t>(position_)
                                                   : static_cast<int64_t>(data_.size());
        int64_t target = base + move;
        if (target < 0)
            return E_INVALIDARG;
        position_ = std::min<size_t>(static_cast<size_t>(target), data_.size());
        if (newPosition)
            *newPosition = position_;
        return S_OK;
    }
    HRESULT SetSize(ULONGLONG) override { return STG_E_ACCESSDENIED; }

  private:
    ProviderPtr p_;
    std::vector<BYTE> data_;
    size_t position_ = 0;
    bool sequential_;
    bool full_;
};

class FakeRowset : public ComObject<IRowset, IAccessor, IColumnsInfo, IRowsetInfo, IChapteredRowset,
                                    IRowsetChange> {
  public:
    FakeRowset(ProviderPtr p, std::shared_ptr<Table> t) : p_(std::move(p)), t_(std::move(t)) {
        ++p_->stats.liveRowsets;
    }
    ~FakeRowset() override {
        --p_->stats.liveRowsets;
        // Rows still held when the rowset goes are no longer outstanding.
        for (auto& h : held_)
            p_->stats.outstandingRows -= h.second;
    }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IRowsetChange && !t_->offersRowsetChange) {
            if (ppv)
                *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return ComObject::QueryInterface(riid, ppv);
    }

    // ---- IRowset
    HRESULT AddRefRows(DBCOUNTITEM cRows, const HROW rghRows[], DBREFCOUNT[],
                       DBROWSTATUS[]) override {
        for (DBCOUNTITEM i = 0; i < cRows; ++i) {
            if (!held_.count(rghRows[i]))
                return DB_E_BADROWHANDLE;
            ++held_[rghRows[i]];
            ++p_->stats.outstandingRows;
        }
        return S_OK;
    }

    HRESULT GetData(HROW hRow, HACCESSOR hAccessor, void* pData) override {
        ++p_->stats.getData;
        auto row = held_.find(hRow);
        if (row == held_.end() || row->second <= 0)
            return DB_E_BADROWHANDLE;
        auto acc = accessors_.find(hAccessor);
        if (acc == accessors_.end())
            return DB_E_BADACCESSORHANDLE;
        if (!pData)
            return E_INVALIDARG;
        const size_t r = static_cast<size_t>(hRow - 1);
        auto forced = t_->getDataResults.find(r);
        if (forced != t_->getDataResults.end() && FAILED(forced->second))
            return PostFakeError(forced->second,
                                 L"Reading row " + std::to_wstring(r + 1) + L" failed.");
        BYTE* data = static_cast<BYTE*>(pData);
        bool errors = false;
        for (size_t b = 0; b < acc->second.bindings.size(); ++b) {
            const DBBINDING& bind = acc->second.bindings[b];
            const size_t ci = ColumnOf(bind.iOrdinal);
            const Column& col = t_->columns[ci];
            const Cell& cell = t_->rows[r][ci];
            DBSTATUS status = DBSTATUS_S_OK;
            DBLENGTH length = 0;
            if (cell.status == DBSTATUS_S_ISNULL) {
                status = DBSTATUS_S_ISNULL;
            } else if (cell.status != DBSTATUS_S_OK) {
                status = cell.status;
                errors = true;
            } else if (bind.dwPart & DBPART_VALUE) {
                status = WriteValue(bind, acc->second.objects[b], col, cell, data, &length);
                if (status != DBSTATUS_S_OK && status != DBSTATUS_S_TRUNCATED)
                    errors = true;
            } else {
                length = static_cast<DBLENGTH>(cell.bytes.size());
            }
            if (bind.dwPart & DBPART_LENGTH)
                Put(data, bind.obLength, length);
            if (bind.dwPart & DBPART_STATUS)
                Put(data, bind.obStatus, status);
        }
        if (forced != t_->getDataResults.end()) {
            // A forced warning comes with its record, as a provider posts one.
            if (forced->second != S_OK)
                return PostFakeError(forced->second,
                                     L"Row " + std::to_wstring(r + 1) + L" was read with errors.");
            return forced->second;
        }
        return errors ? DB_S_ERRORSOCCURRED : S_OK;
    }

    HRESULT GetNextRows(HCHAPTER, DBROWOFFSET lRowsOffset, DBROWCOUNT cRows,
                        DBCOUNTITEM* pcRowsObtained, HROW** prghRows) override {
        if (!pcRowsObtained || !prghRows)
            return E_INVALIDARG;
        *pcRowsObtained = 0;
        HRESULT hr = Fetch(lRowsOffset, cRows, pcRowsObtained, prghRows);
        p_->stats.fetches.push_back({lRowsOffset, cRows, hr});
        return hr;
    }

    HRESULT ReleaseRows(DBCOUNTITEM cRows, const HROW rghRows[], DBROWOPTIONS[], DBREFCOUNT[],
                        DBROWSTATUS[]) override {
        ++p_->stats.releaseRows;
        HRESULT hr = S_OK;
        for (DBCOUNTITEM i = 0; i < cRows; ++i) {
            auto it = held_.find(rghRows[i]);
            if (it == held_.end() || it->second <= 0) {
                hr = DB_S_ERRORSOCCURRED;
                continue;
            }
            --it->second;
            --p_->stats.outstandingRows;
            if (it->second == 0)
                held_.erase(it);
        }
        return hr;
    }

    HRESULT RestartPosition(HCHAPTER) override {
        ++p_->stats.restartPosition;
        if (FAILED(t_->restartPositionResult))
            return PostFakeError(t_->restartPositionResult, L"The rowset cannot restart.");
        if (!held_.empty() && !t_->canHoldRows)
            return PostFakeError(DB_E_ROWSNOTRELEASED, L"Rows are still held.");
        current_ = -1;
        atHead_ = true;
        return t_->restartPositionResult;
    }

    // ---- IAccessor
    HRESULT AddRefAccessor(HACCESSOR, DBREFCOUNT*) override { return E_NOTIMPL; }

    HRESULT CreateAccessor(DBACCESSORFLAGS flags, DBCOUNTITEM cBindings,
                           const DBBINDING rgBindings[], DBLENGTH cbRowSize, HACCESSOR* phAccessor,
                           DBBINDSTATUS rgStatus[]) override {
        if (!phAccessor)
            return E_INVALIDARG;
        *phAccessor = DB_NULL_HACCESSOR;
        if (FAILED(t_->createAccessorResult))
            return PostFakeError(t_->createAccessorResult, L"The accessor was refused.");
        if (flags != DBACCESSOR_ROWDATA)
            return PostFakeError(DB_E_BADBINDINFO, L"Only row accessors are made here.");
        Accessor acc;
        std::vector<std::pair<uint64_t, uint64_t>> extents;
        auto claim = [&](uint64_t start, uint64_t size, DBLENGTH alignment, const wchar_t* part,
                         DBCOUNTITEM i) -> HRESULT {
            std::wstring where = std::wstring(part) + L" of binding " + std::to_wstring(i);
            if (start + size > cbRowSize)
                return PostFakeError(DB_E_BADBINDINFO, L"The " + where + L" ends past the row.");
            if (alignment > 1 && start % alignment != 0)
                return PostFakeError(DB_E_BADBINDINFO, L"The " + where + L" is not aligned.");
            for (auto& e : extents)
                if (size > 0 && start < e.first + e.second && e.first < start + size)
                    return PostFakeError(DB_E_BADBINDINFO, L"The " + where + L" overlaps another.");
            extents.push_back({start, size});
            return S_OK;
        };
        for (DBCOUNTITEM i = 0; i < cBindings; ++i) {
            const DBBINDING& b = rgBindings[i];
            if (rgStatus)
                rgStatus[i] = DBBINDSTATUS_OK;
            if (ColumnOf(b.iOrdinal) == SIZE_MAX) {
                if (rgStatus)
                    rgStatus[i] = DBBINDSTATUS_BADORDINAL;
                return PostFakeError(DB_E_ERRORSOCCURRED,
                                     L"No column has ordinal " + std::to_wstring(b.iOrdinal));
            }
            HRESULT hr = S_OK;
            if (b.dwPart & DBPART_VALUE) {
                DBLENGTH fixed = FixedSize(b.wType);
                uint64_t size = fixed ? fixed : b.cbMaxLen;
                hr = claim(b.obValue, size, NaturalAlignment(b.wType), L"value", i);
            }
            if (SUCCEEDED(hr) && (b.dwPart & DBPART_LENGTH))
                hr = claim(b.obLength, sizeof(DBLENGTH), 4, L"length", i);
            if (SUCCEEDED(hr) && (b.dwPart & DBPART_STATUS))
                hr = claim(b.obStatus, sizeof(DBSTATUS), 4, L"status", i);
            if (FAILED(hr))
                return hr;
            DBBINDING copy = b;
            copy.pObject = nullptr;
            acc.bindings.push_back(copy);
            acc.objects.push_back(b.pObject ? std::optional<IID>(b.pObject->iid) : std::nullopt);
        }
        p_->stats.lastBindings = acc.bindings;
        p_->stats.lastBindingObjects = acc.objects;
        p_->stats.lastRowSize = cbRowSize;
        ++p_->stats.accessorsCreated;
        *phAccessor = nextAccessor_++;
        accessors_[*phAccessor] = std::move(acc);
        return S_OK;
    }

    HRESULT GetBindings(HACCESSOR, DBACCESSORFLAGS*, DBCOUNTITEM*, DBBINDING**) override {
        return E_NOTIMPL;
    }

    HRESULT ReleaseAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) override {
        if (pcRefCount)
            *pcRefCount = 0;
        if (!accessors_.erase(hAccessor))
            return DB_E_BADACCESSORHANDLE;
        ++p_->stats.accessorsReleased;
        return S_OK;
    }

    // ---- IColumnsInfo
    HRESULT GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                          OLECHAR** ppStringsBuffer) override {
        ++p_->stats.getColumnInfo;
        *pcColumns = 0;
        *prgInfo = nullptr;
        *ppStringsBuffer = nullptr;
        if (FAILED(t_->getColumnInfoResult))
            return PostFakeError(t_->getColumnInfoResult, L"The columns cannot be described.");
        const size_t n = t_->columns.size();
        size_t chars = 0;
        for (auto& c : t_->columns)
            chars += c.name.size() + 1;
        auto* info = static_cast<DBCOLUMNINFO*>(
            CoTaskMemAlloc(std::max<size_t>(1, n) * sizeof(DBCOLUMNINFO)));
        auto* names =
            static_cast<OLECHAR*>(CoTaskMemAlloc(std::max<size_t>(1, chars) * sizeof(OLECHAR)));
        OLECHAR* next = names;
        for (size_t i = 0; i < n; ++i) {
            const Column& c = t_->columns[i];
            DBCOLUMNINFO& d = info[i];
            std::memset(&d, 0, sizeof d);
            std::memcpy(next, c.name.c_str(), (c.name.size() + 1) * sizeof(OLECHAR));
            d.pwszName = c.nullName ? nullptr : next;
            next += c.name.size() + 1;
            d.iOrdinal = OrdinalOf(i);
            d.dwFlags = c.flags;
            d.ulColumnSize = c.size;
            d.wType = c.type;
            d.bPrecision = c.precision;
            d.bScale = c.scale;
            d.columnid.eKind = DBKIND_NAME;
            d.columnid.uName.pwszName = d.pwszName;
        }
        *pcColumns = static_cast<DBORDINAL>(n);
        *prgInfo = info;
        *ppStringsBuffer = names;
        return S_OK;
    }
    HRESULT MapColumnIDs(DBORDINAL, const DBID[], DBORDINAL[]) override { return E_NOTIMPL; }

    // ---- IRowsetInfo
    HRESULT GetProperties(ULONG cSets, const DBPROPIDSET rgSets[], ULONG* pcSets,
                          DBPROPSET** prgSets) override {
        *pcSets = 0;
        *prgSets = nullptr;
        auto* sets =
            static_cast<DBPROPSET*>(CoTaskMemAlloc(std::max<ULONG>(1, cSets) * sizeof(DBPROPSET)));
        for (ULONG s = 0; s < cSets; ++s) {
            const DBPROPIDSET& ids = rgSets[s];
            sets[s].guidPropertySet = ids.guidPropertySet;
            sets[s].cProperties = ids.cPropertyIDs;
            sets[s].rgProperties = static_cast<DBPROP*>(
                CoTaskMemAlloc(std::max<ULONG>(1, ids.cPropertyIDs) * sizeof(DBPROP)));
            for (ULONG i = 0; i < ids.cPropertyIDs; ++i) {
                DBPROP& prop = sets[s].rgProperties[i];
                std::memset(&prop, 0, sizeof prop);
                prop.dwPropertyID = ids.rgPropertyIDs[i];
                VariantInit(&prop.vValue);
                bool known = ids.guidPropertySet == DBPROPSET_ROWSET &&
                             (prop.dwPropertyID == DBPROP_ISequentialStream ||
                              prop.dwPropertyID == DBPROP_IStream);
                if (known) {
                    bool v = prop.dwPropertyID == DBPROP_ISequentialStream
                                 ? t_->answersSequentialStream
                                 : t_->answersIStream;
                    prop.vValue.vt = VT_BOOL;
                    prop.vValue.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
                } else {
                    prop.dwStatus = DBPROPSTATUS_NOTSUPPORTED;
                }
            }
        }
        *pcSets = cSets;
        *prgSets = sets;
        return S_OK;
    }
    HRESULT GetReferencedRowset(DBORDINAL, REFIID, IUnknown**) override { return E_NOTIMPL; }

    // ---- IChapteredRowset
    HRESULT AddRefChapter(HCHAPTER, DBREFCOUNT*) override { return S_OK; }
    HRESULT ReleaseChapter(HCHAPTER hChapter, DBREFCOUNT*) override {
        p_->stats.releasedChapters.push_back(hChapter);
        return S_OK;
    }

    // ---- IRowsetChange (offered, never used by the consumer)
    HRESULT DeleteRows(HCHAPTER, DBCOUNTITEM, const HROW[], DBROWSTATUS[]) override {
        return DB_E_NOTSUPPORTED;
    }
    HRESULT SetData(HROW, HACCESSOR, void*) override { return DB_E_NOTSUPPORTED; }
    HRESULT InsertRow(HCHAPTER, HACCESSOR, void*, HROW*) override { return DB_E_NOTSUPPORTED; }

  private:
    struct Accessor {
        std::vector<DBBINDING> bindings;
        std::vector<std::optional<IID>> objects;
    };

    DBORDINAL OrdinalOf(size_t index) const {
        const Column& c = t_->columns[index];
        if (c.ordinal >= 0)
            return static_cast<DBORDINAL>(c.ordinal);
        bool bookmark = !t_->columns.empty() && (t_->columns[0].flags & DBCOLUMNFLAGS_ISBOOKMARK);
        return static_cast<DBORDINAL>(bookmark ? index : index + 1);
    }
    size_t ColumnOf(DBORDINAL ordinal) const {
        for (size_t i = 0; i < t_->columns.size(); ++i)
            if (OrdinalOf(i) == ordinal)
                return i;
        return SIZE_MAX;
    }

    // The cursor stands on the last row fetched (current_): a fetch starts one row after it
    // (forward) or before it (backward), moved by the offset; from the start of the rowset
    // a forward fetch starts at the first row and a backward one at the last. Past an end
    // the cursor stands beyond it. This is how the embedded provider moves.
    HRESULT Fetch(DBROWOFFSET offset, DBROWCOUNT cRows, DBCOUNTITEM* obtained, HROW** rows) {
        if (!held_.empty() && !t_->canHoldRows)
            return PostFakeError(DB_E_ROWSNOTRELEASED, L"Rows are still held.");
        if (cRows == 0)
            return S_OK;
        const int64_t n = static_cast<int64_t>(t_->rows.size());
        const bool backward = cRows < 0;
        const int64_t wanted = backward ? -static_cast<int64_t>(cRows) : cRows;
        int64_t start;
        if (atHead_)
            start = (backward ? n - 1 : 0) + offset;
        else
            start = current_ + (backward ? -1 : 1) + offset;
        atHead_ = false;
        int64_t got = 0;
        if (start >= 0 && start < n)
            got = backward ? std::min(wanted, start + 1) : std::min(wanted, n - start);
        if (got > 0 && !*rows)
            *rows = static_cast<HROW*>(CoTaskMemAlloc(got * sizeof(HROW)));
        for (int64_t i = 0; i < got; ++i) {
            const int64_t r = backward ? start - i : start + i;
            const HROW h = static_cast<HROW>(r + 1);
            (*rows)[i] = h;
            ++held_[h];
            ++p_->stats.outstandingRows;
        }
        *obtained = static_cast<DBCOUNTITEM>(got);
        if (got == wanted) {
            current_ = backward ? start - (got - 1) : start + (got - 1);
            return S_OK;
        }
        current_ = (backward || start < 0) ? -1 : n;
        return DB_S_ENDOFROWSET;
    }

    DBSTATUS WriteValue(const DBBINDING& bind, const std::optional<IID>& object, const Column& col,
                        const Cell& cell, BYTE* data, DBLENGTH* length) {
        const DBTYPE bt = bind.wType;
        BYTE* slot = data + bind.obValue;
        const size_t n = cell.bytes.size();
        *length = static_cast<DBLENGTH>(n);
        if ((bt & DBTYPE_BYREF) && static_cast<DBTYPE>(bt & ~DBTYPE_BYREF) == col.type) {
            void* copy = CoTaskMemAlloc(std::max<size_t>(1, n));
            if (n)
                std::memcpy(copy, cell.bytes.data(), n);
            Put(data, bind.obValue, copy);
            return DBSTATUS_S_OK;
        }
        if (bt == DBTYPE_IUNKNOWN && col.type != DBTYPE_IUNKNOWN) {
            if (col.refuseStream)
                return DBSTATUS_E_CANTCREATE;
            ComPtr<FakeStream> stream = MakeCom<FakeStream>(
                p_, cell.bytes, t_->streamsOfferSequential, t_->streamsOfferIStream);
            IUnknown* out = nullptr;
            REFIID iid = object ? *object : IID_IUnknown;
            if (FAILED(stream->QueryInterface(iid, reinterpret_cast<void**>(&out))))
                return DBSTATUS_E_CANTCREATE;
            Put(data, bind.obValue, out);
            return DBSTATUS_S_OK;
        }
        if (bt != col.type)
            return DBSTATUS_E_CANTCONVERTVALUE;
        switch (bt) {
            case DBTYPE_STR: {
                const size_t room = bind.cbMaxLen > 0 ? bind.cbMaxLen - 1 : 0;
                const size_t copy = std::min(n, room);
                if (copy > 0)
                    std::memcpy(slot, cell.bytes.data(), copy);
                if (bind.cbMaxLen > 0)
                    slot[copy] = 0;
                return copy < n ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
            }
            case DBTYPE_WSTR: {
                const size_t chars = n / sizeof(wchar_t);
                const size_t room =
                    bind.cbMaxLen >= sizeof(wchar_t) ? bind.cbMaxLen / sizeof(wchar_t) - 1 : 0;
                const size_t copy = std::min(chars, room);
                if (copy > 0)
                    std::memcpy(slot, cell.bytes.data(), copy * sizeof(wchar_t));
                if (bind.cbMaxLen >= sizeof(wchar_t)) {
                    const wchar_t nul = 0;
                    std::memcpy(slot + copy * sizeof(wchar_t), &nul, sizeof nul);
                }
                return copy < chars ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
            }
            case DBTYPE_BYTES:
            case DBTYPE_VARNUMERIC: {
                const size_t copy = std::min<size_t>(n, bind.cbMaxLen);
                if (copy > 0)
                    std::memcpy(slot, cell.bytes.data(), copy);
                return copy < n ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
            }
            case DBTYPE_BSTR: {
                BSTR text = SysAllocStringLen(reinterpret_cast<const wchar_t*>(cell.bytes.data()),
                                              static_cast<UINT>(n / sizeof(wchar_t)));
                Put(data, bind.obValue, text);
                *length = sizeof(BSTR);
                return DBSTATUS_S_OK;
            }
            case DBTYPE_VARIANT: {
                VARIANT v;
                VariantInit(&v);
                if (cell.variant)
                    VariantCopy(&v, cell.variant.get());
                Put(data, bind.obValue, v);
                *length = sizeof(VARIANT);
                return DBSTATUS_S_OK;
            }
            case DBTYPE_IUNKNOWN:
            case DBTYPE_IDISPATCH: {
                IUnknown* held = cell.object.Get();
                if (held)
                    held->AddRef();
                Put(data, bind.obValue, held);
                *length = sizeof(void*);
                return DBSTATUS_S_OK;
            }
            default: {
                const DBLENGTH fixed = FixedSize(bt);
                const size_t room = fixed ? fixed : bind.cbMaxLen;
                const size_t copy = std::min(n, room);
                if (copy > 0)
                    std::memcpy(slot, cell.bytes.data(), copy);
                return copy < n ? DBSTATUS_S_TRUNCATED : DBSTATUS_S_OK;
            }
        }
    }

    ProviderPtr p_;
    std::shared_ptr<Table> t_;
    std::map<HROW, int> held_;
    std::map<HACCESSOR, Accessor> accessors_;
    HACCESSOR nextAccessor_ = 1;
    int64_t current_ = -1;
    bool atHead_ = true;
};

HRESULT RowsetFromOutcome(const ProviderPtr& p, const Outcome& outcome, REFIID riid,
                          IUnknown** ppRowset) {
    if (ppRowset)
        *ppRowset = nullptr;
    if (FAILED(outcome.hr)) {
        return PostFakeError(outcome.hr, outcome.error, outcome.sqlState, outcome.nativeError);
    }
    if (outcome.table && ppRowset) {
        ComPtr<IRowset> rowset = p->MakeRowset(outcome.table);
        HRESULT hr = rowset->QueryInterface(riid, reinterpret_cast<void**>(ppRowset));
        if (FAILED(hr))
            return hr;
    }
    return outcome.hr;
}

class FakeCommand : public ComObject<ICommandText, ICommandProperties> {
  public:
    FakeCommand(ProviderPtr p, IUnknown* session) : p_(std::move(p)), session_(session) {
        ++p_->stats.liveCommands;
    }
    ~FakeCommand() override { --p_->stats.liveCommands; }

    HRESULT Cancel() override { return S_OK; }
    HRESULT Execute(IUnknown* outer, REFIID riid, DBPARAMS*, DBROWCOUNT* pcRowsAffected,
                    IUnknown** ppRowset) override {
        if (ppRowset)
            *ppRowset = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (!hasText_)
            return PostFakeError(DB_E_NOCOMMAND, L"No command text was set.");
        p_->executed.push_back(text_);
        Outcome outcome = p_->onExecute ? p_->onExecute(text_)
                                        : Outcome::Failure(E_FAIL,
                                                           L"The fake provider has no "
                                                           L"script for commands.");
        if (pcRowsAffected && SUCCEEDED(outcome.hr))
            *pcRowsAffected = outcome.rowsAffected;
        return RowsetFromOutcome(p_, outcome, riid, ppRowset);
    }
    HRESULT GetDBSession(REFIID riid, IUnknown** ppSession) override {
        return session_->QueryInterface(riid, reinterpret_cast<void**>(ppSession));
    }
    HRESULT GetCommandText(GUID* dialect, LPOLESTR* text) override {
        if (dialect)
            *dialect = DBGUID_DEFAULT;
        *text = static_cast<LPOLESTR>(CoTaskMemAlloc((text_.size() + 1) * sizeof(OLECHAR)));
        std::memcpy(*text, text_.c_str(), (text_.size() + 1) * sizeof(OLECHAR));
        return S_OK;
    }
    HRESULT SetCommandText(REFGUID dialect, LPCOLESTR text) override {
        if (FAILED(p_->setCommandTextResult))
            return PostFakeError(p_->setCommandTextResult, L"The command text was refused.");
        if (dialect != DBGUID_DEFAULT && dialect != DBGUID_SQL)
            return PostFakeError(DB_E_BADTYPE, L"Unknown dialect.");
        text_ = text ? text : L"";
        hasText_ = true;
        return S_OK;
    }
    HRESULT GetProperties(ULONG, const DBPROPIDSET[], ULONG* pcSets, DBPROPSET** prgSets) override {
        *pcSets = 0;
        *prgSets = nullptr;
        return E_NOTIMPL;
    }
    HRESULT SetProperties(ULONG cSets, DBPROPSET rgSets[]) override {
        p_->commandProperties.clear();
        for (ULONG s = 0; s < cSets; ++s)
            for (ULONG i = 0; i < rgSets[s].cProperties; ++i) {
                const DBPROP& prop = rgSets[s].rgProperties[i];
                p_->commandProperties.push_back({rgSets[s].guidPropertySet, prop.dwPropertyID,
                                                 prop.dwOptions, prop.vValue.vt,
                                                 prop.vValue.boolVal});
            }
        if (p_->setCommandPropertiesResult != S_OK)
            return p_->setCommandPropertiesResult < 0
                       ? PostFakeError(p_->setCommandPropertiesResult, L"Properties refused.")
                       : p_->setCommandPropertiesResult;
        return S_OK;
    }

  protected:
    void* QueryExtra(REFIID riid) override {
        if (riid == IID_ICommand)
            return static_cast<ICommand*>(static_cast<ICommandText*>(this));
        return nullptr;
    }

  private:
    ProviderPtr p_;
    ComPtr<IUnknown> session_;
    std::wstring text_;
    bool hasText_ = false;
};

class FakeSession
    : public ComObject<IOpenRowset, IDBCreateCommand, IDBSchemaRowset, ITransactionLocal> {
  public:
    explicit FakeSession(ProviderPtr p) : p_(std::move(p)) {}

    HRESULT OpenRowset(IUnknown*, DBID* pTableID, DBID*, REFIID riid, ULONG, DBPROPSET[],
                       IUnknown** ppRowset) override {
        std::wstring table = pTableID && pTableID->eKind == DBKIND_NAME && pTableID->uName.pwszName
                                 ? pTableID->uName.pwszName
                                 : L"";
        if (!p_->onOpenRowset)
            return PostFakeError(DB_E_NOTABLE, L"No table " + table);
        return RowsetFromOutcome(p_, p_->onOpenRowset(table), riid, ppRowset);
    }
    HRESULT CreateCommand(IUnknown* outer, REFIID riid, IUnknown** ppCommand) override {
        *ppCommand = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (FAILED(p_->createCommandResult))
            return PostFakeError(p_->createCommandResult, L"No command can be made.");
        ComPtr<FakeCommand> command =
            MakeCom<FakeCommand>(p_, static_cast<IUnknown*>(static_cast<IOpenRowset*>(this)));
        return command->QueryInterface(riid, reinterpret_cast<void**>(ppCommand));
    }
    HRESULT GetRowset(IUnknown*, REFGUID schema, ULONG cRestrictions,
                      const VARIANT rgRestrictions[], REFIID riid, ULONG, DBPROPSET[],
                      IUnknown** ppRowset) override {
        std::vector<std::optional<std::wstring>> restrictions;
        for (ULONG i = 0; i < cRestrictions; ++i) {
            if (rgRestrictions[i].vt == VT_BSTR)
                restrictions.emplace_back(rgRestrictions[i].bstrVal ? rgRestrictions[i].bstrVal
                                                                    : L"");
            else
                restrictions.emplace_back(std::nullopt);
        }
        if (!p_->onSchemaRowset)
            return PostFakeError(E_NOTIMPL, L"The fake provider has no schema rowsets.");
        return RowsetFromOutcome(p_, p_->onSchemaRowset(schema, restrictions), riid, ppRowset);
    }
    HRESULT GetSchemas(ULONG* pcSchemas, GUID** prgSchemas,
                       ULONG** prgRestrictionSupport) override {
        *pcSchemas = 0;
        *prgSchemas = nullptr;
        if (prgRestrictionSupport)
            *prgRestrictionSupport = nullptr;
        return E_NOTIMPL;
    }
    HRESULT Commit(BOOL, DWORD, DWORD) override {
        ++p_->stats.commits;
        return S_OK;
    }
    HRESULT Abort(BOID*, BOOL, BOOL) override {
        ++p_->stats.aborts;
        return S_OK;
    }
    HRESULT StartTransaction(ISOLEVEL, ULONG, ITransactionOptions*, ULONG*) override {
        if (FAILED(p_->startTransactionResult))
            return PostFakeError(p_->startTransactionResult, L"No transaction can start.");
        ++p_->stats.transactionsStarted;
        return S_OK;
    }

  protected:
    void* QueryExtra(REFIID riid) override {
        if (riid == IID_ITransaction)
            return static_cast<ITransaction*>(static_cast<ITransactionLocal*>(this));
        return nullptr;
    }

  private:
    ProviderPtr p_;
};

class FakeDataSource : public ComObject<IDBInitialize, IDBProperties, IDBCreateSession> {
  public:
    explicit FakeDataSource(ProviderPtr p) : p_(std::move(p)) {}

    HRESULT Initialize() override {
        if (p_->initializeResult != S_OK)
            return FAILED(p_->initializeResult)
                       ? PostFakeError(p_->initializeResult, L"The data source did not open.")
                       : p_->initializeResult;
        initialized_ = true;
        return S_OK;
    }
    HRESULT Uninitialize() override {
        initialized_ = false;
        return S_OK;
    }
    HRESULT GetProperties(ULONG cSets, const DBPROPIDSET rgSets[], ULONG* pcSets,
                          DBPROPSET** prgSets) override {
        *pcSets = 0;
        *prgSets = nullptr;
        auto* sets =
            static_cast<DBPROPSET*>(CoTaskMemAlloc(std::max<ULONG>(1, cSets) * sizeof(DBPROPSET)));
        bool missing = false;
        for (ULONG s = 0; s < cSets; ++s) {
            const DBPROPIDSET& ids = rgSets[s];
            sets[s].guidPropertySet = ids.guidPropertySet;
            sets[s].cProperties = ids.cPropertyIDs;
            sets[s].rgProperties = static_cast<DBPROP*>(
                CoTaskMemAlloc(std::max<ULONG>(1, ids.cPropertyIDs) * sizeof(DBPROP)));
            for (ULONG i = 0; i < ids.cPropertyIDs; ++i) {
                DBPROP& prop = sets[s].rgProperties[i];
                std::memset(&prop, 0, sizeof prop);
                prop.dwPropertyID = ids.rgPropertyIDs[i];
                VariantInit(&prop.vValue);
                if (const VARIANT* v = p_->FindProperty(ids.guidPropertySet, prop.dwPropertyID)) {
                    VariantCopy(&prop.vValue, v);
                } else {
                    prop.dwStatus = DBPROPSTATUS_NOTSUPPORTED;
                    missing = true;
                }
            }
        }
        *pcSets = cSets;
        *prgSets = sets;
        return missing ? DB_S_ERRORSOCCURRED : S_OK;
    }
    HRESULT SetProperties(ULONG cSets, DBPROPSET rgSets[]) override {
        for (ULONG s = 0; s < cSets; ++s)
            for (ULONG i = 0; i < rgSets[s].cProperties; ++i) {
                const DBPROP& prop = rgSets[s].rgProperties[i];
                p_->dataSourceProperties.push_back({rgSets[s].guidPropertySet, prop.dwPropertyID,
                                                    prop.dwOptions, prop.vValue.vt,
                                                    prop.vValue.boolVal});
            }
        return S_OK;
    }
    HRESULT CreateSession(IUnknown* outer, REFIID riid, IUnknown** ppSession) override {
        *ppSession = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (FAILED(p_->createSessionResult))
            return PostFakeError(p_->createSessionResult, L"No session can be made.");
        ComPtr<FakeSession> session = MakeCom<FakeSession>(p_);
        return session->QueryInterface(riid, reinterpret_cast<void**>(ppSession));
    }

  private:
    ProviderPtr p_;
    bool initialized_ = false;
};

class FakeDataInitialize : public ComObject<IDataInitialize> {
  public:
    explicit FakeDataInitialize(ProviderPtr p) : p_(std::move(p)) {}

    HRESULT GetDataSource(IUnknown* outer, DWORD, LPCOLESTR init, REFIID riid,
                          IUnknown** ppDataSource) override {
        *ppDataSource = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        p_->lastInit = init ? init : L"";
        if (FAILED(p_->getDataSourceResult))
            return PostFakeError(p_->getDataSourceResult, L"The connection string was refused.");
        ComPtr<FakeDataSource> source = MakeCom<FakeDataSource>(p_);
        return source->QueryInterface(riid, reinterpret_cast<void**>(ppDataSource));
    }
    HRESULT GetInitializationString(IUnknown*, bool, LPOLESTR* out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }

  private:
    ProviderPtr p_;
};

// NUMERIC and VARNUMERIC to narrow decimal text; everything else is refused.
class FakeDataConvert : public ComObject<IDataConvert> {
  public:
    explicit FakeDataConvert(ProviderPtr p) : p_(std::move(p)) {}

    HRESULT DataConvert(DBTYPE src, DBTYPE dst, DBLENGTH cbSrcLength, DBLENGTH* pcbDstLength,
                        void* pSrc, void* pDst, DBLENGTH cbDstMaxLength, DBSTATUS,
                        DBSTATUS* pdbsStatus, BYTE, BYTE, DBDATACONVERT) override {
        p_->stats.lastConvertSourceLength = cbSrcLength;
        if ((src != DBTYPE_NUMERIC && src != DBTYPE_VARNUMERIC) || dst != DBTYPE_STR)
            return DB_E_UNSUPPORTEDCONVERSION_FAKE;
        const BYTE* s = static_cast<const BYTE*>(pSrc);
        if (cbSrcLength < 3)
            return DB_E_CANTCONVERTVALUE;
        const int scale = src == DBTYPE_NUMERIC ? s[1] : static_cast<SBYTE>(s[1]);
        const bool positive = s[2] != 0;
        const size_t mantissaBytes = std::min<size_t>(cbSrcLength - 3, 16);
        unsigned __int128 m = 0;
        for (size_t i = mantissaBytes; i-- > 0;)
            m = (m << 8) | s[3 + i];
        std::string digits;
        do {
            digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
            m /= 10;
        } while (m != 0);
        if (scale > 0) {
            if (digits.size() <= static_cast<size_t>(scale))
                digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
            digits.insert(digits.size() - static_cast<size_t>(scale), ".");
        }
        if (!positive)
            digits.insert(0, "-");
        if (pcbDstLength)
            *pcbDstLength = static_cast<DBLENGTH>(digits.size());
        if (digits.size() + 1 > cbDstMaxLength) {
            if (pdbsStatus)
                *pdbsStatus = DBSTATUS_S_TRUNCATED;
            return DB_E_CANTCONVERTVALUE;
        }
        std::memcpy(pDst, digits.c_str(), digits.size() + 1);
        if (pdbsStatus)
            *pdbsStatus = DBSTATUS_S_OK;
        return S_OK;
    }
    HRESULT CanConvert(DBTYPE src, DBTYPE dst) override {
        return (src == DBTYPE_NUMERIC || src == DBTYPE_VARNUMERIC) && dst == DBTYPE_STR ? S_OK
                                                                                        : S_FALSE;
    }

  private:
    static constexpr HRESULT DB_E_UNSUPPORTEDCONVERSION_FAKE = MakeHResult(0x80040E1Du);
    ProviderPtr p_;
};

}  // namespace

// ---- cells, columns, outcomes --------------------------------------------------------

Column MakeColumn(const std::wstring& name, DBTYPE type, DBLENGTH size, DBCOLUMNFLAGS flags) {
    Column c;
    c.name = name;
    c.type = type;
    c.size = size;
    c.flags = flags;
    return c;
}

Column BookmarkColumn() {
    Column c;
    c.name = L"Bookmark";
    c.type = DBTYPE_I4;
    c.size = 4;
    c.flags = DBCOLUMNFLAGS_ISBOOKMARK;
    c.ordinal = 0;
    return c;
}

Cell Cell::Null() {
    return Status(DBSTATUS_S_ISNULL);
}

Cell Cell::Status(DBSTATUS status) {
    Cell c;
    c.status = status;
    return c;
}

Cell Cell::Wide(const std::wstring& text) {
    Cell c;
    c.bytes.resize(text.size() * sizeof(wchar_t));
    if (!text.empty())
        std::memcpy(c.bytes.data(), text.data(), c.bytes.size());
    return c;
}

Cell Cell::Narrow(const std::string& text) {
    Cell c;
    c.bytes.assign(text.begin(), text.end());
    return c;
}

Cell Cell::Binary(const std::vector<BYTE>& bytes) {
    Cell c;
    c.bytes = bytes;
    return c;
}

Cell Cell::Binary(size_t count, BYTE fill) {
    Cell c;
    c.bytes.assign(count, fill);
    return c;
}

Cell Cell::Variant(const VARIANT& value) {
    Cell c;
    c.variant = std::shared_ptr<VARIANT>(new VARIANT, [](VARIANT* v) {
        VariantClear(v);
        delete v;
    });
    VariantInit(c.variant.get());
    VariantCopy(c.variant.get(), &value);
    return c;
}

Cell Cell::Object(IUnknown* object) {
    Cell c;
    c.object = ComPtr<IUnknown>(object);
    return c;
}

std::shared_ptr<Table> NumberTable(const std::wstring& column, int count) {
    auto table = std::make_shared<Table>();
    table->columns.push_back(MakeColumn(column, DBTYPE_I4, 4));
    for (int i = 1; i <= count; ++i)
        table->rows.push_back({Cell::Of<int32_t>(i)});
    return table;
}

Outcome Outcome::Rows(std::shared_ptr<Table> table) {
    Outcome o;
    o.table = std::move(table);
    return o;
}

Outcome Outcome::Affected(DBROWCOUNT rows) {
    Outcome o;
    o.rowsAffected = rows;
    return o;
}

Outcome Outcome::Failure(HRESULT hr, const std::wstring& error, const std::wstring& sqlState) {
    Outcome o;
    o.hr = hr;
    o.error = error;
    o.sqlState = sqlState;
    return o;
}

HRESULT PostFakeError(HRESULT hr, const std::wstring& description, const std::wstring& sqlState,
                      LONG nativeError) {
    ErrorRecord record;
    record.hr = hr;
    record.description = description;
    record.source = kSource;
    record.hasSqlInfo = !sqlState.empty();
    record.sqlState = sqlState;
    record.nativeError = nativeError;
    return PostError(record);
}

// ---- provider ------------------------------------------------------------------------

Provider::Provider() {
    VARIANT status;
    VariantInit(&status);
    status.vt = VT_I4;
    status.lVal = DBPROPVAL_CS_INITIALIZED;
    SetProperty(DBPROPSET_DATASOURCEINFO, DBPROP_CONNECTIONSTATUS, status);
}

Provider::~Provider() {
    for (auto& e : properties_)
        VariantClear(&e.value);
}

std::unique_ptr<ScopedClassFactory> Provider::Install() {
    std::weak_ptr<Provider> weak = shared_from_this();
    return std::make_unique<ScopedClassFactory>(
        CLSID_MSDAINITIALIZE, [weak](IUnknown* outer, REFIID riid, void** ppv) -> HRESULT {
            *ppv = nullptr;
            if (outer)
                return CLASS_E_NOAGGREGATION;
            ProviderPtr p = weak.lock();
            if (!p)
                return REGDB_E_CLASSNOTREG;
            return MakeCom<FakeDataInitialize>(p)->QueryInterface(riid, ppv);
        });
}

std::unique_ptr<ScopedClassFactory> Provider::InstallConverter() {
    std::weak_ptr<Provider> weak = shared_from_this();
    return std::make_unique<ScopedClassFactory>(
        CLSID_OLEDB_CONVERSIONLIBRARY, [weak](IUnknown* outer, REFIID riid, void** ppv) -> HRESULT {
            *ppv = nullptr;
            if (outer)
                return CLASS_E_NOAGGREGATION;
            ProviderPtr p = weak.lock();
            if (!p)
                return REGDB_E_CLASSNOTREG;
            return MakeCom<FakeDataConvert>(p)->QueryInterface(riid, ppv);
        });
}

ComPtr<IRowset> Provider::MakeRowset(std::shared_ptr<Table> table) {
    ComPtr<FakeRowset> rowset = MakeCom<FakeRowset>(shared_from_this(), std::move(table));
    return ComPtr<IRowset>(static_cast<IRowset*>(rowset.Get()));
}

ComPtr<IUnknown> Provider::MakeObject() {
    ComPtr<CountedObject> object = MakeCom<CountedObject>(shared_from_this());
    return ComPtr<IUnknown>(static_cast<IUnknown*>(object.Get()));
}

void Provider::SetProperty(const GUID& set, DBPROPID id, const VARIANT& value) {
    for (auto& e : properties_)
        if (e.set == set && e.id == id) {
            VariantCopy(&e.value, &value);
            return;
        }
    PropertyEntry entry{set, id, {}};
    VariantInit(&entry.value);
    VariantCopy(&entry.value, &value);
    properties_.push_back(entry);
}

const VARIANT* Provider::FindProperty(const GUID& set, DBPROPID id) const {
    for (auto& e : properties_)
        if (e.set == set && e.id == id)
            return &e.value;
    return nullptr;
}

}  // namespace vorn::test::fake
