// Reading the largest table of the test Access files, every field of every row through
// VornOleDbCommand (FieldAsString, long values through GetBlobData), against mdb-export of
// the same table in the same run. Both sides open the file each round, as a program that
// reads a table does. Prints rows/s of each and the ratio (target at least 0.9).
//   access [FILE TABLE [ROUNDS]]   (default: Table1 of tests/data/access/jackcess/
//                                   compIndexTestV1997.mdb, 512 rows, 200 rounds)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "vornoledb/vornoledb.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Opens the file and reads every field of the table; the number of rows, -1 on failure.
long ReadAll(const std::wstring& file, const std::wstring& table, size_t* characters) {
    VornOleDbConnection connection;
    if (connection.OpenFromInitializationString(
            L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + file + L";", false) != S_OK) {
        std::fprintf(stderr, "%ls\n", connection.GetErrorText().c_str());
        return -1;
    }
    VornOleDbCommand command;
    command.SetConnection(&connection);
    const std::wstring sql = L"SELECT * FROM [" + table + L"]";
    command.SetCommandText(sql.c_str());
    if (command.Execute() != VornOleDbCommand::dbOK) {
        std::fprintf(stderr, "%ls\n", command.GetErrorText().c_str());
        return -1;
    }
    long rows = 0;
    const unsigned long columns = command.GetColumnCount();
    while (command.FetchNext() == VornOleDbCommand::dbOK) {
        ++rows;
        for (unsigned long c = 1; c <= columns; ++c) {
            if (command.IsBlob(c) == VornOleDbCommand::dbOK) {
                vornoledb::CHeapPtr<unsigned char, vornoledb::CCRTAllocator> block;
                *characters += command.GetBlobData(c, block);
            } else {
                *characters += command.FieldAsString(c).size();
            }
        }
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    std::string file =
        std::string(VORN_SOURCE_DIR) + "/tests/data/access/jackcess/compIndexTestV1997.mdb";
    std::string table = "Table1";
    int rounds = 200;
    if (argc >= 3) {
        file = argv[1];
        table = argv[2];
    }
    if (argc >= 4)
        rounds = std::atoi(argv[3]);
    if (std::system("command -v mdb-export > /dev/null 2>&1") != 0) {
        std::fprintf(stderr, "mdb-export is not installed (Debian package mdbtools)\n");
        return 1;
    }
    const std::wstring wideFile(file.begin(), file.end());
    std::wstring wideTable;
    for (unsigned char ch : table)
        wideTable += static_cast<wchar_t>(ch);
    size_t characters = 0;
    long rows = ReadAll(wideFile, wideTable, &characters);  // warms the page cache
    if (rows < 0)
        return 1;

    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i)
        if (ReadAll(wideFile, wideTable, &characters) != rows)
            return 1;
    const double ours = Seconds(start);

    const std::string exportCommand = "mdb-export '" + file + "' '" + table + "' > /dev/null 2>&1";
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i)
        if (std::system(exportCommand.c_str()) != 0) {
            std::fprintf(stderr, "mdb-export failed\n");
            return 1;
        }
    const double theirs = Seconds(start);

    const double total = static_cast<double>(rows) * rounds;
    std::printf("%s [%s]: %ld rows, %d rounds\n", file.c_str(), table.c_str(), rows, rounds);
    std::printf("%-36s %8.3f s %12.0f rows/s\n", "VornOleDb every field", ours, total / ours);
    std::printf("%-36s %8.3f s %12.0f rows/s\n", "mdb-export", theirs, total / theirs);
    std::printf("\nratio %.2f of mdb-export's speed (target 0.9)\n", theirs / ours);
    return 0;
}
