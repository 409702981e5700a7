// Writes rows with the statement builder: INSERT, UPDATE, update-or-insert and DELETE built
// from column/value lists, then reads the table back through a recordset.
//   write_rows [DATABASE]     (default: a new database in a temporary folder)
// With DATABASE, a table Stock is created in it (the file is created when missing).
#include <stdlib.h>
#include <sys/stat.h>
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

}  // namespace

int main(int argc, char** argv) {
    char folder[] = "/tmp/vornoledb-example-XXXXXX";
    std::string file;
    if (argc > 1) {
        file = argv[1];
    } else {
        if (!mkdtemp(folder)) {
            std::perror("mkdtemp");
            return 1;
        }
        file = std::string(folder) + "/stock.db";
    }
    const std::wstring path = vornoledb::Utf8ToWide(file);
    struct stat st;
    if (::stat(file.c_str(), &st) != 0) {
        VornOleDbErrorInfo errors;
        if (VornOleDbConnection::CreateMdbFile(L"Provider=Microsoft.ACE.OLEDB.12.0;", path,
                                               errors) != vornoledb::S_OK)
            return Fail("create", errors);
    }
    std::wstring init;
    VornOleDbHelper::FormatConnectString(init, path.c_str(), nullptr, nullptr,
                                         L"Microsoft.ACE.OLEDB.12.0", nullptr, nullptr);
    VornOleDbConnection connection;
    if (connection.OpenFromInitializationString(init, false) != vornoledb::S_OK)
        return Fail("open", connection);

    long total = 0;
    std::wstring note;
    {
        VornOleDbDDLCommand builder;
        builder.SetConnection(&connection);
        builder.SetCommandText(
            L"CREATE TABLE Stock (Item TEXT(40) PRIMARY KEY, Qty LONG, Price CURRENCY, "
            L"Note TEXT(100))");
        if (builder.Execute() != VornOleDbCommand::dbOK)
            return Fail("create table", builder);

        // INSERT INTO Stock (Item, Qty, Price, Note) VALUES ('Bolt M8', 120, 0.12, NULL):
        // values are printf-formatted (%s takes a wide string); quotes inside a quoted value
        // are doubled by the builder, and with EmptyAsNull an empty value becomes NULL.
        builder.SetTable(L"Stock");
        builder.EmptyAsNull(true);
        builder.AddColumn(L"Item", L"'%s'", L"Bolt M8");
        builder.AddColumn(L"Qty", L"%d", 120);
        builder.AddColumn(L"Price", L"%s", L"0.12");
        builder.AddColumn(L"Note", L"'%s'", L"");
        if (!builder.Insert())
            return Fail("insert", builder);

        builder.EmptyCols();
        builder.AddColumn(L"Item", L"'%s'", L"Nut M8");
        builder.AddColumn(L"Qty", L"%d", 300);
        builder.AddColumn(L"Price", L"%s", L"0.03");
        builder.AddColumn(L"Note", L"'%s'", L"O'Neill's lot");
        if (!builder.Insert())
            return Fail("insert", builder);

        // UPDATE Stock SET Qty = 95 WHERE Item = 'Bolt M8'
        builder.EmptyCols();
        builder.AddSearchCol(L"Item", L"'%s'", L"Bolt M8");
        builder.AddColumn(L"Qty", L"%d", 95);
        if (!builder.Update())
            return Fail("update", builder);
        std::printf("updated %ld row\n", builder.GetRowsAffected());

        // Update-or-insert: the first call finds no 'Washer 8' and inserts it, the second
        // finds it and updates it.
        for (int qty : {500, 450}) {
            builder.EmptyCols();
            builder.EmptySearch();
            builder.AddSearchCol(L"Item", L"'%s'", L"Washer 8");
            builder.AddColumn(L"Qty", L"%d", qty);
            builder.AddColumn(L"Price", L"%s", L"0.01");
            if (!builder.UpdateInsert())
                return Fail("update or insert", builder);
        }

        // DELETE FROM Stock WHERE Item = 'Nut M8' ... after reading its note back.
        builder.EmptySearch();
        builder.AddSearchCol(L"Item", L"'%s'", L"Nut M8");
        builder.SetCommandText(L"SELECT Note FROM Stock WHERE Item = 'Nut M8'");
        if (builder.Execute() != VornOleDbCommand::dbOK ||
            builder.FetchNext() != VornOleDbCommand::dbOK)
            return Fail("select", builder);
        note = builder.FieldAsString(1);
        builder.Close();
        if (!builder.Delete())
            return Fail("delete", builder);
    }

    // A recordset on the same connection builds its SELECT from parts.
    VornOleDbRecordset recordset(VornOleDbRecordset::ctExternal);
    recordset.SetConnection(&connection);
    if (!recordset.GetRecords(L"Stock", L"Item, Qty, Note", nullptr, L"Item"))
        return Fail("select", recordset);
    int rows = 0;
    bool noteIsNull = false;
    while (recordset.FetchNext() == VornOleDbCommand::dbOK) {
        const bool isNull = recordset.IsNull(3) == VornOleDbCommand::dbOK;
        std::printf("%-10s %5ld  %s\n", vornoledb::WideToUtf8(recordset.FieldAsString(1)).c_str(),
                    recordset.FieldAsLong(2),
                    isNull ? "NULL" : vornoledb::WideToUtf8(recordset.FieldAsString(3)).c_str());
        total += recordset.FieldAsLong(2);
        if (recordset.FieldAsString(1) == L"Bolt M8")
            noteIsNull = isNull;
        ++rows;
    }
    recordset.Close();
    connection.Close();
    std::printf("the deleted row's note was: %s\n", vornoledb::WideToUtf8(note).c_str());

    if (argc <= 1) {
        unlink(file.c_str());
        rmdir(folder);
    }
    // Bolt M8 95 + Washer 8 450; the note kept its apostrophe; the empty note became NULL.
    const bool ok = rows == 2 && total == 545 && note == L"O'Neill's lot" && noteIsNull;
    if (!ok)
        std::fprintf(stderr, "unexpected contents: %d rows, total %ld\n", rows, total);
    return ok ? 0 : 1;
}
