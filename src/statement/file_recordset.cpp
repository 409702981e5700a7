// Recordsets over files named by path.
#include "vornoledb/file_recordset.h"

#include <cwctype>
#include <string>

#include "vornoledb/helper.h"

const wchar_t VornOleDbFileProvider[] = L"Microsoft.ACE.OLEDB.12.0";
const wchar_t VornOleDbMdbProperties[] = L"Jet OLEDB:Engine Type=5";
const wchar_t VornOleDbExcelProperties[] = L"Extended Properties='Excel 8.0;HDR=YES;IMEX=0'";
const wchar_t VornOleDbTextProperties[] = L"Extended Properties='text;HDR=YES;FMT=Delimited'";
const wchar_t VornOleDbExcelReadOnlyProperties[] =
    L"Extended Properties='Excel 8.0;HDR=YES;IMEX=0;ReadOnly=True'";

VornOleDbFileRecordset::VornOleDbFileRecordset(FileType fileType)
    : VornOleDbRecordset(ctCached), m_fileType(fileType) {}

VornOleDbFileRecordset::VornOleDbFileRecordset(ConnectType connectType, FileType fileType)
    : VornOleDbRecordset(connectType), m_fileType(fileType) {}

VornOleDbFileRecordset::~VornOleDbFileRecordset() {}

void VornOleDbFileRecordset::SetFileType(FileType fileType) {
    if (IsConnected())
        Close();
    m_fileType = fileType;
}

bool VornOleDbFileRecordset::Open(const wchar_t* file, const wchar_t* userId,
                                  const wchar_t* password, const wchar_t* properties, bool prompt) {
    std::wstring dataSource = file ? file : L"";
    const wchar_t* kindProperties = nullptr;
    switch (m_fileType) {
        case ftMdb:
            kindProperties = VornOleDbMdbProperties;
            break;
        case ftExcel:
            kindProperties = VornOleDbExcelProperties;
            break;
        case ftText:
            kindProperties = VornOleDbTextProperties;
            break;
        case ftExcelReadOnly:
            kindProperties = VornOleDbExcelReadOnlyProperties;
            break;
        default:
            return false;
    }
    if (m_fileType == ftText) {
        // A .csv file is reached through the folder that holds it; '/' and '\' both
        // separate folders.
        const size_t dot = dataSource.rfind(L'.');
        if (dot != std::wstring::npos && dataSource.size() - dot - 1 == 3) {
            std::wstring extension = dataSource.substr(dot + 1);
            for (wchar_t& c : extension)
                c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
            const size_t slash = dataSource.find_last_of(L"/\\");
            if (extension == L"CSV" && slash != std::wstring::npos)
                dataSource.erase(slash == 0 ? 1 : slash);  // "/parts.csv" is in "/"
        }
    }
    std::wstring init;
    if (!VornOleDbHelper::FormatConnectString(init, dataSource.c_str(), userId, password,
                                              VornOleDbFileProvider, kindProperties, properties))
        return false;
    return VornOleDbRecordset::Open(init, prompt);
}
