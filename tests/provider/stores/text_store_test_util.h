// Helpers of the text store tests: a folder of text files made by the test, and a
// connection to it through the consumer library whose results come back as text.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/temp_database.h"
#include "vornoledb/command.h"
#include "vornoledb/connection.h"

namespace vorn::test {

using Rows = std::vector<std::vector<std::wstring>>;

inline std::string Narrow(const std::wstring& w) {
    return std::string(w.begin(), w.end());
}

class TextFolderTest : public ::testing::Test {
  protected:
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream out(folder.File(name), std::ios::binary);
        out << bytes;
    }
    std::string ReadFile(const std::string& name) {
        std::ifstream in(folder.File(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::wstring Connection(const std::wstring& properties = L"text;HDR=Yes;FMT=Delimited") {
        return L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" +
               std::wstring(folder.Path().begin(), folder.Path().end()) +
               L";Extended Properties='" + properties + L"';";
    }
    bool Open(const std::wstring& properties = L"text;HDR=Yes;FMT=Delimited") {
        connection.Close();
        if (connection.OpenFromInitializationString(Connection(properties), false) != S_OK)
            return false;
        command.SetConnection(&connection);
        return true;
    }
    // Runs a statement; false with the error text in error.
    bool Run(const std::wstring& sql) {
        command.SetCommandText(sql.c_str());
        const bool ok = command.Execute() == VornOleDbCommand::dbOK;
        error = ok ? L"" : command.GetErrorText();
        return ok;
    }
    // Every row of a query as text, NULL as "<null>"; trimmed reads the fields without the
    // white space at their end (FieldAsStringEx). The command stays open on the result.
    Rows Query(const std::wstring& sql, bool trimmed = false) {
        Rows rows;
        if (!Run(sql)) {
            ADD_FAILURE() << Narrow(sql) << ": " << Narrow(error);
            return rows;
        }
        while (command.FetchNext() == VornOleDbCommand::dbOK) {
            std::vector<std::wstring> row;
            for (unsigned c = 1; c <= command.GetColumnCount(); ++c)
                row.push_back(command.IsNull(c) == VornOleDbCommand::dbOK ? L"<null>"
                              : trimmed ? command.FieldAsStringEx(c)
                                        : command.FieldAsString(c));
            rows.push_back(row);
        }
        return rows;
    }

    TempFolder folder;
    VornOleDbConnection connection;
    VornOleDbCommand command;
    std::wstring error;
};

}  // namespace vorn::test
