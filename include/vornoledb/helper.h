// Builds OLE DB connection strings from their parts.
#pragma once

#include <string>

#include "vornoledb/export.h"

class VORNOLEDB_API VornOleDbHelper {
  public:
    VornOleDbHelper() {}
    ~VornOleDbHelper() {}
    VornOleDbHelper& operator=(const VornOleDbHelper&) { return *this; }

    // "Provider=<provider>;Data Source=<source>;" then "User ID=<user>;" and
    // "Password=<password>;" when given, then the two property texts verbatim, closed with a
    // ';' when the result does not already end with one. False (result untouched) when the
    // data source or the provider is null.
    static bool FormatConnectString(std::wstring& result, const wchar_t* dataSource,
                                    const wchar_t* userId, const wchar_t* password,
                                    const wchar_t* provider, const wchar_t* properties,
                                    const wchar_t* moreProperties);
};
