// Fields of the current row as text and as 32-bit integers, and the tests on a column's
// value and type. Everything is read from the row buffer; only numeric text goes through
// the connection's data-conversion service.
#include <cmath>
#include <cwchar>

#include "value_text.h"
#include "vornoledb/command.h"
#include "automation.h"
#include "vornoledb/platform/format.h"
#include "vornoledb/platform/text.h"

namespace {

// Copies a value of type T out of its slot; false when the slot is too small.
template <class T>
bool Load(const BYTE* value, DBLENGTH size, T* out) {
    if (!value || size < sizeof(T))
        return false;
    std::memcpy(out, value, sizeof(T));
    return true;
}

template <class T>
T LoadOr(const BYTE* value, DBLENGTH size, T fallback) {
    T v;
    return Load(value, size, &v) ? v : fallback;
}

// The VARIANT types whose payload has the layout of the DBTYPE of the same number.
bool IsScalarVariantType(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
        case VT_I2:
        case VT_UI2:
        case VT_I4:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_BSTR:
        case VT_ERROR:
        case VT_BOOL:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::wstring VornOleDbCommand::ValueText(DBTYPE type, const BYTE* value, DBLENGTH size,
                                         DBLENGTH length) {
    using namespace vorn::command;
    switch (type) {
        case DBTYPE_I1: {
            // The byte as a signed character code widened to 16 bits: 0x80 gives U+FF80.
            const auto code =
                static_cast<uint16_t>(static_cast<int16_t>(LoadOr<int8_t>(value, size, 0)));
            return VornFormat(L"%c", static_cast<wint_t>(code));
        }
        case DBTYPE_UI1:
            return UnsignedText(LoadOr<uint8_t>(value, size, 0));
        case DBTYPE_I2:
            return IntegerText(LoadOr<int16_t>(value, size, 0));
        case DBTYPE_UI2:
            return UnsignedText(LoadOr<uint16_t>(value, size, 0));
        case DBTYPE_I4:
        case DBTYPE_ERROR:
            return IntegerText(LoadOr<int32_t>(value, size, 0));
        case DBTYPE_UI4:
            return UnsignedText(LoadOr<uint32_t>(value, size, 0));
        case DBTYPE_I8:
            return IntegerText(LoadOr<int64_t>(value, size, 0));
        case DBTYPE_UI8:
            return UnsignedText(LoadOr<uint64_t>(value, size, 0));
        case DBTYPE_R4:
            return FixedText(static_cast<double>(LoadOr<float>(value, size, 0)));
        case DBTYPE_R8:
            return FixedText(LoadOr<double>(value, size, 0));
        case DBTYPE_CY:
            return CurrencyText(LoadOr<int64_t>(value, size, 0));
        case DBTYPE_DATE:
            return DateText(LoadOr<double>(value, size, 0), 0);
        case DBTYPE_BSTR: {
            const wchar_t* text = LoadOr<const wchar_t*>(value, size, nullptr);
            return text ? std::wstring(text) : std::wstring();
        }
        case DBTYPE_IDISPATCH:
            return VornFormat(L"%p", LoadOr<void*>(value, size, nullptr));
        case DBTYPE_BOOL:
            // VARIANT_BOOL as a plain number: -1 for true, 0 for false.
            return IntegerText(LoadOr<int16_t>(value, size, 0));
        case DBTYPE_VARIANT: {
            VARIANT v;
            if (!Load(value, size, &v))
                return std::wstring();
            if (v.vt == VT_DECIMAL) {
                // A DECIMAL fills the whole VARIANT, its reserved word standing on vt.
                DECIMAL d;
                std::memcpy(&d, value, sizeof d);
                return DecimalText(d);
            }
            if (!IsScalarVariantType(v.vt))
                return std::wstring();
            const BYTE* payload = value + offsetof(VARIANT, llVal);
            return ValueText(v.vt, payload, sizeof(VARIANT) - offsetof(VARIANT, llVal), 0);
        }
        case DBTYPE_DECIMAL: {
            DECIMAL d;
            return Load(value, size, &d) ? DecimalText(d) : std::wstring();
        }
        case DBTYPE_FILETIME: {
            FILETIME ft;
            SYSTEMTIME st;
            if (!Load(value, size, &ft) || !FileTimeToSystemTime(&ft, &st))
                return std::wstring();
            return CalendarText(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, 0);
        }
        case DBTYPE_GUID: {
            GUID guid;
            if (!Load(value, size, &guid))
                return std::wstring();
            RPC_WSTR text = nullptr;
            if (UuidToStringW(&guid, &text) != RPC_S_OK || !text)
                return std::wstring();
            std::wstring result(text);
            RpcStringFreeW(&text);
            return result;
        }
        case DBTYPE_STR: {
            const char* text = reinterpret_cast<const char*>(value);
            return Utf8ToWide(text, strnlen(text, size));
        }
        case DBTYPE_WSTR: {
            const wchar_t* text = reinterpret_cast<const wchar_t*>(value);
            return std::wstring(text, wcsnlen(text, size / sizeof(wchar_t)));
        }
        case DBTYPE_NUMERIC:
        case DBTYPE_VARNUMERIC:
            return NumericText(type, value, size, length);
        case DBTYPE_DBDATE: {
            DBDATE d;
            if (!Load(value, size, &d))
                return std::wstring();
            return CalendarText(static_cast<WORD>(d.year), d.month, d.day, 0, 0, 0,
                                VAR_DATEVALUEONLY);
        }
        case DBTYPE_DBTIME: {
            DBTIME t;
            if (!Load(value, size, &t))
                return std::wstring();
            return CalendarText(1899, 12, 30, t.hour, t.minute, t.second, VAR_TIMEVALUEONLY);
        }
        case DBTYPE_DBTIMESTAMP: {
            DBTIMESTAMP ts;
            if (!Load(value, size, &ts))
                return std::wstring();
            return CalendarText(static_cast<WORD>(ts.year), ts.month, ts.day, ts.hour, ts.minute,
                                ts.second, 0);
        }
        default:
            return std::wstring();
    }
}

std::wstring VornOleDbCommand::NumericText(DBTYPE type, const BYTE* value, DBLENGTH size,
                                           DBLENGTH length) {
    if (m_connection == nullptr)
        return std::wstring();
    IDataConvert* convert = m_connection->GetIDataConvert();
    if (convert == nullptr)
        return std::wstring();
    // A NUMERIC is a whole DB_NUMERIC; a VARNUMERIC is as long as the provider said, and
    // never longer than its slot.
    DBLENGTH sourceLength = sizeof(DB_NUMERIC);
    if (type == DBTYPE_VARNUMERIC)
        sourceLength = length < size ? length : size;
    char text[200] = {};
    DBLENGTH textLength = 0;
    DBSTATUS status = DBSTATUS_S_OK;
    const HRESULT hr =
        convert->DataConvert(type, DBTYPE_STR, sourceLength, &textLength, const_cast<BYTE*>(value),
                             text, sizeof text, DBSTATUS_S_OK, &status, 0, 0, 0);
    if (FAILED(hr))
        return std::wstring();
    if (textLength > sizeof text)
        textLength = sizeof text;
    return Utf8ToWide(text, textLength);
}

std::wstring VornOleDbCommand::FieldAsString(unsigned long column) {
    DBORDINAL index;
    DBTYPE type;
    DBSTATUS status;
    if (!EnterField(column, &index, &type, &status))
        return std::wstring();
    if (status != DBSTATUS_S_OK && status != DBSTATUS_S_TRUNCATED)
        return std::wstring();
    DBLENGTH size = 0;
    const BYTE* value = ValueSlot(index, &size);
    if (!value)
        return std::wstring();
    DBLENGTH length = 0;
    ReadLength(index, &length);
    return ValueText(type, value, size, length);
}

VornOleDbCommand::dbStatus VornOleDbCommand::GetFieldBytes(unsigned long column,
                                                           std::vector<unsigned char>& bytes) {
    bytes.clear();
    DBORDINAL index;
    DBTYPE type;
    DBSTATUS status;
    if (!EnterField(column, &index, &type, &status))
        return dbError;
    if (status == DBSTATUS_S_ISNULL)
        return dbNull;
    if (status != DBSTATUS_S_OK && status != DBSTATUS_S_TRUNCATED)
        return dbError;
    // Long values are bound as streams, pointers or not at all: not bytes of the row.
    if (type == DBTYPE_IUNKNOWN || type == DBTYPE_EMPTY || (type & DBTYPE_BYREF))
        return dbError;
    DBLENGTH size = 0;
    const BYTE* value = ValueSlot(index, &size);
    if (!value)
        return dbError;
    DBLENGTH count = size;
    if (type == DBTYPE_BYTES || type == DBTYPE_STR || type == DBTYPE_WSTR) {
        DBLENGTH length = 0;
        ReadLength(index, &length);
        count = length < size ? length : size;
    } else if (const DBLENGTH fixed = DbTypeFixedSize(type)) {
        count = fixed < size ? fixed : size;
    }
    bytes.assign(value, value + count);
    return status == DBSTATUS_S_TRUNCATED ? dbTruncated : dbOK;
}

std::wstring VornOleDbCommand::FieldAsStringEx(unsigned long column) {
    std::wstring text = FieldAsString(column);
    vorn::command::TrimTrailingSpace(text);
    return text;
}

long VornOleDbCommand::FieldAsLong(unsigned long column) {
    DBORDINAL index;
    DBTYPE type;
    DBSTATUS status;
    if (!EnterField(column, &index, &type, &status))
        return 0;
    if (status != DBSTATUS_S_OK && status != DBSTATUS_S_TRUNCATED)
        return 0;
    DBLENGTH size = 0;
    const BYTE* value = ValueSlot(index, &size);
    if (!value)
        return 0;
    switch (type) {
        case DBTYPE_I1:
            return LoadOr<int8_t>(value, size, 0);
        case DBTYPE_UI1:
            return LoadOr<uint8_t>(value, size, 0);
        case DBTYPE_I2:
        case DBTYPE_BOOL:
            return LoadOr<int16_t>(value, size, 0);
        case DBTYPE_UI2:
            return LoadOr<uint16_t>(value, size, 0);
        case DBTYPE_I4:
        case DBTYPE_ERROR:
        case DBTYPE_UI4:
            return static_cast<int32_t>(LoadOr<uint32_t>(value, size, 0));
        case DBTYPE_I8:
        case DBTYPE_UI8:
            // The low 32 bits, as a signed value.
            return static_cast<int32_t>(static_cast<uint32_t>(LoadOr<uint64_t>(value, size, 0)));
        case DBTYPE_R4:
        case DBTYPE_R8: {
            const double v =
                type == DBTYPE_R4 ? LoadOr<float>(value, size, 0) : LoadOr<double>(value, size, 0);
            // Truncation toward zero; values outside the 32-bit range and NaN give INT32_MIN.
            if (!(v > -2147483649.0 && v < 2147483648.0))
                return INT32_MIN;
            return static_cast<int32_t>(std::trunc(v));
        }
        case DBTYPE_CY: {
            const int64_t whole = LoadOr<int64_t>(value, size, 0) / 10000;
            return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(whole)));
        }
        case DBTYPE_DATE: {
            LONG result = 0;
            if (FAILED(VarI4FromDate(LoadOr<double>(value, size, 0), &result)))
                return 0;
            return result;
        }
        case DBTYPE_BSTR: {
            const wchar_t* text = LoadOr<const wchar_t*>(value, size, nullptr);
            return text ? vorn::command::LeadingLong(text, SIZE_MAX) : 0;
        }
        case DBTYPE_DECIMAL: {
            DECIMAL d;
            LONG result = 0;
            if (!Load(value, size, &d) || FAILED(VarI4FromDec(&d, &result)))
                return 0;
            return result;
        }
        case DBTYPE_STR:
            return vorn::command::LeadingLong(reinterpret_cast<const char*>(value), size);
        default:
            return 0;
    }
}

VornOleDbCommand::dbStatus VornOleDbCommand::IsNull(unsigned long column) {
    DBORDINAL index;
    DBSTATUS status;
    if (!ColumnIndex(column, &index) || !ReadStatus(index, &status))
        return dbError;
    return status == DBSTATUS_S_ISNULL ? dbOK : dbFalse;
}

VornOleDbCommand::dbStatus VornOleDbCommand::IsNumeric(unsigned long column) {
    DBORDINAL index;
    DBTYPE type;
    if (!ColumnIndex(column, &index) || !ReadType(index, &type))
        return dbError;
    switch (type) {
        case DBTYPE_DECIMAL:
        case DBTYPE_NUMERIC:
        case DBTYPE_VARNUMERIC:
            return dbOK;
        default:
            return dbFalse;
    }
}

VornOleDbCommand::dbStatus VornOleDbCommand::IsIntegral(unsigned long column) {
    DBORDINAL index;
    DBTYPE type;
    if (!ColumnIndex(column, &index) || !ReadType(index, &type))
        return dbError;
    switch (type) {
        case DBTYPE_I2:
        case DBTYPE_I4:
        case DBTYPE_UI2:
        case DBTYPE_UI4:
        case DBTYPE_I8:
        case DBTYPE_UI8:
            return dbOK;
        default:
            return dbFalse;
    }
}

VornOleDbCommand::dbStatus VornOleDbCommand::IsBlob(unsigned long column) {
    DBORDINAL index;
    DBTYPE type;
    if (!ColumnIndex(column, &index))
        return dbError;
    if (!ReadType(index, &type))
        return dbFalse;
    if (type == DBTYPE_IUNKNOWN || type == DBTYPE_BYTES || type == DBTYPE_EMPTY ||
        (type & DBTYPE_BYREF))
        return dbOK;
    return dbFalse;
}
