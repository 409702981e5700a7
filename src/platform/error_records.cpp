// Error objects with records: what providers post on the calling thread when a call fails.
#include "error_records.h"

#include <mutex>

namespace vornoledb {

namespace {

HRESULT CopyText(const std::wstring& text, BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// The SQL information of one record.
class SqlErrorInfo final : public ComObject<ISQLErrorInfo> {
  public:
    SqlErrorInfo(std::wstring state, LONG native) : state_(std::move(state)), native_(native) {}
    HRESULT GetSQLInfo(BSTR* pbstrSQLState, LONG* plNativeError) override {
        if (plNativeError)
            *plNativeError = native_;
        return pbstrSQLState ? CopyText(state_, pbstrSQLState) : S_OK;
    }

  private:
    std::wstring state_;
    LONG native_;
};

// One record seen through IErrorInfo.
class RecordErrorInfo final : public ComObject<IErrorInfo> {
  public:
    explicit RecordErrorInfo(ErrorRecord record) : record_(std::move(record)) {}
    HRESULT GetGUID(GUID* pGUID) override {
        if (!pGUID)
            return E_POINTER;
        *pGUID = record_.guid;
        return S_OK;
    }
    HRESULT GetSource(BSTR* out) override { return CopyText(record_.source, out); }
    HRESULT GetDescription(BSTR* out) override { return CopyText(record_.description, out); }
    HRESULT GetHelpFile(BSTR* out) override { return CopyText(record_.helpFile, out); }
    HRESULT GetHelpContext(DWORD* out) override {
        if (!out)
            return E_POINTER;
        *out = record_.helpContext;
        return S_OK;
    }

  private:
    ErrorRecord record_;
};

// The error object: IErrorInfo answers for record 0, IErrorRecords for every record.
class ErrorObject final : public ComObject<IErrorInfo, IErrorRecords> {
  public:
    explicit ErrorObject(std::vector<ErrorRecord> records) : records_(std::move(records)) {}

    void Add(const ErrorRecord& r) {
        std::lock_guard<std::mutex> lock(mutex_);
        records_.push_back(r);
    }

    // IErrorInfo
    HRESULT GetGUID(GUID* p) override {
        return WithFirst([&](RecordErrorInfo& r) { return r.GetGUID(p); });
    }
    HRESULT GetSource(BSTR* p) override {
        return WithFirst([&](RecordErrorInfo& r) { return r.GetSource(p); });
    }
    HRESULT GetDescription(BSTR* p) override {
        return WithFirst([&](RecordErrorInfo& r) { return r.GetDescription(p); });
    }
    HRESULT GetHelpFile(BSTR* p) override {
        return WithFirst([&](RecordErrorInfo& r) { return r.GetHelpFile(p); });
    }
    HRESULT GetHelpContext(DWORD* p) override {
        return WithFirst([&](RecordErrorInfo& r) { return r.GetHelpContext(p); });
    }

    // IErrorRecords
    HRESULT AddErrorRecord(ERRORINFO* info, DWORD, DISPPARAMS*, IUnknown* custom, DWORD) override {
        if (!info)
            return E_INVALIDARG;
        ErrorRecord r;
        r.hr = info->hrError;
        r.guid = info->iid;
        r.clsid = info->clsid;
        ComPtr<ISQLErrorInfo> sql;
        if (custom &&
            SUCCEEDED(custom->QueryInterface(IID_ISQLErrorInfo, sql.ReleaseAndGetVoidAddress()))) {
            BSTR state = nullptr;
            LONG native = 0;
            sql->GetSQLInfo(&state, &native);
            r.hasSqlInfo = true;
            r.sqlState = state ? state : L"";
            r.nativeError = native;
            SysFreeString(state);
        }
        Add(r);
        return S_OK;
    }
    HRESULT GetBasicErrorInfo(ULONG n, ERRORINFO* info) override {
        if (!info)
            return E_INVALIDARG;
        std::lock_guard<std::mutex> lock(mutex_);
        if (n >= records_.size())
            return DB_E_BADRECORDNUM;
        const ErrorRecord& r = records_[n];
        *info = ERRORINFO{r.hr, 0, r.clsid, r.guid, 0};
        return S_OK;
    }
    HRESULT GetCustomErrorObject(ULONG n, REFIID riid, IUnknown** obj) override {
        if (!obj)
            return E_INVALIDARG;
        *obj = nullptr;
        std::lock_guard<std::mutex> lock(mutex_);
        if (n >= records_.size())
            return DB_E_BADRECORDNUM;
        const ErrorRecord& r = records_[n];
        // A record without SQL information has no custom object: success with null.
        if (!r.hasSqlInfo)
            return S_OK;
        auto sql = MakeCom<SqlErrorInfo>(r.sqlState, r.nativeError);
        return sql->QueryInterface(riid, reinterpret_cast<void**>(obj));
    }
    HRESULT GetErrorInfo(ULONG n, LCID, IErrorInfo** out) override {
        if (!out)
            return E_INVALIDARG;
        *out = nullptr;
        std::lock_guard<std::mutex> lock(mutex_);
        if (n >= records_.size())
            return DB_E_BADRECORDNUM;
        *out = MakeCom<RecordErrorInfo>(records_[n]).Detach();
        return S_OK;
    }
    HRESULT GetErrorParameters(ULONG n, DISPPARAMS* params) override {
        if (!params)
            return E_INVALIDARG;
        std::lock_guard<std::mutex> lock(mutex_);
        if (n >= records_.size())
            return DB_E_BADRECORDNUM;
        *params = DISPPARAMS{nullptr, nullptr, 0, 0};
        return S_OK;
    }
    HRESULT GetRecordCount(ULONG* count) override {
        if (!count)
            return E_INVALIDARG;
        std::lock_guard<std::mutex> lock(mutex_);
        *count = static_cast<ULONG>(records_.size());
        return S_OK;
    }

    static const IID& ClassId() {
        // Private id by which AppendError recognises objects of this class.
        static const IID id = {
            0x5f0e1d2c, 0x3b4a, 0x4c5d, {0x8e, 0x9f, 0xa0, 0xb1, 0xc2, 0xd3, 0xe4, 0xf5}};
        return id;
    }

  protected:
    void* QueryExtra(REFIID riid) override {
        return riid == ClassId() ? static_cast<IErrorInfo*>(this) : nullptr;
    }

  private:
    template <class F>
    HRESULT WithFirst(F f) {
        ErrorRecord first;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (records_.empty())
                return E_FAIL;
            first = records_.front();
        }
        auto info = MakeCom<RecordErrorInfo>(std::move(first));
        return f(*info.Get());
    }

    std::mutex mutex_;
    std::vector<ErrorRecord> records_;
};

}  // namespace

ComPtr<IErrorInfo> CreateErrorObject(const std::vector<ErrorRecord>& records) {
    auto obj = MakeCom<ErrorObject>(records);
    return ComPtr<IErrorInfo>(static_cast<IErrorInfo*>(obj.Get()));
}

HRESULT PostError(const ErrorRecord& record) {
    SetErrorInfo(0, CreateErrorObject({record}).Get());
    return record.hr;
}

HRESULT AppendError(const ErrorRecord& record) {
    IErrorInfo* pending = nullptr;
    GetErrorInfo(0, &pending);
    ComPtr<IErrorInfo> current = ComPtr<IErrorInfo>::Attach(pending);
    void* own = nullptr;
    if (current && SUCCEEDED(current->QueryInterface(ErrorObject::ClassId(), &own))) {
        auto* obj = static_cast<ErrorObject*>(static_cast<IErrorInfo*>(own));
        obj->Add(record);
        SetErrorInfo(0, current.Get());
        obj->Release();
        return record.hr;
    }
    return PostError(record);
}

}  // namespace vornoledb
