// What each host program of these checks does with the library once its headers are in:
// opens an in-memory database and reads a value, naming the library's vocabulary qualified.
#pragma once

#include <cstdio>

inline int RunHostCheck() {
    VornOleDbConnection connection;
    vornoledb::HRESULT hr = connection.OpenFromInitializationString(
        L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=:memory:;", false);
    if (hr != vornoledb::S_OK) {
        std::fprintf(stderr, "open: %s\n",
                     vornoledb::WideToUtf8(connection.GetErrorInfo(true)).c_str());
        return 1;
    }
    VornOleDbCommand command;
    command.SetConnection(&connection);
    command.SetCommandText(L"SELECT 6 * 7");
    if (command.Execute() != VornOleDbCommand::dbOK ||
        command.FetchNext() != VornOleDbCommand::dbOK || command.FieldAsLong(1) != 42)
        return 1;
    return 0;
}
