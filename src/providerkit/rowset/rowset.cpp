// Rowsets over the rows of a row source.
#include "rowset/rowset.h"

#include <wchar.h>

#include <algorithm>
#include <cstring>

#include "rowset/accessor_set.h"
#include "rowset/held_rows.h"
#include "execution/result_codes.h"
#include "rowset/row_codec.h"
#include "rowset/row_store.h"
#include "execution/statement_text.h"
#include "values/value_conversion.h"
#include "provider_errors.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider {
namespace {

constexpr uint64_t kAllRows = UINT64_MAX;
// Rows stepped ahead of the one asked for, in one batch.
constexpr uint64_t kReadAhead = 32;

// A short rendering of a stored value for messages.
std::wstring ValueForMessage(const Cell& c) {
    switch (c.kind) {
        case CellKind::Integer:
            return std::to_wstring(c.integer);
        case CellKind::Real: {
            wchar_t text[64];
            swprintf(text, 64, L"%.17g", c.real);
            return text;
        }
        case CellKind::Text: {
            const size_t shown = c.size > 60 ? 60 : c.size;
            std::wstring text = Utf8ToWide(c.bytes, shown);
            return L"'" + text + (shown < c.size ? L"...'" : L"'");
        }
        case CellKind::Blob:
            return L"a binary value of " + std::to_wstring(c.size) + L" bytes";
        default:
            return L"NULL";
    }
}

std::wstring ConversionProblem(DBSTATUS status, DBTYPE target) {
    const std::wstring type = DbTypeName(target);
    switch (status) {
        case DBSTATUS_E_DATAOVERFLOW:
            return L"which is out of the range of " + type;
        case DBSTATUS_E_SIGNMISMATCH:
            return L"which is negative and " + type + L" holds no negative values";
        case DBSTATUS_E_CANTCREATE:
            return L"for which no memory or stream could be made (" + type + L")";
        default:
            return L"which cannot be converted to " + type;
    }
}

class Rowset final : public ComObject<IRowset, IAccessor, IColumnsInfo, IRowsetInfo, IRowsetChange>,
                     public LazyResult {
  public:
    Rowset(std::unique_ptr<RowSource> source, const RowsetProperties& properties, IUnknown* creator)
        : source_(std::move(source)), properties_(properties), creator_(creator) {}

    ~Rowset() override { Finish(); }

    HRESULT Init();

    // IRowset
    HRESULT AddRefRows(DBCOUNTITEM cRows, const HROW rghRows[], DBREFCOUNT rgRefCounts[],
                       DBROWSTATUS rgRowStatus[]) override;
    HRESULT GetData(HROW hRow, HACCESSOR hAccessor, void* pData) override;
    HRESULT GetNextRows(HCHAPTER hChapter, DBROWOFFSET lRowsOffset, DBROWCOUNT cRows,
                        DBCOUNTITEM* pcRowsObtained, HROW** prghRows) override;
    HRESULT ReleaseRows(DBCOUNTITEM cRows, const HROW rghRows[], DBROWOPTIONS rgRowOptions[],
                        DBREFCOUNT rgRefCounts[], DBROWSTATUS rgRowStatus[]) override;
    HRESULT RestartPosition(HCHAPTER hChapter) override;

    // IAccessor
    HRESULT AddRefAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) override {
        return accessors_.AddRef(hAccessor, pcRefCount);
    }
    HRESULT CreateAccessor(DBACCESSORFLAGS dwAccessorFlags, DBCOUNTITEM cBindings,
                           const DBBINDING rgBindings[], DBLENGTH cbRowSize, HACCESSOR* phAccessor,
                           DBBINDSTATUS rgStatus[]) override {
        ErrorSourceScope scope(errorSource_);
        return accessors_.Create(dwAccessorFlags, cBindings, rgBindings, cbRowSize, phAccessor,
                                 rgStatus);
    }
    HRESULT GetBindings(HACCESSOR hAccessor, DBACCESSORFLAGS* pdwAccessorFlags,
                        DBCOUNTITEM* pcBindings, DBBINDING** prgBindings) override {
        return accessors_.GetBindings(hAccessor, pdwAccessorFlags, pcBindings, prgBindings);
    }
    HRESULT ReleaseAccessor(HACCESSOR hAccessor, DBREFCOUNT* pcRefCount) override {
        return accessors_.Release(hAccessor, pcRefCount);
    }

    // IColumnsInfo
    HRESULT GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                          OLECHAR** ppStringsBuffer) override;
    HRESULT MapColumnIDs(DBORDINAL cColumnIDs, const DBID rgColumnIDs[],
                         DBORDINAL rgColumns[]) override;

    // IRowsetInfo
    HRESULT GetProperties(ULONG cPropertyIDSets, const DBPROPIDSET rgPropertyIDSets[],
                          ULONG* pcPropertySets, DBPROPSET** prgPropertySets) override {
        return properties_.Get(cPropertyIDSets, rgPropertyIDSets, pcPropertySets, prgPropertySets,
                               IID_IRowsetInfo);
    }
    HRESULT GetReferencedRowset(DBORDINAL iOrdinal, REFIID,
                                IUnknown** ppReferencedRowset) override {
        if (ppReferencedRowset)
            *ppReferencedRowset = nullptr;
        if (iOrdinal == 0 || iOrdinal > Columns().size())
            return PostProviderError(
                DB_E_BADORDINAL, IID_IRowsetInfo,
                L"Column " + std::to_wstring(iOrdinal) + L" is not a column of the rowset");
        return PostProviderError(
            DB_E_NOTAREFERENCECOLUMN, IID_IRowsetInfo,
            L"Column '" + Columns()[iOrdinal - 1].name + L"' does not refer to another rowset");
    }
    // IRowsetChange
    HRESULT DeleteRows(HCHAPTER, DBCOUNTITEM cRows, const HROW[],
                       DBROWSTATUS rgRowStatus[]) override {
        if (rgRowStatus)
            for (DBCOUNTITEM i = 0; i < cRows; ++i)
                rgRowStatus[i] = DBROWSTATUS_E_INVALID;
        return ChangesNotSupported(L"Deleting rows");
    }
    HRESULT SetData(HROW, HACCESSOR, void*) override {
        return ChangesNotSupported(L"Changing a row");
    }
    HRESULT InsertRow(HCHAPTER, HACCESSOR, void*, HROW* phRow) override {
        if (phRow)
            *phRow = DB_NULL_HROW;
        return ChangesNotSupported(L"Inserting a row");
    }

    // LazyResult: called before a statement runs on the same connection that would
    // disturb the result.
    void ReadToEnd() override {
        ErrorSourceScope scope(errorSource_);
        Fill(kAllRows);
    }

    const std::wstring& StatementText() const { return Text(); }

  private:
    bool Fill(uint64_t wanted);
    void Finish();
    // AddRefRows and ReleaseRows: step (held_'s AddRef or Release) on each handle, with its
    // count and status; what names the call in errors.
    HRESULT StepRows(DBCOUNTITEM cRows, const HROW rghRows[], DBREFCOUNT rgRefCounts[],
                     DBROWSTATUS rgRowStatus[], bool (HeldRows::*step)(HROW, ULONG*),
                     const std::wstring& what);
    HRESULT PostFailure() {
        return failure_ ? PostError(*failure_)
                        : PostProviderError(E_FAIL, IID_IRowset, Context() + L": reading stopped");
    }
    HRESULT ChangesNotSupported(const std::wstring& what) {
        return PostProviderError(
            DB_E_NOTSUPPORTED, IID_IRowsetChange,
            what + L" through the result of " + QuotedStatement(Text()) +
                L" is not supported: run an UPDATE, INSERT or DELETE statement instead");
    }
    std::wstring Context() const { return L"Reading the result of " + QuotedStatement(Text()); }
    const std::wstring& Text() const { return description_->statement; }
    const std::vector<ResultColumn>& Columns() const { return description_->columns; }

    std::unique_ptr<RowSource> source_;  // null once every row is read or reading failed
    RowsetProperties properties_;
    // The command or session that made the rowset, kept alive as long as the rowset.
    ComPtr<IUnknown> creator_;

    // The statement and its columns, as the source describes them (possibly shared with
    // other rowsets of the same statement).
    std::shared_ptr<const RowsetDescription> description_;
    const wchar_t* errorSource_ = nullptr;
    AccessorSet accessors_;

    RowStore store_;
    SmallArray<Cell, 4> cells_;
    bool done_ = false;                     // every row of the statement is in the store
    bool failed_ = false;                   // stepping stopped at failure_
    std::unique_ptr<ErrorRecord> failure_;  // made only when stepping fails

    // The cursor: on row current_ (-1 before the first, RowCount() past the last), or at
    // the start, where forward fetches begin at the first row and backward ones at the last.
    bool atStart_ = true;
    int64_t current_ = -1;

    HeldRows held_;
};

HRESULT Rowset::Init() {
    errorSource_ = source_->ErrorSource();
    ErrorSourceScope scope(errorSource_);
    const bool filled = Fill(1);
    description_ = source_ ? source_->Description() : description_;
    if (!filled)
        return PostFailure();
    cells_.resize(Columns().size());
    if (source_ && source_->ReadAllAtOnce() && !Fill(kAllRows))
        return PostFailure();
    if (source_)
        source_->Pending(this);
    accessors_.SetColumns(&description_->columns);
    return S_OK;
}

bool Rowset::Fill(uint64_t wanted) {
    if (failed_)
        return store_.RowCount() >= wanted;
    if (done_ || store_.RowCount() >= wanted)
        return true;
    // Rows are read a few at a time beyond the one asked for.
    const uint64_t target = std::max(wanted, store_.RowCount() + kReadAhead);
    switch (source_->Fetch(store_, target, &failure_)) {
        case RowSource::Fetched::More:
            break;
        case RowSource::Fetched::End:
            Finish();
            break;
        case RowSource::Fetched::Failed:
            failed_ = true;
            Finish();
            break;
    }
    return !failed_ || store_.RowCount() >= wanted;
}

void Rowset::Finish() {
    if (source_) {
        // The description outlives the source: the rowset goes on answering from it.
        if (!description_)
            description_ = source_->Description();
        source_->Close();
        source_.reset();
    }
    done_ = true;
}

HRESULT Rowset::GetNextRows(HCHAPTER, DBROWOFFSET lRowsOffset, DBROWCOUNT cRows,
                            DBCOUNTITEM* pcRowsObtained, HROW** prghRows) {
    ErrorSourceScope scope(errorSource_);
    if (!pcRowsObtained || !prghRows)
        return PostProviderError(E_INVALIDARG, IID_IRowset,
                                 L"Fetching rows: no place for the row count or the row handles");
    *pcRowsObtained = 0;
    if (cRows == 0)
        return S_OK;
    const bool backward = cRows < 0;
    const int64_t wanted = backward ? -static_cast<int64_t>(cRows) : cRows;

    int64_t start;
    if (atStart_ && backward) {
        if (!Fill(kAllRows))
            return PostFailure();
        start = static_cast<int64_t>(store_.RowCount()) - 1 + lRowsOffset;
    } else if (atStart_) {
        start = lRowsOffset;
    } else {
        start = current_ + (backward ? -1 : 1) + lRowsOffset;
    }

    int64_t obtained = 0;
    if (start >= 0) {
        const uint64_t needed = static_cast<uint64_t>(backward ? start + 1 : start + wanted);
        if (!Fill(needed))
            return PostFailure();
        const auto stored = static_cast<int64_t>(store_.RowCount());
        if (start < stored)
            obtained = backward ? std::min(wanted, start + 1) : std::min(wanted, stored - start);
    }

    HROW* handles = *prghRows;
    if (obtained > 0 && !handles) {
        handles = static_cast<HROW*>(CoTaskMemAlloc(static_cast<size_t>(obtained) * sizeof(HROW)));
        if (!handles)
            return PostProviderError(E_OUTOFMEMORY, IID_IRowset,
                                     L"Fetching rows: out of memory for the row handles");
        *prghRows = handles;
    }
    for (int64_t i = 0; i < obtained; ++i) {
        const int64_t row = backward ? start - i : start + i;
        const HROW h = static_cast<HROW>(row) + 1;
        held_.Hold(h);
        handles[i] = h;
    }
    *pcRowsObtained = static_cast<DBCOUNTITEM>(obtained);
    atStart_ = false;
    if (obtained == wanted) {
        current_ = backward ? start - (obtained - 1) : start + (obtained - 1);
        return S_OK;
    }
    // Ran past an end: the cursor stands beyond it (before the first row when the fetch
    // began before it or ran backwards off it, past the last otherwise).
    const auto stored = static_cast<int64_t>(store_.RowCount());
    if (start < 0 || (backward && start < stored))
        current_ = -1;
    else
        current_ = stored;
    ClearProviderError();
    return DB_S_ENDOFROWSET;
}

HRESULT Rowset::RestartPosition(HCHAPTER) {
    atStart_ = true;
    current_ = -1;
    return S_OK;
}

HRESULT Rowset::StepRows(DBCOUNTITEM cRows, const HROW rghRows[], DBREFCOUNT rgRefCounts[],
                         DBROWSTATUS rgRowStatus[], bool (HeldRows::*step)(HROW, ULONG*),
                         const std::wstring& what) {
    if (cRows && !rghRows)
        return PostProviderError(E_INVALIDARG, IID_IRowset, what + L": no rows given");
    DBCOUNTITEM bad = 0;
    for (DBCOUNTITEM i = 0; i < cRows; ++i) {
        ULONG count = 0;
        const bool ok = (held_.*step)(rghRows[i], &count);
        if (rgRefCounts)
            rgRefCounts[i] = count;
        if (rgRowStatus)
            rgRowStatus[i] = ok ? DBROWSTATUS_S_OK : DBROWSTATUS_E_INVALID;
        if (!ok)
            ++bad;
    }
    if (bad == 0)
        return S_OK;
    if (bad < cRows)
        return DB_S_ERRORSOCCURRED;
    return PostProviderError(DB_E_ERRORSOCCURRED, IID_IRowset,
                             what + L": no handle given is a row this rowset holds");
}

HRESULT Rowset::AddRefRows(DBCOUNTITEM cRows, const HROW rghRows[], DBREFCOUNT rgRefCounts[],
                           DBROWSTATUS rgRowStatus[]) {
    return StepRows(cRows, rghRows, rgRefCounts, rgRowStatus, &HeldRows::AddRef,
                    L"Adding row references");
}

HRESULT Rowset::ReleaseRows(DBCOUNTITEM cRows, const HROW rghRows[], DBROWOPTIONS[],
                            DBREFCOUNT rgRefCounts[], DBROWSTATUS rgRowStatus[]) {
    return StepRows(cRows, rghRows, rgRefCounts, rgRowStatus, &HeldRows::Release,
                    L"Releasing rows");
}

HRESULT Rowset::GetData(HROW hRow, HACCESSOR hAccessor, void* pData) {
    ErrorSourceScope scope(errorSource_);
    const Accessor* accessor = accessors_.Find(hAccessor);
    if (!accessor)
        return PostProviderError(DB_E_BADACCESSORHANDLE, IID_IRowset,
                                 L"Reading a row: the accessor handle is not one of this rowset's");
    if (!held_.IsHeld(hRow))
        return PostProviderError(DB_E_BADROWHANDLE, IID_IRowset,
                                 L"Reading a row: the row handle is not a row this rowset holds");
    if (!pData && accessor->count != 0)
        return PostProviderError(E_INVALIDARG, IID_IRowset, L"Reading a row: no buffer was given");
    const uint64_t row = hRow - 1;
    const char* bytes = nullptr;
    size_t size = 0;
    if (!store_.Row(row, &bytes, &size))
        return PostProviderError(E_FAIL, IID_IRowset, Context() + L": " + store_.LastError());
    if (!DecodeRow(bytes, size, cells_.data(), cells_.size()))
        return PostProviderError(
            E_FAIL, IID_IRowset,
            Context() + L": the stored form of row " + std::to_wstring(row + 1) + L" is damaged");
    auto* data = static_cast<BYTE*>(pData);
    DBCOUNTITEM failures = 0;
    const std::vector<ResultColumn>& columns = Columns();
    for (DBCOUNTITEM k = 0; k < accessor->count; ++k) {
        const DBBINDING& b = accessor->Binding(k);
        const size_t column = b.iOrdinal - 1;
        const ResultColumn& c = columns[column];
        ConversionTarget target;
        target.type = b.wType;
        target.value = (b.dwPart & DBPART_VALUE) ? data + b.obValue : nullptr;
        target.maxLength = b.cbMaxLen;
        target.precision = b.bPrecision;
        target.scale = b.bScale;
        target.streamIid = &b.pObject->iid;
        const SourceColumn source{c.type.type, c.type.precision, c.type.scale};
        const ConversionOutcome r = ConvertCell(cells_[column], source, target);
        if (b.dwPart & DBPART_LENGTH)
            std::memcpy(data + b.obLength, &r.length, sizeof r.length);
        if (b.dwPart & DBPART_STATUS)
            std::memcpy(data + b.obStatus, &r.status, sizeof r.status);
        if (r.status != DBSTATUS_S_OK && r.status != DBSTATUS_S_ISNULL &&
            r.status != DBSTATUS_S_TRUNCATED) {
            const std::wstring text = Context() + L": row " + std::to_wstring(row + 1) +
                                      L", column '" + c.name + L"' holds " +
                                      ValueForMessage(cells_[column]) + L", " +
                                      ConversionProblem(r.status, b.wType);
            if (failures++ == 0)
                PostProviderError(DB_E_ERRORSOCCURRED, IID_IRowset, text);
            else
                AppendProviderError(DB_E_ERRORSOCCURRED, IID_IRowset, text);
        }
    }
    if (failures == 0)
        return S_OK;
    return failures < accessor->count ? DB_S_ERRORSOCCURRED : DB_E_ERRORSOCCURRED;
}

HRESULT Rowset::GetColumnInfo(DBORDINAL* pcColumns, DBCOLUMNINFO** prgInfo,
                              OLECHAR** ppStringsBuffer) {
    if (!pcColumns || !prgInfo || !ppStringsBuffer)
        return PostProviderError(E_INVALIDARG, IID_IColumnsInfo,
                                 L"Describing columns: no place for the result");
    *pcColumns = 0;
    *prgInfo = nullptr;
    *ppStringsBuffer = nullptr;
    const std::vector<ResultColumn>& columns = Columns();
    const size_t n = columns.size();
    if (n == 0)
        return S_OK;
    size_t chars = 0;
    for (const ResultColumn& c : columns)
        chars += c.name.size() + 1;
    auto* info = static_cast<DBCOLUMNINFO*>(CoTaskMemAlloc(n * sizeof(DBCOLUMNINFO)));
    auto* strings = static_cast<OLECHAR*>(CoTaskMemAlloc(chars * sizeof(OLECHAR)));
    if (!info || !strings) {
        CoTaskMemFree(info);
        CoTaskMemFree(strings);
        return PostProviderError(E_OUTOFMEMORY, IID_IColumnsInfo,
                                 L"Describing columns: out of memory");
    }
    OLECHAR* next = strings;
    for (size_t i = 0; i < n; ++i) {
        const ResultColumn& c = columns[i];
        DBCOLUMNINFO& out = info[i];
        std::memset(&out, 0, sizeof out);
        std::memcpy(next, c.name.c_str(), (c.name.size() + 1) * sizeof(OLECHAR));
        out.pwszName = next;
        out.pTypeInfo = nullptr;
        out.iOrdinal = static_cast<DBORDINAL>(i + 1);
        out.dwFlags = c.flags;
        out.ulColumnSize = c.type.size;
        out.wType = c.type.type;
        out.bPrecision = c.type.precision;
        out.bScale = c.type.scale;
        out.columnid.eKind = DBKIND_NAME;
        out.columnid.uName.pwszName = next;
        next += c.name.size() + 1;
    }
    *pcColumns = static_cast<DBORDINAL>(n);
    *prgInfo = info;
    *ppStringsBuffer = strings;
    return S_OK;
}

HRESULT Rowset::MapColumnIDs(DBORDINAL cColumnIDs, const DBID rgColumnIDs[],
                             DBORDINAL rgColumns[]) {
    if (cColumnIDs && (!rgColumnIDs || !rgColumns))
        return PostProviderError(E_INVALIDARG, IID_IColumnsInfo,
                                 L"Mapping column ids: the ids or the result array are missing");
    DBORDINAL bad = 0;
    for (DBORDINAL i = 0; i < cColumnIDs; ++i) {
        const DBID& id = rgColumnIDs[i];
        rgColumns[i] = DB_INVALIDCOLUMN;
        const bool named = id.eKind == DBKIND_NAME || id.eKind == DBKIND_GUID_NAME ||
                           id.eKind == DBKIND_PGUID_NAME;
        if (named && id.uName.pwszName) {
            for (size_t c = 0; c < Columns().size(); ++c)
                if (wcscasecmp(Columns()[c].name.c_str(), id.uName.pwszName) == 0) {
                    rgColumns[i] = static_cast<DBORDINAL>(c + 1);
                    break;
                }
        }
        if (rgColumns[i] == DB_INVALIDCOLUMN)
            ++bad;
    }
    if (bad == 0)
        return S_OK;
    if (bad < cColumnIDs)
        return DB_S_ERRORSOCCURRED;
    return PostProviderError(DB_E_ERRORSOCCURRED, IID_IColumnsInfo,
                             L"Mapping column ids: no id names a column of the rowset");
}

}  // namespace

HRESULT CreateRowset(std::unique_ptr<RowSource> source, const RowsetProperties& properties,
                     IUnknown* creator, REFIID riid, IUnknown** ppRowset) {
    ErrorSourceScope scope(source->ErrorSource());
    if (!ppRowset) {
        source->Close();
        return PostProviderError(E_INVALIDARG, IID_ICommand, L"No place for the rowset was given");
    }
    *ppRowset = nullptr;
    ComPtr<Rowset> rowset(new (std::nothrow) Rowset(std::move(source), properties, creator));
    if (!rowset) {
        // The allocation failed before the source was handed over.
        source->Close();
        return PostProviderError(E_OUTOFMEMORY, IID_ICommand, L"Out of memory making a rowset");
    }
    const HRESULT hr = rowset->Init();
    if (FAILED(hr))
        return hr;
    const HRESULT qi = rowset->QueryInterface(riid, reinterpret_cast<void**>(ppRowset));
    if (FAILED(qi))
        return PostProviderError(E_NOINTERFACE, IID_ICommand,
                                 L"The rowset of " + QuotedStatement(rowset->StatementText()) +
                                     L" does not offer the interface asked for");
    return S_OK;
}

bool StoreEncodedRow(RowStore& store, const RowEncoder& encoder,
                     const std::function<std::wstring()>& context,
                     std::unique_ptr<ErrorRecord>* failure) {
    char* out = store.Append(encoder.Size());
    if (!out) {
        *failure = std::make_unique<ErrorRecord>(
            MakeProviderRecord(E_FAIL, IID_IRowset, context() + L": " + store.LastError()));
        return false;
    }
    encoder.Write(out);
    return true;
}

}  // namespace vorn::provider
