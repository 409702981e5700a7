// IDataConvert: a source value of any common OLE DB type is read into the form rows are
// stored in (integer, real, exact text, bytes) and converted to the destination as
// GetData converts stored values. Exact numbers (NUMERIC, VARNUMERIC, DECIMAL, CY) travel
// as decimal text, so no digit is lost on the way to text or to another exact type.
#include "values/data_convert.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "values/exact_decimal.h"
#include "execution/result_codes.h"
#include "values/value_conversion.h"
#include "automation.h"
#include "calendar.h"
#include "vornoledb/platform/text.h"

namespace vorn::provider {
namespace {

bool IsTextTarget(DBTYPE t) {
    t &= ~DBTYPE_BYREF;
    return t == DBTYPE_WSTR || t == DBTYPE_STR || t == DBTYPE_BSTR;
}

template <class T>
T Read(const void* src) {
    T v;
    std::memcpy(&v, src, sizeof v);
    return v;
}

Cell IntegerCell(long long v) {
    Cell c;
    c.kind = CellKind::Integer;
    c.integer = v;
    return c;
}

Cell RealCell(double v) {
    Cell c;
    c.kind = CellKind::Real;
    c.real = v;
    return c;
}

Cell TextCell(const std::string& text) {
    Cell c;
    c.kind = CellKind::Text;
    c.bytes = text.data();
    c.size = text.size();
    return c;
}

Cell BlobCell(const void* bytes, size_t size) {
    Cell c;
    c.kind = CellKind::Blob;
    c.bytes = static_cast<const char*>(bytes);
    c.size = size;
    return c;
}

// An exact value as the decimal text a cell of it holds, written into storage.
Cell DecimalCell(const ExactDecimal& d, std::string* storage) {
    char text[kDecimalTextMax];
    storage->assign(text, DecimalToChars(d, text));
    return TextCell(*storage);
}

std::string DateText(int year, int month, int day, int hour, int minute, int second, bool date,
                     bool time) {
    vorn::DateParts parts;
    parts.year = year;
    parts.month = month;
    parts.day = day;
    parts.hour = hour;
    parts.minute = minute;
    parts.second = second;
    char text[32];
    return std::string(text, vorn::FormatDateText(parts, date, time, text));
}

// Reads the source value into a cell (text kept alive in storage). False when the source
// type is not one this library reads; *unreadable is set when the value is malformed.
bool SourceCell(DBTYPE type, DBTYPE target, const void* src, DBLENGTH length, DBDATACONVERT flags,
                Cell* cell, std::string* storage, bool* unreadable) {
    *unreadable = false;
    if (type == DBTYPE_EMPTY || type == DBTYPE_NULL) {
        *cell = Cell();
        return true;
    }
    if (!src) {
        *unreadable = true;
        return true;
    }
    switch (type) {
        case DBTYPE_I1:
            *cell = IntegerCell(Read<int8_t>(src));
            return true;
        case DBTYPE_UI1:
            *cell = IntegerCell(Read<uint8_t>(src));
            return true;
        case DBTYPE_I2:
        case DBTYPE_BOOL:
            *cell = IntegerCell(Read<int16_t>(src));
            return true;
        case DBTYPE_UI2:
            *cell = IntegerCell(Read<uint16_t>(src));
            return true;
        case DBTYPE_I4:
        case DBTYPE_ERROR:
            *cell = IntegerCell(Read<int32_t>(src));
            return true;
        case DBTYPE_UI4:
            *cell = IntegerCell(Read<uint32_t>(src));
            return true;
        case DBTYPE_I8:
            *cell = IntegerCell(Read<int64_t>(src));
            return true;
        case DBTYPE_UI8: {
            const auto v = Read<uint64_t>(src);
            if (v <= static_cast<uint64_t>(INT64_MAX)) {
                *cell = IntegerCell(static_cast<long long>(v));
            } else {
                *storage = std::to_string(v);
                *cell = TextCell(*storage);
            }
            return true;
        }
        case DBTYPE_R4:
            *cell = RealCell(Read<float>(src));
            return true;
        case DBTYPE_R8:
            *cell = RealCell(Read<double>(src));
            return true;
        case DBTYPE_CY: {
            const CY cy = Read<CY>(src);
            ExactDecimal d = DecimalFromInteger(cy.int64);
            d.scale = 4;
            *cell = DecimalCell(d, storage);
            return true;
        }
        case DBTYPE_DECIMAL: {
            const DECIMAL dec = Read<DECIMAL>(src);
            if (dec.scale > 28) {
                *unreadable = true;
                return true;
            }
            ExactDecimal d;
            d.mantissa = (Uint128(dec.Hi32) << 64) | dec.Lo64;
            d.negative = (dec.sign & DECIMAL_NEG) && d.mantissa != 0;
            d.scale = dec.scale;
            *cell = DecimalCell(d, storage);
            return true;
        }
        case DBTYPE_NUMERIC: {
            ExactDecimal d;
            if (!DecimalFromNumeric(Read<DB_NUMERIC>(src), &d)) {
                *unreadable = true;
                return true;
            }
            *cell = DecimalCell(d, storage);
            return true;
        }
        case DBTYPE_VARNUMERIC: {
            ExactDecimal d;
            if (!DecimalFromVarNumeric(static_cast<const BYTE*>(src), length, &d)) {
                *unreadable = true;
                return true;
            }
            *cell = DecimalCell(d, storage);
            return true;
        }
        case DBTYPE_DATE: {
            const DATE v = Read<DATE>(src);
            if (!IsTextTarget(target)) {
                *cell = RealCell(v);
                return true;
            }
            BSTR text = nullptr;
            if (FAILED(VarBstrFromDate(v, LANG_USER_DEFAULT, 0, &text))) {
                *unreadable = true;
                return true;
            }
            *storage = WideToUtf8(text, SysStringLen(text));
            SysFreeString(text);
            *cell = TextCell(*storage);
            return true;
        }
        case DBTYPE_DBDATE: {
            const DBDATE d = Read<DBDATE>(src);
            *storage = DateText(d.year, d.month, d.day, 0, 0, 0, true, false);
            *cell = TextCell(*storage);
            return true;
        }
        case DBTYPE_DBTIME: {
            const DBTIME t = Read<DBTIME>(src);
            *storage = DateText(0, 0, 0, t.hour, t.minute, t.second, false, true);
            *cell = TextCell(*storage);
            return true;
        }
        case DBTYPE_DBTIMESTAMP: {
            const DBTIMESTAMP t = Read<DBTIMESTAMP>(src);
            *storage = DateText(t.year, t.month, t.day, t.hour, t.minute, t.second, true, true);
            *cell = TextCell(*storage);
            return true;
        }
        case DBTYPE_STR: {
            const char* s = static_cast<const char*>(src);
            const size_t n = (flags & DBDATACONVERT_LENGTHFROMNTS) ? std::strlen(s) : length;
            storage->assign(s, n);
            *cell = TextCell(*storage);
            return true;
        }
        case DBTYPE_WSTR: {
            const wchar_t* s = static_cast<const wchar_t*>(src);
            const size_t n =
                (flags & DBDATACONVERT_LENGTHFROMNTS) ? std::wcslen(s) : length / sizeof(wchar_t);
            *storage = WideToUtf8(s, n);
            *cell = TextCell(*storage);
            return true;
        }
        case DBTYPE_BSTR: {
            const BSTR s = Read<BSTR>(src);
            *storage = WideToUtf8(s, SysStringLen(s));
            *cell = TextCell(*storage);
            return true;
        }
        case DBTYPE_BYTES:
            *cell = BlobCell(src, length);
            return true;
        case DBTYPE_GUID: {
            if ((target & ~DBTYPE_BYREF) == DBTYPE_BYTES || target == DBTYPE_GUID) {
                *cell = BlobCell(src, sizeof(GUID));
                return true;
            }
            wchar_t text[40];
            StringFromGUID2(Read<GUID>(src), text, 40);
            *storage = WideToUtf8(text, std::wcslen(text));
            *cell = TextCell(*storage);
            return true;
        }
        default:
            return false;
    }
}

bool IsReadableSource(DBTYPE type) {
    switch (type) {
        case DBTYPE_EMPTY:
        case DBTYPE_NULL:
        case DBTYPE_I1:
        case DBTYPE_UI1:
        case DBTYPE_I2:
        case DBTYPE_UI2:
        case DBTYPE_I4:
        case DBTYPE_UI4:
        case DBTYPE_I8:
        case DBTYPE_UI8:
        case DBTYPE_BOOL:
        case DBTYPE_ERROR:
        case DBTYPE_R4:
        case DBTYPE_R8:
        case DBTYPE_CY:
        case DBTYPE_DECIMAL:
        case DBTYPE_NUMERIC:
        case DBTYPE_VARNUMERIC:
        case DBTYPE_DATE:
        case DBTYPE_DBDATE:
        case DBTYPE_DBTIME:
        case DBTYPE_DBTIMESTAMP:
        case DBTYPE_STR:
        case DBTYPE_WSTR:
        case DBTYPE_BSTR:
        case DBTYPE_BYTES:
        case DBTYPE_GUID:
            return true;
        default:
            return false;
    }
}

class ConversionLibrary final : public ComObject<IDataConvert> {
  public:
    HRESULT DataConvert(DBTYPE wSrcType, DBTYPE wDstType, DBLENGTH cbSrcLength,
                        DBLENGTH* pcbDstLength, void* pSrc, void* pDst, DBLENGTH cbDstMaxLength,
                        DBSTATUS dbsSrcStatus, DBSTATUS* pdbsStatus, BYTE bPrecision, BYTE bScale,
                        DBDATACONVERT dwFlags) override {
        auto report = [&](DBSTATUS status, DBLENGTH length) {
            if (pdbsStatus)
                *pdbsStatus = status;
            if (pcbDstLength)
                *pcbDstLength = length;
        };
        if (!IsReadableSource(wSrcType) || !IsSupportedConversion(wSrcType, wDstType) ||
            wDstType == DBTYPE_IUNKNOWN) {
            report(DBSTATUS_E_CANTCONVERTVALUE, 0);
            return DB_E_UNSUPPORTEDCONVERSION;
        }
        if (dbsSrcStatus == DBSTATUS_S_ISNULL) {
            report(DBSTATUS_S_ISNULL, 0);
            return S_OK;
        }
        if (dbsSrcStatus != DBSTATUS_S_OK) {
            report(DBSTATUS_E_BADSTATUS, 0);
            return DB_E_ERRORSOCCURRED;
        }
        if (wSrcType == DBTYPE_NUMERIC && wDstType == DBTYPE_STR && pSrc && pDst) {
            // A NUMERIC as narrow text, as hosts show exact numbers: written straight into
            // the destination when it fits (the general path below cuts what does not).
            ExactDecimal d;
            char text[kDecimalTextMax];
            if (DecimalFromNumeric(Read<DB_NUMERIC>(pSrc), &d)) {
                const size_t n = DecimalToChars(d, text);
                if (n < cbDstMaxLength) {
                    std::memcpy(pDst, text, n);
                    static_cast<char*>(pDst)[n] = '\0';
                    report(DBSTATUS_S_OK, static_cast<DBLENGTH>(n));
                    return S_OK;
                }
            }
        }
        Cell cell;
        std::string storage;
        bool unreadable = false;
        SourceCell(wSrcType, wDstType, pSrc, cbSrcLength, dwFlags, &cell, &storage, &unreadable);
        if (unreadable) {
            report(DBSTATUS_E_CANTCONVERTVALUE, 0);
            return DB_E_CANTCONVERTVALUE;
        }
        ConversionTarget target;
        target.type = wDstType;
        target.value = pDst;
        target.maxLength = cbDstMaxLength;
        target.precision = bPrecision;
        target.scale = bScale;
        const SourceColumn source{wSrcType, bPrecision, bScale};
        const ConversionOutcome r = ConvertCell(cell, source, target);
        report(r.status, r.length);
        switch (r.status) {
            case DBSTATUS_S_OK:
            case DBSTATUS_S_TRUNCATED:
            case DBSTATUS_S_ISNULL:
                return S_OK;
            case DBSTATUS_E_DATAOVERFLOW:
            case DBSTATUS_E_SIGNMISMATCH:
                return DB_E_DATAOVERFLOW;
            case DBSTATUS_E_CANTCREATE:
                return E_OUTOFMEMORY;
            default:
                return DB_E_CANTCONVERTVALUE;
        }
    }

    HRESULT CanConvert(DBTYPE wFromType, DBTYPE wToType) override {
        return IsReadableSource(wFromType) && IsSupportedConversion(wFromType, wToType) &&
                       wToType != DBTYPE_IUNKNOWN
                   ? S_OK
                   : S_FALSE;
    }
};

}  // namespace

HRESULT CreateDataConvertObject(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    ComPtr<ConversionLibrary> object(new (std::nothrow) ConversionLibrary);
    if (!object)
        return E_OUTOFMEMORY;
    return object->QueryInterface(riid, ppv);
}

}  // namespace vorn::provider
