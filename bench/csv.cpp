// Scanning a large CSV file through a text data source, in one run against two baselines
// over the same file:
//   - the floor: the simplest hand-written C++ loop, std::getline and a split at each ',';
//   - sqlite3's own CSV import (the sqlite3 shell's .import into an in-memory table).
// The library is measured twice: SELECT COUNT(*), and every field of every row read with
// VornOleDbCommand::FieldAsString. Prints MB/s, rows/s and the ratios.
//   csv [MEGABYTES] [FOLDER]    (defaults 1024 and a new folder under $TMPDIR or /tmp)
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

#include "vornoledb/vornoledb.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Plain fields: an id, a code, a name, a price and a quantity.
long Generate(const std::string& path, double megabytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return -1;
    const auto target = static_cast<long long>(megabytes * 1024 * 1024);
    long long written = std::fprintf(out, "id,code,name,price,qty\n");
    long rows = 0;
    char line[160];
    while (written < target) {
        ++rows;
        const int n =
            std::snprintf(line, sizeof line, "%ld,P-%08ld,part number %ld,%ld.%02ld,%ld\n", rows,
                          rows, rows, rows % 5000, rows % 100, rows % 997);
        std::fwrite(line, 1, static_cast<size_t>(n), out);
        written += n;
    }
    std::fclose(out);
    return rows;
}

// The floor: getline, then each field found with find(',').
long SplitLoop(const std::string& path, size_t* fields) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    long rows = -1;  // the header line is no row
    size_t count = 0;
    while (std::getline(in, line)) {
        std::string_view rest(line);
        while (true) {
            const size_t comma = rest.find(',');
            ++count;
            if (comma == std::string_view::npos)
                break;
            rest.remove_prefix(comma + 1);
        }
        ++rows;
    }
    *fields = count;
    return rows;
}

double FileMegabytes(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return static_cast<double>(st.st_size) / (1024.0 * 1024.0);
}

void Report(const char* what, double megabytes, long rows, double seconds, double floorSeconds) {
    std::printf("%-34s %8.2f s %9.1f MB/s %12.0f rows/s   %5.2f x the floor\n", what, seconds,
                megabytes / seconds, rows / seconds, floorSeconds / seconds);
}

}  // namespace

int main(int argc, char** argv) {
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 1024;
    std::string folder;
    if (argc > 2) {
        folder = argv[2];
    } else {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vorn-csv-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            return 1;
        }
        folder = pattern;
    }
    const std::string file = folder + "/bench.csv";
    std::printf("generating %.0f MB in %s ...\n", megabytes, file.c_str());
    const long rows = Generate(file, megabytes);
    if (rows < 0) {
        std::perror(file.c_str());
        return 1;
    }
    const double size = FileMegabytes(file);
    std::printf("%ld rows, %.1f MB\n\n", rows, size);

    // A first pass brings the file into the page cache for every reader alike.
    size_t fields = 0;
    SplitLoop(file, &fields);

    auto start = std::chrono::steady_clock::now();
    const long splitRows = SplitLoop(file, &fields);
    const double floorSeconds = Seconds(start);
    Report("split loop (getline, find ',')", size, splitRows, floorSeconds, floorSeconds);

    std::wstring init;
    std::wstring folderW(folder.begin(), folder.end());
    VornOleDbHelper::FormatConnectString(
        init, folderW.c_str(), nullptr, nullptr, L"Microsoft.ACE.OLEDB.12.0",
        L"Extended Properties='text;HDR=Yes;FMT=Delimited'", nullptr);
    VornOleDbConnection connection;
    if (connection.OpenFromInitializationString(init, false) != S_OK) {
        std::fprintf(stderr, "could not open %s\n", folder.c_str());
        return 1;
    }
    VornOleDbCommand command;
    command.SetConnection(&connection);

    start = std::chrono::steady_clock::now();
    command.SetCommandText(L"SELECT COUNT(*) FROM [bench#csv]");
    long counted = -1;
    if (command.Execute() == VornOleDbCommand::dbOK &&
        command.FetchNext() == VornOleDbCommand::dbOK)
        counted = command.FieldAsLong(1);
    const double countSeconds = Seconds(start);
    command.Close();
    if (counted != splitRows)
        std::fprintf(stderr, "COUNT(*) gave %ld rows, the split loop %ld\n", counted, splitRows);
    Report("VornOleDb SELECT COUNT(*)", size, counted, countSeconds, floorSeconds);

    start = std::chrono::steady_clock::now();
    command.SetCommandText(L"SELECT * FROM [bench#csv]");
    long read = 0;
    size_t characters = 0;
    if (command.Execute() == VornOleDbCommand::dbOK) {
        const unsigned long columns = command.GetColumnCount();
        while (command.FetchNext() == VornOleDbCommand::dbOK) {
            for (unsigned long c = 1; c <= columns; ++c)
                characters += command.FieldAsString(c).size();
            ++read;
        }
    }
    const double fieldSeconds = Seconds(start);
    command.Close();
    Report("VornOleDb every field FieldAsString", size, read, fieldSeconds, floorSeconds);

    // sqlite3's CSV import of the same file into an in-memory table.
    const std::string shell = "sqlite3 :memory: -cmd '.mode csv' -cmd '.import \"" + file +
                              "\" t' 'SELECT count(*) FROM t;' > /dev/null";
    double importSeconds = 0;
    if (std::system("command -v sqlite3 > /dev/null 2>&1") == 0) {
        start = std::chrono::steady_clock::now();
        const int rc = std::system(shell.c_str());
        importSeconds = Seconds(start);
        if (rc == 0)
            Report("sqlite3 .import (in memory)", size, splitRows, importSeconds, floorSeconds);
        else
            importSeconds = 0;
    }
    if (importSeconds == 0)
        std::printf(
            "sqlite3 .import: the sqlite3 shell is not installed (apt-get install sqlite3)\n");

    std::printf("\nCOUNT(*) %.1f MB/s (target 300), %.2f of the split loop (target 0.5)\n",
                size / countSeconds, floorSeconds / countSeconds);
    if (importSeconds > 0)
        std::printf("every field: %.2f x the rows/s of sqlite3 .import\n",
                    importSeconds / fieldSeconds);
    std::printf("(%zu characters read)\n", characters);
    if (argc <= 2) {
        ::unlink(file.c_str());
        ::rmdir(folder.c_str());
    }
    return 0;
}
