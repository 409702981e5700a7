// OLE DB result codes and constants the command and rowset objects answer with beyond
// those the platform header declares (values of the OLE DB headers).
#pragma once

#include "vornoledb/platform/oledb.h"

namespace vorn::provider {

constexpr HRESULT DB_E_BADCHAPTER = MakeHResult(0x80040E06u);
constexpr HRESULT DB_E_NOTAREFERENCECOLUMN = MakeHResult(0x80040E0Au);
constexpr HRESULT DB_E_PARAMNOTOPTIONAL = MakeHResult(0x80040E10u);
constexpr HRESULT DB_E_DIALECTNOTSUPPORTED = MakeHResult(0x80040E16u);
constexpr HRESULT DB_E_UNSUPPORTEDCONVERSION = MakeHResult(0x80040E1Du);
constexpr HRESULT DB_E_NOAGGREGATION = MakeHResult(0x80040E22u);
constexpr HRESULT DB_E_BADACCESSORFLAGS = MakeHResult(0x80040E46u);
constexpr HRESULT DB_E_BADORDINAL = MakeHResult(0x80040E55u);

// The ordinal MapColumnIDs gives a column id that names no column.
constexpr DBORDINAL DB_INVALIDCOLUMN = ~DBORDINAL(0);

}  // namespace vorn::provider
