// Turns the error records of the last failed platform call into text.
#include "vornoledb/error_info.h"

#include <cwchar>

#include "vornoledb/platform/format.h"
#include "vornoledb/platform/oledb.h"

namespace {

// A BSTR read from an error object; absent when the read failed.
class OwnedBstr {
  public:
    ~OwnedBstr() { SysFreeString(value_); }
    BSTR* Out() { return &value_; }
    const wchar_t* Text() const { return value_ ? value_ : L""; }

  private:
    BSTR value_ = nullptr;
};

// The record block: number, source, description, help file, help context, GUID.
void AppendRecordBlock(std::wstring& text, ULONG number, IErrorInfo* record) {
    OwnedBstr description, source, helpFile;
    GUID guid = GUID_NULL;
    DWORD helpContext = 0;
    if (FAILED(record->GetDescription(description.Out())))
        *description.Out() = nullptr;
    if (FAILED(record->GetGUID(&guid)))
        guid = GUID_NULL;
    if (FAILED(record->GetHelpContext(&helpContext)))
        helpContext = 0;
    if (FAILED(record->GetHelpFile(helpFile.Out())))
        *helpFile.Out() = nullptr;
    if (FAILED(record->GetSource(source.Out())))
        *source.Out() = nullptr;

    wchar_t guidText[40];
    if (StringFromGUID2(guid, guidText, 40) == 0)
        guidText[0] = 0;
    VornAppendFormat(text,
                     L"Row #: %4d Source: \"%s\"\nDescription: \"%s\"\nHelp File: \"%s\" Help "
                     L"Context: %4d\nGUID: %s\n",
                     static_cast<int>(number), source.Text(), description.Text(), helpFile.Text(),
                     static_cast<int>(helpContext), guidText);
}

// The SQL line of a record whose custom error object answers ISQLErrorInfo.
void AppendSqlLine(std::wstring& text, IErrorRecords* records, ULONG number) {
    IUnknown* custom = nullptr;
    records->GetCustomErrorObject(number, IID_ISQLErrorInfo, &custom);
    if (!custom)
        return;
    ComPtr<IUnknown> holder = ComPtr<IUnknown>::Attach(custom);
    ComPtr<ISQLErrorInfo> sql;
    if (FAILED(custom->QueryInterface(IID_ISQLErrorInfo, sql.ReleaseAndGetVoidAddress())) || !sql)
        return;
    OwnedBstr state;
    LONG native = 0;
    sql->GetSQLInfo(state.Out(), &native);
    VornAppendFormat(text, L"SQLState: %s, NativeError: %i\n", state.Text(),
                     static_cast<int>(native));
}

std::wstring UpToNul(const std::wstring& s) {
    return std::wstring(s.c_str());
}

}  // namespace

VornOleDbErrorInfo::VornOleDbErrorInfo() = default;
VornOleDbErrorInfo::~VornOleDbErrorInfo() = default;
VornOleDbErrorInfo::VornOleDbErrorInfo(const VornOleDbErrorInfo& other) = default;
VornOleDbErrorInfo& VornOleDbErrorInfo::operator=(const VornOleDbErrorInfo& other) = default;

bool VornOleDbErrorInfo::CheckResult(HRESULT hr) {
    m_errorText.clear();
    m_errorStatement.clear();
    m_fullInfo.clear();
    if (hr == S_OK)
        return true;

    IErrorInfo* pending = nullptr;
    ::GetErrorInfo(0, &pending);
    if (!pending)
        return false;
    ComPtr<IErrorInfo> errorObject = ComPtr<IErrorInfo>::Attach(pending);

    ComPtr<IErrorRecords> records;
    ULONG count = 1;
    if (SUCCEEDED(errorObject.As(&records)) && records) {
        if (FAILED(records->GetRecordCount(&count)))
            return false;
    } else {
        records.Reset();
    }
    if (count == 0)
        return false;

    const LCID lcid = GetSystemDefaultLCID();
    for (ULONG i = 0; i < count; ++i) {
        ComPtr<IErrorInfo> record;
        if (records) {
            if (FAILED(records->GetErrorInfo(i, lcid, record.ReleaseAndGetAddressOf())) || !record)
                return false;
        } else {
            record = errorObject;
        }
        AppendRecordBlock(m_errorText, i, record.Get());
        if (records)
            AppendSqlLine(m_errorText, records.Get(), i);
    }
    return false;
}

const std::wstring& VornOleDbErrorInfo::GetErrorInfo(bool appendStatement) {
    m_fullInfo = m_errorText;
    if (appendStatement && !m_errorStatement.empty()) {
        m_fullInfo += L'\n';
        m_fullInfo += m_errorStatement;
    }
    return m_fullInfo;
}

const std::wstring& VornOleDbErrorInfo::GetErrorText() const {
    return m_errorText;
}

const std::wstring& VornOleDbErrorInfo::GetErrorStatement() const {
    return m_errorStatement;
}

bool VornOleDbErrorInfo::HasErrorInfo() const {
    return !m_errorText.empty();
}

void VornOleDbErrorInfo::SetErrorInfo(const std::wstring& text, const std::wstring& statement) {
    m_errorText = UpToNul(text);
    m_errorStatement = UpToNul(statement);
}
