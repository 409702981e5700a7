// Opens a database and walks the rows of a query, forward and back: the first host program.
//   open_and_query                  makes a small database in a temporary folder and
//                                   queries it
//   open_and_query DATABASE SQL     runs SQL on DATABASE and prints its rows
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <vornoledb/vornoledb.h>

namespace {

int Fail(const char* what, VornOleDbErrorInfo& errors) {
    std::fprintf(stderr, "%s failed:\n%s\n", what,
                 vornoledb::WideToUtf8(errors.GetErrorInfo(true)).c_str());
    return 1;
}

// Makes parts.db with one table of four parts.
bool MakeDatabase(const std::wstring& file, VornOleDbErrorInfo& errors) {
    if (VornOleDbConnection::CreateMdbFile(L"Provider=Microsoft.ACE.OLEDB.12.0;", file, errors) !=
        vornoledb::S_OK)
        return false;
    std::wstring init;
    VornOleDbHelper::FormatConnectString(init, file.c_str(), nullptr, nullptr,
                                         L"Microsoft.ACE.OLEDB.12.0", nullptr, nullptr);
    VornOleDbConnection connection;
    if (connection.OpenFromInitializationString(init, false) != vornoledb::S_OK) {
        errors = connection;
        return false;
    }
    VornOleDbCommand command;
    command.SetConnection(&connection);
    const wchar_t* statements[] = {
        L"CREATE TABLE Parts (PartNo TEXT(20) PRIMARY KEY, Description TEXT(80), "
        L"UnitPrice CURRENCY, InStock LONG)",
        L"INSERT INTO Parts VALUES ('B-M8-40', 'Hex bolt M8 x 40', 0.12, 5200)",
        L"INSERT INTO Parts VALUES ('N-M8', 'Hex nut M8', 0.03, 9800)",
        L"INSERT INTO Parts VALUES ('BR-6204', 'Ball bearing 6204-2RS', 3.85, 420)",
        L"INSERT INTO Parts VALUES ('M-1.5', 'Gear motor 1.5 kW', 612.50, NULL)",
    };
    for (const wchar_t* sql : statements) {
        command.SetCommandText(sql);
        if (command.Execute() != VornOleDbCommand::dbOK) {
            errors = command;
            return false;
        }
    }
    return true;
}

void PrintRow(VornOleDbCommand& command) {
    for (unsigned long c = 1; c <= command.GetColumnCount(); ++c) {
        std::string value = command.IsNull(c) == VornOleDbCommand::dbOK
                                ? "NULL"
                                : vornoledb::WideToUtf8(command.FieldAsString(c));
        std::printf("%s%s=%s", c > 1 ? "  " : "",
                    vornoledb::WideToUtf8(command.GetColumnName(c)).c_str(), value.c_str());
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 1 && argc != 3) {
        std::fprintf(stderr, "usage: open_and_query [DATABASE SQL]\n");
        return 2;
    }
    char folder[] = "/tmp/vornoledb-example-XXXXXX";
    std::string file;
    std::wstring sql;
    if (argc == 3) {
        file = argv[1];
        sql = vornoledb::Utf8ToWide(argv[2]);
    } else {
        if (!mkdtemp(folder)) {
            std::perror("mkdtemp");
            return 1;
        }
        file = std::string(folder) + "/parts.db";
        VornOleDbErrorInfo errors;
        if (!MakeDatabase(vornoledb::Utf8ToWide(file), errors))
            return Fail("making the database", errors);
        sql = L"SELECT PartNo, Description, UnitPrice, InStock FROM Parts ORDER BY UnitPrice";
    }

    // 1. A connection string from its parts, and a connection opened from it.
    std::wstring init;
    const std::wstring path = vornoledb::Utf8ToWide(file);
    VornOleDbHelper::FormatConnectString(init, path.c_str(), nullptr, nullptr,
                                         L"Microsoft.ACE.OLEDB.12.0", nullptr, nullptr);
    VornOleDbConnection connection;
    if (connection.OpenFromInitializationString(init, false) != vornoledb::S_OK)
        return Fail("open", connection);

    int status = 0;
    {
        // 2. A command on the connection: SQL text, Execute, then rows.
        VornOleDbCommand command;
        command.SetConnection(&connection);
        command.SetCommandText(sql.c_str());
        if (command.Execute() != VornOleDbCommand::dbOK)
            return Fail("query", command);
        unsigned long rows = 0;
        while (command.FetchNext() == VornOleDbCommand::dbOK) {
            PrintRow(command);
            ++rows;
        }
        if (command.HasErrorInfo())
            return Fail("reading the rows", command);
        std::printf("%lu rows\n", rows);

        // 3. The cursor moves both ways: last row, then one back.
        if (rows >= 2) {
            if (command.FetchLast() != VornOleDbCommand::dbOK ||
                command.FetchPrev() != VornOleDbCommand::dbOK)
                return Fail("moving back", command);
            std::printf("the row before the last: ");
            PrintRow(command);
        }
        if (argc == 1 && rows != 4)
            status = 1;
    }
    connection.Close();

    if (argc == 1) {
        unlink(file.c_str());
        rmdir(folder);
    }
    return status;
}
