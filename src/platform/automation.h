// OLE Automation conversions with their documented behaviour: automation dates count days
// from 30 December 1899 with the time of day as the fraction (for negative dates the
// fraction is still the time of day, -1.5 is 29 December 1899 12:00), invalid calendar
// dates are refused, and rounding to integers takes halves to the even neighbour.
#pragma once

#include "com.h"

namespace vornoledb {

// Flags of VarBstrFromDate.
constexpr ULONG VAR_TIMEVALUEONLY = 0x1;
constexpr ULONG VAR_DATEVALUEONLY = 0x2;

// Results of VarBstrCmp.
constexpr HRESULT VARCMP_LT = 0;
constexpr HRESULT VARCMP_EQ = 1;
constexpr HRESULT VARCMP_GT = 2;
constexpr HRESULT VARCMP_NULL = 3;

// Flags of VarBstrCmp.
constexpr ULONG NORM_IGNORECASE = 0x1;

// Calendar parts to an automation date. Years 100 to 9999; month 1-12; the day must exist
// in that month; hour 0-23, minute and second 0-59. Milliseconds and day of week are
// ignored. Returns TRUE on success, FALSE (and leaves *pvtime alone) otherwise.
INT SystemTimeToVariantTime(const SYSTEMTIME* lpSystemTime, double* pvtime);
// An automation date to calendar parts (rounded to the nearest second, day of week filled).
// FALSE for dates outside 1 January 100 to 31 December 9999.
INT VariantTimeToSystemTime(double vtime, SYSTEMTIME* lpSystemTime);
// Date text "YYYY-MM-DD HH:MM:SS": only the date when the time of day is 0, only the time
// on day 0 (30 December 1899); VAR_DATEVALUEONLY / VAR_TIMEVALUEONLY force one part.
// DISP_E_OVERFLOW for a date out of range, E_INVALIDARG for a null out pointer.
HRESULT VarBstrFromDate(DATE dateIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut);
// The day count rounded to the nearest integer, halves to even; DISP_E_OVERFLOW outside the
// 32-bit range.
HRESULT VarI4FromDate(DATE dateIn, LONG* plOut);
// Rounded to the nearest integer, halves to even; DISP_E_OVERFLOW outside the 32-bit range,
// E_INVALIDARG for a scale above 28.
HRESULT VarI4FromDec(const DECIMAL* pdecIn, LONG* plOut);
// Compares two strings (a null BSTR is the empty string) ordinally by code point, or
// case-insensitively with NORM_IGNORECASE. Gives VARCMP_LT, VARCMP_EQ or VARCMP_GT.
HRESULT VarBstrCmp(BSTR bstrLeft, BSTR bstrRight, LCID lcid, ULONG dwFlags);

// 100-nanosecond ticks since 1 January 1601 (UTC, no time-zone change) to calendar parts,
// milliseconds kept. FALSE when the high bit is set (the value is out of range).
BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, SYSTEMTIME* lpSystemTime);

// GUID text without braces, lower case, 8-4-4-4-12. The string is allocated; free it with
// RpcStringFreeW. Returns 0 (RPC_S_OK) or 14 (RPC_S_OUT_OF_MEMORY).
using RPC_STATUS = int32_t;
using RPC_WSTR = wchar_t*;
constexpr RPC_STATUS RPC_S_OK = 0;
constexpr RPC_STATUS RPC_S_OUT_OF_MEMORY = 14;
RPC_STATUS UuidToStringW(const UUID* Uuid, RPC_WSTR* StringUuid);
RPC_STATUS RpcStringFreeW(RPC_WSTR* String);

}  // namespace vornoledb
