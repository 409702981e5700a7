// Access (Jet) SQL from a host program: a table made with Jet DDL (COUNTER, TEXT, MEMO,
// CURRENCY, DATETIME, YESNO), rows inserted with #date# literals and True, @@IDENTITY read
// after each insert, and queries using TOP, IIf, Nz, &, Format and DateDiff.
//   jet_sql [FILE]      (default: a new file in a temporary folder)
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <vornoledb/vornoledb.h>

namespace {

bool Run(VornOleDbCommand& command, const wchar_t* sql) {
    command.SetCommandText(sql);
    if (command.Execute() == VornOleDbCommand::dbOK)
        return true;
    std::fprintf(stderr, "failed:\n%s\n",
                 vornoledb::WideToUtf8(command.GetErrorInfo(true)).c_str());
    return false;
}

// The first row of a query, each field as text.
std::vector<std::wstring> FirstRow(VornOleDbCommand& command, const wchar_t* sql) {
    std::vector<std::wstring> fields;
    if (Run(command, sql) && command.FetchNext() == VornOleDbCommand::dbOK)
        for (unsigned long c = 1; c <= command.GetColumnCount(); ++c)
            fields.push_back(command.FieldAsString(c));
    command.Close();
    return fields;
}

bool Expect(const char* what, const std::vector<std::wstring>& got,
            const std::vector<std::wstring>& want) {
    std::string shown;
    for (const auto& f : got)
        shown += (shown.empty() ? "" : " | ") + vornoledb::WideToUtf8(f);
    std::printf("%-28s %s\n", what, shown.c_str());
    if (got == want)
        return true;
    std::fprintf(stderr, "  unexpected answer for %s\n", what);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    char folder[] = "/tmp/vornoledb-jet-XXXXXX";
    std::string file;
    if (argc > 1) {
        file = argv[1];
    } else {
        if (!mkdtemp(folder))
            return 1;
        file = std::string(folder) + "/orders.accdb";
    }
    const std::wstring path = vornoledb::Utf8ToWide(file);
    VornOleDbErrorInfo errors;
    if (VornOleDbConnection::CreateMdbFile(L"Provider=Microsoft.ACE.OLEDB.12.0;", path, errors) !=
        vornoledb::S_OK) {
        std::fprintf(stderr, "%s\n", vornoledb::WideToUtf8(errors.GetErrorText()).c_str());
        return 1;
    }
    std::wstring init;
    VornOleDbHelper::FormatConnectString(init, path.c_str(), nullptr, nullptr,
                                         L"Microsoft.ACE.OLEDB.12.0", nullptr, nullptr);
    VornOleDbConnection connection;
    if (connection.OpenFromInitializationString(init, false) != vornoledb::S_OK) {
        std::fprintf(stderr, "%s\n", vornoledb::WideToUtf8(connection.GetErrorText()).c_str());
        return 1;
    }
    bool ok = true;
    {
        VornOleDbCommand command;
        command.SetConnection(&connection);
        ok = Run(command,
                 L"CREATE TABLE Orders (OrderID COUNTER(100, 10) CONSTRAINT PK_Orders PRIMARY KEY, "
                 L"Customer TEXT(50), Notes MEMO, Amount CURRENCY, Placed DATETIME, Urgent YESNO)");
        ok = ok && Run(command,
                       L"INSERT INTO Orders (Customer, Notes, Amount, Placed, Urgent) "
                       L"VALUES ('Océ', NULL, 1234.5, #1/5/2021#, True)");
        ok = ok &&
             Expect("@@IDENTITY after insert 1", FirstRow(command, L"SELECT @@IDENTITY"), {L"100"});
        ok = ok &&
             Run(command,
                 L"INSERT INTO Orders (Customer, Notes, Amount, Placed, Urgent) "
                 L"VALUES (\"Bolt & Nut\", 'call first', 99.95, #2021-02-14 13:30:00#, False)");
        ok = ok &&
             Expect("@@IDENTITY after insert 2", FirstRow(command, L"SELECT @@IDENTITY"), {L"110"});
        ok = ok &&
             Expect("TOP 1 by amount",
                    FirstRow(command,
                             L"SELECT TOP 1 OrderID, Customer FROM Orders ORDER BY Amount DESC"),
                    {L"100", L"Océ"});
        ok = ok && Expect("IIf, Nz and &",
                          FirstRow(command,
                                   L"SELECT IIf(Urgent, 'urgent', 'normal'), Nz(Notes, 'none'), "
                                   L"Customer & ' #' & OrderID FROM Orders WHERE OrderID = 100"),
                          {L"urgent", L"none", L"Océ #100"});
        ok = ok &&
             Expect("Format and DateDiff",
                    FirstRow(command,
                             L"SELECT Format(Amount, '#,##0.00'), Format(Placed, 'yyyy-mm-dd'), "
                             L"DateDiff('d', #1/1/2021#, Placed) FROM Orders WHERE OrderID = 100"),
                    {L"1,234.50", L"2021-01-05", L"4"});
    }
    connection.Close();
    if (argc <= 1) {
        unlink(file.c_str());
        rmdir(folder);
    }
    return ok ? 0 : 1;
}
