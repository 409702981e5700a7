// A recordset that connects to a file by its path: an Access database, an Excel workbook
// (read and write, or read only) or a delimited text file. Open builds the connection
// string for the file's kind and connects as the recordset's connect type says.
#pragma once

#include "vornoledb/recordset.h"

// The provider every file recordset names.
VORNOLEDB_API extern const wchar_t VornOleDbFileProvider[];
// The properties each kind of file adds to its connection string.
VORNOLEDB_API extern const wchar_t VornOleDbMdbProperties[];
VORNOLEDB_API extern const wchar_t VornOleDbExcelProperties[];
VORNOLEDB_API extern const wchar_t VornOleDbTextProperties[];
VORNOLEDB_API extern const wchar_t VornOleDbExcelReadOnlyProperties[];

class VORNOLEDB_API VornOleDbFileRecordset : public VornOleDbRecordset {
  public:
    enum FileType : int32_t {
        ftMdb = 0,            // Access database file
        ftExcel = 1,          // Excel workbook, read and write
        ftText = 2,           // delimited text file
        ftExcelReadOnly = 3,  // Excel workbook, read only
    };

    // Connect type ctCached.
    explicit VornOleDbFileRecordset(FileType fileType);
    VornOleDbFileRecordset(ConnectType connectType, FileType fileType);
    virtual ~VornOleDbFileRecordset();

    // Stores the kind for the next Open; a connected recordset is closed first.
    void SetFileType(FileType fileType);

    // Connects to file (a null pointer is the empty path). A text file named with the
    // extension .csv is reached through its folder (the path up to its last '/' or '\');
    // every other path is the data source as it is. userId, password and properties (added
    // after the kind's own, without a separator) may be null. False for a file type outside
    // the four kinds, without touching anything; otherwise the result of connecting.
    bool Open(const wchar_t* file, const wchar_t* userId, const wchar_t* password,
              const wchar_t* properties, bool prompt);
    // The recordset's own Open from a ready connection string stays reachable.
    using VornOleDbRecordset::Open;

  private:
    VornOleDbFileRecordset(const VornOleDbFileRecordset&);
    VornOleDbFileRecordset& operator=(const VornOleDbFileRecordset&);

    FileType m_fileType;
};
