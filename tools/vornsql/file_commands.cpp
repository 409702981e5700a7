// vornsql create FILE and vornsql compact FILE.
#include <sys/stat.h>

#include <cstdio>

#include <vornoledb/connection.h>
#include <vornoledb/platform/text.h>
#include <vornoledb/windows_names.h>

#include "commands.h"
#include "messages.h"
#include "progress.h"
#include "source.h"

namespace vornsql {
namespace {

bool FileSize(const std::string& path, long long* size) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    *size = static_cast<long long>(st.st_size);
    return true;
}

}  // namespace

int CreateDatabase(const Options& options) {
    VornOleDbErrorInfo errors;
    const std::wstring file = Utf8ToWide(options.file);
    const HRESULT hr =
        VornOleDbConnection::CreateMdbFile(L"Provider=Microsoft.ACE.OLEDB.12.0;", file, errors);
    if (hr != S_OK) {
        ReportFailure("could not create the database '" + options.file + "'", errors, hr);
        return 1;
    }
    if (!options.quiet)
        std::printf("created the database '%s'\n", options.file.c_str());
    return 0;
}

int CompactDatabase(const Options& options) {
    VornOleDbConnection connection;
    const std::wstring init = ConnectionStringForPath(options.file, false);
    HRESULT hr = connection.OpenFromInitializationString(init, false);
    if (hr != S_OK) {
        ReportFailure("could not open the database '" + options.file + "'", connection, hr);
        return 1;
    }
    long long before = 0, after = 0;
    FileSize(options.file, &before);
    {
        ElapsedProgress progress(!options.quiet && ProgressWanted(),
                                 "compacting '" + options.file + "'");
        hr = connection.CompactMdb();
    }
    if (hr != S_OK) {
        ReportFailure("could not compact the database '" + options.file + "'", connection, hr);
        return 1;
    }
    if (!options.quiet) {
        if (FileSize(options.file, &after))
            std::printf("compacted '%s': %lld bytes before, %lld bytes after\n",
                        options.file.c_str(), before, after);
        else
            std::printf("compacted '%s'\n", options.file.c_str());
    }
    return 0;
}

}  // namespace vornsql
