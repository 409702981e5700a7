// The OLE2 compound file of an .xls workbook, opened with libgsf: the workbook stream
// taken out whole. A compound file that is an encrypted .xlsx, or holds an Excel 5.0/95
// book, is told apart so that the error can say so.
#pragma once

#include <string>
#include <string_view>

namespace vorn::provider::stores::workbook {

enum class CompoundContent {
    Workbook,       // a "Workbook" stream (BIFF8, Excel 97 and later), read into *stream
    OldBook,        // a "Book" stream only: Excel 5.0/95 (BIFF5)
    EncryptedXlsx,  // "EncryptionInfo" and "EncryptedPackage": a password-protected .xlsx
    Other,          // a compound file without a workbook (a Word document ...)
    Damaged,        // not a compound file libgsf can read (*error says why)
};

// Reads the compound file in bytes.
CompoundContent ReadCompoundFile(std::string_view bytes, std::string* stream, std::string* error);

}  // namespace vorn::provider::stores::workbook
