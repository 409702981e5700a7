// Helpers of the Access store tests: the Access files of tests/data/access, opened through
// the consumer library, whose results come back as text.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "provider/stores/text_store_test_util.h"
#include "vornoledb/platform/text.h"

namespace vorn::test {

using AccessRows = std::vector<std::vector<std::wstring>>;

// The path of a test file under tests/data/access ("jackcess/testV1997.mdb").
inline std::string AccessFile(const std::string& name) {
    return std::string(VORN_TESTDATA_DIR) + "/access/" + name;
}

// The text store's fixture gives the connection, the command and Run; this one opens
// Access files and reads long values whole.
class AccessFileTest : public TextFolderTest {
  protected:
    // Opens the file as the data source; extended properties when not empty.
    bool Open(const std::string& name, const std::wstring& properties = L"") {
        connection.Close();
        std::wstring init =
            L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Utf8ToWide(AccessFile(name)) + L";";
        if (!properties.empty())
            init += L"Extended Properties='" + properties + L"';";
        if (connection.OpenFromInitializationString(init, false) != S_OK) {
            error = connection.GetErrorText();
            return false;
        }
        command.SetConnection(&connection);
        return true;
    }
    // Every row of a query as text (NULL as "<null>", long values whole).
    AccessRows Query(const std::wstring& sql) {
        AccessRows rows;
        if (!Run(sql))
            ADD_FAILURE() << WideToUtf8(sql) << ": " << WideToUtf8(error);
        while (error.empty() && command.FetchNext() == VornOleDbCommand::dbOK) {
            rows.emplace_back();
            for (unsigned c = 1; c <= command.GetColumnCount(); ++c)
                rows.back().push_back(Field(c));
        }
        return rows;
    }
    // A field of the current row as text: a long text whole, a long binary value in hex.
    std::wstring Field(unsigned c) {
        if (command.IsNull(c) == VornOleDbCommand::dbOK)
            return L"<null>";
        if (command.IsBlob(c) != VornOleDbCommand::dbOK)
            return command.FieldAsString(c);
        vornoledb::CHeapPtr<unsigned char, vornoledb::CCRTAllocator> block;
        const unsigned long size = command.GetBlobData(c, block);
        if ((command.GetRawType(c) & 0xFF) == 130)  // DBTYPE_WSTR
            return std::wstring(reinterpret_cast<const wchar_t*>(block.m_pData),
                                size / sizeof(wchar_t));
        static const wchar_t kHex[] = L"0123456789ABCDEF";
        std::wstring hex;
        for (unsigned long i = 0; i < size; ++i) {
            hex += kHex[block.m_pData[i] >> 4];
            hex += kHex[block.m_pData[i] & 15];
        }
        return hex;
    }
    // The one value of a query of one row and one column.
    std::wstring Value(const std::wstring& sql) {
        const AccessRows rows = Query(sql);
        return rows.size() == 1 && rows[0].size() == 1 ? rows[0][0] : L"<no single value>";
    }
};

}  // namespace vorn::test
