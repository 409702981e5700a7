// Creates a database file, opens it, writes rows inside committed and rolled-back
// transactions, compacts the file and reopens it.
//   database_files [FILE]      (default: a new file in a temporary folder)
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <vornoledb/vornoledb.h>

namespace {

int Fail(const char* what, VornOleDbErrorInfo& info) {
    std::fprintf(stderr, "%s failed:\n%s\n", what,
                 vornoledb::WideToUtf8(info.GetErrorInfo(true)).c_str());
    return 1;
}

bool Run(VornOleDbCommand& command, const wchar_t* sql) {
    command.SetCommandText(sql);
    return command.Execute() == VornOleDbCommand::dbOK;
}

}  // namespace

int main(int argc, char** argv) {
    std::string file;
    char folder[] = "/tmp/vornoledb-example-XXXXXX";
    if (argc > 1) {
        file = argv[1];
    } else {
        if (!mkdtemp(folder))
            return 1;
        file = std::string(folder) + "/inventory.accdb";
    }
    const std::wstring path = vornoledb::Utf8ToWide(file);
    const std::wstring provider = L"Provider=Microsoft.ACE.OLEDB.12.0;";

    VornOleDbErrorInfo errors;
    if (VornOleDbConnection::CreateMdbFile(provider, path, errors) != vornoledb::S_OK)
        return Fail("create", errors);
    std::printf("created %s\n", file.c_str());

    std::wstring init;
    VornOleDbHelper::FormatConnectString(init, path.c_str(), nullptr, nullptr,
                                         L"Microsoft.ACE.OLEDB.12.0", nullptr, nullptr);
    VornOleDbConnection connection;
    if (connection.OpenFromInitializationString(init, false) != vornoledb::S_OK)
        return Fail("open", connection);

    {
        // A command keeps its provider objects, and with them the file, until it is destroyed:
        // it lives in this block so that the file is free when it is compacted.
        VornOleDbCommand command;
        command.SetConnection(&connection);
        if (!Run(command, L"CREATE TABLE Stock (Item TEXT(50), Qty INTEGER)"))
            return Fail("create table", command);

        if (!connection.StartTransaction())
            return Fail("start", connection);
        for (int i = 0; i < 1000; ++i) {
            std::wstring sql =
                vornoledb::VornFormat(L"INSERT INTO Stock VALUES ('item %d', %d)", i, i % 17);
            if (!Run(command, sql.c_str()))
                return Fail("insert", command);
        }
        if (!connection.Commit())
            return Fail("commit", connection);

        if (!connection.StartTransaction())
            return Fail("start", connection);
        if (!Run(command, L"DELETE FROM Stock"))
            return Fail("delete", command);
        if (!connection.Rollback())
            return Fail("rollback", connection);

        if (!Run(command, L"DELETE FROM Stock WHERE Qty > 0"))
            return Fail("delete", command);
        std::printf("deleted %ld rows, committed the rest\n", command.GetRowsAffected());
    }

    if (connection.CompactMdb() != vornoledb::S_OK)
        return Fail("compact", connection);
    std::printf("compacted; connected afterwards: %s\n", connection.IsConnected() ? "yes" : "no");

    if (connection.OpenFromInitializationString(connection.GetInit(), false) != vornoledb::S_OK)
        return Fail("reopen", connection);
    VornOleDbCommand command;
    command.SetConnection(&connection);
    if (!Run(command, L"SELECT COUNT(*) FROM Stock") ||
        command.FetchNext() != VornOleDbCommand::dbOK)
        return Fail("count", command);
    long rows = command.FieldAsLong(1);
    std::printf("rows after reopening: %ld\n", rows);
    command.Close();
    connection.Close();

    if (argc <= 1) {
        unlink(file.c_str());
        rmdir(folder);
    }
    return rows == 59 ? 0 : 1;
}
