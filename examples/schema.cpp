// Lists the tables of a database with their types, the columns of one table with type,
// size, nullability, default and identity data, and the table's indexes.
//   schema                 creates a small database with Jet DDL and describes it
//   schema FILE [TABLE]    describes an existing database (TABLE: the first user table)
#include <stdlib.h>

#include <cstdio>
#include <string>
#include <vector>

#include <vornoledb/vornoledb.h>

namespace {

int Fail(const char* what, VornOleDbErrorInfo& info) {
    std::fprintf(stderr, "%s failed:\n%s\n", what,
                 vornoledb::WideToUtf8(info.GetErrorInfo(true)).c_str());
    return 1;
}

std::string Utf8(const std::wstring& text) {
    return vornoledb::WideToUtf8(text);
}

const char* TypeName(unsigned short type) {
    switch (type) {
        case vornoledb::DBTYPE_I2:
            return "I2";
        case vornoledb::DBTYPE_I4:
            return "I4";
        case vornoledb::DBTYPE_I8:
            return "I8";
        case vornoledb::DBTYPE_UI1:
            return "UI1";
        case vornoledb::DBTYPE_R4:
            return "R4";
        case vornoledb::DBTYPE_R8:
            return "R8";
        case vornoledb::DBTYPE_CY:
            return "CY";
        case vornoledb::DBTYPE_DATE:
            return "DATE";
        case vornoledb::DBTYPE_BOOL:
            return "BOOL";
        case vornoledb::DBTYPE_GUID:
            return "GUID";
        case vornoledb::DBTYPE_BYTES:
            return "BYTES";
        case vornoledb::DBTYPE_WSTR:
            return "WSTR";
        case vornoledb::DBTYPE_NUMERIC:
            return "NUMERIC";
        default:
            return "other";
    }
}

// Creates a database in a new temporary folder with a few tables made with Jet DDL.
bool CreateSample(std::wstring* path) {
    char folder[] = "/tmp/vornoledb-schema-XXXXXX";
    if (!mkdtemp(folder))
        return false;
    *path = vornoledb::Utf8ToWide(std::string(folder) + "/orders.accdb");
    VornOleDbErrorInfo errors;
    if (VornOleDbConnection::CreateMdbFile(L"Provider=Microsoft.ACE.OLEDB.12.0;", *path, errors) !=
        vornoledb::S_OK) {
        Fail("creating the sample database", errors);
        return false;
    }
    VornOleDbConnection connection;
    if (connection.OpenFromInitializationString(
            L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + *path + L";", false) !=
        vornoledb::S_OK) {
        Fail("opening the sample database", connection);
        return false;
    }
    const wchar_t* ddl[] = {
        L"CREATE TABLE Orders (OrderId COUNTER(100, 10), Code TEXT(50) NOT NULL, "
        L"Qty LONG DEFAULT 5, Price CURRENCY, Placed DATETIME, Notes MEMO, "
        L"CONSTRAINT PK_Orders PRIMARY KEY (OrderId, Code))",
        L"CREATE UNIQUE INDEX ByCode ON Orders (Code)",
        L"CREATE TABLE Customers (Id LONG, Name TEXT(80))",
        L"CREATE VIEW BigOrders AS SELECT Code, Qty FROM Orders WHERE Qty > 10",
    };
    VornOleDbCommand command;
    command.SetConnection(&connection);
    for (const wchar_t* sql : ddl) {
        command.SetCommandText(sql);
        if (command.Execute() != VornOleDbCommand::dbOK) {
            Fail("running the sample DDL", command);
            return false;
        }
        command.Close();
    }
    std::printf("created %s\n\n", Utf8(*path).c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::wstring path;
    std::wstring table = argc > 2 ? vornoledb::Utf8ToWide(argv[2]) : L"";
    if (argc > 1) {
        path = vornoledb::Utf8ToWide(argv[1]);
    } else if (CreateSample(&path)) {
        table = L"Orders";
    } else {
        return 1;
    }

    VornOleDbConnection connection;
    if (connection.OpenFromInitializationString(
            L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + path + L";", false) !=
        vornoledb::S_OK)
        return Fail("open", connection);

    // Tables, of every type.
    VornOleDbTables tables;
    if (!tables.Open(&connection, nullptr, nullptr, nullptr, nullptr))
        return Fail("reading the tables", tables);
    VornOleDbTables::TypeInfoList list;
    tables.GetList(list);
    std::printf("%-32s %s\n", "TABLE", "TYPE");
    for (const auto& entry : list) {
        std::printf("%-32s %s\n", Utf8(entry.m_name).c_str(), Utf8(entry.m_type).c_str());
        if (table.empty() && entry.m_type == L"TABLE")
            table = entry.m_name;
    }
    if (table.empty())
        return 0;

    // The columns of one table, with identity data.
    VornOleDbColumns columns;
    if (!columns.Open(&connection, nullptr, nullptr, table.c_str(), nullptr, true))
        return Fail("reading the columns", columns);
    std::printf("\nColumns of %s\n%3s %-16s %-8s %10s %-8s %-10s %s\n", Utf8(table).c_str(), "#",
                "COLUMN", "TYPE", "SIZE", "NULLS", "DEFAULT", "IDENTITY");
    std::wstring name, value;
    while (columns.FetchNext()) {
        columns.GetName(name);
        const bool hasDefault = columns.HasDefault() && columns.GetDefault(value);
        std::string identity = "-";
        if (columns.IsIdentity())
            identity = "seed " + std::to_string(columns.Seed()) + ", step " +
                       std::to_string(columns.Increment());
        std::printf("%3lu %-16s %-8s %10lu %-8s %-10s %s\n", columns.OrdinalPosition(),
                    Utf8(name).c_str(), TypeName(columns.DataType()), columns.Precision(),
                    columns.IsNullable() ? "yes" : "no", hasDefault ? Utf8(value).c_str() : "-",
                    identity.c_str());
    }

    // Its indexes: one row per indexed column, then the distinct names.
    VornOleDbIndexes indexes;
    if (!indexes.Open(&connection, nullptr, nullptr, table.c_str(), nullptr))
        return Fail("reading the indexes", indexes);
    std::printf("\nIndexes of %s\n%-24s %s\n", Utf8(table).c_str(), "INDEX", "COLUMN");
    while (indexes.FetchNext()) {
        indexes.GetName(name);
        indexes.GetColumnName(value);
        std::printf("%-24s %s\n", Utf8(name).c_str(), Utf8(value).c_str());
    }
    std::vector<std::wstring> names;
    indexes.GetIndexList(names, false);
    std::printf("without primary keys:");
    for (const auto& n : names)
        std::printf(" %s", Utf8(n).c_str());
    names.clear();
    indexes.GetIndexList(names, true);
    std::printf("\nwith primary keys:   ");
    for (const auto& n : names)
        std::printf(" %s", Utf8(n).c_str());
    std::printf("\n");
    return 0;
}
